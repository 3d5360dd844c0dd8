// Page injection, from a page loaded to the board shown (the next frame painted after the
// injection), for the player's skin dressing and the debugger's whole document-complete
// handling (plug-in tags, skin, board, code, analysis panel, bug.log). The peer is the same
// style, div and script elements and code put in with one runJavaScript call, measured in the
// same run, alternating with the routine.
//
//     bench_injection [runs]

#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QTimer>
#include <QWebEnginePage>
#include <algorithm>
#include <cstdio>
#include <functional>
#include <memory>

#include "library/base64.h"
#include "library/board.h"
#include "library/plugins.h"
#include "library/scriptdocument.h"
#include "library/textfile.h"
#include "library/xmldocument.h"
#include "livepage/debugwndform.h"
#include "livepage/pageinjection.h"
#include "platform/core/programfolder.h"
#include "platform/webbrowser.h"
#include "support/testenv.h"
#include "support/testserver.h"
#include "workbench/mainwndform.h"
#include "workbench/scripteditpanel.h"
#include "workbench/scriptwndform.h"

using platform::WebBrowser;

namespace {

const QString kBoard = QStringLiteral(
    "<list style=\"default\">"
    "<item><id>b1</id><show>开始</show><click>step(1)</click><style>tvButton</style></item>"
    "<line/>"
    "<enter><id>e1</id><show>关键字</show><style>tvEnter</style></enter>"
    "<item><id>b2</id><show>停止</show><click>step(2)</click><style>tvButton</style></item>"
    "<label><id>l1</id><show>状态</show><style>tvLabel</style></label>"
    "</list>");

QString makeCode() {
    QString code;
    for (int i = 0; i < 40; ++i)
        code += QStringLiteral(
                    "function step%1(n){var e=document.getElementById('b1');"
                    "if(e){e.title='第'+n+'步';}return n+%1;}\r\n")
                    .arg(i);
    return code + QStringLiteral("window.__ran=(window.__ran||0)+1;\r\n");
}

QByteArray makePage() {
    QByteArray body;
    for (int i = 0; i < 200; ++i)
        body += "<p class=\"row\">row " + QByteArray::number(i) + " <a href=\"#a" +
                QByteArray::number(i) + "\">link</a></p>";
    return "<html><head><title>t</title><style>p{margin:2px}</style></head><body>" + body +
           "</body></html>";
}

QString jsString(const QString& s) {
    QString out = QStringLiteral("'");
    for (const QChar c : s) {
        switch (c.unicode()) {
            case '\\':
                out += QStringLiteral("\\\\");
                break;
            case '\'':
                out += QStringLiteral("\\'");
                break;
            case '\r':
                out += QStringLiteral("\\r");
                break;
            case '\n':
                out += QStringLiteral("\\n");
                break;
            case '<':
                out += QStringLiteral("\\x3c");
                break;
            case 0x2028:
                out += QStringLiteral("\\u2028");
                break;
            case 0x2029:
                out += QStringLiteral("\\u2029");
                break;
            default:
                out += c;
        }
    }
    return out + QLatin1Char('\'');
}

// The peer's calls for the style, div and script children of an XML root.
QString peerParts(const QString& xmlText, bool encodedScripts) {
    XmlDocument doc;
    if (!doc.loadXML(xmlText)) return {};
    const XmlNode root = doc.childNodes().item(0);
    QString out;
    for (XmlNode c = root.firstChild(); !c.isNull(); c = c.nextSibling()) {
        const QString name = c.baseName();
        if (name == QLatin1String("style")) {
            out += QStringLiteral("st(%1);").arg(jsString(c.nodeTypedValue()));
        } else if (name == QLatin1String("div")) {
            QString html;
            for (XmlNode k = c.firstChild(); !k.isNull(); k = k.nextSibling())
                html += skinModule::detail::htmlMarkup(k);
            out += QStringLiteral("dv(%1,%2,%3);")
                       .arg(jsString(c.getAttribute(QStringLiteral("id"))),
                            jsString(c.getAttribute(QStringLiteral("class"))), jsString(html));
        } else if (name == QLatin1String("script")) {
            const QString text = encodedScripts ? BASE64Module::base64Decode(c.text()) : c.text();
            out += QStringLiteral("sc(%1);").arg(jsString(text));
        }
    }
    return out;
}

QString peerSource(const QStringList& pluginSources, const QString& skin, const XmlNode& board,
                   const QString& code, const QString& panel) {
    QString out = QStringLiteral(
        "(function(){var d=document,h=d.head,b=d.body;"
        "function st(c){var e=d.createElement('style');e.type='text/css';e.textContent=c;"
        "h.appendChild(e);}"
        "function dv(i,k,x){var e=d.createElement('div');e.id=i;e.className=k;e.innerHTML=x;"
        "b.appendChild(e);}"
        "function sc(t){var e=d.createElement('script');e.setAttribute('language','javascript');"
        "e.text=t;b.appendChild(e);}"
        "function src(u){var e=d.createElement('script');"
        "e.setAttribute('language','javascript');e.src=u;h.appendChild(e);}");
    for (const QString& s : pluginSources) out += QStringLiteral("src(%1);").arg(jsString(s));
    QString skinText = skin;
    skinText.replace(QStringLiteral("$BoardTemplate$"), skinModule::buildBoardHtml(board));
    out += peerParts(skinText, false);
    out += QStringLiteral("sc(%1);").arg(jsString(code));
    if (!panel.isEmpty()) out += peerParts(panel, true);
    return out + QStringLiteral("})();");
}

double median(QList<double> v) {
    if (v.isEmpty()) return -1;
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

// Loads the page in browser and gives, by the page's own clock, the time from the end of its
// load event to the first frame that shows the board. inject is called from the browser's
// DocumentComplete (after any handler connected before it). The page's clock leaves out how
// late the engine's signals reach this program, which is not the injection's doing.
double timeOnce(WebBrowser* browser, const QString& url, const std::function<void()>& inject) {
    static int frame = 0;
    const QString mark = QStringLiteral("frame%1").arg(++frame);
    QWebEnginePage* page = browser->page();
    bool loaded = false, shown = false;
    QEventLoop loop;
    QList<QMetaObject::Connection> links;
    links << QObject::connect(page, &QWebEnginePage::loadFinished, &loop, [&](bool) {
        if (loaded) return;
        loaded = true;
        // Frame by frame the page looks for the board's first button; the first frame that
        // has it shows the board. Asked as soon as the page is loaded, before any handler
        // runs, the same way for the routine and the peer.
        page->runJavaScript(
            QStringLiteral("(function(){function f(){if(document.getElementById('b1')){"
                           "window.__shownAfterLoad=performance.now()-"
                           "(performance.timing.loadEventEnd-performance.timeOrigin);"
                           "document.title=%1;}else requestAnimationFrame(f);}"
                           "requestAnimationFrame(f);})();")
                .arg(jsString(mark)));
    });
    links << QObject::connect(browser, &WebBrowser::DocumentComplete, &loop, [&] {
        if (loaded) inject();
    });
    links << QObject::connect(page, &QWebEnginePage::titleChanged, &loop,
                              [&](const QString& title) {
                                  if (title != mark || shown) return;
                                  shown = true;
                                  loop.quit();
                              });
    QTimer::singleShot(20000, &loop, &QEventLoop::quit);
    browser->Navigate(url);
    loop.exec();
    for (const auto& l : links) QObject::disconnect(l);
    if (!shown) return -1;
    double ms = -1;
    QEventLoop answer;
    page->runJavaScript(QStringLiteral("window.__shownAfterLoad"), [&](const QVariant& v) {
        ms = v.toDouble();
        answer.quit();
    });
    QTimer::singleShot(5000, &answer, &QEventLoop::quit);
    answer.exec();
    return ms;
}

void line(const char* what, double measured, double peer, const char* goal) {
    std::printf("BENCH %s | %.1f | %.1f | %s\n", what, measured, peer, goal);
    std::fflush(stdout);
}

}  // namespace

int main(int argc, char** argv) {
    prepareTestEnvironment();
    QApplication app(argc, argv);
    finishTestEnvironment();
    const int runs = argc >= 2 ? qMax(3, QString(argv[1]).toInt()) : 15;

    TestServer server;
    server.page("/page.html", makePage());
    for (const char* name : {"jq", "util"})
        server.page(QByteArray("/p/") + name + ".js", "window.p=1;", "application/javascript");
    const QString url = server.url(QStringLiteral("/page.html"));

    TestProgramFolder folder(QStringLiteral("velmora"));
    writeBytes(folder.file("site.ini"),
               "[site]\r\nforumHost=http://127.0.0.1:1\r\nmainHost=http://127.0.0.1:1\r\n"
               "requestTimeoutMs=500\r\n");
    const QString skin = ScriptModule::readTextFile(folder.file("css/default.skin"));
    const QString panel = ScriptModule::readTextFile(folder.file("Brannet.dll"));
    const QString code = makeCode();
    XmlDocument boardDoc;
    boardDoc.loadXML(kBoard);
    const XmlNode board = boardDoc.documentElement();

    // ---- player: the skin dressing of a matching page
    {
        auto* routine = new WebBrowser;
        auto* peer = new WebBrowser;
        for (WebBrowser* b : {routine, peer}) {
            b->resize(800, 600);
            b->show();
        }
        const QString peerJs = peerSource({}, skin, board, code, QString());
        QList<double> mine, theirs;
        for (int i = 0; i < runs + 2; ++i) {
            const double a = timeOnce(routine, url, [&] {
                skinModule::applySkinAndRunScript(routine->DocumentOnFirstCall(), skin, board,
                                                  code);
            });
            const double b = timeOnce(peer, url, [&] { peer->page()->runJavaScript(peerJs); });
            if (i < 2) continue;  // warm-up
            if (a >= 0) mine << a;
            if (b >= 0) theirs << b;
        }
        line("player injection: page loaded to board shown", median(mine), median(theirs),
             "<= 1.2 x peer (one runJavaScript)");
        delete routine;
        delete peer;
    }

    // ---- debugger: the whole document-complete handling
    {
        MainWndForm::instance().setQuitOnClose(false);
        MainWndForm::instance().rndFlagStr = MainWndForm::instance().emailname(8);
        ScriptModule::setPluginCollection(
            {"jq=" + server.url("/p/jq.js"), "util=" + server.url("/p/util.js")});
        ScriptModule::clearScriptDocument();
        ScriptDocument& doc = ScriptModule::scriptDocument();
        doc.script = code;
        doc.include = {"jq", "util"};
        XmlDocument xml;
        xml.loadXML(kBoard);
        doc.list = xml.documentElement();
        ScriptWndForm::instance().reLoadData();
        const QString editorCode = ScriptWndForm::instance().scriptEdit()->getScriptText();

        DebugWndForm& form = DebugWndForm::instance();
        form.show();
        QTest::qWait(500);
        WebBrowser* routine = form.host().elementInUse();
        auto* peer = new WebBrowser;
        peer->resize(routine->size());
        peer->show();
        const QString peerJs = peerSource({server.url("/p/jq.js"), server.url("/p/util.js")}, skin,
                                          board, editorCode, panel);
        QList<double> mine, theirs;
        for (int i = 0; i < runs + 2; ++i) {
            const double a = timeOnce(routine, url, [] {});
            const double b = timeOnce(peer, url, [&] { peer->page()->runJavaScript(peerJs); });
            if (i < 2) continue;
            if (a >= 0) mine << a;
            if (b >= 0) theirs << b;
        }
        line("debugger injection: page loaded to board shown", median(mine), median(theirs),
             "<= 1.3 x peer (one runJavaScript)");
        delete peer;
        form.close();
        ScriptWndForm::instance().close();
    }
    return 0;
}

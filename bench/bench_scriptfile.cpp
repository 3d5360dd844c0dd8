// Time to save (and load) a script file whose code is 1 MB, through the whole chain: XML text,
// ANSI bytes, base64 line, file, and back through the decoder and the XML parser.
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QSaveFile>
#include <QTemporaryDir>
#include <algorithm>
#include <cstdio>

#include "library/scriptdocument.h"
#include "platform/core/ansi.h"
#include "platform/core/programfolder.h"

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    QTemporaryDir dir;
    platform::setProgramFolder(dir.path());

    const QString line = QStringLiteral(
        "function step(a, b) { if (a < b && b > 0) { document.title = \"第 \" + a + \" 页\"; } "
        "}\r\n");
    const qsizetype lineBytes = platform::toAnsi(line).size();
    const QString code = line.repeated(1000000 / lineBytes + 1);

    ScriptDocument& doc = ScriptModule::scriptDocument();
    doc.name = QStringLiteral("大脚本");
    doc.target = QStringList{QStringLiteral("example.com")};
    doc.script = code;
    XmlDocument board;
    board.loadXML(
        QStringLiteral("<list style=\"default\"><item><id>b1</id><show>开始</show>"
                       "<click>step(1, 2);</click></item></list>"));
    doc.list = board.firstChild();

    const QString path = dir.filePath(QStringLiteral("big.txt"));
    const QString peerPath = dir.filePath(QStringLiteral("peer.txt"));
    QList<double> saves, loads, peers;
    bool intact = true;
    for (int run = 0; run < 15; ++run) {
        doc.script = code;
        QElapsedTimer t;
        t.start();
        ScriptModule::saveScriptFile(path);
        saves << t.nsecsElapsed() / 1e6;
        // The floor: the same bytes written through QSaveFile alone.
        QFile saved(path);
        saved.open(QIODevice::ReadOnly);
        const QByteArray bytes = saved.readAll();
        saved.close();
        t.restart();
        QSaveFile peer(peerPath);
        peer.open(QIODevice::WriteOnly);
        peer.write(bytes);
        peer.commit();
        peers << t.nsecsElapsed() / 1e6;
        t.restart();
        ScriptModule::loadScriptFile(path);
        loads << t.nsecsElapsed() / 1e6;
        QString expected = code.trimmed();
        expected.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
        intact = intact && doc.script == expected;
    }
    auto median = [](QList<double> v) {
        std::sort(v.begin(), v.end());
        return v[v.size() / 2];
    };
    std::printf("script of %.2f MB of code: load %.1f ms (median of 15)%s\n",
                platform::toAnsi(code).size() / 1e6, median(loads),
                intact ? "" : "   ROUND TRIP FAILED");
    std::printf(
        "BENCH save a script with 1 MB of code | %.1f | %.1f | <= 10 ms (peer: QSaveFile "
        "write of the same bytes)\n",
        median(saves), median(peers));
    return intact ? 0 : 1;
}

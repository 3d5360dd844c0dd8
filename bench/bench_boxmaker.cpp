// Time for the box maker to write the box of a long script (an 11.6 MB script file) with a
// shipped skin, against the floor: the script file's bytes read, base64-encoded and written
// through QSaveFile, each run in turn.
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QSaveFile>
#include <QTemporaryDir>
#include <algorithm>
#include <cstdio>
#include <vector>

#include "library/boxfile.h"
#include "library/scriptdocument.h"
#include "library/textfile.h"
#include "platform/core/programfolder.h"
#include "support/testenv.h"
#include "workbench/makeboxform.h"

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    QTemporaryDir dir;
    platform::setProgramFolder(dir.path());

    // A script whose file is 11.6 MB: its code, three bytes of it to every four of the file.
    const QString line = QStringLiteral(
        "function step(a, b) { if (a < b && b > 0) { document.title = \"第 \" + a + \" 页\"; } "
        "}\r\n");
    ScriptDocument& doc = ScriptModule::scriptDocument();
    doc.name = QStringLiteral("大脚本");
    doc.target = QStringList{QStringLiteral("example.com")};
    doc.script = line.repeated(7880000 / 90);
    const QString script = dir.filePath(QStringLiteral("big.txt"));
    ScriptModule::saveScriptFile(script);
    const QString skin = sourceDataFolder(QStringLiteral("velmora")) + "/css/default.skin";
    const QString box = dir.filePath(QStringLiteral("big.tvb"));
    const QString peerBox = dir.filePath(QStringLiteral("peer.tvb"));

    std::vector<double> makes, floors;
    bool written = true;
    for (int run = 0; run < 11; ++run) {
        QElapsedTimer t;
        t.start();
        written = MakeBoxForm::makePackage(skin, script, box) && written;
        makes.push_back(t.nsecsElapsed() / 1e6);

        t.restart();
        QFile in(script);
        in.open(QIODevice::ReadOnly);
        const QByteArray bytes = in.readAll();
        in.close();
        QSaveFile out(peerBox);
        out.open(QIODevice::WriteOnly);
        out.write(bytes.toBase64());
        written = out.commit() && written;
        floors.push_back(t.nsecsElapsed() / 1e6);
    }
    std::sort(makes.begin(), makes.end());
    std::sort(floors.begin(), floors.end());
    const double make = makes[makes.size() / 2], floor = floors[floors.size() / 2];
    // The box holds what its two files make, whatever the way it was written.
    const QString expected =
        BoxFile::boxLine(ScriptModule::readTextFile(skin), ScriptModule::readTextFile(script)) +
        QStringLiteral("\r\n");
    QFile made(box);
    made.open(QIODevice::ReadOnly);
    const bool same = made.readAll() == expected.toLatin1();
    std::printf(
        "script file %.1f MB, box %.1f MB: box maker %.1f ms, floor %.1f ms (medians of "
        "11)%s\n",
        QFileInfo(script).size() / 1e6, QFileInfo(box).size() / 1e6, make, floor,
        written && same ? "" : "   BOX DIFFERS OR NOT WRITTEN");
    std::printf(
        "BENCH box maker, 11.6 MB script | %.1f | %.1f | <= 1.5 x floor (floor: read + base64 + "
        "QSaveFile write of the script file's bytes)\n",
        make, floor);
    return written && same ? 0 : 1;
}

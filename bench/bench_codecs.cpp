// Throughput of both base64 codecs on a few MB of mixed ASCII and Chinese text, and the time
// to write and read back a 1 MB text file.
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <cstdio>

#include "library/base64.h"
#include "library/textfile.h"
#include "platform/core/ansi.h"

namespace {

QString mixedText(qsizetype ansiBytes) {
    const QString line =
        QStringLiteral("打开网页 open the page, 等待 3 秒后点击按钮 \"提交\";\r\n");
    const qsizetype lineBytes = platform::toAnsi(line).size();
    return line.repeated(ansiBytes / lineBytes + 1);
}

template <typename F>
double bestSeconds(int runs, F&& f) {
    double best = 1e9;
    for (int i = 0; i < runs; ++i) {
        QElapsedTimer timer;
        timer.start();
        f();
        best = std::min(best, timer.nsecsElapsed() / 1e9);
    }
    return best;
}

void codec(const char* name, QString (*encode)(const QString&), QString (*decode)(const QString&),
           const QString& text) {
    const double mb = platform::toAnsi(text).size() / 1e6;
    QString encoded, decoded;
    const double enc = bestSeconds(5, [&] { encoded = encode(text); });
    const double dec = bestSeconds(5, [&] { decoded = decode(encoded); });
    std::printf("%-8s encode %8.1f MB/s   decode %8.1f MB/s   (%.1f MB of ANSI text)%s\n", name,
                mb / enc, mb / dec, mb, decoded == text ? "" : "   ROUND TRIP FAILED");
}

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const QString text = mixedText(4 * 1000 * 1000);
    codec("general", BASE64Module::base64Encode, BASE64Module::base64Decode, text);
    codec("box", BASE64BoxModule::boxBase64Encode, BASE64BoxModule::boxBase64Decode, text);

    QTemporaryDir dir;
    const QString path = dir.filePath("script.txt");
    const QString file = mixedText(1000 * 1000);
    QString back;
    const double write = bestSeconds(5, [&] { ScriptModule::writeTextFile(path, file); });
    const double read = bestSeconds(5, [&] { back = ScriptModule::readTextFile(path); });
    std::printf("text file (1 MB)  writeTextFile %.2f ms   readTextFile %.2f ms%s\n", write * 1e3,
                read * 1e3, back == file + "\r\n" ? "" : "   READ BACK DIFFERS");
    return 0;
}

// Throughput of both base64 codecs on a few MB of mixed ASCII and Chinese text, the time to
// write and read back a 1 MB text file, and the GBK conversion both ways against Python's
// codec on the same text, measured in the same run.
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <algorithm>
#include <cstdio>
#include <vector>

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

template <typename F>
double medianMs(int runs, F&& f) {
    std::vector<double> ms;
    for (int i = 0; i < runs; ++i) {
        QElapsedTimer timer;
        timer.start();
        f();
        ms.push_back(timer.nsecsElapsed() / 1e6);
    }
    std::sort(ms.begin(), ms.end());
    return ms[ms.size() / 2];
}

// Python's GBK codec on the same text, timed the same way inside Python: the median of
// `runs` conversions each way, in ms. Negative when Python cannot be run.
struct PythonFigures {
    double encode = -1, decode = -1;
};

PythonFigures pythonGbk(const QString& text, int runs, const QString& folder) {
    const QString path = folder + QStringLiteral("/text.utf8");
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly)) return {};
    file.write(text.toUtf8());
    file.close();
    const QString program = QStringLiteral(
        "import sys, time, statistics\n"
        "s = open(sys.argv[1], encoding='utf-8', newline='').read()\n"
        "def median(f):\n"
        "    t = []\n"
        "    for _ in range(int(sys.argv[2])):\n"
        "        a = time.perf_counter(); f(); t.append(time.perf_counter() - a)\n"
        "    return statistics.median(t) * 1e3\n"
        "b = s.encode('gbk')\n"
        "print(median(lambda: s.encode('gbk')), median(lambda: b.decode('gbk')))\n");
    QProcess python;
    python.start(QStringLiteral("python3"),
                 {QStringLiteral("-c"), program, path, QString::number(runs)});
    if (!python.waitForFinished(120000) || python.exitCode() != 0) return {};
    const QStringList figures = QString::fromLatin1(python.readAllStandardOutput()).split(' ');
    if (figures.size() != 2) return {};
    return {figures[0].toDouble(), figures[1].trimmed().toDouble()};
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

    // GBK both ways against Python's codec, the same text and statistic.
    constexpr int kRuns = 15;
    const QString gbkText = mixedText(8 * 1000 * 1000);
    const QByteArray gbkBytes = platform::toAnsi(gbkText);
    QByteArray encoded;
    QString decoded;
    const double encode = medianMs(kRuns, [&] { encoded = platform::toAnsi(gbkText); });
    const double decode = medianMs(kRuns, [&] { decoded = platform::fromAnsi(gbkBytes); });
    const PythonFigures python = pythonGbk(gbkText, kRuns, dir.path());
    const double mb = gbkBytes.size() / 1e6;
    std::printf("GBK, %.1f MB: encode %.1f ms (%.0f MB/s), decode %.1f ms (%.0f MB/s)%s\n", mb,
                encode, mb / encode * 1e3, decode, mb / decode * 1e3,
                encoded == gbkBytes && decoded == gbkText ? "" : "   ROUND TRIP FAILED");
    if (python.encode > 0)
        std::printf("Python's codec: encode %.1f ms (%.0f MB/s), decode %.1f ms (%.0f MB/s)\n",
                    python.encode, mb / python.encode * 1e3, python.decode,
                    mb / python.decode * 1e3);
    auto peer = [](double ms) { return ms > 0 ? QByteArray::number(ms, 'f', 1) : QByteArray("-"); };
    std::printf(
        "BENCH GBK encoding, %.0f MB of mixed script text | %.1f | %s | <= peer (peer: "
        "Python 3 str.encode('gbk'))\n",
        mb, encode, peer(python.encode).constData());
    std::printf(
        "BENCH GBK decoding, %.0f MB of mixed script text | %.1f | %s | <= peer (peer: "
        "Python 3 bytes.decode('gbk'))\n",
        mb, decode, peer(python.decode).constData());
    return 0;
}

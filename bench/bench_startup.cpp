// Start-up of the workbench, from process start to the main window on show, against a site
// that answers, one that refuses connections and one that never answers; start-up of the
// player against the floor of a program with one browser view on about:blank; and the
// player's memory once it has settled, against that floor's.
//
//     bench_startup [runs] [player]
//
// With "player", only the player's figures are taken.
//
// Each start-up run is a fresh process (this program started again with "--child"), so the
// figures include the browser engine's own start. The window runs offscreen. Memory is the
// proportional set size (PSS) of the program and every process under it (the engine's
// zygote, renderers and helpers), read from /proc. The engine's libraries are shared with
// every other program that runs them, which moves PSS with what else runs on the machine:
// the program and its floor take turns.

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QListWidget>
#include <QProcess>
#include <QTabBar>
#include <QTemporaryDir>
#include <QTimer>
#include <QWebEnginePage>
#include <algorithm>
#include <cstdio>

#include "platform/core/ansi.h"
#include "platform/core/programfolder.h"
#include "platform/webbrowser.h"
#include "player/tolvarboxform.h"
#include "support/testenv.h"
#include "support/testserver.h"
#include "workbench/mainwndform.h"
#include "workbench/searchwndform.h"
#include "workbench/updatewndform.h"

namespace {

void writeFile(const QString& path, const QString& text) {
    writeBytes(path, platform::toAnsi(text));
}

// A program folder laid out from the shipped one, pointing at the given hosts.
void layOut(const QString& folder, const QString& host, int flag, int timeoutMs) {
    QDir(folder).removeRecursively();
    QDir().mkpath(folder);
    const QString shipped = sourceDataFolder("velmora");
    QProcess::execute("cp", {"-r", shipped + "/.", folder});
    writeFile(folder + "/config.ini",
              QString("[tolvar]\r\nhideDivNameLen=8\r\nversion=3.0\r\nflag=%1\r\n").arg(flag));
    writeFile(folder + "/site.ini", QString("[site]\r\nforumHost=%1\r\nmainHost=%1\r\n"
                                            "requestTimeoutMs=%2\r\n")
                                        .arg(host)
                                        .arg(timeoutMs));
}

int runChild(const QString& folder) {
    QElapsedTimer sinceMain;
    sinceMain.start();
    platform::setProgramFolder(folder);
    MainWndForm::instance().setQuitOnClose(false);
    MainWndForm::instance().show();
    QCoreApplication::processEvents();
    std::printf("shown %lld\n", static_cast<long long>(sinceMain.elapsed()));
    std::fflush(stdout);
    return 0;
}

// The player as its program starts it, on the shipped program folder.
int runZandrelChild(const QString& folder) {
    platform::setProgramFolder(folder);
    SearchWndForm::instance().setKindWord(SearchWndForm::playerKind());
    TolvarBoxForm::instance().show();
    QCoreApplication::processEvents();
    std::printf("shown\n");
    std::fflush(stdout);
    return 0;
}

// The floor: one browser view that loads about:blank and shows.
void showFloorView(platform::WebBrowser& view) {
    view.resize(760, 500);
    QEventLoop loop;
    QObject::connect(view.page(), &QWebEnginePage::loadFinished, &loop, &QEventLoop::quit);
    view.Navigate(QStringLiteral("about:blank"));
    loop.exec();
    view.show();
}

int runFloorChild() {
    platform::WebBrowser view;
    showFloorView(view);
    QCoreApplication::processEvents();
    std::printf("shown\n");
    std::fflush(stdout);
    return 0;
}

// How long a started program is left alone before its memory counts as its idle memory.
constexpr int kSettleMs = 3000;

// Says "idle" once the program has been left alone for a while, then stays until the parent
// closes its input.
void settleThenWait() {
    QTest::qWait(kSettleMs);
    std::printf("idle\n");
    std::fflush(stdout);
    while (std::getchar() != EOF) {
    }
}

int runZandrelIdleChild(const QString& folder) {
    runZandrelChild(folder);
    settleThenWait();
    return 0;
}

int runFloorIdleChild() {
    platform::WebBrowser view;
    showFloorView(view);
    settleThenWait();
    return 0;
}

// The PSS, in kB, of a process and of every process below it.
qint64 treePss(qint64 root) {
    QMap<qint64, QList<qint64>> children;
    for (const QString& entry : QDir(QStringLiteral("/proc")).entryList(QDir::Dirs)) {
        bool isPid = false;
        const qint64 pid = entry.toLongLong(&isPid);
        if (!isPid) continue;
        QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
        if (!stat.open(QIODevice::ReadOnly)) continue;
        // pid (name) state ppid ...: the name may hold spaces, so read after its last ')'.
        const QByteArray line = stat.readAll();
        const QList<QByteArray> fields = line.mid(line.lastIndexOf(')') + 2).split(' ');
        if (fields.size() > 1) children[fields[1].toLongLong()] << pid;
    }
    qint64 total = 0;
    QList<qint64> todo{root};
    while (!todo.isEmpty()) {
        const qint64 pid = todo.takeLast();
        todo += children.value(pid);
        QFile rollup(QStringLiteral("/proc/%1/smaps_rollup").arg(pid));
        if (!rollup.open(QIODevice::ReadOnly)) continue;
        for (const QByteArray& l : rollup.readAll().split('\n'))
            if (l.startsWith("Pss:")) total += l.mid(4).trimmed().split(' ').value(0).toLongLong();
    }
    return total;
}

// Starts the child, waits for it to say it is idle, and gives its memory in kB (-1 on
// failure).
qint64 idleMemory(const QString& program, const QStringList& arguments) {
    QProcess child;
    child.setProcessChannelMode(QProcess::SeparateChannels);
    QEventLoop loop;
    qint64 kb = -1;
    QObject::connect(&child, &QProcess::readyReadStandardOutput, &loop, [&] {
        if (child.readAllStandardOutput().contains("idle")) {
            kb = treePss(child.processId());
            loop.quit();
        }
    });
    QObject::connect(&child, &QProcess::finished, &loop, &QEventLoop::quit);
    QTimer::singleShot(60000, &loop, &QEventLoop::quit);
    child.start(program, arguments);
    loop.exec();
    child.closeWriteChannel();
    if (!child.waitForFinished(10000)) {
        child.kill();
        child.waitForFinished(5000);
    }
    return kb;
}

// Starts the child and waits, with the event loop running so the site can answer, for the
// line that says the window shows. Returns the milliseconds from process start, -1 on failure.
qint64 timeOneStart(const QString& program, const QStringList& arguments) {
    QProcess child;
    child.setProcessChannelMode(QProcess::SeparateChannels);
    QEventLoop loop;
    qint64 shownAt = -1;
    QElapsedTimer clock;
    QObject::connect(&child, &QProcess::readyReadStandardOutput, &loop, [&] {
        if (child.readAllStandardOutput().contains("shown")) {
            shownAt = clock.elapsed();
            loop.quit();
        }
    });
    QObject::connect(&child, &QProcess::finished, &loop, &QEventLoop::quit);
    QTimer::singleShot(60000, &loop, &QEventLoop::quit);
    clock.start();
    child.start(program, arguments);
    loop.exec();
    if (child.state() != QProcess::NotRunning) {
        child.kill();
        child.waitForFinished(5000);
    }
    return shownAt;
}

qint64 median(QList<qint64> times) {
    times.removeAll(-1);
    if (times.isEmpty()) return -1;
    std::sort(times.begin(), times.end());
    return times[times.size() / 2];
}

void report(const char* label, QList<qint64> times, const char* unit = "ms") {
    times.removeAll(-1);
    if (times.isEmpty()) {
        std::printf("%-52s failed\n", label);
        return;
    }
    std::sort(times.begin(), times.end());
    std::printf("%-52s median %6lld %s   min %6lld %s   max %6lld %s   (%lld runs)\n", label,
                static_cast<long long>(times[times.size() / 2]), unit,
                static_cast<long long>(times.first()), unit, static_cast<long long>(times.last()),
                unit, static_cast<long long>(times.size()));
    std::fflush(stdout);
}

void benchStartUp(const QString& program, int runs) {
    TestServer site;
    site.page("/plugin.txt", "a=http://x/a.js\r\nb=http://x/b.js\r\n", "text/plain");
    site.page("/Velmora/download/TolvarVersion.txt", "3.1\r\nhttp://d/v.zip\r\n", "text/plain");
    TestServer silent;  // accepts and never answers
    silent.route("/plugin.txt", [](const TestServer::Request&) {
        TestServer::Response r;
        r.delayMs = 600000;
        return r;
    });
    silent.route("/Velmora/download/TolvarVersion.txt", [](const TestServer::Request&) {
        TestServer::Response r;
        r.delayMs = 600000;
        return r;
    });

    QTemporaryDir dir;
    const QString folder = dir.path() + "/Velmora";
    struct Case {
        const char* label;
        QString host;
        int flag;
        int timeoutMs;
    };
    const QList<Case> cases = {
        {"site answers, no version check (flag=1)", site.base(), 1, 8000},
        {"site answers, version check and dialog (flag=0)", site.base(), 0, 8000},
        {"site refuses connections (flag=0)", "http://127.0.0.1:9", 0, 8000},
        {"site never answers, time limit 2000 ms (flag=0)", silent.base(), 0, 2000},
    };
    QList<qint64> medians;
    for (const Case& c : cases) {
        layOut(folder, c.host, c.flag, c.timeoutMs);
        QList<qint64> times;
        for (int i = 0; i < runs; ++i) times << timeOneStart(program, {"--child", folder});
        report(c.label, times);
        medians << median(times);
    }
    // The requests of the start-up run at the same time: against a site that takes them and
    // never answers, the window waits one time limit, not one per request.
    silent.clearRequests();
    layOut(folder, silent.base(), 0, 2000);
    QList<qint64> times;
    for (int i = 0; i < runs; ++i) times << timeOneStart(program, {"--child", folder});
    const int sent = int(silent.requests().size());
    std::printf(
        "BENCH workbench start, site accepts and never answers (%d of %d requests sent) "
        "| %lld | %lld | <= start against a refusing site + one time limit (2000 ms)\n",
        sent, 2 * runs, static_cast<long long>(median(times)),
        static_cast<long long>(medians.value(2) + 2000));
    std::fflush(stdout);
}

void benchPlayerStart(const QString& program, int runs) {
    QTemporaryDir dir;
    const QString folder = dir.path() + "/Zandrel";
    QDir().mkpath(folder);
    QProcess::execute("cp", {"-r", sourceDataFolder("zandrel") + "/.", folder});
    writeFile(folder + "/site.ini",
              "[site]\r\nforumHost=http://127.0.0.1:9\r\nmainHost=http://127.0.0.1:9\r\n");
    {
        QList<qint64> player, floor;
        for (int i = 0; i < runs; ++i) {
            player << idleMemory(program, {"--zandrel-idle", folder});
            floor << idleMemory(program, {"--floor-idle"});
        }
        report("player idle memory (PSS, all processes)", player, "kB");
        report("one browser view on about:blank", floor, "kB");
        std::printf(
            "BENCH Zandrel idle memory, MB (PSS of all processes) | %.1f | %.1f | <= 1.15 x "
            "floor (one WebEngine view on about:blank)\n",
            median(player) / 1024.0, median(floor) / 1024.0);
        std::fflush(stdout);
    }
    QList<qint64> player, floor;
    for (int i = 0; i < runs + 1; ++i) {
        const qint64 a = timeOneStart(program, {"--zandrel", folder});
        const qint64 b = timeOneStart(program, {"--floor"});
        if (i == 0) continue;  // warm-up
        player << a;
        floor << b;
    }
    report("player start-up to first window", player);
    report("one browser view on about:blank", floor);
    std::printf(
        "BENCH Zandrel start to first window | %lld | %lld | <= 1.3 x floor (one "
        "WebEngine view on about:blank)\n",
        static_cast<long long>(median(player)), static_cast<long long>(median(floor)));
    std::fflush(stdout);
}

}  // namespace

int main(int argc, char** argv) {
    prepareTestEnvironment();
    QApplication app(argc, argv);
    finishTestEnvironment();
    const QStringList args = app.arguments();
    if (args.size() >= 3 && args[1] == "--child") return runChild(args[2]);
    if (args.size() >= 3 && args[1] == "--zandrel") return runZandrelChild(args[2]);
    if (args.size() >= 2 && args[1] == "--floor") return runFloorChild();
    if (args.size() >= 3 && args[1] == "--zandrel-idle") return runZandrelIdleChild(args[2]);
    if (args.size() >= 2 && args[1] == "--floor-idle") return runFloorIdleChild();
    const int runs = args.size() >= 2 ? qMax(1, args[1].toInt()) : 5;
    if (args.value(2) != QLatin1String("player")) {
        std::printf("Workbench start-up, process start to main window shown:\n");
        benchStartUp(QCoreApplication::applicationFilePath(), runs);
    }
    benchPlayerStart(QCoreApplication::applicationFilePath(), runs);
    return 0;
}

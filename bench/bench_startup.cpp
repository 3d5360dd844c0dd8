// Start-up of the workbench, from process start to the main window on show, against a site
// that answers, one that refuses connections and one that never answers; and the fill of the
// script list for a category of 10,000 scripts.
//
//     bench_startup [runs]
//
// Each start-up run is a fresh process (this program started again with "--child"), so the
// figures include the browser engine's own start. The window runs offscreen.

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QListWidget>
#include <QProcess>
#include <QTabBar>
#include <QTemporaryDir>
#include <QTimer>
#include <algorithm>
#include <cstdio>

#include "platform/core/ansi.h"
#include "platform/core/programfolder.h"
#include "support/testenv.h"
#include "support/testserver.h"
#include "workbench/mainwndform.h"
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

// Starts the child and waits, with the event loop running so the site can answer, for the
// line that says the window shows. Returns the milliseconds from process start, -1 on failure.
qint64 timeOneStart(const QString& program, const QString& folder) {
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
    child.start(program, {"--child", folder});
    loop.exec();
    if (child.state() != QProcess::NotRunning) {
        child.kill();
        child.waitForFinished(5000);
    }
    return shownAt;
}

void report(const char* label, QList<qint64> times) {
    times.removeAll(-1);
    if (times.isEmpty()) {
        std::printf("%-52s failed\n", label);
        return;
    }
    std::sort(times.begin(), times.end());
    std::printf("%-52s median %5lld ms   min %5lld ms   max %5lld ms   (%lld runs)\n", label,
                static_cast<long long>(times[times.size() / 2]),
                static_cast<long long>(times.first()), static_cast<long long>(times.last()),
                static_cast<long long>(times.size()));
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
    for (const Case& c : cases) {
        layOut(folder, c.host, c.flag, c.timeoutMs);
        QList<qint64> times;
        for (int i = 0; i < runs; ++i) times << timeOneStart(program, folder);
        report(c.label, times);
    }
}

void benchScriptList() {
    QTemporaryDir dir;
    const QString folder = dir.path();
    layOut(folder, "http://127.0.0.1:9", 1, 1000);
    const QString category = folder + "/script/大分类";
    QDir().mkpath(category);
    for (int i = 0; i < 10000; ++i)
        writeBytes(category + QString("/脚本%1.txt").arg(i, 5, 10, QLatin1Char('0')), "x");
    platform::setProgramFolder(folder);
    MainWndForm& form = MainWndForm::instance();
    form.setQuitOnClose(false);
    form.show();
    auto* tabs = form.control<QTabBar>("TabFile");
    auto* list = form.control<QListWidget>("ListFile");
    int big = -1, other = -1;
    for (int i = 0; i < tabs->count(); ++i)
        (tabs->tabText(i) == QStringLiteral("大分类") ? big : other) = i;
    QList<qint64> times;
    for (int run = 0; run < 10; ++run) {
        tabs->setCurrentIndex(other);
        QElapsedTimer t;
        t.start();
        tabs->setCurrentIndex(big);  // the tab's selection fills the list
        times << t.elapsed();
        if (list->count() != 10000) {
            std::printf("loadScriptList listed %d entries, not 10000\n", int(list->count()));
            return;
        }
    }
    report("loadScriptList, category of 10,000 scripts", times);
    form.close();
}

}  // namespace

int main(int argc, char** argv) {
    prepareTestEnvironment();
    QApplication app(argc, argv);
    finishTestEnvironment();
    const QStringList args = app.arguments();
    if (args.size() >= 3 && args[1] == "--child") return runChild(args[2]);
    const int runs = args.size() >= 2 ? qMax(1, args[1].toInt()) : 5;
    std::printf("Workbench start-up, process start to main window shown:\n");
    benchStartUp(QCoreApplication::applicationFilePath(), runs);
    std::printf("\nScript list:\n");
    benchScriptList();
    return 0;
}

// The recorder window's collection tick with a long log and nothing arriving: the UI thread's
// time per tick, with 10,000 and with 50,000 lines in the log, against one pass over the whole
// log of the kind every tick used to make twice (read the box, collapse, compare).
//
//     bench_recordlog [seconds per size]

#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QPlainTextEdit>
#include <QSignalSpy>
#include <QTimer>
#include <algorithm>
#include <cstdio>
#include <ctime>

#include "livepage/recordwndform.h"
#include "platform/webbrowser.h"
#include "support/testenv.h"

namespace {

double threadCpuMs() {
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return t.tv_sec * 1e3 + t.tv_nsec / 1e6;
}

double median(QList<double> v) {
    std::sort(v.begin(), v.end());
    return v.isEmpty() ? -1 : v[v.size() / 2];
}

// The event loop as the program runs it: asleep between events.
void runFor(int ms) {
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

// What a tick did with the log before: the box's text read and turned into CR LF lines, the
// whole collapsed, and the result compared with the box's text read again.
double wholeLogPassMs(QPlainTextEdit* log) {
    QElapsedTimer t;
    t.start();
    QString text = log->toPlainText();
    text.replace(QStringLiteral("\n"), QStringLiteral("\r\n"));
    const QString collapsed = recordLog::collapse(text);
    QString again = log->toPlainText();
    again.replace(QStringLiteral("\n"), QStringLiteral("\r\n"));
    const bool same = collapsed == again;
    (void)same;
    return t.nsecsElapsed() / 1e6;
}

}  // namespace

int main(int argc, char** argv) {
    prepareTestEnvironment();
    QApplication app(argc, argv);
    finishTestEnvironment();
    const int seconds = argc >= 2 ? qMax(1, QString(argv[1]).toInt()) : 3;
    TestProgramFolder folder;

    RecordWndForm& form = RecordWndForm::instance();
    form.show();
    {
        QSignalSpy done(form.host().array(), &platform::BrowserArray::DocumentComplete);
        done.wait(15000);
    }
    auto* log = form.control<QPlainTextEdit>(QStringLiteral("logText"));
    auto* ticker = form.widget()->findChild<QTimer*>(QStringLiteral("Timer1"));
    if (!log || !ticker) {
        std::printf("no recorder window\n");
        return 1;
    }
    for (const int size : {10000, 50000}) {
        QStringList lines;
        for (int i = 0; i < size; ++i)
            lines << QStringLiteral("var tarObj=document.getElementById('field%1');tarObj.click();")
                         .arg(i);
        log->setPlainText(lines.join(QLatin1Char('\n')));
        runFor(500);  // the edit is tidied in the next tick
        QSignalSpy ticks(ticker, &QTimer::timeout);
        const double cpuBefore = threadCpuMs();
        runFor(seconds * 1000);
        const double perTick = (threadCpuMs() - cpuBefore) / qMax(1, int(ticks.size()));
        QList<double> passes;
        for (int run = 0; run < 5; ++run) passes << wholeLogPassMs(log);
        std::printf(
            "BENCH recorder idle tick, log of %s lines (UI thread) | %.3f | %.1f | <= 0.5 ms "
            "(peer: one pass over the whole log; a tick used to make two)\n",
            size == 10000 ? "10,000" : "50,000", perTick, median(passes));
        std::fflush(stdout);
    }
    form.close();
    return 0;
}

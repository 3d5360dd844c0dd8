// The workbench's script list: a category of 10,000 and of 100,000 scripts listed and the
// list painted, from the tab's selection to the first paint of the list finished, against
// the same names put into a bare list.
//
//     bench_scriptlist [runs]

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QListWidget>
#include <QProcess>
#include <QTabBar>
#include <QTemporaryDir>
#include <algorithm>
#include <cstdio>

#include "platform/core/ansi.h"
#include "platform/core/programfolder.h"
#include "support/testenv.h"
#include "workbench/mainwndform.h"

namespace {

double median(QList<double> v) {
    std::sort(v.begin(), v.end());
    return v.isEmpty() ? -1 : v[v.size() / 2];
}

}  // namespace

int main(int argc, char** argv) {
    prepareTestEnvironment();
    QApplication app(argc, argv);
    finishTestEnvironment();
    const int runs = argc >= 2 ? qMax(1, QString(argv[1]).toInt()) : 7;

    QTemporaryDir dir;
    const QString folder = dir.path();
    QProcess::execute("cp", {"-r", sourceDataFolder("velmora") + "/.", folder});
    writeBytes(folder + "/config.ini", "[tolvar]\r\nhideDivNameLen=8\r\nversion=3.0\r\nflag=1\r\n");
    writeBytes(folder + "/site.ini",
               "[site]\r\nforumHost=http://127.0.0.1:9\r\nmainHost=http://127.0.0.1:9\r\n"
               "requestTimeoutMs=1000\r\n");
    // A category of names of every length, for a look at the list (BENCH_SHOT=<png>).
    const QString shot = qEnvironmentVariable("BENCH_SHOT");
    if (!shot.isEmpty()) {
        const QString category = folder + QStringLiteral("/script/长短不一");
        QDir().mkpath(category);
        const QStringList names = {
            "短", "一个很长很长的脚本名字用来看看列表会不会把它截断了呢还有更多文字",
            "中等长度的名字", "abc", "Long script name with many words in it"};
        for (const QString& n : names) writeBytes(category + "/" + n + ".txt", "x");
    }
    const int sizes[] = {10000, 100000};
    for (const int size : sizes) {
        const QString category = folder + QStringLiteral("/script/分类%1").arg(size);
        QDir().mkpath(category);
        for (int i = 0; i < size; ++i)
            writeBytes(category + QStringLiteral("/脚本%1.txt").arg(i, 6, 10, QLatin1Char('0')),
                       "x");
    }
    platform::setProgramFolder(folder);
    MainWndForm& form = MainWndForm::instance();
    form.setQuitOnClose(false);
    form.show();
    QCoreApplication::processEvents();
    auto* tabs = form.control<QTabBar>("TabFile");
    auto* list = form.control<QListWidget>("ListFile");

    for (const int size : sizes) {
        int big = -1, other = -1;
        for (int i = 0; i < tabs->count(); ++i) {
            if (tabs->tabText(i) == QStringLiteral("分类%1").arg(size))
                big = i;
            else if (!tabs->tabText(i).startsWith(QStringLiteral("分类")))
                other = i;
        }
        QList<double> times;
        for (int run = 0; run < runs; ++run) {
            tabs->setCurrentIndex(other);
            QCoreApplication::processEvents();
            QElapsedTimer t;
            t.start();
            tabs->setCurrentIndex(big);  // the tab's selection fills the list
            list->viewport()->repaint();
            times << t.nsecsElapsed() / 1e6;
            if (list->count() != size) {
                std::printf("listed %d entries, not %d\n", int(list->count()), size);
                return 1;
            }
        }
        // The floor: the same names put into a bare list of the same size with uniform rows,
        // without reading the folder.
        QStringList names;
        for (int i = 0; i < list->count(); ++i) names << list->item(i)->text();
        QListWidget bare;
        bare.setUniformItemSizes(true);
        bare.resize(list->size());
        bare.show();
        QList<double> floors;
        for (int run = 0; run < runs; ++run) {
            bare.clear();
            QCoreApplication::processEvents();
            QElapsedTimer t;
            t.start();
            bare.addItems(names);
            bare.viewport()->repaint();
            floors << t.nsecsElapsed() / 1e6;
        }
        const QString what = QStringLiteral("script list of %1 scripts filled and painted")
                                 .arg(size == 10000 ? "10,000" : "100,000");
        std::printf("BENCH %s | %.1f | %.1f | <= %d ms (floor: a bare uniform-row list)\n",
                    qPrintable(what), median(times), median(floors), size == 10000 ? 25 : 200);
        std::fflush(stdout);
    }
    if (!shot.isEmpty()) {
        for (int i = 0; i < tabs->count(); ++i)
            if (tabs->tabText(i) == QStringLiteral("长短不一")) tabs->setCurrentIndex(i);
        QCoreApplication::processEvents();
        form.widget()->grab().save(shot);
    }
    form.close();
    return 0;
}

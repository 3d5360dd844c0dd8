#include "workbench/scriptpicture.h"

#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <QImageReader>
#include <QLabel>
#include <QPixmap>
#include <QPointer>
#include <QTimer>

#include "platform/core/clock.h"
#include "platform/core/programfolder.h"
#include "platform/http.h"

namespace ScriptModule {

namespace {

constexpr int kDownloadLimitMs = 4000;
constexpr int kPollMs = 25;
// An icon is a small picture; a file named by mistake (a disc image, a video) is not read.
constexpr qint64 kPictureLimitBytes = 4 * 1024 * 1024;

void letEventsRun(int ms) {
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

}  // namespace

void loadPictureFromUrl(QLabel* picture, const QString& address) {
    // The wait is counted in whole seconds from the second the call started in: more than
    // three whole seconds later means between three and four seconds of real time.
    const int intoSecondMs = platform::now().time().msec();
    QElapsedTimer elapsed;
    elapsed.start();
    const qint64 giveUpAfterMs = 4000 - intoSecondMs;

    QPointer<QLabel> target(picture);
    const QString temp = platform::programFile(QStringLiteral("tmppp"));
    // A file left by an earlier run would be taken for this download.
    QFile::remove(temp);
    platform::downloadToFile(address, temp, kDownloadLimitMs, kPictureLimitBytes);

    while (!QFileInfo::exists(temp)) {
        if (elapsed.elapsed() >= giveUpAfterMs) return;
        letEventsRun(kPollMs);
    }

    QImage image;
    {
        QImageReader reader(temp);
        reader.setDecideFormatFromContent(true);
        image = reader.read();
    }
    QFile::remove(temp);
    if (image.isNull() || !target) return;
    target->setPixmap(QPixmap::fromImage(image));
}

}  // namespace ScriptModule

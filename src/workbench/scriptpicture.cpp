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

// Each load of a control takes the next number; only the one holding the latest may set it.
const char* const kLoadProperty = "pictureLoad";

quint64 nextLoad(QLabel* picture) {
    const quint64 load = picture->property(kLoadProperty).toULongLong() + 1;
    picture->setProperty(kLoadProperty, load);
    return load;
}

}  // namespace

void supersedePictureLoads(QLabel* picture) {
    if (picture) nextLoad(picture);
}

void loadPictureFromUrl(QLabel* picture, const QString& address) {
    // The wait is counted in whole seconds from the second the call started in: more than
    // three whole seconds later means between three and four seconds of real time.
    const int intoSecondMs = platform::now().time().msec();
    QElapsedTimer elapsed;
    elapsed.start();
    const qint64 giveUpAfterMs = 4000 - intoSecondMs;

    QPointer<QLabel> target(picture);
    const quint64 load = picture ? nextLoad(picture) : 0;
    auto superseded = [&target, load] {
        return !target || target->property(kLoadProperty).toULongLong() != load;
    };
    const QString temp = platform::programFile(QStringLiteral("tmppp"));
    // A file left by an earlier run would be taken for this download.
    QFile::remove(temp);
    platform::downloadToFile(address, temp, kDownloadLimitMs, kPictureLimitBytes);

    // A load that ran during the download has fetched and removed its own file: what is
    // there now is this load's.
    while (!QFileInfo::exists(temp)) {
        if (superseded() || elapsed.elapsed() >= giveUpAfterMs) return;
        letEventsRun(kPollMs);
    }
    if (superseded()) {
        QFile::remove(temp);
        return;
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

#include "platform/core/clock.h"

namespace platform {

namespace {
QDateTime pinned;
}

QDateTime now() {
    return pinned.isValid() ? pinned : QDateTime::currentDateTime();
}

void setClockForTest(const QDateTime& fixed) {
    pinned = fixed;
}

QString dateText(const QDateTime& when) {
    const QDate d = when.date();
    return QStringLiteral("%1/%2/%3").arg(d.year()).arg(d.month()).arg(d.day());
}

QString timeText(const QDateTime& when) {
    const QTime t = when.time();
    return QStringLiteral("%1:%2:%3")
        .arg(t.hour())
        .arg(t.minute(), 2, 10, QLatin1Char('0'))
        .arg(t.second(), 2, 10, QLatin1Char('0'));
}

QString dateTimeText(const QDateTime& when) {
    return dateText(when) + QLatin1Char(' ') + timeText(when);
}

}  // namespace platform

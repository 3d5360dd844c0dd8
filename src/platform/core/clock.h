#pragma once

#include <QDateTime>
#include <QString>

namespace platform {

// The current local date and time. Tests may pin it; a pinned clock does not move.
QDateTime now();
void setClockForTest(const QDateTime& fixed);  // an invalid value lets the real clock run again

// The system's default text forms (a Chinese desktop's short forms):
// date "2026/12/10" (year/month/day, no leading zeros), time "8:03:56" (hour without a
// leading zero), date and time "2026/12/10 8:03:56".
QString dateText(const QDateTime& when);
QString timeText(const QDateTime& when);
QString dateTimeText(const QDateTime& when);

inline QString dateText() {
    return dateText(now());
}
inline QString timeText() {
    return timeText(now());
}
inline QString dateTimeText() {
    return dateTimeText(now());
}

}  // namespace platform

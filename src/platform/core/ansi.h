#pragma once

#include <QByteArray>
#include <QString>

namespace platform {

// Every file and byte stream of the system is in the ANSI code page, which is GBK here.
// A character GBK cannot hold becomes "?", one per code point.
QByteArray toAnsi(const QString& text);
QString fromAnsi(const QByteArray& bytes);

}  // namespace platform

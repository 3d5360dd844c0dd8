#include "platform/core/ansi.h"

#include <QStringDecoder>
#include <QStringEncoder>

namespace platform {

// Qt's GBK converter (ICU) writes "?" for each code point GBK lacks, which is exactly the
// ANSI rule, so no extra substitution is needed.
QByteArray toAnsi(const QString& text) {
    if (text.isEmpty()) return {};
    QStringEncoder encoder("GBK", QStringConverter::Flag::Stateless);
    return encoder.encode(text);
}

QString fromAnsi(const QByteArray& bytes) {
    if (bytes.isEmpty()) return {};
    QStringDecoder decoder("GBK", QStringConverter::Flag::Stateless);
    return decoder.decode(bytes);
}

}  // namespace platform

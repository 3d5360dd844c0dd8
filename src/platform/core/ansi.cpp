#include "platform/core/ansi.h"

#include <QStringDecoder>
#include <QStringEncoder>
#include <algorithm>

namespace platform {

namespace {

// Unicode's default-ignorable code points. Qt's GBK converter (ICU) drops these silently
// instead of writing its "?" substitute, so they are looked at one by one.
bool isDefaultIgnorable(char32_t c) {
    if (c < 0x00AD) return false;
    return c == 0x00AD || c == 0x034F || c == 0x061C || (c >= 0x115F && c <= 0x1160) ||
           (c >= 0x17B4 && c <= 0x17B5) || (c >= 0x180B && c <= 0x180F) ||
           (c >= 0x200B && c <= 0x200F) || (c >= 0x202A && c <= 0x202E) ||
           (c >= 0x2060 && c <= 0x206F) || c == 0x3164 || (c >= 0xFE00 && c <= 0xFE0F) ||
           c == 0xFEFF || c == 0xFFA0 || (c >= 0xFFF0 && c <= 0xFFF8) ||
           (c >= 0x1BCA0 && c <= 0x1BCA3) || (c >= 0x1D173 && c <= 0x1D17A) ||
           (c >= 0xE0000 && c <= 0xE0FFF);
}

// The code point that starts at p[i].
char32_t codePointAt(const char16_t* p, qsizetype i, qsizetype n) {
    if (QChar::isHighSurrogate(p[i]) && i + 1 < n && QChar::isLowSurrogate(p[i + 1]))
        return QChar::surrogateToUcs4(p[i], p[i + 1]);
    return p[i];
}

QByteArray encodeGbk(QStringView text) {
    // Opening the converter costs more than converting a line: one per thread, kept; being
    // stateless it carries nothing from one text to the next.
    static thread_local QStringEncoder encoder("GBK", QStringConverter::Flag::Stateless);
    return encoder.encode(text);
}

}  // namespace

namespace detail {

// A character GBK lacks becomes "?", one per code point: ICU does that for most of them, and
// the default-ignorable ones it would drop are given the "?" here.
QByteArray converterAnsi(const QString& text) {
    if (text.isEmpty()) return {};
    const qsizetype n = text.size();
    const QChar* p = text.constData();
    // ASCII is the same one byte in GBK, and script text is mostly ASCII.
    qsizetype ascii = 0;
    while (ascii < n && p[ascii].unicode() < 0x80) ++ascii;
    if (ascii == n) return text.toLatin1();
    qsizetype first = 0;
    for (; first < n; ++first) {
        const char16_t u = p[first].unicode();
        if (u >= 0x00AD && (isDefaultIgnorable(u) || QChar::isHighSurrogate(u))) break;
    }
    if (first == n) return encodeGbk(text);

    QByteArray out = encodeGbk(QStringView(text).left(first));
    qsizetype runStart = first;
    qsizetype i = first;
    while (i < n) {
        char32_t c = p[i].unicode();
        qsizetype width = 1;
        if (QChar::isHighSurrogate(c) && i + 1 < n && QChar::isLowSurrogate(p[i + 1].unicode())) {
            c = QChar::surrogateToUcs4(p[i], p[i + 1]);
            width = 2;
        }
        if (isDefaultIgnorable(c)) {
            out += encodeGbk(QStringView(text).mid(runStart, i - runStart));
            const QByteArray one = encodeGbk(QStringView(text).mid(i, width));
            out += one.isEmpty() ? QByteArray("?") : one;
            runStart = i + width;
        }
        i += width;
    }
    out += encodeGbk(QStringView(text).mid(runStart));
    return out;
}

QByteArray tableAnsi(const QString& text) {
    if (text.isEmpty()) return {};
    const qsizetype n = text.size();
    const char16_t* const p = reinterpret_cast<const char16_t*>(text.utf16());
    qsizetype ascii = 0;
    while (ascii < n && p[ascii] < 0x80) ++ascii;
    if (ascii == n) return text.toLatin1();

    const AnsiTable& table = AnsiTable::instance();
    // At most two bytes a unit, and one to spare for the trail byte written after a single.
    QByteArray out(2 * n + 1, Qt::Uninitialized);
    char* o = std::copy(p, p + ascii, out.data());
    for (qsizetype i = ascii; i < n; ++i) {
        const char16_t c = p[i];
        if (QChar::isHighSurrogate(c)) {
            if (i + 1 < n && QChar::isLowSurrogate(p[i + 1])) {
                // GBK holds no character beyond the Basic Multilingual Plane.
                *o++ = '?';
                ++i;
                continue;
            }
            // The converter waits for the other half of a pair that ends its text, and the
            // text ends at the end or before a character that is looked at on its own.
            if (i + 1 == n || isDefaultIgnorable(codePointAt(p, i + 1, n))) continue;
        }
        o = table.putUnit(o, c);
    }
    out.truncate(o - out.constData());
    // The room a mostly ASCII text did not need is given back.
    if (out.capacity() - out.size() > out.size() / 8 + 64) out.squeeze();
    return out;
}

}  // namespace detail

QByteArray toAnsi(const QString& text) {
    // The table converts several times as fast as the converter, but making it costs as
    // much as the converter takes for a few MB: it is made for a long text, and then serves
    // every text.
    constexpr qsizetype kTableFrom = qsizetype(1) << 20;
    return text.size() >= kTableFrom || AnsiTable::made() ? detail::tableAnsi(text)
                                                          : detail::converterAnsi(text);
}

QString fromAnsi(const QByteArray& bytes) {
    if (bytes.isEmpty()) return {};
    // A GBK trail byte may lie in the ASCII range, so only bytes that are all ASCII are
    // taken one for one.
    qsizetype ascii = 0;
    while (ascii < bytes.size() && static_cast<unsigned char>(bytes[ascii]) < 0x80) ++ascii;
    if (ascii == bytes.size()) return QString::fromLatin1(bytes);
    QStringDecoder decoder("GBK", QStringConverter::Flag::Stateless);
    return decoder.decode(bytes);
}

std::atomic<bool> AnsiTable::made_{false};

const AnsiTable& AnsiTable::instance() {
    static const AnsiTable table;
    return table;
}

AnsiTable::AnsiTable() {
    for (char16_t c = 0; c < 0x80; ++c) bytes_[c] = c;
    // Every other character in one conversion, each after a line end, which no character's
    // bytes contain (a GBK trail byte is 0x40 or above).
    QString all;
    all.reserve(2 * 0x10000);
    for (char32_t c = 0x80; c < 0x10000; ++c) {
        if (QChar::isSurrogate(c)) continue;
        all += QLatin1Char('\n');
        all += QChar(char16_t(c));
    }
    all += QLatin1Char('\n');
    const QByteArray bytes = detail::converterAnsi(all);
    qsizetype at = 1;
    for (char32_t c = 0x80; c < 0x10000; ++c) {
        if (QChar::isSurrogate(c)) {
            bytes_[c] = '?';
            continue;
        }
        qsizetype end = bytes.indexOf('\n', at);
        if (end < 0) end = bytes.size();
        Q_ASSERT(end - at == 1 || end - at == 2);
        const unsigned lead = at < end ? static_cast<unsigned char>(bytes[at]) : unsigned('?');
        bytes_[c] =
            end - at == 2 ? quint16(lead << 8 | static_cast<unsigned char>(bytes[at + 1])) : lead;
        at = end + 1;
    }
    made_.store(true, std::memory_order_release);
}

}  // namespace platform

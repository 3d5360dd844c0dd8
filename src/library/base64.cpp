#include "library/base64.h"

#include <algorithm>
#include <array>

#include "platform/core/ansi.h"

namespace BASE64Module {
namespace detail {

namespace {

constexpr char kGeneral[] = "QwErTyUiOpAsDfGhJkLzXcVbNm1234567890qWeRtYuIoPaSdFgHjKlZxCvBnM+/";
constexpr char kBox[] = "mNbVcXzLkJhGfDsApOiUyTrEwQ0987654321MnBvCxZlKjHgFdSaPoIuYtReWq/+";
static_assert(sizeof(kGeneral) == 65 && sizeof(kBox) == 65);

// Character code to 6-bit value; every code outside the alphabet maps to 63, so decoding is
// one table look-up per character.
using ReverseTable = std::array<quint8, 256>;

constexpr ReverseTable makeReverse(const char* alphabet) {
    ReverseTable table{};
    for (auto& v : table) v = 63;
    for (int i = 0; i < 64; ++i) table[static_cast<unsigned char>(alphabet[i])] = quint8(i);
    return table;
}

constexpr ReverseTable kGeneralReverse = makeReverse(kGeneral);
constexpr ReverseTable kBoxReverse = makeReverse(kBox);

inline unsigned valueOf(char16_t c, const ReverseTable& table) {
    return c < 256 ? table[c] : 63u;
}

inline unsigned valueOf(unsigned char c, const ReverseTable& table) {
    return table[c];
}

}  // namespace

const char* alphabetText(Alphabet alphabet) {
    return alphabet == Alphabet::Box ? kBox : kGeneral;
}

namespace {

qsizetype encodedLength(qsizetype bytes) {
    return ((bytes + 2) / 3) * 4;
}

template <typename Char>
void encodeInto(Char* o, QByteArrayView bytes, Alphabet alphabet) {
    const char* chars = alphabetText(alphabet);
    const qsizetype n = bytes.size();
    const auto* b = reinterpret_cast<const unsigned char*>(bytes.data());
    qsizetype i = 0;
    for (; i + 2 < n; i += 3) {
        const unsigned x = b[i], y = b[i + 1], z = b[i + 2];
        *o++ = Char(chars[x >> 2]);
        *o++ = Char(chars[((x & 3) << 4) | (y >> 4)]);
        *o++ = Char(chars[((y & 15) << 2) | (z >> 6)]);
        *o++ = Char(chars[z & 63]);
    }
    if (i < n) {
        const unsigned x = b[i];
        const unsigned y = i + 1 < n ? b[i + 1] : 0;
        *o++ = Char(chars[x >> 2]);
        *o++ = Char(chars[((x & 3) << 4) | (y >> 4)]);
        *o++ = i + 1 < n ? Char(chars[(y & 15) << 2]) : Char('=');
        *o++ = Char('=');
    }
}

}  // namespace

QString encodeBytes(QByteArrayView bytes, Alphabet alphabet) {
    if (bytes.isEmpty()) return {};
    QString out(encodedLength(bytes.size()), Qt::Uninitialized);
    encodeInto(reinterpret_cast<char16_t*>(out.data()), bytes, alphabet);
    return out;
}

char* encodeBytesTo(char* out, QByteArrayView bytes, Alphabet alphabet) {
    encodeInto(out, bytes, alphabet);
    return out + encodedLength(bytes.size());
}

namespace {

// Decodes text (UTF-16 units or Latin-1 bytes) to out, which may be where the text itself
// lies: a group is read whole before its bytes are written, and they never pass it.
template <typename Char>
qsizetype decodeInto(unsigned char* o, const Char* s, qsizetype size, Alphabet alphabet) {
    const ReverseTable& table = alphabet == Alphabet::Box ? kBoxReverse : kGeneralReverse;
    const Char* pad = std::find(s, s + size, Char('='));
    const qsizetype m = pad - s;
    unsigned char* const start = o;
    qsizetype g = 0;
    for (; g + 4 <= m; g += 4) {
        const unsigned v = (valueOf(s[g], table) << 18) | (valueOf(s[g + 1], table) << 12) |
                           (valueOf(s[g + 2], table) << 6) | valueOf(s[g + 3], table);
        *o++ = static_cast<unsigned char>(v >> 16);
        *o++ = static_cast<unsigned char>(v >> 8);
        *o++ = static_cast<unsigned char>(v);
    }
    // A last group of 2 or 3 characters gives 1 or 2 bytes; what follows the data (padding,
    // the end of the text) never reaches a written byte.
    const qsizetype rest = m - g;
    if (rest >= 2) {
        unsigned v = (valueOf(s[g], table) << 18) | (valueOf(s[g + 1], table) << 12);
        if (rest == 3) v |= valueOf(s[g + 2], table) << 6;
        *o++ = static_cast<unsigned char>(v >> 16);
        if (rest == 3) *o++ = static_cast<unsigned char>(v >> 8);
    }
    return o - start;
}

qsizetype decodedLength(qsizetype m) {
    return (m / 4) * 3 + ((m % 4) * 3) / 4;
}

}  // namespace

QByteArray decodeBytes(QStringView text, Alphabet alphabet) {
    qsizetype m = text.indexOf(u'=');
    if (m < 0) m = text.size();
    if (decodedLength(m) == 0) return {};
    QByteArray out(decodedLength(m), Qt::Uninitialized);
    decodeInto(reinterpret_cast<unsigned char*>(out.data()), text.utf16(), text.size(), alphabet);
    return out;
}

QByteArray decodeLatin1(QByteArray text, Alphabet alphabet) {
    auto* data = reinterpret_cast<unsigned char*>(text.data());
    text.truncate(decodeInto(data, data, text.size(), alphabet));
    return text;
}

}  // namespace detail

QString base64Encode(const QString& text) {
    return detail::encodeBytes(platform::toAnsi(text), detail::Alphabet::General);
}

QString base64Decode(const QString& text) {
    return platform::fromAnsi(detail::decodeBytes(text, detail::Alphabet::General));
}

}  // namespace BASE64Module

namespace BASE64BoxModule {

QString boxBase64Encode(const QString& text) {
    using namespace BASE64Module::detail;
    return encodeBytes(platform::toAnsi(text), Alphabet::Box);
}

QString boxBase64Decode(const QString& text) {
    using namespace BASE64Module::detail;
    return platform::fromAnsi(decodeBytes(text, Alphabet::Box));
}

}  // namespace BASE64BoxModule

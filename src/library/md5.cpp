#include "library/md5.h"

#include <cstring>

#include "platform/core/ansi.h"

namespace MD5Module {

namespace {

// The digest state of one call. The count is kept in 64 bits so any length is hashed
// correctly.
struct Md5State {
    quint32 a, b, c, d;
    quint64 count;  // bytes fed so far
    unsigned char buffer[64];
};

inline quint32 rotl(quint32 x, int n) {
    return (x << n) | (x >> (32 - n));
}

inline quint32 F(quint32 x, quint32 y, quint32 z) {
    return (x & y) | (~x & z);
}
inline quint32 G(quint32 x, quint32 y, quint32 z) {
    return (x & z) | (y & ~z);
}
inline quint32 H(quint32 x, quint32 y, quint32 z) {
    return x ^ y ^ z;
}
inline quint32 I(quint32 x, quint32 y, quint32 z) {
    return y ^ (x | ~z);
}

// Sines table: floor(abs(sin(i + 1)) * 2^32), i = 0..63.
constexpr quint32 kT[64] = {
    0xd76aa478, 0xe8c7b756, 0x242070db, 0xc1bdceee, 0xf57c0faf, 0x4787c62a, 0xa8304613, 0xfd469501,
    0x698098d8, 0x8b44f7af, 0xffff5bb1, 0x895cd7be, 0x6b901122, 0xfd987193, 0xa679438e, 0x49b40821,
    0xf61e2562, 0xc040b340, 0x265e5a51, 0xe9b6c7aa, 0xd62f105d, 0x02441453, 0xd8a1e681, 0xe7d3fbc8,
    0x21e1cde6, 0xc33707d6, 0xf4d50d87, 0x455a14ed, 0xa9e3e905, 0xfcefa3f8, 0x676f02d9, 0x8d2a4c8a,
    0xfffa3942, 0x8771f681, 0x6d9d6122, 0xfde5380c, 0xa4beea44, 0x4bdecfa9, 0xf6bb4b60, 0xbebfbc70,
    0x289b7ec6, 0xeaa127fa, 0xd4ef3085, 0x04881d05, 0xd9d4d039, 0xe6db99e5, 0x1fa27cf8, 0xc4ac5665,
    0xf4292244, 0x432aff97, 0xab9423a7, 0xfc93a039, 0x655b59c3, 0x8f0ccc92, 0xffeff47d, 0x85845dd1,
    0x6fa87e4f, 0xfe2ce6e0, 0xa3014314, 0x4e0811a1, 0xf7537e82, 0xbd3af235, 0x2ad7d2bb, 0xeb86d391};

constexpr int kShift[4][4] = {{7, 12, 17, 22}, {5, 9, 14, 20}, {4, 11, 16, 23}, {6, 10, 15, 21}};

void md5Init(Md5State& s) {
    s.a = 0x67452301;
    s.b = 0xefcdab89;
    s.c = 0x98badcfe;
    s.d = 0x10325476;
    s.count = 0;
}

// The 64-step compression of one block into the chaining words.
void md5Transform(Md5State& s, const unsigned char* block) {
    quint32 x[16];
    for (int i = 0; i < 16; ++i)
        x[i] = quint32(block[4 * i]) | (quint32(block[4 * i + 1]) << 8) |
               (quint32(block[4 * i + 2]) << 16) | (quint32(block[4 * i + 3]) << 24);
    quint32 a = s.a, b = s.b, c = s.c, d = s.d;
    for (int i = 0; i < 64; ++i) {
        const int round = i / 16;
        quint32 f;
        int k;
        switch (round) {
            case 0:
                f = F(b, c, d);
                k = i;
                break;
            case 1:
                f = G(b, c, d);
                k = (5 * i + 1) % 16;
                break;
            case 2:
                f = H(b, c, d);
                k = (3 * i + 5) % 16;
                break;
            default:
                f = I(b, c, d);
                k = (7 * i) % 16;
                break;
        }
        const quint32 next = b + rotl(a + f + x[k] + kT[i], kShift[round][i % 4]);
        a = d;
        d = c;
        c = b;
        b = next;
    }
    s.a += a;
    s.b += b;
    s.c += c;
    s.d += d;
}

void md5Update(Md5State& s, const unsigned char* data, qsizetype len) {
    qsizetype used = qsizetype(s.count % 64);
    s.count += quint64(len);
    if (used > 0) {
        const qsizetype take = qMin<qsizetype>(64 - used, len);
        std::memcpy(s.buffer + used, data, size_t(take));
        used += take;
        data += take;
        len -= take;
        if (used < 64) return;
        md5Transform(s, s.buffer);
    }
    for (; len >= 64; data += 64, len -= 64) md5Transform(s, data);
    if (len > 0) std::memcpy(s.buffer, data, size_t(len));
}

void md5Final(Md5State& s) {
    const quint64 bits = s.count * 8;
    static const unsigned char pad[64] = {0x80};
    const qsizetype used = qsizetype(s.count % 64);
    md5Update(s, pad, used < 56 ? 56 - used : 120 - used);
    unsigned char length[8];
    for (int i = 0; i < 8; ++i) length[i] = static_cast<unsigned char>(bits >> (8 * i));
    md5Update(s, length, 8);
}

QString digestToHex(const Md5State& s) {
    static const char digits[] = "0123456789ABCDEF";
    QString out(32, Qt::Uninitialized);
    QChar* o = out.data();
    for (quint32 word : {s.a, s.b, s.c, s.d}) {
        for (int i = 0; i < 4; ++i) {
            const unsigned byte = (word >> (8 * i)) & 0xff;
            *o++ = QLatin1Char(digits[byte >> 4]);
            *o++ = QLatin1Char(digits[byte & 15]);
        }
    }
    return out;
}

}  // namespace

QString md5Hex(const QString& text) {
    const QByteArray bytes = platform::toAnsi(text);
    Md5State state;
    md5Init(state);
    md5Update(state, reinterpret_cast<const unsigned char*>(bytes.constData()), bytes.size());
    md5Final(state);
    return digestToHex(state);
}

}  // namespace MD5Module

#pragma once

#include <QByteArray>
#include <QString>

namespace platform {

// Every file and byte stream of the system is in the ANSI code page, which is GBK here.
// A character GBK cannot hold becomes "?", one per code point.
QByteArray toAnsi(const QString& text);
QString fromAnsi(const QByteArray& bytes);

// The bytes toAnsi gives each character, one or two, taken from a table made once; for
// writers that convert a long text as they build it. A text without unpaired surrogates
// converts to its characters' bytes one after another.
class AnsiTable {
  public:
    static const AnsiTable& instance();

    // Writes the bytes of c, a code point (not half of a surrogate pair), at out; returns
    // the end of what it wrote. GBK holds no character beyond the Basic Multilingual Plane.
    char* put(char* out, char32_t c) const {
        if (c >= 0x10000) {
            *out++ = '?';
            return out;
        }
        const quint16 v = bytes_[c];
        if (v < 0x100) {
            *out++ = char(v);
        } else {
            *out++ = char(v >> 8);
            *out++ = char(v & 0xFF);
        }
        return out;
    }

    // Whether GBK holds c, a code point: false for what toAnsi makes "?" of.
    bool holds(char32_t c) const { return c == U'?' || (c < 0x10000 && bytes_[c] != '?'); }

  private:
    AnsiTable();
    // One byte b as b, two bytes as lead * 256 + trail (a lead byte is never 0).
    quint16 bytes_[0x10000];
};

}  // namespace platform

#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <QStringView>

// Two base64 codecs over the ANSI (GBK) bytes of a text. Each alphabet is a permutation of
// the 64 standard characters; "=" only pads. The encoders write one line; the decoders never
// fail: data ends at the first "=", a character outside the alphabet (line ends, spaces,
// anything beyond ASCII) counts as the value 63, and a lone last character is dropped.

namespace BASE64Module {

QString base64Encode(const QString& text);
QString base64Decode(const QString& text);

namespace detail {

enum class Alphabet { General, Box };

// The 64 characters of an alphabet, value order.
const char* alphabetText(Alphabet alphabet);

// The byte-level halves of the codecs, for callers that hold bytes rather than text.
QString encodeBytes(QByteArrayView bytes, Alphabet alphabet);
QByteArray decodeBytes(QStringView text, Alphabet alphabet);
// The same for text held as Latin-1 bytes, decoded where it lies.
QByteArray decodeLatin1(QByteArray text, Alphabet alphabet);
// Writes the encoding as ASCII at out, four bytes for every three (the last group padded),
// and returns its end: for text that goes to a file as it is.
char* encodeBytesTo(char* out, QByteArrayView bytes, Alphabet alphabet);

}  // namespace detail

}  // namespace BASE64Module

namespace BASE64BoxModule {

QString boxBase64Encode(const QString& text);
QString boxBase64Decode(const QString& text);

}  // namespace BASE64BoxModule

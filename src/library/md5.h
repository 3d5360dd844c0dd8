#pragma once

#include <QString>

namespace MD5Module {

// The MD5 digest of the text's ANSI (GBK) bytes as 32 upper-case hexadecimal digits.
QString md5Hex(const QString& text);

}  // namespace MD5Module

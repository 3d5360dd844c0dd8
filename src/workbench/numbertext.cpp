#include "workbench/numbertext.h"

#include <cmath>

namespace NumberText {

namespace {
bool isBlank(QChar c) {
    return c == QLatin1Char(' ') || c == QLatin1Char('\t');
}
bool isDigit(QChar c) {
    return c >= QLatin1Char('0') && c <= QLatin1Char('9');
}
}  // namespace

std::optional<double> readNumber(const QString& text, const QLocale& locale) {
    qsizetype b = 0, e = text.size();
    while (b < e && isBlank(text[b])) ++b;
    while (e > b && isBlank(text[e - 1])) --e;
    const QStringView s = QStringView(text).mid(b, e - b);
    const QString point = locale.decimalPoint();
    QString plain;  // the same number in the C locale's notation
    qsizetype i = 0;
    if (i < s.size() && (s[i] == QLatin1Char('+') || s[i] == QLatin1Char('-'))) plain += s[i++];
    int digits = 0;
    while (i < s.size() && isDigit(s[i])) {
        plain += s[i++];
        ++digits;
    }
    if (!point.isEmpty() && s.mid(i).startsWith(point)) {
        i += point.size();
        plain += QLatin1Char('.');
        while (i < s.size() && isDigit(s[i])) {
            plain += s[i++];
            ++digits;
        }
    }
    if (digits == 0) return std::nullopt;
    if (i < s.size() && (s[i] == QLatin1Char('e') || s[i] == QLatin1Char('E'))) {
        plain += QLatin1Char('e');
        ++i;
        if (i < s.size() && (s[i] == QLatin1Char('+') || s[i] == QLatin1Char('-'))) plain += s[i++];
        int expDigits = 0;
        while (i < s.size() && isDigit(s[i])) {
            plain += s[i++];
            ++expDigits;
        }
        if (expDigits == 0) return std::nullopt;
    }
    if (i != s.size()) return std::nullopt;
    bool ok = false;
    const double v = QLocale::c().toDouble(plain, &ok);
    if (!ok || !std::isfinite(v)) return std::nullopt;
    return v;
}

double roundHalfEven(double value) {
    if (!std::isfinite(value)) return value;
    const double lower = std::floor(value);
    const double diff = value - lower;
    if (diff < 0.5) return lower;
    if (diff > 0.5) return lower + 1.0;
    return std::fmod(lower, 2.0) == 0.0 ? lower : lower + 1.0;
}

std::optional<qint16> toInt16(double value) {
    const double r = roundHalfEven(value);
    if (!(r >= -32768.0 && r <= 32767.0)) return std::nullopt;
    return static_cast<qint16>(r);
}

}  // namespace NumberText

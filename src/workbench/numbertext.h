#pragma once

#include <QLocale>
#include <QString>
#include <QtGlobal>
#include <optional>

// Numbers typed by the user, read the way the workbench has always read them.
namespace NumberText {

// The text as a number in the given locale: blanks (spaces, tabs) around it, an optional
// sign, digits with an optional decimal separator (digits on at least one side of it) and an
// optional exponent ("e" or "E", optional sign, digits). Nothing else is a number: no
// thousands separators, currency signs or hexadecimal prefixes. Empty when it is not one.
std::optional<double> readNumber(const QString& text, const QLocale& locale = QLocale());

// To the nearest whole number, a half going to the even neighbour (2.5 gives 2, 3.5 gives 4,
// -2.5 gives -2).
double roundHalfEven(double value);

// The number rounded with roundHalfEven as a 16-bit signed integer; empty when the rounded
// value falls outside -32768..32767.
std::optional<qint16> toInt16(double value);

}  // namespace NumberText

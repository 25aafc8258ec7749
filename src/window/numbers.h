#pragma once

#include <QString>

namespace window {

// The value of the decimal number a text starts with: blanks, tabs and line breaks anywhere are
// ignored, then an optional sign, digits, an optional fraction and an optional exponent are read.
// A text that does not start with a number has the value 0.
double leadingValue(const QString& text);

// The leading value of a text rounded to the nearest integer (halves to the even neighbour);
// outside the 16-bit range raises ErrOverflow.
qint16 leadingInteger(const QString& text);

// A text that must be a number as a whole (blanks around it allowed), rounded like leadingInteger.
// Anything else raises ErrTypeMismatch; outside the 16-bit range raises ErrOverflow.
qint16 wholeInteger(const QString& text);

// Rounds to the nearest integer, halves to the even neighbour; outside the 16-bit range raises
// ErrOverflow.
qint16 roundToInt16(double value);

} // namespace window

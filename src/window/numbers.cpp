#include "window/numbers.h"

#include "environment/errors.h"

#include <cmath>
#include <limits>

namespace window {

namespace {

bool isDigit(QChar c)
{
    return c >= QLatin1Char('0') && c <= QLatin1Char('9');
}

// Reads a decimal number at the start of s: sign, digits, fraction, exponent. Returns the number of
// characters used (0 when s does not start with a number) and its value.
qsizetype readNumber(const QString& s, double& value)
{
    qsizetype i = 0;
    QString number;
    if (i < s.size() && (s[i] == QLatin1Char('+') || s[i] == QLatin1Char('-')))
        number += s[i++];
    qsizetype digits = 0;
    while (i < s.size() && isDigit(s[i])) {
        number += s[i++];
        ++digits;
    }
    if (i < s.size() && s[i] == QLatin1Char('.')) {
        number += s[i++];
        while (i < s.size() && isDigit(s[i])) {
            number += s[i++];
            ++digits;
        }
    }
    if (digits == 0) {
        value = 0;
        return 0;
    }
    // An exponent counts only with at least one digit after its letter (and sign).
    if (i < s.size() && (s[i].toUpper() == QLatin1Char('E') || s[i].toUpper() == QLatin1Char('D'))) {
        qsizetype j = i + 1;
        QString exponent = QStringLiteral("e");
        if (j < s.size() && (s[j] == QLatin1Char('+') || s[j] == QLatin1Char('-')))
            exponent += s[j++];
        const qsizetype firstDigit = j;
        while (j < s.size() && isDigit(s[j]))
            exponent += s[j++];
        if (j > firstDigit) {
            number += exponent;
            i = j;
        }
    }
    value = number.toDouble();
    return i;
}

} // namespace

double leadingValue(const QString& text)
{
    QString compact;
    compact.reserve(text.size());
    for (const QChar c : text) {
        if (c != QLatin1Char(' ') && c != QLatin1Char('\t') && c != QLatin1Char('\n') && c != QLatin1Char('\r'))
            compact += c;
    }
    double value = 0;
    readNumber(compact, value);
    return value;
}

qint16 roundToInt16(double value)
{
    if (!std::isfinite(value))
        environment::raiseOverflow();
    const double rounded = std::nearbyint(value); // the default rounding mode: halves to even
    if (rounded < std::numeric_limits<qint16>::min() || rounded > std::numeric_limits<qint16>::max())
        environment::raiseOverflow();
    return static_cast<qint16>(rounded);
}

qint16 leadingInteger(const QString& text)
{
    return roundToInt16(leadingValue(text));
}

qint16 wholeInteger(const QString& text)
{
    const QString trimmed = text.trimmed();
    double value = 0;
    if (trimmed.isEmpty() || readNumber(trimmed, value) != trimmed.size())
        environment::raise(environment::ErrTypeMismatch);
    return roundToInt16(value);
}

} // namespace window

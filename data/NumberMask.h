#pragma once

#include "Money.h"

#include <QString>

// Number masks of printed documents and labels. In a mask "0" is a digit
// position that always prints (the integer part prints as many digits as the
// value needs, at least as many as it has "0"s, and at least one); "." marks
// where the decimal separator goes and the "0"s after it are the decimals
// printed (the value is rounded half away from zero); a "," anywhere before the
// decimal point groups the integer digits in threes; every other character prints
// as itself in its place. A minus sign leads the text of a negative value.
// With decimal "," and thousands ".", 1234.5 prints through "$ 0.00" as
// "$ 1234,50", through "$ 0,.00" as "$ 1.234,50" and through "0.00" as "1234,50".
namespace NumberMask {

QString format(Money value, QStringView mask, QStringView decimalSeparator, QStringView thousandSeparator);
// The same with the regional separators.
QString format(Money value, QStringView mask);

// The magnitude's digits with grouping and `decimals` decimals (no sign).
QString groupedDigits(Money magnitude, int decimals, QStringView decimalSeparator, QStringView thousandSeparator);

} // namespace NumberMask

#pragma once

#include <QMetaType>
#include <QString>
#include <QStringView>
#include <compare>
#include <optional>

// An exact currency amount: a 64-bit count of ten-thousandths (four decimals,
// 19 digits), the way the database stores it. Never a binary float.
// Arithmetic that leaves the 64-bit range throws DataError.
class Money
{
public:
    static constexpr qint64 Scale = 10000;
    static constexpr int Decimals = 4;

    constexpr Money() = default;
    static constexpr Money fromRaw(qint64 tenThousandths) { Money m; m.m_raw = tenThousandths; return m; }
    static Money fromUnits(qint64 units);

    constexpr qint64 raw() const { return m_raw; }

    Money operator+(Money other) const;
    Money operator-(Money other) const;
    Money operator-() const;
    Money operator*(qint64 factor) const;
    // Product of two amounts, taken to four decimals (half away from zero).
    Money times(Money other) const;
    // Quotient taken to four decimals (half away from zero); throws on division by zero.
    Money dividedBy(Money other) const;
    Money &operator+=(Money other) { *this = *this + other; return *this; }

    constexpr auto operator<=>(const Money &) const = default;

    // The amount taken to the given number of decimals (0..4), half away from zero.
    Money rounded(int decimals) const;

    // Plain fixed-point text: optional minus, digits, the separator and exactly
    // `decimals` digits (rounded); no grouping. toPlain(2, ",") of 1234.5 is "1234,50".
    QString toPlain(int decimals, QStringView decimalSeparator) const;

    // Reads a plain decimal number: blanks around it, an optional sign, digits, and
    // optionally the separator and more digits (beyond four decimals it is rounded).
    // No grouping, no exponent. Empty text, other characters or overflow give nullopt.
    static std::optional<Money> parse(QStringView text, QStringView decimalSeparator);

private:
    qint64 m_raw = 0;
};

Q_DECLARE_TYPEINFO(Money, Q_PRIMITIVE_TYPE);
Q_DECLARE_METATYPE(Money)

#include "Money.h"

#include "DataError.h"

namespace {

[[noreturn]] void overflow()
{
    throw DataError(QStringLiteral("Currency value out of range"));
}

// Rounds a/b to the nearest integer, halves away from zero, for b > 0.
qint64 divRound(__int128 a, __int128 b)
{
    __int128 q = a / b;
    __int128 r = a % b;
    if (r < 0)
        r = -r;
    if (2 * r >= b)
        q += (a < 0) ? -1 : 1;
    if (q > std::numeric_limits<qint64>::max() || q < std::numeric_limits<qint64>::min())
        overflow();
    return static_cast<qint64>(q);
}

constexpr qint64 pow10(int n)
{
    qint64 p = 1;
    while (n-- > 0)
        p *= 10;
    return p;
}

} // namespace

Money Money::fromUnits(qint64 units)
{
    qint64 r;
    if (__builtin_mul_overflow(units, Scale, &r))
        overflow();
    return fromRaw(r);
}

Money Money::operator+(Money other) const
{
    qint64 r;
    if (__builtin_add_overflow(m_raw, other.m_raw, &r))
        overflow();
    return fromRaw(r);
}

Money Money::operator-(Money other) const
{
    qint64 r;
    if (__builtin_sub_overflow(m_raw, other.m_raw, &r))
        overflow();
    return fromRaw(r);
}

Money Money::operator-() const
{
    if (m_raw == std::numeric_limits<qint64>::min())
        overflow();
    return fromRaw(-m_raw);
}

Money Money::operator*(qint64 factor) const
{
    qint64 r;
    if (__builtin_mul_overflow(m_raw, factor, &r))
        overflow();
    return fromRaw(r);
}

Money Money::times(Money other) const
{
    return fromRaw(divRound(static_cast<__int128>(m_raw) * other.m_raw, Scale));
}

Money Money::dividedBy(Money other) const
{
    if (other.m_raw == 0)
        throw DataError(QStringLiteral("Division by zero"));
    __int128 num = static_cast<__int128>(m_raw) * Scale;
    __int128 den = other.m_raw;
    if (den < 0) {
        num = -num;
        den = -den;
    }
    return fromRaw(divRound(num, den));
}

Money Money::rounded(int decimals) const
{
    if (decimals >= Decimals)
        return *this;
    if (decimals < 0)
        decimals = 0;
    const qint64 step = pow10(Decimals - decimals);
    // Rounding up the largest amounts can leave the 64-bit range.
    qint64 r;
    if (__builtin_mul_overflow(divRound(m_raw, step), step, &r))
        overflow();
    return fromRaw(r);
}

QString Money::toPlain(int decimals, QStringView decimalSeparator) const
{
    decimals = std::clamp(decimals, 0, 18);
    // Work in units of 10^-decimals.
    __int128 units;
    if (decimals <= Decimals)
        units = divRound(m_raw, pow10(Decimals - decimals));
    else
        units = static_cast<__int128>(m_raw) * pow10(decimals - Decimals);
    const bool negative = units < 0;
    if (negative)
        units = -units;
    QString digits;
    do {
        digits.prepend(QChar(u'0' + static_cast<int>(units % 10)));
        units /= 10;
    } while (units > 0);
    while (digits.size() < decimals + 1)
        digits.prepend(u'0');
    QString out;
    if (negative)
        out += u'-';
    out += QStringView(digits).left(digits.size() - decimals);
    if (decimals > 0) {
        out += decimalSeparator;
        out += QStringView(digits).right(decimals);
    }
    return out;
}

std::optional<Money> Money::parse(QStringView text, QStringView decimalSeparator)
{
    QStringView t = text.trimmed();
    if (t.isEmpty())
        return std::nullopt;
    bool negative = false;
    if (t.front() == u'+' || t.front() == u'-') {
        negative = t.front() == u'-';
        t = t.mid(1);
    }
    __int128 whole = 0;
    __int128 frac = 0;   // in units of 10^-fracDigits
    int fracDigits = 0;
    int digitCount = 0;
    bool inFraction = false;
    const __int128 limit = static_cast<__int128>(std::numeric_limits<qint64>::max()) * 10;
    for (qsizetype i = 0; i < t.size();) {
        const QChar c = t[i];
        if (c.isDigit() && c.unicode() < 128) {
            ++digitCount;
            if (inFraction) {
                if (fracDigits < 30) {
                    frac = frac * 10 + (c.unicode() - u'0');
                    ++fracDigits;
                }
            } else {
                whole = whole * 10 + (c.unicode() - u'0');
                if (whole > limit)
                    return std::nullopt;
            }
            ++i;
        } else if (!inFraction && !decimalSeparator.isEmpty() && t.mid(i).startsWith(decimalSeparator)) {
            inFraction = true;
            i += decimalSeparator.size();
        } else {
            return std::nullopt;
        }
    }
    if (digitCount == 0)
        return std::nullopt;
    // value = whole + frac / 10^fracDigits, in ten-thousandths, rounded
    __int128 raw = whole * Scale;
    if (fracDigits > 0) {
        __int128 scaledFrac = frac * Scale;
        __int128 den = 1;
        for (int i = 0; i < fracDigits; ++i)
            den *= 10;
        __int128 q = scaledFrac / den;
        if (2 * (scaledFrac % den) >= den)
            ++q;
        raw += q;
    }
    if (negative)
        raw = -raw;
    if (raw > std::numeric_limits<qint64>::max() || raw < std::numeric_limits<qint64>::min())
        return std::nullopt;
    return fromRaw(static_cast<qint64>(raw));
}

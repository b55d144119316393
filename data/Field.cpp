#include "Field.h"

#include "Cursor.h"
#include "DataError.h"
#include "DateTimes.h"
#include "NumberMask.h"
#include "Regional.h"

namespace {

QString fieldError(const QString &text, const Field &f, const char *what)
{
    return QStringLiteral("'%1' is not a valid %2 value for field '%3'").arg(text, QLatin1String(what), f.name());
}

// Whole numbers as a person types them: optional leading blanks, a sign, digits.
std::optional<qint64> parseWhole(QStringView text)
{
    qsizetype i = 0;
    while (i < text.size() && text[i] == u' ')
        ++i;
    QStringView rest = text.mid(i);
    if (rest.isEmpty())
        return std::nullopt;
    bool negative = false;
    if (rest.front() == u'+' || rest.front() == u'-') {
        negative = rest.front() == u'-';
        rest = rest.mid(1);
    }
    if (rest.isEmpty())
        return std::nullopt;
    qint64 v = 0;
    for (QChar c : rest) {
        if (c < u'0' || c > u'9')
            return std::nullopt;
        if (__builtin_mul_overflow(v, 10, &v) || __builtin_add_overflow(v, c.unicode() - u'0', &v))
            return std::nullopt;
    }
    return negative ? -v : v;
}

} // namespace

Field::Field(Cursor &cursor, QString name, Kind kind, int size, int index, int physicalIndex)
    : m_cursor(cursor), m_name(std::move(name)), m_kind(kind), m_size(size), m_index(index),
      m_physicalIndex(physicalIndex)
{
}

void Field::setLookup(LookupDef def)
{
    m_lookup = std::make_unique<LookupDef>(std::move(def));
}

bool Field::isNumeric() const
{
    return isWholeNumber() || m_kind == Kind::Money;
}

bool Field::isWholeNumber() const
{
    return m_kind == Kind::AutoKey || m_kind == Kind::Integer || m_kind == Kind::SmallInt;
}

int Field::displayWidth() const
{
    if (m_displayWidth > 0)
        return m_displayWidth;
    switch (m_kind) {
    case Kind::AutoKey:
    case Kind::Integer:
        return 10;
    case Kind::SmallInt:
        return 6;
    case Kind::Money:
        return 10;
    case Kind::DateTime:
        return 18;
    case Kind::Text:
        return std::clamp(m_size, 1, 20);
    case Kind::Memo:
    case Kind::Blob:
        return 10;
    }
    return 10;
}

Qt::Alignment Field::alignment() const
{
    if (m_alignment)
        return m_alignment;
    return isNumeric() ? Qt::AlignRight : Qt::AlignLeft;
}

QVariant Field::value() const
{
    return m_cursor.value(*this);
}

QString Field::asString() const
{
    return plainText(value());
}

qint64 Field::asInteger() const
{
    const QVariant v = value();
    if (!v.isValid())
        return 0;
    if (v.metaType() == QMetaType::fromType<Money>())
        return v.value<Money>().rounded(0).raw() / Money::Scale;
    if (v.metaType().id() == QMetaType::QString) {
        const auto n = parseWhole(v.toString());
        if (!n)
            throw DataError(fieldError(v.toString(), *this, "integer"));
        return *n;
    }
    return v.toLongLong();
}

Money Field::asMoney() const
{
    const QVariant v = value();
    if (!v.isValid())
        return Money();
    if (v.metaType() == QMetaType::fromType<Money>())
        return v.value<Money>();
    if (v.metaType().id() == QMetaType::QString) {
        const auto m = Regional::settings().parseMoney(v.toString());
        if (!m)
            throw DataError(fieldError(v.toString(), *this, "floating point"));
        return *m;
    }
    return Money::fromUnits(v.toLongLong());
}

QDateTime Field::asDateTime() const
{
    const QVariant v = value();
    return v.metaType().id() == QMetaType::QDateTime ? v.toDateTime() : QDateTime();
}

QByteArray Field::asBytes() const
{
    return value().toByteArray();
}

void Field::setValue(const QVariant &value)
{
    m_cursor.setValue(*this, value);
}

void Field::setAsString(const QString &text)
{
    const QVariant v = fromText(text);
    if (m_kind == Kind::Money && v.isValid()) {
        const Money m = v.value<Money>();
        if (m > LargestTypedAmount || m < -LargestTypedAmount) {
            const QString largest = NumberMask::format(LargestTypedAmount, u"0,.00");
            throw DataError(QStringLiteral("El importe '%1' no es válido para el campo '%2': debe estar entre -%3 y %3.")
                                .arg(text, m_name, largest));
        }
    }
    m_cursor.setValue(*this, v);
}

QString Field::plainText(const QVariant &v)
{
    if (!v.isValid())
        return QString();
    if (v.metaType() == QMetaType::fromType<Money>())
        return v.value<Money>().toPlain(Money::Decimals, Regional::settings().decimalSeparator);
    if (v.metaType().id() == QMetaType::QDateTime)
        return Regional::settings().formatDateTime(v.toDateTime());
    if (v.metaType().id() == QMetaType::QByteArray)
        return QString();
    return v.toString();
}

QString Field::displayTextOf(const QVariant &v) const
{
    if (!v.isValid())
        return QString();
    const RegionalSettings &rs = Regional::settings();
    if (v.metaType() == QMetaType::fromType<Money>()) {
        const Money m = v.value<Money>();
        return m_currency ? rs.formatCurrency(m) : m.toPlain(Money::Decimals, rs.decimalSeparator);
    }
    if (v.metaType().id() == QMetaType::QDateTime) {
        if (!m_displayFormat.isEmpty())
            return DateTimes::format(m_displayFormat, v.toDateTime(), rs);
        return rs.formatDateTime(v.toDateTime());
    }
    if (v.metaType().id() == QMetaType::QByteArray)
        return v.toByteArray().isEmpty() ? QString() : QStringLiteral("(BLOB)");
    return v.toString();
}

QString Field::editTextOf(const QVariant &v) const
{
    if (!v.isValid())
        return QString();
    const RegionalSettings &rs = Regional::settings();
    if (v.metaType() == QMetaType::fromType<Money>()) {
        const Money m = v.value<Money>();
        // Shown with the currency decimals, unless that would hide digits.
        if (m.rounded(rs.currencyDecimals) == m)
            return rs.formatPlainMoney(m);
        return m.toPlain(Money::Decimals, rs.decimalSeparator);
    }
    if (v.metaType().id() == QMetaType::QDateTime)
        return rs.formatDateTime(v.toDateTime());
    return displayTextOf(v);
}

QVariant Field::fromText(const QString &text) const
{
    if (text.isEmpty())
        return QVariant();
    switch (m_kind) {
    case Kind::AutoKey:
    case Kind::Integer:
    case Kind::SmallInt: {
        const auto n = parseWhole(text);
        if (!n)
            throw DataError(fieldError(text, *this, "integer"));
        return normalized(QVariant::fromValue<qlonglong>(*n));
    }
    case Kind::Money: {
        const auto m = Regional::settings().parseMoney(text);
        if (!m)
            throw DataError(fieldError(text, *this, "floating point"));
        return QVariant::fromValue(*m);
    }
    case Kind::DateTime: {
        if (auto c = DateTimes::fromCanonical(text))
            return *c;
        // the short date, optionally followed by a time
        const RegionalSettings &rs = Regional::settings();
        const QStringList parts = text.trimmed().split(u' ', Qt::SkipEmptyParts);
        const QStringList dmy = parts.value(0).split(rs.dateSeparator);
        if (dmy.size() == 3) {
            const QDate d(dmy[2].toInt(), dmy[1].toInt(), dmy[0].toInt());
            QTime t(0, 0);
            if (parts.size() > 1)
                t = QTime::fromString(parts[1], QStringLiteral("H:mm:ss"));
            if (d.isValid() && t.isValid())
                return DateTimes::make(d, t);
        }
        throw DataError(QStringLiteral("'%1' is not a valid date and time").arg(text));
    }
    case Kind::Blob:
        return QVariant(text.toUtf8());
    case Kind::Text:
    case Kind::Memo:
        return text;
    }
    return text;
}

QVariant Field::normalized(const QVariant &v) const
{
    if (!v.isValid() || v.isNull())
        return QVariant();
    const int type = v.metaType().id();
    const bool isMoneyValue = v.metaType() == QMetaType::fromType<Money>();
    if (type == QMetaType::QString && m_kind != Kind::Text && m_kind != Kind::Memo)
        return fromText(v.toString());
    switch (m_kind) {
    case Kind::AutoKey:
    case Kind::Integer:
    case Kind::SmallInt: {
        qint64 n;
        if (isMoneyValue) {
            n = v.value<Money>().rounded(0).raw() / Money::Scale;
        } else if (type == QMetaType::Double || type == QMetaType::Float) {
            throw DataError(fieldError(v.toString(), *this, "integer"));
        } else {
            bool ok = false;
            n = v.toLongLong(&ok);
            if (!ok)
                throw DataError(fieldError(v.toString(), *this, "integer"));
        }
        const qint64 lo = m_kind == Kind::SmallInt ? -32768 : std::numeric_limits<qint32>::min();
        const qint64 hi = m_kind == Kind::SmallInt ? 32767 : std::numeric_limits<qint32>::max();
        if (n < lo || n > hi)
            throw DataError(QStringLiteral("'%1' is not a valid value for field '%2'. The allowed range is %3 to %4")
                                .arg(n).arg(m_name).arg(lo).arg(hi));
        return QVariant::fromValue<qlonglong>(n);
    }
    case Kind::Money:
        if (isMoneyValue)
            return v;
        if (type == QMetaType::Double || type == QMetaType::Float)
            throw DataError(QStringLiteral("Field '%1' takes exact amounts, not binary floating point").arg(m_name));
        {
            bool ok = false;
            const qlonglong n = v.toLongLong(&ok);
            if (!ok)
                throw DataError(fieldError(v.toString(), *this, "floating point"));
            return QVariant::fromValue(Money::fromUnits(n));
        }
    case Kind::DateTime:
        if (type == QMetaType::QDateTime) {
            const QDateTime dt = v.toDateTime();
            const QTime t = dt.time();
            return DateTimes::make(dt.date(), QTime(t.hour(), t.minute(), t.second()));
        }
        if (type == QMetaType::QDate)
            return DateTimes::make(v.toDate());
        throw DataError(QStringLiteral("'%1' is not a valid date and time").arg(v.toString()));
    case Kind::Text:
    case Kind::Memo: {
        const QString s = isMoneyValue ? plainText(v) : v.toString();
        return s.isEmpty() ? QVariant() : QVariant(s);
    }
    case Kind::Blob:
        return v.toByteArray().isEmpty() ? QVariant() : QVariant(v.toByteArray());
    }
    return v;
}

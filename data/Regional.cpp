#include "Regional.h"

#include "DateTimes.h"
#include "NumberMask.h"

namespace {

RegionalSettings &current()
{
    static RegionalSettings s;
    return s;
}

// Qt's time formats use H/h/m/s/AP; the program's pictures use h/n/s/am/pm.
QString timePictureFromQt(const QString &qt)
{
    QString out;
    bool twelve = qt.contains(u"AP", Qt::CaseInsensitive) || qt.contains(u'a') ;
    for (qsizetype i = 0; i < qt.size();) {
        const QChar c = qt[i];
        qsizetype n = 1;
        while (i + n < qt.size() && qt[i + n] == c)
            ++n;
        if (c == u'H' || c == u'h') {
            out += n >= 2 ? QStringLiteral("hh") : QStringLiteral("h");
        } else if (c == u'm') {
            out += n >= 2 ? QStringLiteral("nn") : QStringLiteral("n");
        } else if (c == u's') {
            out += n >= 2 ? QStringLiteral("ss") : QStringLiteral("s");
        } else if (c == u'A' || c == u'a') {
            out += QStringLiteral("am/pm");
            if (i + 1 < qt.size() && (qt[i + 1] == u'P' || qt[i + 1] == u'p'))
                n = 2;
        } else if (c == u't' || c == u'z') {
            // zone names and milliseconds are left out
        } else if (c == u'\'') {
            const qsizetype end = qt.indexOf(u'\'', i + 1);
            out += u'"' + qt.mid(i + 1, (end < 0 ? qt.size() : end) - i - 1) + u'"';
            n = (end < 0 ? qt.size() : end + 1) - i;
        } else {
            out += QString(n, c);
        }
        i += n;
    }
    if (!twelve)
        out.replace(QStringLiteral("am/pm"), QString());
    return out.trimmed();
}

} // namespace

RegionalSettings RegionalSettings::fromLocale(const QLocale &loc)
{
    RegionalSettings s;
    s.locale = loc;
    s.decimalSeparator = loc.decimalPoint();
    s.thousandSeparator = loc.groupSeparator();

    // The currency layout is read off the locale's own rendering of 1 and -1.
    const QString positive = loc.toCurrencyString(1.0);
    const QString negative = loc.toCurrencyString(-1.0);
    const qsizetype one = positive.indexOf(u'1');
    if (one >= 0) {
        s.currencyPrefix = positive.left(one);
        qsizetype end = one + 1;
        int decimals = 0;
        if (positive.mid(end).startsWith(s.decimalSeparator)) {
            end += s.decimalSeparator.size();
            while (end < positive.size() && positive[end] == u'0') {
                ++decimals;
                ++end;
            }
        }
        s.currencyDecimals = decimals;
        s.currencySuffix = positive.mid(end);
    }
    const qsizetype nOne = negative.indexOf(u'1');
    if (nOne >= 0) {
        s.negativeCurrencyPrefix = negative.left(nOne);
        qsizetype end = nOne + 1;
        if (negative.mid(end).startsWith(s.decimalSeparator)) {
            end += s.decimalSeparator.size();
            while (end < negative.size() && negative[end] == u'0')
                ++end;
        }
        s.negativeCurrencySuffix = negative.mid(end);
    }

    // The date separator is the first character of the short date that is neither
    // a letter nor a blank; a locale that writes dates with blanks and month
    // names (the C locale) keeps the slash.
    const QString shortDate = loc.dateFormat(QLocale::ShortFormat);
    for (const QChar c : shortDate) {
        if (!c.isLetter() && !c.isSpace() && c != u'\'') {
            s.dateSeparator = QString(c);
            break;
        }
    }
    const QString longTime = loc.timeFormat(QLocale::LongFormat);
    for (const QChar c : longTime) {
        if (!c.isLetter() && c != u' ') {
            s.timeSeparator = QString(c);
            break;
        }
    }
    s.longTimeFormat = timePictureFromQt(longTime);
    if (s.longTimeFormat.isEmpty())
        s.longTimeFormat = QStringLiteral("hh:nn:ss");
    return s;
}

QString RegionalSettings::formatCurrency(Money value) const
{
    const bool negative = value.raw() < 0;
    const Money magnitude = negative ? -value : value;
    QString digits = NumberMask::groupedDigits(magnitude, currencyDecimals, decimalSeparator, thousandSeparator);
    if (negative)
        return negativeCurrencyPrefix + digits + negativeCurrencySuffix;
    return currencyPrefix + digits + currencySuffix;
}

QString RegionalSettings::formatPlainMoney(Money value) const
{
    return value.toPlain(currencyDecimals, decimalSeparator);
}

std::optional<Money> RegionalSettings::parseMoney(QStringView text) const
{
    return Money::parse(text, decimalSeparator);
}

QString RegionalSettings::formatShortDate(const QDateTime &value) const
{
    return DateTimes::format(shortDateFormat, value, *this);
}

QString RegionalSettings::formatDateTime(const QDateTime &value) const
{
    QString s = formatShortDate(value);
    if (value.time() != QTime(0, 0))
        s += u' ' + DateTimes::format(longTimeFormat, value, *this);
    return s;
}

namespace Regional {

const RegionalSettings &settings()
{
    return current();
}

void setSettings(const RegionalSettings &settings)
{
    current() = settings;
}

void loadFromSystem()
{
    RegionalSettings s = RegionalSettings::fromLocale(QLocale::system());
    s.shortDateFormat = current().shortDateFormat;
    current() = s;
}

} // namespace Regional

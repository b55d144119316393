#include "DateTimes.h"

#include "Regional.h"

namespace DateTimes {

namespace {

int digitsAt(QStringView s, qsizetype pos, int count, bool *ok)
{
    int v = 0;
    for (int i = 0; i < count; ++i) {
        const QChar c = s[pos + i];
        if (c < u'0' || c > u'9') {
            *ok = false;
            return 0;
        }
        v = v * 10 + (c.unicode() - u'0');
    }
    return v;
}

QString pad(int v, int width)
{
    return QString::number(v).rightJustified(width, u'0');
}

} // namespace

QString toCanonical(const QDateTime &value)
{
    const QDate d = value.date();
    const QTime t = value.time();
    QString s;
    s.reserve(19);
    s += pad(d.year(), 4);
    s += u'-';
    s += pad(d.month(), 2);
    s += u'-';
    s += pad(d.day(), 2);
    s += u' ';
    s += pad(t.hour(), 2);
    s += u':';
    s += pad(t.minute(), 2);
    s += u':';
    s += pad(t.second(), 2);
    return s;
}

QString toCanonical(QDate day)
{
    return toCanonical(make(day));
}

std::optional<QDateTime> fromCanonical(QStringView s)
{
    if (s.size() != 19 || s[4] != u'-' || s[7] != u'-' || s[10] != u' ' || s[13] != u':' || s[16] != u':')
        return std::nullopt;
    bool ok = true;
    const int y = digitsAt(s, 0, 4, &ok);
    const int mo = digitsAt(s, 5, 2, &ok);
    const int d = digitsAt(s, 8, 2, &ok);
    const int h = digitsAt(s, 11, 2, &ok);
    const int mi = digitsAt(s, 14, 2, &ok);
    const int se = digitsAt(s, 17, 2, &ok);
    if (!ok)
        return std::nullopt;
    const QDate date(y, mo, d);
    const QTime time(h, mi, se);
    if (!date.isValid() || !time.isValid())
        return std::nullopt;
    return make(date, time);
}

std::optional<qint64> canonicalMSecs(QByteArrayView s)
{
    // Every date-time of a table passes here at start-up: digits read once,
    // the calendar worked out by arithmetic (proleptic Gregorian, as QDate).
    if (s.size() != 19 || s[4] != '-' || s[7] != '-' || s[10] != ' ' || s[13] != ':' || s[16] != ':')
        return std::nullopt;
    const auto number = [&s](qsizetype at, int count) {
        int v = 0;
        for (int i = 0; i < count; ++i) {
            const unsigned digit = static_cast<unsigned char>(s[at + i]) - unsigned('0');
            if (digit > 9)
                return -1;
            v = v * 10 + int(digit);
        }
        return v;
    };
    const int y = number(0, 4), mo = number(5, 2), d = number(8, 2);
    const int h = number(11, 2), mi = number(14, 2), se = number(17, 2);
    if (y <= 0 || mo < 1 || mo > 12 || d < 1 || h < 0 || h > 23 || mi < 0 || mi > 59 || se < 0 || se > 59)
        return std::nullopt;
    const bool leap = (y % 4 == 0 && y % 100 != 0) || y % 400 == 0;
    static constexpr int monthDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    if (d > monthDays[mo - 1] + (mo == 2 && leap ? 1 : 0))
        return std::nullopt;
    // Days since 1970-01-01 of a civil date.
    const qint64 yy = y - (mo <= 2 ? 1 : 0);
    const qint64 era = yy / 400;
    const qint64 yoe = yy - era * 400;
    const qint64 doy = (153 * (mo > 2 ? mo - 3 : mo + 9) + 2) / 5 + d - 1;
    const qint64 doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    const qint64 days = era * 146097 + doe - 719468;
    return days * 86400000 + ((h * 60 + mi) * 60 + se) * qint64(1000);
}

QDateTime make(QDate date, QTime time)
{
    return QDateTime(date, time, Qt::UTC);
}

QDateTime dayOf(const QDateTime &value)
{
    return make(value.date());
}

QDateTime now()
{
    const QDateTime local = QDateTime::currentDateTime();
    const QTime t = local.time();
    return make(local.date(), QTime(t.hour(), t.minute(), t.second()));
}

QDate today()
{
    return QDate::currentDate();
}

QString format(QStringView pic, const QDateTime &value, const RegionalSettings &rs, bool literalSeparators)
{
    const QDate d = value.date();
    const QTime t = value.time();

    // A 12-hour clock applies to the whole picture when it holds am/pm or a/p.
    const QString lower = pic.toString().toLower();
    const bool twelveHour = lower.contains(u"am/pm") || lower.contains(u"a/p");

    QString out;
    bool lastWasHour = false;
    qsizetype i = 0;
    auto runOf = [&](QChar c) {
        qsizetype n = 0;
        while (i + n < pic.size() && pic[i + n].toLower() == c)
            ++n;
        return n;
    };
    while (i < pic.size()) {
        const QChar c = pic[i];
        const QChar lc = c.toLower();
        if (c == u'"' || c == u'\'') {
            const qsizetype end = pic.indexOf(c, i + 1);
            const qsizetype stop = end < 0 ? pic.size() : end;
            out += pic.mid(i + 1, stop - i - 1);
            i = end < 0 ? pic.size() : end + 1;
            continue;
        }
        if (lc == u'a' && pic.mid(i).startsWith(u"am/pm", Qt::CaseInsensitive)) {
            out += t.hour() < 12 ? QStringLiteral("AM") : QStringLiteral("PM");
            i += 5;
            continue;
        }
        if (lc == u'a' && pic.mid(i).startsWith(u"a/p", Qt::CaseInsensitive)) {
            out += t.hour() < 12 ? u'a' : u'p';
            i += 3;
            continue;
        }
        qsizetype n = 0;
        switch (lc.unicode()) {
        case u'd':
            n = runOf(u'd');
            if (n == 1)
                out += QString::number(d.day());
            else if (n == 2)
                out += pad(d.day(), 2);
            else if (n == 3)
                out += rs.locale.dayName(d.dayOfWeek(), QLocale::ShortFormat);
            else
                out += rs.locale.dayName(d.dayOfWeek(), QLocale::LongFormat);
            lastWasHour = false;
            break;
        case u'm':
            n = runOf(u'm');
            if (lastWasHour && n <= 2) {
                out += n == 1 ? QString::number(t.minute()) : pad(t.minute(), 2);
            } else if (n == 1) {
                out += QString::number(d.month());
            } else if (n == 2) {
                out += pad(d.month(), 2);
            } else if (n == 3) {
                out += rs.locale.monthName(d.month(), QLocale::ShortFormat);
            } else {
                out += rs.locale.monthName(d.month(), QLocale::LongFormat);
            }
            lastWasHour = false;
            break;
        case u'y':
            n = runOf(u'y');
            out += n <= 2 ? pad(d.year() % 100, 2) : pad(d.year(), 4);
            lastWasHour = false;
            break;
        case u'h': {
            n = runOf(u'h');
            int h = t.hour();
            if (twelveHour) {
                h %= 12;
                if (h == 0)
                    h = 12;
            }
            out += n == 1 ? QString::number(h) : pad(h, 2);
            lastWasHour = true;
            break;
        }
        case u'n':
            n = runOf(u'n');
            out += n == 1 ? QString::number(t.minute()) : pad(t.minute(), 2);
            lastWasHour = false;
            break;
        case u's':
            n = runOf(u's');
            out += n == 1 ? QString::number(t.second()) : pad(t.second(), 2);
            lastWasHour = false;
            break;
        case u'z':
            n = runOf(u'z');
            out += n == 1 ? QString::number(t.msec()) : pad(t.msec(), 3);
            break;
        case u'/':
            n = 1;
            out += literalSeparators ? QStringLiteral("/") : rs.dateSeparator;
            break;
        case u':':
            n = 1;
            out += literalSeparators ? QStringLiteral(":") : rs.timeSeparator;
            break;
        default:
            n = 1;
            out += c;
            break;
        }
        i += n;
    }
    return out;
}

} // namespace DateTimes

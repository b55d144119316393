#pragma once

#include <QDate>
#include <QByteArrayView>
#include <QDateTime>
#include <QString>
#include <QStringView>
#include <optional>

class RegionalSettings;

// Date-times are naive wall-clock values: a date and a time of day with no zone.
// In memory they are QDateTime in UTC time (so no daylight-saving gap can shift
// them); in the database they are text in one canonical form.
namespace DateTimes {

// 'YYYY-MM-DD HH:MM:SS': text order is calendar order.
QString toCanonical(const QDateTime &value);
QString toCanonical(QDate day);
// Reads the canonical form exactly; anything else gives nullopt.
std::optional<QDateTime> fromCanonical(QStringView text);
// The same form in bytes, as milliseconds since the epoch of the naive value
// read as UTC (what make() of it gives with toMSecsSinceEpoch()).
std::optional<qint64> canonicalMSecs(QByteArrayView text);

QDateTime make(QDate date, QTime time = QTime(0, 0));
// The day of a date-time with its time part cut off.
QDateTime dayOf(const QDateTime &value);
// The wall clock now, as a naive value.
QDateTime now();
QDate today();

// Formats with a picture in the classic desktop notation, letters in any case:
// d dd ddd dddd (day, two-digit day, short and long weekday name), m mm mmm mmmm
// (month, or minutes right after an hour), yy yyyy, h hh, n nn (minutes), s ss,
// zzz, am/pm and a/p (12-hour clock), "..." and '...' literals. A '/' prints the
// date separator and ':' the time separator of the regional settings, unless
// literalSeparators is set. Names come from the settings' locale.
QString format(QStringView picture, const QDateTime &value, const RegionalSettings &settings,
               bool literalSeparators = false);

} // namespace DateTimes

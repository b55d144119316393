#pragma once

#include "Money.h"

#include <QDateTime>
#include <QLocale>
#include <QString>

// The user's regional settings, read once from the system locale. Every
// formatting and parsing of numbers, money and dates goes through them.
class RegionalSettings
{
public:
    QString decimalSeparator = QStringLiteral(".");
    QString thousandSeparator = QStringLiteral(",");
    // Currency: the amount's digits stand between prefix and suffix.
    int currencyDecimals = 2;
    QString currencyPrefix = QStringLiteral("$");
    QString currencySuffix;
    QString negativeCurrencyPrefix = QStringLiteral("-$");
    QString negativeCurrencySuffix;
    QString dateSeparator = QStringLiteral("/");
    QString timeSeparator = QStringLiteral(":");
    // Pictures in the notation of DateTimes::format.
    QString shortDateFormat = QStringLiteral("dd/mm/yyyy");
    QString longTimeFormat = QStringLiteral("hh:nn:ss");
    // Weekday and month names.
    QLocale locale = QLocale::c();

    // Reads a locale's separators, currency format and time format.
    static RegionalSettings fromLocale(const QLocale &locale);

    // Money in the currency format: sign, grouping, currency decimals.
    QString formatCurrency(Money value) const;
    // Money as a plain fixed-point number with the currency decimals (edit text).
    QString formatPlainMoney(Money value) const;
    std::optional<Money> parseMoney(QStringView text) const;

    // Short date, then the long time when the time part is not zero.
    QString formatDateTime(const QDateTime &value) const;
    QString formatShortDate(const QDateTime &value) const;
};

namespace Regional {
const RegionalSettings &settings();
void setSettings(const RegionalSettings &settings);
// The settings of the system locale; the program calls it once at start-up.
void loadFromSystem();
} // namespace Regional

#pragma once

#include "DataError.h"
#include "Regional.h"

#include <QTest>

// Regional settings of a Spanish-speaking user: decimal comma, thousands full
// stop, "$ " before amounts, "/" between day, month and year.
inline RegionalSettings spanishSettings()
{
    RegionalSettings s;
    s.decimalSeparator = QStringLiteral(",");
    s.thousandSeparator = QStringLiteral(".");
    s.currencyDecimals = 2;
    s.currencyPrefix = QStringLiteral("$ ");
    s.currencySuffix.clear();
    s.negativeCurrencyPrefix = QStringLiteral("-$ ");
    s.negativeCurrencySuffix.clear();
    s.dateSeparator = QStringLiteral("/");
    s.timeSeparator = QStringLiteral(":");
    s.shortDateFormat = QStringLiteral("dd/mm/yyyy");
    s.longTimeFormat = QStringLiteral("hh:nn:ss");
    s.locale = QLocale(QLocale::Spanish, QLocale::Argentina);
    return s;
}

// Verifies that a statement throws DataError with exactly the given message
// (an empty message: that it throws nothing).
#define VERIFY_DATA_ERROR(statement, expected)                                                               \
    do {                                                                                                    \
        QString message_;                                                                                   \
        try {                                                                                               \
            statement;                                                                                      \
        } catch (const DataError &e_) {                                                                     \
            message_ = e_.message();                                                                        \
        }                                                                                                   \
        QCOMPARE(message_, QString(expected));                                                              \
    } while (false)

#include "DateTimes.h"
#include "Money.h"
#include "NumberMask.h"
#include "Regional.h"
#include "TestSupport.h"

#include <QTest>

// Money, number masks, currency and date formats with Spanish-style settings.
class TestFormats : public QObject
{
    Q_OBJECT

private:
    static RegionalSettings spanish() { return spanishSettings(); }

private slots:
    void initTestCase() { Regional::setSettings(spanish()); }

    void parseMoney_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("ok");
        QTest::addColumn<qint64>("raw");
        QTest::newRow("whole") << "12" << true << qint64(120000);
        QTest::newRow("decimals") << "1234,5" << true << qint64(12345000);
        QTest::newRow("four decimals") << "0,0001" << true << qint64(1);
        QTest::newRow("fifth decimal rounds up") << "0,00005" << true << qint64(1);
        QTest::newRow("fifth decimal rounds down") << "0,00004" << true << qint64(0);
        QTest::newRow("negative") << "-2,5" << true << qint64(-25000);
        QTest::newRow("plus and blanks") << "  +3 " << true << qint64(30000);
        QTest::newRow("trailing separator") << "7," << true << qint64(70000);
        QTest::newRow("empty") << "" << false << qint64(0);
        QTest::newRow("blanks") << "   " << false << qint64(0);
        QTest::newRow("sign only") << "-" << false << qint64(0);
        QTest::newRow("letters") << "12a" << false << qint64(0);
        QTest::newRow("other separator") << "12.5" << false << qint64(0);
        QTest::newRow("two separators") << "1,2,3" << false << qint64(0);
        QTest::newRow("largest") << "922337203685477,5807" << true << std::numeric_limits<qint64>::max();
        QTest::newRow("overflow") << "922337203685477,5808" << false << qint64(0);
        QTest::newRow("huge") << "99999999999999999999999" << false << qint64(0);
    }

    void parseMoney()
    {
        QFETCH(QString, text);
        QFETCH(bool, ok);
        QFETCH(qint64, raw);
        const auto m = Money::parse(text, u",");
        QCOMPARE(m.has_value(), ok);
        if (ok)
            QCOMPARE(m->raw(), raw);
    }

    void arithmeticIsExactAndChecked()
    {
        QCOMPARE((Money::parse(u"1234,5", u",").value() * 3).raw(), qint64(37035000));
        QCOMPARE(Money::fromRaw(1).times(Money::fromRaw(5000)).raw(), qint64(1)); // 0.00005 rounds away from zero
        QCOMPARE(Money::fromUnits(10).dividedBy(Money::fromUnits(3)).raw(), qint64(33333));
        QVERIFY_THROWS_EXCEPTION(std::exception, Money::fromRaw(std::numeric_limits<qint64>::max()) * 2);
        QVERIFY_THROWS_EXCEPTION(std::exception, Money::fromUnits(1).dividedBy(Money()));
    }

    void masks_data()
    {
        QTest::addColumn<QString>("value");
        QTest::addColumn<QString>("mask");
        QTest::addColumn<QString>("expected");
        QTest::newRow("currency mask") << "1234.5" << "$ 0.00" << "$ 1234,50";
        QTest::newRow("grouped") << "1234.5" << "$ 0,.00" << "$ 1.234,50";
        QTest::newRow("plain") << "1234.5" << "0.00" << "1234,50";
        QTest::newRow("zero") << "0" << "$ 0.00" << "$ 0,00";
        QTest::newRow("below one") << "0.5" << "0.00" << "0,50";
        QTest::newRow("half rounds up") << "2.345" << "0.00" << "2,35";
        QTest::newRow("negative half rounds away") << "-2.345" << "0.00" << "-2,35";
        QTest::newRow("negative with literal") << "-12.5" << "$ 0.00" << "-$ 12,50";
        QTest::newRow("no decimals") << "12.5" << "0" << "13";
        QTest::newRow("millions grouped") << "1234567.891" << "0,.00" << "1.234.567,89";
        QTest::newRow("minimum digits") << "5" << "000" << "005";
        QTest::newRow("suffix") << "3" << "0.0 kg" << "3,0 kg";
    }

    void masks()
    {
        QFETCH(QString, value);
        QFETCH(QString, mask);
        QFETCH(QString, expected);
        QCOMPARE(NumberMask::format(*Money::parse(value, u"."), mask), expected);
    }

    void currencyFormat_data()
    {
        QTest::addColumn<QString>("value");
        QTest::addColumn<QString>("expected");
        QTest::newRow("grouping") << "1234.5" << "$ 1.234,50";
        QTest::newRow("small") << "12.5" << "$ 12,50";
        QTest::newRow("negative") << "-1234.5" << "-$ 1.234,50";
        QTest::newRow("rounded") << "0.005" << "$ 0,01";
    }

    void currencyFormat()
    {
        QFETCH(QString, value);
        QFETCH(QString, expected);
        QCOMPARE(Regional::settings().formatCurrency(*Money::parse(value, u".")), expected);
    }

    void currencyLayoutFromLocale()
    {
        // The layout is read off the locale's own rendering.
        const RegionalSettings us = RegionalSettings::fromLocale(QLocale(QLocale::English, QLocale::UnitedStates));
        QCOMPARE(us.formatCurrency(*Money::parse(u"1234.5", u".")), QStringLiteral("$1,234.50"));
        QCOMPARE(us.decimalSeparator, QStringLiteral("."));
        const RegionalSettings de = RegionalSettings::fromLocale(QLocale(QLocale::German, QLocale::Germany));
        QCOMPARE(de.decimalSeparator, QStringLiteral(","));
        QCOMPARE(de.dateSeparator, QStringLiteral("."));
        QVERIFY(de.formatCurrency(*Money::parse(u"1234.5", u".")).startsWith(QStringLiteral("1.234,50")));
        // Blanks and month names in the short date: the slash stands.
        QCOMPARE(RegionalSettings::fromLocale(QLocale::c()).dateSeparator, QStringLiteral("/"));
    }

    void canonicalDates_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("valid");
        QTest::newRow("day") << "2014-04-05 00:00:00" << true;
        QTest::newRow("time") << "2014-04-05 13:07:59" << true;
        QTest::newRow("leap day") << "2024-02-29 00:00:00" << true;
        QTest::newRow("no leap day") << "2023-02-29 00:00:00" << false;
        QTest::newRow("no time") << "2014-04-05" << false;
        QTest::newRow("bad hour") << "2014-04-05 24:00:00" << false;
        QTest::newRow("letters") << "2014-0a-05 00:00:00" << false;
    }

    void canonicalDates()
    {
        QFETCH(QString, text);
        QFETCH(bool, valid);
        const auto dt = DateTimes::fromCanonical(text);
        QCOMPARE(dt.has_value(), valid);
        if (valid)
            QCOMPARE(DateTimes::toCanonical(*dt), text);
    }

    void datePictures_data()
    {
        QTest::addColumn<QString>("picture");
        QTest::addColumn<QString>("separator");
        QTest::addColumn<QString>("expected");
        QTest::newRow("short date") << "dd/mm/yyyy" << "/" << "05/04/2014";
        QTest::newRow("other separator") << "dd/mm/yyyy" << "-" << "05-04-2014";
        QTest::newRow("stamp") << "dd/MM/YYYY hh:mm" << "/" << "05/04/2014 09:07";
        QTest::newRow("weekday") << "dddd dd/MM/yyyy" << "/" << "sábado 05/04/2014";
        QTest::newRow("quoted") << "\"día\" d" << "/" << "día 5";
        QTest::newRow("twelve hour") << "h:nn am/pm" << "/" << "9:07 AM";
    }

    void datePictures()
    {
        QFETCH(QString, picture);
        QFETCH(QString, separator);
        QFETCH(QString, expected);
        RegionalSettings s = spanish();
        s.dateSeparator = separator;
        const QDateTime dt = DateTimes::make(QDate(2014, 4, 5), QTime(9, 7, 3));
        QCOMPARE(DateTimes::format(picture, dt, s), expected);
    }

    void dateTimeDisplayAddsTimeOnlyWhenNotMidnight()
    {
        const RegionalSettings &s = Regional::settings();
        QCOMPARE(s.formatDateTime(DateTimes::make(QDate(2014, 4, 5))), QStringLiteral("05/04/2014"));
        QCOMPARE(s.formatDateTime(DateTimes::make(QDate(2014, 4, 5), QTime(13, 5, 9))),
                 QStringLiteral("05/04/2014 13:05:09"));
    }
};

QTEST_GUILESS_MAIN(TestFormats)
#include "tst_formats.moc"

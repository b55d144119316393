#include "DataError.h"
#include "DatePicker.h"
#include "DateTimes.h"
#include "Regional.h"

#include <QApplication>
#include <QCalendarWidget>
#include <QDateEdit>
#include <QLineEdit>
#include <QSignalSpy>
#include "TestSupport.h"

#include <QTest>


// The date picker on the offscreen platform: formats, the minimum date, and the
// change event that only the user fires.
class TestDatePicker : public QObject
{
    Q_OBJECT

private:
    static QDateTime day(int y, int m, int d) { return DateTimes::make(QDate(y, m, d)); }

    static RegionalSettings spanish(const QString &separator = QStringLiteral("/"))
    {
        RegionalSettings s = spanishSettings();
        s.dateSeparator = separator;
        return s;
    }

    static QDateEdit *editorOf(DatePicker &picker) { return picker.findChild<QDateEdit *>(); }

private slots:
    void initTestCase()
    {
        QFont::insertSubstitution(QStringLiteral("MS Sans Serif"), QStringLiteral("Liberation Sans"));
        QApplication::setFont(QFont(QStringLiteral("MS Sans Serif"), 8));
    }

    void init() { Regional::setSettings(spanish()); }

    void format_data()
    {
        QTest::addColumn<QString>("picture");
        QTest::addColumn<QString>("separator");
        QTest::addColumn<bool>("english");
        QTest::addColumn<QString>("text");
        QTest::newRow("weekday and date in Spanish") << "dddd dd/MM/yyyy" << "/" << false << "sábado 05/04/2014";
        QTest::newRow("the pattern's slashes are literal") << "dddd dd/MM/yyyy" << "-" << false
                                                           << "sábado 05/04/2014";
        QTest::newRow("weekday in the locale's language") << "dddd dd/MM/yyyy" << "/" << true
                                                          << "Saturday 05/04/2014";
        QTest::newRow("no pattern: the short date") << "" << "/" << false << "05/04/2014";
        QTest::newRow("the short date uses the date separator") << "" << "." << false << "05.04.2014";
    }

    void format()
    {
        QFETCH(QString, picture);
        QFETCH(QString, separator);
        QFETCH(bool, english);
        QFETCH(QString, text);
        RegionalSettings s = spanish(separator);
        if (english)
            s.locale = QLocale(QLocale::English, QLocale::UnitedStates);
        Regional::setSettings(s);
        DatePicker picker;
        picker.setFormat(picture);
        picker.setDate(day(2014, 4, 5));
        QCOMPARE(picker.text(), text);
        QCOMPARE(picker.date(), day(2014, 4, 5));
    }

    void startsToday()
    {
        DatePicker picker;
        QCOMPARE(picker.date(), DateTimes::make(DateTimes::today()));
        QVERIFY(!picker.minDate().isValid());
    }

    void keepsTheTimeGiven()
    {
        DatePicker picker;
        const QDateTime value = DateTimes::make(QDate(2008, 4, 16), QTime(10, 30));
        picker.setDate(value);
        QCOMPARE(picker.date(), value);
        QCOMPARE(picker.date().timeSpec(), Qt::UTC);
    }

    void minimum_data()
    {
        QTest::addColumn<QDate>("minimum");
        QTest::addColumn<QDate>("shown");
        QTest::newRow("a later minimum moves the date forward") << QDate(2014, 4, 9) << QDate(2014, 4, 9);
        QTest::newRow("the same day changes nothing") << QDate(2014, 4, 5) << QDate(2014, 4, 5);
        QTest::newRow("an earlier minimum changes nothing") << QDate(2014, 3, 1) << QDate(2014, 4, 5);
        QTest::newRow("no minimum") << QDate() << QDate(2014, 4, 5);
    }

    void minimum()
    {
        QFETCH(QDate, minimum);
        QFETCH(QDate, shown);
        DatePicker picker;
        picker.setFormat(QStringLiteral("dddd dd/MM/yyyy"));
        picker.setDate(DateTimes::make(QDate(2014, 4, 5), QTime(8, 0)));
        QSignalSpy changes(&picker, &DatePicker::changed);
        picker.setMinDate(minimum);
        QCOMPARE(picker.date().date(), shown);
        QCOMPARE(picker.minDate(), minimum);
        QCOMPARE(changes.count(), 0);
    }

    void dateBelowMinimum_data()
    {
        QTest::addColumn<QString>("separator");
        QTest::addColumn<QString>("message");
        QTest::newRow("short date with slashes") << "/" << "Date is less than minimum of 05/04/2014";
        QTest::newRow("the regional separator") << "-" << "Date is less than minimum of 05-04-2014";
    }

    void dateBelowMinimum()
    {
        QFETCH(QString, separator);
        QFETCH(QString, message);
        Regional::setSettings(spanish(separator));
        DatePicker picker;
        picker.setMinDate(QDate(2014, 4, 5));
        picker.setDate(day(2014, 4, 10));
        QSignalSpy changes(&picker, &DatePicker::changed);
        VERIFY_DATA_ERROR(picker.setDate(day(2014, 4, 4)), message);
        QCOMPARE(picker.date(), day(2014, 4, 10));
        // The minimum day itself is accepted, whatever its time.
        picker.setDate(DateTimes::make(QDate(2014, 4, 5), QTime(0, 0, 1)));
        QCOMPARE(picker.date().date(), QDate(2014, 4, 5));
        QCOMPARE(changes.count(), 0);
    }

    void userKeys_data()
    {
        QTest::addColumn<QString>("picture");
        QTest::addColumn<int>("key");
        QTest::addColumn<QDate>("expected");
        QTest::addColumn<int>("changes");
        QTest::newRow("up, short date") << "" << int(Qt::Key_Up) << QDate(2014, 4, 6) << 1;
        QTest::newRow("down, short date") << "" << int(Qt::Key_Down) << QDate(2014, 4, 4) << 1;
        QTest::newRow("up, with the weekday") << "dddd dd/MM/yyyy" << int(Qt::Key_Up) << QDate(2014, 4, 6) << 1;
        QTest::newRow("down stops at the minimum") << "" << int(Qt::Key_Down) << QDate(2014, 4, 5) << 0;
    }

    void userKeys()
    {
        QFETCH(QString, picture);
        QFETCH(int, key);
        QFETCH(QDate, expected);
        QFETCH(int, changes);
        QWidget window;
        auto *picker = new DatePicker(&window);
        picker->setFormat(picture);
        picker->setGeometry(10, 36, 155, 21);
        picker->setDate(day(2014, 4, 5));
        if (changes == 0)
            picker->setMinDate(QDate(2014, 4, 5));
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        picker->setFocus();
        QSignalSpy spy(picker, &DatePicker::changed);
        QTest::keyClick(editorOf(*picker), Qt::Key(key));
        QCOMPARE(picker->date().date(), expected);
        QCOMPARE(spy.count(), changes);
    }

    void typedDates_data()
    {
        // Keys: digits and '/' as typed; T Tab, B Shift+Tab, H Home, N Enter,
        // X Escape, L the focus leaves the picker.
        QTest::addColumn<QString>("picture");
        QTest::addColumn<QDate>("shown");
        QTest::addColumn<QDate>("minimum");
        QTest::addColumn<QString>("keys");
        QTest::addColumn<QDate>("expected");
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("changes");
        const QString weekday = QStringLiteral("dddd dd/MM/yyyy");
        const QDate none, april(2008, 4, 16);
        QTest::newRow("29 February of a leap year, section by section")
            << "" << april << none << "H29T02T2028" << QDate(2028, 2, 29) << "29/02/2028" << 1;
        QTest::newRow("29 February of a common year is refused")
            << "" << april << none << "H29T02T2027" << april << "16/04/2008" << 0;
        QTest::newRow("31 January, section by section")
            << "" << april << none << "H31T01T2027" << QDate(2027, 1, 31) << "31/01/2027" << 1;
        QTest::newRow("typed straight") << "" << QDate(2026, 12, 20) << none << "H01012027" << QDate(2027, 1, 1)
                                        << "01/01/2027" << 1;
        QTest::newRow("typed with the separators") << "" << QDate(2026, 12, 20) << none << "H01/01/2027"
                                                   << QDate(2027, 1, 1) << "01/01/2027" << 1;
        QTest::newRow("the year's last day") << "" << april << none << "H31122026" << QDate(2026, 12, 31)
                                             << "31/12/2026" << 1;
        QTest::newRow("single digits, then Tab") << "" << april << none << "H5T6T2027" << QDate(2027, 6, 5)
                                                 << "05/06/2027" << 1;
        QTest::newRow("31 April is refused") << "" << april << none << "H31T04T2026" << april << "16/04/2008" << 0;
        QTest::newRow("the day alone, then leaving") << "" << april << none << "H20L" << QDate(2008, 4, 20)
                                                     << "20/04/2008" << 1;
        QTest::newRow("a day the month lacks, then leaving") << "" << april << none << "H31L" << april
                                                             << "16/04/2008" << 0;
        QTest::newRow("the month alone, then Enter") << "" << april << none << "HT12N" << QDate(2008, 12, 16)
                                                     << "16/12/2008" << 1;
        QTest::newRow("back to the day with Shift+Tab") << "" << april << none << "HT12BB3L" << QDate(2008, 12, 3)
                                                        << "03/12/2008" << 1;
        QTest::newRow("a year typed in part is refused") << "" << april << none << "HTT20L" << april << "16/04/2008"
                                                         << 0;
        QTest::newRow("Escape drops what was typed") << "" << april << none << "H2812XL" << april << "16/04/2008" << 0;
        QTest::newRow("before the minimum is refused") << "" << QDate(2014, 5, 15) << QDate(2014, 5, 10)
                                                       << "H09T05T2014" << QDate(2014, 5, 15) << "15/05/2014" << 0;
        QTest::newRow("the minimum itself") << "" << QDate(2014, 5, 15) << QDate(2014, 5, 10) << "H10T05T2014"
                                            << QDate(2014, 5, 10) << "10/05/2014" << 1;
        QTest::newRow("across the year after a December minimum")
            << weekday << QDate(2026, 12, 30) << QDate(2026, 12, 30) << "H02T01T2027" << QDate(2027, 1, 2)
            << "sábado 02/01/2027" << 1;
        QTest::newRow("weekday shown, 29 February") << weekday << april << none << "H29T02T2028"
                                                    << QDate(2028, 2, 29) << "martes 29/02/2028" << 1;
        QTest::newRow("weekday shown, typed straight") << weekday << QDate(2014, 4, 5) << none << "H07042014"
                                                       << QDate(2014, 4, 7) << "lunes 07/04/2014" << 1;
        QTest::newRow("the same date typed again changes nothing")
            << weekday << QDate(2014, 4, 5) << none << "H05042014" << QDate(2014, 4, 5) << "sábado 05/04/2014" << 0;
    }

    // Real keys into a shown picker: the date ends exactly as typed when it
    // is a valid day not before the minimum, and stays as it was otherwise.
    void typedDates()
    {
        QFETCH(QString, picture);
        QFETCH(QDate, shown);
        QFETCH(QDate, minimum);
        QFETCH(QString, keys);
        QFETCH(QDate, expected);
        QFETCH(QString, text);
        QFETCH(int, changes);
        QWidget window;
        auto *picker = new DatePicker(&window);
        picker->setFormat(picture);
        picker->setGeometry(10, 10, 155, 21);
        picker->setDate(DateTimes::make(shown));
        picker->setMinDate(minimum);
        auto *other = new QLineEdit(&window);
        other->setGeometry(10, 40, 155, 21);
        window.show();
        window.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&window));
        picker->setFocus();
        QSignalSpy spy(picker, &DatePicker::changed);
        QDateEdit *edit = editorOf(*picker);
        for (QChar k : keys) {
            switch (k.unicode()) {
            case u'T':
                QTest::keyClick(edit, Qt::Key_Tab);
                break;
            case u'B':
                QTest::keyClick(edit, Qt::Key_Backtab, Qt::ShiftModifier);
                break;
            case u'H':
                QTest::keyClick(edit, Qt::Key_Home);
                break;
            case u'N':
                QTest::keyClick(edit, Qt::Key_Return);
                break;
            case u'X':
                QTest::keyClick(edit, Qt::Key_Escape);
                break;
            case u'L':
                other->setFocus();
                break;
            default:
                QTest::keyClicks(edit, QString(k));
                break;
            }
            QVERIFY2(QApplication::focusWidget() == edit || k == u'L', qPrintable(QStringLiteral("focus lost at %1").arg(k)));
        }
        QCOMPARE(picker->date().date(), expected);
        QCOMPARE(picker->text(), text);
        QCOMPARE(spy.count(), changes);
    }

    // While a date is typed, its digits show as typed, whatever the date
    // they make so far; the rest of the date is as it was.
    void typingShowsTheDigits()
    {
        QWidget window;
        auto *picker = new DatePicker(&window);
        picker->setDate(day(2008, 4, 16));
        window.show();
        window.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&window));
        picker->setFocus();
        QDateEdit *edit = editorOf(*picker);
        QTest::keyClick(edit, Qt::Key_Home);
        QTest::keyClicks(edit, QStringLiteral("3"));
        QCOMPARE(picker->text(), QStringLiteral("3/04/2008"));
        QTest::keyClicks(edit, QStringLiteral("1"));
        QTest::keyClicks(edit, QStringLiteral("02"));
        QCOMPARE(picker->text(), QStringLiteral("31/02/2008"));
        QTest::keyClicks(edit, QStringLiteral("20"));
        QCOMPARE(picker->text(), QStringLiteral("31/02/20"));
        // Nothing is taken until the date is whole.
        QCOMPARE(picker->date().date(), QDate(2008, 4, 16));
        // The whole date is checked once its year is whole: 31 February is refused.
        QTest::keyClicks(edit, QStringLiteral("29"));
        QCOMPARE(picker->date().date(), QDate(2008, 4, 16));
        QCOMPARE(picker->text(), QStringLiteral("16/04/2008"));
    }

    void calendarPick_data()
    {
        QTest::addColumn<QDate>("minimum");
        QTest::addColumn<QDate>("expected");
        QTest::addColumn<int>("changes");
        QTest::newRow("the next day") << QDate() << QDate(2014, 4, 6) << 1;
        QTest::newRow("a day before the minimum cannot be picked") << QDate(2014, 4, 5) << QDate(2014, 4, 5) << 0;
    }

    void calendarPick()
    {
        QFETCH(QDate, minimum);
        QFETCH(QDate, expected);
        QFETCH(int, changes);
        QWidget window;
        auto *picker = new DatePicker(&window);
        picker->setFormat(QStringLiteral("dddd dd/MM/yyyy"));
        picker->setGeometry(10, 36, 155, 21);
        picker->setDate(day(2014, 4, 5));
        picker->setMinDate(minimum);
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        picker->setFocus();
        QSignalSpy spy(picker, &DatePicker::changed);
        QDateEdit *edit = editorOf(*picker);
        QTest::keyClick(edit, Qt::Key_Down, Qt::AltModifier);
        QCalendarWidget *calendar = edit->calendarWidget();
        QVERIFY(calendar->isVisible());
        QCOMPARE(calendar->locale().language(), QLocale::Spanish);
        QWidget *days = calendar->focusWidget() ? calendar->focusWidget() : calendar;
        QTest::keyClick(days, changes ? Qt::Key_Right : Qt::Key_Left);
        QTest::keyClick(days, Qt::Key_Return);
        QCOMPARE(picker->date().date(), expected);
        QCOMPARE(spy.count(), changes);
    }
};

QTEST_MAIN(TestDatePicker)
#include "tst_datepicker.moc"

#include "DataError.h"
#include "DatePicker.h"
#include "DateTimes.h"
#include "Regional.h"

#include <QApplication>
#include <QCalendarWidget>
#include <QDateEdit>
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

    void typedDigits_data()
    {
        QTest::addColumn<QString>("picture");
        QTest::addColumn<int>("section");
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QDate>("minimum");
        QTest::addColumn<QDate>("expected");
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("changes");
        const QString weekday = QStringLiteral("dddd dd/MM/yyyy");
        const int day = QDateTimeEdit::DaySection, month = QDateTimeEdit::MonthSection,
                  year = QDateTimeEdit::YearSection;
        const QDate none, fifth(2014, 4, 5);
        QTest::newRow("short date, day") << "" << day << "12" << none << QDate(2014, 4, 12) << "12/04/2014" << 2;
        QTest::newRow("weekday, day with a leading zero")
            << weekday << day << "07" << none << QDate(2014, 4, 7) << "lunes 07/04/2014" << 1;
        QTest::newRow("weekday, two-digit day")
            << weekday << day << "16" << none << QDate(2014, 4, 16) << "miércoles 16/04/2014" << 2;
        QTest::newRow("a digit that begins no longer day stands alone")
            << weekday << day << "79" << none << QDate(2014, 4, 9) << "miércoles 09/04/2014" << 2;
        QTest::newRow("a day the month lacks is refused")
            << "" << day << "31" << none << QDate(2014, 4, 3) << "03/04/2014" << 1;
        QTest::newRow("month") << weekday << month << "12" << none << QDate(2014, 12, 5) << "viernes 05/12/2014" << 2;
        QTest::newRow("year") << weekday << year << "2015" << none << QDate(2015, 4, 5) << "domingo 05/04/2015" << 1;
        QTest::newRow("a day before the minimum is refused")
            << "" << day << "4" << fifth << QDate(2014, 4, 5) << "05/04/2014" << 0;
        QTest::newRow("a first digit before the minimum waits for the second")
            << "" << day << "12" << fifth << QDate(2014, 4, 12) << "12/04/2014" << 1;
    }

    void typedDigits()
    {
        QFETCH(QString, picture);
        QFETCH(int, section);
        QFETCH(QString, typed);
        QFETCH(QDate, minimum);
        QFETCH(QDate, expected);
        QFETCH(QString, text);
        QFETCH(int, changes);
        QWidget window;
        auto *picker = new DatePicker(&window);
        picker->setFormat(picture);
        picker->setDate(day(2014, 4, 5));
        picker->setMinDate(minimum);
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        picker->setFocus();
        QSignalSpy spy(picker, &DatePicker::changed);
        QDateEdit *edit = editorOf(*picker);
        edit->setSelectedSection(QDateTimeEdit::Section(section));
        QTest::keyClicks(edit, typed);
        QCOMPARE(picker->date().date(), expected);
        QCOMPARE(picker->text(), text);
        QCOMPARE(spy.count(), changes);
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

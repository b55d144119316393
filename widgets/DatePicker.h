#pragma once

#include <QDate>
#include <QDateTime>
#include <QWidget>

class DatePickerEdit;

// A date picker: shows one date-time value, of which the program uses the date,
// in a text the user edits with the keyboard, and a drop-down calendar (Alt+Down,
// F4 or the button) to pick a day.
//
// Format: a date picture in the notation of DateTimes::format (day, weekday,
// month and year letters and literal text; "dddd dd/MM/yyyy" shows the full
// weekday name in the language of the regional settings' locale, then day,
// month and four-digit year with literal slashes); with no picture (the
// default) the regional short date is shown, with the regional date separator.
//
// Minimum date: days before it cannot be chosen. Setting a minimum after the
// shown day moves the shown day forward to it.
//
// changed() fires whenever the user changes the date (keys, calendar); setting
// the date, the minimum or the format by program never fires it.
class DatePicker : public QWidget
{
    Q_OBJECT

public:
    // Starts on today.
    explicit DatePicker(QWidget *parent = nullptr);

    // The shown day with the time of day last given to setDate (midnight unless
    // given), as a naive value (DateTimes::make).
    QDateTime date() const;
    // Shows a value by program. A day before the minimum throws DataError
    // "Date is less than minimum of <minimum in the regional short date>" and
    // changes nothing; an invalid value is ignored.
    void setDate(const QDateTime &value);

    // The minimum day; null when there is none.
    QDate minDate() const { return m_minDate; }
    // A null day removes the minimum.
    void setMinDate(QDate day);

    const QString &format() const { return m_format; }
    void setFormat(const QString &picture);

    // The text shown.
    QString text() const;

signals:
    void changed();

private:
    void applyFormat();

    DatePickerEdit *m_edit;
    QString m_format;
    QDate m_minDate;
    QTime m_time;
    bool m_byProgram = false;
};

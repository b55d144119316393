#include "DatePicker.h"

#include "DataError.h"
#include "DateTimes.h"
#include "Regional.h"

#include <QCalendarWidget>
#include <QDateEdit>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QScopedValueRollback>
#include <QStyleOptionComboBox>
#include <QVBoxLayout>

#include <functional>

// The editor inside: Qt's date edit, showing the text DateTimes::format makes.
// Its own display format is the same picture in Qt's notation, so that its
// parser finds the sections in that text.
class DatePickerEdit : public QDateEdit
{
public:
    using QDateEdit::QDateEdit;

    std::function<QString(const QDate &)> formatter;

protected:
    QString textFromDateTime(const QDateTime &value) const override
    {
        return formatter ? formatter(value.date()) : QDateEdit::textFromDateTime(value);
    }

    void keyPressEvent(QKeyEvent *event) override
    {
        // Alt+Down, Alt+Up and F4 open the calendar, as on the desktop; Qt opens
        // it only from a press on the arrow, so the press is made there.
        const bool alt = event->modifiers() & Qt::AltModifier;
        if (event->key() == Qt::Key_F4 || (alt && (event->key() == Qt::Key_Down || event->key() == Qt::Key_Up))) {
            openCalendar();
            return;
        }
        // Qt refuses typed digits whenever the text holds a weekday, so digits
        // are taken here, the same way for every format.
        const QString text = event->text();
        if (text.size() == 1 && text[0] >= u'0' && text[0] <= u'9'
            && !(event->modifiers() & ~(Qt::ShiftModifier | Qt::KeypadModifier))) {
            typeDigit(text[0].unicode() - u'0');
            return;
        }
        m_typed.clear();
        QDateEdit::keyPressEvent(event);
    }

    void focusOutEvent(QFocusEvent *event) override
    {
        m_typed.clear();
        QDateEdit::focusOutEvent(event);
    }

private:
    // Digits typed into the day or the month make a one- or two-digit number
    // (a first digit that cannot begin a longer one stands alone; a leading
    // zero waits for the next); the year takes four digits. A day that does
    // not exist or lies before the minimum is refused; the others are shown
    // at once.
    void typeDigit(int digit)
    {
        if (isReadOnly())
            return;
        const Section section = currentSection();
        if (section != m_typedSection) {
            m_typed.clear();
            m_typedSection = section;
        }
        const QDate shown = date();
        const auto apply = [&](int day, int month, int year) {
            const QDate d(year, month, day);
            if (!d.isValid() || d < minimumDate() || d > maximumDate())
                return false;
            setDate(d);
            setSelectedSection(section);
            return true;
        };
        if (section == YearSection) {
            m_typed += QString::number(digit);
            if (m_typed.size() == 4) {
                apply(std::min(shown.day(), QDate(m_typed.toInt(), shown.month(), 1).daysInMonth()), shown.month(),
                      m_typed.toInt());
                m_typed.clear();
            }
            return;
        }
        if (section != DaySection && section != MonthSection)
            return;
        const int limit = section == DaySection ? 31 : 12;
        QString next = m_typed + QString::number(digit);
        if (next.size() > 2 || next.toInt() > limit)
            next = QString::number(digit);
        const int value = next.toInt();
        if (value == 0) {
            m_typed = next;
            return;
        }
        if (section == DaySection)
            apply(value, shown.month(), shown.year());
        else
            apply(std::min(shown.day(), QDate(shown.year(), value, 1).daysInMonth()), value, shown.year());
        // A digit that may begin a longer number waits for the next, even when
        // it was refused alone (a 1 before a minimum of the 5th, for a 12).
        m_typed = next.size() < 2 && value * 10 <= limit ? next : QString();
    }

    void openCalendar()
    {
        if (isReadOnly() || !calendarPopup())
            return;
        QStyleOptionComboBox option;
        option.initFrom(this);
        option.editable = true;
        option.subControls = QStyle::SC_All;
        const QRect arrow = style()->subControlRect(QStyle::CC_ComboBox, &option, QStyle::SC_ComboBoxArrow, this);
        const QPointF at = arrow.center();
        QMouseEvent press(QEvent::MouseButtonPress, at, mapToGlobal(at), Qt::LeftButton, Qt::LeftButton,
                          Qt::NoModifier);
        QDateEdit::mousePressEvent(&press);
    }

    QString m_typed;
    Section m_typedSection = NoSection;
};

namespace {

// The earliest day a picker takes when no minimum is set.
const QDate NoMinimum(100, 1, 1);

// A date picture of DateTimes::format in Qt's notation: d..dddd, M..MMMM,
// yy/yyyy; everything else quoted as literal text.
QString qtPicture(const QString &picture, const QString &dateSeparator)
{
    QString out;
    QString literal;
    const auto flush = [&] {
        if (literal.isEmpty())
            return;
        out += u'\'' + QString(literal).replace(u'\'', QStringLiteral("''")) + u'\'';
        literal.clear();
    };
    qsizetype i = 0;
    while (i < picture.size()) {
        const QChar c = picture[i];
        const QChar lc = c.toLower();
        if (c == u'"' || c == u'\'') {
            const qsizetype end = picture.indexOf(c, i + 1);
            const qsizetype stop = end < 0 ? picture.size() : end;
            literal += picture.mid(i + 1, stop - i - 1);
            i = end < 0 ? picture.size() : end + 1;
            continue;
        }
        qsizetype n = 1;
        while (i + n < picture.size() && picture[i + n].toLower() == lc)
            ++n;
        if (lc == u'd' || lc == u'm' || lc == u'y') {
            flush();
            const QChar letter = lc == u'm' ? u'M' : lc;
            const qsizetype width = lc == u'y' ? (n <= 2 ? 2 : 4) : std::min<qsizetype>(n, 4);
            out += QString(width, letter);
        } else if (c == u'/') {
            literal += QString(dateSeparator).repeated(n);
        } else {
            literal += picture.mid(i, n);
        }
        i += n;
    }
    flush();
    return out;
}

} // namespace

DatePicker::DatePicker(QWidget *parent) : QWidget(parent), m_edit(new DatePickerEdit(this)), m_time(0, 0)
{
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(m_edit);
    setFocusProxy(m_edit);
    setFocusPolicy(m_edit->focusPolicy());
    setSizePolicy(m_edit->sizePolicy());

    m_edit->setCalendarPopup(true);
    m_edit->setMinimumDate(NoMinimum);
    m_edit->setDate(DateTimes::today());
    applyFormat();
    connect(m_edit, &QDateEdit::dateChanged, this, [this] {
        if (!m_byProgram)
            emit changed();
    });
}

QDateTime DatePicker::date() const
{
    return DateTimes::make(m_edit->date(), m_time);
}

void DatePicker::setDate(const QDateTime &value)
{
    if (!value.isValid())
        return;
    if (m_minDate.isValid() && value.date() < m_minDate)
        throw DataError(QStringLiteral("Date is less than minimum of %1")
                            .arg(Regional::settings().formatShortDate(DateTimes::make(m_minDate))));
    const QScopedValueRollback<bool> byProgram(m_byProgram, true);
    m_time = value.time();
    m_edit->setDate(value.date());
}

void DatePicker::setMinDate(QDate day)
{
    const QScopedValueRollback<bool> byProgram(m_byProgram, true);
    m_minDate = day;
    m_edit->setMinimumDate(day.isValid() ? day : NoMinimum);
}

void DatePicker::setFormat(const QString &picture)
{
    m_format = picture;
    applyFormat();
}

QString DatePicker::text() const
{
    return m_edit->text();
}

void DatePicker::applyFormat()
{
    const QScopedValueRollback<bool> byProgram(m_byProgram, true);
    const RegionalSettings &rs = Regional::settings();
    m_edit->setLocale(rs.locale);
    if (QCalendarWidget *calendar = m_edit->calendarWidget()) {
        calendar->setLocale(rs.locale);
        calendar->setFirstDayOfWeek(rs.locale.firstDayOfWeek());
    }
    const bool custom = !m_format.isEmpty();
    const QString picture = custom ? m_format : rs.shortDateFormat;
    m_edit->formatter = [picture, custom](const QDate &day) {
        const RegionalSettings &settings = Regional::settings();
        return DateTimes::format(picture, DateTimes::make(day), settings, custom);
    };
    m_edit->setDisplayFormat(qtPicture(picture, custom ? QStringLiteral("/") : rs.dateSeparator));
}

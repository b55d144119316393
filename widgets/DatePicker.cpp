#include "DatePicker.h"

#include "DataError.h"
#include "DateTimes.h"
#include "Regional.h"

#include <QApplication>
#include <QCalendarWidget>
#include <QDateEdit>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPointer>
#include <QValidator>
#include <QScopedValueRollback>
#include <QSignalBlocker>
#include <QStyleOptionComboBox>
#include <QVBoxLayout>

#include <functional>

namespace {

// One piece of a date picture: literal text, or a run of day, weekday, month
// or year letters (in the notation of DateTimes::format).
struct PictureToken
{
    enum class Kind { Literal, Weekday, Day, Month, Year };
    Kind kind = Kind::Literal;
    QString text; // the literal text, or the letters as written
};

// Splits a picture into its tokens; a '/' is the given date separator.
std::vector<PictureToken> tokenize(const QString &picture, const QString &dateSeparator)
{
    std::vector<PictureToken> out;
    const auto literal = [&out](const QString &text) {
        if (!out.empty() && out.back().kind == PictureToken::Kind::Literal)
            out.back().text += text;
        else
            out.push_back({PictureToken::Kind::Literal, text});
    };
    qsizetype i = 0;
    while (i < picture.size()) {
        const QChar c = picture[i];
        const QChar lc = c.toLower();
        if (c == u'"' || c == u'\'') {
            const qsizetype end = picture.indexOf(c, i + 1);
            const qsizetype stop = end < 0 ? picture.size() : end;
            literal(picture.mid(i + 1, stop - i - 1));
            i = end < 0 ? picture.size() : end + 1;
            continue;
        }
        qsizetype n = 1;
        while (i + n < picture.size() && picture[i + n].toLower() == lc)
            ++n;
        if (lc == u'd')
            out.push_back({n >= 3 ? PictureToken::Kind::Weekday : PictureToken::Kind::Day, picture.mid(i, n)});
        else if (lc == u'm')
            out.push_back({PictureToken::Kind::Month, picture.mid(i, n)});
        else if (lc == u'y')
            out.push_back({PictureToken::Kind::Year, picture.mid(i, n)});
        else if (c == u'/')
            literal(QString(dateSeparator).repeated(n));
        else
            literal(picture.mid(i, n));
        i += n;
    }
    return out;
}

// The same picture in Qt's notation: d..dddd, M..MMMM, yy/yyyy; everything
// else quoted as literal text.
QString qtPicture(const std::vector<PictureToken> &tokens)
{
    QString out;
    for (const PictureToken &t : tokens) {
        const qsizetype n = t.text.size();
        switch (t.kind) {
        case PictureToken::Kind::Literal:
            out += u'\'' + QString(t.text).replace(u'\'', QStringLiteral("''")) + u'\'';
            break;
        case PictureToken::Kind::Weekday:
        case PictureToken::Kind::Day:
            out += QString(std::min<qsizetype>(n, 4), u'd');
            break;
        case PictureToken::Kind::Month:
            out += QString(std::min<qsizetype>(n, 4), u'M');
            break;
        case PictureToken::Kind::Year:
            out += QString(n <= 2 ? 2 : 4, u'y');
            break;
        }
    }
    return out;
}

bool isNumeric(const PictureToken &t)
{
    using K = PictureToken::Kind;
    return t.kind == K::Day || t.kind == K::Year || (t.kind == K::Month && t.text.size() <= 2);
}

} // namespace

// The editor inside: Qt's date edit, showing the text DateTimes::format makes.
// Its own display format is the same picture in Qt's notation, so that its
// parser finds the sections in that text.
//
// Typed digits are taken here: they fill the day, month and year of a date
// being typed, shown as typed, and the whole date is checked only when it is
// complete: when its last section is typed in full, or the user leaves the
// picker (or presses Enter, the arrows, opens the calendar). A valid day not
// before the minimum becomes the date; anything else beeps and the date shown
// before the typing comes back. A day or month typed in full moves on to the
// next section; a Tab or separator right after that does not move again.
class DatePickerEdit : public QDateEdit
{
public:
    using QDateEdit::QDateEdit;

    std::function<QString(const QDate &)> formatter;

    void setPicture(const QString &picture, const QString &dateSeparator, bool custom)
    {
        discardTyping();
        m_tokens = tokenize(picture, dateSeparator);
        m_custom = custom;
        setDisplayFormat(qtPicture(m_tokens));
    }

    // Forgets a date being typed (the program sets the date or the minimum).
    void discardTyping() { endTyping(); }
    bool isTyping() const { return m_typing; }

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
            finishTyping();
            openCalendar();
            return;
        }
        // Shift, Control and the like on their own change nothing.
        switch (event->key()) {
        case Qt::Key_Shift:
        case Qt::Key_Control:
        case Qt::Key_Alt:
        case Qt::Key_AltGr:
        case Qt::Key_Meta:
        case Qt::Key_CapsLock:
        case Qt::Key_NumLock:
            QDateEdit::keyPressEvent(event);
            return;
        default:
            break;
        }
        const QString text = event->text();
        const bool plain = !(event->modifiers() & ~(Qt::ShiftModifier | Qt::KeypadModifier));
        if (plain && text.size() == 1 && text[0] >= u'0' && text[0] <= u'9') {
            typeDigit(text[0].unicode() - u'0');
            return;
        }
        if (plain && text.size() == 1 && isSeparator(text[0])) {
            if (!isReadOnly()) {
                startTyping();
                moveSection(true);
            }
            return;
        }
        if (!m_typing) {
            QDateEdit::keyPressEvent(event);
            return;
        }
        // Only a Tab or separator right after the typing moved on is taken as that move.
        m_advanced = false;
        switch (event->key()) {
        case Qt::Key_Left:
        case Qt::Key_Right:
            if (plain) {
                moveSection(event->key() == Qt::Key_Right);
                return;
            }
            break;
        case Qt::Key_Home:
        case Qt::Key_End:
            if (plain) {
                closeSection();
                const std::vector<int> sections = numericSections();
                m_section = event->key() == Qt::Key_Home ? sections.front() : sections.back();
                showTyping();
                return;
            }
            break;
        case Qt::Key_Backspace:
            if (!m_digits.isEmpty())
                m_digits.chop(1);
            showTyping();
            return;
        case Qt::Key_Escape:
            endTyping();
            restoreShown();
            return;
        case Qt::Key_Return:
        case Qt::Key_Enter:
            finishTyping();
            event->ignore(); // the window's default button, if any, still hears it
            return;
        default:
            break;
        }
        finishTyping();
        QDateEdit::keyPressEvent(event);
    }

    bool focusNextPrevChild(bool next) override
    {
        if (m_typing) {
            const std::vector<int> sections = numericSections();
            const bool last = next ? m_section == sections.back() : m_section == sections.front();
            if (!last || (next && m_advanced)) {
                moveSection(next);
                return true;
            }
            finishTyping();
            // Out of the picker, not to Qt's own next section.
            return QAbstractSpinBox::focusNextPrevChild(next);
        }
        return QDateEdit::focusNextPrevChild(next);
    }

    void focusOutEvent(QFocusEvent *event) override
    {
        finishTyping();
        QDateEdit::focusOutEvent(event);
    }

    void mousePressEvent(QMouseEvent *event) override
    {
        finishTyping();
        QDateEdit::mousePressEvent(event);
    }

    void wheelEvent(QWheelEvent *event) override
    {
        finishTyping();
        QDateEdit::wheelEvent(event);
    }

private:
    bool isSeparator(QChar c) const
    {
        for (const PictureToken &t : m_tokens)
            if (t.kind == PictureToken::Kind::Literal && t.text.contains(c) && !c.isSpace())
                return true;
        return false;
    }

    std::vector<int> numericSections() const
    {
        std::vector<int> out;
        for (int i = 0; i < static_cast<int>(m_tokens.size()); ++i)
            if (isNumeric(m_tokens[static_cast<size_t>(i)]))
                out.push_back(i);
        return out;
    }

    // Qt's section index of a token: its place among the tokens that are not literal.
    int qtSectionIndex(int token) const
    {
        int index = 0;
        for (int i = 0; i < token; ++i)
            if (m_tokens[static_cast<size_t>(i)].kind != PictureToken::Kind::Literal)
                ++index;
        return index;
    }

    void startTyping()
    {
        if (m_typing)
            return;
        const std::vector<int> sections = numericSections();
        if (sections.empty())
            return;
        const QDate shown = date();
        m_day = shown.day();
        m_month = shown.month();
        m_year = shown.year();
        // The section the user is in, or the first one that takes digits.
        m_section = sections.front();
        const int current = currentSectionIndex();
        for (int t : sections)
            if (qtSectionIndex(t) == current)
                m_section = t;
        m_digits.clear();
        m_advanced = false;
        m_typing = true;
        // Qt's validator would turn a date being typed into the nearest valid one.
        m_validator = lineEdit()->validator();
        lineEdit()->setValidator(nullptr);
    }

    void endTyping()
    {
        if (!m_typing)
            return;
        m_typing = false;
        m_advanced = false;
        lineEdit()->setValidator(m_validator);
    }

    int &valueOf(int token)
    {
        switch (m_tokens[static_cast<size_t>(token)].kind) {
        case PictureToken::Kind::Day:
            return m_day;
        case PictureToken::Kind::Month:
            return m_month;
        default:
            return m_year;
        }
    }

    // The digits typed into the section so far become its value.
    void closeSection()
    {
        if (!m_digits.isEmpty() && m_tokens[static_cast<size_t>(m_section)].kind != PictureToken::Kind::Year)
            valueOf(m_section) = m_digits.toInt();
        else if (!m_digits.isEmpty())
            m_year = m_digits.size() == 4 ? m_digits.toInt() : 0; // a year typed in part is no year
        m_digits.clear();
    }

    void moveSection(bool next)
    {
        // A move forward right after the typing itself moved on is that move.
        const bool absorbed = next && m_advanced;
        m_advanced = false;
        if (absorbed)
            return;
        closeSection();
        const std::vector<int> sections = numericSections();
        auto it = std::find(sections.begin(), sections.end(), m_section);
        if (next && it + 1 != sections.end())
            m_section = *(it + 1);
        else if (!next && it != sections.begin())
            m_section = *(it - 1);
        showTyping();
    }

    void typeDigit(int digit)
    {
        if (isReadOnly())
            return;
        startTyping();
        if (!m_typing)
            return;
        m_advanced = false;
        const PictureToken::Kind kind = m_tokens[static_cast<size_t>(m_section)].kind;
        bool complete = false;
        if (kind == PictureToken::Kind::Year) {
            m_digits += QString::number(digit);
            complete = m_digits.size() == 4;
        } else {
            const int limit = kind == PictureToken::Kind::Day ? 31 : 12;
            QString next = m_digits + QString::number(digit);
            if (next.size() > 2 || next.toInt() > limit)
                next = QString::number(digit);
            m_digits = next;
            const int value = next.toInt();
            // Two digits, or one that no second digit could follow.
            complete = next.size() == 2 || value * 10 > limit;
        }
        if (!complete) {
            showTyping();
            return;
        }
        const std::vector<int> sections = numericSections();
        if (m_section == sections.back()) {
            finishTyping();
            return;
        }
        moveSection(true);
        m_advanced = true;
    }

    // The date as typed so far, with its sections as the user sees them.
    void showTyping()
    {
        const RegionalSettings &rs = Regional::settings();
        const QDate typed(m_year, m_month, m_day);
        QString text;
        int selectionStart = 0;
        int selectionLength = 0;
        for (int i = 0; i < static_cast<int>(m_tokens.size()); ++i) {
            const PictureToken &t = m_tokens[static_cast<size_t>(i)];
            QString piece;
            if (t.kind == PictureToken::Kind::Literal) {
                piece = t.text;
            } else if (i == m_section && !m_digits.isEmpty()) {
                piece = m_digits;
            } else if (isNumeric(t)) {
                const int value = t.kind == PictureToken::Kind::Day     ? m_day
                                  : t.kind == PictureToken::Kind::Month ? m_month
                                                                        : m_year;
                const int width = t.kind == PictureToken::Kind::Year ? (t.text.size() <= 2 ? 2 : 4)
                                                                     : (t.text.size() >= 2 ? 2 : 1);
                piece = QString::number(t.kind == PictureToken::Kind::Year && width == 2 ? value % 100 : value)
                            .rightJustified(width, u'0');
            } else if (t.kind == PictureToken::Kind::Weekday && typed.isValid()) {
                piece = DateTimes::format(t.text, DateTimes::make(typed), rs, m_custom);
            } else if (t.kind == PictureToken::Kind::Month && m_month >= 1 && m_month <= 12) {
                piece = DateTimes::format(t.text, DateTimes::make(QDate(2000, m_month, 1)), rs, m_custom);
            }
            if (i == m_section) {
                selectionStart = static_cast<int>(text.size());
                selectionLength = static_cast<int>(piece.size());
            }
            text += piece;
        }
        // Qt's spin box must not read this text as a date of its own.
        const QSignalBlocker quiet(lineEdit());
        lineEdit()->setText(text);
        lineEdit()->setSelection(selectionStart, selectionLength);
    }

    void restoreShown()
    {
        // Setting the same date writes its text again.
        setDate(date());
    }

    // Checks the whole date typed: a valid day, not before the minimum,
    // becomes the date; anything else beeps and the date shown before comes back.
    void finishTyping()
    {
        if (!m_typing)
            return;
        closeSection();
        endTyping();
        const QDate typed(m_year, m_month, m_day);
        const int section = qtSectionIndex(m_section);
        if (typed.isValid() && typed >= minimumDate() && typed <= maximumDate()) {
            setDate(typed); // writes its text too, changed or not
        } else {
            QApplication::beep();
            restoreShown();
        }
        setCurrentSectionIndex(section);
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

    std::vector<PictureToken> m_tokens;
    bool m_custom = false;
    bool m_typing = false;
    bool m_advanced = false;
    QPointer<const QValidator> m_validator; // Qt's own, set aside while typing
    int m_section = 0; // the token being typed into
    QString m_digits;  // the digits typed into it so far
    int m_day = 1;
    int m_month = 1;
    int m_year = 2000;
};

namespace {

// The earliest day a picker takes when no minimum is set.
const QDate NoMinimum(100, 1, 1);

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
    m_edit->discardTyping();
    m_time = value.time();
    m_edit->setDate(value.date());
}

void DatePicker::setMinDate(QDate day)
{
    const QScopedValueRollback<bool> byProgram(m_byProgram, true);
    m_minDate = day;
    m_edit->discardTyping();
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
        // Qt names none of the calendar's parts for assistive technology.
        calendar->setAccessibleName(QStringLiteral("Calendario"));
        const std::pair<const char *, const char *> parts[] = {
            {"qt_calendar_calendarview", "Días del mes"}, {"qt_calendar_prevmonth", "Mes anterior"},
            {"qt_calendar_nextmonth", "Mes siguiente"},   {"qt_calendar_monthbutton", "Mes"},
            {"qt_calendar_yearbutton", "Año"},            {"qt_calendar_yearedit", "Año"},
        };
        for (const auto &[object, name] : parts)
            if (QWidget *part = calendar->findChild<QWidget *>(QLatin1String(object)))
                part->setAccessibleName(QString::fromUtf8(name));
    }
    const bool custom = !m_format.isEmpty();
    const QString picture = custom ? m_format : rs.shortDateFormat;
    m_edit->formatter = [picture, custom](const QDate &day) {
        const RegionalSettings &settings = Regional::settings();
        return DateTimes::format(picture, DateTimes::make(day), settings, custom);
    };
    m_edit->setPicture(picture, custom ? QStringLiteral("/") : rs.dateSeparator, custom);
}

#include "PlannerGrid.h"

#include "DateTimes.h"
#include "Regional.h"

#include <QAccessible>
#include <QAccessibleWidget>
#include <QHelpEvent>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QScrollBar>
#include <QStaticText>
#include <QToolTip>

#include <algorithm>

namespace {

const QColor GridLine(0xd0, 0xd0, 0xd0);
const QColor HeaderFill(0xf2, 0xf2, 0xf2);
const QColor DetailText(0x55, 0x55, 0x55);

bool isWeekend(QDate day)
{
    return day.dayOfWeek() >= 6;
}

QString shortDate(QDate day)
{
    return Regional::settings().formatShortDate(DateTimes::make(day));
}

} // namespace

QColor PlannerGrid::weekendColour()
{
    return QColor(0xe6, 0xe6, 0xe6);
}

QColor PlannerGrid::todayColour()
{
    // Darker than any bar, so that it never reads as one.
    return QColor(0x00, 0x49, 0x7a);
}

QString PlannerGrid::weekdayLetters(QDate day)
{
    QString name = Regional::settings().locale.dayName(day.dayOfWeek(), QLocale::ShortFormat);
    name.remove(u'.');
    name = name.left(2);
    if (!name.isEmpty())
        name[0] = name[0].toUpper();
    return name;
}

namespace {

const QColor WeekendFill = PlannerGrid::weekendColour();
const QColor TodayColour = PlannerGrid::todayColour();
const QColor TodayTint(0xdd, 0xea, 0xf4);

quint64 accessibleKey(int row, int part)
{
    return (quint64(quint32(row)) << 32) | quint32(part);
}

// The child of `parent` whose screen rectangle holds the point.
QAccessibleInterface *childAtPoint(const QAccessibleInterface &parent, int x, int y)
{
    for (int i = 0, n = parent.childCount(); i < n; ++i)
        if (QAccessibleInterface *c = parent.child(i); c && c->rect().contains(x, y))
            return c;
    return nullptr;
}

constexpr int RowPart = -1;
constexpr int FreePart = -2;

} // namespace

// ---- accessibility -----------------------------------------------------------

// A bar, or the current day of a row when it is free.
class PlannerCellAccessible : public QAccessibleInterface
{
public:
    PlannerCellAccessible(PlannerGrid *grid, int row, int bar) : m_grid(grid), m_row(row), m_bar(bar) {}

    bool isValid() const override
    {
        if (!m_grid || m_row < 0 || m_row >= m_grid->rowCount())
            return false;
        if (m_bar >= 0)
            return m_bar < static_cast<int>(m_grid->m_bars.size()) && m_grid->m_bars[size_t(m_bar)].row == m_row;
        return true;
    }
    QObject *object() const override { return nullptr; }
    QWindow *window() const override { return m_grid ? m_grid->windowHandle() : nullptr; }
    QAccessibleInterface *parent() const override;
    QAccessibleInterface *child(int) const override { return nullptr; }
    int childCount() const override { return 0; }
    int indexOfChild(const QAccessibleInterface *) const override { return -1; }
    QAccessibleInterface *childAt(int, int) const override { return nullptr; }
    QString text(QAccessible::Text t) const override
    {
        if (!isValid())
            return QString();
        if (t == QAccessible::Name) {
            if (m_bar >= 0)
                return m_grid->describe(m_bar, PlannerGrid::Description::AccessibleName);
            return QStringLiteral("Libre, ") + shortDate(m_grid->currentDay());
        }
        return QString();
    }
    void setText(QAccessible::Text, const QString &) override {}
    QRect rect() const override
    {
        if (!isValid())
            return QRect();
        const QRect r = m_bar >= 0 ? m_grid->barRect(m_bar) : m_grid->cellRect(m_row, m_grid->currentDay());
        return QRect(m_grid->viewport()->mapToGlobal(r.topLeft()), r.size());
    }
    QAccessible::Role role() const override { return QAccessible::Cell; }
    QAccessible::State state() const override
    {
        QAccessible::State s;
        s.focusable = true;
        s.selectable = true;
        if (isValid() && m_row == m_grid->currentRow()) {
            const bool current = m_bar >= 0 ? m_grid->barAt(m_row, m_grid->currentDay()) == m_bar
                                            : m_grid->barAt(m_row, m_grid->currentDay()) < 0;
            s.selected = current;
            s.focused = current && m_grid->hasFocus();
        }
        return s;
    }

private:
    QPointer<PlannerGrid> m_grid;
    int m_row;
    int m_bar;
};

class PlannerRowAccessible : public QAccessibleInterface
{
public:
    PlannerRowAccessible(PlannerGrid *grid, int row) : m_grid(grid), m_row(row) {}

    bool isValid() const override { return m_grid && m_row >= 0 && m_row < m_grid->rowCount(); }
    QObject *object() const override { return nullptr; }
    QWindow *window() const override { return m_grid ? m_grid->windowHandle() : nullptr; }
    QAccessibleInterface *parent() const override
    {
        return m_grid ? QAccessible::queryAccessibleInterface(m_grid.data()) : nullptr;
    }
    int childCount() const override
    {
        if (!isValid())
            return 0;
        const bool freeCurrent = m_row == m_grid->currentRow() && m_grid->barAt(m_row, m_grid->currentDay()) < 0;
        return static_cast<int>(m_grid->barsOfRow(m_row).size()) + (freeCurrent ? 1 : 0);
    }
    QAccessibleInterface *child(int index) const override;
    int indexOfChild(const QAccessibleInterface *child) const override
    {
        for (int i = 0, n = childCount(); i < n; ++i)
            if (this->child(i) == child)
                return i;
        return -1;
    }
    QAccessibleInterface *childAt(int x, int y) const override { return childAtPoint(*this, x, y); }
    QString text(QAccessible::Text t) const override
    {
        if (!isValid())
            return QString();
        if (t == QAccessible::Name)
            return m_grid->row(m_row).title;
        if (t == QAccessible::Description)
            return m_grid->row(m_row).detail;
        return QString();
    }
    void setText(QAccessible::Text, const QString &) override {}
    QRect rect() const override
    {
        if (!isValid())
            return QRect();
        const int y = m_grid->headerHeight() + m_row * m_grid->rowHeight() - m_grid->verticalScrollBar()->value();
        const QRect r(0, y, m_grid->viewport()->width(), m_grid->rowHeight());
        return QRect(m_grid->viewport()->mapToGlobal(r.topLeft()), r.size());
    }
    QAccessible::Role role() const override { return QAccessible::Row; }
    QAccessible::State state() const override
    {
        QAccessible::State s;
        s.selectable = true;
        s.selected = isValid() && m_row == m_grid->currentRow();
        return s;
    }

    int row() const { return m_row; }

private:
    QPointer<PlannerGrid> m_grid;
    int m_row;
};

class PlannerGridAccessible : public QAccessibleWidget
{
public:
    explicit PlannerGridAccessible(PlannerGrid *grid) : QAccessibleWidget(grid, QAccessible::Table) {}

    PlannerGrid *grid() const { return static_cast<PlannerGrid *>(widget()); }

    int childCount() const override { return grid()->rowCount(); }
    QAccessibleInterface *child(int index) const override
    {
        return index >= 0 && index < childCount() ? rowInterface(grid(), index) : nullptr;
    }
    int indexOfChild(const QAccessibleInterface *child) const override
    {
        if (child && child->role() == QAccessible::Row && child->parent() == this)
            return static_cast<const PlannerRowAccessible *>(child)->row();
        return -1;
    }
    QAccessibleInterface *childAt(int x, int y) const override { return childAtPoint(*this, x, y); }
    // Always the current cell while there are rows.
    QAccessibleInterface *focusChild() const override { return currentCell(grid()); }

    static QAccessibleInterface *rowInterface(PlannerGrid *grid, int row)
    {
        return cached(grid, accessibleKey(row, RowPart), [&] { return new PlannerRowAccessible(grid, row); });
    }
    static QAccessibleInterface *cellInterface(PlannerGrid *grid, int row, int bar)
    {
        return cached(grid, accessibleKey(row, bar >= 0 ? bar : FreePart),
                      [&] { return new PlannerCellAccessible(grid, row, bar); });
    }
    static QAccessibleInterface *currentCell(PlannerGrid *grid)
    {
        const int row = grid->currentRow();
        if (row < 0)
            return nullptr;
        return cellInterface(grid, row, grid->barAt(row, grid->currentDay()));
    }

private:
    template<typename Make> static QAccessibleInterface *cached(PlannerGrid *grid, quint64 key, Make &&make)
    {
        const auto it = grid->m_accessibleIds.constFind(key);
        if (it != grid->m_accessibleIds.cend())
            if (QAccessibleInterface *iface = QAccessible::accessibleInterface(it.value()))
                return iface;
        QAccessibleInterface *iface = make();
        grid->m_accessibleIds.insert(key, QAccessible::registerAccessibleInterface(iface));
        return iface;
    }
};

QAccessibleInterface *PlannerCellAccessible::parent() const
{
    return m_grid ? PlannerGridAccessible::rowInterface(m_grid.data(), m_row) : nullptr;
}

QAccessibleInterface *PlannerRowAccessible::child(int index) const
{
    if (!isValid() || index < 0)
        return nullptr;
    const std::vector<int> &bars = m_grid->barsOfRow(m_row);
    if (index < static_cast<int>(bars.size()))
        return PlannerGridAccessible::cellInterface(m_grid.data(), m_row, bars[size_t(index)]);
    return index < childCount() ? PlannerGridAccessible::cellInterface(m_grid.data(), m_row, -1) : nullptr;
}

namespace {

QAccessibleInterface *plannerAccessibleFactory(const QString &className, QObject *object)
{
    if (className == QLatin1String("PlannerGrid") && object && object->isWidgetType())
        return new PlannerGridAccessible(static_cast<PlannerGrid *>(object));
    return nullptr;
}

} // namespace

// ---- the grid ----------------------------------------------------------------

PlannerGrid::PlannerGrid(QWidget *parent) : QAbstractScrollArea(parent)
{
    static const bool factory = [] {
        QAccessible::installFactory(plannerAccessibleFactory);
        return true;
    }();
    Q_UNUSED(factory);
    setFocusPolicy(Qt::StrongFocus);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    viewport()->setMouseTracking(true);
    viewport()->setAttribute(Qt::WA_OpaquePaintEvent);
    const QFontMetrics fm(font());
    m_rowHeight = std::max(20, fm.height() + 8);
    m_headerHeight = 2 * fm.height() + 10;
    m_first = QDate::currentDate();
    m_today = m_first;
    m_currentDay = m_first;
}

PlannerGrid::~PlannerGrid()
{
    resetAccessible();
}

void PlannerGrid::setRows(std::vector<Row> rows)
{
    m_rows = std::move(rows);
    m_titleLabels.clear();
    m_detailLabels.clear();
    m_bars.clear();
    m_rowBars.assign(m_rows.size(), {});
    if (m_rows.empty())
        m_currentRow = -1;
    else
        m_currentRow = std::clamp(m_currentRow, 0, rowCount() - 1);
    resetAccessible();
    updateScrollBars();
    viewport()->update();
    emit currentChanged();
}

void PlannerGrid::setRange(QDate first, int count)
{
    const qint64 offset = m_first.daysTo(m_currentDay);
    m_first = first;
    m_days = std::max(1, count);
    layoutColumns();
    m_currentDay = m_first.addDays(std::clamp<qint64>(offset, 0, m_days - 1));
    resetAccessible();
    viewport()->update();
    emit currentChanged();
}

void PlannerGrid::setBars(std::vector<Bar> bars)
{
    m_bars = std::move(bars);
    indexBars();
    resetAccessible();
    viewport()->update();
    announceFocus();
}

void PlannerGrid::indexBars()
{
    m_rowBars.assign(m_rows.size(), {});
    for (int i = 0; i < static_cast<int>(m_bars.size()); ++i) {
        const Bar &b = m_bars[size_t(i)];
        if (b.row >= 0 && b.row < rowCount())
            m_rowBars[size_t(b.row)].push_back(i);
    }
    // Faint bars first, so that the others are painted over them.
    for (std::vector<int> &list : m_rowBars)
        std::stable_sort(list.begin(), list.end(), [this](int a, int b) {
            const Bar &x = m_bars[size_t(a)];
            const Bar &y = m_bars[size_t(b)];
            if (x.faint != y.faint)
                return x.faint;
            return x.first < y.first;
        });
}

QString PlannerGrid::describe(int bar, Description kind) const
{
    if (!m_describer || bar < 0 || bar >= static_cast<int>(m_bars.size()))
        return QString();
    return m_describer(bar, kind);
}

const std::vector<int> &PlannerGrid::barsOfRow(int row) const
{
    static const std::vector<int> none;
    return row >= 0 && row < static_cast<int>(m_rowBars.size()) ? m_rowBars[size_t(row)] : none;
}

int PlannerGrid::barAt(int row, QDate day) const
{
    int faint = -1;
    for (int i : barsOfRow(row)) {
        const Bar &b = m_bars[size_t(i)];
        if (day < b.first || day > b.last)
            continue;
        if (!b.faint)
            return i;
        faint = i;
    }
    return faint;
}

void PlannerGrid::setToday(QDate today)
{
    m_today = today;
    viewport()->update();
}

void PlannerGrid::setCurrent(int row, QDate day)
{
    if (m_rows.empty())
        return;
    row = std::clamp(row, 0, rowCount() - 1);
    if (day < m_first)
        day = m_first;
    if (day > lastDay())
        day = lastDay();
    if (row == m_currentRow && day == m_currentDay)
        return;
    const int before = m_currentRow;
    const bool wasFree = before >= 0 && barAt(before, m_currentDay) < 0;
    m_currentRow = row;
    m_currentDay = day;
    // A free current day is a child of its row only while it is current.
    if (wasFree && before != row) {
        if (const auto it = m_accessibleIds.find(accessibleKey(before, FreePart)); it != m_accessibleIds.end()) {
            QAccessible::deleteAccessibleInterface(it.value());
            m_accessibleIds.erase(it);
        }
    }
    scrollToCurrent();
    viewport()->update();
    announceFocus();
    emit currentChanged();
}

int PlannerGrid::dayWidth() const
{
    return std::max(8, (viewport()->width() - MinTitleWidth) / std::max(1, m_days));
}

int PlannerGrid::dayX(QDate day) const
{
    return m_titleWidth + static_cast<int>(m_first.daysTo(day)) * dayWidth();
}

QRect PlannerGrid::cellRect(int row, QDate day) const
{
    const int y = m_headerHeight + row * m_rowHeight - verticalScrollBar()->value();
    return QRect(dayX(day), y, dayWidth(), m_rowHeight);
}

QRect PlannerGrid::barRect(int index) const
{
    const Bar &b = m_bars[size_t(index)];
    const QDate first = std::max(b.first, m_first);
    const QDate last = std::min(b.last, lastDay());
    const int y = m_headerHeight + b.row * m_rowHeight - verticalScrollBar()->value();
    const int x1 = dayX(first) + (b.first >= m_first ? 2 : 0);
    const int x2 = dayX(last.addDays(1)) - (b.last <= lastDay() ? 2 : 0);
    return QRect(x1, y + 3, std::max(1, x2 - x1), m_rowHeight - 6);
}

bool PlannerGrid::cellAt(const QPoint &point, int &row, QDate &day) const
{
    if (point.x() < m_titleWidth || point.y() < m_headerHeight)
        return false;
    const int r = (point.y() - m_headerHeight + verticalScrollBar()->value()) / m_rowHeight;
    const int d = (point.x() - m_titleWidth) / dayWidth();
    if (r < 0 || r >= rowCount() || d < 0 || d >= m_days)
        return false;
    row = r;
    day = m_first.addDays(d);
    return true;
}

void PlannerGrid::updateScrollBars()
{
    const int contents = rowCount() * m_rowHeight;
    const int page = std::max(0, viewport()->height() - m_headerHeight);
    verticalScrollBar()->setRange(0, std::max(0, contents - page));
    verticalScrollBar()->setPageStep(std::max(m_rowHeight, page));
    verticalScrollBar()->setSingleStep(m_rowHeight);
}

void PlannerGrid::scrollToCurrent()
{
    if (m_currentRow < 0)
        return;
    const int top = m_currentRow * m_rowHeight;
    const int page = std::max(m_rowHeight, viewport()->height() - m_headerHeight);
    QScrollBar *bar = verticalScrollBar();
    if (top < bar->value())
        bar->setValue(top);
    else if (top + m_rowHeight > bar->value() + page)
        bar->setValue(top + m_rowHeight - page);
}

void PlannerGrid::resizeEvent(QResizeEvent *event)
{
    QAbstractScrollArea::resizeEvent(event);
    layoutColumns();
    updateScrollBars();
}

void PlannerGrid::layoutColumns()
{
    // The rooms' column takes what the whole days leave, so the days end at the edge.
    m_titleWidth = std::max(MinTitleWidth, viewport()->width() - m_days * dayWidth());
}

void PlannerGrid::paintEvent(QPaintEvent *event)
{
    QPainter p(viewport());
    const QRect clip = event->rect();
    const int w = dayWidth();
    const int right = m_titleWidth + m_days * w;
    const int scroll = verticalScrollBar()->value();
    const int firstRow = std::max(0, (clip.top() - m_headerHeight + scroll) / m_rowHeight);
    const int lastRow = std::min(rowCount() - 1, (clip.bottom() - m_headerHeight + scroll) / m_rowHeight);
    const int rowsBottom = std::min(viewport()->height(), m_headerHeight + rowCount() * m_rowHeight - scroll);
    const int rowsTop = std::max(m_headerHeight, clip.top());

    // Every pixel once: each day's column in its own colour (today's under the
    // bars, so that it never hides a name), white beyond the rows and the days.
    // The rows' titles fill their own column.
    if (rowsBottom < clip.bottom() + 1)
        p.fillRect(QRect(clip.left(), rowsBottom, clip.width(), clip.bottom() + 1 - rowsBottom), Qt::white);
    if (right < clip.right() + 1)
        p.fillRect(QRect(right, rowsTop, clip.right() + 1 - right, rowsBottom - rowsTop), Qt::white);
    for (int d = 0; d < m_days; ++d) {
        const QDate day = m_first.addDays(d);
        const QColor fill = day == m_today ? TodayTint : isWeekend(day) ? WeekendFill : QColor(Qt::white);
        p.fillRect(QRect(m_titleWidth + d * w, rowsTop, w, rowsBottom - rowsTop), fill);
    }
    p.setPen(GridLine);
    for (int d = 0; d <= m_days; ++d)
        p.drawLine(m_titleWidth + d * w, m_headerHeight, m_titleWidth + d * w, rowsBottom);
    if (m_today >= m_first && m_today <= lastDay()) {
        const int x = dayX(m_today);
        p.setPen(QPen(TodayColour, 2));
        p.drawLine(x + 1, m_headerHeight, x + 1, rowsBottom);
        p.drawLine(x + w - 1, m_headerHeight, x + w - 1, rowsBottom);
    }

    for (int r = firstRow; r <= lastRow; ++r)
        paintRow(p, r, m_headerHeight + r * m_rowHeight - scroll);

    // The current cell.
    if (m_currentRow >= 0) {
        const QRect c = cellRect(m_currentRow, m_currentDay).adjusted(1, 1, -1, -1);
        p.setPen(QPen(Qt::black, hasFocus() ? 2 : 1, hasFocus() ? Qt::SolidLine : Qt::DotLine));
        p.setBrush(Qt::NoBrush);
        p.drawRect(c);
    }

    paintHeader(p, clip);
    p.setPen(GridLine);
    p.drawLine(m_titleWidth, 0, m_titleWidth, rowsBottom);
    p.drawLine(0, m_headerHeight - 1, right, m_headerHeight - 1);
}

void PlannerGrid::paintHeader(QPainter &p, const QRect &clip) const
{
    if (clip.top() >= m_headerHeight)
        return;
    const int w = dayWidth();
    const int half = m_headerHeight / 2;
    p.fillRect(QRect(0, 0, viewport()->width(), m_headerHeight), HeaderFill);
    QFont bold = font();
    bold.setBold(true);

    // Months over their days.
    int runStart = 0;
    for (int d = 1; d <= m_days; ++d) {
        const QDate day = m_first.addDays(d);
        if (d < m_days && day.month() == m_first.addDays(runStart).month())
            continue;
        const QDate month = m_first.addDays(runStart);
        const QRect r(m_titleWidth + runStart * w, 0, (d - runStart) * w, half);
        const QString name = Regional::settings().locale.monthName(month.month()) + u' '
                             + QString::number(month.year());
        p.setPen(Qt::black);
        p.setFont(bold);
        p.drawText(r.adjusted(4, 0, -4, 0), Qt::AlignLeft | Qt::AlignVCenter,
                   p.fontMetrics().elidedText(name, Qt::ElideRight, r.width() - 8));
        p.setPen(GridLine);
        p.drawLine(r.left(), 0, r.left(), m_headerHeight);
        runStart = d;
    }

    // Days: weekday letters and number.
    for (int d = 0; d < m_days; ++d) {
        const QDate day = m_first.addDays(d);
        const QRect r(m_titleWidth + d * w, half, w, m_headerHeight - half);
        const bool today = day == m_today;
        if (today)
            p.fillRect(r, TodayColour);
        else if (isWeekend(day))
            p.fillRect(r, WeekendFill);
        p.setPen(today ? Qt::white : Qt::black);
        p.setFont(today ? bold : font());
        const QString text = w >= p.fontMetrics().horizontalAdvance(QStringLiteral("Mi 30")) + 4
                                 ? weekdayLetters(day) + u' ' + QString::number(day.day())
                                 : QString::number(day.day());
        p.drawText(r, Qt::AlignCenter, text);
        p.setPen(GridLine);
        p.drawLine(r.left(), half, r.left(), m_headerHeight);
    }
    p.setFont(font());
    p.setPen(GridLine);
    p.drawLine(m_titleWidth, half, m_titleWidth + m_days * w, half);
}

const QStaticText &PlannerGrid::label(std::vector<Label> &cache, size_t index, const QString &text,
                                      const QFont &font, int width) const
{
    // Elided and laid out once per width: shaping text on every paint would
    // cost more than the rest of the paint together.
    if (cache.size() <= index)
        cache.resize(index + 1);
    Label &l = cache[index];
    if (l.width != width) {
        l.width = width;
        l.text.setText(QFontMetrics(font).elidedText(text, Qt::ElideRight, width));
        l.text.setTextFormat(Qt::PlainText);
        l.text.prepare(QTransform(), font);
    }
    return l.text;
}

const QStaticText &PlannerGrid::barLabel(const QString &text, const QFont &font, int width) const
{
    // By name and width, across runs of days: a week later most stays are
    // still in view at the same width, and are not laid out again.
    if (m_barLabels.size() > 20000)
        m_barLabels.clear();
    const BarLabelKey key{text, width, font.italic()};
    auto it = m_barLabels.find(key);
    if (it == m_barLabels.end()) {
        QStaticText t(QFontMetrics(font).elidedText(text, Qt::ElideRight, width));
        t.setTextFormat(Qt::PlainText);
        t.prepare(QTransform(), font);
        it = m_barLabels.insert(key, t);
    }
    return it.value();
}

void PlannerGrid::paintRow(QPainter &p, int row, int y) const
{
    const Row &r = m_rows[size_t(row)];
    const QRect title(0, y, m_titleWidth, m_rowHeight);
    p.fillRect(title, row == m_currentRow ? QColor(0xdd, 0xe8, 0xf3) : HeaderFill);
    QFont bold = font();
    bold.setBold(true);
    const int textTop = y + (m_rowHeight - QFontMetrics(font()).height()) / 2;
    p.setFont(bold);
    p.setPen(Qt::black);
    const QStaticText &number = label(m_titleLabels, size_t(row), r.title, bold, m_titleWidth - 10);
    p.drawStaticText(QPointF(6, textTop), number);
    const int detailLeft = 6 + int(number.size().width()) + 8;
    p.setFont(font());
    p.setPen(DetailText);
    p.drawStaticText(QPointF(detailLeft, textTop),
                     label(m_detailLabels, size_t(row), r.detail, font(), std::max(0, m_titleWidth - detailLeft - 4)));

    // Boxes first, then the names over them, one font at a time.
    bool anyFaint = false;
    for (int i : barsOfRow(row)) {
        const Bar &b = m_bars[size_t(i)];
        if (b.last < m_first || b.first > lastDay())
            continue;
        const QRect box = barRect(i);
        if (b.faint) {
            anyFaint = true;
            p.setPen(QPen(QColor(0x99, 0x99, 0x99), 1, Qt::DashLine));
            p.setBrush(QColor(0xf7, 0xf7, 0xf7));
        } else {
            p.setPen(b.colour.darker(160));
            p.setBrush(b.colour);
        }
        p.drawRect(box.adjusted(0, 0, -1, -1));
    }
    QFont italic = font();
    italic.setItalic(true);
    for (const bool faint : {false, true}) {
        if (faint && !anyFaint)
            break;
        p.setFont(faint ? italic : font());
        p.setPen(faint ? DetailText : Qt::black);
        for (int i : barsOfRow(row)) {
            const Bar &b = m_bars[size_t(i)];
            if (b.faint != faint || b.last < m_first || b.first > lastDay())
                continue;
            const QRect inside = barRect(i).adjusted(4, 0, -3, 0);
            if (inside.width() < 6)
                continue;
            p.drawStaticText(QPointF(inside.left(), textTop), barLabel(b.text, faint ? italic : font(), inside.width()));
        }
    }
    p.setFont(font());
    p.setPen(GridLine);
    p.drawLine(0, y + m_rowHeight - 1, m_titleWidth + m_days * dayWidth(), y + m_rowHeight - 1);
}

void PlannerGrid::moveCurrent(int rows, int days)
{
    if (m_rows.empty())
        return;
    const QDate day = m_currentDay.addDays(days);
    const int row = std::clamp(m_currentRow + rows, 0, rowCount() - 1);
    if (day < m_first || day > lastDay()) {
        // The days follow the current day; the window brings the bars.
        const qint64 shift = day < m_first ? day.daysTo(m_first) : lastDay().daysTo(day);
        m_currentRow = row;
        emit rangeRequested(m_first.addDays(day < m_first ? -shift : shift));
        setCurrent(row, day);
        return;
    }
    setCurrent(row, day);
}

void PlannerGrid::keyPressEvent(QKeyEvent *event)
{
    const int page = std::max(1, (viewport()->height() - m_headerHeight) / m_rowHeight - 1);
    if (event->modifiers() & ~(Qt::KeypadModifier | Qt::ShiftModifier)) {
        QAbstractScrollArea::keyPressEvent(event);
        return;
    }
    switch (event->key()) {
    case Qt::Key_Left:
        moveCurrent(0, -1);
        break;
    case Qt::Key_Right:
        moveCurrent(0, 1);
        break;
    case Qt::Key_Up:
        moveCurrent(-1, 0);
        break;
    case Qt::Key_Down:
        moveCurrent(1, 0);
        break;
    case Qt::Key_PageUp:
        moveCurrent(-page, 0);
        break;
    case Qt::Key_PageDown:
        moveCurrent(page, 0);
        break;
    case Qt::Key_Home:
        setCurrent(m_currentRow, m_first);
        break;
    case Qt::Key_End:
        setCurrent(m_currentRow, lastDay());
        break;
    case Qt::Key_Return:
    case Qt::Key_Enter:
        if (m_currentRow >= 0)
            emit activated(m_currentRow, m_currentDay);
        break;
    default:
        QAbstractScrollArea::keyPressEvent(event);
        return;
    }
    event->accept();
}

void PlannerGrid::mousePressEvent(QMouseEvent *event)
{
    int row = 0;
    QDate day;
    if (event->button() == Qt::LeftButton && cellAt(event->position().toPoint(), row, day))
        setCurrent(row, day);
    QAbstractScrollArea::mousePressEvent(event);
}

void PlannerGrid::mouseDoubleClickEvent(QMouseEvent *event)
{
    int row = 0;
    QDate day;
    if (event->button() == Qt::LeftButton && cellAt(event->position().toPoint(), row, day)) {
        setCurrent(row, day);
        emit activated(row, day);
        return;
    }
    QAbstractScrollArea::mouseDoubleClickEvent(event);
}

bool PlannerGrid::viewportEvent(QEvent *event)
{
    if (event->type() == QEvent::ToolTip) {
        const auto *help = static_cast<QHelpEvent *>(event);
        int row = 0;
        QDate day;
        const int bar = cellAt(help->pos(), row, day) ? barAt(row, day) : -1;
        if (bar >= 0)
            QToolTip::showText(help->globalPos(), describe(bar, Description::ToolTip), viewport(), barRect(bar));
        else
            QToolTip::hideText();
        return true;
    }
    return QAbstractScrollArea::viewportEvent(event);
}

void PlannerGrid::focusInEvent(QFocusEvent *event)
{
    QAbstractScrollArea::focusInEvent(event);
    viewport()->update();
    announceFocus();
}

void PlannerGrid::focusOutEvent(QFocusEvent *event)
{
    QAbstractScrollArea::focusOutEvent(event);
    viewport()->update();
}

void PlannerGrid::resetAccessible()
{
    if (m_accessibleIds.isEmpty())
        return;
    for (const unsigned id : std::as_const(m_accessibleIds))
        QAccessible::deleteAccessibleInterface(id);
    m_accessibleIds.clear();
    if (QAccessible::isActive()) {
        QAccessibleEvent reset(this, QAccessible::ObjectReorder);
        QAccessible::updateAccessibility(&reset);
    }
}

void PlannerGrid::announceFocus()
{
    if (!QAccessible::isActive() || !hasFocus() || m_currentRow < 0)
        return;
    if (QAccessibleInterface *cell = PlannerGridAccessible::currentCell(this)) {
        QAccessibleEvent focus(cell, QAccessible::Focus);
        QAccessible::updateAccessibility(&focus);
    }
}

#pragma once

#include <QAbstractScrollArea>
#include <QColor>
#include <QDate>
#include <QHash>
#include <QStaticText>
#include <QString>

#include <functional>
#include <vector>

class QAccessibleInterface;

// A grid of rows over a run of days, with bars lying across the days: the
// occupancy planner's element. The window gives the rows, the days shown and
// the bars that meet them; the grid paints only the rows in view, marks today
// and the weekends, shows each bar's tool tip, and keeps one current cell (a
// row and a day) whenever it has rows.
//
// Keys: the arrows move the current cell (a day beyond the ones shown asks for
// another run of days through rangeRequested); Page Up and Page Down move a
// page of rows; Home and End go to the first and last day shown; Enter, like a
// double click, activates the current cell.
//
// Assistive technology sees a table whose children are the rows, each named by
// its title, and whose rows' children are the bars, each named by the
// describer (a current free day is a child of its row too). The focus is
// always on the current cell; a new run of days or new bars are announced once.
class PlannerGrid : public QAbstractScrollArea
{
    Q_OBJECT

public:
    struct Row
    {
        QString title;  // bold, and the row's accessible name
        QString detail; // beside the title, and its accessible description
    };

    struct Bar
    {
        int row = 0;
        QDate first; // both days included
        QDate last;
        QString text; // drawn as far as it fits
        QColor colour;
        // Drawn pale and under the others: it does not hold its row's days.
        bool faint = false;
        qint64 key = 0;
    };

    explicit PlannerGrid(QWidget *parent = nullptr);
    ~PlannerGrid() override;

    // The shading of weekends and the mark of today, for legends and print.
    static QColor weekendColour();
    static QColor todayColour();
    // Two letters of the weekday in the regional language ("Lu", "Sá").
    static QString weekdayLetters(QDate day);

    // Replaces the rows (and drops the bars); the current row stays when it still exists.
    void setRows(std::vector<Row> rows);
    int rowCount() const { return static_cast<int>(m_rows.size()); }
    const Row &row(int index) const { return m_rows[static_cast<size_t>(index)]; }

    // The days shown: `count` days from `first`. The current day keeps its
    // distance from the first day.
    void setRange(QDate first, int count);
    QDate firstDay() const { return m_first; }
    QDate lastDay() const { return m_first.addDays(m_days - 1); }
    int dayCount() const { return m_days; }

    // The bars meeting the days shown, in any order.
    void setBars(std::vector<Bar> bars);

    // A bar's tool tip and accessible name are asked for when they are needed,
    // not made for every bar of every run of days.
    enum class Description { ToolTip, AccessibleName };
    using Describer = std::function<QString(int bar, Description kind)>;
    void setDescriber(Describer describer) { m_describer = std::move(describer); }
    QString describe(int bar, Description kind) const;
    const std::vector<Bar> &bars() const { return m_bars; }
    // Indexes into bars() of one row's bars, faint ones first, then by first day.
    const std::vector<int> &barsOfRow(int row) const;
    // The bar that holds the day (a faint one only when no other covers it);
    // -1 for a free day.
    int barAt(int row, QDate day) const;

    void setToday(QDate today);
    QDate today() const { return m_today; }

    int currentRow() const { return m_currentRow; }
    QDate currentDay() const { return m_currentDay; }
    // Moves the current cell, kept within the rows and the days shown.
    void setCurrent(int row, QDate day);

    // Geometry, in viewport coordinates.
    int rowHeight() const { return m_rowHeight; }
    int headerHeight() const { return m_headerHeight; }
    int titleWidth() const { return m_titleWidth; }
    int dayWidth() const;
    int dayX(QDate day) const;
    QRect cellRect(int row, QDate day) const;
    QRect barRect(int bar) const;
    // The row and day under a viewport point; false outside the cells.
    bool cellAt(const QPoint &point, int &row, QDate &day) const;

signals:
    // Double click or Enter on a cell.
    void activated(int row, QDate day);
    void currentChanged();
    // The current cell would leave the days shown: the window shows others.
    void rangeRequested(QDate first);

protected:
    void paintEvent(QPaintEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseDoubleClickEvent(QMouseEvent *event) override;
    bool viewportEvent(QEvent *event) override;
    void focusInEvent(QFocusEvent *event) override;
    void focusOutEvent(QFocusEvent *event) override;

private:
    friend class PlannerGridAccessible;
    friend class PlannerRowAccessible;
    friend class PlannerCellAccessible;

    void updateScrollBars();
    void layoutColumns();
    void indexBars();
    void paintHeader(QPainter &p, const QRect &clip) const;
    void paintRow(QPainter &p, int row, int y) const;
    struct Label
    {
        QStaticText text;
        int width = -1;
    };
    const QStaticText &barLabel(const QString &text, const QFont &font, int width) const;
    // The text of one label of `cache` elided to `width`, laid out once.
    const QStaticText &label(std::vector<Label> &cache, size_t index, const QString &text, const QFont &font,
                             int width) const;
    void scrollToCurrent();
    void moveCurrent(int rows, int days);
    // Accessibility: forget the interfaces handed out, tell once that all changed.
    void resetAccessible();
    void announceFocus();

    std::vector<Row> m_rows;
    std::vector<Bar> m_bars;
    Describer m_describer;
    std::vector<std::vector<int>> m_rowBars;
    struct BarLabelKey
    {
        QString text;
        int width;
        bool italic;
        bool operator==(const BarLabelKey &) const = default;
        friend size_t qHash(const BarLabelKey &k, size_t seed = 0) { return qHashMulti(seed, k.text, k.width, k.italic); }
    };
    mutable QHash<BarLabelKey, QStaticText> m_barLabels;
    mutable std::vector<Label> m_titleLabels;
    mutable std::vector<Label> m_detailLabels;
    QDate m_first;
    int m_days = 1;
    QDate m_today;
    int m_currentRow = -1;
    QDate m_currentDay;

    int m_rowHeight = 20;
    int m_headerHeight = 34;
    static constexpr int MinTitleWidth = 150;
    int m_titleWidth = MinTitleWidth;

    // Interfaces handed out for rows and cells, by row and part of it.
    QHash<quint64, unsigned> m_accessibleIds;
};

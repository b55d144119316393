#pragma once

#include <QListWidget>

// A list box of texts. With several columns, the items fill the first column
// from the top down, then the next, and the list scrolls sideways; its
// horizontal scroll bar shows only when the items do not fit the columns in
// view, so that a column holds every row the list's height takes.
class ListBox : public QListWidget
{
    Q_OBJECT

public:
    explicit ListBox(QWidget *parent = nullptr);

    // Columns in view, each item `itemHeight` pixels high.
    void setColumns(int columns, int itemHeight);
    int columns() const { return m_columns; }

    // Items a column holds without the scroll bar.
    int rowsPerColumn() const;

protected:
    void resizeEvent(QResizeEvent *event) override;

private:
    void fitScrollBar();

    int m_columns = 1;
    int m_itemHeight = 0;
};

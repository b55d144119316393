#include "ListBox.h"

#include <QScrollBar>

ListBox::ListBox(QWidget *parent) : QListWidget(parent)
{
    setSortingEnabled(false);
    setSelectionMode(QAbstractItemView::SingleSelection);
    connect(model(), &QAbstractItemModel::rowsInserted, this, &ListBox::fitScrollBar);
    connect(model(), &QAbstractItemModel::rowsRemoved, this, &ListBox::fitScrollBar);
    connect(model(), &QAbstractItemModel::modelReset, this, &ListBox::fitScrollBar);
}

void ListBox::setColumns(int columns, int itemHeight)
{
    m_columns = std::max(1, columns);
    m_itemHeight = std::max(1, itemHeight);
    setFlow(QListView::TopToBottom);
    setWrapping(true);
    setUniformItemSizes(true);
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setGridSize(QSize((width() - 2 * frameWidth()) / m_columns, m_itemHeight));
    fitScrollBar();
}

int ListBox::rowsPerColumn() const
{
    return m_itemHeight > 0 ? std::max(1, (height() - 2 * frameWidth()) / m_itemHeight) : 1;
}

void ListBox::resizeEvent(QResizeEvent *event)
{
    QListWidget::resizeEvent(event);
    if (m_itemHeight > 0)
        setGridSize(QSize((width() - 2 * frameWidth()) / m_columns, m_itemHeight));
    fitScrollBar();
}

void ListBox::fitScrollBar()
{
    if (m_itemHeight <= 0)
        return;
    // Qt keeps room for a scroll bar that may come, which costs a row in every
    // column; it is kept only when the items overflow what the columns hold.
    const bool overflows = count() > m_columns * rowsPerColumn();
    setHorizontalScrollBarPolicy(overflows ? Qt::ScrollBarAsNeeded : Qt::ScrollBarAlwaysOff);
}

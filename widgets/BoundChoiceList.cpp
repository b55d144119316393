#include "BoundChoiceList.h"

#include "Cursor.h"
#include "Guard.h"

BoundChoiceList::BoundChoiceList(QWidget *parent) : QComboBox(parent), m_link(this, [this] { refresh(); })
{
    setEditable(false);
    connect(this, &QComboBox::activated, this, &BoundChoiceList::picked);
}

void BoundChoiceList::setItems(const QStringList &items)
{
    m_refreshing = true;
    clear();
    addItems(items);
    m_refreshing = false;
    refresh();
}

void BoundChoiceList::refresh()
{
    int index = -1;
    if (m_link.hasRecord()) {
        const QString text = field()->asString();
        index = findText(text, Qt::MatchExactly | Qt::MatchCaseSensitive);
    }
    m_refreshing = true;
    setCurrentIndex(index);
    m_refreshing = false;
}

void BoundChoiceList::picked(int index)
{
    if (m_refreshing || index < 0)
        return;
    const QString text = itemText(index);
    const bool ok = m_link.startEditing(window()) && guarded(window(), [&] { field()->setAsString(text); });
    if (!ok)
        refresh();
}

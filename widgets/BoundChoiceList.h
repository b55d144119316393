#pragma once

#include "FieldLink.h"

#include <QComboBox>

class Field;

// A drop-down of fixed texts bound to a field. It shows the item whose text
// equals the field's text, and no item when none does. Picking an item puts the
// cursor into edit mode if it was browsing and writes the item's text to the
// field, which converts it to its own kind. It takes no free typing.
class BoundChoiceList : public QComboBox
{
    Q_OBJECT

public:
    explicit BoundChoiceList(QWidget *parent = nullptr);

    void setDataSource(DataSource *source) { m_link.setDataSource(source); }
    void setDataField(const QString &field) { m_link.setDataField(field); }
    Field *field() const { return m_link.field(); }
    void setItems(const QStringList &items);

private:
    void refresh();
    void picked(int index);

    FieldLink m_link;
    bool m_refreshing = false;
};

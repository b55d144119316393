#pragma once

#include "FieldLink.h"

#include <QLabel>

class Field;

// A read-only label that shows a field's display text of the current record.
class BoundText : public QLabel
{
    Q_OBJECT

public:
    explicit BoundText(QWidget *parent = nullptr);

    void setDataSource(DataSource *source) { m_link.setDataSource(source); }
    void setDataField(const QString &field) { m_link.setDataField(field); }
    Field *field() const { return m_link.field(); }

private:
    void refresh();

    FieldLink m_link;
};

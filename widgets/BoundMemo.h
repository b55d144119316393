#pragma once

#include "FieldLink.h"

#include <QPlainTextEdit>

class Field;

// A multi-line edit bound to a text field: the bound edit's rules over several
// lines. Typing first puts the cursor in edit mode; the text is written on focus
// loss and before a post; Escape restores the field's value. Typing and pasting
// stop at the maximum length: the memo's own, or the size of a text column.
class BoundMemo : public QPlainTextEdit, public RecordEditor
{
    Q_OBJECT

public:
    explicit BoundMemo(QWidget *parent = nullptr);
    ~BoundMemo() override;

    void setDataSource(DataSource *source) { m_link.setDataSource(source); }
    void setDataField(const QString &field) { m_link.setDataField(field); }
    Field *field() const { return m_link.field(); }
    // At most this many characters can be typed; 0 (the default) leaves the
    // column's size as the limit.
    void setMaxLength(int length) { m_maxLength = length; }
    // The limit in force; 0 when there is none.
    int maxLength() const { return m_link.typingLimit(m_maxLength); }

    void updateRecord() override;

protected:
    void keyPressEvent(QKeyEvent *event) override;
    void focusOutEvent(QFocusEvent *event) override;
    void insertFromMimeData(const QMimeData *source) override;

private:
    void refresh();

    FieldLink m_link;
    bool m_typed = false;
    bool m_refreshing = false;
    int m_maxLength = 0;
};

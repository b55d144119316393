#pragma once

#include "FieldLink.h"

#include <QLineEdit>
#include <QPointer>

class Field;

// A one-line edit bound to one field of its data source's current record. It
// shows the field's display text while browsing and its edit text while editing
// or holding the focus (a money amount as a plain number), always whole.
// Typing, Backspace, Delete, paste and cut first put the cursor in edit mode, or
// are ignored when that is impossible. Typing and pasting stop at the maximum
// length, which is the edit's own when set and otherwise the size of a text
// column. In a numeric field only the digits 0 to 9, the signs and (for money)
// the decimal separator are accepted; anything else beeps. Escape restores the field's value. The
// typed text is written to the field when the edit loses the focus and before
// the record is posted; empty text makes the field null, text that does not
// convert raises the field's conversion error.
class BoundEdit : public QLineEdit, public RecordEditor
{
    Q_OBJECT

public:
    explicit BoundEdit(QWidget *parent = nullptr);
    ~BoundEdit() override;

    void setDataSource(DataSource *source) { m_link.setDataSource(source); }
    void setDataField(const QString &field) { m_link.setDataField(field); }
    DataSource *dataSource() const { return m_link.dataSource(); }
    Field *field() const { return m_link.field(); }

    // The limit of typing and pasting; unlike QLineEdit's, it never cuts what
    // the field holds. 0 (the default) leaves the column's size as the limit.
    void setMaxLength(int length) { m_maxLength = length; }
    // The limit in force; 0 when there is none.
    int maxLength() const { return m_link.typingLimit(m_maxLength); }

    void updateRecord() override;

protected:
    void keyPressEvent(QKeyEvent *event) override;
    void focusInEvent(QFocusEvent *event) override;
    void focusOutEvent(QFocusEvent *event) override;
    void contextMenuEvent(QContextMenuEvent *event) override;
    void inputMethodEvent(QInputMethodEvent *event) override;

private:
    void refresh();
    bool accepts(QChar c) const;
    // True when `typed` may replace the selection: every character accepted
    // (a beep otherwise) and the result within the maximum length.
    bool mayType(const QString &typed) const;
    // Pastes the clipboard's text by the rules of typed keys: refused whole
    // when the field cannot take a character of it, cut to what fits.
    void pasteClipboard();

    FieldLink m_link;
    bool m_typed = false;
    bool m_refreshing = false;
    int m_maxLength = 0;
};

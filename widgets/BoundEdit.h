#pragma once

#include "FieldLink.h"

#include <QLineEdit>
#include <QPointer>

class Field;

// A one-line edit bound to one field of its data source's current record. It
// shows the field's display text while browsing and its edit text while editing
// or holding the focus (a money amount as a plain number). Typing, Backspace, Delete, paste and cut
// first put the cursor in edit mode, or are ignored when that is impossible. In
// a numeric field only digits, the signs and (for money) the decimal separator
// are accepted; anything else beeps. Escape restores the field's value. The
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

    void updateRecord() override;

protected:
    void keyPressEvent(QKeyEvent *event) override;
    void focusInEvent(QFocusEvent *event) override;
    void focusOutEvent(QFocusEvent *event) override;
    void contextMenuEvent(QContextMenuEvent *event) override;

private:
    void refresh();
    bool accepts(QChar c) const;
    // Pastes the clipboard's text by the rules of typed keys: refused whole
    // when the field cannot take a character of it, cut to what fits.
    void pasteClipboard();

    FieldLink m_link;
    bool m_typed = false;
    bool m_refreshing = false;
};

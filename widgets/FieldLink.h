#pragma once

#include "DataSource.h"

#include <QObject>
#include <QPointer>

#include <functional>

class Field;
class QWidget;

// The binding shared by the controls that show one field of a data source's
// current record: it follows the data source and calls back whenever what the
// control shows may have changed (a move, a state change, a reset, a change of
// that field). A control that holds typed text registers as a RecordEditor.
class FieldLink : public QObject
{
    Q_OBJECT

public:
    FieldLink(QObject *owner, std::function<void()> refresh, RecordEditor *editor = nullptr);
    ~FieldLink() override;

    void setDataSource(DataSource *source);
    void setDataField(const QString &field);
    DataSource *dataSource() const { return m_source; }
    const QString &dataField() const { return m_field; }

    // The bound field, or null while the cursor is closed or lacks it.
    Field *field() const;
    // True when the cursor has a current record to show.
    bool hasRecord() const;
    // How many characters typing and pasting may leave in the control: the
    // control's own limit when it has one (above 0), else the size of a text
    // column; 0 means no limit. What the field already holds always shows whole.
    int typingLimit(int ownLimit) const;
    // Puts the cursor into edit mode unless it already edits; false when that is
    // impossible or failed (the failure is shown in the default error dialog).
    bool startEditing(QWidget *dialogParent) const;

private:
    QPointer<DataSource> m_source;
    QString m_field;
    std::function<void()> m_refresh;
    RecordEditor *m_editor;
};

// Typed text of the controls: a character beyond the 16-bit range arrives as
// its two halves, and must be judged and cut as one character.
namespace TypedText {
// True when a key press's text starts with a printable character.
bool isPrintable(const QString &keyText);
// At most `room` 16-bit units of `text`, never ending in half a character.
QString fitting(const QString &text, qsizetype room);
} // namespace TypedText

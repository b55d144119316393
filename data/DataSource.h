#pragma once

#include "Cursor.h"

#include <QObject>
#include <QPointer>
#include <vector>

// A control that holds typed text not yet written to its field. The data source
// asks it to write the text before its cursor posts or leaves the record.
class RecordEditor
{
public:
    virtual ~RecordEditor() = default;
    // Writes pending text to the field; may throw DataError (a value that does
    // not convert), which aborts the post.
    virtual void updateRecord() = 0;
};

// The named binding point through which controls show and edit one cursor. It
// relays the cursor's signals, so controls need not know when it is replaced.
class DataSource : public QObject
{
    Q_OBJECT

public:
    DataSource(const QString &name, Cursor *cursor, QObject *parent = nullptr);
    ~DataSource() override;

    Cursor *cursor() const { return m_cursor; }

    void addEditor(RecordEditor *editor);
    void removeEditor(RecordEditor *editor);
    void updateRecord();

signals:
    void stateChanged();
    void currentChanged();
    void rowsReset();
    void rowInserted(int row);
    void rowRemoved(int row);
    void rowMoved(int from, int to);
    void rowChanged(int row);
    void fieldChanged(const Field *field);

private:
    QPointer<Cursor> m_cursor;
    std::vector<RecordEditor *> m_editors;
};

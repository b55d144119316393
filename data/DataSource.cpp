#include "DataSource.h"

#include "Cursor.h"

DataSource::DataSource(const QString &name, Cursor *cursor, QObject *parent) : QObject(parent), m_cursor(cursor)
{
    setObjectName(name);
    if (!cursor)
        return;
    cursor->attachDataSource(this);
    connect(cursor, &Cursor::stateChanged, this, &DataSource::stateChanged);
    connect(cursor, &Cursor::currentChanged, this, &DataSource::currentChanged);
    connect(cursor, &Cursor::rowsReset, this, &DataSource::rowsReset);
    connect(cursor, &Cursor::rowInserted, this, &DataSource::rowInserted);
    connect(cursor, &Cursor::rowRemoved, this, &DataSource::rowRemoved);
    connect(cursor, &Cursor::rowMoved, this, &DataSource::rowMoved);
    connect(cursor, &Cursor::rowChanged, this, &DataSource::rowChanged);
    connect(cursor, &Cursor::fieldChanged, this, &DataSource::fieldChanged);
}

DataSource::~DataSource()
{
    if (m_cursor)
        m_cursor->detachDataSource(this);
}

void DataSource::addEditor(RecordEditor *editor)
{
    m_editors.push_back(editor);
}

void DataSource::removeEditor(RecordEditor *editor)
{
    m_editors.erase(std::remove(m_editors.begin(), m_editors.end(), editor), m_editors.end());
}

void DataSource::updateRecord()
{
    const auto editors = m_editors;
    for (RecordEditor *e : editors)
        e->updateRecord();
}

#include "CursorTableModel.h"

#include "Cursor.h"
#include "DataSource.h"
#include "Field.h"

namespace {

// Marks the model as changing for the length of a begin/end pair, including the
// signals the end sends.
class Changing
{
public:
    explicit Changing(int &counter) : m_counter(counter) { ++m_counter; }
    ~Changing() { --m_counter; }
    Changing(const Changing &) = delete;
    Changing &operator=(const Changing &) = delete;

private:
    int &m_counter;
};

} // namespace

CursorTableModel::CursorTableModel(QObject *parent) : QAbstractTableModel(parent) {}

CursorTableModel::~CursorTableModel() = default;

Cursor *CursorTableModel::cursor() const
{
    return m_source ? m_source->cursor() : nullptr;
}

void CursorTableModel::setDataSource(DataSource *source)
{
    if (m_source == source)
        return;
    if (m_source)
        disconnect(m_source, nullptr, this, nullptr);
    m_source = source;
    connectSource();
    reset();
}

void CursorTableModel::connectSource()
{
    if (!m_source)
        return;
    connect(m_source, &DataSource::rowsReset, this, &CursorTableModel::reset);
    connect(m_source, &DataSource::rowInserted, this, &CursorTableModel::onRowInserted);
    connect(m_source, &DataSource::rowRemoved, this, &CursorTableModel::onRowRemoved);
    connect(m_source, &DataSource::rowMoved, this, &CursorTableModel::onRowMoved);
    connect(m_source, &DataSource::rowChanged, this, &CursorTableModel::onRowChanged);
    connect(m_source, &QObject::destroyed, this, &CursorTableModel::reset);
}

void CursorTableModel::setColumns(const QList<Column> &columns)
{
    m_columns = columns;
    reset();
}

void CursorTableModel::setTitleFont(const QFont &font)
{
    m_titleFont = font;
    if (!m_resolved.empty())
        emit headerDataChanged(Qt::Horizontal, 0, static_cast<int>(m_resolved.size()) - 1);
}

void CursorTableModel::setEditable(bool editable)
{
    if (m_editable == editable)
        return;
    m_editable = editable;
    if (m_rows > 0 && !m_resolved.empty())
        emit dataChanged(index(0, 0), index(m_rows - 1, static_cast<int>(m_resolved.size()) - 1), {});
}

void CursorTableModel::reset()
{
    Changing changing(m_changing);
    beginResetModel();
    resolveColumns();
    const Cursor *c = cursor();
    m_rows = c && c->isOpen() ? c->recordCount() : 0;
    endResetModel();
}

void CursorTableModel::resolveColumns()
{
    m_resolved.clear();
    const Cursor *c = cursor();
    if (m_columns.isEmpty()) {
        if (!c)
            return;
        for (int i = 0; i < c->fieldCount(); ++i) {
            const Field &f = c->field(i);
            m_resolved.push_back({&f, f.name(), Qt::AlignLeft, f.alignment()});
        }
        return;
    }
    for (const Column &col : m_columns) {
        const Field *f = c ? c->findField(col.field) : nullptr;
        Resolved r;
        r.field = f;
        r.title = !col.title.isEmpty() ? col.title : (f ? f->name() : col.field);
        r.titleAlignment = col.titleAlignment ? col.titleAlignment : Qt::AlignLeft;
        r.cellAlignment = col.cellAlignment ? col.cellAlignment : (f ? f->alignment() : Qt::AlignLeft);
        m_resolved.push_back(r);
    }
}

void CursorTableModel::checkCount()
{
    const Cursor *c = cursor();
    const int expected = c && c->isOpen() ? c->recordCount() : 0;
    if (expected != m_rows)
        reset();
}

void CursorTableModel::onRowInserted(int row)
{
    if (row < 0 || row > m_rows) {
        reset();
        return;
    }
    {
        Changing changing(m_changing);
        beginInsertRows(QModelIndex(), row, row);
        ++m_rows;
        endInsertRows();
    }
    checkCount();
}

void CursorTableModel::onRowRemoved(int row)
{
    if (row < 0 || row >= m_rows) {
        reset();
        return;
    }
    {
        Changing changing(m_changing);
        beginRemoveRows(QModelIndex(), row, row);
        --m_rows;
        endRemoveRows();
    }
    checkCount();
}

void CursorTableModel::onRowMoved(int from, int to)
{
    if (from == to)
        return;
    if (from < 0 || to < 0 || from >= m_rows || to >= m_rows) {
        reset();
        return;
    }
    // The cursor names the row's final place; Qt wants the place before which
    // it goes, counted before the move.
    Changing changing(m_changing);
    if (!beginMoveRows(QModelIndex(), from, from, QModelIndex(), to > from ? to + 1 : to)) {
        reset();
        return;
    }
    endMoveRows();
}

void CursorTableModel::onRowChanged(int row)
{
    if (row < 0 || row >= m_rows || m_resolved.empty())
        return;
    emit dataChanged(index(row, 0), index(row, static_cast<int>(m_resolved.size()) - 1),
                     {Qt::DisplayRole, Qt::EditRole});
}

CursorTableModel::Column CursorTableModel::effectiveColumn(int column) const
{
    Column out;
    if (column < 0 || column >= static_cast<int>(m_resolved.size()))
        return out;
    const Resolved &r = m_resolved[static_cast<size_t>(column)];
    if (column < m_columns.size()) {
        out = m_columns[column];
    } else if (r.field) {
        out.field = r.field->name();
    }
    out.title = r.title;
    out.titleAlignment = r.titleAlignment;
    out.cellAlignment = r.cellAlignment;
    return out;
}

const Field *CursorTableModel::field(int column) const
{
    if (column < 0 || column >= static_cast<int>(m_resolved.size()))
        return nullptr;
    return m_resolved[static_cast<size_t>(column)].field;
}

QString CursorTableModel::displayText(int row, int column) const
{
    const Cursor *c = cursor();
    const Field *f = field(column);
    if (!c || !f || !c->isOpen() || row < 0 || row >= m_rows)
        return QString();
    return f->displayTextOf(c->valueAt(row, *f));
}

void CursorTableModel::writeText(const QModelIndex &index, const QString &text)
{
    Cursor *c = cursor();
    const Field *f = field(index.column());
    if (!c || !f || !c->isOpen() || index.row() != c->recNo())
        return;
    if (text == f->editTextOf(c->valueAt(index.row(), *f)))
        return;
    // The resolved pointer is const; the cursor hands out the writable field.
    Field &writable = c->fieldByName(f->name());
    c->edit();
    writable.setAsString(text);
}

int CursorTableModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : m_rows;
}

int CursorTableModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : static_cast<int>(m_resolved.size());
}

QVariant CursorTableModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid())
        return QVariant();
    switch (role) {
    case Qt::DisplayRole:
        return displayText(index.row(), index.column());
    case Qt::EditRole: {
        const Cursor *c = cursor();
        const Field *f = field(index.column());
        if (!c || !f || !c->isOpen() || index.row() >= m_rows)
            return QString();
        return f->editTextOf(c->valueAt(index.row(), *f));
    }
    case Qt::TextAlignmentRole:
        if (index.column() < static_cast<int>(m_resolved.size()))
            return int(m_resolved[static_cast<size_t>(index.column())].cellAlignment | Qt::AlignVCenter);
        return QVariant();
    default:
        return QVariant();
    }
}

QVariant CursorTableModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation == Qt::Vertical || section < 0 || section >= static_cast<int>(m_resolved.size()))
        return QVariant();
    const Resolved &r = m_resolved[static_cast<size_t>(section)];
    switch (role) {
    case Qt::DisplayRole:
        return r.title;
    case Qt::TextAlignmentRole:
        return int(r.titleAlignment | Qt::AlignVCenter);
    case Qt::FontRole: {
        QFont font = m_titleFont;
        font.setBold(section < m_columns.size() && m_columns[section].boldTitle);
        return font;
    }
    default:
        return QVariant();
    }
}

Qt::ItemFlags CursorTableModel::flags(const QModelIndex &index) const
{
    if (!index.isValid())
        return Qt::NoItemFlags;
    Qt::ItemFlags flags = Qt::ItemIsEnabled | Qt::ItemIsSelectable;
    const Cursor *c = cursor();
    const Field *f = field(index.column());
    if (m_editable && c && f && c->canModify() && !f->isReadOnly())
        flags |= Qt::ItemIsEditable;
    return flags;
}

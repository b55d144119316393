#pragma once

#include <QAbstractTableModel>
#include <QFont>
#include <QList>
#include <QPointer>
#include <QString>

class Cursor;
class DataSource;
class Field;

// A table model over the visible rows of a data source's cursor, one row per
// record in the cursor's order, one column per named field.
//
// The model follows the cursor's fine-grained signals: a row inserted, removed,
// moved or changed becomes the matching Qt notification, and only rowsReset
// (open, close, filter, master move, refresh) resets the model. Its row count is
// its own, kept in step with those notifications, so views never see rows the
// model has not announced.
//
// Fields are looked up by name at every reset: a query cursor makes new fields
// when it is reopened, so no Field pointer survives a reset. A column whose
// field does not exist shows empty cells.
//
// The vertical header has no text; the grid draws its record indicator there.
class CursorTableModel : public QAbstractTableModel
{
    Q_OBJECT

public:
    // One column. Anything not given (empty title, no alignment, width <= 0)
    // comes from the field: its name, its alignment, its display width.
    struct Column
    {
        QString field;
        QString title = {};
        Qt::Alignment titleAlignment = {};
        Qt::Alignment cellAlignment = {};
        int width = 0;
        bool boldTitle = false;
    };

    explicit CursorTableModel(QObject *parent = nullptr);
    ~CursorTableModel() override;

    // The data source is not owned; the model forgets it when it is destroyed.
    void setDataSource(DataSource *source);
    DataSource *dataSource() const { return m_source; }
    Cursor *cursor() const;

    // The columns as given. An empty list shows every field of the cursor,
    // re-read at each reset.
    void setColumns(const QList<Column> &columns);
    const QList<Column> &columns() const { return m_columns; }
    // Column i with the title and alignments resolved (width as given).
    Column effectiveColumn(int column) const;
    // The field of a column as resolved at the last reset, or null.
    const Field *field(int column) const;

    // The font of the titles (bold ones are made bold from it).
    void setTitleFont(const QFont &font);
    // Whether cells may offer an editor (the grid decides: editing on, not
    // read-only); a cell is editable only when its field and cursor are too.
    void setEditable(bool editable);
    bool isEditable() const { return m_editable; }

    // The text a cell shows: the field's display text of that row's value.
    QString displayText(int row, int column) const;

    // Writes text typed into a cell of the current record into its field,
    // putting the cursor in edit state first. Throws DataError (a text that does
    // not convert, a record that cannot be edited); callers guard it. A row that
    // is no longer the current record is left alone.
    void writeText(const QModelIndex &index, const QString &text);

    // True while the model is between a begin and an end notification; views
    // may move their selection then, which the grid must not take for a user's
    // choice.
    bool isChanging() const { return m_changing > 0; }

    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    int columnCount(const QModelIndex &parent = QModelIndex()) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex &index) const override;

private:
    struct Resolved
    {
        const Field *field = nullptr;
        QString title;
        Qt::Alignment titleAlignment;
        Qt::Alignment cellAlignment;
    };

    void connectSource();
    void reset();
    void resolveColumns();
    // A safety net: if the count drifted from the cursor's, start over.
    void checkCount();

    void onRowInserted(int row);
    void onRowRemoved(int row);
    void onRowMoved(int from, int to);
    void onRowChanged(int row);

    QPointer<DataSource> m_source;
    QList<Column> m_columns;
    std::vector<Resolved> m_resolved;
    int m_rows = 0;
    int m_changing = 0;
    bool m_editable = false;
    QFont m_titleFont;
};

#pragma once

#include "CursorTableModel.h"
#include "DataSource.h"

#include <QPersistentModelIndex>
#include <QPointer>
#include <QStringList>
#include <QTableView>

#include <vector>

class Cursor;
class QKeyEvent;
class QLineEdit;

// A grid over the rows of one data source, one row per record in the cursor's
// order, which follows the current record both ways: choosing a row (mouse,
// keys) makes it the cursor's current record, and a move of the cursor from
// anywhere moves the highlight. Scrolling and moving never reset the model.
//
// Columns name fields of the cursor (see CursorTableModel::Column); a width not
// given is the field's display width times the width of the digit 0 in the
// grid's font plus 4 pixels, widened to the title when titles are shown. With no
// columns given, every field of the cursor is shown.
//
// Keys: Up/Down go to the prior/next record, Page Up/Page Down by the rows in
// view, Ctrl+Home/Ctrl+End to the first/last record; Tab and Shift+Tab move
// between the cells with the tabs option (otherwise between the controls), and
// Ctrl+Tab and Ctrl+Shift+Tab always leave the grid for the next or previous
// control, writing a cell being typed into first; Escape cancels the changes
// of the current record (not on a read-only grid); Enter writes the text being
// typed into a cell. Ctrl+Delete deletes the current record when the grid is not
// read-only and the cursor can be modified, after "Delete record?" when confirm
// delete is on. Insert, and Down on the last row, start a new record only with
// editing on, not read-only, and a cursor that can be modified. Every failure of
// a key or click reaches the default error dialog.
//
// The grid writes the text of an open cell editor when its cursor posts or
// leaves the record (it is a RecordEditor of its data source).
class DataGrid : public QTableView, public RecordEditor
{
    Q_OBJECT

public:
    using Column = CursorTableModel::Column;

    enum class Option : unsigned {
        Editing = 0x0001,
        Titles = 0x0002,
        Indicator = 0x0004,
        ColumnResize = 0x0008,
        ColumnLines = 0x0010,
        RowLines = 0x0020,
        Tabs = 0x0040,
        RowSelect = 0x0080,
        AlwaysShowSelection = 0x0100,
        ConfirmDelete = 0x0200,
        CancelOnExit = 0x0400,
        TitleClick = 0x0800,
        TitleHotTrack = 0x1000,
    };
    Q_DECLARE_FLAGS(Options, Option)

    // Editing, titles, indicator, column resize, column and row lines, tabs,
    // confirm delete, cancel on exit, title click, title hot-track.
    static Options defaultOptions();

    // Width in pixels of the indicator column.
    static constexpr int IndicatorWidth = 12;

    explicit DataGrid(QWidget *parent = nullptr);
    ~DataGrid() override;

    // The data source is not owned.
    void setDataSource(DataSource *source);
    DataSource *dataSource() const { return m_source; }
    Cursor *cursor() const;

    void setColumns(const QList<Column> &columns);
    // The columns as given.
    QList<Column> columns() const { return m_model->columns(); }
    // Column i as shown: title and alignments resolved, width in pixels.
    Column column(int i) const;
    int columnCount() const;
    int rowCount() const;
    QString cellText(int row, int column) const;

    void setOptions(Options options);
    Options options() const { return m_options; }
    void setReadOnly(bool readOnly);
    bool isReadOnly() const { return m_readOnly; }

    // Complete rows that fit in view (at least 1).
    int visibleRowCount() const;
    CursorTableModel *cursorModel() const { return m_model; }

    // RecordEditor: writes the open cell editor's text into the current record.
    void updateRecord() override;

signals:
    // A title was clicked (only with the title click option).
    void titleClicked(int column);

protected:
    void keyPressEvent(QKeyEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void focusInEvent(QFocusEvent *event) override;
    void focusOutEvent(QFocusEvent *event) override;
    void changeEvent(QEvent *event) override;
    void keyboardSearch(const QString &search) override;
    void currentChanged(const QModelIndex &current, const QModelIndex &previous) override;
    void closeEditor(QWidget *editor, QAbstractItemDelegate::EndEditHint hint) override;

private:
    friend class DataGridDelegate;

    static bool isLeavingKey(const QKeyEvent &event);
    void leave(QKeyEvent *event);
    friend class DataGridIndicator;

    bool canStartRecord() const;
    void deleteCurrent();
    void startRecord(bool appendAtEnd);
    void moveDown();
    void followCursor();
    void applyOptions();
    void applyMetrics();
    void applyColumnWidths();
    void restoreColumnWidths();
    int defaultWidth(int column) const;
    void updateEditable();
    // Drops the cell editor without writing its text.
    void discardEditor();
    bool focusIsInside() const;

    CursorTableModel *m_model;
    QPointer<DataSource> m_source;
    Options m_options;
    bool m_readOnly = false;
    bool m_syncing = false;
    bool m_writingCell = false;
    bool m_applyingWidths = false;
    // The widths in force and the fields they were set for, kept across resets.
    std::vector<int> m_widths;
    QStringList m_widthFields;
    QPointer<QLineEdit> m_editor;
    QPersistentModelIndex m_editorIndex;
};

Q_DECLARE_OPERATORS_FOR_FLAGS(DataGrid::Options)

#pragma once

#include "Field.h"
#include "RowStore.h"

#include <QHash>
#include <QObject>
#include <QPointer>
#include <QVariant>

#include <functional>
#include <map>
#include <memory>
#include <span>
#include <vector>

class DataSource;
class Database;
class FilterExpression;

// A cursor: an ordered set of rows held in memory, with at most one current
// record, the browse/edit/insert states and an edit buffer.
//
// Vocabulary: open fetches the rows and makes the first current; moving,
// locating, filtering and looking up while editing first ends the editing (a
// changed record is posted, an unchanged one cancelled); next on the last row
// leaves the cursor at end on that row. Errors are DataError exceptions whose
// message starts with the cursor's name, a colon and a blank, except the
// database's own refusals, which carry the database layer's message.
//
// Signals: stateChanged when the state changes; currentChanged once the new
// current record can be read (also after a post or cancel, when the values shown
// may differ; once at the end of a walk under ControlsDisabled); rowsReset when
// the visible rows were replaced (open, close, filter, master move, refresh);
// rowInserted/rowRemoved/rowMoved/rowChanged for single rows (indexes into the
// visible rows); fieldChanged when a field of the record being edited was
// written.
class Cursor : public QObject
{
    Q_OBJECT

public:
    enum class State { Inactive, Browse, Edit, Insert };

    enum LocateOption { NoOptions = 0, CaseInsensitive = 1, PartialKey = 2 };
    Q_DECLARE_FLAGS(LocateOptions, LocateOption)

    explicit Cursor(QString name, QObject *parent = nullptr);
    ~Cursor() override;

    const QString &name() const { return m_name; }

    // Structure, declared before the first open.
    Field &addField(const QString &name, Field::Kind kind, int size = 0);
    Field &addLookupField(const QString &name, Field::Kind kind, int size, const QString &keyField,
                          Cursor &lookupCursor, const QString &lookupKeyField, const QString &resultField);
    // Columns, separated by ';', by which the rows are kept in ascending order.
    void setSortOrder(const QString &fields);
    QString sortOrder() const { return m_sortOrderText; }
    // Keeps a hash index on a stored field, for lookups and locates by it.
    void addIndex(const QString &field);
    // Keeps an index of the rows by a whole-number field and the span between
    // two date-time fields (both ends included), for forEachInRange.
    void addRangeIndex(const QString &groupField, const QString &fromField, const QString &toField);
    // This cursor shows only the rows whose `detailField` equals `masterField`
    // of the master's current record, and fills that field on append and insert.
    void setMaster(Cursor &master, const QString &masterField, const QString &detailField);
    Cursor *master() const { return m_master; }
    // A detail that holds only the rows of the master records it was shown
    // for: the rows of the master's current record are read, through the
    // database's index, when the master moves to it, and those of the last
    // `capacity` master records are kept (0: the whole table is read at open).
    // It shows the same rows in the same order either way; lookups by key see
    // the rows held. Set before the first open.
    void setDetailFetchedOnDemand(int capacity);
    bool isDetailFetchedOnDemand() const { return m_detailCapacity > 0; }
    // Forgets the rows held for the master record whose link value is
    // `linkValue`, so that they are read again, with what other programs wrote
    // meanwhile; those of the master's current record are read again at once.
    // refresh() reads again every detail held.
    void reloadDetail(const QVariant &linkValue);
    // When set, a lookup field of the record being edited keeps the value it had
    // when the editing began until the record is posted.
    void setLookupsFrozenWhileEditing(bool frozen) { m_freezeLookups = frozen; }

    // Fields by name, in any letter case.
    Field *findField(const QString &name) const;
    Field &fieldByName(const QString &name) const;
    int fieldCount() const { return static_cast<int>(m_fields.size()); }
    Field &field(int index) const { return *m_fields[static_cast<size_t>(index)]; }

    // Opening and closing.
    void open();
    void close();
    void refresh();
    bool isOpen() const { return m_state != State::Inactive; }
    // Throws the closed-dataset error unless the cursor is open.
    void checkActive() const;
    State state() const { return m_state; }
    bool isEditing() const { return m_state == State::Edit || m_state == State::Insert; }
    virtual bool canModify() const;

    // Position.
    bool isEmpty() const { return recordCount() == 0; }
    int recordCount() const;
    // Index of the current record among the visible rows; -1 when there is none.
    int recNo() const { return m_current; }
    bool atEnd() const { return m_eof; }
    bool atBeginning() const { return m_bof; }
    void first();
    void last();
    void next();
    void prior();
    void moveBy(int distance);
    void moveTo(int index);

    // Editing.
    void append();
    void insert();
    void edit();
    void post();
    void cancel();
    void remove();
    bool isModified() const { return m_modified; }
    // A posted record stays visible even when it no longer passes the filter or
    // the master link. This makes the current record leave the visible rows
    // when it no longer belongs; the row that followed it (at the end, the one
    // before) becomes current. Returns whether it left; nothing happens while
    // editing.
    bool hideCurrentIfFilteredOut();
    // Ends any editing: posts a changed record, cancels an unchanged one.
    void checkBrowseMode();

    // Searching.
    QVariant lookup(const QString &keyField, const QVariant &keyValue, const QString &resultField);
    bool locate(const QString &field, const QVariant &value, LocateOptions options = NoOptions);
    // Index among the visible rows of the row that locate (without options)
    // would make current; -1 when none. Moves nothing and ends no editing.
    int indexOf(const Field &field, const QVariant &value) const;

    // A stored row handed out by forEachInRange: its values as posted (lookup
    // fields computed), valid only during the call.
    class RowRef
    {
    public:
        QVariant value(const Field &field) const;

    private:
        friend class Cursor;
        RowRef(const Cursor &cursor, const void *row) : m_cursor(cursor), m_row(row) {}
        const Cursor &m_cursor;
        const void *m_row;
    };
    // Calls f with every posted row, whatever the filter and the master link,
    // whose group field (of the range index declared with `fromField`) equals
    // `group` and whose span meets the days first..last, in order of the span's
    // start. Rows with an empty group, start or end are never found. Moves
    // nothing and ends no editing; costs a search per group, not a walk over
    // the rows. Throws when the cursor is closed or has no such index.
    void forEachInRange(const QString &fromField, qint64 group, QDate first, QDate last,
                        const std::function<void(const RowRef &)> &f) const;

    // Filtering. Switching filtering on or off (a no-op when it already is), or
    // changing the text while it is on, ends any editing and makes the first
    // visible row current; setting the text while it is off only stores it. A
    // text that does not parse throws and leaves the rows as they were.
    void setFilter(const QString &text);
    const QString &filter() const { return m_filterText; }
    void setFiltered(bool on);
    bool isFiltered() const { return m_filtered; }

    // Values.
    QVariant value(const Field &field) const;
    void setValue(Field &field, const QVariant &value);
    QVariant value(const QString &fieldName) const { return value(fieldByName(fieldName)); }
    void setValue(const QString &fieldName, const QVariant &v) { setValue(fieldByName(fieldName), v); }
    // A visible row's value, as a grid shows it (the edit buffer for the current
    // record while editing).
    QVariant valueAt(int row, const Field &field) const;
    bool isPendingRow(int row) const;

    // Walks over many rows: while a guard is alive the cursor holds back
    // currentChanged, and when the last guard ends it announces the record the
    // walk ended on once (if it announced nothing meanwhile, nothing follows).
    // Bound controls then follow one move instead of every row; details still
    // follow every move, and the other signals are never held back.
    class ControlsDisabled
    {
    public:
        explicit ControlsDisabled(Cursor &cursor);
        // Announces the held-back move; a slot's error then propagates, unless
        // another error is already leaving the walk (that one reaches the user).
        ~ControlsDisabled() noexcept(false);
        ControlsDisabled(const ControlsDisabled &) = delete;
        ControlsDisabled &operator=(const ControlsDisabled &) = delete;

    private:
        QPointer<Cursor> m_cursor;
        int m_exceptions;
    };

    // Bound controls that hold typed text register through their data source;
    // the cursor asks them to write it before a post.
    void attachDataSource(DataSource *source);
    void detachDataSource(DataSource *source);

signals:
    void stateChanged();
    void currentChanged();
    void rowsReset();
    void rowInserted(int row);
    void rowRemoved(int row);
    void rowMoved(int from, int to);
    void rowChanged(int row);
    void fieldChanged(const Field *field);

protected:
    using Row = RowStore::Row;
    using RowPtr = RowStore::RowPtr;

    // Subclasses fetch the rows at open (through addFetchedRow) and write them.
    virtual void doFetch() = 0;
    // Fetches the rows whose stored `field` equals `value`, in any order, for a
    // detail fetched on demand. Cursors that cannot say so.
    virtual void doFetchWhere(const Field &field, const QVariant &value);
    // Writes a new row; returns the key it received (or an invalid value).
    virtual QVariant doInsert(std::span<const QVariant> values);
    virtual void doUpdate(std::span<const QVariant> before, std::span<const QVariant> after);
    virtual void doDelete(std::span<const QVariant> values);
    virtual Database *database() const { return nullptr; }

    // The compact storage of the rows, laid out for the stored fields.
    RowStore &store();
    // Adds a row made by store() to the fetched rows.
    void addFetchedRow(RowPtr row);
    // Convenience for fetches that build a vector (one value per stored field).
    void addFetchedRow(std::vector<QVariant> &&values);
    void reserveRows(qsizetype count) { m_all.reserve(static_cast<size_t>(count)); }
    // Drops every field; for query cursors whose columns follow their SQL.
    void clearFields();
    int physicalCount() const { return m_physicalCount; }
    [[noreturn]] void fail(const QString &message) const;
    const Field *keyField() const;

    // Another program wrote the row whose key is `key`: `values` are its stored
    // values now (one per stored field), or null when it is gone. The row takes
    // its place in the cursor's order and view; the current record stays the
    // same row. The caller leaves a cursor being edited alone.
    void mergeRow(const QVariant &key, const std::vector<QVariant> *values);
    // A post or delete was refused because the row changed or went in the
    // database meanwhile: the cursor reads it again (table cursors do).
    virtual void rereadRow(const QVariant &key);

private:
    friend class FilterExpression;
    class ColumnIndex;
    class RangeIndex;

    // The rows: all rows in cursor order (owning), and the visible ones.
    int viewCount() const;
    Row *viewRow(int i) const;
    int viewIndexOf(const Row *row) const;
    void insertIntoView(Row *row);
    void removeFromView(const Row *row);
    void renumberFrom(qsizetype pos);
    void rebuildView();
    bool passesView(const Row &row) const;

    QVariant rowValue(const Row &row, const Field &field, bool useBuffer) const;
    // A lookup field's value for the given value of its key field.
    QVariant computeLookup(const Field &field, const QVariant &key) const;
    QVariant lookupKeyOf(const Field &field, const Row &row, bool useBuffer) const;
    // First row (all rows, cursor order) whose stored field equals value.
    const Row *findRow(int physicalIndex, const QVariant &value) const;
    static bool sameValue(const QVariant &a, const QVariant &b);
    bool cellEquals(const Row &row, int physicalIndex, const QVariant &value) const;

    // Sorting. Folded keys are the case- and accent-folded texts of the text
    // sort fields; comparisons fold on the fly where none are given.
    using SortKeys = std::vector<QString>;
    SortKeys sortKeysOf(const Row &row) const;
    bool lessInOrder(const Row &a, const SortKeys *aKeys, const Row &b, const SortKeys *bKeys) const;
    void sortRows(std::vector<RowPtr> &rows) const;
    void sortAll();
    qsizetype sortedPosition(const Row &row) const;
    void repositionAfterPost(Row *row);

    // Details fetched on demand.
    void holdDetailOf(const QVariant &linkValue);
    void dropDetailOf(const QVariant &linkValue);
    void forgetHeldDetails();
    void evictDetails();
    bool isHeldDetail(const QVariant &linkValue) const;

    // Indexes.
    void rebuildIndexes();
    void indexAdd(Row *row);
    void indexRemove(Row *row);

    void setCurrent(int index, bool bof, bool eof);
    void emitMoved();
    void notifyDetails();
    void masterChanged();
    QVariant masterLinkValue() const;
    void updateRecord();
    void checkEditing() const;
    void checkCanModify() const;
    void startInsert(bool appendAtEnd);
    void removeRow(Row *row);
    void dropStale(Row *row);
    void restoreRow(RowPtr row, qsizetype allPos);

    QString m_name;
    RowStore m_store;
    bool m_storeLaidOut = false;
    std::vector<std::unique_ptr<Field>> m_fields;
    QHash<QString, int> m_fieldByName;
    int m_physicalCount = 0;

    std::vector<RowPtr> m_all;
    std::vector<Row *> m_view;
    bool m_viewIsAll = true;
    int m_current = -1;
    bool m_bof = true;
    bool m_eof = true;
    State m_state = State::Inactive;

    std::vector<QVariant> m_buffer;
    std::vector<QVariant> m_frozenLookups;
    bool m_modified = false;
    Row *m_editRow = nullptr;
    Row *m_beforeInsert = nullptr;

    QString m_filterText;
    bool m_filtered = false;
    std::unique_ptr<FilterExpression> m_filter;

    QString m_sortOrderText;
    std::vector<int> m_sortFields; // physical indexes
    bool m_textSort = false;       // a text field among them: rows keep folded keys

    QPointer<Cursor> m_master;
    QString m_masterFieldName;
    int m_linkField = -1; // physical index in this cursor
    QVariant m_linkValue;
    std::vector<QPointer<Cursor>> m_details;
    bool m_freezeLookups = false;
    int m_detailCapacity = 0;
    std::vector<QVariant> m_heldLinks; // most recently shown first

    std::map<int, std::unique_ptr<ColumnIndex>> m_indexes;
    std::vector<std::unique_ptr<RangeIndex>> m_rangeIndexes;
    std::vector<QPointer<DataSource>> m_dataSources;

    // currentChanged, unless a ControlsDisabled guard holds it back.
    void announceCurrent();
    int m_controlsDisabled = 0;
    bool m_currentHeld = false;
};

Q_DECLARE_OPERATORS_FOR_FLAGS(Cursor::LocateOptions)

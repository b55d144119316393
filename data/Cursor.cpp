#include "Cursor.h"

#include "DataError.h"
#include "DataSource.h"
#include "Database.h"
#include "DateTimes.h"
#include "Filter.h"

#include <algorithm>
#include <array>
#include <exception>

namespace {

// The base letter of each character from U+0080 to U+024F, case folded: accents
// are ignored in name order ("Álvarez" among the A's).
const std::array<char16_t, 0x250> &foldTable()
{
    static const std::array<char16_t, 0x250> table = [] {
        std::array<char16_t, 0x250> t{};
        for (char16_t c = 0; c < 0x250; ++c) {
            QChar ch(c);
            if (ch.decompositionTag() == QChar::Canonical)
                ch = ch.decomposition().front();
            t[c] = QString(ch).toCaseFolded().front().unicode();
        }
        return t;
    }();
    return table;
}

QString fold(const QString &s)
{
    const auto &table = foldTable();
    QString out(s.size(), Qt::Uninitialized);
    QChar *o = out.data();
    bool simple = true;
    for (qsizetype i = 0; i < s.size(); ++i) {
        const char16_t c = s[i].unicode();
        if (c < 0x250) {
            o[i] = QChar(table[c]);
        } else {
            simple = false;
            break;
        }
    }
    if (simple)
        return out;
    // Beyond Latin: decompose and drop the combining marks.
    const QString decomposed = s.normalized(QString::NormalizationForm_D);
    out.clear();
    for (QChar c : decomposed)
        if (c.category() != QChar::Mark_NonSpacing)
            out += c;
    return out.toCaseFolded();
}


qint64 asInt64(const QVariant &v)
{
    if (v.metaType().id() == QMetaType::LongLong)
        return *static_cast<const qlonglong *>(v.constData());
    if (v.metaType() == QMetaType::fromType<Money>())
        return static_cast<const Money *>(v.constData())->raw();
    if (v.metaType().id() == QMetaType::QDateTime)
        return RowStore::dateTimeCell(*static_cast<const QDateTime *>(v.constData()));
    return v.toLongLong();
}

bool isTextKind(Field::Kind kind)
{
    return kind == Field::Kind::Text || kind == Field::Kind::Memo;
}

// Two cells of one column in stored order: null first, texts by their code
// units, everything else by its number.
int compareCells(const RowStore::Row &a, const RowStore::Row &b, int column, bool text)
{
    const bool an = RowStore::isNull(a, column), bn = RowStore::isNull(b, column);
    if (an || bn)
        return an == bn ? 0 : (an ? -1 : 1);
    if (text) {
        const int c = RowStore::text(a, column).compare(RowStore::text(b, column));
        return c < 0 ? -1 : (c > 0 ? 1 : 0);
    }
    const qint64 x = RowStore::number(a, column), y = RowStore::number(b, column);
    return x < y ? -1 : (y < x ? 1 : 0);
}

} // namespace

// An index over one stored column: value -> rows holding it, in cursor order.
// Three shapes, chosen when the rows are loaded:
// - sorted: the column leads the sort order and holds numbers, so the rows of one
//   value stand together and a binary search over all rows finds them; no storage;
// - unique: an auto key, one row per value;
// - multi: any other column; a bucket holds its first row inline and allocates
//   only for a second one.
// Hash indexes are built on their first use, so opening a large table pays only
// for the indexes that something asks for.
class Cursor::ColumnIndex
{
public:
    enum class Mode { Sorted, Unique, Multi };

    ColumnIndex(int physicalIndex, const std::vector<RowPtr> &all) : m_column(physicalIndex), m_all(all) {}

    // Forgets the contents; the next search rebuilds them in the given shape.
    void reset(Mode mode, Field::Kind kind)
    {
        m_mode = mode;
        m_kind = kind;
        m_built = false;
        m_unique.clear();
        m_multi.clear();
        m_texts.clear();
    }

    void add(Row *row, bool inOrder = false)
    {
        if (!m_built || m_mode == Mode::Sorted || !indexable(*row))
            return;
        if (isTextKind(m_kind)) {
            m_texts[RowStore::text(*row, m_column).toString()].add(row, inOrder);
            return;
        }
        const qint64 key = RowStore::number(*row, m_column);
        if (m_mode == Mode::Unique) {
            auto it = m_unique.find(key);
            if (it == m_unique.end())
                m_unique.insert(key, row);
            else if (row->allPos < it.value()->allPos)
                it.value() = row;
            return;
        }
        m_multi[key].add(row, inOrder);
    }

    void remove(Row *row)
    {
        if (!m_built || m_mode == Mode::Sorted || !indexable(*row))
            return;
        if (isTextKind(m_kind)) {
            auto it = m_texts.find(RowStore::text(*row, m_column).toString());
            if (it != m_texts.end())
                it.value().remove(row);
            return;
        }
        const qint64 key = RowStore::number(*row, m_column);
        if (m_mode == Mode::Unique) {
            auto it = m_unique.find(key);
            if (it != m_unique.end() && it.value() == row)
                m_unique.erase(it);
            return;
        }
        auto it = m_multi.find(key);
        if (it != m_multi.end())
            it.value().remove(row);
    }

    // Calls f for each row holding the value (an exact match of the stored
    // representation), in cursor order, until f returns false.
    template<typename F> void forEachMatch(const QVariant &v, F &&f) const
    {
        if (!v.isValid() || v.metaType().id() == QMetaType::QByteArray || m_kind == Field::Kind::Blob)
            return;
        if (!m_built)
            const_cast<ColumnIndex *>(this)->build();
        if (v.metaType().id() == QMetaType::QString) {
            auto it = m_texts.constFind(*static_cast<const QString *>(v.constData()));
            if (it != m_texts.cend())
                it.value().forEach(f);
            return;
        }
        if (isTextKind(m_kind))
            return;
        const qint64 key = asInt64(v);
        switch (m_mode) {
        case Mode::Sorted: {
            const int column = m_column;
            auto lo = std::lower_bound(m_all.begin(), m_all.end(), key, [column](const RowPtr &r, qint64 k) {
                return RowStore::isNull(*r, column) || RowStore::number(*r, column) < k;
            });
            for (auto it = lo; it != m_all.end(); ++it) {
                if (RowStore::isNull(**it, column) || RowStore::number(**it, column) != key)
                    break;
                if (!(*it)->pending && !f(it->get()))
                    break;
            }
            return;
        }
        case Mode::Unique: {
            auto it = m_unique.constFind(key);
            if (it != m_unique.cend())
                f(it.value());
            return;
        }
        case Mode::Multi: {
            auto it = m_multi.constFind(key);
            if (it != m_multi.cend())
                it.value().forEach(f);
            return;
        }
        }
    }

private:
    bool indexable(const Row &row) const
    {
        return m_kind != Field::Kind::Blob && !RowStore::isNull(row, m_column);
    }

    void build()
    {
        m_built = true;
        if (m_mode == Mode::Sorted)
            return;
        if (m_mode == Mode::Unique)
            m_unique.reserve(static_cast<qsizetype>(m_all.size()));
        for (const RowPtr &row : m_all)
            if (!row->pending)
                add(row.get(), true);
    }

    class Bucket
    {
    public:
        template<typename F> void forEach(F &&f) const
        {
            if (m_rows.empty()) {
                if (m_single)
                    f(m_single);
                return;
            }
            for (Row *r : m_rows)
                if (!f(r))
                    return;
        }
        void add(Row *row, bool inOrder)
        {
            if (m_rows.empty() && !m_single) {
                m_single = row;
                return;
            }
            if (m_rows.empty()) {
                m_rows.push_back(m_single);
                m_single = nullptr;
            }
            if (inOrder) {
                m_rows.push_back(row);
                return;
            }
            auto at = std::lower_bound(m_rows.begin(), m_rows.end(), row,
                                       [](const Row *a, const Row *r) { return a->allPos < r->allPos; });
            m_rows.insert(at, row);
        }
        void remove(Row *row)
        {
            if (m_rows.empty()) {
                if (m_single == row)
                    m_single = nullptr;
                return;
            }
            auto it = std::find(m_rows.begin(), m_rows.end(), row);
            if (it != m_rows.end())
                m_rows.erase(it);
            if (m_rows.size() == 1) {
                m_single = m_rows.front();
                m_rows.clear();
            }
        }

    private:
        Row *m_single = nullptr;
        std::vector<Row *> m_rows;
    };

    int m_column;
    const std::vector<RowPtr> &m_all;
    Mode m_mode = Mode::Multi;
    Field::Kind m_kind = Field::Kind::Integer;
    bool m_built = false;
    QHash<qint64, Row *> m_unique;
    QHash<qint64, Bucket> m_multi;
    QHash<QString, Bucket> m_texts;
};

// An index of the rows by a whole-number column and the span between two
// date-time columns. Each group keeps its rows sorted by start, beside the
// running maximum of their ends: the rows meeting [first, last] are those
// between the first whose running maximum reaches `first` and the last that
// starts by `last`, so a search costs two binary searches and the rows between,
// which for bookings that do not overlap are the rows found and at most one
// more. Built on first use; kept in step with every posted change.
class Cursor::RangeIndex
{
public:
    RangeIndex(int group, int from, int to, const std::vector<RowPtr> &all)
        : m_group(group), m_from(from), m_to(to), m_all(all)
    {
    }

    int fromColumn() const { return m_from; }

    void reset()
    {
        m_built = false;
        m_groups.clear();
    }

    void add(Row *row)
    {
        Entry e;
        qint64 group = 0;
        if (!m_built || !entryOf(row, group, e))
            return;
        Bucket &b = m_groups[group];
        const auto at = std::upper_bound(b.entries.begin(), b.entries.end(), e.from,
                                         [](qint64 from, const Entry &x) { return from < x.from; });
        const auto pos = at - b.entries.begin();
        b.entries.insert(at, e);
        b.rebuildMax(pos);
    }

    void remove(Row *row)
    {
        Entry e;
        qint64 group = 0;
        if (!m_built || !entryOf(row, group, e))
            return;
        auto it = m_groups.find(group);
        if (it == m_groups.end())
            return;
        Bucket &b = it.value();
        auto lo = std::lower_bound(b.entries.begin(), b.entries.end(), e.from,
                                   [](const Entry &x, qint64 from) { return x.from < from; });
        for (auto i = lo; i != b.entries.end() && i->from == e.from; ++i) {
            if (i->row == row) {
                const auto pos = i - b.entries.begin();
                b.entries.erase(i);
                b.rebuildMax(pos);
                break;
            }
        }
        if (b.entries.empty())
            m_groups.erase(it);
    }

    template<typename F> void forEachMeeting(qint64 group, qint64 first, qint64 last, F &&f) const
    {
        if (!m_built)
            const_cast<RangeIndex *>(this)->build();
        const auto it = m_groups.constFind(group);
        if (it == m_groups.cend())
            return;
        const Bucket &b = it.value();
        const auto end = std::upper_bound(b.entries.begin(), b.entries.end(), last,
                                          [](qint64 v, const Entry &x) { return v < x.from; });
        const auto begin = std::lower_bound(b.maxTo.begin(), b.maxTo.end(), first);
        for (auto i = b.entries.begin() + (begin - b.maxTo.begin()); i < end; ++i)
            if (i->to >= first)
                f(static_cast<const Row *>(i->row));
    }

private:
    struct Entry
    {
        qint64 from = 0;
        qint64 to = 0;
        Row *row = nullptr;
    };
    struct Bucket
    {
        std::vector<Entry> entries;
        std::vector<qint64> maxTo; // running maximum of the ends, in step with entries

        void rebuildMax(qsizetype pos)
        {
            maxTo.resize(entries.size());
            for (auto i = static_cast<size_t>(pos); i < entries.size(); ++i)
                maxTo[i] = i == 0 ? entries[i].to : std::max(maxTo[i - 1], entries[i].to);
        }
    };

    bool entryOf(const Row *row, qint64 &group, Entry &e) const
    {
        if (row->pending || RowStore::isNull(*row, m_group) || RowStore::isNull(*row, m_from)
            || RowStore::isNull(*row, m_to))
            return false;
        group = RowStore::number(*row, m_group);
        e.from = RowStore::number(*row, m_from);
        e.to = std::max(e.from, RowStore::number(*row, m_to));
        e.row = const_cast<Row *>(row);
        return true;
    }

    void build()
    {
        m_built = true;
        for (const RowPtr &row : m_all) {
            Entry e;
            qint64 group = 0;
            if (entryOf(row.get(), group, e))
                m_groups[group].entries.push_back(e);
        }
        for (Bucket &b : m_groups) {
            std::stable_sort(b.entries.begin(), b.entries.end(),
                             [](const Entry &x, const Entry &y) { return x.from < y.from; });
            b.rebuildMax(0);
        }
    }

    int m_group;
    int m_from;
    int m_to;
    const std::vector<RowPtr> &m_all;
    bool m_built = false;
    QHash<qint64, Bucket> m_groups;
};

Cursor::Cursor(QString name, QObject *parent) : QObject(parent), m_name(std::move(name))
{
    setObjectName(m_name);
}

Cursor::~Cursor()
{
    // Rows held elsewhere (a transaction's undo) keep the store's memory until they go.
    m_view.clear();
    m_all.clear();
}

// ---- structure -------------------------------------------------------------

Field &Cursor::addField(const QString &name, Field::Kind kind, int size)
{
    const int index = static_cast<int>(m_fields.size());
    m_fields.push_back(std::make_unique<Field>(*this, name, kind, size, index, m_physicalCount++));
    m_fieldByName.insert(name.toLower(), index);
    m_storeLaidOut = false;
    if (kind == Field::Kind::AutoKey)
        addIndex(name);
    return *m_fields.back();
}

Field &Cursor::addLookupField(const QString &name, Field::Kind kind, int size, const QString &keyField,
                              Cursor &lookupCursor, const QString &lookupKeyField, const QString &resultField)
{
    const int index = static_cast<int>(m_fields.size());
    m_fields.push_back(std::make_unique<Field>(*this, name, kind, size, index, -1));
    m_fields.back()->setLookup({keyField, &lookupCursor, lookupKeyField, resultField});
    m_fieldByName.insert(name.toLower(), index);
    return *m_fields.back();
}

void Cursor::clearFields()
{
    m_fields.clear();
    m_fieldByName.clear();
    m_physicalCount = 0;
    m_storeLaidOut = false;
    m_indexes.clear();
    m_rangeIndexes.clear();
    m_sortFields.clear();
    m_textSort = false;
}

void Cursor::setSortOrder(const QString &fields)
{
    m_sortOrderText = fields;
    m_sortFields.clear();
    m_textSort = false;
    for (const QString &part : fields.split(u';', Qt::SkipEmptyParts)) {
        const Field &f = fieldByName(part.trimmed());
        if (f.physicalIndex() < 0)
            fail(QStringLiteral("Field '%1' cannot be used for sorting").arg(f.name()));
        m_sortFields.push_back(f.physicalIndex());
        m_textSort = m_textSort || f.isTextual();
    }
}

void Cursor::addIndex(const QString &fieldName)
{
    const Field &f = fieldByName(fieldName);
    if (f.physicalIndex() < 0 || m_indexes.count(f.physicalIndex()))
        return;
    auto index = std::make_unique<ColumnIndex>(f.physicalIndex(), m_all);
    m_indexes.emplace(f.physicalIndex(), std::move(index));
    rebuildIndexes();
}

void Cursor::addRangeIndex(const QString &groupField, const QString &fromField, const QString &toField)
{
    const Field &g = fieldByName(groupField);
    const Field &from = fieldByName(fromField);
    const Field &to = fieldByName(toField);
    if (g.physicalIndex() < 0 || from.physicalIndex() < 0 || to.physicalIndex() < 0)
        fail(QStringLiteral("Lookup fields cannot be indexed"));
    m_rangeIndexes.push_back(
        std::make_unique<RangeIndex>(g.physicalIndex(), from.physicalIndex(), to.physicalIndex(), m_all));
}

void Cursor::setMaster(Cursor &master, const QString &masterField, const QString &detailField)
{
    master.fieldByName(masterField);
    const Field &f = fieldByName(detailField);
    m_master = &master;
    m_masterFieldName = masterField;
    m_linkField = f.physicalIndex();
    addIndex(detailField);
    master.m_details.emplace_back(this);
}

void Cursor::setDetailFetchedOnDemand(int capacity)
{
    if (isOpen())
        fail(QStringLiteral("A detail fetched on demand is set before the cursor opens"));
    if (capacity > 0 && !m_master)
        fail(QStringLiteral("Only a detail can be fetched on demand"));
    m_detailCapacity = std::max(0, capacity);
}

Field *Cursor::findField(const QString &name) const
{
    const auto it = m_fieldByName.constFind(name.toLower());
    return it == m_fieldByName.cend() ? nullptr : m_fields[static_cast<size_t>(it.value())].get();
}

Field &Cursor::fieldByName(const QString &name) const
{
    if (Field *f = findField(name))
        return *f;
    fail(QStringLiteral("Field '%1' not found").arg(name));
}

const Field *Cursor::keyField() const
{
    for (const auto &f : m_fields)
        if (f->kind() == Field::Kind::AutoKey)
            return f.get();
    return nullptr;
}

void Cursor::fail(const QString &message) const
{
    throw DataError(m_name + QStringLiteral(": ") + message);
}

void Cursor::checkActive() const
{
    if (!isOpen())
        fail(QStringLiteral("Cannot perform this operation on a closed dataset"));
}

void Cursor::checkEditing() const
{
    if (!isEditing())
        fail(QStringLiteral("Dataset not in edit or insert mode"));
}

void Cursor::checkCanModify() const
{
    if (!canModify())
        fail(QStringLiteral("Cannot modify a read-only dataset"));
}

bool Cursor::canModify() const
{
    return isOpen();
}

// ---- opening ---------------------------------------------------------------

RowStore &Cursor::store()
{
    if (!m_storeLaidOut) {
        std::vector<Field::Kind> kinds(static_cast<size_t>(m_physicalCount));
        std::vector<bool> shared(static_cast<size_t>(m_physicalCount));
        for (const auto &f : m_fields) {
            if (f->physicalIndex() < 0)
                continue;
            kinds[static_cast<size_t>(f->physicalIndex())] = f->kind();
            // Short texts (states, views) repeat on every row: one copy each.
            shared[static_cast<size_t>(f->physicalIndex())] = f->kind() == Field::Kind::Text && f->size() > 0
                                                              && f->size() <= 10;
        }
        m_store.setColumns(std::move(kinds), std::move(shared));
        m_storeLaidOut = true;
    }
    return m_store;
}

void Cursor::addFetchedRow(RowPtr row)
{
    row->allPos = static_cast<qsizetype>(m_all.size());
    m_all.push_back(std::move(row));
}

void Cursor::addFetchedRow(std::vector<QVariant> &&values)
{
    RowPtr row = store().newRow();
    values.resize(static_cast<size_t>(m_physicalCount));
    RowStore::setValues(*row, values);
    addFetchedRow(std::move(row));
}

void Cursor::doFetchWhere(const Field &, const QVariant &)
{
    fail(QStringLiteral("The cursor cannot fetch its rows on demand"));
}

void Cursor::open()
{
    if (isOpen())
        return;
    m_all.clear();
    m_heldLinks.clear();
    m_store.releaseIfEmpty();
    try {
        if (!isDetailFetchedOnDemand())
            doFetch();
        sortAll();
    } catch (...) {
        m_all.clear();
        m_store.releaseIfEmpty();
        throw;
    }
    rebuildIndexes();
    m_state = State::Browse;
    m_modified = false;
    m_linkValue = masterLinkValue();
    if (m_filtered && !m_filter) {
        try {
            m_filter = FilterExpression::parse(m_filterText, *this);
        } catch (const DataError &) {
            m_filtered = false;
        }
    }
    std::exception_ptr fetchError;
    try {
        holdDetailOf(m_linkValue);
    } catch (...) {
        // Open all the same: the rows of this master are read at its next move.
        fetchError = std::current_exception();
    }
    rebuildView();
    setCurrent(viewCount() > 0 ? 0 : -1, true, viewCount() == 0);
    emit stateChanged();
    emit rowsReset();
    announceCurrent();
    notifyDetails();
    if (fetchError)
        std::rethrow_exception(fetchError);
}

void Cursor::close()
{
    if (!isOpen())
        return;
    m_state = State::Inactive;
    m_editRow = nullptr;
    m_beforeInsert = nullptr;
    m_buffer.clear();
    m_modified = false;
    m_view.clear();
    m_viewIsAll = true;
    m_all.clear();
    m_heldLinks.clear();
    m_store.releaseIfEmpty();
    rebuildIndexes();
    m_current = -1;
    m_bof = m_eof = true;
    emit stateChanged();
    emit rowsReset();
    announceCurrent();
    notifyDetails();
}

void Cursor::refresh()
{
    checkActive();
    // A transaction's undo refers to the rows held now.
    if (Database *db = database(); db && db->activeTransaction())
        fail(QStringLiteral("Cannot read the rows again while a transaction is in progress"));
    checkBrowseMode();
    const Field *key = keyField();
    QVariant currentKey;
    if (key && m_current >= 0)
        currentKey = RowStore::value(*viewRow(m_current), key->physicalIndex());
    m_view.clear();
    m_all.clear();
    m_heldLinks.clear();
    m_store.releaseIfEmpty();
    rebuildIndexes();
    std::exception_ptr fetchError;
    try {
        if (isDetailFetchedOnDemand())
            holdDetailOf(m_linkValue);
        else
            doFetch();
        sortAll();
    } catch (...) {
        // What was read stays out; the cursor shows no rows rather than half of them.
        fetchError = std::current_exception();
        m_all.clear();
        m_heldLinks.clear();
    }
    rebuildIndexes();
    rebuildView();
    int target = viewCount() > 0 ? 0 : -1;
    if (currentKey.isValid()) {
        if (const Row *r = findRow(key->physicalIndex(), currentKey)) {
            const int i = viewIndexOf(r);
            if (i >= 0)
                target = i;
        }
    }
    setCurrent(target, target <= 0, viewCount() == 0);
    emit rowsReset();
    announceCurrent();
    notifyDetails();
    if (fetchError)
        std::rethrow_exception(fetchError);
}

// ---- details fetched on demand -----------------------------------------------

bool Cursor::isHeldDetail(const QVariant &linkValue) const
{
    return std::any_of(m_heldLinks.begin(), m_heldLinks.end(),
                       [&](const QVariant &held) { return sameValue(held, linkValue); });
}

void Cursor::holdDetailOf(const QVariant &linkValue)
{
    if (!isDetailFetchedOnDemand() || !linkValue.isValid())
        return;
    const auto held = std::find_if(m_heldLinks.begin(), m_heldLinks.end(),
                                   [&](const QVariant &v) { return sameValue(v, linkValue); });
    if (held != m_heldLinks.end()) {
        std::rotate(m_heldLinks.begin(), held, held + 1);
        return;
    }
    const Field *linkField = nullptr;
    for (const auto &f : m_fields)
        if (f->physicalIndex() == m_linkField)
            linkField = f.get();
    const size_t before = m_all.size();
    try {
        doFetchWhere(*linkField, linkValue);
    } catch (...) {
        m_all.resize(before);
        throw;
    }
    std::vector<RowPtr> incoming(std::make_move_iterator(m_all.begin() + static_cast<std::ptrdiff_t>(before)),
                                 std::make_move_iterator(m_all.end()));
    m_all.resize(before);
    // A row this program posted while its master was not held is the one to
    // keep: a transaction may still refer to it.
    bool anyHeld = false;
    m_indexes.find(m_linkField)->second->forEachMatch(linkValue, [&](Row *) { return !(anyHeld = true); });
    std::vector<RowPtr> fetched;
    fetched.reserve(incoming.size());
    const Field *key = keyField();
    for (RowPtr &row : incoming)
        if (!anyHeld || !key || !findRow(key->physicalIndex(), RowStore::value(*row, key->physicalIndex())))
            fetched.push_back(std::move(row));
    if (m_sortFields.empty()) {
        // In the order of their keys, as a table without an order gives them.
        if (key)
            std::stable_sort(fetched.begin(), fetched.end(), [column = key->physicalIndex()](const RowPtr &a, const RowPtr &b) {
                return compareCells(*a, *b, column, false) < 0;
            });
        std::move(fetched.begin(), fetched.end(), std::back_inserter(m_all));
    } else if (!fetched.empty()) {
        sortRows(fetched);
        // Equal keys: rows this program posted come after the rows read, as
        // they do when posted into rows read whole. The rows of one master
        // usually stand together: one insertion then.
        const auto less = [this](const RowPtr &a, const RowPtr &b) { return lessInOrder(*a, nullptr, *b, nullptr); };
        const auto at = std::lower_bound(m_all.begin(), m_all.end(), fetched.front(), less);
        if (at == m_all.end() || !less(*at, fetched.back())) {
            m_all.insert(at, std::make_move_iterator(fetched.begin()), std::make_move_iterator(fetched.end()));
        } else {
            std::vector<RowPtr> merged;
            merged.reserve(m_all.size() + fetched.size());
            std::merge(std::make_move_iterator(fetched.begin()), std::make_move_iterator(fetched.end()),
                       std::make_move_iterator(m_all.begin()), std::make_move_iterator(m_all.end()),
                       std::back_inserter(merged), less);
            m_all = std::move(merged);
        }
    }
    m_view.clear();
    renumberFrom(0);
    rebuildIndexes();
    m_heldLinks.insert(m_heldLinks.begin(), linkValue);
    evictDetails();
}

void Cursor::evictDetails()
{
    // A transaction's undo refers to the rows it touched: they stay until it ends.
    if (Database *db = database(); db && db->activeTransaction())
        return;
    while (static_cast<int>(m_heldLinks.size()) > m_detailCapacity) {
        const QVariant oldest = m_heldLinks.back();
        if (sameValue(oldest, m_linkValue))
            break;
        m_heldLinks.pop_back();
        dropDetailOf(oldest);
    }
}

void Cursor::dropDetailOf(const QVariant &linkValue)
{
    // A row still shown (posted here, then given to another master) stays until
    // the view changes; a later read keeps it in place of its copy.
    std::vector<Row *> gone;
    m_indexes.find(m_linkField)->second->forEachMatch(linkValue, [&](Row *r) {
        if (r != m_editRow && viewIndexOf(r) < 0)
            gone.push_back(r);
        return true;
    });
    if (gone.empty())
        return;
    for (Row *r : gone)
        indexRemove(r);
    std::sort(gone.begin(), gone.end());
    m_all.erase(std::remove_if(m_all.begin(), m_all.end(),
                               [&](const RowPtr &r) { return std::binary_search(gone.begin(), gone.end(), r.get()); }),
                m_all.end());
    renumberFrom(0);
}

void Cursor::reloadDetail(const QVariant &linkValue)
{
    checkActive();
    if (!isDetailFetchedOnDemand() || !linkValue.isValid())
        return;
    if (Database *db = database(); db && db->activeTransaction())
        fail(QStringLiteral("Cannot read the rows again while a transaction is in progress"));
    const bool current = sameValue(linkValue, m_linkValue);
    if (current)
        checkBrowseMode();
    QVariant currentKey;
    const Field *key = keyField();
    if (current && key && m_current >= 0)
        currentKey = RowStore::value(*viewRow(m_current), key->physicalIndex());
    m_heldLinks.erase(std::remove_if(m_heldLinks.begin(), m_heldLinks.end(),
                                     [&](const QVariant &v) { return sameValue(v, linkValue); }),
                      m_heldLinks.end());
    if (current)
        m_view.clear(); // rebuilt below; its rows are the ones to read again
    dropDetailOf(linkValue);
    if (!current)
        return;
    std::exception_ptr fetchError;
    try {
        holdDetailOf(linkValue);
    } catch (...) {
        fetchError = std::current_exception();
    }
    rebuildView();
    int target = viewCount() > 0 ? 0 : -1;
    if (currentKey.isValid())
        if (const Row *r = findRow(key->physicalIndex(), currentKey); r && viewIndexOf(r) >= 0)
            target = viewIndexOf(r);
    setCurrent(target, target <= 0, viewCount() == 0);
    emit rowsReset();
    emitMoved();
    if (fetchError)
        std::rethrow_exception(fetchError);
}

// ---- the visible rows --------------------------------------------------------

int Cursor::recordCount() const
{
    return isOpen() ? viewCount() : 0;
}

int Cursor::viewCount() const
{
    return static_cast<int>(m_viewIsAll ? m_all.size() : m_view.size());
}

Cursor::Row *Cursor::viewRow(int i) const
{
    return m_viewIsAll ? m_all[static_cast<size_t>(i)].get() : m_view[static_cast<size_t>(i)];
}

int Cursor::viewIndexOf(const Row *row) const
{
    if (!row)
        return -1;
    if (m_viewIsAll)
        return static_cast<int>(row->allPos);
    auto it = std::lower_bound(m_view.begin(), m_view.end(), row->allPos,
                               [](const Row *r, qsizetype pos) { return r->allPos < pos; });
    if (it != m_view.end() && *it == row)
        return static_cast<int>(it - m_view.begin());
    return -1;
}

void Cursor::insertIntoView(Row *row)
{
    if (m_viewIsAll)
        return;
    auto it = std::lower_bound(m_view.begin(), m_view.end(), row->allPos,
                               [](const Row *r, qsizetype pos) { return r->allPos < pos; });
    m_view.insert(it, row);
}

void Cursor::removeFromView(const Row *row)
{
    if (m_viewIsAll)
        return;
    auto it = std::find(m_view.begin(), m_view.end(), row);
    if (it != m_view.end())
        m_view.erase(it);
}

void Cursor::renumberFrom(qsizetype pos)
{
    for (auto i = static_cast<size_t>(std::max<qsizetype>(0, pos)); i < m_all.size(); ++i)
        m_all[i]->allPos = static_cast<qsizetype>(i);
}

bool Cursor::passesView(const Row &row) const
{
    if (m_master && !cellEquals(row, m_linkField, m_linkValue))
        return false;
    if (m_filtered && m_filter && !m_filter->matches(*this, row))
        return false;
    return true;
}

void Cursor::rebuildView()
{
    m_view.clear();
    if (!m_master && !(m_filtered && m_filter)) {
        m_viewIsAll = true;
        return;
    }
    m_viewIsAll = false;
    if (m_master) {
        if (!m_linkValue.isValid())
            return;
        m_indexes.find(m_linkField)->second->forEachMatch(m_linkValue, [this](Row *r) {
            if (!(m_filtered && m_filter) || m_filter->matches(*this, *r))
                m_view.push_back(r);
            return true;
        });
        return;
    }
    for (auto &r : m_all)
        if (m_filter->matches(*this, *r))
            m_view.push_back(r.get());
}

// ---- values ----------------------------------------------------------------

bool Cursor::sameValue(const QVariant &a, const QVariant &b)
{
    if (!a.isValid() || !b.isValid())
        return !a.isValid() && !b.isValid();
    if (a.metaType() == b.metaType())
        return a == b;
    if (a.metaType().id() == QMetaType::QString || b.metaType().id() == QMetaType::QString)
        return a.toString() == b.toString();
    return a.toLongLong() == b.toLongLong();
}

bool Cursor::cellEquals(const Row &row, int physicalIndex, const QVariant &value) const
{
    if (RowStore::isNull(row, physicalIndex) || !value.isValid())
        return RowStore::isNull(row, physicalIndex) && !value.isValid();
    // Whole numbers, the link columns, compared in place.
    if (value.metaType().id() == QMetaType::LongLong && RowStore::kind(row, physicalIndex) == Field::Kind::Integer)
        return RowStore::number(row, physicalIndex) == *static_cast<const qlonglong *>(value.constData());
    return sameValue(RowStore::value(row, physicalIndex), value);
}

QVariant Cursor::rowValue(const Row &row, const Field &field, bool useBuffer) const
{
    const bool buffered = useBuffer && isEditing() && &row == m_editRow;
    if (field.isLookup()) {
        if (buffered && m_freezeLookups)
            return m_frozenLookups.empty() ? QVariant() : m_frozenLookups[static_cast<size_t>(field.index())];
        return computeLookup(field, lookupKeyOf(field, row, buffered));
    }
    const auto i = static_cast<size_t>(field.physicalIndex());
    return buffered ? m_buffer[i] : RowStore::value(row, static_cast<int>(i));
}

QVariant Cursor::lookupKeyOf(const Field &field, const Row &row, bool useBuffer) const
{
    const Field *keyField = findField(field.lookupDef()->keyField);
    if (!keyField || keyField->physicalIndex() < 0)
        return QVariant();
    const int i = keyField->physicalIndex();
    return useBuffer ? m_buffer[static_cast<size_t>(i)] : RowStore::value(row, i);
}

QVariant Cursor::computeLookup(const Field &field, const QVariant &key) const
{
    const Field::LookupDef *def = field.lookupDef();
    Cursor *other = def->cursor.data();
    if (!other || !other->isOpen() || !key.isValid())
        return QVariant();
    const Field *otherKey = other->findField(def->lookupKeyField);
    const Field *result = other->findField(def->resultField);
    if (!otherKey || !result || otherKey->physicalIndex() < 0 || result->physicalIndex() < 0)
        return QVariant();
    const Row *row = other->findRow(otherKey->physicalIndex(), key);
    if (!row)
        return QVariant();
    const QVariant v = RowStore::value(*row, result->physicalIndex());
    if (!v.isValid())
        return QVariant();
    switch (field.kind()) {
    case Field::Kind::Text:
    case Field::Kind::Memo: {
        const QString s = Field::plainText(v);
        return field.size() > 0 ? QVariant(s.left(field.size())) : QVariant(s);
    }
    case Field::Kind::Integer:
    case Field::Kind::SmallInt:
    case Field::Kind::AutoKey: {
        bool ok = false;
        const qlonglong n = v.metaType().id() == QMetaType::QString ? v.toString().trimmed().toLongLong(&ok)
                                                                    : v.toLongLong(&ok);
        return ok ? QVariant::fromValue<qlonglong>(n) : QVariant();
    }
    default:
        return v;
    }
}

const Cursor::Row *Cursor::findRow(int physicalIndex, const QVariant &value) const
{
    if (!value.isValid())
        return nullptr;
    const auto it = m_indexes.find(physicalIndex);
    // While a row is being inserted the rows may stand out of order; scan then.
    if (it != m_indexes.end() && m_state != State::Insert) {
        const Row *found = nullptr;
        it->second->forEachMatch(value, [&](Row *r) {
            found = r;
            return false;
        });
        // Index keys are exact; confirm the kinds agree (text "5" is not 5).
        if (found)
            return cellEquals(*found, physicalIndex, value) ? found : nullptr;
        // A key given in another kind (text for a number) falls through to the scan.
        if (m_all.empty())
            return nullptr;
        const bool textColumn = isTextKind(RowStore::kind(*m_all.front(), physicalIndex));
        if (textColumn == (value.metaType().id() == QMetaType::QString))
            return nullptr;
    }
    for (const auto &r : m_all)
        if (!r->pending && cellEquals(*r, physicalIndex, value))
            return r.get();
    return nullptr;
}

QVariant Cursor::value(const Field &field) const
{
    checkActive();
    if (m_current < 0)
        return QVariant();
    return rowValue(*viewRow(m_current), field, true);
}

QVariant Cursor::valueAt(int row, const Field &field) const
{
    if (!isOpen() || row < 0 || row >= viewCount())
        return QVariant();
    return rowValue(*viewRow(row), field, true);
}

bool Cursor::isPendingRow(int row) const
{
    return isOpen() && row >= 0 && row < viewCount() && viewRow(row)->pending;
}

void Cursor::setValue(Field &field, const QVariant &v)
{
    checkActive();
    checkEditing();
    if (field.isReadOnly())
        fail(QStringLiteral("Field '%1' cannot be modified").arg(field.name()));
    const QVariant normalized = field.normalized(v);
    m_buffer[static_cast<size_t>(field.physicalIndex())] = normalized;
    m_modified = true;
    emit fieldChanged(&field);
    emit rowChanged(m_current);
}

// ---- sorting ---------------------------------------------------------------

Cursor::SortKeys Cursor::sortKeysOf(const Row &row) const
{
    SortKeys keys;
    if (!m_textSort)
        return keys;
    for (int column : m_sortFields)
        keys.push_back(!RowStore::isNull(row, column) && isTextKind(RowStore::kind(row, column))
                           ? fold(RowStore::text(row, column).toString())
                           : QString());
    return keys;
}

bool Cursor::lessInOrder(const Row &a, const SortKeys *aKeys, const Row &b, const SortKeys *bKeys) const
{
    for (size_t i = 0; i < m_sortFields.size(); ++i) {
        const int column = m_sortFields[i];
        const bool text = isTextKind(RowStore::kind(a, column));
        int c;
        if (text && !RowStore::isNull(a, column) && !RowStore::isNull(b, column)) {
            c = aKeys && bKeys ? QString::compare((*aKeys)[i], (*bKeys)[i])
                               : QString::compare(aKeys ? (*aKeys)[i] : fold(RowStore::text(a, column).toString()),
                                                  bKeys ? (*bKeys)[i] : fold(RowStore::text(b, column).toString()));
            if (c == 0)
                c = compareCells(a, b, column, true);
        } else {
            c = compareCells(a, b, column, text);
        }
        if (c != 0)
            return c < 0;
    }
    return false;
}

void Cursor::sortRows(std::vector<RowPtr> &rows) const
{
    if (m_sortFields.empty() || rows.size() < 2)
        return;
    if (!m_textSort) {
        auto less = [this](const RowPtr &a, const RowPtr &b) { return lessInOrder(*a, nullptr, *b, nullptr); };
        if (!std::is_sorted(rows.begin(), rows.end(), less))
            std::stable_sort(rows.begin(), rows.end(), less);
        return;
    }
    // Texts are folded once per row for the sort, and the keys dropped after.
    struct Keyed
    {
        RowPtr row;
        SortKeys keys;
    };
    std::vector<Keyed> keyed;
    keyed.reserve(rows.size());
    for (RowPtr &r : rows) {
        SortKeys keys = sortKeysOf(*r);
        keyed.push_back({std::move(r), std::move(keys)});
    }
    auto less = [this](const Keyed &a, const Keyed &b) { return lessInOrder(*a.row, &a.keys, *b.row, &b.keys); };
    if (!std::is_sorted(keyed.begin(), keyed.end(), less))
        std::stable_sort(keyed.begin(), keyed.end(), less);
    for (size_t i = 0; i < rows.size(); ++i)
        rows[i] = std::move(keyed[i].row);
}

void Cursor::sortAll()
{
    sortRows(m_all);
    renumberFrom(0);
}

qsizetype Cursor::sortedPosition(const Row &row) const
{
    // After the last row that does not come after it: equal keys keep posting order.
    const SortKeys keys = sortKeysOf(row);
    const SortKeys *rowKeys = m_textSort ? &keys : nullptr;
    auto it = std::upper_bound(m_all.begin(), m_all.end(), &row, [this, rowKeys](const Row *r, const RowPtr &x) {
        return lessInOrder(*r, rowKeys, *x, nullptr);
    });
    return it - m_all.begin();
}

void Cursor::repositionAfterPost(Row *row)
{
    if (m_sortFields.empty())
        return;
    const qsizetype from = row->allPos;
    RowPtr owned = std::move(m_all[static_cast<size_t>(from)]);
    m_all.erase(m_all.begin() + from);
    const qsizetype to = sortedPosition(*owned);
    m_all.insert(m_all.begin() + to, std::move(owned));
    renumberFrom(std::min(from, to));
}

// ---- indexes ---------------------------------------------------------------

void Cursor::rebuildIndexes()
{
    for (auto &[column, index] : m_indexes) {
        ColumnIndex::Mode mode = ColumnIndex::Mode::Multi;
        const Field *f = nullptr;
        for (const auto &field : m_fields)
            if (field->physicalIndex() == column)
                f = field.get();
        if (f && f->kind() == Field::Kind::AutoKey)
            mode = ColumnIndex::Mode::Unique;
        else if (f && !m_sortFields.empty() && m_sortFields.front() == column && f->isWholeNumber())
            mode = ColumnIndex::Mode::Sorted;
        index->reset(mode, f ? f->kind() : Field::Kind::Integer);
    }
    for (auto &index : m_rangeIndexes)
        index->reset();
}

void Cursor::indexAdd(Row *row)
{
    for (auto &[column, index] : m_indexes)
        index->add(row);
    for (auto &index : m_rangeIndexes)
        index->add(row);
}

void Cursor::indexRemove(Row *row)
{
    for (auto &[column, index] : m_indexes)
        index->remove(row);
    for (auto &index : m_rangeIndexes)
        index->remove(row);
}

// ---- moving ----------------------------------------------------------------

void Cursor::setCurrent(int index, bool bof, bool eof)
{
    m_current = index;
    m_bof = bof;
    m_eof = eof;
}

void Cursor::announceCurrent()
{
    if (m_controlsDisabled > 0) {
        m_currentHeld = true;
        return;
    }
    emit currentChanged();
}

Cursor::ControlsDisabled::ControlsDisabled(Cursor &cursor)
    : m_cursor(&cursor), m_exceptions(std::uncaught_exceptions())
{
    ++cursor.m_controlsDisabled;
}

Cursor::ControlsDisabled::~ControlsDisabled() noexcept(false)
{
    if (!m_cursor || --m_cursor->m_controlsDisabled > 0 || !m_cursor->m_currentHeld)
        return;
    m_cursor->m_currentHeld = false;
    // While unwinding, the controls must still follow the cursor, but the error
    // under way is the one the user reads.
    const bool unwinding = std::uncaught_exceptions() != m_exceptions;
    try {
        emit m_cursor->currentChanged();
    } catch (...) {
        if (!unwinding)
            throw;
    }
}

void Cursor::emitMoved()
{
    announceCurrent();
    notifyDetails();
}

void Cursor::first()
{
    checkActive();
    checkBrowseMode();
    setCurrent(viewCount() > 0 ? 0 : -1, true, viewCount() == 0);
    emitMoved();
}

void Cursor::last()
{
    checkActive();
    checkBrowseMode();
    const int n = viewCount();
    setCurrent(n - 1, n == 0, true);
    emitMoved();
}

void Cursor::next()
{
    checkActive();
    checkBrowseMode();
    const int n = viewCount();
    if (m_current + 1 < n) {
        setCurrent(m_current + 1, false, false);
    } else {
        m_eof = true;
        m_bof = m_bof && n == 0;
    }
    emitMoved();
}

void Cursor::prior()
{
    checkActive();
    checkBrowseMode();
    if (m_current > 0)
        setCurrent(m_current - 1, false, false);
    else
        m_bof = true;
    emitMoved();
}

void Cursor::moveBy(int distance)
{
    checkActive();
    checkBrowseMode();
    const int n = viewCount();
    if (n == 0) {
        setCurrent(-1, true, true);
    } else {
        const long target = static_cast<long>(m_current) + distance;
        if (target < 0)
            setCurrent(0, true, false);
        else if (target >= n)
            setCurrent(n - 1, false, true);
        else
            setCurrent(static_cast<int>(target), false, false);
    }
    emitMoved();
}

void Cursor::moveTo(int index)
{
    checkActive();
    checkBrowseMode();
    const int n = viewCount();
    if (n == 0) {
        setCurrent(-1, true, true);
    } else {
        const int target = std::clamp(index, 0, n - 1);
        if (target == m_current && !m_bof && !m_eof)
            return;
        setCurrent(target, false, false);
    }
    emitMoved();
}

// ---- master-detail -----------------------------------------------------------

QVariant Cursor::masterLinkValue() const
{
    if (!m_master || !m_master->isOpen() || m_master->m_current < 0)
        return QVariant();
    const Field &mf = m_master->fieldByName(m_masterFieldName);
    return m_master->value(mf);
}

void Cursor::notifyDetails()
{
    for (auto &d : m_details)
        if (d)
            d->masterChanged();
}

void Cursor::masterChanged()
{
    if (!isOpen())
        return;
    const QVariant link = masterLinkValue();
    if (sameValue(link, m_linkValue))
        return;
    checkBrowseMode();
    m_linkValue = link;
    std::exception_ptr fetchError;
    try {
        holdDetailOf(link);
    } catch (...) {
        // The detail shows no rows; the next move here reads them again.
        fetchError = std::current_exception();
    }
    rebuildView();
    setCurrent(viewCount() > 0 ? 0 : -1, true, viewCount() == 0);
    emit rowsReset();
    emitMoved();
    if (fetchError)
        std::rethrow_exception(fetchError);
}

// ---- editing -----------------------------------------------------------------

void Cursor::attachDataSource(DataSource *source)
{
    m_dataSources.emplace_back(source);
}

void Cursor::detachDataSource(DataSource *source)
{
    m_dataSources.erase(std::remove(m_dataSources.begin(), m_dataSources.end(), source), m_dataSources.end());
}

void Cursor::updateRecord()
{
    const auto sources = m_dataSources;
    for (const auto &s : sources)
        if (s)
            s->updateRecord();
}

void Cursor::checkBrowseMode()
{
    if (!isEditing())
        return;
    updateRecord();
    if (!isEditing())
        return;
    if (m_modified)
        post();
    else
        cancel();
}

void Cursor::startInsert(bool appendAtEnd)
{
    checkActive();
    checkCanModify();
    checkBrowseMode();
    RowPtr row = store().newRow();
    row->pending = true;
    Row *raw = row.get();
    m_beforeInsert = m_current >= 0 ? viewRow(m_current) : nullptr;

    // Appended rows go after every row (so after every visible one); inserted
    // rows just before the current one.
    const qsizetype pos = (appendAtEnd || m_current < 0) ? static_cast<qsizetype>(m_all.size())
                                                         : viewRow(m_current)->allPos;
    m_all.insert(m_all.begin() + pos, std::move(row));
    renumberFrom(pos);
    insertIntoView(raw);

    m_buffer.assign(static_cast<size_t>(raw->count), QVariant());
    m_frozenLookups.clear();
    m_editRow = raw;
    m_modified = false;
    m_state = State::Insert;
    const int index = viewIndexOf(raw);
    setCurrent(index, false, false);
    if (m_master && m_linkField >= 0)
        m_buffer[static_cast<size_t>(m_linkField)] = masterLinkValue();
    emit rowInserted(index);
    emit stateChanged();
    emitMoved();
}

void Cursor::append()
{
    startInsert(true);
}

void Cursor::insert()
{
    startInsert(false);
}

void Cursor::edit()
{
    checkActive();
    if (isEditing())
        return;
    checkCanModify();
    if (viewCount() == 0) {
        insert();
        return;
    }
    Row *row = viewRow(m_current);
    m_buffer = RowStore::values(*row);
    m_frozenLookups.clear();
    if (m_freezeLookups) {
        m_frozenLookups.resize(m_fields.size());
        for (const auto &f : m_fields)
            if (f->isLookup())
                m_frozenLookups[static_cast<size_t>(f->index())] = computeLookup(*f, lookupKeyOf(*f, *row, false));
    }
    m_editRow = row;
    m_modified = false;
    m_state = State::Edit;
    emit stateChanged();
}

void Cursor::post()
{
    checkActive();
    if (!isEditing())
        return;
    updateRecord();
    if (!isEditing())
        return;
    Row *row = m_editRow;
    Database *db = database();
    const bool wasInsert = m_state == State::Insert;
    const int oldIndex = m_current;

    if (wasInsert) {
        std::vector<QVariant> values = m_buffer;
        const QVariant key = doInsert(values);
        if (const Field *k = keyField(); k && key.isValid())
            values[static_cast<size_t>(k->physicalIndex())] = key;
        RowStore::setValues(*row, values);
        row->pending = false;
        repositionAfterPost(row);
        if (!m_viewIsAll) {
            removeFromView(row);
            insertIntoView(row);
        }
        indexAdd(row);
        if (db && db->activeTransaction()) {
            QPointer<Cursor> self(this);
            db->activeTransaction()->addUndo([self, row] {
                if (self)
                    self->removeRow(row);
            });
        }
    } else {
        std::vector<QVariant> before = RowStore::values(*row);
        bool changed = false;
        for (size_t i = 0; i < m_buffer.size(); ++i)
            if (!sameValue(m_buffer[i], before[i]) || m_buffer[i].metaType() != before[i].metaType())
                changed = true;
        if (changed) {
            try {
                doUpdate(before, m_buffer);
            } catch (const DataError &e) {
                if (e.reason() == DataError::Reason::StaleRecord)
                    dropStale(row);
                throw;
            }
            indexRemove(row);
            RowStore::setValues(*row, m_buffer);
            repositionAfterPost(row);
            if (!m_viewIsAll) {
                removeFromView(row);
                insertIntoView(row);
            }
            indexAdd(row);
            if (db && db->activeTransaction()) {
                QPointer<Cursor> self(this);
                db->activeTransaction()->addUndo([self, row, before] {
                    if (!self)
                        return;
                    self->indexRemove(row);
                    RowStore::setValues(*row, before);
                    self->repositionAfterPost(row);
                    self->indexAdd(row);
                    self->rebuildView();
                    const int i = self->viewIndexOf(row);
                    self->setCurrent(i >= 0 ? i : (self->viewCount() > 0 ? 0 : -1), false, self->viewCount() == 0);
                    emit self->rowsReset();
                    self->emitMoved();
                });
            }
        }
    }
    m_state = State::Browse;
    m_editRow = nullptr;
    m_beforeInsert = nullptr;
    m_buffer.clear();
    m_frozenLookups.clear();
    m_modified = false;
    // The posted row stays visible even if it no longer passes the filter; it
    // leaves the view when the filter or the master changes.
    const int newIndex = viewIndexOf(row);
    setCurrent(newIndex, false, false);
    if (newIndex != oldIndex)
        emit rowMoved(oldIndex, newIndex);
    emit rowChanged(newIndex);
    emit stateChanged();
    emitMoved();
}

bool Cursor::hideCurrentIfFilteredOut()
{
    checkActive();
    if (isEditing() || m_viewIsAll || m_current < 0 || passesView(*viewRow(m_current)))
        return false;
    const int index = m_current;
    m_view.erase(m_view.begin() + index);
    const int n = viewCount();
    setCurrent(std::min(index, n - 1), n == 0, n == 0);
    emit rowRemoved(index);
    emitMoved();
    return true;
}

void Cursor::cancel()
{
    checkActive();
    if (!isEditing())
        return;
    Row *row = m_editRow;
    const bool wasInsert = m_state == State::Insert;
    m_state = State::Browse;
    m_editRow = nullptr;
    m_buffer.clear();
    m_frozenLookups.clear();
    m_modified = false;
    if (wasInsert) {
        const int index = viewIndexOf(row);
        const qsizetype pos = row->allPos;
        removeFromView(row);
        m_all.erase(m_all.begin() + pos);
        renumberFrom(pos);
        int target = viewIndexOf(m_beforeInsert);
        if (target < 0)
            target = std::min(index, viewCount() - 1);
        m_beforeInsert = nullptr;
        setCurrent(target, viewCount() == 0, viewCount() == 0);
        emit rowRemoved(index);
    } else {
        emit rowChanged(m_current);
    }
    emit stateChanged();
    emitMoved();
}

void Cursor::removeRow(Row *row)
{
    const int index = viewIndexOf(row);
    const qsizetype pos = row->allPos;
    indexRemove(row);
    removeFromView(row);
    m_all.erase(m_all.begin() + pos);
    renumberFrom(pos);
    const int n = viewCount();
    int target = m_current;
    if (index >= 0 && index < m_current)
        --target;
    target = std::min(target, n - 1);
    if (n > 0 && target < 0)
        target = 0;
    setCurrent(target, n == 0, n == 0);
    if (index >= 0)
        emit rowRemoved(index);
    emitMoved();
}

void Cursor::restoreRow(RowPtr row, qsizetype allPos)
{
    Row *raw = row.get();
    allPos = std::clamp<qsizetype>(allPos, 0, static_cast<qsizetype>(m_all.size()));
    // Rows read or dropped since (a detail's) may have moved the place.
    if (!m_sortFields.empty()) {
        const bool fits = (allPos == 0 || !lessInOrder(*raw, nullptr, *m_all[static_cast<size_t>(allPos - 1)], nullptr))
                          && (allPos == static_cast<qsizetype>(m_all.size())
                              || !lessInOrder(*m_all[static_cast<size_t>(allPos)], nullptr, *raw, nullptr));
        if (!fits)
            allPos = sortedPosition(*raw);
    }
    m_all.insert(m_all.begin() + allPos, std::move(row));
    renumberFrom(allPos);
    indexAdd(raw);
    rebuildView();
    const int i = viewIndexOf(raw);
    setCurrent(i >= 0 ? i : (viewCount() > 0 ? 0 : -1), false, viewCount() == 0);
    emit rowsReset();
    emitMoved();
}

void Cursor::remove()
{
    checkActive();
    if (m_state == State::Insert) {
        cancel();
        return;
    }
    if (viewCount() == 0)
        fail(QStringLiteral("Cannot perform this operation on an empty dataset"));
    checkCanModify();
    // A record being edited is deleted as it is stored; its changes go with it.
    Row *row = viewRow(m_current);
    try {
        doDelete(RowStore::values(*row));
    } catch (const DataError &e) {
        if (e.reason() == DataError::Reason::StaleRecord)
            dropStale(row);
        throw;
    }
    if (isEditing()) {
        m_state = State::Browse;
        m_editRow = nullptr;
        m_buffer.clear();
        m_frozenLookups.clear();
        m_modified = false;
        emit stateChanged();
    }
    const qsizetype pos = row->allPos;
    const int index = viewIndexOf(row);
    indexRemove(row);
    removeFromView(row);
    RowPtr owned = std::move(m_all[static_cast<size_t>(pos)]);
    m_all.erase(m_all.begin() + pos);
    renumberFrom(pos);
    const int n = viewCount();
    const int target = std::min(index, n - 1);
    setCurrent(target, n == 0, n == 0);
    if (Database *db = database(); db && db->activeTransaction()) {
        QPointer<Cursor> self(this);
        auto shared = std::make_shared<RowPtr>(std::move(owned));
        db->activeTransaction()->addUndo([self, shared, pos] {
            if (self)
                self->restoreRow(std::move(*shared), pos);
        });
    }
    emit rowRemoved(index);
    emitMoved();
}

void Cursor::mergeRow(const QVariant &key, const std::vector<QVariant> *values)
{
    const Field *k = keyField();
    if (!k || !isOpen() || isEditing())
        return;
    const int keyColumn = k->physicalIndex();
    addIndex(k->name()); // found by key, never by a scan
    Row *row = const_cast<Row *>(findRow(keyColumn, key));
    if (!row && !values)
        return;
    if (row && values) {
        const std::vector<QVariant> held = RowStore::values(*row);
        bool same = true;
        for (size_t i = 0; i < held.size() && same; ++i)
            same = sameValue(held[i], (*values)[i]) && held[i].metaType() == (*values)[i].metaType();
        if (same)
            return;
    }
    Row *current = m_current >= 0 ? viewRow(m_current) : nullptr;
    const int currentIndex = m_current;
    if (!values) {
        // removeRow keeps the current record, or the row after it when it went.
        removeRow(row);
        return;
    }
    if (row) {
        indexRemove(row);
        RowStore::setValues(*row, *values);
    } else {
        RowPtr made = store().newRow();
        RowStore::setValues(*made, *values);
        row = made.get();
        addFetchedRow(std::move(made));
    }
    repositionAfterPost(row);
    indexAdd(row);
    rebuildView();
    int index = viewIndexOf(current);
    if (current && index < 0)
        index = std::min(currentIndex, viewCount() - 1);
    if (!current && viewCount() > 0)
        index = 0;
    setCurrent(index, index <= 0, viewCount() == 0);
    emit rowsReset();
    emitMoved();
}

void Cursor::rereadRow(const QVariant &) {}

void Cursor::dropStale(Row *row)
{
    // The user's changes cannot be written over what another program wrote:
    // they go, and the row shows as it is stored now.
    const Field *k = keyField();
    const QVariant key = k ? RowStore::value(*row, k->physicalIndex()) : QVariant();
    if (isEditing())
        cancel();
    try {
        rereadRow(key);
    } catch (const DataError &) {
        // The refusal is what the user reads; the row is read at the next change.
    }
}

QVariant Cursor::doInsert(std::span<const QVariant>)
{
    fail(QStringLiteral("Cannot modify a read-only dataset"));
}

void Cursor::doUpdate(std::span<const QVariant>, std::span<const QVariant>)
{
    fail(QStringLiteral("Cannot modify a read-only dataset"));
}

void Cursor::doDelete(std::span<const QVariant>)
{
    fail(QStringLiteral("Cannot modify a read-only dataset"));
}

// ---- searching ---------------------------------------------------------------

QVariant Cursor::lookup(const QString &keyFieldName, const QVariant &keyValue, const QString &resultFieldName)
{
    checkActive();
    checkBrowseMode();
    const Field &key = fieldByName(keyFieldName);
    const Field &result = fieldByName(resultFieldName);
    QVariant probe;
    try {
        probe = key.normalized(keyValue);
    } catch (const DataError &) {
        return QVariant();
    }
    if (key.physicalIndex() >= 0) {
        const Row *row = findRow(key.physicalIndex(), probe);
        return row ? rowValue(*row, result, false) : QVariant();
    }
    for (const auto &r : m_all)
        if (!r->pending && sameValue(rowValue(*r, key, false), probe))
            return rowValue(*r, result, false);
    return QVariant();
}

bool Cursor::locate(const QString &fieldName, const QVariant &value, LocateOptions options)
{
    checkActive();
    checkBrowseMode();
    const Field &field = fieldByName(fieldName);
    int found = -1;
    const bool textual = options != NoOptions;
    if (textual) {
        const QString wanted = Field::plainText(value);
        const Qt::CaseSensitivity cs = options.testFlag(CaseInsensitive) ? Qt::CaseInsensitive : Qt::CaseSensitive;
        for (int i = 0, n = viewCount(); i < n; ++i) {
            const QString text = Field::plainText(rowValue(*viewRow(i), field, false));
            const bool match = options.testFlag(PartialKey) ? text.startsWith(wanted, cs)
                                                             : text.compare(wanted, cs) == 0;
            if (match && rowValue(*viewRow(i), field, false).isValid()) {
                found = i;
                break;
            }
        }
    } else {
        found = indexOf(field, value);
    }
    if (found < 0)
        return false;
    setCurrent(found, false, false);
    emitMoved();
    return true;
}

int Cursor::indexOf(const Field &field, const QVariant &value) const
{
    if (!isOpen())
        return -1;
    QVariant probe;
    try {
        probe = field.normalized(value);
    } catch (const DataError &) {
        return -1;
    }
    if (!probe.isValid())
        return -1;
    const auto it = field.physicalIndex() >= 0 ? m_indexes.find(field.physicalIndex()) : m_indexes.end();
    if (it != m_indexes.end() && m_state != State::Insert) {
        int found = -1;
        it->second->forEachMatch(probe, [&](Row *r) {
            found = viewIndexOf(r);
            return found < 0;
        });
        return found;
    }
    for (int i = 0, n = viewCount(); i < n; ++i)
        if (sameValue(rowValue(*viewRow(i), field, false), probe))
            return i;
    return -1;
}

QVariant Cursor::RowRef::value(const Field &field) const
{
    return m_cursor.rowValue(*static_cast<const Row *>(m_row), field, false);
}

void Cursor::forEachInRange(const QString &fromField, qint64 group, QDate first, QDate last,
                            const std::function<void(const RowRef &)> &f) const
{
    checkActive();
    const Field &from = fieldByName(fromField);
    const RangeIndex *index = nullptr;
    for (const auto &i : m_rangeIndexes)
        if (i->fromColumn() == from.physicalIndex())
            index = i.get();
    if (!index)
        fail(QStringLiteral("No range index on field '%1'").arg(from.name()));
    if (!first.isValid() || !last.isValid() || last < first)
        return;
    // In the cells' own measure of a date-time.
    const qint64 lo = RowStore::dateTimeCell(DateTimes::make(first));
    const qint64 hi = RowStore::dateTimeCell(DateTimes::make(last.addDays(1))) - 1;
    index->forEachMeeting(group, lo, hi, [&](const Row *r) { f(RowRef(*this, r)); });
}

// ---- filtering ---------------------------------------------------------------

void Cursor::setFilter(const QString &text)
{
    if (!m_filtered || !isOpen()) {
        m_filterText = text;
        m_filter.reset();
        return;
    }
    std::unique_ptr<FilterExpression> parsed;
    try {
        parsed = FilterExpression::parse(text, *this);
    } catch (const DataError &e) {
        fail(e.message());
    }
    checkBrowseMode();
    m_filterText = text;
    m_filter = std::move(parsed);
    rebuildView();
    setCurrent(viewCount() > 0 ? 0 : -1, true, viewCount() == 0);
    emit rowsReset();
    emitMoved();
}

void Cursor::setFiltered(bool on)
{
    if (!isOpen()) {
        m_filtered = on;
        m_filter.reset();
        return;
    }
    if (on == m_filtered && (!on || m_filter))
        return;
    std::unique_ptr<FilterExpression> parsed;
    if (on) {
        try {
            parsed = FilterExpression::parse(m_filterText, *this);
        } catch (const DataError &e) {
            fail(e.message());
        }
    }
    checkBrowseMode();
    m_filtered = on;
    m_filter = std::move(parsed);
    rebuildView();
    setCurrent(viewCount() > 0 ? 0 : -1, true, viewCount() == 0);
    emit rowsReset();
    emitMoved();
}

#include "RowStore.h"

#include "DateTimes.h"

#include <QDateTime>
#include <QStringDecoder>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <new>
#include <sys/mman.h>

namespace {

using TextBlock = RowStore::TextBlock;

constexpr size_t TextHeader = offsetof(TextBlock, chars);

const TextBlock EmptyText{0, {0}};

QStringView viewOf(const TextBlock *t)
{
    return QStringView(t->chars, t->size);
}

} // namespace

// The memory of the rows and texts: large blocks handed out in order and,
// where the system offers them, backed by huge pages. Blocks are given back
// only when no row lives any more; an arena whose store is gone deletes itself
// with its last row.
class RowStore::Arena
{
public:
    Arena(std::vector<Field::Kind> columnKinds, std::vector<bool> shared)
        : kinds(std::move(columnKinds)), pools(kinds.size())
    {
        shared.resize(kinds.size());
        for (size_t i = 0; i < kinds.size(); ++i)
            pools[i].active = shared[i];
    }
    ~Arena() { releaseBlocks(); }

    void *allocate(size_t bytes)
    {
        bytes = (bytes + 7) & ~size_t(7);
        if (bytes > m_left) {
            const size_t size = std::max(bytes, m_nextBlock);
            m_nextBlock = std::min<size_t>(m_nextBlock * 2, MaxBlock);
            const size_t rounded = (size + HugePage - 1) & ~(HugePage - 1);
            char *block = static_cast<char *>(std::aligned_alloc(HugePage, rounded));
            if (!block)
                throw std::bad_alloc();
#ifdef MADV_HUGEPAGE
            if (rounded >= HugePage)
                madvise(block, rounded, MADV_HUGEPAGE);
#endif
            m_blocks.push_back(block);
            m_next = block;
            m_left = rounded;
        }
        void *p = m_next;
        m_next += bytes;
        m_left -= bytes;
        m_last = static_cast<char *>(p);
        return p;
    }

    // Gives back the end of the last allocation, which used only `used` bytes.
    void shrinkLast(void *p, size_t used)
    {
        if (p != m_last)
            return;
        used = (used + 7) & ~size_t(7);
        char *end = m_last + used;
        m_left += static_cast<size_t>(m_next - end);
        m_next = end;
    }

    void releaseIfEmpty()
    {
        if (live == 0)
            releaseBlocks();
    }

    // Every row of an arena has the same size: the place of a row gone is the
    // next row's, so that a store whose rows come and go (a detail read per
    // master) keeps the size of the rows it holds.
    void *allocateRow(size_t bytes)
    {
        if (!m_freeRows.empty()) {
            void *p = m_freeRows.back();
            m_freeRows.pop_back();
            return p;
        }
        return allocate(bytes);
    }
    void freeRow(void *p) { m_freeRows.push_back(p); }

    const TextBlock *newText(int column, QStringView s)
    {
        if (s.isEmpty())
            return &EmptyText;
        if (const TextBlock *shared = pools[static_cast<size_t>(column)].find(s))
            return shared;
        auto *t = static_cast<TextBlock *>(allocate(TextHeader + sizeof(char16_t) * static_cast<size_t>(s.size())));
        t->size = static_cast<qint32>(s.size());
        std::memcpy(t->chars, s.utf16(), sizeof(char16_t) * static_cast<size_t>(s.size()));
        pools[static_cast<size_t>(column)].add(t);
        return t;
    }

    const TextBlock *newTextUtf8(int column, QByteArrayView utf8)
    {
        if (utf8.isEmpty())
            return &EmptyText;
        // UTF-16 never needs more code units than UTF-8 has bytes.
        auto *t = static_cast<TextBlock *>(allocate(TextHeader + sizeof(char16_t) * static_cast<size_t>(utf8.size())));
        // Most texts are ASCII: widened in place, the decoder only for the rest.
        const auto *bytes = reinterpret_cast<const uchar *>(utf8.data());
        qsizetype ascii = 0;
        for (; ascii < utf8.size() && bytes[ascii] < 0x80; ++ascii)
            t->chars[ascii] = bytes[ascii];
        qsizetype size = ascii;
        if (ascii < utf8.size()) {
            QChar *begin = reinterpret_cast<QChar *>(t->chars);
            size = m_utf8.appendToBuffer(begin + ascii, utf8.sliced(ascii)) - begin;
        }
        t->size = static_cast<qint32>(size);
        Pool &pool = pools[static_cast<size_t>(column)];
        if (const TextBlock *shared = pool.find(viewOf(t))) {
            shrinkLast(t, 0);
            return shared;
        }
        shrinkLast(t, TextHeader + sizeof(char16_t) * static_cast<size_t>(t->size));
        pool.add(t);
        return t;
    }

    quint32 newBlob(const QByteArray &bytes)
    {
        if (!m_freeBlobs.empty()) {
            const quint32 i = m_freeBlobs.back();
            m_freeBlobs.pop_back();
            blobs[i] = bytes;
            return i;
        }
        blobs.push_back(bytes);
        return static_cast<quint32>(blobs.size() - 1);
    }

    void dropBlob(quint32 i)
    {
        blobs[i] = QByteArray();
        m_freeBlobs.push_back(i);
    }

    const std::vector<Field::Kind> kinds;
    std::vector<QByteArray> blobs;
    int live = 0;
    bool orphaned = false;

private:
    static constexpr size_t HugePage = size_t(2) << 20;
    static constexpr size_t FirstBlock = size_t(256) << 10;
    static constexpr size_t MaxBlock = size_t(64) << 20;

    // The distinct texts of a shared column; a column with more distinct values
    // than a pool holds keeps the rest one per row.
    struct Pool
    {
        bool active = false;
        std::vector<const TextBlock *> texts;

        const TextBlock *find(QStringView s) const
        {
            if (!active)
                return nullptr;
            for (const TextBlock *t : texts)
                if (t->size == s.size() && std::memcmp(t->chars, s.utf16(), sizeof(char16_t) * size_t(t->size)) == 0)
                    return t;
            return nullptr;
        }
        void add(const TextBlock *t)
        {
            if (active && texts.size() < 64)
                texts.push_back(t);
        }
    };

    void releaseBlocks()
    {
        for (char *b : m_blocks)
            std::free(b);
        m_blocks.clear();
        m_next = m_last = nullptr;
        m_left = 0;
        m_nextBlock = FirstBlock;
        for (Pool &p : pools)
            p.texts.clear();
        blobs.clear();
        m_freeBlobs.clear();
        m_freeRows.clear();
    }

    std::vector<Pool> pools;
    std::vector<char *> m_blocks;
    char *m_next = nullptr;
    char *m_last = nullptr;
    size_t m_left = 0;
    size_t m_nextBlock = FirstBlock;
    std::vector<quint32> m_freeBlobs;
    std::vector<void *> m_freeRows;
    QStringDecoder m_utf8{QStringDecoder::Utf8, QStringDecoder::Flag::Stateless};
};

namespace {

using Row = RowStore::Row;

size_t nullWords(int count)
{
    return (static_cast<size_t>(count) + 63) / 64;
}

} // namespace

RowStore::RowStore() : m_arena(new Arena({}, {})) {}

RowStore::~RowStore()
{
    if (m_arena->live == 0)
        delete m_arena;
    else
        m_arena->orphaned = true;
}

void RowStore::setColumns(std::vector<Field::Kind> kinds, std::vector<bool> sharedTexts)
{
    auto *fresh = new Arena(std::move(kinds), std::move(sharedTexts));
    // Rows still alive elsewhere keep the old arena until they go.
    if (m_arena->live == 0)
        delete m_arena;
    else
        m_arena->orphaned = true;
    m_arena = fresh;
}

int RowStore::columnCount() const
{
    return static_cast<int>(m_arena->kinds.size());
}

Field::Kind RowStore::kind(int column) const
{
    return m_arena->kinds[static_cast<size_t>(column)];
}

RowStore::RowPtr RowStore::newRow()
{
    static_assert(sizeof(Row) % alignof(qint64) == 0);
    const int count = columnCount();
    const size_t bytes = sizeof(Row) + sizeof(qint64) * static_cast<size_t>(count) + sizeof(quint64) * nullWords(count);
    Row *row = new (m_arena->allocateRow(bytes)) Row;
    row->arena = m_arena;
    row->count = static_cast<quint16>(count);
    std::fill_n(cells(*row), count, 0);
    std::fill_n(nullBits(*row), nullWords(count), ~quint64(0));
    ++m_arena->live;
    return RowPtr(row);
}

void RowStore::releaseIfEmpty()
{
    m_arena->releaseIfEmpty();
}

void RowStore::RowDeleter::operator()(Row *row) const
{
    Arena *arena = row->arena;
    for (int c = 0; c < row->count; ++c)
        if (arena->kinds[static_cast<size_t>(c)] == Field::Kind::Blob && !isNull(*row, c))
            arena->dropBlob(static_cast<quint32>(cells(*row)[c]));
    row->~Row();
    arena->freeRow(row);
    if (--arena->live == 0 && arena->orphaned)
        delete arena;
}

Field::Kind RowStore::kind(const Row &row, int column)
{
    return row.arena->kinds[static_cast<size_t>(column)];
}

QVariant RowStore::value(const Row &row, int column)
{
    if (isNull(row, column))
        return QVariant();
    const qint64 cell = cells(row)[column];
    switch (row.arena->kinds[static_cast<size_t>(column)]) {
    case Field::Kind::AutoKey:
    case Field::Kind::Integer:
    case Field::Kind::SmallInt:
        return QVariant::fromValue<qlonglong>(cell);
    case Field::Kind::Money:
        return QVariant::fromValue(Money::fromRaw(cell));
    case Field::Kind::DateTime:
        return QDateTime::fromMSecsSinceEpoch(cell, Qt::UTC);
    case Field::Kind::Text:
    case Field::Kind::Memo:
        return viewOf(reinterpret_cast<const TextBlock *>(cells(row)[column])).toString();
    case Field::Kind::Blob:
        return row.arena->blobs[static_cast<size_t>(cell)];
    }
    return QVariant();
}

std::vector<QVariant> RowStore::values(const Row &row)
{
    std::vector<QVariant> out;
    out.reserve(row.count);
    for (int c = 0; c < row.count; ++c)
        out.push_back(value(row, c));
    return out;
}

void RowStore::setNull(Row &row, int column)
{
    if (isNull(row, column))
        return;
    if (row.arena->kinds[static_cast<size_t>(column)] == Field::Kind::Blob)
        row.arena->dropBlob(static_cast<quint32>(cells(row)[column]));
    cells(row)[column] = 0;
    nullBits(row)[column / 64] |= quint64(1) << (column % 64);
}

void RowStore::setNumber(Row &row, int column, qint64 value)
{
    setNull(row, column);
    setPresent(row, column, value);
}

void RowStore::setText(Row &row, int column, QStringView s)
{
    const TextBlock *t = row.arena->newText(column, s);
    setNull(row, column);
    setPresent(row, column, reinterpret_cast<qint64>(t));
}

void RowStore::setTextUtf8(Row &row, int column, QByteArrayView utf8)
{
    const TextBlock *t = row.arena->newTextUtf8(column, utf8);
    setNull(row, column);
    setPresent(row, column, reinterpret_cast<qint64>(t));
}

void RowStore::setBlob(Row &row, int column, const QByteArray &bytes)
{
    setNull(row, column);
    setPresent(row, column, static_cast<qint64>(row.arena->newBlob(bytes)));
}

qint64 RowStore::dateTimeCell(const QDateTime &value)
{
    if (value.timeSpec() == Qt::UTC)
        return value.toMSecsSinceEpoch();
    return DateTimes::make(value.date(), value.time()).toMSecsSinceEpoch();
}

void RowStore::setValue(Row &row, int column, const QVariant &v)
{
    if (!v.isValid() || v.isNull()) {
        setNull(row, column);
        return;
    }
    const int type = v.metaType().id();
    switch (row.arena->kinds[static_cast<size_t>(column)]) {
    case Field::Kind::AutoKey:
    case Field::Kind::Integer:
    case Field::Kind::SmallInt: {
        bool ok = type == QMetaType::LongLong;
        const qint64 n = ok ? *static_cast<const qlonglong *>(v.constData()) : v.toLongLong(&ok);
        if (ok)
            setNumber(row, column, n);
        else
            setNull(row, column);
        return;
    }
    case Field::Kind::Money: {
        std::optional<Money> m;
        if (v.metaType() == QMetaType::fromType<Money>()) {
            m = *static_cast<const Money *>(v.constData());
        } else if (type == QMetaType::QString) {
            m = Money::parse(v.toString(), u".");
        } else {
            bool ok = false;
            const qint64 units = v.toLongLong(&ok);
            if (ok)
                m = Money::fromUnits(units);
        }
        if (m)
            setNumber(row, column, m->raw());
        else
            setNull(row, column);
        return;
    }
    case Field::Kind::DateTime: {
        std::optional<QDateTime> dt;
        if (type == QMetaType::QDateTime)
            dt = *static_cast<const QDateTime *>(v.constData());
        else if (type == QMetaType::QDate)
            dt = DateTimes::make(v.toDate());
        else if (type == QMetaType::QString)
            dt = DateTimes::fromCanonical(*static_cast<const QString *>(v.constData()));
        if (dt && dt->isValid())
            setNumber(row, column, dateTimeCell(*dt));
        else
            setNull(row, column);
        return;
    }
    case Field::Kind::Text:
    case Field::Kind::Memo:
        if (type == QMetaType::QString)
            setText(row, column, *static_cast<const QString *>(v.constData()));
        else
            setText(row, column, v.toString());
        return;
    case Field::Kind::Blob:
        setBlob(row, column, v.toByteArray());
        return;
    }
}

void RowStore::setValues(Row &row, const std::vector<QVariant> &values)
{
    const int n = std::min<int>(row.count, static_cast<int>(values.size()));
    for (int c = 0; c < n; ++c)
        setValue(row, c, values[static_cast<size_t>(c)]);
}

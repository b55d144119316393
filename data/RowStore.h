#pragma once

#include "Field.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <QStringView>
#include <QVariant>

#include <memory>
#include <vector>

// The rows of one cursor, held compactly. A row is one block: a small header,
// one 8-byte cell per stored column and a bit per column that tells null.
// Whole numbers, money (ten-thousandths) and date-times (milliseconds since the
// epoch, the naive value read as UTC) sit in their cell; a text cell points at
// its characters, which the store keeps (one copy of each distinct text in
// columns declared shared); a BLOB cell names a byte array the store keeps.
// Rows and texts come from large blocks, so a table of hundreds of thousands of
// rows costs a handful of allocations and no heap block per row or value.
//
// Rows may outlive their store (a transaction's undo keeps the rows it may put
// back): the memory goes with the last of them. The place of a row gone serves
// the next row made; a text overwritten by a post or left by a row gone keeps
// its place until every row is gone.
class RowStore
{
    class Arena;

public:
    struct Row
    {
        qsizetype allPos = 0; // position among the cursor's rows
        Arena *arena = nullptr;
        quint16 count = 0;
        bool pending = false; // appended or inserted, not yet posted
    };
    struct RowDeleter
    {
        void operator()(Row *row) const;
    };
    using RowPtr = std::unique_ptr<Row, RowDeleter>;

    RowStore();
    ~RowStore();
    RowStore(const RowStore &) = delete;
    RowStore &operator=(const RowStore &) = delete;

    // The kinds of the stored columns, in order; sharedTexts[i] keeps one copy
    // of each distinct text of column i (states, views: a few values repeated on
    // every row). Rows made before keep the layout they were made with.
    void setColumns(std::vector<Field::Kind> kinds, std::vector<bool> sharedTexts = {});
    int columnCount() const;
    Field::Kind kind(int column) const;

    // A new row with every cell null.
    RowPtr newRow();
    // Gives the blocks back once no row is alive.
    void releaseIfEmpty();

    // Reading in place.
    static Field::Kind kind(const Row &row, int column);
    static bool isNull(const Row &row, int column)
    {
        return (nullBits(row)[column / 64] >> (column % 64)) & 1;
    }
    // Whole numbers, money's ten-thousandths, a date-time's milliseconds.
    static qint64 number(const Row &row, int column) { return cells(row)[column]; }
    static QStringView text(const Row &row, int column)
    {
        if (isNull(row, column))
            return QStringView();
        const auto *t = reinterpret_cast<const TextBlock *>(cells(row)[column]);
        return QStringView(t->chars, t->size);
    }
    // The value in the memory representation of Field (null: invalid QVariant).
    static QVariant value(const Row &row, int column);
    static std::vector<QVariant> values(const Row &row);

    // Writing. setValue takes a value in the memory representation of the
    // column's kind; another type is converted the way the kind reads it.
    static void setValue(Row &row, int column, const QVariant &value);
    static void setValues(Row &row, const std::vector<QVariant> &values);
    static void setNull(Row &row, int column);
    static void setNumber(Row &row, int column, qint64 value);
    static void setText(Row &row, int column, QStringView text);
    // UTF-8 decoded straight into the store.
    static void setTextUtf8(Row &row, int column, QByteArrayView utf8);
    static void setBlob(Row &row, int column, const QByteArray &bytes);

    // The milliseconds a date-time cell holds for a naive date-time.
    static qint64 dateTimeCell(const QDateTime &value);

    // Where a text cell points: the count of characters, then the UTF-16 code units.
    struct TextBlock
    {
        qint32 size;
        char16_t chars[1];
    };

private:

    // A row's cells follow its header; the null bits follow the cells.
    static const qint64 *cells(const Row &row) { return reinterpret_cast<const qint64 *>(&row + 1); }
    static qint64 *cells(Row &row) { return reinterpret_cast<qint64 *>(&row + 1); }
    static const quint64 *nullBits(const Row &row) { return reinterpret_cast<const quint64 *>(cells(row) + row.count); }
    static quint64 *nullBits(Row &row) { return reinterpret_cast<quint64 *>(cells(row) + row.count); }
    static void setPresent(Row &row, int column, qint64 cell)
    {
        cells(row)[column] = cell;
        nullBits(row)[column / 64] &= ~(quint64(1) << (column % 64));
    }

    Arena *m_arena;
};

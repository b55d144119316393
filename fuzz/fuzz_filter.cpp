// The filter parser and its evaluation on rows held in memory. Any text must
// either parse or be refused with DataError; a refused text leaves the rows as
// they were, and a quoted literal always parses.
#include "Cursor.h"
#include "DataError.h"
#include "Filter.h"
#include "FuzzSupport.h"

#include <QDateTime>

namespace {

class MemoryCursor : public Cursor
{
public:
    MemoryCursor() : Cursor(QStringLiteral("TFuzz"))
    {
        addField(QStringLiteral("Id"), Field::Kind::AutoKey);
        addField(QStringLiteral("Nombre"), Field::Kind::Text, 50);
        addField(QStringLiteral("Precio"), Field::Kind::Money);
        addField(QStringLiteral("Fecha"), Field::Kind::DateTime);
        addField(QStringLiteral("Piso"), Field::Kind::SmallInt);
        addField(QStringLiteral("Dias"), Field::Kind::Integer);
        addField(QStringLiteral("Notas"), Field::Kind::Memo);
        setSortOrder(QStringLiteral("Nombre"));
    }

protected:
    void doFetch() override
    {
        const QVariant null;
        using M = Money;
        using L = qlonglong;
        auto m = [](M v) { return QVariant::fromValue(v); };
        add({L(1), QStringLiteral("Ana"), m(M::fromUnits(10)), QDateTime(QDate(2014, 5, 10), QTime(0, 0)), L(1), L(3),
             QStringLiteral("vista al mar")});
        add({L(2), QStringLiteral("O'Brien, Arturo"), m(M::fromRaw(-25000)), QDateTime(QDate(1999, 12, 31), QTime(23, 59)),
             L(-2), L(-2147483647 - 1), null});
        add({L(3), QStringLiteral("Íñigo Álvarez"), m(M::fromRaw(std::numeric_limits<qint64>::max())), null, L(32767),
             L(2147483647), QStringLiteral("a\nb\\c%*")});
        add({L(4), null, m(M::fromRaw(std::numeric_limits<qint64>::min())), QDateTime(QDate(2100, 1, 1), QTime(0, 0)),
             L(-32768), L(0), QStringLiteral("漢字 😀")});
        add({L(5), QStringLiteral("*%_"), null, null, null, null, null});
    }

private:
    void add(std::vector<QVariant> values) { addFetchedRow(std::move(values)); }
};

QStringList visibleNames(Cursor &c)
{
    QStringList out;
    const Field &f = c.fieldByName(QStringLiteral("Id"));
    for (int i = 0; i < c.recordCount(); ++i)
        out << c.valueAt(i, f).toString();
    return out;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    FuzzSupport::initialize();
    static MemoryCursor cursor;
    if (!cursor.isOpen())
        cursor.open();
    const QString text = QString::fromUtf8(FuzzSupport::bytes(data, size));

    // A filter in force before: a refused text must leave it and its rows.
    cursor.setFiltered(false);
    cursor.setFilter(QStringLiteral("Dias >= 0"));
    cursor.setFiltered(true);
    const QStringList before = visibleNames(cursor);
    try {
        cursor.setFilter(text);
        if (cursor.recordCount() > 5)
            FuzzSupport::broken("more rows than the cursor holds", text);
        for (cursor.first(); !cursor.atEnd(); cursor.next())
            (void)cursor.value(QStringLiteral("Nombre"));
    } catch (const DataError &) {
        if (visibleNames(cursor) != before || cursor.filter() != QStringLiteral("Dias >= 0"))
            FuzzSupport::broken("a refused filter changed the rows", text);
    }

    // Any text, quoted, is a literal that parses and matches itself.
    const QString literal = FilterExpression::quoted(text);
    for (const char *op : {"Nombre = ", "Notas <> ", "Nombre LIKE ", "NOT Notas LIKE "}) {
        try {
            cursor.setFilter(QString::fromLatin1(op) + literal);
        } catch (const DataError &e) {
            FuzzSupport::broken("a quoted literal was refused", e.message());
        }
    }
    cursor.setFiltered(false);
    return 0;
}

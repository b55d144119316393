#pragma once

#include <QString>
#include <QStringList>

#include <vector>

// The hotel's tables, columns, rules, relations and indexes, declared once. Each
// database engine writes them in its own SQL (see Engine); nothing here depends
// on an engine.
namespace Schema {

enum class Type {
    Key,       // the auto-increment key of the table
    Reference, // a 32-bit whole number naming a row of another table
    Integer,   // a 32-bit whole number
    SmallInt,  // a 16-bit whole number
    Money,     // ten-thousandths in a 64-bit whole number
    Text,      // text of at most `size` characters
    Memo,      // text without a limit
    Blob,      // bytes
    Day,       // a date whose time of day is zero
    DateTime,  // a date and a time of day
    Serial,    // the 64-bit key of the change log
};

// A rule of a column beyond its type.
enum class Rule {
    None,
    RoomNumber, // digits, at most nine, without a leading zero
    AtLeastOne, // a whole number of at least 1
    OneOf,      // one of `values`
    Single,     // Key: the table holds one row, whose key is 1
};

struct Column
{
    QString name;
    Type type;
    int size = 0;           // Text
    QString references;     // Reference: the table whose key it holds
    bool notNull = false;
    bool unique = false;
    Rule rule = Rule::None;
    QStringList values;     // OneOf
    // The sentence the user reads when a value breaks the column's rule; empty
    // when the type alone guards the column.
    QString ruleName;
};

struct Check
{
    QString name;       // a sentence: engines report it to the user
    QString expression; // SQL that both engines read alike
};

// No two rows of a room may cover a common day (both ends count), apart from
// rows in state `exceptState`.
struct NoOverlap
{
    QString name; // a sentence: engines report it to the user
    QString room;
    QString from;
    QString to;
    QString state;
    QString exceptState;
};

struct Index
{
    QString name;
    QStringList columns;
};

struct Table
{
    QString name;
    std::vector<Column> columns;
    std::vector<Check> checks;
    std::vector<Index> indexes;
    std::vector<NoOverlap> noOverlaps;
    // Whether changes of its rows are written to the change log.
    bool logged = true;
    // Whether every hotel database holds it, from the first version on.
    bool original = true;

    const Column &key() const;
    const Column *column(const QString &name) const; // any letter case
};

// The change log: one row per row written, in commit order within each desk;
// other desks read it to follow what was committed.
struct ChangeLog
{
    static inline const QString Table = QStringLiteral("RegistroDeCambios");
    static inline const QString Sequence = QStringLiteral("IdCambio");
    static inline const QString TableName = QStringLiteral("Tabla");
    static inline const QString Key = QStringLiteral("Clave");
    static inline const QString Kind = QStringLiteral("Tipo");
    // The kinds of change.
    static inline const QString Added = QStringLiteral("Alta");
    static inline const QString Changed = QStringLiteral("Cambio");
    static inline const QString Removed = QStringLiteral("Baja");
    // How many entries the log keeps: older ones go as new ones come. A desk
    // that missed more than these reads everything again.
    static constexpr int Kept = 100000;
};

// Every table, in an order in which each table comes after the tables it
// refers to.
const std::vector<Table> &tables();
const Table *table(const QString &name); // any letter case

// The names as the schema spells them: the engines may fold them to lower case.
QString spelling(const QString &name);

} // namespace Schema

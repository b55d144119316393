#pragma once

#include "DataError.h"
#include "Field.h"
#include "Schema.h"

#include <QHash>
#include <QSet>
#include <QString>
#include <QStringList>
#include <QVariant>

class DatabaseTarget;
class QSqlDatabase;
class QSqlError;
class QSqlQuery;

// Everything in which the two database engines differ, in one place: the SQL
// that makes and upgrades the schema, the few statements written differently,
// how the catalog and the values are read, how errors read, and how a desk
// learns that another desk committed. One desk keeps its SQLite file; several
// desks share a PostgreSQL database. Everything else in the program speaks to
// both alike.
class Engine
{
public:
    enum class Operation { Read, Insert, Update, Delete };

    // What the program knows of the database's columns, read when it opens.
    struct Catalog
    {
        QHash<QString, Field::Kind> kinds;  // "table.column", lower case
        QSet<QString> tables;               // lower case
        QHash<quint64, QString> origins;    // server: (table id << 16 | column number) -> "table.column"
    };

    static const Engine &sqlite();
    static const Engine &postgresql();
    static const Engine &of(const DatabaseTarget &target);

    virtual ~Engine() = default;

    // The Qt SQL driver.
    virtual QString driverName() const = 0;
    virtual bool isServer() const = 0;

    // ---- the schema ----------------------------------------------------------

    // The tables and their indexes, for a database without rows.
    virtual QStringList createTables() const = 0;
    // The rule against double bookings and the change log's triggers. A new
    // database gets them after its first rows are written, so that those are
    // checked at once and not logged.
    virtual QStringList createRules() const = 0;
    // The names of the tables the database holds.
    virtual QStringList tablesIn(QSqlDatabase &db) const = 0;
    // A server's database made by an earlier version: what it lacks (tables,
    // indexes, rules, triggers), and the statements that add it without
    // touching a row. Throws DataError when the database cannot be read. A file
    // is compared with the script of createTables() and createRules() instead
    // (SchemaUpgrade), which adds columns too.
    virtual QStringList upgrade(QSqlDatabase &db, QStringList &missing) const;
    // After rows were written with keys of their own: new rows must take keys
    // after them.
    virtual QStringList keysFollowRows(const Schema::Table &table) const = 0;

    // ---- statements ----------------------------------------------------------

    // A table or column name as the engine reads it exactly.
    virtual QString name(const QString &identifier) const = 0;
    // "<column> equals ?", where null equals null.
    virtual QString isSameAs(const QString &column) const = 0;
    // Whether an INSERT names the key it made with RETURNING. Otherwise the
    // driver's last insert id serves: SQLite reports a failed commit only when
    // its statement runs to the end, which a statement returning rows does not
    // within exec().
    virtual bool returnsInsertedKey() const = 0;
    // Starts a transaction that writes (SQLite takes its write lock at once).
    virtual QString beginTransaction() const = 0;
    // Statements run once on every new connection of the program.
    virtual QStringList sessionSetUp(int lockTimeoutMs) const = 0;

    // ---- catalog and values ------------------------------------------------

    virtual void readCatalog(QSqlDatabase &db, Catalog &catalog) const = 0;
    // Column `column` of the query's current row, in the stored representation
    // (date-times as canonical text).
    virtual QVariant value(const QSqlQuery &query, int column) const;
    // "table.column" (lower case) that a result column reads, or empty for a
    // computed one.
    virtual QString origin(const QSqlQuery &query, int column, const Catalog &catalog) const;
    // A result column's name as the schema spells it.
    virtual QString columnName(const QString &reported, const QString &origin) const;

    // ---- errors --------------------------------------------------------------

    // The user's message for an error of a statement.
    virtual DataError error(const QSqlError &error, Operation op) const = 0;

    // ---- other desks' commits ----------------------------------------------

    // A statement whose one value changes whenever another connection commits,
    // to be polled; empty when the engine notifies instead.
    virtual QString commitCounter() const = 0;
    // The notification every commit that changes rows sends; empty when the
    // engine does not notify.
    virtual QString notificationChannel() const = 0;

protected:
    static QString sqlText(const QString &text);
};

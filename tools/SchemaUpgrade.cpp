#include "SchemaUpgrade.h"

#include "DataError.h"
#include "Database.h"
#include "DatabaseTarget.h"
#include "Engine.h"
#include "Schema.h"
#include "SchemaScript.h"

#include <QDir>
#include <QHash>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QUuid>

#include <functional>
#include <vector>

namespace {

// Runs a read and returns the query positioned before its first row.
using Reader = std::function<QSqlQuery(const QString &sql, const QString &argument)>;

struct SchemaObject
{
    QString type; // table, index, view, trigger
    QString name;
    QString sql;
};

// What a database holds, names compared in lower case as the engine does.
struct Catalog
{
    std::vector<SchemaObject> objects; // in the order they were made
    QHash<QString, QStringList> columns; // lower-case table name -> lower-case column names

    bool has(const QString &type, const QString &name) const
    {
        for (const SchemaObject &o : objects)
            if (o.type == type && o.name.compare(name, Qt::CaseInsensitive) == 0)
                return true;
        return false;
    }
    QString tableName(const QString &name) const
    {
        for (const SchemaObject &o : objects)
            if (o.type == u"table" && o.name.compare(name, Qt::CaseInsensitive) == 0)
                return o.name;
        return {};
    }
};

Catalog readCatalog(const Reader &read)
{
    Catalog c;
    // The engine's own objects (sqlite_sequence, automatic indexes) are not the
    // schema's; rowid order is the order of making.
    QSqlQuery q = read(QStringLiteral("SELECT type, name, sql FROM sqlite_master "
                                      "WHERE sql IS NOT NULL AND name NOT LIKE 'sqlite\\_%' ESCAPE '\\' "
                                      "ORDER BY rowid"),
                       QString());
    while (q.next())
        c.objects.push_back({q.value(0).toString(), q.value(1).toString(), q.value(2).toString()});
    for (const SchemaObject &o : c.objects) {
        if (o.type != u"table")
            continue;
        QSqlQuery info = read(QStringLiteral("SELECT name FROM pragma_table_info(?) ORDER BY cid"), o.name);
        QStringList names;
        while (info.next())
            names << info.value(0).toString().toLower();
        c.columns.insert(o.name.toLower(), names);
    }
    return c;
}

QString quotedName(const QString &name)
{
    QString s = name;
    s.replace(u'"', QStringLiteral("\"\""));
    return u'"' + s + u'"';
}

struct Addition
{
    QString what; // "table X", "column X.Y", ...
    QString sql;
};

// What the file lacks, in an order the engine can make it: tables, then the
// columns of tables it has, then indexes, views and triggers in schema order.
std::vector<Addition> missing(const Catalog &schema, const Catalog &file)
{
    std::vector<Addition> out;
    for (const SchemaObject &o : schema.objects)
        if (o.type == u"table" && !file.has(o.type, o.name))
            out.push_back({QStringLiteral("table ") + o.name, o.sql});
    for (const SchemaObject &o : schema.objects) {
        if (o.type != u"table" || !file.has(o.type, o.name))
            continue;
        const QStringList have = file.columns.value(o.name.toLower());
        const QStringList definitions = SchemaScript::tableDefinitions(o.sql);
        for (const QString &column : schema.columns.value(o.name.toLower())) {
            if (have.contains(column))
                continue;
            QString definition;
            for (const QString &d : definitions)
                if (SchemaScript::definedColumn(d).compare(column, Qt::CaseInsensitive) == 0)
                    definition = d;
            if (definition.isEmpty())
                throw DataError(QStringLiteral("The definition of column %1.%2 was not found in the schema")
                                    .arg(o.name, column));
            const QString table = file.tableName(o.name);
            out.push_back({QStringLiteral("column %1.%2").arg(table, SchemaScript::definedColumn(definition)),
                           QStringLiteral("ALTER TABLE %1 ADD COLUMN %2").arg(quotedName(table), definition)});
        }
    }
    for (const SchemaObject &o : schema.objects)
        if (o.type != u"table" && !file.has(o.type, o.name))
            out.push_back({o.type + u' ' + o.name, o.sql});
    return out;
}

// The schema as the script makes it, in a database held in memory.
Catalog schemaCatalog(const QString &script)
{
    const QString connection = QStringLiteral("schema-") + QUuid::createUuid().toString(QUuid::WithoutBraces);
    Catalog catalog;
    QString error;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), connection);
        db.setDatabaseName(QStringLiteral(":memory:"));
        if (!db.open()) {
            error = db.lastError().text();
        } else {
            try {
                QSqlQuery q(db);
                for (const QString &statement : SchemaScript::statements(script)) {
                    if (statement.startsWith(QStringLiteral("PRAGMA"), Qt::CaseInsensitive))
                        continue;
                    if (!q.exec(statement))
                        throw DataError(q.lastError().databaseText() + QStringLiteral(" in: ") + statement.left(80));
                }
                catalog = readCatalog([&db](const QString &sql, const QString &argument) {
                    QSqlQuery r(db);
                    r.setForwardOnly(true);
                    r.prepare(sql);
                    if (!argument.isNull())
                        r.addBindValue(argument);
                    if (!r.exec())
                        throw DataError(r.lastError().databaseText());
                    return r;
                });
            } catch (const DataError &e) {
                error = e.message();
            }
        }
        db.close();
    }
    QSqlDatabase::removeDatabase(connection);
    if (!error.isEmpty())
        throw DataError(error);
    return catalog;
}

// A server's database: the engine names what it lacks. Opening refuses a
// database without the hotel's tables.
QStringList upgradeServer(const DatabaseTarget &target)
{
    Database db(QStringLiteral("upgrade-") + QUuid::createUuid().toString(QUuid::WithoutBraces));
    db.open(target);
    Database::Transaction transaction(db);
    for (const Schema::Table &t : Schema::tables())
        if (t.original && !db.hasTable(t.name))
            throw DataError(QStringLiteral("%1 is not a hotel database: it has no table %2. It was left unchanged.")
                                .arg(target.describe(), t.name));
    QStringList added;
    QSqlDatabase connection = db.connection();
    const QStringList statements = db.engine().upgrade(connection, added);
    for (const QString &statement : statements) {
        try {
            db.run(statement, Database::Operation::Update);
        } catch (const DataError &e) {
            throw DataError(QStringLiteral("Could not bring %1 up to date: %2. It was left unchanged.")
                                .arg(target.describe(), e.message()));
        }
    }
    transaction.commit();
    return added;
}

} // namespace

namespace SchemaUpgrade {

QStringList upgrade(const QString &path)
{
    return upgrade(path, SchemaScript::text());
}

QStringList upgrade(const QString &path, const QString &schemaScript)
{
    const DatabaseTarget target = DatabaseTarget::parse(path);
    if (target.isServer())
        return upgradeServer(target);
    const Catalog schema = schemaCatalog(schemaScript);

    Database db(QStringLiteral("upgrade-") + QUuid::createUuid().toString(QUuid::WithoutBraces));
    db.open(target);
    const Reader read = [&db](const QString &sql, const QString &argument) {
        QSqlQuery q = db.prepare(sql);
        if (!argument.isNull())
            q.addBindValue(argument);
        db.exec(q);
        return q;
    };

    // Read and changed under one write lock, so nothing changes in between.
    Database::Transaction transaction(db);
    const Catalog file = readCatalog(read);
    bool ours = false;
    for (const SchemaObject &o : schema.objects)
        ours = ours || (o.type == u"table" && file.has(o.type, o.name));
    if (!ours)
        throw DataError(QStringLiteral("'%1' is not a hotel database: it has none of the hotel's tables. "
                                       "It was left unchanged.")
                            .arg(QDir::toNativeSeparators(path)));

    QStringList added;
    for (const Addition &a : missing(schema, file)) {
        try {
            QSqlQuery q = db.prepare(a.sql, Database::Operation::Update);
            db.exec(q, Database::Operation::Update);
        } catch (const DataError &e) {
            throw DataError(QStringLiteral("Could not add %1: %2. '%3' was left unchanged.")
                                .arg(a.what, e.message(), QDir::toNativeSeparators(path)));
        }
        added << a.what;
    }
    transaction.commit();
    return added;
}

} // namespace SchemaUpgrade

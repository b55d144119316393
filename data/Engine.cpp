#include "Engine.h"

#include "DatabaseTarget.h"

#include <QRegularExpression>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlField>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QSqlResult>

#include <libpq-fe.h>

using Schema::Type;

namespace {

QString lower(const QString &s)
{
    return s.toLower();
}

QString indexSql(const Schema::Table &t, const Schema::Index &i)
{
    return QStringLiteral("CREATE INDEX %1 ON %2 (%3)").arg(i.name, t.name, i.columns.join(QStringLiteral(", ")));
}

// Every table, each followed by its indexes; `tableSql` writes a table as its
// engine does.
QStringList tablesWithIndexes(QString (*tableSql)(const Schema::Table &))
{
    QStringList out;
    for (const Schema::Table &t : Schema::tables()) {
        out << tableSql(t);
        for (const Schema::Index &i : t.indexes)
            out << indexSql(t, i);
    }
    return out;
}

void run(QSqlQuery &q, const QString &sql)
{
    if (!q.exec(sql))
        throw DataError(q.lastError().databaseText().trimmed().isEmpty() ? q.lastError().text()
                                                                         : q.lastError().databaseText().trimmed());
}

// ---- SQLite -------------------------------------------------------------------

// A SQLite file holds values of any type in any column: the checks keep each
// column to its type, and are named with the sentence the user reads
// ("CHECK constraint failed: <name>").
class SqliteEngine final : public Engine
{
public:
    QString driverName() const override { return QStringLiteral("QSQLITE"); }
    bool isServer() const override { return false; }

    QString name(const QString &identifier) const override
    {
        // Grave accents, not double quotes: the engine reads a double-quoted name
        // that names no column as a text literal, so a missing column would show
        // its own name in every row instead of being refused.
        QString s = identifier;
        s.replace(u'`', QStringLiteral("``"));
        return u'`' + s + u'`';
    }

    QString isSameAs(const QString &column) const override { return column + QStringLiteral(" IS ?"); }
    bool returnsInsertedKey() const override { return false; }
    QString beginTransaction() const override { return QStringLiteral("BEGIN IMMEDIATE"); }

    QStringList sessionSetUp(int) const override
    {
        // The lock time-out is an option of the connection itself.
        return {QStringLiteral("PRAGMA foreign_keys = ON"), QStringLiteral("PRAGMA synchronous = FULL")};
    }

    static QString columnSql(const Schema::Column &c)
    {
        const QString n = c.name;
        const auto orNull = [&](const QString &condition) {
            return c.notNull ? condition : QStringLiteral("%1 IS NULL OR (%2)").arg(n, condition);
        };
        QString type, check;
        switch (c.type) {
        case Type::Key:
            // A table of one row takes key 1 again after its row was deleted.
            if (c.rule == Schema::Rule::Single)
                return n + QStringLiteral(" INTEGER PRIMARY KEY\n        CONSTRAINT \"%1\" CHECK (%2 = 1)").arg(c.ruleName, n);
            return n + QStringLiteral(" INTEGER PRIMARY KEY AUTOINCREMENT");
        case Type::Serial:
            return n + QStringLiteral(" INTEGER PRIMARY KEY AUTOINCREMENT");
        case Type::Reference:
            type = QStringLiteral("INTEGER REFERENCES %1 (%2)").arg(c.references, Schema::table(c.references)->key().name);
            check = c.notNull ? QStringLiteral("typeof(%1) = 'integer'").arg(n)
                              : QStringLiteral("%1 IS NULL OR typeof(%1) = 'integer'").arg(n);
            break;
        case Type::Integer:
            type = QStringLiteral("INTEGER");
            check = orNull(QStringLiteral("typeof(%1) = 'integer' AND %1 BETWEEN %2 AND 2147483647")
                               .arg(n, c.rule == Schema::Rule::AtLeastOne ? QStringLiteral("1")
                                                                           : QStringLiteral("-2147483648")));
            break;
        case Type::SmallInt:
            type = QStringLiteral("SMALLINT");
            check = orNull(QStringLiteral("typeof(%1) = 'integer' AND %1 BETWEEN -32768 AND 32767").arg(n));
            break;
        case Type::Money:
            type = QStringLiteral("CURRENCY");
            check = c.notNull ? QStringLiteral("typeof(%1) = 'integer'").arg(n)
                              : QStringLiteral("%1 IS NULL OR typeof(%1) = 'integer'").arg(n);
            break;
        case Type::Text:
            type = QStringLiteral("VARCHAR(%1)").arg(c.size);
            if (c.rule == Schema::Rule::RoomNumber)
                check = QStringLiteral("typeof(%1) = 'text' AND length(%1) BETWEEN 1 AND 9 AND %1 NOT GLOB '*[^0-9]*' "
                                       "AND (%1 = '0' OR %1 NOT GLOB '0*')")
                            .arg(n);
            else if (c.rule == Schema::Rule::OneOf)
                check = c.notNull ? QStringLiteral("%1 IN (%2)").arg(n, list(c.values))
                                  : QStringLiteral("%1 IS NULL OR %1 IN (%2)").arg(n, list(c.values));
            else
                check = orNull(QStringLiteral("typeof(%1) = 'text' AND length(%1) <= %2").arg(n).arg(c.size));
            break;
        case Type::Memo:
            type = QStringLiteral("TEXT");
            break;
        case Type::Blob:
            type = QStringLiteral("BLOB");
            check = c.notNull ? QStringLiteral("typeof(%1) = 'blob'").arg(n)
                              : QStringLiteral("%1 IS NULL OR typeof(%1) = 'blob'").arg(n);
            break;
        case Type::Day:
            type = QStringLiteral("DATETIME");
            check = orNull(QStringLiteral("typeof(%1) = 'text' AND datetime(%1, '+0 days') IS %1 AND substr(%1, 12) = '00:00:00'")
                               .arg(n));
            break;
        case Type::DateTime:
            type = QStringLiteral("DATETIME");
            check = orNull(QStringLiteral("typeof(%1) = 'text' AND datetime(%1, '+0 days') IS %1").arg(n));
            break;
        }
        QString sql = n + u' ' + type;
        if (c.notNull)
            sql += QStringLiteral(" NOT NULL");
        if (c.unique)
            sql += QStringLiteral(" UNIQUE");
        if (!check.isEmpty())
            sql += QStringLiteral("\n        CONSTRAINT \"%1\" CHECK (%2)").arg(c.ruleName, check);
        return sql;
    }

    static QString list(const QStringList &values)
    {
        QStringList quoted;
        for (const QString &v : values)
            quoted << sqlText(v);
        return quoted.join(QStringLiteral(", "));
    }

    static QString tableSql(const Schema::Table &t)
    {
        QStringList parts;
        for (const Schema::Column &c : t.columns)
            parts << QStringLiteral("    ") + columnSql(c);
        for (const Schema::Check &k : t.checks)
            parts << QStringLiteral("    CONSTRAINT \"%1\" CHECK (%2)").arg(k.name, k.expression);
        return QStringLiteral("CREATE TABLE %1 (\n%2\n)").arg(t.name, parts.join(QStringLiteral(",\n")));
    }

    // Named triggers, in the order they are made.
    static QList<QPair<QString, QString>> triggers()
    {
        QList<QPair<QString, QString>> out;
        using Log = Schema::ChangeLog;
        for (const Schema::Table &t : Schema::tables()) {
            for (const Schema::NoOverlap &o : t.noOverlaps) {
                const QString conflict =
                    QStringLiteral("SELECT RAISE(ABORT, %1) FROM %2 WHERE %3 = NEW.%3 AND %4 >= NEW.%5 AND %5 <= NEW.%4 "
                                   "AND %6 <> %7")
                        .arg(sqlText(o.name), t.name, o.room, o.to, o.from, o.state, sqlText(o.exceptState));
                out.append({QStringLiteral("tr%1SinSolapeAlta").arg(t.name),
                            QStringLiteral("CREATE TRIGGER tr%1SinSolapeAlta BEFORE INSERT ON %1\n"
                                           "WHEN NEW.%2 <> %3\nBEGIN\n    %4 LIMIT 1;\nEND")
                                .arg(t.name, o.state, sqlText(o.exceptState), conflict)});
                // Only a change that takes days it did not take before: a state
                // moving on (booked, occupied, invoiced) keeps the same days, and
                // a file made earlier may hold old overlaps that must not stop it.
                out.append({QStringLiteral("tr%1SinSolapeCambio").arg(t.name),
                            QStringLiteral("CREATE TRIGGER tr%1SinSolapeCambio BEFORE UPDATE OF %2, %3, %4, %5 ON %1\n"
                                           "WHEN NEW.%5 <> %6 AND (NEW.%2 IS NOT OLD.%2 OR NEW.%3 IS NOT OLD.%3 "
                                           "OR NEW.%4 IS NOT OLD.%4 OR coalesce(OLD.%5, %6) = %6)\n"
                                           "BEGIN\n    %7 AND %8 <> NEW.%8 LIMIT 1;\nEND")
                                .arg(t.name, o.room, o.from, o.to, o.state, sqlText(o.exceptState), conflict,
                                     t.key().name)});
            }
        }
        for (const Schema::Table &t : Schema::tables()) {
            if (!t.logged)
                continue;
            const struct
            {
                const char *event;
                const QString &kind;
                const char *row;
            } events[] = {{"INSERT", Log::Added, "NEW"}, {"UPDATE", Log::Changed, "NEW"}, {"DELETE", Log::Removed, "OLD"}};
            for (const auto &e : events)
                out.append({QStringLiteral("tr%1%2").arg(t.name, e.kind),
                            QStringLiteral("CREATE TRIGGER tr%1%2 AFTER %3 ON %1\nBEGIN\n"
                                           "    INSERT INTO %4 (%5, %6, %7) VALUES (%8, %9.%10, %11);\nEND")
                                .arg(t.name, e.kind, QLatin1String(e.event), Log::Table, Log::TableName, Log::Key,
                                     Log::Kind, sqlText(t.name), QLatin1String(e.row))
                                .arg(t.key().name, sqlText(e.kind))});
        }
        out.append({QStringLiteral("tr%1Poda").arg(Log::Table),
                    QStringLiteral("CREATE TRIGGER tr%1Poda AFTER INSERT ON %1\nBEGIN\n"
                                   "    DELETE FROM %1 WHERE %2 <= NEW.%2 - %3;\nEND")
                        .arg(Log::Table, Log::Sequence)
                        .arg(Log::Kept)});
        return out;
    }

    QStringList createTables() const override { return tablesWithIndexes(&tableSql); }

    QStringList createRules() const override
    {
        QStringList out;
        for (const auto &t : triggers())
            out << t.second;
        return out;
    }

    QStringList tablesIn(QSqlDatabase &db) const override
    {
        QSqlQuery q(db);
        run(q, QStringLiteral("SELECT name FROM sqlite_master WHERE type = 'table' AND name NOT LIKE 'sqlite!_%' ESCAPE '!'"));
        QStringList out;
        while (q.next())
            out << q.value(0).toString();
        return out;
    }

    QStringList keysFollowRows(const Schema::Table &) const override
    {
        // AUTOINCREMENT keeps the largest key it has seen.
        return {};
    }

    void readCatalog(QSqlDatabase &db, Catalog &catalog) const override
    {
        catalog = {};
        const QStringList names = tablesIn(db);
        for (const QString &table : names) {
            QSqlQuery info(db);
            if (!info.prepare(QStringLiteral("SELECT name, type FROM pragma_table_info(?)")))
                throw DataError(info.lastError().databaseText());
            info.addBindValue(table);
            if (!info.exec())
                throw DataError(info.lastError().databaseText());
            while (info.next())
                catalog.kinds.insert(table.toLower() + u'.' + info.value(0).toString().toLower(),
                                     kindOfDeclaredType(info.value(1).toString()));
        }
    }

    static Field::Kind kindOfDeclaredType(const QString &declared)
    {
        const QString t = declared.trimmed().toUpper();
        if (t == u"CURRENCY" || t == u"MONEY")
            return Field::Kind::Money;
        if (t == u"DATETIME" || t == u"DATE")
            return Field::Kind::DateTime;
        if (t == u"SMALLINT")
            return Field::Kind::SmallInt;
        if (t.contains(u"INT"))
            return Field::Kind::Integer;
        if (t == u"BLOB")
            return Field::Kind::Blob;
        if (t.startsWith(u"VARCHAR") || t.startsWith(u"CHAR"))
            return Field::Kind::Text;
        return Field::Kind::Memo;
    }

    DataError error(const QSqlError &error, Operation op) const override
    {
        QString engine = error.databaseText().trimmed();
        if (engine.isEmpty())
            engine = error.text().trimmed();
        for (const Schema::Table &t : Schema::tables())
            for (const Schema::NoOverlap &o : t.noOverlaps)
                if (engine.contains(o.name))
                    return DataError(o.name, DataError::Reason::RoomTaken);
        if (engine.contains(u"FOREIGN KEY constraint failed")) {
            if (op == Operation::Delete)
                return DataError(QStringLiteral("The record cannot be deleted because other records refer to it (%1)").arg(engine));
            return DataError(QStringLiteral("The record refers to a record that does not exist (%1)").arg(engine));
        }
        if (engine.contains(u"database is locked") || engine.contains(u"database table is locked"))
            return DataError(
                QStringLiteral("The database file is in use by another program; try again in a moment (%1)").arg(engine));
        if (engine.contains(u"readonly database"))
            return DataError(QStringLiteral("The database file cannot be written: it is read-only (%1)").arg(engine));
        // What the engine says when the disk refuses a write (full, quota, file size limit, failing device).
        if (op != Operation::Read && (engine.contains(u"disk I/O error") || engine.contains(u"database or disk is full")))
            return DataError(QStringLiteral("The disk refused to write the database file (%1)").arg(engine));
        if (engine.contains(u"UNIQUE constraint failed"))
            return DataError(QStringLiteral("The value is already used by another record (%1)").arg(engine));
        return DataError(engine);
    }

    // Another connection's commit changes it; this connection's own do not.
    QString commitCounter() const override { return QStringLiteral("PRAGMA data_version"); }
    QString notificationChannel() const override { return QString(); }
};

// ---- PostgreSQL ---------------------------------------------------------------

// The server keeps each column to its native type, so only the rules beyond the
// types are checks. Names are folded to lower case, as the SQL of the program
// writes them without quotes.
class PostgresEngine final : public Engine
{
public:
    static constexpr int NameLimit = 63; // bytes in a name

    QString driverName() const override { return QStringLiteral("QPSQL"); }
    bool isServer() const override { return true; }

    QString name(const QString &identifier) const override
    {
        QString s = identifier.toLower();
        s.replace(u'"', QStringLiteral("\"\""));
        return u'"' + s + u'"';
    }

    QString isSameAs(const QString &column) const override
    {
        return column + QStringLiteral(" IS NOT DISTINCT FROM ?");
    }

    // The server's "last value made" would be the change log's, whose trigger
    // runs after the row's insert.
    bool returnsInsertedKey() const override { return true; }
    QString beginTransaction() const override { return QStringLiteral("BEGIN"); }

    QStringList sessionSetUp(int lockTimeoutMs) const override
    {
        return {QStringLiteral("SET lock_timeout = %1").arg(lockTimeoutMs)};
    }

    // A rule's name on the server: its sentence, unless that is too long for a
    // name; then the column's name and "rule".
    static QString constraintName(const QString &sentence, const QString &column)
    {
        return sentence.toUtf8().size() <= NameLimit ? sentence : column + QStringLiteral(" rule");
    }

    static QString uniqueName(const Schema::Table &t, const Schema::Column &c)
    {
        return QStringLiteral("%1.%2 unique").arg(t.name, c.name);
    }

    static QString columnSql(const Schema::Table &t, const Schema::Column &c)
    {
        const QString n = c.name;
        QString type, check;
        switch (c.type) {
        case Type::Key:
            if (c.rule == Schema::Rule::Single)
                return n + QStringLiteral(" integer DEFAULT 1 PRIMARY KEY\n        CONSTRAINT \"%1\" CHECK (%2 = 1)")
                               .arg(constraintName(c.ruleName, n), n);
            return n + QStringLiteral(" integer GENERATED BY DEFAULT AS IDENTITY PRIMARY KEY");
        case Type::Serial:
            return n + QStringLiteral(" bigint GENERATED ALWAYS AS IDENTITY PRIMARY KEY");
        case Type::Reference:
            type = QStringLiteral("integer REFERENCES %1 (%2)").arg(c.references, Schema::table(c.references)->key().name);
            break;
        case Type::Integer:
            type = QStringLiteral("integer");
            if (c.rule == Schema::Rule::AtLeastOne)
                check = QStringLiteral("%1 >= 1").arg(n);
            break;
        case Type::SmallInt:
            type = QStringLiteral("smallint");
            break;
        case Type::Money:
            type = QStringLiteral("currency");
            break;
        case Type::Text:
            type = QStringLiteral("varchar(%1)").arg(c.size);
            if (c.rule == Schema::Rule::RoomNumber)
                check = QStringLiteral("%1 ~ '^(0|[1-9][0-9]{0,8})$'").arg(n);
            else if (c.rule == Schema::Rule::OneOf)
                check = QStringLiteral("%1 IN (%2)").arg(n, SqliteEngine::list(c.values));
            break;
        case Type::Memo:
            type = QStringLiteral("text");
            break;
        case Type::Blob:
            type = QStringLiteral("bytea");
            break;
        case Type::Day:
            type = QStringLiteral("timestamp(0)");
            check = QStringLiteral("%1 = date_trunc('day', %1)").arg(n);
            break;
        case Type::DateTime:
            type = QStringLiteral("timestamp(0)");
            break;
        }
        QString sql = n + u' ' + type;
        if (c.notNull)
            sql += QStringLiteral(" NOT NULL");
        if (c.unique)
            sql += QStringLiteral("\n        CONSTRAINT \"%1\" UNIQUE").arg(uniqueName(t, c));
        if (!check.isEmpty())
            sql += QStringLiteral("\n        CONSTRAINT \"%1\" CHECK (%2)").arg(constraintName(c.ruleName, c.name), check);
        return sql;
    }

    static QString tableSql(const Schema::Table &t)
    {
        QStringList parts;
        for (const Schema::Column &c : t.columns)
            parts << QStringLiteral("    ") + columnSql(t, c);
        for (const Schema::Check &k : t.checks)
            parts << QStringLiteral("    CONSTRAINT \"%1\" CHECK (%2)").arg(constraintName(k.name, t.name), k.expression);
        return QStringLiteral("CREATE TABLE %1 (\n%2\n)").arg(t.name, parts.join(QStringLiteral(",\n")));
    }

    static QString overlapSql(const Schema::Table &t, const Schema::NoOverlap &o)
    {
        // Closed ranges: a stay occupies its check-in and its check-out day.
        return QStringLiteral("ALTER TABLE %1 ADD CONSTRAINT \"%2\"\n"
                              "    EXCLUDE USING gist (%3 WITH =, tsrange(%4, %5, '[]') WITH &&)\n"
                              "    WHERE (%6 <> %7)")
            .arg(t.name, constraintName(o.name, t.name), o.room, o.from, o.to, o.state, sqlText(o.exceptState));
    }

    static QString logFunction(const Schema::Table &t)
    {
        return QStringLiteral("registrar_cambio_%1").arg(t.name.toLower());
    }

    static QString logTrigger(const Schema::Table &t)
    {
        return QStringLiteral("tr%1Cambios").arg(t.name);
    }

    // Each logged table: a function writing its changes to the log and waking
    // the other desks (the notice goes out at commit, once per transaction), and
    // the trigger that runs it.
    static QStringList logSql(const Schema::Table &t)
    {
        using Log = Schema::ChangeLog;
        const QString insert = QStringLiteral("INSERT INTO %1 (%2, %3, %4) VALUES (%5, %6.%7, %8);")
                                   .arg(Log::Table, Log::TableName, Log::Key, Log::Kind, sqlText(t.name));
        const QString function =
            QStringLiteral("CREATE OR REPLACE FUNCTION %1() RETURNS trigger LANGUAGE plpgsql AS $$\n"
                           "BEGIN\n"
                           "    IF TG_OP = 'DELETE' THEN\n        %2\n"
                           "    ELSIF TG_OP = 'UPDATE' THEN\n        %3\n"
                           "    ELSE\n        %4\n"
                           "    END IF;\n"
                           "    PERFORM pg_notify(%5, '');\n"
                           "    RETURN NULL;\n"
                           "END $$")
                .arg(logFunction(t), insert.arg(QStringLiteral("OLD"), t.key().name, sqlText(Log::Removed)),
                     insert.arg(QStringLiteral("NEW"), t.key().name, sqlText(Log::Changed)),
                     insert.arg(QStringLiteral("NEW"), t.key().name, sqlText(Log::Added)),
                     sqlText(Log::Table.toLower()));
        const QString trigger = QStringLiteral("CREATE TRIGGER %1 AFTER INSERT OR UPDATE OR DELETE ON %2\n"
                                               "    FOR EACH ROW EXECUTE FUNCTION %3()")
                                    .arg(logTrigger(t), t.name, logFunction(t));
        return {function, trigger};
    }

    static QStringList pruneSql()
    {
        using Log = Schema::ChangeLog;
        return {QStringLiteral("CREATE OR REPLACE FUNCTION podar_%1() RETURNS trigger LANGUAGE plpgsql AS $$\n"
                               "BEGIN\n"
                               "    DELETE FROM %2 WHERE %3 <= NEW.%3 - %4;\n"
                               "    RETURN NULL;\n"
                               "END $$")
                    .arg(Log::Table.toLower(), Log::Table, Log::Sequence)
                    .arg(Log::Kept),
                QStringLiteral("CREATE TRIGGER tr%1Poda AFTER INSERT ON %1\n"
                               "    FOR EACH ROW EXECUTE FUNCTION podar_%2()")
                    .arg(Log::Table, Log::Table.toLower())};
    }

    QStringList createTables() const override
    {
        // Money is a 64-bit count of ten-thousandths; the domain's name tells
        // the program which columns hold it.
        return QStringList{QStringLiteral("CREATE DOMAIN currency AS bigint")} + tablesWithIndexes(&tableSql);
    }

    QStringList createRules() const override
    {
        QStringList out{QStringLiteral("CREATE EXTENSION IF NOT EXISTS btree_gist")};
        for (const Schema::Table &t : Schema::tables())
            for (const Schema::NoOverlap &o : t.noOverlaps)
                out << overlapSql(t, o);
        for (const Schema::Table &t : Schema::tables())
            if (t.logged)
                out << logSql(t);
        out << pruneSql();
        return out;
    }

    QStringList tablesIn(QSqlDatabase &db) const override
    {
        QSqlQuery q(db);
        run(q, QStringLiteral("SELECT table_name FROM information_schema.tables "
                              "WHERE table_schema = current_schema() AND table_type = 'BASE TABLE'"));
        QStringList out;
        while (q.next())
            out << q.value(0).toString();
        return out;
    }

    static QSet<QString> names(QSqlDatabase &db, const QString &sql)
    {
        QSqlQuery q(db);
        run(q, sql);
        QSet<QString> out;
        while (q.next())
            out.insert(q.value(0).toString().toLower());
        return out;
    }

    QStringList upgrade(QSqlDatabase &db, QStringList &missing) const override
    {
        const QSet<QString> tables = names(db, QStringLiteral("SELECT table_name FROM information_schema.tables "
                                                              "WHERE table_schema = current_schema()"));
        const QSet<QString> indexes =
            names(db, QStringLiteral("SELECT indexname FROM pg_indexes WHERE schemaname = current_schema()"));
        const QSet<QString> constraints = names(
            db, QStringLiteral("SELECT conname FROM pg_constraint c JOIN pg_namespace n ON n.oid = c.connamespace "
                               "WHERE n.nspname = current_schema()"));
        const QSet<QString> triggerNames = names(db, QStringLiteral("SELECT tgname FROM pg_trigger WHERE NOT tgisinternal"));
        const QSet<QString> types =
            names(db, QStringLiteral("SELECT typname FROM pg_type t JOIN pg_namespace n ON n.oid = t.typnamespace "
                                     "WHERE n.nspname = current_schema()"));
        QStringList out;
        if (!types.contains(QStringLiteral("currency"))) {
            missing << QStringLiteral("domain currency");
            out << QStringLiteral("CREATE DOMAIN currency AS bigint");
        }
        for (const Schema::Table &t : Schema::tables()) {
            const bool newTable = !tables.contains(lower(t.name));
            if (newTable) {
                missing << QStringLiteral("table %1").arg(t.name);
                out << tableSql(t);
            }
            for (const Schema::Index &i : t.indexes) {
                if (newTable || !indexes.contains(lower(i.name))) {
                    missing << QStringLiteral("index %1").arg(i.name);
                    out << indexSql(t, i);
                }
            }
        }
        bool rules = false;
        for (const Schema::Table &t : Schema::tables()) {
            for (const Schema::NoOverlap &o : t.noOverlaps) {
                if (!constraints.contains(lower(constraintName(o.name, t.name)))) {
                    if (!rules)
                        out << QStringLiteral("CREATE EXTENSION IF NOT EXISTS btree_gist");
                    rules = true;
                    missing << QStringLiteral("rule \"%1\"").arg(o.name);
                    out << overlapSql(t, o);
                }
            }
            if (t.logged && !triggerNames.contains(lower(logTrigger(t)))) {
                missing << QStringLiteral("trigger %1").arg(logTrigger(t));
                out << logSql(t);
            }
        }
        if (!triggerNames.contains(lower(QStringLiteral("tr%1Poda").arg(Schema::ChangeLog::Table)))) {
            missing << QStringLiteral("trigger tr%1Poda").arg(Schema::ChangeLog::Table);
            out << pruneSql();
        }
        return out;
    }

    QStringList keysFollowRows(const Schema::Table &t) const override
    {
        if (t.key().type != Type::Key || t.key().rule == Schema::Rule::Single)
            return {};
        return {QStringLiteral("SELECT setval(pg_get_serial_sequence(%1, %2), coalesce(max(%3), 0) + 1, false) FROM %4")
                    .arg(sqlText(t.name.toLower()), sqlText(t.key().name.toLower()), t.key().name, t.name)};
    }

    void readCatalog(QSqlDatabase &db, Catalog &catalog) const override
    {
        catalog = {};
        QSqlQuery q(db);
        run(q, QStringLiteral("SELECT c.oid::bigint, c.relname, a.attnum, a.attname, t.typname, bt.typname "
                              "FROM pg_class c JOIN pg_namespace n ON n.oid = c.relnamespace "
                              "JOIN pg_attribute a ON a.attrelid = c.oid "
                              "JOIN pg_type t ON t.oid = a.atttypid "
                              "LEFT JOIN pg_type bt ON bt.oid = t.typbasetype "
                              "WHERE n.nspname = current_schema() AND c.relkind = 'r' AND a.attnum > 0 "
                              "AND NOT a.attisdropped"));
        while (q.next()) {
            const QString column = q.value(1).toString().toLower() + u'.' + q.value(3).toString().toLower();
            const QString type = q.value(4).toString();
            const QString base = q.value(5).toString();
            Field::Kind kind = Field::Kind::Memo;
            if (type == u"currency")
                kind = Field::Kind::Money;
            else if (type == u"timestamp" || type == u"date" || base == u"timestamp")
                kind = Field::Kind::DateTime;
            else if (type == u"int2")
                kind = Field::Kind::SmallInt;
            else if (type == u"int4" || type == u"int8")
                kind = Field::Kind::Integer;
            else if (type == u"bytea")
                kind = Field::Kind::Blob;
            else if (type == u"varchar" || type == u"bpchar")
                kind = Field::Kind::Text;
            catalog.kinds.insert(column, kind);
            catalog.origins.insert((q.value(0).toULongLong() << 16) | q.value(2).toULongLong(), column);
        }
    }

    static PGresult *rowResult(const QSqlQuery &query, int *row)
    {
        const QSqlResult *result = query.result();
        if (!result)
            return nullptr;
        const QVariant handle = result->handle();
        if (!handle.isValid() || qstrcmp(handle.typeName(), "pg_result*") != 0)
            return nullptr;
        // In single-row mode each row is a result of its own.
        *row = query.isForwardOnly() ? 0 : query.at();
        return *static_cast<PGresult *const *>(handle.constData());
    }

    QVariant value(const QSqlQuery &query, int column) const override
    {
        int row = 0;
        PGresult *res = rowResult(query, &row);
        if (res && row >= 0 && row < PQntuples(res) && column < PQnfields(res)) {
            const Oid type = PQftype(res, column);
            // timestamp, date: the driver would read them in the local time zone,
            // where a day that begins with a daylight-saving jump has no midnight.
            if (type == 1114 || type == 1082) {
                if (PQgetisnull(res, row, column))
                    return QVariant();
                QString text = QString::fromUtf8(PQgetvalue(res, row, column));
                if (type == 1082)
                    text += QStringLiteral(" 00:00:00");
                return text;
            }
        }
        return query.value(column);
    }

    QString origin(const QSqlQuery &query, int column, const Catalog &catalog) const override
    {
        int row = 0;
        PGresult *res = rowResult(query, &row);
        if (!res || column >= PQnfields(res))
            return QString();
        const Oid table = PQftable(res, column);
        const int number = PQftablecol(res, column);
        if (table == InvalidOid || number <= 0)
            return QString();
        return catalog.origins.value((quint64(table) << 16) | quint64(number));
    }

    QString columnName(const QString &reported, const QString &origin) const override
    {
        if (!origin.isEmpty()) {
            const qsizetype dot = origin.indexOf(u'.');
            if (const Schema::Table *t = Schema::table(origin.left(dot)))
                if (const Schema::Column *c = t->column(origin.mid(dot + 1)))
                    if (c->name.compare(reported, Qt::CaseInsensitive) == 0)
                        return c->name;
        }
        return Schema::spelling(reported);
    }

    // The server's first line, without its severity and the code the driver adds.
    static QString serverWords(const QSqlError &error)
    {
        QString text = error.databaseText();
        if (text.trimmed().isEmpty())
            text = error.text();
        QStringList lines = text.split(u'\n', Qt::SkipEmptyParts);
        QString first = lines.isEmpty() ? QString() : lines.front().trimmed();
        static const QRegularExpression severity(QStringLiteral("^(ERROR|FATAL|PANIC):\\s+"));
        first.remove(severity);
        return first.simplified();
    }

    static QString quotedPart(const QString &words, const QString &before)
    {
        const QRegularExpression re(QRegularExpression::escape(before) + QStringLiteral("\"((?:[^\"]|\"\")*)\""));
        const auto m = re.match(words);
        return m.hasMatch() ? m.captured(1).replace(QStringLiteral("\"\""), QStringLiteral("\"")) : QString();
    }

    DataError error(const QSqlError &error, Operation op) const override
    {
        const QString code = error.nativeErrorCode();
        const QString words = serverWords(error);
        if (code == u"23P01") {
            for (const Schema::Table &t : Schema::tables())
                for (const Schema::NoOverlap &o : t.noOverlaps)
                    if (words.contains(constraintName(o.name, t.name)))
                        return DataError(o.name, DataError::Reason::RoomTaken);
        }
        // The same words as the file's engine, so that every desk reads alike.
        if (code == u"23503") {
            const QString same = QStringLiteral("FOREIGN KEY constraint failed");
            if (op == Operation::Delete || words.contains(u"update or delete on table"))
                return DataError(QStringLiteral("The record cannot be deleted because other records refer to it (%1)").arg(same));
            return DataError(QStringLiteral("The record refers to a record that does not exist (%1)").arg(same));
        }
        if (code == u"23505") {
            const QString name = quotedPart(words, QStringLiteral("unique constraint "));
            // A second row of a table of one row takes its key again: the same
            // words as the file's engine, whose key check refuses it.
            for (const Schema::Table &t : Schema::tables())
                if (t.key().rule == Schema::Rule::Single && name == t.name.toLower() + QStringLiteral("_pkey"))
                    return DataError(QStringLiteral("CHECK constraint failed: %1").arg(t.key().ruleName));
            for (const Schema::Table &t : Schema::tables())
                for (const Schema::Column &c : t.columns)
                    if (c.unique && uniqueName(t, c) == name)
                        return DataError(QStringLiteral("The value is already used by another record "
                                                        "(UNIQUE constraint failed: %1.%2)")
                                             .arg(t.name, c.name));
            return DataError(QStringLiteral("The value is already used by another record (%1)").arg(words));
        }
        if (code == u"23514") {
            const QString name = quotedPart(words, QStringLiteral("check constraint "));
            for (const Schema::Table &t : Schema::tables()) {
                for (const Schema::Column &c : t.columns)
                    if (!c.ruleName.isEmpty() && constraintName(c.ruleName, c.name) == name)
                        return DataError(QStringLiteral("CHECK constraint failed: %1").arg(c.ruleName));
                for (const Schema::Check &k : t.checks)
                    if (constraintName(k.name, t.name) == name)
                        return DataError(QStringLiteral("CHECK constraint failed: %1").arg(k.name));
            }
            return DataError(words);
        }
        if (code == u"23502") {
            const QString column = quotedPart(words, QStringLiteral("column "));
            const QString table = quotedPart(words, QStringLiteral("relation "));
            return DataError(QStringLiteral("NOT NULL constraint failed: %1.%2")
                                 .arg(Schema::spelling(table), columnName(column, table + u'.' + column)));
        }
        if (code == u"22001")
            return DataError(QStringLiteral("The text is too long for its column (%1)").arg(words),
                             DataError::Reason::TextTooLong);
        if (code == u"22021" || code == u"22P05")
            return DataError(QStringLiteral("The text holds a character the database cannot store (%1)").arg(words));
        if (code == u"42P01")
            return DataError(QStringLiteral("no such table: %1").arg(Schema::spelling(quotedPart(words, QStringLiteral("relation ")))));
        if (code == u"42703") {
            QString column = quotedPart(words, QStringLiteral("column "));
            column = column.mid(column.lastIndexOf(u'.') + 1);
            return DataError(QStringLiteral("no such column: %1").arg(Schema::spelling(column)));
        }
        if (code == u"55P03" || code == u"40P01" || code == u"40001" || code == u"57014")
            return DataError(
                QStringLiteral("The database is busy with another desk's change; try again in a moment (%1)").arg(words),
                code.startsWith(u"40") ? DataError::Reason::Conflict : DataError::Reason::Other);
        if (code.startsWith(u"08") || code == u"57P01" || code == u"57P02" || code == u"57P03"
            || (code.isEmpty() && (words.contains(u"server closed the connection")
                                   || words.contains(u"no connection to the server")
                                   || words.contains(u"terminating connection"))))
            return DataError(QStringLiteral("The connection to the database server was lost (%1)").arg(words));
        if (code == u"42501")
            return DataError(QStringLiteral("The database server refused it: %1").arg(words));
        return DataError(words);
    }

    QString commitCounter() const override { return QString(); }
    QString notificationChannel() const override { return Schema::ChangeLog::Table.toLower(); }
};

} // namespace

QString Engine::sqlText(const QString &text)
{
    QString s = text;
    s.replace(u'\'', QStringLiteral("''"));
    return u'\'' + s + u'\'';
}

const Engine &Engine::sqlite()
{
    static const SqliteEngine engine;
    return engine;
}

const Engine &Engine::postgresql()
{
    static const PostgresEngine engine;
    return engine;
}

const Engine &Engine::of(const DatabaseTarget &target)
{
    return target.isServer() ? postgresql() : sqlite();
}

QStringList Engine::upgrade(QSqlDatabase &, QStringList &) const
{
    throw DataError(QStringLiteral("This engine's databases are brought up to date by comparing them with the schema"));
}

QVariant Engine::value(const QSqlQuery &query, int column) const
{
    return query.value(column);
}

QString Engine::origin(const QSqlQuery &query, int column, const Catalog &) const
{
    const QSqlField f = query.record().field(column);
    if (f.tableName().isEmpty())
        return QString();
    return f.tableName().toLower() + u'.' + f.name().toLower();
}

QString Engine::columnName(const QString &reported, const QString &) const
{
    return reported;
}

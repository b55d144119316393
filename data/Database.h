#pragma once

#include "DatabaseTarget.h"
#include "Engine.h"
#include "Field.h"

#include <QHash>
#include <QSet>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QString>

#include <functional>
#include <memory>
#include <optional>
#include <vector>

class RowLoader;

// The one connection to the database: a file, or a database on a PostgreSQL
// server (see DatabaseTarget). It never creates a file or a table: a missing
// file, a locked one, one that is not a database, or a server that cannot be
// reached makes open() fail with a DataError carrying the engine's message.
// Every statement is parameterised. Where the engines differ, it asks Engine.
class Database
{
public:
    // Several writes that belong together: rolled back, database and cursors
    // alike, unless commit() is reached. One at a time.
    class Transaction
    {
    public:
        explicit Transaction(Database &db);
        ~Transaction();
        Transaction(const Transaction &) = delete;
        Transaction &operator=(const Transaction &) = delete;

        void commit();
        // Cursors register how to undo their in-memory change should the
        // transaction roll back.
        void addUndo(std::function<void()> undo);

    private:
        friend class Database;
        Database &m_db;
        bool m_done = false;
        std::vector<std::function<void()>> m_undo;
        // Statements refused inside the transaction, freed once it ended: a
        // server frees a prepared statement only outside a failed transaction.
        std::vector<QSqlQuery> m_refused;
    };

    using Operation = Engine::Operation;

    explicit Database(QString connectionName);
    ~Database();
    Database(const Database &) = delete;
    Database &operator=(const Database &) = delete;

    // Opens a database file.
    void open(const QString &filePath);
    // Opens a file or a database on a server.
    void open(const DatabaseTarget &target);
    // How long a statement waits for a lock held by another program (ms).
    void setBusyTimeout(int milliseconds) { m_busyTimeout = milliseconds; }
    void close();
    bool isOpen() const;
    // The file's path; empty for a server.
    const QString &filePath() const { return m_filePath; }
    // The engine's own handle of the open connection (a sqlite3* for an SQLite
    // file), for what Qt SQL does not offer, such as the online backup; invalid
    // when closed. Only on this connection's thread.
    QVariant nativeHandle() const;
    const DatabaseTarget &target() const { return m_target; }
    const Engine &engine() const { return *m_engine; }
    // The Qt connection, for the driver's notifications.
    QSqlDatabase connection() const;
    // Reads rows into the cursors' stores; lives while the connection is open.
    RowLoader &loader();
    // Off: the loader reads through Qt SQL even where it could step SQLite's
    // statements itself (to compare the two ways). On by default.
    void setDirectReadsAllowed(bool allowed) { m_directReads = allowed; }
    bool directReadsAllowed() const { return m_directReads; }

    // Whether path names the file of a database open in this process, or one of
    // the engine's working files beside it (-wal, -shm, -journal). Only the engine
    // may open those: closing any other descriptor of them drops the engine's
    // locks, and another program could then change the file under this one. Never
    // opens the file to tell.
    static bool isDatabaseFile(const QString &path);
    // Throws DataError, with the user's message, when isDatabaseFile(path).
    static void refuseDatabaseFile(const QString &path);

    // Prepares a statement; throws DataError when the engine refuses it.
    QSqlQuery prepare(const QString &sql, Operation op = Operation::Read);
    // Runs a prepared statement with its bound values; throws DataError.
    void exec(QSqlQuery &query, Operation op = Operation::Read);
    // Runs a statement without values that cannot be prepared (transaction
    // control, settings of the connection); throws DataError.
    void run(const QString &statement, Operation op = Operation::Read);

    // The kind a column's declared type stands for (CURRENCY is money, DATETIME
    // a date-time, ...), from the schema read at open.
    std::optional<Field::Kind> declaredKind(const QString &table, const QString &column) const;
    // Whether the file held the table when it was opened (any letter case).
    bool hasTable(const QString &table) const { return m_catalog.tables.contains(table.toLower()); }
    // The "table.column" a result column reads (lower case), empty for a
    // computed one; and its name as the schema spells it.
    QString columnOrigin(const QSqlQuery &query, int column) const;
    QString columnName(const QString &reported, const QString &origin) const;
    // A name as the engine reads it exactly.
    QString name(const QString &identifier) const { return m_engine->name(identifier); }

    // Column `column` of the query's current row, in the stored representation.
    QVariant value(const QSqlQuery &query, int column) const { return m_engine->value(query, column); }
    // Values between memory and the stored representation.
    static QVariant toStorage(Field::Kind kind, const QVariant &value);
    static QVariant fromStorage(Field::Kind kind, QVariant stored);

    Transaction *activeTransaction() const { return m_transaction; }

    // The error, with the user's message, for an engine error.
    DataError error(const QSqlError &error, Operation op) const { return m_engine->error(error, op); }

private:
    void openFile(const QString &filePath);
    void openServer(const DatabaseTarget &target);
    void setUpSession();
    void registerOpenFile(bool open);

    QString m_connectionName;
    QString m_filePath;
    DatabaseTarget m_target;
    const Engine *m_engine = &Engine::sqlite();
    Engine::Catalog m_catalog;
    Transaction *m_transaction = nullptr;
    int m_busyTimeout = 10000;
    std::unique_ptr<RowLoader> m_loader;
    bool m_directReads = true;
};

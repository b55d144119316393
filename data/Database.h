#pragma once

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

// The one connection to the database file. It never creates a file: a missing
// file, a locked one or one that is not a database makes open() fail with a
// DataError carrying the engine's message. Every statement is parameterised.
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
        Database &m_db;
        bool m_done = false;
        std::vector<std::function<void()>> m_undo;
    };

    enum class Operation { Read, Insert, Update, Delete };

    explicit Database(QString connectionName);
    ~Database();
    Database(const Database &) = delete;
    Database &operator=(const Database &) = delete;

    void open(const QString &filePath);
    // How long a statement waits for a lock held by another program (ms).
    void setBusyTimeout(int milliseconds) { m_busyTimeout = milliseconds; }
    void close();
    bool isOpen() const;
    const QString &filePath() const { return m_filePath; }
    // The engine's own handle of the open connection (a sqlite3* for an SQLite
    // file), for what Qt SQL does not offer, such as the online backup; invalid
    // when closed. Only on this connection's thread.
    QVariant nativeHandle() const;
    // The Qt SQL connection underneath.
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

    // The kind a column's declared type stands for (CURRENCY is money, DATETIME
    // a date-time, ...), from the schema read at open.
    std::optional<Field::Kind> declaredKind(const QString &table, const QString &column) const;
    // Whether the file held the table when it was opened (any letter case).
    bool hasTable(const QString &table) const { return m_tables.contains(table.toLower()); }

    // Values between memory and the file's representation.
    static QVariant toStorage(Field::Kind kind, const QVariant &value);
    static QVariant fromStorage(Field::Kind kind, QVariant stored);
    static Field::Kind kindOfDeclaredType(const QString &declared);

    Transaction *activeTransaction() const { return m_transaction; }

    // The user's message for an engine error.
    static QString describe(const QSqlError &error, Operation op);

private:
    void readCatalog();
    void registerOpenFile(bool open);

    QString m_connectionName;
    QString m_filePath;
    QHash<QString, Field::Kind> m_catalog; // "table.column", lower case
    QSet<QString> m_tables;                // lower case
    Transaction *m_transaction = nullptr;
    int m_busyTimeout = 10000;
    std::unique_ptr<RowLoader> m_loader;
    bool m_directReads = true;
};

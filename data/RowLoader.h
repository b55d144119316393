#pragma once

#include "RowStore.h"

#include <QHash>
#include <QSet>
#include <QSqlQuery>
#include <QString>
#include <QVariantList>

#include <functional>

class Database;
class QSqlDriver;
struct sqlite3;
struct sqlite3_stmt;
struct pg_conn;

// Reads the rows of a SELECT into a RowStore, each value converted once into its
// cell. Over an SQLite connection whose handle belongs to the same engine this
// program links, it steps the engine's statements itself, with no QVariant per
// value; over a PostgreSQL connection it likewise runs the statement through
// libpq and reads the values in the server's binary form (as text, for a result
// with a type it does not read so); over any other connection, or a
// server connection busy with a statement of Qt's, it reads through Qt SQL,
// value by value, with the same conversions. The direct way keeps its SQLite
// statements prepared until release(), which must come before the connection
// closes.
class RowLoader
{
public:
    using Sink = std::function<void(RowStore::RowPtr)>;

    explicit RowLoader(Database &db);
    ~RowLoader();
    RowLoader(const RowLoader &) = delete;
    RowLoader &operator=(const RowLoader &) = delete;

    // Runs `sql`, binding `values` (in the stored representation) to its '?'
    // marks in order, and hands each row of the result, in order, to `sink`.
    // The result's columns are the store's columns. Throws DataError with the
    // user's message.
    void load(const QString &sql, const QVariantList &values, RowStore &store, const Sink &sink);

    // The rows of a statement already run through Qt SQL, each value read as
    // the database's engine reads it.
    static void loadFrom(const Database &db, QSqlQuery &query, RowStore &store, const Sink &sink);

    // Whether load() runs the engine's statements itself (never when the
    // database does not allow direct reads).
    bool isDirect();

    // Finalises the prepared statements.
    void release();

private:
    void probe();
    sqlite3 *handle();
    pg_conn *serverHandle();
    sqlite3_stmt *statement(const QString &sql);
    void loadDirect(sqlite3_stmt *stmt, const QVariantList &values, RowStore &store, const Sink &sink);
    void loadServer(pg_conn *conn, const QString &sql, const QVariantList &values, RowStore &store,
                    const Sink &sink);
    [[noreturn]] void fail(int code);

    Database &m_db;
    bool m_probed = false;
    sqlite3 *m_handle = nullptr;
    pg_conn *m_server = nullptr;
    QSqlDriver *m_driver = nullptr;
    // Qt's PostgreSQL driver's handler of notices, asked to look after a
    // direct read; false when this Qt has none by that name.
    bool m_noticeHandler = false;
    QHash<QString, sqlite3_stmt *> m_statements;
    // Statements whose results hold a type read only as text.
    QSet<QString> m_textResults;
};

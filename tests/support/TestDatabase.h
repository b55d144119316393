#pragma once

#include "Money.h"

#include <QSqlDatabase>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <QVariant>

#include <memory>

class PostgresServer;

// A fresh database made from the schema, with a second, independent connection
// for arranging rows and reading back what the program wrote. By default a
// file in a temporary folder; in the run of the tests on PostgreSQL (the
// environment names HOTEL_TEST_DATABASE=postgresql) a new database on the
// tests' own server (see PostgresServer), dropped when the object goes.
class TestDatabase
{
public:
    enum class Kind { OfThisRun, File, Server };

    explicit TestDatabase(Kind kind = Kind::OfThisRun);
    ~TestDatabase();
    TestDatabase(const TestDatabase &) = delete;
    TestDatabase &operator=(const TestDatabase &) = delete;

    // Whether this run of the tests is the one on PostgreSQL.
    static bool serverRun();
    // The tests' server: the one the environment names
    // (HOTEL_TEST_POSTGRESQL=<folder>), or one of this process's own, started
    // on first use and stopped at its end. Null when none can start.
    static PostgresServer *server();

    bool isValid() const { return m_valid; }
    bool isServer() const { return m_server; }
    // A temporary folder of the test's own (for a file database, its folder).
    QString folder() const { return m_dir.path(); }
    // The file's path; empty for a server's database.
    QString path() const;
    // What the data module opens: the folder of the file, or the database's URL.
    QString target() const;
    // The database's name on the server.
    const QString &databaseName() const { return m_name; }

    // Runs one statement on the independent connection; values bind to '?'.
    // Returns the new row's key for an INSERT. Fails the running test on error.
    qint64 exec(const QString &sql, const QVariantList &values = {});
    // The same with the relations not enforced, to arrange rows that refer to
    // rows that do not exist (as a file made without the relations may hold).
    qint64 execUnrelated(const QString &sql, const QVariantList &values = {});
    // The first column of the first row, or an invalid value.
    QVariant scalar(const QString &sql, const QVariantList &values = {});
    // The first column of every row; every column of every row. Date-times
    // read as canonical text on both engines.
    QVariantList column(const QString &sql, const QVariantList &values = {});
    QList<QVariantList> rows(const QString &sql, const QVariantList &values = {});

    // Closes the independent connection (exec and scalar reopen it).
    void closeConnection();

    // Damages the file the way a failing disk can: a table and its index swap
    // their pages. The file still opens and reads, but fails integrity_check.
    // Closes the connection.
    void damageAnIndex();

    // Arrangement shortcuts; they return the new key.
    qint64 addRoomType(const QString &name, Money price, int capacity = 2);
    qint64 addRoom(const QString &number, qint64 typeId, int floor = 1, const QString &view = QStringLiteral("Mar"));
    qint64 addGuest(const QString &name, const QString &dni = QString());
    qint64 addService(const QString &name, Money price);
    qint64 addStay(qint64 guestId, qint64 roomId, const QString &checkIn, const QString &checkOut,
                   const QString &state, Money daily = Money::fromUnits(100));
    qint64 addConsumption(qint64 stayId, qint64 serviceId, int quantity, Money price, const QString &when);

private:
    static QString tempTemplate();
    QSqlDatabase connection();

    QTemporaryDir m_dir;
    QString m_connection;
    bool m_server = false;
    QString m_name; // on the server
    bool m_valid = false;
};

// Every row of the hotel's six tables in the database file at `path`, as text,
// in key order, read through a read-only connection of its own.
QStringList rowsOfFile(const QString &path);
// The number of rows of `table` in the database file at `path`; -1 when it
// cannot be read.
qint64 rowCountOfFile(const QString &path, const QString &table);

// Money from a decimal text such as "1234.5".
Money money(const char *text);

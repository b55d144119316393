#pragma once

#include "Money.h"

#include <QSqlDatabase>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <QVariant>

#include <memory>

// A fresh database file made from the schema in a temporary folder, with a
// second, independent connection for arranging rows and reading back what the
// program wrote.
class TestDatabase
{
public:
    TestDatabase();
    ~TestDatabase();

    bool isValid() const { return m_valid; }
    QString folder() const { return m_dir.path(); }
    QString path() const;

    // Runs one statement on the independent connection; values bind to '?'.
    // Returns the new row's key for an INSERT. Fails the running test on error.
    qint64 exec(const QString &sql, const QVariantList &values = {});
    // The first column of the first row, or an invalid value.
    QVariant scalar(const QString &sql, const QVariantList &values = {});

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

    QTemporaryDir m_dir;
    QString m_connection;
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

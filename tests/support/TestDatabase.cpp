#include "TestDatabase.h"

#include "DataError.h"
#include "DatabaseFactory.h"

#include <QDir>
#include <QFileInfo>
#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QTest>
#include <QUuid>

// Memory-backed when the machine has it: the files behave the same, but writes
// do not wait for a disk.
QString TestDatabase::tempTemplate()
{
    if (QFileInfo(QStringLiteral("/dev/shm")).isWritable())
        return QStringLiteral("/dev/shm/hotel-test-XXXXXX");
    return QDir::tempPath() + QStringLiteral("/hotel-test-XXXXXX");
}

TestDatabase::TestDatabase()
    : m_dir(tempTemplate()), m_connection(QStringLiteral("test-") + QUuid::createUuid().toString(QUuid::WithoutBraces))
{
    if (!m_dir.isValid())
        return;
    try {
        DatabaseFactory::createEmpty(path());
    } catch (const DataError &e) {
        qWarning("%s", e.what());
        return;
    }
    QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), m_connection);
    db.setDatabaseName(path());
    db.setConnectOptions(QStringLiteral("QSQLITE_BUSY_TIMEOUT=10000"));
    m_valid = db.open();
    QSqlQuery(db).exec(QStringLiteral("PRAGMA foreign_keys = ON"));
}

TestDatabase::~TestDatabase()
{
    {
        QSqlDatabase db = QSqlDatabase::database(m_connection, false);
        db.close();
    }
    QSqlDatabase::removeDatabase(m_connection);
}

void TestDatabase::closeConnection()
{
    QSqlDatabase::database(m_connection, false).close();
}

void TestDatabase::damageAnIndex()
{
    exec(QStringLiteral("CREATE TABLE Sueltos (x INTEGER)"));
    exec(QStringLiteral("CREATE INDEX SueltosX ON Sueltos (x)"));
    exec(QStringLiteral("INSERT INTO Sueltos VALUES (1), (2), (3)"));
    const QVariant table = scalar(QStringLiteral("SELECT rootpage FROM sqlite_master WHERE name = 'Sueltos'"));
    const QVariant index = scalar(QStringLiteral("SELECT rootpage FROM sqlite_master WHERE name = 'SueltosX'"));
    exec(QStringLiteral("PRAGMA writable_schema = ON"));
    exec(QStringLiteral("UPDATE sqlite_master SET rootpage = ? WHERE name = 'SueltosX'"), {table});
    exec(QStringLiteral("UPDATE sqlite_master SET rootpage = ? WHERE name = 'Sueltos'"), {index});
    closeConnection();
}

QString TestDatabase::path() const
{
    return m_dir.filePath(QStringLiteral("Hotel.db"));
}

qint64 TestDatabase::exec(const QString &sql, const QVariantList &values)
{
    QSqlQuery q(QSqlDatabase::database(m_connection, true));
    if (!q.prepare(sql)) {
        QTest::qFail(qPrintable(QStringLiteral("prepare failed: %1: %2").arg(sql, q.lastError().text())), __FILE__, __LINE__);
        return -1;
    }
    for (const QVariant &v : values)
        q.addBindValue(v);
    if (!q.exec()) {
        QTest::qFail(qPrintable(QStringLiteral("exec failed: %1: %2").arg(sql, q.lastError().text())), __FILE__, __LINE__);
        return -1;
    }
    return q.lastInsertId().isValid() ? q.lastInsertId().toLongLong() : q.numRowsAffected();
}

QVariant TestDatabase::scalar(const QString &sql, const QVariantList &values)
{
    QSqlQuery q(QSqlDatabase::database(m_connection, true));
    q.prepare(sql);
    for (const QVariant &v : values)
        q.addBindValue(v);
    if (!q.exec() || !q.next())
        return QVariant();
    return q.value(0);
}

qint64 TestDatabase::addRoomType(const QString &name, Money price, int capacity)
{
    return exec(QStringLiteral("INSERT INTO TiposDeHabitacion (Nombre, Precio, Capacidad) VALUES (?, ?, ?)"),
                {name, price.raw(), capacity});
}

qint64 TestDatabase::addRoom(const QString &number, qint64 typeId, int floor, const QString &view)
{
    return exec(QStringLiteral("INSERT INTO Habitaciones (NroHabitacion, Piso, Vista, IdTipo) VALUES (?, ?, ?, ?)"),
                {number, floor, view, typeId});
}

qint64 TestDatabase::addGuest(const QString &name, const QString &dni)
{
    return exec(QStringLiteral("INSERT INTO Huespedes (Nombre, DNI) VALUES (?, ?)"),
                {name, dni.isEmpty() ? QVariant() : QVariant(dni)});
}

qint64 TestDatabase::addService(const QString &name, Money price)
{
    return exec(QStringLiteral("INSERT INTO Servicios (Nombre, Precio) VALUES (?, ?)"), {name, price.raw()});
}

qint64 TestDatabase::addStay(qint64 guestId, qint64 roomId, const QString &checkIn, const QString &checkOut,
                             const QString &state, Money daily)
{
    const QDate in = QDate::fromString(checkIn, Qt::ISODate);
    const QDate out = QDate::fromString(checkOut, Qt::ISODate);
    const qint64 days = in.daysTo(out) + 1;
    return exec(QStringLiteral("INSERT INTO Estadias (IdHuesped, IdHabitacion, FechaIngreso, FechaEgreso, Estado, Dias, "
                               "PrecioDiario, PrecioFinal) VALUES (?, ?, ?, ?, ?, ?, ?, ?)"),
                {guestId, roomId, checkIn + QStringLiteral(" 00:00:00"), checkOut + QStringLiteral(" 00:00:00"), state,
                 days, daily.raw(), (daily * days).raw()});
}

qint64 TestDatabase::addConsumption(qint64 stayId, qint64 serviceId, int quantity, Money price, const QString &when)
{
    return exec(QStringLiteral("INSERT INTO ConsumoDeServicios (IdEstadia, IdServicio, Cantidad, Precio, FechaHora) "
                               "VALUES (?, ?, ?, ?, ?)"),
                {stayId, serviceId, quantity, price.raw(), when});
}

Money money(const char *text)
{
    return *Money::parse(QString::fromLatin1(text), u".");
}

QStringList rowsOfFile(const QString &path)
{
    const QString name = QUuid::createUuid().toString();
    QStringList out;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), name);
        db.setDatabaseName(path);
        db.setConnectOptions(QStringLiteral("QSQLITE_OPEN_READONLY"));
        if (!db.open())
            out << QStringLiteral("cannot open");
        for (const char *table : {"TiposDeHabitacion", "Habitaciones", "Servicios", "Huespedes", "Estadias",
                                  "ConsumoDeServicios"}) {
            QSqlQuery q(db);
            if (!q.exec(QStringLiteral("SELECT * FROM %1 ORDER BY 1").arg(QLatin1String(table)))) {
                out << QStringLiteral("cannot read ") + QLatin1String(table);
                break;
            }
            while (q.next()) {
                QStringList row{QLatin1String(table)};
                for (int i = 0; i < q.record().count(); ++i)
                    row << q.value(i).toString();
                out << row.join(u'|');
            }
        }
    }
    QSqlDatabase::removeDatabase(name);
    return out;
}

qint64 rowCountOfFile(const QString &path, const QString &table)
{
    const QString name = QUuid::createUuid().toString();
    qint64 n = -1;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), name);
        db.setDatabaseName(path);
        db.setConnectOptions(QStringLiteral("QSQLITE_OPEN_READONLY"));
        if (db.open()) {
            QSqlQuery q(db);
            if (q.exec(QStringLiteral("SELECT count(*) FROM ") + table) && q.next())
                n = q.value(0).toLongLong();
        }
    }
    QSqlDatabase::removeDatabase(name);
    return n;
}

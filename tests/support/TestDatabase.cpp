#include "TestDatabase.h"

#include "DataError.h"
#include "DatabaseFactory.h"
#include "Engine.h"
#include "PostgresServer.h"
#include "Schema.h"

#include <QAtomicInt>
#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QTest>
#include <QUuid>

#include <unistd.h>

namespace {

const QString TemplateName = QStringLiteral("hotel_template");

// The database every test's database is copied from, made once per server.
bool ensureTemplate(PostgresServer &server)
{
    const QString probe = QStringLiteral("probe-") + QUuid::createUuid().toString(QUuid::WithoutBraces);
    bool present = false;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QPSQL"), probe);
        db.setConnectOptions(QStringLiteral("host=%1 dbname=postgres user=%2").arg(server.socketFolder(), PostgresServer::Superuser));
        if (db.open()) {
            QSqlQuery q(db);
            present = q.exec(QStringLiteral("SELECT 1 FROM pg_database WHERE datname = '%1'").arg(TemplateName)) && q.next();
        }
        db.close();
    }
    QSqlDatabase::removeDatabase(probe);
    if (present)
        return true;
    if (!server.run(QStringLiteral("postgres"), {QStringLiteral("CREATE DATABASE %1").arg(TemplateName)}))
        return false;
    try {
        DatabaseFactory::createEmpty(server.url(TemplateName));
    } catch (const DataError &e) {
        qWarning("%s", e.what());
        return false;
    }
    return true;
}

} // namespace

bool TestDatabase::serverRun()
{
    return qEnvironmentVariable("HOTEL_TEST_DATABASE") == u"postgresql";
}

PostgresServer *TestDatabase::server()
{
    static std::unique_ptr<PostgresServer> instance;
    static bool tried = false;
    if (tried)
        return instance.get();
    tried = true;
    const QString shared = qEnvironmentVariable("HOTEL_TEST_POSTGRESQL");
    if (!shared.isEmpty()) {
        instance = std::make_unique<PostgresServer>(shared);
    } else {
        // A folder of this process's own; the socket's path must stay short.
        static QTemporaryDir dir(QStringLiteral("/tmp/hotel-pg-XXXXXX"));
        instance = std::make_unique<PostgresServer>(dir.path());
        if (!instance->start()) {
            qWarning("The tests' PostgreSQL server did not start: %s", qPrintable(instance->error()));
            instance.reset();
            return nullptr;
        }
    }
    if (!ensureTemplate(*instance)) {
        qWarning("The tests' template database could not be made: %s", qPrintable(instance->error()));
        instance.reset();
    }
    return instance.get();
}

// Memory-backed when the machine has it: the files behave the same, but writes
// do not wait for a disk.
QString TestDatabase::tempTemplate()
{
    if (QFileInfo(QStringLiteral("/dev/shm")).isWritable())
        return QStringLiteral("/dev/shm/hotel-test-XXXXXX");
    return QDir::tempPath() + QStringLiteral("/hotel-test-XXXXXX");
}

TestDatabase::TestDatabase(Kind kind)
    : m_dir(tempTemplate()), m_connection(QStringLiteral("test-") + QUuid::createUuid().toString(QUuid::WithoutBraces)),
      m_server(kind == Kind::Server || (kind == Kind::OfThisRun && serverRun()))
{
    if (!m_dir.isValid())
        return;
    if (m_server) {
        PostgresServer *s = server();
        if (!s)
            return;
        static QAtomicInt counter;
        m_name = QStringLiteral("hotel_test_%1_%2").arg(getpid()).arg(counter.fetchAndAddRelaxed(1));
        // A copy of the files of the template: much faster than making the
        // tables one by one.
        if (!s->run(QStringLiteral("postgres"), {QStringLiteral("CREATE DATABASE %1 TEMPLATE %2 STRATEGY FILE_COPY")
                                                      .arg(m_name, TemplateName)})) {
            qWarning("%s", qPrintable(s->error()));
            return;
        }
    } else {
        try {
            DatabaseFactory::createEmpty(path());
        } catch (const DataError &e) {
            qWarning("%s", e.what());
            return;
        }
    }
    m_valid = connection().isOpen();
}

TestDatabase::~TestDatabase()
{
    {
        QSqlDatabase db = QSqlDatabase::database(m_connection, false);
        db.close();
    }
    QSqlDatabase::removeDatabase(m_connection);
    if (m_server && !m_name.isEmpty())
        if (PostgresServer *s = server())
            s->run(QStringLiteral("postgres"), {QStringLiteral("DROP DATABASE IF EXISTS %1 WITH (FORCE)").arg(m_name)});
}

QSqlDatabase TestDatabase::connection()
{
    if (!QSqlDatabase::contains(m_connection)) {
        QSqlDatabase db = QSqlDatabase::addDatabase(m_server ? QStringLiteral("QPSQL") : QStringLiteral("QSQLITE"),
                                                    m_connection);
        if (m_server) {
            db.setConnectOptions(QStringLiteral("host=%1 dbname=%2 user=%3")
                                     .arg(server()->socketFolder(), m_name, PostgresServer::Superuser));
        } else {
            db.setDatabaseName(path());
            db.setConnectOptions(QStringLiteral("QSQLITE_BUSY_TIMEOUT=10000"));
        }
    }
    QSqlDatabase db = QSqlDatabase::database(m_connection, false);
    if (!db.isOpen() && db.open() && !m_server)
        QSqlQuery(db).exec(QStringLiteral("PRAGMA foreign_keys = ON"));
    return db;
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
    return m_server ? QString() : m_dir.filePath(QStringLiteral("Hotel.db"));
}

QString TestDatabase::target() const
{
    return m_server ? server()->url(m_name) : folder();
}

qint64 TestDatabase::exec(const QString &sql, const QVariantList &values)
{
    QString statement = sql;
    // The server names no "last row made": the statement says which key it made.
    static const QRegularExpression insert(QStringLiteral("^\\s*INSERT\\s+INTO\\s+(\\w+)"),
                                           QRegularExpression::CaseInsensitiveOption);
    const QRegularExpressionMatch m = insert.match(sql);
    const Schema::Table *table = m.hasMatch() ? Schema::table(m.captured(1)) : nullptr;
    const bool returning = m_server && table && !sql.contains(QStringLiteral("RETURNING"), Qt::CaseInsensitive);
    if (returning)
        statement += QStringLiteral(" RETURNING ") + table->key().name;
    QSqlQuery q(connection());
    // Settings of the connection cannot be prepared on the server.
    if (values.isEmpty()) {
        if (!q.exec(statement)) {
            QTest::qFail(qPrintable(QStringLiteral("exec failed: %1: %2").arg(sql, q.lastError().text())), __FILE__, __LINE__);
            return -1;
        }
    } else if (!q.prepare(statement)) {
        QTest::qFail(qPrintable(QStringLiteral("prepare failed: %1: %2").arg(sql, q.lastError().text())), __FILE__, __LINE__);
        return -1;
    }
    for (const QVariant &v : values)
        q.addBindValue(v);
    if (!values.isEmpty() && !q.exec()) {
        QTest::qFail(qPrintable(QStringLiteral("exec failed: %1: %2").arg(sql, q.lastError().text())), __FILE__, __LINE__);
        return -1;
    }
    if (returning)
        return q.next() ? q.value(0).toLongLong() : -1;
    if (m_server)
        return q.numRowsAffected();
    return q.lastInsertId().isValid() ? q.lastInsertId().toLongLong() : q.numRowsAffected();
}

qint64 TestDatabase::execUnrelated(const QString &sql, const QVariantList &values)
{
    // The server checks relations by triggers, which a replica's session skips.
    const QString off = m_server ? QStringLiteral("SET session_replication_role = replica")
                                 : QStringLiteral("PRAGMA foreign_keys = OFF");
    const QString on = m_server ? QStringLiteral("SET session_replication_role = DEFAULT")
                                : QStringLiteral("PRAGMA foreign_keys = ON");
    exec(off);
    const qint64 result = exec(sql, values);
    exec(on);
    return result;
}

QVariantList TestDatabase::column(const QString &sql, const QVariantList &values)
{
    QVariantList out;
    for (const QVariantList &row : rows(sql, values))
        out << row.value(0);
    return out;
}

QList<QVariantList> TestDatabase::rows(const QString &sql, const QVariantList &values)
{
    QSqlQuery q(connection());
    q.setForwardOnly(true);
    q.prepare(sql);
    for (const QVariant &v : values)
        q.addBindValue(v);
    QList<QVariantList> out;
    if (!q.exec())
        return out;
    const Engine &engine = m_server ? Engine::postgresql() : Engine::sqlite();
    while (q.next()) {
        QVariantList row;
        for (int i = 0, n = q.record().count(); i < n; ++i)
            row << engine.value(q, i);
        out << row;
    }
    return out;
}

QVariant TestDatabase::scalar(const QString &sql, const QVariantList &values)
{
    QSqlQuery q(connection());
    q.prepare(sql);
    for (const QVariant &v : values)
        q.addBindValue(v);
    if (!q.exec() || !q.next())
        return QVariant();
    // Date-times read as the file holds them: canonical text.
    return m_server ? Engine::postgresql().value(q, 0) : q.value(0);
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

#include "DataError.h"
#include "DatabaseFactory.h"
#include "DateTimes.h"
#include "Money.h"

#include <QCryptographicHash>
#include <QDir>
#include <QImage>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QTemporaryDir>
#include <QTest>
#include <QUuid>

#include <functional>

namespace {

// A read connection to a finished file, closed with the object.
class Reader
{
public:
    explicit Reader(const QString &path)
        : m_name(QStringLiteral("read-") + QUuid::createUuid().toString(QUuid::WithoutBraces))
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), m_name);
        db.setDatabaseName(path);
        db.setConnectOptions(QStringLiteral("QSQLITE_OPEN_READONLY"));
        m_open = db.open();
    }
    ~Reader()
    {
        QSqlDatabase::database(m_name, false).close();
        QSqlDatabase::removeDatabase(m_name);
    }

    bool isOpen() const { return m_open; }

    QSqlQuery query(const QString &sql, const QVariantList &values = {}) const
    {
        QSqlQuery q(QSqlDatabase::database(m_name, false));
        q.setForwardOnly(true);
        if (!q.prepare(sql))
            qWarning("prepare failed: %s: %s", qPrintable(sql), qPrintable(q.lastError().text()));
        for (const QVariant &v : values)
            q.addBindValue(v);
        if (!q.exec())
            qWarning("exec failed: %s: %s", qPrintable(sql), qPrintable(q.lastError().text()));
        return q;
    }

    QVariant scalar(const QString &sql, const QVariantList &values = {}) const
    {
        QSqlQuery q = query(sql, values);
        return q.next() ? q.value(0) : QVariant();
    }

    qint64 count(const QString &table) const
    {
        return scalar(QStringLiteral("SELECT COUNT(*) FROM ") + table).toLongLong();
    }

    // A hash of every value of every table, in key order.
    QByteArray digest() const
    {
        QCryptographicHash hash(QCryptographicHash::Sha256);
        for (const char *table : {"TiposDeHabitacion", "Habitaciones", "Servicios", "Huespedes", "Estadias",
                                  "ConsumoDeServicios"}) {
            QSqlQuery q = query(QStringLiteral("SELECT * FROM %1 ORDER BY 1").arg(QLatin1String(table)));
            while (q.next()) {
                for (int i = 0; i < q.record().count(); ++i) {
                    hash.addData(q.value(i).toByteArray());
                    hash.addData(QByteArrayView("\x1f", 1));
                }
            }
        }
        return hash.result();
    }

private:
    QString m_name;
    bool m_open = false;
};

const QString Tables[] = {QStringLiteral("TiposDeHabitacion"), QStringLiteral("Habitaciones"),
                          QStringLiteral("Servicios"),         QStringLiteral("Huespedes"),
                          QStringLiteral("Estadias"),          QStringLiteral("ConsumoDeServicios")};

// Stays that share a day (both ends count) with an earlier-starting stay of the
// same room: ordered by check-in, a stay overlaps one before it exactly when it
// begins on or before the latest check-out so far. One pass, where comparing
// every pair would take minutes on the large file.
const QString OverlapQuery = QStringLiteral(
    "SELECT COUNT(*) FROM (SELECT FechaIngreso, MAX(FechaEgreso) OVER ("
    "   PARTITION BY IdHabitacion ORDER BY FechaIngreso, IdEstadia"
    "   ROWS BETWEEN UNBOUNDED PRECEDING AND 1 PRECEDING) AS EgresoPrevio"
    " FROM Estadias WHERE Estado <> 'Finalizada')"
    " WHERE EgresoPrevio >= FechaIngreso");

using Creator = std::function<void(const QString &path)>;

} // namespace

Q_DECLARE_METATYPE(Creator)
Q_DECLARE_METATYPE(DatabaseFactory::LargeOptions)

class TestDatabaseFactory : public QObject
{
    Q_OBJECT

private:
    // The checks every generated file must pass; `today` is the day it was anchored to.
    void verifyHotel(const Reader &db, QDate today);

private slots:
    void refusesExistingFile_data();
    void refusesExistingFile();
    void demo_data();
    void demo();
    void demoIsRepeatable();
    void large();
    void largeRefusesBadOptions_data();
    void largeRefusesBadOptions();
};

void TestDatabaseFactory::verifyHotel(const Reader &db, QDate today)
{
    QCOMPARE(db.scalar(QStringLiteral("PRAGMA integrity_check")).toString(), QStringLiteral("ok"));
    QVERIFY2(!db.query(QStringLiteral("PRAGMA foreign_key_check")).next(), "a reference points at no row");
    QCOMPARE(db.scalar(OverlapQuery).toLongLong(), 0);

    const QStringList states{QStringLiteral("Reservada"), QStringLiteral("Ocupada"), QStringLiteral("Facturada")};
    for (const QString &state : states)
        QVERIFY2(db.scalar(QStringLiteral("SELECT COUNT(*) FROM Estadias WHERE Estado = ?"), {state}).toLongLong() > 0,
                 qPrintable(state));

    // Every stay priced from its room's type, its state matching its days.
    QSqlQuery stays = db.query(QStringLiteral(
        "SELECT e.IdEstadia, e.FechaIngreso, e.FechaEgreso, e.Estado, e.Dias, e.PrecioDiario, e.PrecioFinal, t.Precio"
        " FROM Estadias e JOIN Habitaciones h ON h.idHabitacion = e.IdHabitacion"
        " JOIN TiposDeHabitacion t ON t.IdTipo = h.IdTipo"));
    int seen = 0;
    while (stays.next()) {
        ++seen;
        const QString id = stays.value(0).toString();
        const auto in = DateTimes::fromCanonical(stays.value(1).toString());
        const auto out = DateTimes::fromCanonical(stays.value(2).toString());
        QVERIFY2(in && out, qPrintable(id));
        const QDate first = in->date(), last = out->date();
        const QString state = stays.value(3).toString();
        const qint64 days = stays.value(4).toLongLong();
        const Money daily = Money::fromRaw(stays.value(5).toLongLong());
        QCOMPARE(days, first.daysTo(last) + 1);
        QCOMPARE(daily, Money::fromRaw(stays.value(7).toLongLong()).rounded(2));
        QCOMPARE(Money::fromRaw(stays.value(6).toLongLong()), daily * days);
        if (state == states[0])
            QVERIFY2(first > today, qPrintable(id));
        else if (state == states[1])
            QVERIFY2(first <= today && today <= last, qPrintable(id));
        else
            QVERIFY2(state == states[2] && last < today, qPrintable(id));
    }
    QCOMPARE(seen, db.count(QStringLiteral("Estadias")));

    // Consumptions belong to begun stays, at the service's price, within the
    // stay's days and not after today.
    QCOMPARE(db.scalar(QStringLiteral(
                           "SELECT COUNT(*) FROM ConsumoDeServicios c"
                           " JOIN Estadias e ON e.IdEstadia = c.IdEstadia"
                           " JOIN Servicios s ON s.IdServicio = c.IdServicio"
                           " WHERE e.Estado NOT IN ('Ocupada', 'Facturada') OR c.Precio <> s.Precio"
                           " OR c.Cantidad < 1 OR c.FechaHora < e.FechaIngreso"
                           " OR c.FechaHora >= datetime(e.FechaEgreso, '+1 day')"
                           " OR c.FechaHora >= datetime(?, '+1 day')"),
                       {DateTimes::toCanonical(today)})
                 .toLongLong(),
             0);

    QCOMPARE(db.scalar(QStringLiteral("SELECT COUNT(DISTINCT Vista) FROM Habitaciones"
                                      " WHERE Vista IN ('Mar', 'Ciudad', 'Interior')"))
                 .toInt(),
             3);
    QCOMPARE(db.scalar(QStringLiteral("SELECT COUNT(*) FROM Habitaciones WHERE Piso NOT BETWEEN 1 AND 3")).toInt(), 0);
    QCOMPARE(db.scalar(QStringLiteral("SELECT COUNT(*) FROM Huespedes WHERE DNI NOT GLOB "
                                      "'[1-9][0-9][0-9][0-9][0-9][0-9][0-9][0-9]'"
                                      " OR Nombre = '' OR Domicilio = '' OR Telefono = '' OR EMail NOT LIKE '_%@_%.__%'"))
                 .toInt(),
             0);
    QCOMPARE(db.scalar(QStringLiteral("SELECT COUNT(DISTINCT DNI) FROM Huespedes")).toLongLong(),
             db.count(QStringLiteral("Huespedes")));

    QSqlQuery photos = db.query(QStringLiteral("SELECT Nombre, Foto FROM TiposDeHabitacion"));
    while (photos.next()) {
        const QByteArray bytes = photos.value(1).toByteArray();
        QVERIFY2(bytes.startsWith("BM"), qPrintable(photos.value(0).toString()));
        QVERIFY2(!QImage::fromData(bytes, "BMP").isNull(), qPrintable(photos.value(0).toString()));
    }
}

void TestDatabaseFactory::refusesExistingFile_data()
{
    QTest::addColumn<Creator>("create");
    QTest::newRow("empty") << Creator([](const QString &path) { DatabaseFactory::createEmpty(path); });
    QTest::newRow("demo") << Creator([](const QString &path) { DatabaseFactory::createDemo(path, QDate(2024, 6, 12)); });
    QTest::newRow("large") << Creator([](const QString &path) {
        DatabaseFactory::LargeOptions options;
        options.scale = 0.01;
        DatabaseFactory::createLarge(path, options);
    });
}

void TestDatabaseFactory::refusesExistingFile()
{
    QFETCH(Creator, create);
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString path = dir.filePath(QStringLiteral("Hotel.db"));
    const QByteArray original("someone's data, not to be lost\n");
    {
        QFile f(path);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(original);
    }
    QVERIFY_THROWS_EXCEPTION(DataError, create(path));
    QFile f(path);
    QVERIFY(f.open(QIODevice::ReadOnly));
    QCOMPARE(f.readAll(), original);
    QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList{QStringLiteral("Hotel.db")});
}

void TestDatabaseFactory::demo_data()
{
    QTest::addColumn<QDate>("today");
    QTest::newRow("mid-year") << QDate(2024, 6, 12);
    QTest::newRow("leap day") << QDate(2024, 2, 29);
    QTest::newRow("new year's eve") << QDate(2025, 12, 31);
}

void TestDatabaseFactory::demo()
{
    QFETCH(QDate, today);
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString path = dir.filePath(QStringLiteral("Hotel.db"));
    const DatabaseFactory::Counts counts = DatabaseFactory::createDemo(path, today);
    // One finished file, nothing left beside it.
    QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList{QStringLiteral("Hotel.db")});

    Reader db(path);
    QVERIFY(db.isOpen());
    verifyHotel(db, today);
    if (QTest::currentTestFailed())
        return;

    const qint64 rows[] = {counts.roomTypes, counts.rooms, counts.services, counts.guests, counts.stays,
                           counts.consumptions};
    const qint64 low[] = {4, 18, 8, 25, 40, 40};
    const qint64 high[] = {5, 22, 12, 35, 300, 1500};
    for (int i = 0; i < 6; ++i) {
        QCOMPARE(db.count(Tables[i]), rows[i]);
        QVERIFY2(rows[i] >= low[i] && rows[i] <= high[i], qPrintable(Tables[i] + u' ' + QString::number(rows[i])));
    }
    QCOMPARE(db.scalar(QStringLiteral("SELECT COUNT(*) FROM TiposDeHabitacion t WHERE NOT EXISTS"
                                      " (SELECT 1 FROM Habitaciones h WHERE h.IdTipo = t.IdTipo)"))
                 .toInt(),
             0);
    // One to five consumptions on every begun stay.
    QSqlQuery perStay = db.query(QStringLiteral(
        "SELECT MIN(n), MAX(n) FROM (SELECT COUNT(c.IdConsumo) AS n FROM Estadias e"
        " LEFT JOIN ConsumoDeServicios c ON c.IdEstadia = e.IdEstadia"
        " WHERE e.Estado IN ('Ocupada', 'Facturada') GROUP BY e.IdEstadia)"));
    QVERIFY(perStay.next());
    QVERIFY2(perStay.value(0).toInt() >= 1, "a begun stay without consumptions");
    QVERIFY2(perStay.value(1).toInt() <= 5, "a stay with more than five consumptions");
}

void TestDatabaseFactory::demoIsRepeatable()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QDate today(2024, 6, 12);
    const QString first = dir.filePath(QStringLiteral("a.db"));
    const QString second = dir.filePath(QStringLiteral("b.db"));
    const QString later = dir.filePath(QStringLiteral("c.db"));
    DatabaseFactory::createDemo(first, today);
    DatabaseFactory::createDemo(second, today);
    DatabaseFactory::createDemo(later, today.addDays(1));
    QCOMPARE(Reader(first).digest(), Reader(second).digest());
    // Another day moves the stays with it.
    QVERIFY(Reader(first).digest() != Reader(later).digest());
}

void TestDatabaseFactory::large()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    DatabaseFactory::LargeOptions options;
    options.today = QDate(2024, 3, 1);
    options.seed = 7;
    options.scale = 0.05;
    const int rooms = 10, guests = 2500, stays = 10000, consumptions = 30000;

    const QString path = dir.filePath(QStringLiteral("large.db"));
    const DatabaseFactory::Counts counts = DatabaseFactory::createLarge(path, options);
    Reader db(path);
    QVERIFY(db.isOpen());
    verifyHotel(db, options.today);
    if (QTest::currentTestFailed())
        return;
    QCOMPARE(db.count(QStringLiteral("Habitaciones")), rooms);
    QCOMPARE(db.count(QStringLiteral("Huespedes")), guests);
    QCOMPARE(db.count(QStringLiteral("Estadias")), counts.stays);
    QCOMPARE(db.count(QStringLiteral("ConsumoDeServicios")), counts.consumptions);
    QVERIFY2(qAbs(counts.stays - stays) <= stays / 20, qPrintable(QString::number(counts.stays)));
    QVERIFY2(qAbs(counts.consumptions - consumptions) <= consumptions / 20, qPrintable(QString::number(counts.consumptions)));

    // Ten years back from today, reservations up to three months ahead.
    const auto dayOf = [&](const char *sql) {
        return DateTimes::fromCanonical(db.scalar(QString::fromLatin1(sql)).toString()).value_or(QDateTime()).date();
    };
    const QDate earliest = dayOf("SELECT MIN(FechaIngreso) FROM Estadias");
    const QDate latest = dayOf("SELECT MAX(FechaIngreso) FROM Estadias");
    QVERIFY2(earliest >= options.today.addYears(-10) && earliest <= options.today.addYears(-10).addDays(30),
             qPrintable(earliest.toString(Qt::ISODate)));
    QVERIFY2(latest > options.today && latest <= options.today.addDays(90), qPrintable(latest.toString(Qt::ISODate)));

    const qint64 common = db.scalar(QStringLiteral("SELECT COUNT(*) FROM Huespedes WHERE Nombre LIKE ?"),
                                    {u'%' + DatabaseFactory::commonSurname() + u'%'})
                              .toLongLong();
    QVERIFY2(common >= guests / 12 && common <= guests / 6, qPrintable(QString::number(common)));

    // The same seed gives the same rows, another seed other rows.
    const QString again = dir.filePath(QStringLiteral("again.db"));
    DatabaseFactory::createLarge(again, options);
    QCOMPARE(Reader(again).digest(), db.digest());
    options.seed = 8;
    const QString other = dir.filePath(QStringLiteral("other.db"));
    DatabaseFactory::createLarge(other, options);
    QVERIFY(Reader(other).digest() != db.digest());
}

void TestDatabaseFactory::largeRefusesBadOptions_data()
{
    QTest::addColumn<DatabaseFactory::LargeOptions>("options");
    DatabaseFactory::LargeOptions o;
    o.scale = 0;
    QTest::newRow("scale zero") << o;
    o.scale = -0.5;
    QTest::newRow("negative scale") << o;
    o = {};
    o.rooms = 0;
    QTest::newRow("no rooms") << o;
    o = {};
    o.guests = 0;
    QTest::newRow("no guests") << o;
    o = {};
    o.stays = -1;
    QTest::newRow("negative stays") << o;
    o = {};
    o.years = 0;
    QTest::newRow("no years") << o;
}

void TestDatabaseFactory::largeRefusesBadOptions()
{
    QFETCH(DatabaseFactory::LargeOptions, options);
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString path = dir.filePath(QStringLiteral("Hotel.db"));
    QVERIFY_THROWS_EXCEPTION(DataError, DatabaseFactory::createLarge(path, options));
    QVERIFY(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden).isEmpty());
}

// Without a GUI application, like the command-line tool: drawing the photos
// must not need one.
QTEST_GUILESS_MAIN(TestDatabaseFactory)
#include "tst_databasefactory.moc"

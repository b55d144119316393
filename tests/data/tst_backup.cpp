#include "Backup.h"
#include "DataError.h"
#include "Database.h"
#include "TestDatabase.h"
#include "TestSupport.h"
#include "../reliability/Unprivileged.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QSet>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QTest>
#include <QUuid>

#include <csignal>
#include <sys/resource.h>
#include <sys/stat.h>

// The day's copy of a database file and the thinning of old copies.
class TestBackup : public QObject
{
    Q_OBJECT

private slots:
    void dayOfCopy_data();
    void dayOfCopy();
    void thinning_data();
    void thinning();
    void dailyCopyIsMadeOnce();
    void thinningRemovesFilesOnDisk();
    void fullAndConsistentWhileAnotherProgramWrites();
    void failedCopyLeavesNothing_data();
    void failedCopyLeavesNothing();
    void damagedDatabaseIsNamed();
};

namespace {

// Days from "2024-01-10..2024-01-12, 2024-03-01": ranges and single days.
QList<QDate> days(const QString &list)
{
    QList<QDate> out;
    for (const QString &part : list.split(u',', Qt::SkipEmptyParts)) {
        const QStringList ends = part.trimmed().split(QStringLiteral(".."));
        const QDate from = QDate::fromString(ends.first(), Qt::ISODate);
        const QDate to = QDate::fromString(ends.last(), Qt::ISODate);
        if (!from.isValid() || !to.isValid() || to < from)
            qFatal("bad days in the test table: %s", qPrintable(part));
        for (QDate d = from; d <= to; d = d.addDays(1))
            out << d;
    }
    return out;
}

QString scalarIn(const QString &path, const QString &sql)
{
    const QString name = QUuid::createUuid().toString();
    QString out;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), name);
        db.setDatabaseName(path);
        db.setConnectOptions(QStringLiteral("QSQLITE_OPEN_READONLY"));
        if (db.open()) {
            QSqlQuery q(db);
            QStringList rows;
            if (q.exec(sql))
                while (q.next())
                    rows << q.value(0).toString();
            out = rows.join(u';');
        }
    }
    QSqlDatabase::removeDatabase(name);
    return out;
}

// The journal mode a file opens in, from its header: 2 means write-ahead log.
int headerVersion(const QString &path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return -1;
    const QByteArray head = f.read(20);
    return head.size() == 20 ? head[18] : -1;
}

QStringList filesIn(const QString &folder)
{
    return QDir(folder).entryList(QDir::Files | QDir::Hidden, QDir::Name);
}

void arrange(TestDatabase &db)
{
    const qint64 type = db.addRoomType(QStringLiteral("Doble"), money("120.5"));
    const qint64 room = db.addRoom(QStringLiteral("101"), type);
    const qint64 guest = db.addGuest(QStringLiteral("Ana Pérez"), QStringLiteral("30111222"));
    const qint64 spa = db.addService(QStringLiteral("Spa"), money("30"));
    const qint64 stay = db.addStay(guest, room, QStringLiteral("2024-05-01"), QStringLiteral("2024-05-03"),
                                   QStringLiteral("Ocupada"));
    db.addConsumption(stay, spa, 2, money("30"), QStringLiteral("2024-05-02 10:00:00"));
}

} // namespace

void TestBackup::dayOfCopy_data()
{
    QTest::addColumn<QString>("database");
    QTest::addColumn<QString>("name");
    QTest::addColumn<QDate>("day");
    QTest::newRow("a copy") << "/x/Hotel.db" << "Hotel-2024-05-01.db" << QDate(2024, 5, 1);
    QTest::newRow("another base name") << "/x/Pruebas.db" << "Pruebas-2023-12-31.db" << QDate(2023, 12, 31);
    QTest::newRow("dots in the base name") << "/x/hotel.2.db" << "hotel.2-2024-02-29.db" << QDate(2024, 2, 29);
    QTest::newRow("another database's copy") << "/x/Hotel.db" << "Pruebas-2024-05-01.db" << QDate();
    QTest::newRow("a day that does not exist") << "/x/Hotel.db" << "Hotel-2023-02-29.db" << QDate();
    QTest::newRow("unfinished") << "/x/Hotel.db" << "Hotel-2024-05-01.db.1a2b.part" << QDate();
    QTest::newRow("a replaced file") << "/x/Hotel.db" << "Hotel-replaced-2024-05-01-101500.db" << QDate();
    QTest::newRow("short day") << "/x/Hotel.db" << "Hotel-2024-5-01.db" << QDate();
    QTest::newRow("signs in the day") << "/x/Hotel.db" << "Hotel-+024-05-01.db" << QDate();
    QTest::newRow("another ending") << "/x/Hotel.db" << "Hotel-2024-05-01.db-wal" << QDate();
}

void TestBackup::dayOfCopy()
{
    QFETCH(QString, database);
    QFETCH(QString, name);
    QFETCH(QDate, day);
    QCOMPARE(Backup::dayOfCopy(database, name), day);
    if (day.isValid())
        QCOMPARE(Backup::copyName(database, day), name);
}

void TestBackup::thinning_data()
{
    QTest::addColumn<QString>("copies");
    QTest::addColumn<QDate>("today");
    QTest::addColumn<QString>("removed");

    QTest::newRow("none") << "" << QDate(2024, 6, 30) << "";
    QTest::newRow("thirty days") << "2024-06-01..2024-06-30" << QDate(2024, 6, 30) << "";
    // The 31st newest is the first copy of its month.
    QTest::newRow("thirty-one days") << "2024-05-31..2024-06-30" << QDate(2024, 6, 30) << "";
    QTest::newRow("forty days") << "2024-01-10..2024-02-18" << QDate(2024, 2, 18) << "2024-01-11..2024-01-19";
    QTest::newRow("two years every day")
        << "2022-07-01..2024-06-30" << QDate(2024, 6, 30)
        << "2022-07-01..2023-06-30, 2023-07-02..2023-07-31, 2023-08-02..2023-08-31, 2023-09-02..2023-09-30,"
           "2023-10-02..2023-10-31, 2023-11-02..2023-11-30, 2023-12-02..2023-12-31, 2024-01-02..2024-01-31,"
           "2024-02-02..2024-02-29, 2024-03-02..2024-03-31, 2024-04-02..2024-04-30, 2024-05-02..2024-05-31";
    // Months without a start of the program take no place among the twelve.
    QTest::newRow("a hotel closed in winter")
        << "2022-11-20..2022-11-30, 2023-04-10..2023-04-12, 2023-05-05, 2023-06-01..2023-06-30, 2024-04-01..2024-04-03"
        << QDate(2024, 4, 3) << "2022-11-21..2022-11-30, 2023-04-11..2023-04-12, 2023-06-02..2023-06-03";
    QTest::newRow("more than twelve months, one copy each")
        << "2023-01-15, 2023-02-15, 2023-03-15, 2023-04-15, 2023-05-15, 2023-06-15, 2023-07-15, 2023-08-15,"
           "2023-09-15, 2023-10-15, 2023-11-15, 2023-12-15, 2024-01-15, 2024-02-15"
        << QDate(2024, 2, 20) << "";
    QTest::newRow("more than thirty, over more than twelve months")
        << "2023-01-15, 2023-01-20, 2023-02-15..2023-02-16, 2023-03-15..2023-03-16, 2023-04-15..2023-04-16,"
           "2023-05-15..2023-05-16, 2023-06-15..2023-06-16, 2023-07-15..2023-07-16, 2023-08-15..2023-08-16,"
           "2023-09-15..2023-09-16, 2023-10-15..2023-10-16, 2023-11-15..2023-11-16, 2023-12-15..2023-12-16,"
           "2024-01-15..2024-01-16, 2024-02-15..2024-02-16, 2024-03-15..2024-03-16, 2024-04-01..2024-04-16"
        << QDate(2024, 4, 16)
        << "2023-01-15, 2023-01-20, 2023-02-15..2023-02-16, 2023-03-15..2023-03-16, 2023-04-15..2023-04-16,"
           "2023-05-16, 2023-06-16, 2023-07-16, 2023-08-16";
    // The clock was put back: a copy of a later day is left alone.
    QTest::newRow("a copy dated after today") << "2024-02-10..2024-03-15, 2030-01-01" << QDate(2024, 3, 15)
                                              << "2024-02-11..2024-02-14";
}

void TestBackup::thinning()
{
    QFETCH(QString, copies);
    QFETCH(QDate, today);
    QFETCH(QString, removed);
    QList<QDate> given = days(copies);
    // The order the folder lists them in does not matter.
    std::reverse(given.begin(), given.end());
    QCOMPARE(Backup::toRemove(given, today), days(removed));
}

void TestBackup::dailyCopyIsMadeOnce()
{
    TestDatabase data;
    QVERIFY(data.isValid());
    arrange(data);
    Database db(QStringLiteral("backup-once"));
    db.open(data.path());

    const QDate day(2024, 5, 2);
    const QString copy = QDir(data.folder()).filePath(QStringLiteral("copias/Hotel-2024-05-02.db"));
    QCOMPARE(Backup::makeDailyCopy(db, day), Backup::DailyOutcome::Made);
    QCOMPARE(filesIn(Backup::folderOf(data.path())), QStringList{QStringLiteral("Hotel-2024-05-02.db")});
    QCOMPARE(rowsOfFile(copy), rowsOfFile(data.path()));
    QVERIFY(rowsOfFile(copy).size() >= 6);
    QCOMPARE(scalarIn(copy, QStringLiteral("PRAGMA integrity_check")), QStringLiteral("ok"));
    // A single file, readable without its working files.
    QCOMPARE(headerVersion(copy), 1);

    // The second start of the day copies nothing, even after a change.
    data.addGuest(QStringLiteral("Luis Gómez"));
    const QDateTime written = QFileInfo(copy).lastModified();
    const QStringList before = rowsOfFile(copy);
    QCOMPARE(Backup::makeDailyCopy(db, day), Backup::DailyOutcome::AlreadyThere);
    QCOMPARE(rowsOfFile(copy), before);
    QCOMPARE(QFileInfo(copy).lastModified(), written);

    // The next day's copy has the change.
    QCOMPARE(Backup::makeDailyCopy(db, day.addDays(1)), Backup::DailyOutcome::Made);
    const QString next = QDir(data.folder()).filePath(QStringLiteral("copias/Hotel-2024-05-03.db"));
    QCOMPARE(rowsOfFile(next), rowsOfFile(data.path()));
    QVERIFY(rowsOfFile(next) != before);
}

void TestBackup::thinningRemovesFilesOnDisk()
{
    TestDatabase data;
    QVERIFY(data.isValid());
    Database db(QStringLiteral("backup-thin"));
    db.open(data.path());
    const QString folder = Backup::folderOf(data.path());
    QVERIFY(QDir().mkpath(folder));
    const QStringList others{QStringLiteral("Hotel-replaced-2024-01-01-101010.db"), QStringLiteral("Otro-2023-01-01.db"),
                             QStringLiteral("notas.txt")};
    for (const QString &name : others) {
        QFile f(QDir(folder).filePath(name));
        QVERIFY(f.open(QIODevice::WriteOnly));
    }
    for (const QDate &d : days(QStringLiteral("2024-01-10..2024-02-17"))) {
        QFile f(QDir(folder).filePath(Backup::copyName(data.path(), d)));
        QVERIFY(f.open(QIODevice::WriteOnly));
    }
    // Left by a copy that never finished, on an earlier day.
    QFile part(QDir(folder).filePath(QStringLiteral("Hotel-2024-02-17.db.7f3a.part")));
    QVERIFY(part.open(QIODevice::WriteOnly));
    part.close();

    QCOMPARE(Backup::makeDailyCopy(db, QDate(2024, 2, 18)), Backup::DailyOutcome::Made);
    QStringList expected = others;
    for (const QDate &d : days(QStringLiteral("2024-01-10, 2024-01-20..2024-02-18")))
        expected << Backup::copyName(data.path(), d);
    expected.sort();
    QCOMPARE(filesIn(folder), expected);
}

void TestBackup::fullAndConsistentWhileAnotherProgramWrites()
{
    TestDatabase data;
    QVERIFY(data.isValid());
    const qint64 type = data.addRoomType(QStringLiteral("Simple"), money("80"));
    const qint64 room = data.addRoom(QStringLiteral("7"), type);
    const qint64 guest = data.addGuest(QStringLiteral("Eva"));
    const qint64 service = data.addService(QStringLiteral("Bar"), money("5"));
    data.closeConnection();

    QProcess writer;
    writer.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    writer.start(QStringLiteral(HOTEL_STRESS_WRITER), {data.folder(), QStringLiteral("7"), QString::number(guest),
                                                       QString::number(room), QString::number(service)});
    QVERIFY(writer.waitForStarted());
    struct Stop
    {
        QProcess &p;
        ~Stop()
        {
            p.kill();
            p.waitForFinished();
        }
    } stop{writer};

    // What the writer says it has done, read up to a moment.
    QStringList said;
    const auto readSaid = [&] {
        writer.waitForReadyRead(50);
        while (writer.canReadLine())
            said << QString::fromUtf8(writer.readLine()).trimmed();
    };
    while (said.size() < 200 && writer.state() == QProcess::Running)
        readSaid();
    QVERIFY2(said.size() >= 200, "the other program did not write");

    Database db(QStringLiteral("backup-busy"));
    db.open(data.path());
    for (int round = 0; round < 5; ++round) {
        readSaid();
        const QStringList before = said;
        const QDate day = QDate(2024, 1, 1).addDays(round);
        QCOMPARE(Backup::makeDailyCopy(db, day), Backup::DailyOutcome::Made);
        readSaid();
        const QString copy = QDir(Backup::folderOf(data.path())).filePath(Backup::copyName(data.path(), day));
        QCOMPARE(scalarIn(copy, QStringLiteral("PRAGMA integrity_check")), QStringLiteral("ok"));
        QCOMPARE(scalarIn(copy, QStringLiteral("PRAGMA foreign_key_check")), QString());

        // Deletions that began before the copy ended may or may not be in it.
        QSet<QString> deleting;
        for (const QString &line : std::as_const(said))
            if (line.startsWith(u"d "))
                deleting << line.section(u' ', 1, 1);
        // Everything the writer had finished before the copy began is in it.
        QHash<QString, int> consumptions;
        QStringList stays;
        for (const QString &line : before) {
            const QStringList f = line.split(u' ');
            if (f[0] == u"S" && !deleting.contains(f[1]))
                stays << f[1];
            else if (f[0] == u"C" && !deleting.contains(f[2]))
                ++consumptions[f[2]];
        }
        QVERIFY(!stays.isEmpty());
        for (const QString &stay : std::as_const(stays)) {
            const QString found = scalarIn(copy, QStringLiteral("SELECT count(*) FROM Estadias WHERE IdEstadia = %1").arg(stay));
            QVERIFY2(found == u"1", qPrintable(QStringLiteral("stay %1 missing from the copy").arg(stay)));
            const QString used = scalarIn(
                copy, QStringLiteral("SELECT count(*) FROM ConsumoDeServicios WHERE IdEstadia = %1").arg(stay));
            QVERIFY2(used.toInt() >= consumptions.value(stay), qPrintable(stay));
        }
        // A stay whose deletion began before the copy is there whole or not at
        // all: its consumptions go in the same transaction.
        QSet<QString> deletingBefore;
        for (const QString &line : before)
            if (line.startsWith(u"d "))
                deletingBefore << line.section(u' ', 1, 1);
        QVERIFY(!deletingBefore.isEmpty());
        for (const QString &stay : std::as_const(deletingBefore)) {
            int posted = 0;
            for (const QString &line : std::as_const(said))
                posted += line.startsWith(u"C ") && line.section(u' ', 2, 2) == stay;
            const bool there =
                scalarIn(copy, QStringLiteral("SELECT count(*) FROM Estadias WHERE IdEstadia = %1").arg(stay)) == u"1";
            const int used =
                scalarIn(copy, QStringLiteral("SELECT count(*) FROM ConsumoDeServicios WHERE IdEstadia = %1").arg(stay))
                    .toInt();
            QCOMPARE(used, there ? posted : 0);
        }
        // Every price in the copy agrees with its days: each re-pricing is whole.
        QCOMPARE(scalarIn(copy, QStringLiteral("SELECT count(*) FROM Estadias WHERE PrecioFinal <> PrecioDiario * Dias")),
                 QStringLiteral("0"));
    }
    QVERIFY(writer.state() == QProcess::Running);
}

void TestBackup::failedCopyLeavesNothing_data()
{
    QTest::addColumn<QString>("fault");
    QTest::addColumn<QString>("message");
    QTest::newRow("disk full") << "disk full" << "could not be written";
    QTest::newRow("read-only folder") << "read-only folder" << "could not be written";
    QTest::newRow("a file where the folder goes") << "file in the way" << "for the copies could not be made";
}

void TestBackup::failedCopyLeavesNothing()
{
    QFETCH(QString, fault);
    QFETCH(QString, message);
    TestDatabase data;
    QVERIFY(data.isValid());
    arrange(data);
    const QStringList original = rowsOfFile(data.path());
    Database db(QStringLiteral("backup-fault"));
    db.open(data.path());
    const QString folder = Backup::folderOf(data.path());
    const QDate day(2024, 5, 2);

    QString error;
    {
        rlimit limit{};
        getrlimit(RLIMIT_FSIZE, &limit);
        std::unique_ptr<Unprivileged> nobody;
        if (fault == u"disk full") {
            QVERIFY(QDir().mkpath(folder));
            std::signal(SIGXFSZ, SIG_IGN);
            rlimit tiny = limit;
            tiny.rlim_cur = 4096;
            QVERIFY(setrlimit(RLIMIT_FSIZE, &tiny) == 0);
        } else if (fault == u"read-only folder") {
            QVERIFY(QDir().mkpath(folder));
            QVERIFY(Unprivileged::setMode(data.folder(), 0755));
            QVERIFY(Unprivileged::setMode(folder, 0555));
            nobody = std::make_unique<Unprivileged>();
            QVERIFY(nobody->isValid());
        } else {
            QFile f(folder);
            QVERIFY(f.open(QIODevice::WriteOnly));
        }
        try {
            Backup::makeDailyCopy(db, day);
        } catch (const DataError &e) {
            error = e.message();
        }
        nobody.reset();
        setrlimit(RLIMIT_FSIZE, &limit);
        Unprivileged::setMode(folder, 0755);
    }
    QVERIFY2(error.contains(message), qPrintable(error));
    QVERIFY2(error.contains(QDir::toNativeSeparators(folder)), qPrintable(error));
    if (QFileInfo(folder).isDir())
        QCOMPARE(filesIn(folder), QStringList());
    // The database is untouched and still takes writes.
    QCOMPARE(rowsOfFile(data.path()), original);
    QSqlQuery q = db.prepare(QStringLiteral("INSERT INTO Huespedes (Nombre) VALUES ('Tras el fallo')"),
                             Database::Operation::Insert);
    db.exec(q, Database::Operation::Insert);
    QCOMPARE(rowsOfFile(data.path()).size(), original.size() + 1);

    // Once the fault is gone the day's copy is made.
    if (fault == u"file in the way")
        QVERIFY(QFile::remove(folder));
    QCOMPARE(Backup::makeDailyCopy(db, day), Backup::DailyOutcome::Made);
}

void TestBackup::damagedDatabaseIsNamed()
{
    TestDatabase data;
    QVERIFY(data.isValid());
    arrange(data);
    data.damageAnIndex();

    Database db(QStringLiteral("backup-damaged"));
    db.open(data.path());
    QString error;
    try {
        Backup::makeDailyCopy(db, QDate(2024, 5, 2));
    } catch (const DataError &e) {
        error = e.message();
    }
    const QString expected = QStringLiteral("'%1' is damaged (").arg(QDir::toNativeSeparators(data.path()));
    QVERIFY2(error.startsWith(expected), qPrintable(error));
    QCOMPARE(filesIn(Backup::folderOf(data.path())), QStringList());
}

QTEST_GUILESS_MAIN(TestBackup)
#include "tst_backup.moc"

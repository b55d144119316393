#include "TestDatabase.h"
#include "TestSupport.h"

#include <QProcess>
#include <QRandomGenerator>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTest>
#include <QThread>
#include <QUuid>

#include <map>
#include <set>

// A second program posting stays and consumptions is killed at random moments;
// the file must stay whole and hold every row whose post had returned.
class TestKilledWriter : public QObject
{
    Q_OBJECT

private:
    struct Stay
    {
        int days = 0;
        qint64 final = 0;
    };
    struct Consumption
    {
        qint64 stay = 0;
        int quantity = 0;
        qint64 price = 0;
    };
    // What the writer said, over all its runs.
    struct Log
    {
        std::map<qint64, Stay> stays;
        std::map<qint64, Consumption> consumptions;
        std::set<qint64> deleted;
        qint64 updating = 0; // a re-pricing begun and not reported done
        Stay updatingTo;
        qint64 deleting = 0; // a deletion begun and not reported done
        int lines = 0;
    };

    static void read(Log &log, const QByteArray &output)
    {
        for (const QByteArray &line : output.split('\n')) {
            const QList<QByteArray> w = line.split(' ');
            if (w.isEmpty() || w[0].isEmpty() || w[0] == "ready")
                continue;
            ++log.lines;
            const char kind = w[0][0];
            if (kind == 'S')
                log.stays[w[1].toLongLong()] = {w[2].toInt(), w[3].toLongLong()};
            else if (kind == 'C')
                log.consumptions[w[1].toLongLong()] = {w[2].toLongLong(), w[3].toInt(), w[4].toLongLong()};
            else if (kind == 'u')
                log.updating = w[1].toLongLong();
            else if (kind == 'U') {
                log.stays[w[1].toLongLong()] = {w[2].toInt(), w[3].toLongLong()};
                log.updating = 0;
            } else if (kind == 'd')
                log.deleting = w[1].toLongLong();
            else if (kind == 'D') {
                log.deleted.insert(w[1].toLongLong());
                log.deleting = 0;
            }
        }
    }

    // Checks the file against the log; the operation under way at the kill may
    // have landed or not, but wholly.
    static void verifyFile(const QString &path, Log &log)
    {
        const QString name = QUuid::createUuid().toString();
        {
            QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), name);
            db.setDatabaseName(path);
            QVERIFY(db.open());
            QSqlQuery q(db);
            QVERIFY(q.exec(QStringLiteral("PRAGMA integrity_check")));
            QVERIFY(q.next());
            QCOMPARE(q.value(0).toString(), QStringLiteral("ok"));
            QVERIFY(q.exec(QStringLiteral("PRAGMA foreign_key_check")));
            QVERIFY2(!q.next(), "a row refers to a row that is gone");

            std::map<qint64, Stay> fileStays;
            QVERIFY(q.exec(QStringLiteral("SELECT IdEstadia, Dias, PrecioFinal FROM Estadias")));
            while (q.next())
                fileStays[q.value(0).toLongLong()] = {q.value(1).toInt(), q.value(2).toLongLong()};
            std::map<qint64, Consumption> fileConsumptions;
            QVERIFY(q.exec(QStringLiteral("SELECT IdConsumo, IdEstadia, Cantidad, Precio FROM ConsumoDeServicios")));
            while (q.next())
                fileConsumptions[q.value(0).toLongLong()] = {q.value(1).toLongLong(), q.value(2).toInt(),
                                                             q.value(3).toLongLong()};

            // A deletion under way: the stay and its consumptions are gone together or kept together.
            if (log.deleting) {
                if (!fileStays.count(log.deleting)) {
                    log.deleted.insert(log.deleting);
                    for (const auto &[id, c] : fileConsumptions)
                        QVERIFY2(c.stay != log.deleting, "a deleted stay left consumptions behind");
                }
                log.deleting = 0;
            }
            // A re-pricing under way: the old values or the new ones, never a mix.
            if (log.updating && fileStays.count(log.updating)) {
                const Stay &now = fileStays[log.updating];
                const Stay &before = log.stays[log.updating];
                if (now.days != before.days) {
                    QCOMPARE(now.final, qint64(now.days) * 800000);
                    log.stays[log.updating] = now;
                }
                log.updating = 0;
            }

            int unreported = 0;
            for (const auto &[id, s] : log.stays) {
                if (log.deleted.count(id)) {
                    QVERIFY2(!fileStays.count(id), qPrintable(QStringLiteral("deleted stay %1 is back").arg(id)));
                    continue;
                }
                QVERIFY2(fileStays.count(id), qPrintable(QStringLiteral("posted stay %1 is lost").arg(id)));
                QCOMPARE(fileStays[id].days, s.days);
                QCOMPARE(fileStays[id].final, s.final);
            }
            for (const auto &[id, s] : fileStays)
                if (!log.stays.count(id)) {
                    // Posted at the very moment of the kill: kept from now on.
                    ++unreported;
                    log.stays[id] = s;
                }
            for (const auto &[id, c] : log.consumptions) {
                if (log.deleted.count(c.stay))
                    continue;
                QVERIFY2(fileConsumptions.count(id), qPrintable(QStringLiteral("posted consumption %1 is lost").arg(id)));
                QCOMPARE(fileConsumptions[id].stay, c.stay);
                QCOMPARE(fileConsumptions[id].quantity, c.quantity);
                QCOMPARE(fileConsumptions[id].price, c.price);
            }
            for (const auto &[id, c] : fileConsumptions)
                if (!log.consumptions.count(id)) {
                    ++unreported;
                    log.consumptions[id] = c;
                }
            // Only the one post under way when the writer died may be unreported.
            QVERIFY2(unreported <= 1, qPrintable(QStringLiteral("%1 rows nobody reported").arg(unreported)));
            db.close();
        }
        QSqlDatabase::removeDatabase(name);
    }

private slots:
    void killedAtRandomMoments_data()
    {
        QTest::addColumn<int>("rounds");
        QTest::addColumn<int>("minDelay");
        QTest::addColumn<int>("maxDelay");
        // Delays in ms after the writer is ready: right away, and once it is in full swing.
        QTest::newRow("killed soon after start") << 6 << 0 << 15;
        QTest::newRow("killed while busy") << 8 << 20 << 250;
    }

    void killedAtRandomMoments()
    {
        QFETCH(int, rounds);
        QFETCH(int, minDelay);
        QFETCH(int, maxDelay);
        TestDatabase db;
        QVERIFY(db.isValid());
        const qint64 type = db.addRoomType(QStringLiteral("Doble"), money("80"));
        const qint64 room = db.addRoom(QStringLiteral("101"), type);
        const qint64 guest = db.addGuest(QStringLiteral("Ana"));
        const qint64 service = db.addService(QStringLiteral("Café"), money("2.5"));
        db.closeConnection();

        const quint32 seed = QRandomGenerator::global()->generate();
        qInfo("seed %u", seed);
        QRandomGenerator random(seed);
        Log log;
        for (int round = 0; round < rounds; ++round) {
            QProcess writer;
            writer.setProcessChannelMode(QProcess::SeparateChannels);
            writer.start(QStringLiteral(HOTEL_STRESS_WRITER),
                         {db.folder(), QString::number(random.generate()), QString::number(guest), QString::number(room),
                          QString::number(service)});
            QVERIFY2(writer.waitForStarted(), qPrintable(writer.errorString()));
            QByteArray output;
            while (!output.contains("ready\n")) {
                QVERIFY2(writer.waitForReadyRead(30000), writer.readAllStandardError().constData());
                output += writer.readAllStandardOutput();
            }
            QThread::msleep(random.bounded(minDelay, maxDelay + 1));
            writer.kill();
            QVERIFY(writer.waitForFinished(30000));
            output += writer.readAllStandardOutput();
            // Only the kill ends the writer; an error of its own would end it first.
            QVERIFY2(writer.exitStatus() == QProcess::CrashExit, writer.readAllStandardError().constData());
            read(log, output);
            verifyFile(db.path(), log);
            if (QTest::currentTestFailed())
                return;
        }
        // The writer did get work done between the kills.
        QVERIFY(log.lines > 0);
    }
};

QTEST_GUILESS_MAIN(TestKilledWriter)
#include "tst_killedwriter.moc"

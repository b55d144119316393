#include "DataError.h"
#include "DateTimes.h"
#include "OtherDesk.h"
#include "Regional.h"
#include "TestDatabase.h"
#include "TestSupport.h"
#include "UDM.h"

#include <QSqlQuery>
#include <QTest>

// Two desks on one database: each a data module of its own, with its own
// connection, as two programs on two computers would be.
class TestDesks : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<TestDatabase> m_db;
    qint64 m_room = 0;
    qint64 m_other = 0;
    qint64 m_guest = 0;
    qint64 m_service = 0;

    // Posts a stay through the desk's cursor, in a transaction as the booking
    // dialog does; returns "" when written, else the refusal's reason.
    static QString book(TDM &desk, qint64 guest, qint64 room, QDate from, QDate to,
                        const QString &state = QStringLiteral("Reservada"))
    {
        Cursor &stays = *desk.TEstadias;
        try {
            Database::Transaction transaction(desk.Cnx);
            stays.append();
            stays.setValue(QStringLiteral("IdHuesped"), guest);
            stays.setValue(QStringLiteral("IdHabitacion"), room);
            stays.setValue(QStringLiteral("FechaIngreso"), DateTimes::make(from));
            stays.setValue(QStringLiteral("FechaEgreso"), DateTimes::make(to));
            stays.setValue(QStringLiteral("Estado"), state);
            stays.setValue(QStringLiteral("Dias"), from.daysTo(to) + 1);
            stays.post();
            transaction.commit();
        } catch (const DataError &e) {
            stays.cancel();
            return e.reason() == DataError::Reason::RoomTaken ? QStringLiteral("room taken") : e.message();
        }
        return QString();
    }

    // Statements the desk's connection holds prepared on the server (0 on a file).
    static int preparedStatements(TDM &desk)
    {
        if (!desk.Cnx.engine().isServer())
            return 0;
        QSqlQuery q(desk.Cnx.connection());
        return q.exec(QStringLiteral("SELECT count(*) FROM pg_prepared_statements")) && q.next() ? q.value(0).toInt()
                                                                                              : -1;
    }

    int staysOfRoom(qint64 room)
    {
        return m_db->scalar(QStringLiteral("SELECT count(*) FROM Estadias WHERE IdHabitacion = ?"), {room}).toInt();
    }

    std::unique_ptr<TDM> desk()
    {
        auto dm = std::make_unique<TDM>(m_db->target());
        dm->DataModuleCreate();
        return dm;
    }

private slots:
    void initTestCase() { Regional::setSettings(spanishSettings()); }

    void init()
    {
        m_db = std::make_unique<TestDatabase>();
        QVERIFY(m_db->isValid());
        const qint64 type = m_db->addRoomType(QStringLiteral("Doble"), money("80"));
        m_room = m_db->addRoom(QStringLiteral("101"), type);
        m_other = m_db->addRoom(QStringLiteral("102"), type);
        m_guest = m_db->addGuest(QStringLiteral("Ana"));
        m_service = m_db->addService(QStringLiteral("Spa"), money("30"));
        m_db->addStay(m_guest, m_room, QStringLiteral("2014-05-10"), QStringLiteral("2014-05-15"),
                      QStringLiteral("Ocupada"));
        m_db->addStay(m_guest, m_room, QStringLiteral("2014-06-01"), QStringLiteral("2014-06-05"),
                      QStringLiteral("Finalizada"));
    }

    void cleanup() { m_db.reset(); }

    // The database itself refuses a second stay of a room on a common day,
    // whoever writes it: both ends count, a finished stay takes no day.
    void theDatabaseRefusesOverlaps_data()
    {
        QTest::addColumn<QString>("room"); // "same" or "other"
        QTest::addColumn<QDate>("from");
        QTest::addColumn<QDate>("to");
        QTest::addColumn<QString>("state");
        QTest::addColumn<bool>("written");
        QTest::newRow("inside") << "same" << QDate(2014, 5, 11) << QDate(2014, 5, 12) << "Reservada" << false;
        QTest::newRow("around") << "same" << QDate(2014, 5, 1) << QDate(2014, 5, 30) << "Reservada" << false;
        QTest::newRow("ends on its check-in day") << "same" << QDate(2014, 5, 5) << QDate(2014, 5, 10) << "Ocupada"
                                                  << false;
        QTest::newRow("begins on its check-out day") << "same" << QDate(2014, 5, 15) << QDate(2014, 5, 18)
                                                     << "Reservada" << false;
        QTest::newRow("the day after") << "same" << QDate(2014, 5, 16) << QDate(2014, 5, 18) << "Reservada" << true;
        QTest::newRow("the day before") << "same" << QDate(2014, 5, 1) << QDate(2014, 5, 9) << "Facturada" << true;
        QTest::newRow("over a finished stay") << "same" << QDate(2014, 6, 2) << QDate(2014, 6, 3) << "Reservada"
                                              << true;
        QTest::newRow("a finished stay itself") << "same" << QDate(2014, 5, 11) << QDate(2014, 5, 12)
                                                << "Finalizada" << true;
        QTest::newRow("another room") << "other" << QDate(2014, 5, 11) << QDate(2014, 5, 12) << "Reservada" << true;
    }

    void theDatabaseRefusesOverlaps()
    {
        QFETCH(QString, room);
        QFETCH(QDate, from);
        QFETCH(QDate, to);
        QFETCH(QString, state);
        QFETCH(bool, written);
        auto a = desk();
        const qint64 id = room == u"same" ? m_room : m_other;
        const int before = staysOfRoom(id);
        const int shown = a->TEstadias->recordCount();
        const int prepared = preparedStatements(*a);
        QCOMPARE(book(*a, m_guest, id, from, to, state), written ? QString() : QStringLiteral("room taken"));
        // A refused statement is freed once its transaction ended.
        QCOMPARE(preparedStatements(*a), prepared);
        QCOMPARE(staysOfRoom(id), before + (written ? 1 : 0));
        QCOMPARE(a->TEstadias->recordCount(), shown + (written ? 1 : 0));
        QCOMPARE(a->TEstadias->state(), Cursor::State::Browse);
    }

    // A change of days runs into another stay: refused, the row as it was.
    void movingIntoAnotherStayIsRefused()
    {
        const qint64 later = m_db->addStay(m_guest, m_room, QStringLiteral("2014-05-20"), QStringLiteral("2014-05-22"),
                                           QStringLiteral("Reservada"));
        auto a = desk();
        Cursor &stays = *a->TEstadias;
        QVERIFY(stays.locate(QStringLiteral("IdEstadia"), later));
        stays.edit();
        stays.setValue(QStringLiteral("FechaIngreso"), DateTimes::make(QDate(2014, 5, 14)));
        try {
            stays.post();
            QFAIL("the overlap was written");
        } catch (const DataError &e) {
            QCOMPARE(e.reason(), DataError::Reason::RoomTaken);
        }
        stays.cancel();
        QCOMPARE(m_db->scalar(QStringLiteral("SELECT FechaIngreso FROM Estadias WHERE IdEstadia = ?"), {later}).toString(),
                 QStringLiteral("2014-05-20 00:00:00"));
        // Moving on to the next state keeps the days: allowed.
        stays.edit();
        stays.setValue(QStringLiteral("Estado"), QStringLiteral("Ocupada"));
        stays.post();
        QCOMPARE(m_db->scalar(QStringLiteral("SELECT Estado FROM Estadias WHERE IdEstadia = ?"), {later}).toString(),
                 QStringLiteral("Ocupada"));
    }

    // Both desks found the room free; both write: exactly one stay is stored.
    void bothBookTheSameRoom()
    {
        auto a = desk();
        auto b = desk();
        const QDate from(2014, 7, 1), to(2014, 7, 4);
        QVERIFY(a->roomIsFree(m_room, from, to));
        QVERIFY(b->roomIsFree(m_room, from, to));
        const int before = staysOfRoom(m_room);
        const QString first = book(*a, m_guest, m_room, from, to);
        const QString second = book(*b, m_guest, m_room, from.addDays(2), to.addDays(2));
        QCOMPARE(first, QString());
        QCOMPARE(second, QStringLiteral("room taken"));
        QCOMPARE(staysOfRoom(m_room), before + 1);
    }

    // The other desk's transaction is still open when this one writes: this
    // one waits for it, and is refused when it commits.
    void bothBookAtTheSameMoment()
    {
        auto b = desk();
        const QDate from(2014, 8, 1), to(2014, 8, 3);
        const int before = staysOfRoom(m_room);
        OtherDesk other(*m_db, {QStringLiteral("INSERT INTO Estadias (IdHuesped, IdHabitacion, FechaIngreso, "
                                               "FechaEgreso, Estado, Dias) VALUES (%1, %2, '2014-08-02 00:00:00', "
                                               "'2014-08-05 00:00:00', 'Reservada', 4)")
                                    .arg(m_guest)
                                    .arg(m_room)});
        other.waitUntilWritten();
        // Not committed yet: this desk still finds the room free.
        const bool free = b->roomIsFree(m_room, from, to);
        const QString result = book(*b, m_guest, m_room, from, to);
        const QString otherError = other.finish();
        QVERIFY2(otherError.isEmpty(), qPrintable(otherError));
        QVERIFY(free);
        QCOMPARE(result, QStringLiteral("room taken"));
        QCOMPARE(staysOfRoom(m_room), before + 1);
        QCOMPARE(m_db->scalar(QStringLiteral("SELECT count(*) FROM Estadias WHERE FechaIngreso = '2014-08-01 00:00:00'"))
                     .toInt(),
                 0);
    }

    // What one desk commits shows at the other within a second, without
    // reopening anything: a booking, a consumption, a change, a deletion.
    void theOtherDeskSeesCommitsWithinASecond()
    {
        auto a = desk();
        auto b = desk();
        const int stays = b->TEstadias->recordCount();
        QCOMPARE(book(*a, m_guest, m_other, QDate(2014, 9, 1), QDate(2014, 9, 3)), QString());
        const qint64 stay = a->TEstadias->value(QStringLiteral("IdEstadia")).toLongLong();
        QTRY_COMPARE_WITH_TIMEOUT(b->TEstadias->recordCount(), stays + 1, 1000);
        QVERIFY(b->TEstadias->locate(QStringLiteral("IdEstadia"), stay));
        QCOMPARE(b->TEstadias->value(QStringLiteral("IdHabitacion")).toLongLong(), m_other);
        QCOMPARE(b->TEstadias->fieldByName(QStringLiteral("FechaEgreso")).asDateTime(), DateTimes::make(QDate(2014, 9, 3)));

        // A consumption recorded at the restaurant: in the stay's detail.
        QVERIFY(a->TEstadias->locate(QStringLiteral("IdEstadia"), stay));
        Cursor &consumptions = *a->TConsumosDeServicios;
        consumptions.append();
        consumptions.setValue(QStringLiteral("IdServicio"), m_service);
        consumptions.setValue(QStringLiteral("Cantidad"), 2);
        consumptions.setValue(QStringLiteral("Precio"), QVariant::fromValue(money("30")));
        consumptions.setValue(QStringLiteral("FechaHora"), DateTimes::make(QDate(2014, 9, 2)).addSecs(3600 * 13));
        consumptions.post();
        QTRY_COMPARE_WITH_TIMEOUT(b->TConsumosDeServicios->recordCount(), 1, 1000);
        QCOMPARE(b->TConsumosDeServicios->value(QStringLiteral("Cantidad")).toInt(), 2);

        // Another guest's name, then the stay goes.
        QVERIFY(a->THuespedes->locate(QStringLiteral("IdHuesped"), m_guest));
        a->THuespedes->edit();
        a->THuespedes->setValue(QStringLiteral("Nombre"), QStringLiteral("Ana María"));
        a->THuespedes->post();
        QTRY_COMPARE_WITH_TIMEOUT(b->THuespedes->lookup(QStringLiteral("IdHuesped"), m_guest, QStringLiteral("Nombre"))
                                      .toString(),
                                  QStringLiteral("Ana María"), 1000);
        a->TConsumosDeServicios->remove();
        QVERIFY(a->TEstadias->locate(QStringLiteral("IdEstadia"), stay));
        a->TEstadias->remove();
        QTRY_COMPARE_WITH_TIMEOUT(b->TEstadias->recordCount(), stays, 1000);
        QCOMPARE(b->TEstadias->indexOf(b->TEstadias->fieldByName(QStringLiteral("IdEstadia")), stay), -1);
        QCOMPARE(b->TConsumosDeServicios->recordCount(), 0);
    }

    // The record in the user's hands is never changed by another desk's
    // commit; its post is refused, and the cursor then shows what the other
    // desk wrote.
    void aStalePostIsRefusedAndReadAgain()
    {
        auto a = desk();
        auto b = desk();
        Cursor &mine = *b->THuespedes;
        QVERIFY(mine.locate(QStringLiteral("IdHuesped"), m_guest));
        mine.edit();
        mine.setValue(QStringLiteral("Telefono"), QStringLiteral("555"));

        QVERIFY(a->THuespedes->locate(QStringLiteral("IdHuesped"), m_guest));
        a->THuespedes->edit();
        a->THuespedes->setValue(QStringLiteral("Nombre"), QStringLiteral("Ana María"));
        a->THuespedes->post();
        // Longer than a commit takes to show.
        QTest::qWait(1200);
        QCOMPARE(mine.state(), Cursor::State::Edit);
        QCOMPARE(mine.value(QStringLiteral("Nombre")).toString(), QStringLiteral("Ana"));
        QCOMPARE(mine.value(QStringLiteral("Telefono")).toString(), QStringLiteral("555"));

        try {
            mine.post();
            QFAIL("a stale post was written");
        } catch (const DataError &e) {
            QCOMPARE(e.reason(), DataError::Reason::StaleRecord);
        }
        QCOMPARE(mine.state(), Cursor::State::Browse);
        QCOMPARE(mine.value(QStringLiteral("IdHuesped")).toLongLong(), m_guest);
        QCOMPARE(mine.value(QStringLiteral("Nombre")).toString(), QStringLiteral("Ana María"));
        QVERIFY(mine.value(QStringLiteral("Telefono")).isNull());
        // Now the same change goes through.
        mine.edit();
        mine.setValue(QStringLiteral("Telefono"), QStringLiteral("555"));
        mine.post();
        QCOMPARE(m_db->scalar(QStringLiteral("SELECT Telefono FROM Huespedes WHERE IdHuesped = ?"), {m_guest}).toString(),
                 QStringLiteral("555"));
    }

    // A row the other desk removed, before this desk heard of it: the delete
    // is refused and the row leaves.
    void aStaleDeleteIsRefusedAndTheRowLeaves()
    {
        const qint64 beto = m_db->addGuest(QStringLiteral("Beto"));
        auto b = desk();
        Cursor &mine = *b->THuespedes;
        const int shown = mine.recordCount();
        QVERIFY(mine.locate(QStringLiteral("IdHuesped"), beto));
        m_db->exec(QStringLiteral("DELETE FROM Huespedes WHERE IdHuesped = ?"), {beto});
        try {
            mine.remove();
            QFAIL("a stale delete went through");
        } catch (const DataError &e) {
            QCOMPARE(e.reason(), DataError::Reason::StaleRecord);
        }
        QCOMPARE(mine.recordCount(), shown - 1);
        QCOMPARE(mine.indexOf(mine.fieldByName(QStringLiteral("IdHuesped")), beto), -1);
    }
};

QTEST_GUILESS_MAIN(TestDesks)
#include "tst_desks.moc"

#include "DataGrid.h"
#include "Regional.h"
#include "Startup.h"
#include "TestDatabase.h"
#include "TestSupport.h"
#include "UDM.h"
#include "UEstadias.h"
#include "UReservas.h"
#include "WindowTest.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QProcess>
#include <QTest>
#include <QTimer>

#include <memory>

// Several desks, each the whole program in a process of its own, on one
// database: what one desk commits shows in the other's open window within a
// second, and two desks booking one room at the same moment leave one booking.
class TestDeskProcesses : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<TestDatabase> m_db;
    qint64 m_r101 = 0, m_ana = 0, m_beto = 0, m_spa = 0, m_stay = 0;

    // A desk started with `command`; it has said "ready" when this returns.
    std::unique_ptr<QProcess> startDesk(const QStringList &command)
    {
        auto desk = std::make_unique<QProcess>();
        desk->setProcessChannelMode(QProcess::ForwardedErrorChannel);
        desk->start(QStringLiteral(HOTEL_DESK_PROGRAM), QStringList{m_db->target()} + command);
        const QString ready = lineOf(*desk);
        if (ready != u"ready")
            qWarning("the desk did not start: %s", qPrintable(ready));
        return desk;
    }

    // The desk's next line, this program's events running meanwhile (as a
    // desk's do while another works).
    static QString lineOf(QProcess &desk, int milliseconds = 60000)
    {
        QElapsedTimer t;
        t.start();
        while (!desk.canReadLine() && t.elapsed() < milliseconds) {
            QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
            if (desk.state() == QProcess::NotRunning && !desk.canReadLine()) {
                desk.waitForReadyRead(0);
                if (!desk.canReadLine())
                    return QStringLiteral("ended: ") + QString::fromUtf8(desk.readAll());
            }
            desk.waitForReadyRead(10);
        }
        return QString::fromUtf8(desk.readLine()).trimmed();
    }

    static void go(QProcess &desk) { desk.write("go\n"); }

    // Milliseconds until `seen` holds, events running; -1 after two seconds.
    static qint64 untilSeen(const std::function<bool()> &seen)
    {
        QElapsedTimer t;
        t.start();
        while (!seen()) {
            if (t.elapsed() > 2000)
                return -1;
            QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
            QTest::qSleep(5);
        }
        return t.elapsed();
    }

    static QString day(int d) { return QDate(2030, 3, d).toString(Qt::ISODate); }

private slots:
    void initTestCase() { Startup::configure(*static_cast<QApplication *>(QCoreApplication::instance())); }

    void init()
    {
        m_db = std::make_unique<TestDatabase>();
        QVERIFY(m_db->isValid());
        const qint64 type = m_db->addRoomType(QStringLiteral("Doble"), money("80"));
        m_r101 = m_db->addRoom(QStringLiteral("101"), type);
        m_db->addRoom(QStringLiteral("102"), type);
        m_ana = m_db->addGuest(QStringLiteral("Ana Paz"));
        m_beto = m_db->addGuest(QStringLiteral("Beto Ruiz"));
        m_spa = m_db->addService(QStringLiteral("Spa"), money("30"));
        m_stay = m_db->addStay(m_ana, m_r101, QDate::currentDate().addDays(-1).toString(Qt::ISODate),
                               QDate::currentDate().addDays(2).toString(Qt::ISODate), QStringLiteral("Ocupada"));
        Regional::setSettings(spanishSettings());
    }

    void cleanup()
    {
        Startup::destroyAll();
        m_db.reset();
    }

    // Desk A books; desk B has its reservations window open all along.
    void aBookingShowsInTheOtherDesksWindow()
    {
        Startup::createAll(m_db->target());
        QString outcome;
        qint64 waited = -2;
        int shownBefore = -1, shownAfter = -1;
        QTimer::singleShot(0, FReservas, [&] {
            shownBefore = FReservas->DBGrid1->rowCount();
            auto desk = startDesk({QStringLiteral("book"), QString::number(m_beto), QStringLiteral("102"), day(10),
                                   day(12)});
            go(*desk);
            const QString chosen = lineOf(*desk);
            desk->write("book\n");
            outcome = chosen == u"chosen" ? lineOf(*desk) : chosen;
            const qint64 id = outcome.section(u' ', 2).toLongLong();
            waited = untilSeen([&] {
                return DM->TEstadias->lookup(QStringLiteral("IdEstadia"), id, QStringLiteral("IdHuesped")).toLongLong()
                           == m_beto
                       && FReservas->DBGrid1->rowCount() == shownBefore + 1;
            });
            shownAfter = FReservas->DBGrid1->rowCount();
            desk->waitForFinished();
            FReservas->close();
        });
        FReservas->AdministrarReservas();
        QVERIFY2(outcome.startsWith(u"result booked "), qPrintable(outcome));
        QCOMPARE(shownAfter, shownBefore + 1);
        QVERIFY2(waited >= 0 && waited < 1000, qPrintable(QString::number(waited)));
    }

    // The notice of desk A's booking reaches this desk while it reads rows of
    // its own (the consumptions of a stay it moves to): the booking shows all
    // the same, within a second.
    void aNoticeArrivingWhileReadingIsHeard()
    {
        const qint64 later = m_db->addStay(m_beto, m_r101, QStringLiteral("2029-01-01"), QStringLiteral("2029-01-02"),
                                           QStringLiteral("Reservada"));
        Startup::createAll(m_db->target());
        QVERIFY(DM->TEstadias->locate(QStringLiteral("IdEstadia"), m_stay));
        const int before = DM->TEstadias->recordCount();
        auto desk = startDesk({QStringLiteral("book"), QString::number(m_beto), QStringLiteral("102"), day(10),
                               day(12)});
        go(*desk);
        QCOMPARE(lineOf(*desk), QStringLiteral("chosen"));
        desk->write("book\n");
        desk->waitForBytesWritten();
        // Read without this desk's events running, as a window's handler does.
        QVERIFY(desk->waitForReadyRead(30000));
        const QString outcome = QString::fromUtf8(desk->readLine()).trimmed();
        QVERIFY2(outcome.startsWith(u"result booked "), qPrintable(outcome));
        QTest::qSleep(300);
        QVERIFY(DM->TEstadias->locate(QStringLiteral("IdEstadia"), later));
        const qint64 waited = untilSeen([&] { return DM->TEstadias->recordCount() == before + 1; });
        QVERIFY2(waited >= 0 && waited < 1000, qPrintable(QString::number(waited)));
        desk->waitForFinished();
    }

    // The restaurant records a consumption of a stay the reception shows.
    void aConsumptionShowsInTheStaysWindow()
    {
        Startup::createAll(m_db->target());
        QString outcome;
        qint64 waited = -2;
        int before = -1;
        QTimer::singleShot(0, FEstadias, [&] {
            before = FEstadias->DBGrid1->rowCount();
            auto desk = startDesk({QStringLiteral("consume"), QString::number(m_stay), QString::number(m_spa),
                                   QStringLiteral("2")});
            go(*desk);
            outcome = lineOf(*desk);
            waited = untilSeen([&] { return FEstadias->DBGrid1->rowCount() == before + 1; });
            desk->waitForFinished();
            FEstadias->close();
        });
        FEstadias->MostrarEstadia(m_stay);
        QVERIFY2(outcome.startsWith(u"result consumed "), qPrintable(outcome));
        QCOMPARE(before, 0);
        QVERIFY2(waited >= 0 && waited < 1000, qPrintable(QString::number(waited)));
        QCOMPARE(m_db->scalar(QStringLiteral("SELECT Cantidad FROM ConsumoDeServicios WHERE IdEstadia = ?"), {m_stay})
                     .toInt(),
                 2);
    }

    // Two desks, both with the room found free and chosen on their screens,
    // confirm at one moment bookings of days that overlap: one booking is
    // kept, and the other desk reads that the room is taken.
    void twoDesksBookOneRoomAtOnce_data()
    {
        QTest::addColumn<int>("from2");
        QTest::addColumn<int>("to2");
        QTest::newRow("the same days") << 10 << 12;
        QTest::newRow("the second ends on the first's check-in day") << 8 << 10;
        QTest::newRow("the second begins on the first's check-out day") << 12 << 14;
    }

    void twoDesksBookOneRoomAtOnce()
    {
        QFETCH(int, from2);
        QFETCH(int, to2);
        auto a = startDesk({QStringLiteral("book"), QString::number(m_ana), QStringLiteral("102"), day(10), day(12)});
        auto b = startDesk({QStringLiteral("book"), QString::number(m_beto), QStringLiteral("102"), day(from2),
                            day(to2)});
        go(*a);
        go(*b);
        // Both have found the room free and chosen it before either confirms.
        QCOMPARE(lineOf(*a), QStringLiteral("chosen"));
        QCOMPARE(lineOf(*b), QStringLiteral("chosen"));
        a->write("book\n");
        b->write("book\n");
        const QStringList outcomes = {lineOf(*a), lineOf(*b)};
        a->waitForFinished();
        b->waitForFinished();
        const QString refused =
            QStringLiteral("result refused La habitación seleccionada no está libre en esas fechas.");
        QCOMPARE(outcomes.filter(QStringLiteral("result booked ")).size(), 1);
        QVERIFY2(outcomes.contains(refused), qPrintable(outcomes.join(u'\n')));
        QCOMPARE(m_db->scalar(QStringLiteral("SELECT count(*) FROM Estadias WHERE IdHabitacion <> ?"), {m_r101}).toInt(),
                 1);
    }
};

QTEST_MAIN(TestDeskProcesses)
#include "tst_deskprocesses.moc"

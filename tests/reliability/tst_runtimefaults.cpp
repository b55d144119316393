#include "BoundEdit.h"
#include "DataGrid.h"
#include "LookupList.h"
#include "RecordNavigator.h"
#include "Regional.h"
#include "Startup.h"
#include "TestDatabase.h"
#include "TestSupport.h"
#include "UDM.h"
#include "UEstadias.h"
#include "UHuespedes.h"
#include "UPrincipal.h"
#include "WindowTest.h"

#include <QApplication>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include <csignal>
#include <sys/resource.h>
#include <sys/stat.h>

// Faults that arise while the program works: the file locked by another
// program, the disk refusing a write, the file made read-only. The operation is
// reported in the default error dialog, the cursor keeps its state, nothing
// posted before is lost, and once the fault is gone the same operation succeeds.
class TestRuntimeFaults : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<TestDatabase> m_db;

    // One fault, applied and lifted around a single operation.
    class Fault
    {
    public:
        Fault(TestDatabase &db, QString kind) : m_db(db), m_kind(std::move(kind)) {}
        ~Fault() { lift(); }

        void apply()
        {
            if (m_kind == u"locked") {
                // Another program in the middle of its own write.
                m_db.exec(QStringLiteral("BEGIN EXCLUSIVE"));
            } else if (m_kind == u"disk refuses") {
                // Every write past the first byte of any file fails, as on a full disk.
                std::signal(SIGXFSZ, SIG_IGN);
                getrlimit(RLIMIT_FSIZE, &m_limit);
                rlimit tiny = m_limit;
                tiny.rlim_cur = 1;
                setrlimit(RLIMIT_FSIZE, &tiny);
            } else if (m_kind == u"read-only") {
                ::chmod(QFile::encodeName(m_db.path()).constData(), 0444);
            }
            m_applied = true;
        }

        void lift()
        {
            if (!m_applied)
                return;
            m_applied = false;
            if (m_kind == u"locked")
                m_db.exec(QStringLiteral("ROLLBACK"));
            else if (m_kind == u"disk refuses")
                setrlimit(RLIMIT_FSIZE, &m_limit);
            else if (m_kind == u"read-only")
                ::chmod(QFile::encodeName(m_db.path()).constData(), 0644);
        }

    private:
        TestDatabase &m_db;
        QString m_kind;
        bool m_applied = false;
        rlimit m_limit{};
    };

    static TFHuespedes &guestsWindow() { return *FHuespedes; }

    // Every guest in the file as name|phone, by name.
    QStringList guestsInFile()
    {
        QStringList out;
        const int n = m_db->scalar(QStringLiteral("SELECT count(*) FROM Huespedes")).toInt();
        for (int i = 0; i < n; ++i)
            out << m_db->scalar(QStringLiteral("SELECT Nombre || '|' || ifnull(Telefono, '') FROM Huespedes "
                                               "ORDER BY Nombre LIMIT 1 OFFSET ?"),
                                {i})
                       .toString();
        return out;
    }

    static void typeInto(BoundEdit *edit, const QString &text)
    {
        edit->setFocus();
        edit->selectAll();
        QTest::keyClicks(edit, text);
    }

private slots:
    void initTestCase()
    {
        Startup::configure(*static_cast<QApplication *>(QCoreApplication::instance()));
    }

    void init()
    {
        m_db = std::make_unique<TestDatabase>();
        QVERIFY(m_db->isValid());
        m_db->addGuest(QStringLiteral("Ana"));
        m_db->addGuest(QStringLiteral("Beto"));
        Startup::createAll(m_db->folder());
        Regional::setSettings(spanishSettings());
        // The same connection with a short wait for locks, so that a refused
        // write does not keep the test waiting for the 10 s of the program.
        DM->Cnx.setBusyTimeout(200);
        DM->DataModuleCreate();
    }

    void cleanup()
    {
        Startup::destroyAll();
        m_db.reset();
    }

    void guestOperations_data()
    {
        QTest::addColumn<QString>("fault");
        QTest::addColumn<QString>("operation");
        QTest::addColumn<QString>("message"); // empty: the operation succeeds despite the fault
        const QString locked = QStringLiteral("The database file is in use by another program; try again in a moment");
        const QString disk = QStringLiteral("The disk refused to write the database file");
        for (const char *op : {"insert", "edit", "delete"}) {
            QTest::addRow("locked, %s", op) << "locked" << op << locked;
            QTest::addRow("disk refuses, %s", op) << "disk refuses" << op << disk;
            // The program holds the file open: its own writes still land.
            QTest::addRow("made read-only, %s", op) << "read-only" << op << QString();
        }
    }

    void guestOperations()
    {
        QFETCH(QString, fault);
        QFETCH(QString, operation);
        QFETCH(QString, message);
        Cursor &guests = *DM->THuespedes;
        Fault f(*m_db, fault);
        DialogAnswers answers(QStringLiteral("OK"));
        QStringList fileBefore;
        showModalAnd(FHuespedes, [&] {
            TFHuespedes &w = guestsWindow();
            // Posted before the fault: must survive whatever follows.
            w.DBNavigator1->press(RecordNavigator::Insert);
            typeInto(w.DBEdit1, QStringLiteral("Carla"));
            QVERIFY(w.DBNavigator2->press(RecordNavigator::Post));
            fileBefore = guestsInFile();
            QVERIFY(fileBefore.contains(QStringLiteral("Carla|")));

            QVERIFY(guests.locate(QStringLiteral("Nombre"), QStringLiteral("Beto")));
            RecordNavigator *navigator = w.DBNavigator2;
            int button = RecordNavigator::Post;
            if (operation == u"insert") {
                w.DBNavigator1->press(RecordNavigator::Insert);
                typeInto(w.DBEdit1, QStringLiteral("Dora"));
            } else if (operation == u"edit") {
                w.DBNavigator1->press(RecordNavigator::Edit);
                typeInto(w.DBEdit5, QStringLiteral("4455"));
            } else {
                navigator = w.DBNavigator1;
                button = RecordNavigator::Delete;
            }
            const Cursor::State state = guests.state();
            const int rows = guests.recordCount();

            f.apply();
            const bool done = navigator->press(button);
            f.lift();

            QCOMPARE(done, message.isEmpty());
            if (!done) {
                QVERIFY2(answers.texts().last().startsWith(message), qPrintable(answers.texts().last()));
                QCOMPARE(answers.titles().last(), QStringLiteral("Administración de Hotel"));
                // The cursor keeps its state and its row; the file holds what it held.
                QCOMPARE(guests.state(), state);
                QCOMPARE(guests.recordCount(), rows);
                QCOMPARE(guests.value(QStringLiteral("Nombre")).toString(),
                         operation == u"insert" ? QStringLiteral("Dora") : QStringLiteral("Beto"));
                QCOMPARE(guestsInFile(), fileBefore);
                // The fault gone, the same press succeeds, once.
                QVERIFY(navigator->press(button));
            }
            QCOMPARE(guests.state(), Cursor::State::Browse);
        });
        QStringList expected = fileBefore;
        if (operation == u"insert")
            expected << QStringLiteral("Dora|");
        else if (operation == u"edit")
            expected.replace(expected.indexOf(QStringLiteral("Beto|")), QStringLiteral("Beto|4455"));
        else
            expected.removeAll(QStringLiteral("Beto|"));
        expected.sort();
        QCOMPARE(guestsInFile(), expected);
        QCOMPARE(answers.unexpected(), 0);
    }

    // Deleting a stay takes its consumptions along in one transaction: a fault
    // on the way leaves the file and both cursors as they were.
    void stayDeletion_data()
    {
        QTest::addColumn<QString>("fault");
        QTest::addColumn<QString>("message");
        QTest::newRow("locked") << "locked" << "The database file is in use by another program";
        QTest::newRow("disk refuses") << "disk refuses" << "The disk refused to write the database file";
    }

    void stayDeletion()
    {
        QFETCH(QString, fault);
        QFETCH(QString, message);
        Startup::destroyAll();
        const qint64 type = m_db->addRoomType(QStringLiteral("Doble"), money("80"));
        const qint64 room = m_db->addRoom(QStringLiteral("101"), type);
        const qint64 cafe = m_db->addService(QStringLiteral("Café"), money("2.5"));
        const qint64 guest = m_db->scalar(QStringLiteral("SELECT IdHuesped FROM Huespedes WHERE Nombre = 'Ana'")).toLongLong();
        const qint64 stay = m_db->addStay(guest, room, QStringLiteral("2014-05-10"), QStringLiteral("2014-05-12"),
                                          QStringLiteral("Ocupada"));
        for (int i = 0; i < 3; ++i)
            m_db->addConsumption(stay, cafe, 1 + i, money("2.5"), QStringLiteral("2014-05-1%1 09:00:00").arg(i));
        Startup::createAll(m_db->folder());
        DM->Cnx.setBusyTimeout(200);
        DM->DataModuleCreate();

        Fault f(*m_db, fault);
        DialogAnswers answers({QStringLiteral("&Yes"), QStringLiteral("OK"), QStringLiteral("&Yes")});
        QTimer::singleShot(0, FEstadias, [&] {
            f.apply();
            QTest::mouseClick(FEstadias->btEliminar, Qt::LeftButton);
            f.lift();
            QCOMPARE(DM->TEstadias->recordCount(), 1);
            QCOMPARE(DM->TConsumosDeServicios->recordCount(), 3);
            QCOMPARE(FEstadias->DBGrid1->rowCount(), 3);
            QCOMPARE(m_db->scalar(QStringLiteral("SELECT count(*) FROM ConsumoDeServicios")).toInt(), 3);
            QCOMPARE(m_db->scalar(QStringLiteral("SELECT count(*) FROM Estadias")).toInt(), 1);
            // Once the fault is gone the deletion goes through.
            QTest::mouseClick(FEstadias->btEliminar, Qt::LeftButton);
            FEstadias->close();
        });
        FEstadias->AdministrarEstadias();
        QCOMPARE(answers.texts().size(), 3);
        QVERIFY2(answers.texts().at(1).startsWith(message), qPrintable(answers.texts().at(1)));
        QCOMPARE(m_db->scalar(QStringLiteral("SELECT count(*) FROM ConsumoDeServicios")).toInt(), 0);
        QCOMPARE(m_db->scalar(QStringLiteral("SELECT count(*) FROM Estadias")).toInt(), 0);
        QVERIFY(DM->TEstadias->isEmpty());
    }
};

QTEST_MAIN(TestRuntimeFaults)
#include "tst_runtimefaults.moc"

#include "BoundEdit.h"
#include "RecordNavigator.h"
#include "Regional.h"
#include "Startup.h"
#include "TestDatabase.h"
#include "TestSupport.h"
#include "ChangeFeed.h"
#include "UDM.h"
#include "UHabitaciones.h"
#include "UHuespedes.h"
#include "UPrincipal.h"
#include "UServicios.h"
#include "UTiposDeHabitacion.h"
#include "WindowTest.h"

#include <QApplication>
#include <QPushButton>
#include <QTest>

// Two programs on one file: this one, driven through its windows, and a second
// data module with its own connection, as a second copy of the program on
// another desk would have. Neither overwrites the other's changes, new rows of
// both are kept, and a change refused because of the other is reported.
class TestTwoPrograms : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<TestDatabase> m_db;
    std::unique_ptr<TDM> m_other;
    qint64 m_ana = 0;
    qint64 m_doble = 0;
    qint64 m_suite = 0;
    qint64 m_spa = 0;

    static void typeInto(BoundEdit *edit, const QString &text)
    {
        edit->setFocus();
        edit->selectAll();
        QTest::keyClicks(edit, text);
    }

    QString guestRow(qint64 id)
    {
        return m_db->scalar(QStringLiteral("SELECT Nombre || '|' || coalesce(Telefono, '') FROM Huespedes WHERE IdHuesped = ?"),
                            {id})
            .toString();
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
        m_ana = m_db->addGuest(QStringLiteral("Ana"));
        m_db->addGuest(QStringLiteral("Beto"));
        m_doble = m_db->addRoomType(QStringLiteral("Doble"), money("80"));
        m_suite = m_db->addRoomType(QStringLiteral("Suite"), money("200"));
        m_db->addRoom(QStringLiteral("101"), m_doble);
        m_spa = m_db->addService(QStringLiteral("Spa"), money("30"));
        Startup::createAll(m_db->target());
        Regional::setSettings(spanishSettings());
        m_other = std::make_unique<TDM>(m_db->target());
        m_other->DataModuleCreate();
    }

    void cleanup()
    {
        m_other.reset();
        Startup::destroyAll();
        m_db.reset();
    }

    void staleChangesAreRefused_data()
    {
        QTest::addColumn<QString>("theirs");
        QTest::addColumn<QString>("ours");
        QTest::addColumn<QString>("message");
        QTest::addColumn<QString>("stored"); // Ana's row afterwards, or empty when gone
        const QString notSaved = QStringLiteral(
            "The record was changed or deleted by another program since it was read; your changes were not saved.");
        const QString notDeleted = QStringLiteral(
            "The record was changed or deleted by another program since it was read; it was not deleted.");
        QTest::newRow("they rename, we edit") << "rename" << "edit" << notSaved << "Ana María|";
        QTest::newRow("they delete, we edit") << "delete" << "edit" << notSaved << "";
        QTest::newRow("they change the phone, we edit it too") << "phone" << "edit" << notSaved << "Ana|111";
        QTest::newRow("they rename, we delete") << "rename" << "delete" << notDeleted << "Ana María|";
        QTest::newRow("they delete, we delete") << "delete" << "delete" << notDeleted << "";
    }

    void staleChangesAreRefused()
    {
        QFETCH(QString, theirs);
        QFETCH(QString, ours);
        QFETCH(QString, message);
        QFETCH(QString, stored);
        Cursor &other = *m_other->THuespedes;
        QVERIFY(other.locate(QStringLiteral("IdHuesped"), m_ana));
        if (theirs == u"delete") {
            other.remove();
        } else {
            other.edit();
            if (theirs == u"rename")
                other.setValue(QStringLiteral("Nombre"), QStringLiteral("Ana María"));
            else
                other.setValue(QStringLiteral("Telefono"), QStringLiteral("111"));
            other.post();
        }

        // This program has not heard of the other's commit yet.
        DM->Feed->stop();
        DialogAnswers answers(QStringLiteral("OK"));
        showModalAnd(FHuespedes, [&] {
            Cursor &guests = *DM->THuespedes;
            QVERIFY(guests.locate(QStringLiteral("IdHuesped"), m_ana));
            if (ours == u"edit") {
                FHuespedes->DBNavigator1->press(RecordNavigator::Edit);
                typeInto(FHuespedes->DBEdit5, QStringLiteral("999"));
                QVERIFY(!FHuespedes->DBNavigator2->press(RecordNavigator::Post));
            } else {
                QVERIFY(!FHuespedes->DBNavigator1->press(RecordNavigator::Delete));
            }
            // Refused, the row is read again: the user sees what the other wrote.
            QCOMPARE(guests.state(), Cursor::State::Browse);
            QCOMPARE(guests.recordCount(), stored.isEmpty() ? 1 : 2);
            if (!stored.isEmpty()) {
                QCOMPARE(guests.value(QStringLiteral("IdHuesped")).toLongLong(), m_ana);
                QCOMPARE(guests.value(QStringLiteral("Nombre")).toString() + u'|'
                             + guests.value(QStringLiteral("Telefono")).toString(),
                         stored);
            }
        });
        QCOMPARE(answers.texts().last(), message);
        QCOMPARE(guestRow(m_ana), stored);
        QCOMPARE(m_db->scalar(QStringLiteral("SELECT count(*) FROM Huespedes")).toInt(), stored.isEmpty() ? 1 : 2);
    }

    void newRowsOfBothAreKept()
    {
        Cursor &other = *m_other->THuespedes;
        other.append();
        other.setValue(QStringLiteral("Nombre"), QStringLiteral("Zoe"));
        other.post();
        DialogAnswers answers;
        showModalAnd(FHuespedes, [] {
            FHuespedes->DBNavigator1->press(RecordNavigator::Insert);
            typeInto(FHuespedes->DBEdit1, QStringLiteral("Yago"));
            QVERIFY(FHuespedes->DBNavigator2->press(RecordNavigator::Post));
        });
        other.append();
        other.setValue(QStringLiteral("Nombre"), QStringLiteral("Xenia"));
        other.post();
        QVERIFY(answers.boxes().isEmpty());
        QStringList names;
        for (const QVariant &name : m_db->column(QStringLiteral("SELECT Nombre FROM Huespedes ORDER BY Nombre")))
            names << name.toString();
        QCOMPARE(names, QStringList({"Ana", "Beto", "Xenia", "Yago", "Zoe"}));
        QCOMPARE(m_db->scalar(QStringLiteral("SELECT count(DISTINCT IdHuesped) FROM Huespedes")).toInt(), 5);
        // Each program's cursor holds its own new row with the key the file gave it.
        QCOMPARE(DM->THuespedes->lookup(QStringLiteral("Nombre"), QStringLiteral("Yago"), QStringLiteral("IdHuesped")),
                 m_db->scalar(QStringLiteral("SELECT IdHuesped FROM Huespedes WHERE Nombre = 'Yago'")));
        QCOMPARE(other.lookup(QStringLiteral("Nombre"), QStringLiteral("Zoe"), QStringLiteral("IdHuesped")),
                 m_db->scalar(QStringLiteral("SELECT IdHuesped FROM Huespedes WHERE Nombre = 'Zoe'")));
        // Started again, this program shows every guest.
        Startup::destroyAll();
        Startup::createAll(m_db->target());
        QCOMPARE(DM->THuespedes->recordCount(), 5);
    }

    void relationRefusedBecauseOfTheOther_data()
    {
        QTest::addColumn<QString>("scenario");
        QTest::addColumn<QString>("message");
        QTest::addColumn<QStringList>("buttons"); // pressed in the boxes, in order
        QTest::newRow("they delete a room type, we add a room of it")
            << "room of deleted type" << "The record refers to a record that does not exist (FOREIGN KEY constraint failed)"
            << QStringList({"OK"});
        QTest::newRow("they add a room, we delete its type")
            << "type with their room" << "No se puede eliminar. Verifique que no haya habitaciones asociadas."
            << QStringList({"&Yes", "OK"});
        QTest::newRow("they record a consumption, we delete the service")
            << "service they consumed"
            << "The record cannot be deleted because other records refer to it (FOREIGN KEY constraint failed)"
            << QStringList({"OK", "OK"});
    }

    void relationRefusedBecauseOfTheOther()
    {
        QFETCH(QString, scenario);
        QFETCH(QString, message);
        QFETCH(QStringList, buttons);
        DialogAnswers answers(buttons);
        if (scenario == u"room of deleted type") {
            QVERIFY(m_other->TTiposDeHabitacion->locate(QStringLiteral("IdTipo"), m_suite));
            m_other->TTiposDeHabitacion->remove();
            showModalAnd(FHabitaciones, [&] {
                FHabitaciones->DBNavigator2->press(RecordNavigator::Insert);
                typeInto(FHabitaciones->DBEdit1, QStringLiteral("305"));
                // What choosing "Suite" in the type combo writes.
                DM->THabitaciones->setValue(QStringLiteral("IdTipo"), m_suite);
                QVERIFY(!FHabitaciones->DBNavigator1->press(RecordNavigator::Post));
                QCOMPARE(DM->THabitaciones->state(), Cursor::State::Insert);
                FHabitaciones->DBNavigator1->press(RecordNavigator::Cancel);
            });
            QCOMPARE(m_db->scalar(QStringLiteral("SELECT count(*) FROM Habitaciones")).toInt(), 1);
        } else if (scenario == u"type with their room") {
            Cursor &rooms = *m_other->THabitaciones;
            rooms.append();
            rooms.setValue(QStringLiteral("NroHabitacion"), QStringLiteral("501"));
            rooms.setValue(QStringLiteral("IdTipo"), m_suite);
            rooms.post();
            showModalAnd(FTiposHabitacion, [&] {
                QVERIFY(DM->TTiposDeHabitacion->locate(QStringLiteral("IdTipo"), m_suite));
                QTest::mouseClick(FTiposHabitacion->btEliminar, Qt::LeftButton);
                QCOMPARE(DM->TTiposDeHabitacion->recordCount(), 2);
            });
            QCOMPARE(m_db->scalar(QStringLiteral("SELECT count(*) FROM TiposDeHabitacion")).toInt(), 2);
        } else {
            const qint64 stay = m_db->addStay(m_ana, m_db->scalar(QStringLiteral("SELECT idHabitacion FROM Habitaciones")).toLongLong(),
                                              QStringLiteral("2014-05-10"), QStringLiteral("2014-05-12"),
                                              QStringLiteral("Ocupada"));
            m_other->TEstadias->close();
            m_other->TEstadias->open();
            m_other->TConsumosDeServicios->close();
            m_other->TConsumosDeServicios->open();
            QVERIFY(m_other->TEstadias->locate(QStringLiteral("IdEstadia"), stay));
            Cursor &consumptions = *m_other->TConsumosDeServicios;
            consumptions.append();
            consumptions.setValue(QStringLiteral("IdServicio"), m_spa);
            consumptions.setValue(QStringLiteral("Cantidad"), 1);
            consumptions.post();
            showModalAnd(FServcios, [&] {
                QVERIFY(DM->TServicios->locate(QStringLiteral("IdServicio"), m_spa));
                QVERIFY(!FServcios->DBNavigator1->press(RecordNavigator::Delete));
                QCOMPARE(DM->TServicios->recordCount(), 1);
            });
            QCOMPARE(m_db->scalar(QStringLiteral("SELECT count(*) FROM Servicios")).toInt(), 1);
            QCOMPARE(m_db->scalar(QStringLiteral("SELECT count(*) FROM ConsumoDeServicios")).toInt(), 1);
        }
        QVERIFY2(answers.texts().contains(message), qPrintable(answers.texts().join(u'\n')));
        QCOMPARE(answers.unexpected(), 0);
        QCOMPARE(answers.titles().at(answers.texts().indexOf(message)),
                 message.startsWith(u"No se") ? QStringLiteral("Error") : QStringLiteral("Administración de Hotel"));
    }
};

QTEST_MAIN(TestTwoPrograms)
#include "tst_twoprograms.moc"

#include "DataGrid.h"
#include "DataError.h"
#include "DateTimes.h"
#include "Guard.h"
#include "LookupCombo.h"
#include "Startup.h"
#include "TestDatabase.h"
#include "TestSupport.h"
#include "UBusquedaHabitacion.h"
#include "ChangeFeed.h"
#include "UDM.h"
#include "UPrincipal.h"
#include "UReservas.h"
#include "WindowTest.h"

#include <QAction>
#include <QApplication>
#include <QLabel>
#include <QListWidget>
#include <QMenu>
#include <QPushButton>
#include <QTest>

#include <functional>

// The reservations window over a fresh database: two reservations, one
// occupied stay and one invoiced stay.
class TestReservas : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<TestDatabase> m_db;
    bool m_ownWindows = false;
    qint64 m_nora = 0, m_beto = 0;
    qint64 m_first = 0; // room 101, Nora, 05/04/2014, "Reservada"

    static TFReservas &win() { return *FReservas; }

    void start(bool withReservations = true)
    {
        m_db = std::make_unique<TestDatabase>();
        const qint64 type = m_db->addRoomType(QStringLiteral("Doble"), money("1234.5"));
        const qint64 r101 = m_db->addRoom(QStringLiteral("101"), type);
        const qint64 r102 = m_db->addRoom(QStringLiteral("102"), type);
        const qint64 r103 = m_db->addRoom(QStringLiteral("103"), type);
        m_nora = m_db->addGuest(QStringLiteral("Nora Díaz"));
        m_beto = m_db->addGuest(QStringLiteral("Beto Ruiz"));
        if (withReservations) {
            m_first = m_db->addStay(m_nora, r101, QStringLiteral("2014-04-05"), QStringLiteral("2014-04-07"),
                                    QStringLiteral("Reservada"));
            m_db->addStay(m_beto, r102, QStringLiteral("2014-04-10"), QStringLiteral("2014-04-12"),
                          QStringLiteral("Reservada"));
        }
        m_db->addStay(m_beto, r103, QStringLiteral("2014-04-01"), QStringLiteral("2014-04-03"), QStringLiteral("Ocupada"));
        m_db->addStay(m_nora, r103, QStringLiteral("2014-03-01"), QStringLiteral("2014-03-03"),
                      QStringLiteral("Facturada"));
        Startup::createAll(m_db->target());
        Regional::setSettings(spanishSettings());
        m_ownWindows = !FReservas;
        if (m_ownWindows) {
            FBusquedaHabitacion = new TFBusquedaHabitacion(FPrincipal);
            FReservas = new TFReservas(FPrincipal);
        }
    }

    void stop()
    {
        if (m_ownWindows) {
            delete FReservas;
            FReservas = nullptr;
            delete FBusquedaHabitacion;
            FBusquedaHabitacion = nullptr;
        }
        Startup::destroyAll();
        m_db.reset();
    }

    // Opens the window as the main menu does (under the guard) and runs `inside`
    // once it shows.
    static void open(const std::function<void()> &inside)
    {
        whenModalOpens([inside](QWidget *) { inside(); });
        guarded(FPrincipal, [] { win().AdministrarReservas(); });
    }

    static QStringList listed()
    {
        QStringList out;
        for (int r = 0; r < win().DBGrid1->rowCount(); ++r) {
            QStringList cells;
            for (int c = 0; c < win().DBGrid1->columnCount(); ++c)
                cells << win().DBGrid1->cellText(r, c);
            out << cells.join(u' ');
        }
        return out;
    }

    int dbCount(const QString &where = QStringLiteral("1 = 1")) const
    {
        return m_db->scalar(QStringLiteral("SELECT count(*) FROM Estadias WHERE ") + where).toInt();
    }

    static void verifyNoFilter()
    {
        QVERIFY(!DM->TEstadias->isFiltered());
        QCOMPARE(DM->TEstadias->filter(), QString());
    }

private slots:
    void initTestCase() { Startup::configure(*static_cast<QApplication *>(QCoreApplication::instance())); }
    void init() { start(); }
    void cleanup() { stop(); }

    void layout()
    {
        QCOMPARE(win().windowTitle(), QStringLiteral("Administración de Reservas"));
        QCOMPARE(win().size(), QSize(467, 311));
        QCOMPARE(win().DBGrid1->geometry(), QRect(4, 36, 459, 237));
        const QStringList titles = {"Habitación", "Responsable", "Ingreso", "Egreso"};
        const QList<int> widths = {68, 185, 86, 83};
        QCOMPARE(win().DBGrid1->columnCount(), 4);
        for (int i = 0; i < 4; ++i) {
            const DataGrid::Column c = win().DBGrid1->column(i);
            QCOMPARE(c.title, titles[i]);
            QCOMPARE(c.width, widths[i]);
            QVERIFY(c.boldTitle);
            QCOMPARE(c.titleAlignment & Qt::AlignHorizontal_Mask, Qt::AlignHCenter);
        }
        QCOMPARE(win().DBGrid1->column(2).cellAlignment & Qt::AlignHorizontal_Mask, Qt::AlignHCenter);
        QCOMPARE(win().DBGrid1->column(3).cellAlignment & Qt::AlignHorizontal_Mask, Qt::AlignHCenter);
        using O = DataGrid::Option;
        QCOMPARE(win().DBGrid1->options(), O::Titles | O::Indicator | O::ColumnResize | O::ColumnLines | O::RowLines
                                               | O::Tabs | O::RowSelect | O::AlwaysShowSelection | O::ConfirmDelete
                                               | O::CancelOnExit);
        QVERIFY(!win().DBGrid1->isReadOnly());
        QCOMPARE(win().PopupMenu1->actions().size(), 2);
        QCOMPARE(win().AsignarHabitacion1->text(), QStringLiteral("Asignar Habitación"));
        QCOMPARE(win().EliminarReserva1->text(), QStringLiteral("Eliminar Reserva"));
    }

    void listsTheReservations()
    {
        open([] {
            QCOMPARE(listed(), QStringList({"101 Nora Díaz 05/04/2014 07/04/2014", "102 Beto Ruiz 10/04/2014 12/04/2014"}));
            QCOMPARE(DM->TEstadias->filter(), QStringLiteral("Estado = 'Reservada'"));
            QVERIFY(DM->TEstadias->isFiltered());
        });
        verifyNoFilter();
        QCOMPARE(DM->TEstadias->recordCount(), 4);
    }

    void questions_data()
    {
        QTest::addColumn<bool>("assign");
        QTest::addColumn<bool>("popup");
        QTest::addColumn<QString>("answer");
        QTest::addColumn<QString>("question");
        QTest::addColumn<int>("reservationsLeft");
        const QString occupy = QStringLiteral("¿Ocupa la habitación 101 reservada por Nora Díaz?");
        const QString remove =
            QStringLiteral("¿Elimina la reserva de la habitación 101 realizada por Nora Díaz para el 05/04/2014?");
        QTest::newRow("assign, yes") << true << false << "&Yes" << occupy << 1;
        QTest::newRow("assign, no") << true << false << "&No" << occupy << 2;
        QTest::newRow("assign from the pop-up menu") << true << true << "&Yes" << occupy << 1;
        QTest::newRow("delete, yes") << false << false << "&Yes" << remove << 1;
        QTest::newRow("delete, no") << false << false << "&No" << remove << 2;
        QTest::newRow("delete from the pop-up menu") << false << true << "&Yes" << remove << 1;
    }

    void questions()
    {
        QFETCH(bool, assign);
        QFETCH(bool, popup);
        QFETCH(QString, answer);
        QFETCH(QString, question);
        QFETCH(int, reservationsLeft);
        const QString before = m_db->scalar(QStringLiteral("SELECT FechaIngreso || FechaEgreso || Dias || PrecioDiario || "
                                                           "PrecioFinal || IdHuesped || IdHabitacion FROM Estadias "
                                                           "WHERE IdEstadia = ?"),
                                            {m_first})
                                   .toString();
        DialogAnswers answers({answer});
        open([&] {
            if (popup)
                (assign ? win().AsignarHabitacion1 : win().EliminarReserva1)->trigger();
            else
                QTest::mouseClick(assign ? win().btAsignar : win().btEliminar, Qt::LeftButton);
            // A reservation assigned or deleted leaves the list at once; the
            // next one is current.
            QCOMPARE(win().DBGrid1->rowCount(), reservationsLeft);
            QCOMPARE(DM->TEstadias->value(QStringLiteral("Habitacion")).toString(),
                     reservationsLeft == 1 ? QStringLiteral("102") : QStringLiteral("101"));
            QCOMPARE(win().DBGrid1->currentIndex().row(), 0);
        });
        QCOMPARE(answers.texts(), QStringList({question}));
        QCOMPARE(answers.titles(), QStringList({"Confirm"}));
        QCOMPARE(answers.boxes().first().buttons, QStringList({"&Yes", "&No"}));
        QCOMPARE(dbCount(QStringLiteral("Estado = 'Reservada'")), reservationsLeft);
        const bool changed = reservationsLeft == 1;
        if (assign) {
            QCOMPARE(m_db->scalar(QStringLiteral("SELECT Estado FROM Estadias WHERE IdEstadia = ?"), {m_first}).toString(),
                     changed ? QStringLiteral("Ocupada") : QStringLiteral("Reservada"));
            // Nothing else of the row changes.
            QCOMPARE(m_db->scalar(QStringLiteral("SELECT FechaIngreso || FechaEgreso || Dias || PrecioDiario || "
                                                 "PrecioFinal || IdHuesped || IdHabitacion FROM Estadias "
                                                 "WHERE IdEstadia = ?"),
                                  {m_first})
                         .toString(),
                     before);
        } else {
            QCOMPARE(dbCount(QStringLiteral("IdEstadia = %1").arg(m_first)), changed ? 0 : 1);
        }
        verifyNoFilter();
        // From the next opening on, only what is still reserved is listed.
        open([&] { QCOMPARE(win().DBGrid1->rowCount(), reservationsLeft); });
    }

    void assignedStayBelongsToTheStays()
    {
        DialogAnswers answers({QStringLiteral("&Yes")});
        open([] { QTest::mouseClick(win().btAsignar, Qt::LeftButton); });
        DM->TEstadias->setFilter(QStringLiteral("Estado = 'Ocupada'"));
        DM->TEstadias->setFiltered(true);
        QCOMPARE(DM->TEstadias->recordCount(), 2);
        QVERIFY(DM->TEstadias->locate(QStringLiteral("IdEstadia"), m_first));
        DM->TEstadias->setFiltered(false);
        DM->TEstadias->setFilter(QString());
    }

    void emptyList_data()
    {
        QTest::addColumn<bool>("assign");
        QTest::addColumn<QStringList>("messages");
        QTest::newRow("assign") << true << QStringList({"No hay reserva para asignar habitación"});
        QTest::newRow("delete says nothing") << false << QStringList();
    }

    void emptyList()
    {
        QFETCH(bool, assign);
        QFETCH(QStringList, messages);
        stop();
        start(false);
        DialogAnswers answers(messages.isEmpty() ? QStringList() : QStringList({QStringLiteral("OK")}));
        open([&] {
            QCOMPARE(win().DBGrid1->rowCount(), 0);
            QTest::mouseClick(assign ? win().btAsignar : win().btEliminar, Qt::LeftButton);
        });
        QCOMPARE(answers.texts(), messages);
        QCOMPARE(answers.unexpected(), 0);
        QCOMPARE(dbCount(), 2);
        verifyNoFilter();
    }

    void bookingsFromTheWindow_data()
    {
        QTest::addColumn<bool>("assignment");
        QTest::addColumn<QString>("state");
        QTest::addColumn<int>("listedAfterwards");
        QTest::newRow("a reservation is listed at once") << false << "Reservada" << 3;
        QTest::newRow("an occupation is not listed") << true << "Ocupada" << 2;
    }

    void bookingsFromTheWindow()
    {
        QFETCH(bool, assignment);
        QFETCH(QString, state);
        QFETCH(int, listedAfterwards);
        DialogAnswers answers;
        open([&] {
            whenModalOpens([&](QWidget *modal) {
                QCOMPARE(modal, static_cast<QWidget *>(FBusquedaHabitacion));
                QCOMPARE(FBusquedaHabitacion->btAsignarHabitacion->isVisible(), assignment);
                // The booking dialog sees the window's filter.
                QVERIFY(DM->TEstadias->isFiltered());
                FBusquedaHabitacion->dblcbxHuesped->setKeyValue(m_beto);
                QTest::mouseClick(FBusquedaHabitacion->btBuscar, Qt::LeftButton);
                QTest::mouseClick(assignment ? FBusquedaHabitacion->btAsignarHabitacion : FBusquedaHabitacion->btReservar,
                                  Qt::LeftButton);
                QVERIFY(!FBusquedaHabitacion->isVisible());
            });
            QTest::mouseClick(assignment ? win().btAsignarSinReserva : win().btAgregar, Qt::LeftButton);
            // A reservation is listed at once; an occupation is not listed at all.
            QCOMPARE(win().DBGrid1->rowCount(), listedAfterwards);
            QCOMPARE(DM->TEstadias->value(QStringLiteral("Estado")).toString(), QStringLiteral("Reservada"));
        });
        QVERIFY(answers.boxes().isEmpty());
        QCOMPARE(dbCount(QStringLiteral("Estado = '%1' AND IdHuesped = %2 AND FechaIngreso = '%3'")
                             .arg(state)
                             .arg(m_beto)
                             .arg(DateTimes::toCanonical(DateTimes::today()))),
                 1);
        verifyNoFilter();
        open([&] { QCOMPARE(win().DBGrid1->rowCount(), listedAfterwards); });
    }

    void gridDeleteKey()
    {
        DialogAnswers answers({QStringLiteral("OK")});
        open([] {
            win().DBGrid1->setFocus();
            QTest::keyClick(win().DBGrid1, Qt::Key_Delete, Qt::ControlModifier);
            QCOMPARE(win().DBGrid1->rowCount(), 1);
        });
        QCOMPARE(answers.texts(), QStringList({"Delete record?"}));
        QCOMPARE(dbCount(QStringLiteral("IdEstadia = %1").arg(m_first)), 0);
        verifyNoFilter();
    }

    void refusedAssignStillRemovesTheFilter()
    {
        // Another program changes the reservation after it was read, before this
        // one hears of it: the post is refused.
        DM->Feed->stop();
        m_db->exec(QStringLiteral("UPDATE Estadias SET Dias = 9 WHERE IdEstadia = ?"), {m_first});
        DialogAnswers answers({QStringLiteral("&Yes"), QStringLiteral("OK"), QStringLiteral("OK")});
        open([] {
            QTest::mouseClick(win().btAsignar, Qt::LeftButton);
            // The change is dropped and the reservation read again.
            QCOMPARE(DM->TEstadias->state(), Cursor::State::Browse);
            QCOMPARE(DM->TEstadias->fieldByName(QStringLiteral("Dias")).asInteger(), 9);
        });
        QCOMPARE(answers.titles(), QStringList({"Confirm", "Administración de Hotel"}));
        QCOMPARE(answers.unexpected(), 0);
        verifyNoFilter();
        QCOMPARE(DM->TEstadias->state(), Cursor::State::Browse);
        QCOMPARE(DM->TEstadias->recordCount(), 4);
        QCOMPARE(m_db->scalar(QStringLiteral("SELECT Estado FROM Estadias WHERE IdEstadia = ?"), {m_first}).toString(),
                 QStringLiteral("Reservada"));
    }
};

QTEST_MAIN(TestReservas)
#include "tst_reservas.moc"

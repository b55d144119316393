#include "BoundEdit.h"
#include "DataGrid.h"
#include "DatePicker.h"
#include "DateTimes.h"
#include "LookupCombo.h"
#include "LookupList.h"
#include "RecordNavigator.h"
#include "Regional.h"
#include "ReportEngine.h"
#include "Startup.h"
#include "TestDatabase.h"
#include "TestSupport.h"
#include "UBusquedaHabitacion.h"
#include "UConsultas.h"
#include "UDM.h"
#include "UEstadias.h"
#include "UHuespedes.h"
#include "UPrincipal.h"
#include "URegistrarConsumos.h"
#include "UReporteFactura.h"
#include "UReportes.h"
#include "UReservas.h"
#include "UServicios.h"
#include "WindowTest.h"

#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTabWidget>
#include <QTest>

// The program as one whole: started as its main block starts it, on a fresh
// file, and driven through the real windows from the main menu.
class TestRoad : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<TestDatabase> m_db;
    qint64 m_doble = 0;
    qint64 m_simple = 0;

    static void click(QWidget *w) { QTest::mouseClick(w, Qt::LeftButton); }

    // Types any text, accents included, key by key.
    static void type(QWidget *w, const QString &text)
    {
        for (QChar c : text) {
            const char16_t upper = c.toUpper().unicode();
            const Qt::Key key = upper < 0x80 ? Qt::Key(upper) : Qt::Key_unknown;
            QTest::sendKeyEvent(QTest::Press, w, key, QString(c), Qt::NoModifier);
            QTest::sendKeyEvent(QTest::Release, w, key, QString(c), Qt::NoModifier);
        }
    }

    // A click on a row of a lookup list, as the user chooses it.
    static void clickRow(LookupList *list, int row)
    {
        LookupRowsView *view = list->rowsView();
        const QRect r = view->visualRect(view->model()->index(row, 0));
        QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, r.center());
    }

    static void setDay(DatePicker *picker, QDate day) { picker->setDate(DateTimes::make(day)); }

    // Runs `inside` in the modal window the next step opens.
    static void inModal(QWidget *expected, const std::function<void()> &inside)
    {
        whenModalOpens([expected, inside](QWidget *modal) {
            QCOMPARE(modal, expected);
            inside();
        });
    }

private slots:
    void initTestCase() { Startup::configure(*static_cast<QApplication *>(QCoreApplication::instance())); }

    void init()
    {
        m_db = std::make_unique<TestDatabase>();
        m_simple = m_db->addRoomType(QStringLiteral("Simple"), money("45.5"), 1);
        m_doble = m_db->addRoomType(QStringLiteral("Doble"), money("80"), 2);
        m_db->addRoom(QStringLiteral("101"), m_doble, 1, QStringLiteral("Mar"));
        m_db->addRoom(QStringLiteral("102"), m_doble, 1, QStringLiteral("Ciudad"));
        m_db->addRoom(QStringLiteral("201"), m_simple, 2, QStringLiteral("Interior"));
        m_db->addService(QStringLiteral("Desayuno"), money("15"));
        m_db->addService(QStringLiteral("Cena"), money("40.5"));
        m_db->addGuest(QStringLiteral("Ana Sosa"), QStringLiteral("20111222"));
        m_db->closeConnection();
        Startup::createAll(m_db->target());
        Regional::setSettings(spanishSettings());
        FPrincipal->show();
    }

    void cleanup()
    {
        Startup::destroyAll();
        m_db.reset();
    }

    void roadOfOneStay()
    {
        const QDate today = DateTimes::today();
        const QDate in = today.addDays(1);
        const QDate out = today.addDays(3);
        DialogAnswers answers({QStringLiteral("&Yes"), QStringLiteral("&Yes"), QStringLiteral("&Yes")});

        // 1. A reservation: type and days chosen, rooms searched, a new guest added
        //    through the guests window, room 101 confirmed.
        bool booked = false;
        inModal(FBusquedaHabitacion, [&] {
            TFBusquedaHabitacion &b = *FBusquedaHabitacion;
            QCOMPARE(b.windowTitle(), QStringLiteral("Reservación de una habitación"));
            b.dblcbxTipoHabitacion->setFocus();
            QTest::keyClicks(b.dblcbxTipoHabitacion, QStringLiteral("Dob"));
            QCOMPARE(b.lblCostoDia->text(), QStringLiteral("80,00"));
            setDay(b.dtpHasta, out);
            setDay(b.dtpDesde, in);
            b.dtpDesdeChange();
            b.dtpHastaChange();
            QCOMPARE(b.lblCantDias->text(), QStringLiteral("3"));
            QCOMPARE(b.lblCostoTotal->text(), QStringLiteral("240,00"));
            click(b.btBuscar);
            QCOMPARE(b.lbxHabLibres->count(), 2);
            QCOMPARE(b.lbxHabLibres->currentItem()->text(), QStringLiteral("101"));

            inModal(FHuespedes, [] {
                FHuespedes->DBNavigator1->press(RecordNavigator::Insert);
                FHuespedes->DBEdit1->setFocus();
                type(FHuespedes->DBEdit1, QStringLiteral("Lucía Pérez"));
                FHuespedes->DBEdit2->setFocus();
                QTest::keyClicks(FHuespedes->DBEdit2, QStringLiteral("30444555"));
                FHuespedes->DBNavigator2->press(RecordNavigator::Post);
            });
            click(b.btHuespedes);
            QCOMPARE(b.dblcbxHuesped->text(), QStringLiteral("Lucía Pérez"));
            click(b.btReservar);
            booked = !b.isVisible();
        });
        FPrincipal->AgregarReserva1->trigger();
        QVERIFY(booked);

        // 2. The guest arrives: the reservation becomes an occupation.
        inModal(FReservas, [] {
            QCOMPARE(FReservas->DBGrid1->rowCount(), 1);
            QCOMPARE(FReservas->DBGrid1->cellText(0, 0), QStringLiteral("101"));
            QCOMPARE(FReservas->DBGrid1->cellText(0, 1), QStringLiteral("Lucía Pérez"));
            click(FReservas->btAsignar);
        });
        FPrincipal->ListadodeReservas1->trigger();

        // 3. In the stays window: two services recorded, the check-out moved a day
        //    later, the invoice previewed and the stay invoiced.
        ReportDocument invoice;
        inModal(FEstadias, [&] {
            TFEstadias &e = *FEstadias;
            clickRow(e.dbllbxHabitaciones, 0);
            QCOMPARE(e.dtpEgreso->date().date(), out);

            inModal(FRegistrarConsumos, [] {
                TFRegistrarConsumos &c = *FRegistrarConsumos;
                for (const auto &[service, quantity] : {std::pair{1, "2"}, std::pair{0, "1"}}) {
                    clickRow(c.dbllbxServicio, service); // by name: Cena, Desayuno
                    click(c.btAgregar);
                    c.edCant->setFocus();
                    QTest::keyClicks(c.edCant, QString::fromLatin1(quantity));
                    click(c.btAceptar);
                    QVERIFY(!c.pnlEdicion->isVisibleTo(&c));
                }
                QCOMPARE(c.DBGrid1->rowCount(), 2);
            });
            click(e.btConsumos);
            QCOMPARE(e.DBGrid1->rowCount(), 2);

            setDay(e.dtpEgreso, out.addDays(1));
            click(e.btEgreso);

            invoice = ReportEngine::produce(FFactura->repFactura);
            // The preview opens and is closed without printing.
            whenModalOpens([](QWidget *) {});
            click(e.btFacturar);
        });
        FPrincipal->AdministrarEstadas1->trigger();
        QCOMPARE(answers.texts(),
                 QStringList({QStringLiteral("¿Ocupa la habitación 101 reservada por Lucía Pérez?"),
                              QStringLiteral("¿Confirma que cambia la fecha de egreso?"),
                              QStringLiteral("¿Confirma que finaliza la estadía y emite la factura?")}));
        QCOMPARE(answers.unexpected(), 0);

        const QStringList texts = invoice.pageTexts(0);
        for (const QString &t : {QStringLiteral("Lucía Pérez"), QStringLiteral("101"), QStringLiteral("$ 30,00"),
                                 QStringLiteral("$ 40,50"), QStringLiteral("$ 70,50"), QStringLiteral("$ 320,00"),
                                 QStringLiteral("4"), QStringLiteral("Desayuno"), QStringLiteral("Cena")})
            QVERIFY2(texts.contains(t), qPrintable(t));

        // 4. The guest query lists the invoiced stay.
        inModal(FConsultas, [&] {
            QCOMPARE(FConsultas->PageControl1->currentIndex(), 0);
            FConsultas->dblcxHuesped->setFocus();
            QTest::keyClicks(FConsultas->dblcxHuesped, QStringLiteral("Luc"));
            QCOMPARE(FConsultas->dbgEstadiasHuesped->rowCount(), 1);
            QCOMPARE(FConsultas->dbgEstadiasHuesped->cellText(0, 0), Regional::settings().formatShortDate(DateTimes::make(in)));
            QCOMPARE(FConsultas->dbgEstadiasHuesped->cellText(0, 2), QStringLiteral("101"));
        });
        FPrincipal->EstadiasdeunHuesped1->trigger();

        // A second, independent connection finds exactly what the road wrote.
        const QList<QVariantList> stays = m_db->rows(QStringLiteral(
            "SELECT h.Nombre, h.DNI, r.NroHabitacion, e.FechaIngreso, e.FechaEgreso, e.Estado, e.Dias, "
            "e.PrecioDiario, e.PrecioFinal FROM Estadias e JOIN Huespedes h ON h.IdHuesped = e.IdHuesped "
            "JOIN Habitaciones r ON r.idHabitacion = e.IdHabitacion"));
        QCOMPARE(stays.size(), 1);
        const QVariantList &stay = stays.front();
        QCOMPARE(stay[0].toString(), QStringLiteral("Lucía Pérez"));
        QCOMPARE(stay[1].toString(), QStringLiteral("30444555"));
        QCOMPARE(stay[2].toString(), QStringLiteral("101"));
        QCOMPARE(stay[3].toString(), DateTimes::toCanonical(in));
        QCOMPARE(stay[4].toString(), DateTimes::toCanonical(out.addDays(1)));
        QCOMPARE(stay[5].toString(), QStringLiteral("Facturada"));
        QCOMPARE(stay[6].toInt(), 4);
        QCOMPARE(stay[7].toLongLong(), money("80").raw());
        QCOMPARE(stay[8].toLongLong(), money("320").raw());
        QStringList consumed;
        for (const QVariantList &row : m_db->rows(QStringLiteral(
                 "SELECT s.Nombre, c.Cantidad, c.Precio, c.FechaHora FROM ConsumoDeServicios c "
                 "JOIN Servicios s ON s.IdServicio = c.IdServicio ORDER BY c.IdConsumo"))) {
            consumed << QStringLiteral("%1 %2 %3").arg(row[0].toString()).arg(row[1].toInt()).arg(row[2].toLongLong());
            QVERIFY(DateTimes::fromCanonical(row[3].toString()).has_value());
        }
        QCOMPARE(consumed, QStringList({QStringLiteral("Desayuno 2 150000"), QStringLiteral("Cena 1 405000")}));
        QCOMPARE(m_db->scalar(QStringLiteral("SELECT count(*) FROM Huespedes")).toInt(), 2);
    }

    void sharedCursorCouplings()
    {
        // From start-up on, the hidden rooms window keeps the room types cursor on
        // the current room's type: the first room by number is 101, a "Doble".
        QCOMPARE(DM->TTiposDeHabitacion->fieldByName(QStringLiteral("Nombre")).asString(), QStringLiteral("Doble"));
        DM->THabitaciones->last(); // 201, a "Simple"
        QCOMPARE(DM->TTiposDeHabitacion->fieldByName(QStringLiteral("Nombre")).asString(), QStringLiteral("Simple"));

        // The booking dialog takes the guest left current in the guests window.
        DialogAnswers answers;
        inModal(FBusquedaHabitacion, [] {
            inModal(FHuespedes, [] {
                FHuespedes->edFiltro->setText(QStringLiteral("Sosa"));
                QCOMPARE(FHuespedes->DBGrid1->rowCount(), 1);
            });
            click(FBusquedaHabitacion->btHuespedes);
            QCOMPARE(FBusquedaHabitacion->dblcbxHuesped->text(), QStringLiteral("Ana Sosa"));
            // A search walks every room and leaves the rooms cursor on the last.
            click(FBusquedaHabitacion->btBuscar);
        });
        FPrincipal->AsignarHabitacin1->trigger();
        QVERIFY(DM->THabitaciones->atEnd());
        QCOMPARE(DM->THabitaciones->fieldByName(QStringLiteral("NroHabitacion")).asString(), QStringLiteral("201"));
        // The guests filter outlives its window.
        QCOMPARE(DM->THuespedes->recordCount(), 1);

        // A printed listing leaves its cursor on the last record.
        DM->TServicios->first();
        whenModalOpens([](QWidget *) {});
        FPrincipal->ListadodeServicios1->trigger();
        QCOMPARE(DM->TServicios->fieldByName(QStringLiteral("Nombre")).asString(), QStringLiteral("Desayuno"));
        QVERIFY(DM->TServicios->atEnd());
        QVERIFY(answers.boxes().isEmpty());
    }
};

QTEST_MAIN(TestRoad)
#include "tst_road.moc"

#include "BoundEdit.h"
#include "DatePicker.h"
#include "DateTimes.h"
#include "LookupCombo.h"
#include "LookupDrawing.h"
#include "OtherDesk.h"
#include "RecordNavigator.h"
#include "Startup.h"
#include "TestDatabase.h"
#include "TestSupport.h"
#include "UBusquedaHabitacion.h"
#include "UDM.h"
#include "UHuespedes.h"
#include "UPrincipal.h"
#include "WindowTest.h"

#include <QApplication>
#include <QDateEdit>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTest>

#include <functional>

namespace {

QDate today()
{
    return DateTimes::today();
}

QString iso(int daysFromToday)
{
    return today().addDays(daysFromToday).toString(Qt::ISODate);
}

// What the file holds for a day date.
QString stored(int daysFromToday)
{
    return iso(daysFromToday) + QStringLiteral(" 00:00:00");
}

const QString Incomplete = QStringLiteral("Datos incompletos. Seleccione un huésped responsable y una habitación libre.");
const QString NotFree = QStringLiteral("La habitación seleccionada no está libre en esas fechas.");
const QString Failed = QStringLiteral("Sucedio un error al relizar la operación");

} // namespace

// The booking dialog over a fresh database: three rooms of a type priced 1234.5,
// one of a second type, a third type without rooms, and two guests.
class TestBusquedaHabitacion : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<TestDatabase> m_db;
    bool m_ownDialog = false;
    qint64 m_doble = 0, m_suite = 0, m_vacio = 0;
    QHash<QString, qint64> m_rooms;
    qint64 m_ana = 0, m_beto = 0;

    static TFBusquedaHabitacion &dlg() { return *FBusquedaHabitacion; }

    // extraRooms: more rooms of the first type, numbered from 104.
    void start(bool withTypes = true, int extraRooms = 0)
    {
        m_db = std::make_unique<TestDatabase>();
        m_rooms.clear();
        if (withTypes) {
            m_doble = m_db->addRoomType(QStringLiteral("Doble"), money("1234.5"));
            m_suite = m_db->addRoomType(QStringLiteral("Suite"), money("200"));
            m_vacio = m_db->addRoomType(QStringLiteral("Sin habitaciones"), money("50"));
            for (const char *n : {"101", "102", "103"})
                m_rooms[QString::fromLatin1(n)] = m_db->addRoom(QString::fromLatin1(n), m_doble);
            m_rooms[QStringLiteral("201")] = m_db->addRoom(QStringLiteral("201"), m_suite);
            for (int n = 104; n < 104 + extraRooms; ++n)
                m_rooms[QString::number(n)] = m_db->addRoom(QString::number(n), m_doble);
        }
        m_ana = m_db->addGuest(QStringLiteral("Ana Paz"));
        m_beto = m_db->addGuest(QStringLiteral("Beto Ruiz"));
        Startup::createAll(m_db->target());
        Regional::setSettings(spanishSettings());
        m_ownDialog = !FBusquedaHabitacion;
        if (m_ownDialog)
            FBusquedaHabitacion = new TFBusquedaHabitacion(FPrincipal);
    }

    void stop()
    {
        if (m_ownDialog) {
            delete FBusquedaHabitacion;
            FBusquedaHabitacion = nullptr;
        }
        Startup::destroyAll();
        m_db.reset();
    }

    // Opens the dialog in one of its modes and runs `inside` once it shows.
    static bool open(bool assignment, const std::function<void()> &inside)
    {
        whenModalOpens([inside](QWidget *) { inside(); });
        return assignment ? dlg().AgregarEstadia() : dlg().AgregarReserva();
    }
    static bool openReserva(const std::function<void()> &inside) { return open(false, inside); }

    // A date changed by the user (the picker fires its change event).
    static void userDate(DatePicker *picker, int daysFromToday)
    {
        picker->findChild<QDateEdit *>()->setDate(today().addDays(daysFromToday));
    }

    // A row of the type combo's drop-down clicked by the user.
    static void chooseType(int row)
    {
        LookupCombo *combo = dlg().dblcbxTipoHabitacion;
        combo->dropDown();
        LookupRowsView *view = combo->dropDownList();
        QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, view->visualRect(view->model()->index(row, 0)).center());
    }

    static QStringList listed()
    {
        QStringList out;
        for (int i = 0; i < dlg().lbxHabLibres->count(); ++i)
            out << dlg().lbxHabLibres->item(i)->text();
        return out;
    }

    static QStringList tariff()
    {
        return {dlg().lblCostoDia->text(), dlg().lblCantDias->text(), dlg().lblCostoTotal->text()};
    }

    static void search() { QTest::mouseClick(dlg().btBuscar, Qt::LeftButton); }

    static void selectRoom(const QString &number)
    {
        const QList<QListWidgetItem *> items = dlg().lbxHabLibres->findItems(number, Qt::MatchExactly);
        QCOMPARE(items.size(), 1);
        dlg().lbxHabLibres->setCurrentItem(items.first());
    }

    static QPushButton *confirmButton()
    {
        return dlg().btReservar->isVisible() ? dlg().btReservar : dlg().btAsignarHabitacion;
    }

    static void confirm() { QTest::mouseClick(confirmButton(), Qt::LeftButton); }

    int stays() const { return m_db->scalar(QStringLiteral("SELECT count(*) FROM Estadias")).toInt(); }

    // The last stay written, one text: check-in|check-out|days|daily|final|state|guest|room.
    QString lastStay() const
    {
        return m_db
            ->scalar(QStringLiteral("SELECT FechaIngreso || '|' || FechaEgreso || '|' || Dias || '|' || PrecioDiario || "
                                    "'|' || PrecioFinal || '|' || coalesce(Estado, '') || '|' || IdHuesped || '|' || "
                                    "IdHabitacion FROM Estadias ORDER BY IdEstadia DESC LIMIT 1"))
            .toString();
    }

    void addStay(const QString &room, int from, int to, const QString &state)
    {
        m_db->addStay(m_ana, m_rooms.value(room), iso(from), iso(to), state);
    }

private slots:
    void initTestCase() { Startup::configure(*static_cast<QApplication *>(QCoreApplication::instance())); }
    void init() { start(); }
    void cleanup() { stop(); }

    void layout()
    {
        QCOMPARE(dlg().size(), QSize(346, 315));
        QCOMPARE(dlg().gbBusqueda->geometry(), QRect(4, 2, 338, 113));
        QCOMPARE(dlg().gbSeleccion->geometry(), QRect(4, 121, 338, 190));
        QCOMPARE(dlg().btReservar->geometry(), QRect(158, 153, 139, 26));
        QCOMPARE(dlg().btAsignarHabitacion->geometry(), QRect(152, 153, 153, 26));
        QVERIFY(dlg().btReservar->isHidden());
        QVERIFY(dlg().btAsignarHabitacion->isHidden());
        QCOMPARE(tariff(), QStringList({"--", "--", "--"}));
        QCOMPARE(dlg().dblcbxTipoHabitacion->listFields(), QStringLiteral("Nombre;Precio"));
        QCOMPARE(dlg().dblcbxHuesped->listFields(), QStringLiteral("Nombre;DNI"));
        QCOMPARE(dlg().dblcbxHuesped->dropDownRows(), 10);
        QCOMPARE(dlg().dblcbxHuesped->dropDownWidth(), 200);
    }

    void modes_data()
    {
        QTest::addColumn<bool>("assignment");
        QTest::addColumn<QString>("caption");
        QTest::addColumn<QString>("state");
        QTest::newRow("reservation") << false << "Reservación de una habitación" << "Reservada";
        QTest::newRow("assignment") << true << "Asignación de una habitación" << "Ocupada";
    }

    void modes()
    {
        QFETCH(bool, assignment);
        QFETCH(QString, caption);
        QFETCH(QString, state);
        DialogAnswers answers;
        const bool posted = open(assignment, [&] {
            QCOMPARE(dlg().windowTitle(), caption);
            QCOMPARE(dlg().btReservar->isVisible(), !assignment);
            QCOMPARE(dlg().btAsignarHabitacion->isVisible(), assignment);
            dlg().dblcbxHuesped->setKeyValue(m_beto);
            search();
            QCOMPARE(listed(), QStringList({"101", "102", "103"}));
            selectRoom(QStringLiteral("102"));
            confirm();
            QVERIFY(!dlg().isVisible());
        });
        QVERIFY(posted);
        QVERIFY(answers.boxes().isEmpty());
        QVERIFY(dlg().btReservar->isHidden());
        QVERIFY(dlg().btAsignarHabitacion->isHidden());
        QCOMPARE(lastStay(), QStringList({stored(0), stored(0), "1", "12345000", "12345000", state,
                                          QString::number(m_beto), QString::number(m_rooms["102"])})
                                 .join(u'|'));
        QCOMPARE(DM->TEstadias->state(), Cursor::State::Browse);
    }

    void availability_data()
    {
        // The search runs over the days 2 to 4 from today; stays: "room from to state".
        QTest::addColumn<QStringList>("arranged");
        QTest::addColumn<QStringList>("free");
        QTest::newRow("no stays") << QStringList() << QStringList({"101", "102", "103"});
        QTest::newRow("a stay ending on the first day blocks") << QStringList({"101 0 2 Reservada"})
                                                               << QStringList({"102", "103"});
        QTest::newRow("a stay starting on the last day blocks") << QStringList({"102 4 9 Ocupada"})
                                                                << QStringList({"101", "103"});
        QTest::newRow("an invoiced stay blocks") << QStringList({"103 3 3 Facturada"}) << QStringList({"101", "102"});
        QTest::newRow("a finished stay does not") << QStringList({"101 2 4 Finalizada"})
                                                  << QStringList({"101", "102", "103"});
        QTest::newRow("the days before and after are free") << QStringList({"101 0 1 Ocupada", "101 5 7 Reservada"})
                                                            << QStringList({"101", "102", "103"});
        QTest::newRow("two overlapping stays remove the room once")
            << QStringList({"102 1 2 Ocupada", "102 4 4 Reservada"}) << QStringList({"101", "103"});
        QTest::newRow("another type's room does not count") << QStringList({"201 2 4 Ocupada"})
                                                            << QStringList({"101", "102", "103"});
        QTest::newRow("every room taken") << QStringList({"101 2 2 Reservada", "102 3 3 Ocupada", "103 0 9 Facturada"})
                                          << QStringList();
    }

    void availability()
    {
        QFETCH(QStringList, arranged);
        QFETCH(QStringList, free);
        for (const QString &s : arranged) {
            const QStringList p = s.split(u' ');
            addStay(p[0], p[1].toInt(), p[2].toInt(), p[3]);
        }
        DialogAnswers answers;
        openReserva([&] {
            userDate(dlg().dtpDesde, 2);
            userDate(dlg().dtpHasta, 4);
            search();
            QCOMPARE(listed(), free);
            QCOMPARE(dlg().lbxHabLibres->currentRow(), free.isEmpty() ? -1 : 0);
            QCOMPARE(dlg().lbxHabLibres->selectedItems().size(), free.isEmpty() ? 0 : 1);
            QVERIFY(dlg().lbxHabLibres->updatesEnabled());
            // The walk leaves the rooms cursor at end, on its last room.
            QVERIFY(DM->THabitaciones->atEnd());
            QCOMPARE(DM->THabitaciones->recNo(), DM->THabitaciones->recordCount() - 1);
            QVERIFY(!DM->QHabitacionesOcupadas->isOpen());
        });
        QVERIFY(answers.boxes().isEmpty());
    }

    void incompleteConfirmation_data()
    {
        QTest::addColumn<int>("typeRow");
        QTest::addColumn<bool>("guest");
        QTest::addColumn<bool>("deselect");
        QTest::newRow("a type without rooms") << 2 << true << false;
        QTest::newRow("no guest") << 0 << false << false;
        QTest::newRow("no room selected") << 0 << true << true;
    }

    void incompleteConfirmation()
    {
        QFETCH(int, typeRow);
        QFETCH(bool, guest);
        QFETCH(bool, deselect);
        DialogAnswers answers({QStringLiteral("OK")});
        const bool posted = openReserva([&] {
            chooseType(typeRow);
            if (guest)
                dlg().dblcbxHuesped->setKeyValue(m_ana);
            search();
            if (deselect)
                dlg().lbxHabLibres->clearSelection();
            confirm();
            QVERIFY(dlg().isVisible());
        });
        QVERIFY(!posted);
        QCOMPARE(answers.texts(), QStringList({Incomplete}));
        QCOMPARE(answers.titles(), QStringList({"Error"}));
        QCOMPARE(stays(), 0);
        QCOMPARE(DM->TEstadias->recordCount(), 0);
    }

    void prices_data()
    {
        QTest::addColumn<QString>("price");
        QTest::addColumn<QString>("separator");
        QTest::addColumn<int>("lastDay");
        QTest::addColumn<QStringList>("shown");
        QTest::addColumn<QString>("daily");
        QTest::addColumn<QString>("total");
        QTest::newRow("decimal comma, three days") << "1234.5" << "," << 3 << QStringList({"1234,50", "3", "3703,50"})
                                                   << "12345000" << "37035000";
        QTest::newRow("one day") << "1234.5" << "," << 1 << QStringList({"1234,50", "1", "1234,50"}) << "12345000"
                                 << "12345000";
        QTest::newRow("decimal point") << "1234.5" << "." << 3 << QStringList({"1234.50", "3", "3703.50"}) << "12345000"
                                       << "37035000";
        QTest::newRow("priced as shown, two decimals") << "10.005" << "," << 3 << QStringList({"10,01", "3", "30,03"})
                                                       << "100100" << "300300";
        QTest::newRow("no thousands separator") << "1234567.89" << "," << 2
                                                << QStringList({"1234567,89", "2", "2469135,78"}) << "12345678900"
                                                << "24691357800";
    }

    void prices()
    {
        QFETCH(QString, price);
        QFETCH(QString, separator);
        QFETCH(int, lastDay);
        QFETCH(QStringList, shown);
        QFETCH(QString, daily);
        QFETCH(QString, total);
        RegionalSettings s = spanishSettings();
        s.decimalSeparator = separator;
        s.thousandSeparator = separator == u"," ? QStringLiteral(".") : QStringLiteral(",");
        Regional::setSettings(s);
        Cursor &types = *DM->TTiposDeHabitacion;
        QVERIFY(types.locate(QStringLiteral("IdTipo"), m_doble));
        types.edit();
        types.setValue(QStringLiteral("Precio"), QVariant::fromValue(*Money::parse(price, u".")));
        types.post();
        DialogAnswers answers;
        const bool posted = openReserva([&] {
            userDate(dlg().dtpDesde, 1);
            userDate(dlg().dtpHasta, lastDay);
            QCOMPARE(tariff(), shown);
            dlg().dblcbxHuesped->setKeyValue(m_ana);
            search();
            confirm();
        });
        QVERIFY(posted);
        QVERIFY(answers.boxes().isEmpty());
        QCOMPARE(lastStay(), QStringList({stored(1), stored(lastDay), shown[1], daily, total, "Reservada",
                                          QString::number(m_ana), QString::number(m_rooms["101"])})
                                 .join(u'|'));
    }

    void noRoomTypes()
    {
        stop();
        start(false);
        DialogAnswers answers({QStringLiteral("OK")});
        openReserva([] {
            QVERIFY(!dlg().dblcbxTipoHabitacion->keyValue().isValid());
            QCOMPARE(dlg().dblcbxTipoHabitacion->text(), QString());
            QCOMPARE(tariff(), QStringList({"0,00", "1", "0,00"}));
            search();
            QVERIFY(listed().isEmpty());
        });
        QCOMPARE(answers.texts(), QStringList({"Seleccione un tipo de habitación!"}));
        QCOMPARE(answers.titles(), QStringList({"Information"}));
    }

    void closeBoxWritesNothing()
    {
        const bool posted = openReserva([&] {
            dlg().dblcbxHuesped->setKeyValue(m_ana);
            search();
            dlg().close();
        });
        QVERIFY(!posted);
        QCOMPARE(stays(), 0);
        QCOMPARE(DM->TEstadias->recordCount(), 0);
        QVERIFY(dlg().btReservar->isHidden());
    }

    void resetOnOpening()
    {
        openReserva([&] {
            chooseType(1);
            dlg().dblcbxHuesped->setKeyValue(m_ana);
            userDate(dlg().dtpDesde, 3);
            search();
            QCOMPARE(listed(), QStringList({"201"}));
        });
        openReserva([&] {
            QCOMPARE(dlg().dtpDesde->date(), DateTimes::make(today()));
            QCOMPARE(dlg().dtpHasta->date(), DateTimes::make(today()));
            QCOMPARE(dlg().dtpDesde->minDate(), today());
            QCOMPARE(dlg().dtpHasta->minDate(), today());
            QVERIFY(listed().isEmpty());
            QVERIFY(!dlg().dblcbxHuesped->keyValue().isValid());
            // The type stays chosen, and is priced.
            QCOMPARE(dlg().dblcbxTipoHabitacion->keyValue().toLongLong(), m_suite);
            QCOMPARE(tariff(), QStringList({"200,00", "1", "200,00"}));
        });
    }

    void datesMoveTheCheckOut()
    {
        openReserva([] {
            search();
            const QStringList before = listed();
            userDate(dlg().dtpDesde, 5);
            QCOMPARE(dlg().dtpHasta->date(), DateTimes::make(today().addDays(5)));
            QCOMPARE(dlg().dtpHasta->minDate(), today().addDays(5));
            QCOMPARE(tariff(), QStringList({"1234,50", "1", "1234,50"}));
            userDate(dlg().dtpHasta, 6);
            QCOMPARE(tariff(), QStringList({"1234,50", "2", "2469,00"}));
            // The list stays as the search left it.
            QCOMPARE(listed(), before);
        });
    }

    void keptTypeIsPricedByItsKey()
    {
        openReserva([&] { QCOMPARE(dlg().dblcbxTipoHabitacion->keyValue().toLongLong(), m_doble); });
        // Other windows move the shared cursor between two openings.
        QVERIFY(DM->TTiposDeHabitacion->locate(QStringLiteral("IdTipo"), m_suite));
        openReserva([&] {
            QCOMPARE(dlg().dblcbxTipoHabitacion->keyValue().toLongLong(), m_doble);
            QCOMPARE(tariff(), QStringList({"1234,50", "1", "1234,50"}));
            QCOMPARE(DM->TTiposDeHabitacion->fieldByName(QStringLiteral("IdTipo")).asInteger(), m_suite);
            // A drop-down closed without a choice runs the type step again.
            DM->TTiposDeHabitacion->locate(QStringLiteral("IdTipo"), m_vacio);
            dlg().dblcbxTipoHabitacion->dropDown();
            dlg().dblcbxTipoHabitacion->closeDropDown(false);
            QCOMPARE(tariff(), QStringList({"1234,50", "1", "1234,50"}));
            search();
            QCOMPARE(listed(), QStringList({"101", "102", "103"}));
        });
    }

    void choosingATypeMovesTheCursor()
    {
        openReserva([&] {
            chooseType(1);
            QCOMPARE(dlg().dblcbxTipoHabitacion->keyValue().toLongLong(), m_suite);
            QCOMPARE(DM->TTiposDeHabitacion->fieldByName(QStringLiteral("IdTipo")).asInteger(), m_suite);
            QCOMPARE(tariff(), QStringList({"200,00", "1", "200,00"}));
        });
    }

    void deletedKeptTypeFallsBackToTheCurrentOne()
    {
        openReserva([] { chooseType(2); });
        Cursor &types = *DM->TTiposDeHabitacion;
        QVERIFY(types.locate(QStringLiteral("IdTipo"), m_vacio));
        types.remove();
        QVERIFY(types.locate(QStringLiteral("IdTipo"), m_suite));
        openReserva([&] {
            QCOMPARE(dlg().dblcbxTipoHabitacion->keyValue().toLongLong(), m_suite);
            QCOMPARE(dlg().dblcbxTipoHabitacion->text(), QStringLiteral("Suite"));
            QCOMPARE(tariff(), QStringList({"200,00", "1", "200,00"}));
        });
    }

    void guestButton()
    {
        DialogAnswers answers;
        openReserva([&] {
            whenModalOpens([](QWidget *modal) {
                QCOMPARE(modal, static_cast<QWidget *>(FHuespedes));
                QVERIFY(DM->THuespedes->locate(QStringLiteral("Nombre"), QStringLiteral("Beto Ruiz")));
            });
            QTest::mouseClick(dlg().btHuespedes, Qt::LeftButton);
            QCOMPARE(dlg().dblcbxHuesped->keyValue().toLongLong(), m_beto);
            QCOMPARE(dlg().dblcbxHuesped->text(), QStringLiteral("Beto Ruiz"));
        });
        QVERIFY(answers.boxes().isEmpty());
    }

    void guestWindowLeftEmpty()
    {
        DialogAnswers answers({QStringLiteral("OK")});
        const bool posted = openReserva([&] {
            search();
            whenModalOpens([](QWidget *) { FHuespedes->edFiltro->setText(QStringLiteral("nadie")); });
            QTest::mouseClick(dlg().btHuespedes, Qt::LeftButton);
            QCOMPARE(dlg().dblcbxHuesped->keyValue().toLongLong(), qint64(0));
            QCOMPARE(dlg().dblcbxHuesped->text(), QString());
            // Guest 0 does not exist: the file refuses the row, which is dropped.
            confirm();
            QVERIFY(dlg().isVisible());
            QCOMPARE(DM->TEstadias->state(), Cursor::State::Browse);
            QCOMPARE(DM->TEstadias->recordCount(), 0);
            QCOMPARE(listed(), QStringList({"101", "102", "103"}));
            QCOMPARE(dlg().lbxHabLibres->currentRow(), 0);
        });
        QVERIFY(!posted);
        QCOMPARE(answers.texts(), QStringList({Failed}));
        QCOMPARE(answers.titles(), QStringList({"Error"}));
        QCOMPARE(stays(), 0);
    }

    void typeChangedAfterSearch_data()
    {
        QTest::addColumn<QString>("how"); // drop-down row, or the arrow key
        QTest::addColumn<QStringList>("listed");
        QTest::addColumn<QStringList>("tariff");
        QTest::addColumn<QString>("booked"); // daily price written, or empty for nothing
        QTest::newRow("another type from the drop-down") << "row 1" << QStringList() << QStringList({"200,00", "1", "200,00"})
                                                         << QString();
        QTest::newRow("another type with the arrow key") << "down" << QStringList()
                                                         << QStringList({"200,00", "1", "200,00"}) << QString();
        QTest::newRow("the same type chosen again") << "row 0" << QStringList({"101", "102", "103"})
                                                    << QStringList({"1234,50", "1", "1234,50"}) << "12345000";
    }

    // The free rooms listed are of the type searched: choosing another type
    // empties the list, so that no room is booked at another type's price.
    void typeChangedAfterSearch()
    {
        QFETCH(QString, how);
        QFETCH(QStringList, listed);
        QFETCH(QStringList, tariff);
        QFETCH(QString, booked);
        DialogAnswers answers(booked.isEmpty() ? QStringList({QStringLiteral("OK")}) : QStringList());
        const bool posted = openReserva([&] {
            dlg().dblcbxHuesped->setKeyValue(m_ana);
            search();
            QCOMPARE(this->listed(), QStringList({"101", "102", "103"}));
            if (how == u"down") {
                dlg().dblcbxTipoHabitacion->setFocus();
                QTest::keyClick(dlg().dblcbxTipoHabitacion, Qt::Key_Down);
            } else {
                chooseType(how.back().digitValue());
            }
            QCOMPARE(this->listed(), listed);
            QCOMPARE(this->tariff(), tariff);
            confirm();
        });
        QCOMPARE(posted, !booked.isEmpty());
        if (booked.isEmpty()) {
            QCOMPARE(answers.texts(), QStringList({Incomplete}));
            QCOMPARE(stays(), 0);
        } else {
            QCOMPARE(lastStay().section(u'|', 3, 3), booked);
        }
    }

    // Ten rows of 13 pixels fit the list's 140; the eleventh opens the second column.
    void freeRoomListColumns()
    {
        stop();
        start(true, 22);
        openReserva([&] {
            search();
            QListWidget *list = dlg().lbxHabLibres;
            QCOMPARE(list->count(), 25);
            const QRect first = list->visualItemRect(list->item(0));
            const QRect tenth = list->visualItemRect(list->item(9));
            const QRect eleventh = list->visualItemRect(list->item(10));
            QCOMPARE(first.height(), 13);
            QCOMPARE(tenth.left(), first.left());
            QVERIFY(tenth.bottom() < list->viewport()->height());
            QVERIFY(eleventh.left() > first.left());
            QCOMPARE(eleventh.top(), first.top());
        });
    }

    // A guest typed into the guests window and left there by its close box is
    // posted as the window closes and becomes the responsible guest.
    void guestTypedInTheGuestsWindow()
    {
        DialogAnswers answers;
        const bool posted = openReserva([&] {
            search();
            whenModalOpens([](QWidget *) {
                FHuespedes->DBNavigator1->press(RecordNavigator::Insert);
                FHuespedes->DBEdit1->setFocus();
                QTest::keyClicks(FHuespedes->DBEdit1, QStringLiteral("Carla Sosa"));
                FHuespedes->DBEdit2->setFocus();
                QTest::keyClicks(FHuespedes->DBEdit2, QStringLiteral("30111222"));
                // Closed by its close box, the guest still being typed.
            });
            QTest::mouseClick(dlg().btHuespedes, Qt::LeftButton);
            QCOMPARE(dlg().dblcbxHuesped->text(), QStringLiteral("Carla Sosa"));
            confirm();
        });
        QVERIFY(posted);
        QVERIFY(answers.boxes().isEmpty());
        const qint64 carla = m_db->scalar(QStringLiteral("SELECT IdHuesped FROM Huespedes WHERE Nombre = 'Carla Sosa' "
                                                         "AND DNI = '30111222'"))
                                 .toLongLong();
        QVERIFY(carla > 0);
        QCOMPARE(lastStay().section(u'|', 6, 6).toLongLong(), carla);
    }

    // Dates typed section by section, as a clerk types them, end as typed.
    void typedCheckOutAcrossTheYear()
    {
        const int year = today().year() + 1;
        const bool posted = openReserva([&] {
            dlg().dblcbxHuesped->setKeyValue(m_ana);
            dlg().findChild<DatePicker *>(QStringLiteral("dtpDesde"))->findChild<QDateEdit *>()->setDate(QDate(year, 12, 30));
            QDateEdit *hasta = dlg().dtpHasta->findChild<QDateEdit *>();
            dlg().dtpHasta->setFocus();
            QTest::keyClick(hasta, Qt::Key_Home);
            QTest::keyClicks(hasta, QStringLiteral("02"));
            QTest::keyClick(hasta, Qt::Key_Tab);
            QTest::keyClicks(hasta, QStringLiteral("01"));
            QTest::keyClick(hasta, Qt::Key_Tab);
            QTest::keyClicks(hasta, QString::number(year + 1));
            QCOMPARE(dlg().dtpHasta->date().date(), QDate(year + 1, 1, 2));
            QCOMPARE(dlg().lblCantDias->text(), QStringLiteral("4"));
            search();
            confirm();
        });
        QVERIFY(posted);
        QCOMPARE(lastStay().section(u'|', 0, 2), QStringLiteral("%1-12-30 00:00:00|%2-01-02 00:00:00|4").arg(year).arg(year + 1));
    }

    void doubleBooking_data()
    {
        QTest::addColumn<bool>("afterSearch");
        QTest::addColumn<QString>("state");
        QTest::addColumn<bool>("refused");
        QTest::newRow("dates moved onto a reservation") << false << "Reservada" << true;
        QTest::newRow("dates moved onto an invoiced stay") << false << "Facturada" << true;
        QTest::newRow("dates moved onto a finished stay") << false << "Finalizada" << false;
        QTest::newRow("booked by another program after the search") << true << "Ocupada" << true;
    }

    void doubleBooking()
    {
        QFETCH(bool, afterSearch);
        QFETCH(QString, state);
        QFETCH(bool, refused);
        if (!afterSearch)
            addStay(QStringLiteral("102"), 3, 3, state);
        DialogAnswers answers(refused ? QStringList({QStringLiteral("OK")}) : QStringList());
        const bool posted = openReserva([&] {
            dlg().dblcbxHuesped->setKeyValue(m_ana);
            if (afterSearch) {
                userDate(dlg().dtpHasta, 4);
                search();
                addStay(QStringLiteral("102"), 3, 3, state);
            } else {
                search();
                userDate(dlg().dtpDesde, 1);
                userDate(dlg().dtpHasta, 4);
            }
            selectRoom(QStringLiteral("102"));
            const QStringList before = listed();
            const int knownStays = DM->TEstadias->recordCount();
            confirm();
            if (!refused)
                return;
            // Nothing written, and the dialog stays as it was.
            QVERIFY(dlg().isVisible());
            QCOMPARE(DM->TEstadias->state(), Cursor::State::Browse);
            QCOMPARE(DM->TEstadias->recordCount(), knownStays);
            QCOMPARE(listed(), before);
            QCOMPARE(dlg().lbxHabLibres->currentItem()->text(), QStringLiteral("102"));
            QCOMPARE(dlg().dtpHasta->date(), DateTimes::make(today().addDays(4)));
            // Days on which the room is free go through.
            userDate(dlg().dtpDesde, 4);
            confirm();
            QVERIFY(!dlg().isVisible());
        });
        QVERIFY(posted);
        QCOMPARE(answers.texts(), refused ? QStringList({NotFree}) : QStringList());
        QCOMPARE(stays(), 2);
        QCOMPARE(lastStay().section(u'|', 0, 1), QStringList({stored(refused ? 4 : 1), stored(4)}).join(u'|'));
    }

    // Another desk books the room at the same moment: its transaction is still
    // open when this dialog writes. Only the other desk's booking is kept; this
    // desk reads that the room is taken and books other days. When the other
    // desk then writes a day this booking holds, each waits for the other; the
    // server ends this desk's transaction, and the dialog runs it again.
    void anotherDeskBooksAtTheSameMoment_data()
    {
        QTest::addColumn<bool>("waitingForEachOther");
        QTest::newRow("this desk waits") << false;
        QTest::newRow("both desks wait for each other") << true;
    }

    void anotherDeskBooksAtTheSameMoment()
    {
        QFETCH(bool, waitingForEachOther);
        const int before = stays();
        const QString insert = QStringLiteral("INSERT INTO Estadias (IdHuesped, IdHabitacion, FechaIngreso, "
                                              "FechaEgreso, Estado, Dias) VALUES (%1, %2, '%3', '%3', 'Ocupada', 1)")
                                   .arg(m_beto)
                                   .arg(m_rooms.value(QStringLiteral("102")));
        QStringList then;
        if (waitingForEachOther)
            then << insert.arg(stored(1));
        OtherDesk other(*m_db, {insert.arg(stored(3))}, then);
        other.waitUntilWritten();
        DialogAnswers answers({QStringLiteral("OK")});
        const bool posted = openReserva([&] {
            dlg().dblcbxHuesped->setKeyValue(m_ana);
            userDate(dlg().dtpHasta, 4);
            search();
            // Not committed yet: the room is offered.
            selectRoom(QStringLiteral("102"));
            confirm();
            QVERIFY(dlg().isVisible());
            QCOMPARE(DM->TEstadias->state(), Cursor::State::Browse);
            QVERIFY(!DM->TEstadias->lookup(QStringLiteral("IdHuesped"), m_ana, QStringLiteral("IdEstadia")).isValid());
            userDate(dlg().dtpDesde, 4);
            confirm();
            QVERIFY(!dlg().isVisible());
        });
        const QString otherError = other.finish();
        QVERIFY2(otherError.isEmpty(), qPrintable(otherError));
        QVERIFY(posted);
        QCOMPARE(answers.texts(), QStringList({NotFree}));
        QCOMPARE(stays(), before + (waitingForEachOther ? 3 : 2));
        QCOMPARE(m_db->scalar(QStringLiteral("SELECT count(*) FROM Estadias WHERE IdHuesped = ?"), {m_ana}).toInt(), 1);
        QCOMPARE(lastStay().section(u'|', 0, 1), QStringList({stored(4), stored(4)}).join(u'|'));
    }

    void roomBookedOnlyOnce()
    {
        // Two bookings of the same room on the same day: the second list no longer offers it.
        for (int i = 0; i < 2; ++i) {
            openReserva([&] {
                dlg().dblcbxHuesped->setKeyValue(m_ana);
                search();
                QCOMPARE(listed().first(), QString::number(101 + i));
                confirm();
            });
        }
        QCOMPARE(m_db->scalar(QStringLiteral("SELECT count(DISTINCT IdHabitacion) FROM Estadias")).toInt(), 2);
    }

    void searchFailureKeepsTheRooms()
    {
        m_db->exec(QStringLiteral("ALTER TABLE Estadias RENAME TO EstadiasViejas"));
        DialogAnswers answers({QStringLiteral("OK")});
        openReserva([] {
            search();
            QCOMPARE(listed(), QStringList({"101", "102", "103"}));
            QCOMPARE(dlg().lbxHabLibres->currentRow(), 0);
            QVERIFY(dlg().lbxHabLibres->updatesEnabled());
        });
        QCOMPARE(answers.titles(), QStringList({"Administración de Hotel"}));
        QVERIFY(answers.texts().first().contains(QStringLiteral("Estadias")));
    }
};

QTEST_MAIN(TestBusquedaHabitacion)
#include "tst_busquedahabitacion.moc"

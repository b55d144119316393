#include "UBusquedaHabitacion.h"

#include "DataError.h"
#include "DatePicker.h"
#include "DateTimes.h"
#include "Guard.h"
#include "ListBox.h"
#include "LookupCombo.h"
#include "MessageDialog.h"
#include "NumberMask.h"
#include "Regional.h"
#include "UDM.h"
#include "UHuespedes.h"
#include "Widgets.h"

#include <QGroupBox>
#include <QListWidget>
#include <QSet>

TFBusquedaHabitacion *FBusquedaHabitacion = nullptr;

namespace {

const QString PriceMask = QStringLiteral("0.00");

// A value label of the tariff: regular font, right-aligned in a fixed width.
QLabel *valueLabel(QWidget *parent, int x, int y)
{
    QLabel *l = Widgets::label(parent, QStringLiteral("--"), x, y, false);
    l->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    l->setFixedWidth(48);
    return l;
}

Money readPrice(const QLabel *label)
{
    const std::optional<Money> p = Money::parse(label->text(), Regional::settings().decimalSeparator);
    if (!p)
        throw DataError(QStringLiteral("'%1' is not a valid floating point value").arg(label->text()));
    return *p;
}

QDateTime dayOf(const DatePicker *picker)
{
    return DateTimes::dayOf(picker->date());
}

// The list box repaints once, when the search is over, on every path; its
// first item is then selected (nothing when it is empty).
class ListRebuild
{
public:
    explicit ListRebuild(QListWidget *list) : m_list(list) { m_list->setUpdatesEnabled(false); }
    ~ListRebuild()
    {
        m_list->setUpdatesEnabled(true);
        m_list->setCurrentRow(m_list->count() > 0 ? 0 : -1);
    }
    ListRebuild(const ListRebuild &) = delete;
    ListRebuild &operator=(const ListRebuild &) = delete;

private:
    QListWidget *m_list;
};

} // namespace

TFBusquedaHabitacion::TFBusquedaHabitacion(QWidget *parent) : FormWindow(parent)
{
    setObjectName(QStringLiteral("FBusquedaHabitacion"));

    gbBusqueda = Widgets::groupBox(this, QStringLiteral("Búsqueda de Habitación"), QRect(4, 2, 338, 113));
    gbBusqueda->setObjectName(QStringLiteral("gbBusqueda"));
    Label4 = Widgets::label(gbBusqueda, QStringLiteral("Desde"), 10, 21);
    dtpDesde = new DatePicker(gbBusqueda);
    dtpDesde->setObjectName(QStringLiteral("dtpDesde"));
    dtpDesde->setGeometry(10, 36, 155, 21);
    dtpDesde->setFormat(QStringLiteral("dddd dd/MM/yyyy"));
    Label5 = Widgets::label(gbBusqueda, QStringLiteral("Hasta"), 173, 20);
    dtpHasta = new DatePicker(gbBusqueda);
    dtpHasta->setObjectName(QStringLiteral("dtpHasta"));
    dtpHasta->setGeometry(173, 36, 155, 21);
    dtpHasta->setFormat(QStringLiteral("dddd dd/MM/yyyy"));
    Label1 = Widgets::label(gbBusqueda, QStringLiteral("Tipo de Habitacion"), 10, 64);
    dblcbxTipoHabitacion = new LookupCombo(gbBusqueda);
    dblcbxTipoHabitacion->setObjectName(QStringLiteral("dblcbxTipoHabitacion"));
    dblcbxTipoHabitacion->setGeometry(10, 79, 211, 21);
    dblcbxTipoHabitacion->setListSource(DM->DTiposDeHabitacion);
    dblcbxTipoHabitacion->setKeyField(QStringLiteral("IdTipo"));
    dblcbxTipoHabitacion->setListFields(QStringLiteral("Nombre;Precio"));
    btBuscar = Widgets::button(gbBusqueda, QStringLiteral("Buscar"), 16, QRect(240, 76, 88, 26));
    btBuscar->setObjectName(QStringLiteral("btBuscar"));

    gbSeleccion = Widgets::groupBox(this, QStringLiteral("Selección de Habitación "), QRect(4, 121, 338, 190));
    gbSeleccion->setObjectName(QStringLiteral("gbSeleccion"));
    Label2 = Widgets::label(gbSeleccion, QStringLiteral("Habitaciones Libres"), 10, 23);
    lbxHabLibres = new ListBox(gbSeleccion);
    lbxHabLibres->setObjectName(QStringLiteral("lbxHabLibres"));
    lbxHabLibres->setGeometry(10, 39, 115, 140);
    // Three columns filled from the top down, scrolling sideways.
    lbxHabLibres->setColumns(3, 13);
    Label3 = Widgets::label(gbSeleccion, QStringLiteral("Responsable"), 135, 23);
    dblcbxHuesped = new LookupCombo(gbSeleccion);
    dblcbxHuesped->setObjectName(QStringLiteral("dblcbxHuesped"));
    dblcbxHuesped->setGeometry(135, 39, 162, 21);
    dblcbxHuesped->setListSource(DM->DHuespedes);
    dblcbxHuesped->setKeyField(QStringLiteral("IdHuesped"));
    dblcbxHuesped->setListFields(QStringLiteral("Nombre;DNI"));
    dblcbxHuesped->setDropDownRows(10);
    dblcbxHuesped->setDropDownWidth(200);
    btHuespedes = Widgets::button(gbSeleccion, QString(), 13, QRect(303, 38, 25, 23));
    btHuespedes->setObjectName(QStringLiteral("btHuespedes"));

    GroupBox1 = Widgets::groupBox(gbSeleccion, QStringLiteral("Tarifa"), QRect(131, 66, 197, 81));
    GroupBox1->setObjectName(QStringLiteral("GroupBox1"));
    lblCostoDia1 = Widgets::label(GroupBox1, QStringLiteral("Precio por día:"), 21, 20);
    lblCostoDia = valueLabel(GroupBox1, 113, 20);
    lblCostoDia->setObjectName(QStringLiteral("lblCostoDia"));
    lblCantDias1 = Widgets::label(GroupBox1, QStringLiteral("Cant. de  días:"), 21, 39);
    lblCantDias = valueLabel(GroupBox1, 113, 39);
    lblCantDias->setObjectName(QStringLiteral("lblCantDias"));
    lblCostoTotal1 = Widgets::label(GroupBox1, QStringLiteral("Precio Final   :"), 23, 58);
    lblCostoTotal = valueLabel(GroupBox1, 113, 58);
    lblCostoTotal->setObjectName(QStringLiteral("lblCostoTotal"));

    btReservar = Widgets::button(gbSeleccion, QStringLiteral(" Confirmar Reserva"), 10, QRect(158, 153, 139, 26));
    btReservar->setObjectName(QStringLiteral("btReservar"));
    btReservar->setProperty("Tag", 0);
    btReservar->hide();
    btAsignarHabitacion =
        Widgets::button(gbSeleccion, QStringLiteral(" Asignar Habitación"), 15, QRect(152, 153, 153, 26));
    btAsignarHabitacion->setObjectName(QStringLiteral("btAsignarHabitacion"));
    btAsignarHabitacion->setProperty("Tag", 1);
    btAsignarHabitacion->hide();

    // Names for assistive technology, from the labels that head the controls;
    // the guest button shows only a picture.
    Widgets::name(dtpDesde, Label4->text());
    Widgets::name(dtpHasta, Label5->text());
    Widgets::name(dblcbxTipoHabitacion, Label1->text());
    Widgets::name(lbxHabLibres, Label2->text());
    Widgets::name(dblcbxHuesped, Label3->text());
    Widgets::nameIconButton(btHuespedes, QStringLiteral("Agregar huésped"));

    // Sized to the visible contents: margins of 4 left, right and bottom, 2 on top.
    const QRect contents = gbBusqueda->geometry().united(gbSeleccion->geometry());
    setClientSize(contents.right() + 1 + 4, contents.bottom() + 1 + 4);

    connect(btBuscar, &QPushButton::clicked, this, [this] { guarded(this, [this] { btBuscarClick(); }); });
    for (QPushButton *b : {btReservar, btAsignarHabitacion})
        connect(b, &QPushButton::clicked, this, [this, b] { guarded(this, [this, b] { btReservarClick(b); }); });
    connect(btHuespedes, &QPushButton::clicked, this, [this] { guarded(this, [this] { btHuespedesClick(); }); });
    for (auto signal : {&LookupCombo::clicked, &LookupCombo::closeUp})
        connect(dblcbxTipoHabitacion, signal, this,
                [this] { guarded(this, [this] { dblcbxTipoHabitacionClick(); }); });
    connect(dtpDesde, &DatePicker::changed, this, [this] { guarded(this, [this] { dtpDesdeChange(); }); });
    connect(dtpHasta, &DatePicker::changed, this, [this] { guarded(this, [this] { dtpHastaChange(); }); });
}

bool TFBusquedaHabitacion::AgregarReserva()
{
    return agregar(QStringLiteral("Reservación de una habitación"), btReservar);
}

bool TFBusquedaHabitacion::AgregarEstadia()
{
    return agregar(QStringLiteral("Asignación de una habitación"), btAsignarHabitacion);
}

bool TFBusquedaHabitacion::ReservarHabitacion(qint64 idHabitacion, QDate dia)
{
    return agregar(QStringLiteral("Reservación de una habitación"), btReservar, [this, idHabitacion, dia] {
        const QVariant type =
            DM->THabitaciones->lookup(QStringLiteral("idHabitacion"), idHabitacion, QStringLiteral("IdTipo"));
        const QVariant number =
            DM->THabitaciones->lookup(QStringLiteral("idHabitacion"), idHabitacion, QStringLiteral("NroHabitacion"));
        dblcbxTipoHabitacion->setKeyValue(type);
        dblcbxTipoHabitacionClick();
        dtpDesde->setDate(DateTimes::make(dia));
        dtpHasta->setMinDate(dia);
        dtpHasta->setDate(DateTimes::make(dia));
        CalcularTarifa();
        btBuscarClick();
        const QList<QListWidgetItem *> found = lbxHabLibres->findItems(number.toString(), Qt::MatchExactly);
        if (found.isEmpty())
            lbxHabLibres->clearSelection(); // taken meanwhile: nothing is chosen
        lbxHabLibres->setCurrentItem(found.isEmpty() ? nullptr : found.first());
    });
}

bool TFBusquedaHabitacion::agregar(const QString &caption, QPushButton *button, const std::function<void()> &preset)
{
    setWindowTitle(caption);
    InicializarBusqueda();
    if (preset)
        preset();
    button->show();
    const int result = ShowModal();
    button->hide();
    return result == mrOk;
}

void TFBusquedaHabitacion::InicializarBusqueda()
{
    const QDateTime today = DateTimes::make(DateTimes::today());
    dtpDesde->setMinDate(today.date());
    dtpDesde->setDate(today);
    dtpHasta->setMinDate(today.date());
    dtpHasta->setDate(today);
    lbxHabLibres->clear();
    dblcbxHuesped->setKeyValue(QVariant());

    Cursor &types = *DM->TTiposDeHabitacion;
    // A type kept from an earlier opening that has since been deleted counts
    // as no choice, so that the combo, the price and the search agree.
    const QVariant kept = dblcbxTipoHabitacion->keyValue();
    if (kept.isValid() && !types.lookup(QStringLiteral("IdTipo"), kept, QStringLiteral("IdTipo")).isValid())
        dblcbxTipoHabitacion->setKeyValue(QVariant());
    if (!dblcbxTipoHabitacion->keyValue().isValid())
        dblcbxTipoHabitacion->setKeyValue(types.value(QStringLiteral("IdTipo")));

    dblcbxTipoHabitacionClick();
    CalcularTarifa();
}

void TFBusquedaHabitacion::dblcbxTipoHabitacionClick()
{
    // The price of the chosen type, looked up by its key: the shared cursor may
    // stand on another type (an earlier search, other windows, a drop-down
    // closed without a choice), and the lookup does not move it.
    Money price;
    const QVariant key = dblcbxTipoHabitacion->keyValue();
    if (key.isValid()) {
        const QVariant stored = DM->TTiposDeHabitacion->lookup(QStringLiteral("IdTipo"), key, QStringLiteral("Precio"));
        if (stored.isValid())
            price = stored.value<Money>();
    }
    lblCostoDia->setText(NumberMask::format(price, PriceMask));
    // The free rooms listed belong to the type searched; once another type is
    // chosen they would be booked at its price, so they go until a new search.
    if (lbxHabLibres->count() > 0) {
        const QVariant listedType = DM->THabitaciones->lookup(QStringLiteral("NroHabitacion"),
                                                              lbxHabLibres->item(0)->text(), QStringLiteral("idTipo"));
        if (!key.isValid() || !listedType.isValid() || listedType.toLongLong() != key.toLongLong())
            lbxHabLibres->clear();
    }
    CalcularTarifa();
}

void TFBusquedaHabitacion::CalcularTarifa()
{
    const qint64 days = dayOf(dtpDesde).daysTo(dayOf(dtpHasta)) + 1;
    const Money price = readPrice(lblCostoDia);
    lblCantDias->setText(QString::number(days));
    lblCostoTotal->setText(NumberMask::format(price * days, PriceMask));
}

void TFBusquedaHabitacion::dtpDesdeChange()
{
    CalcularTarifa();
    const QDateTime before = dtpHasta->date();
    dtpHasta->setMinDate(dayOf(dtpDesde).date());
    // The check-out day may have moved up to the new minimum: the labels follow.
    if (dtpHasta->date() != before)
        CalcularTarifa();
}

void TFBusquedaHabitacion::dtpHastaChange()
{
    CalcularTarifa();
}

void TFBusquedaHabitacion::btBuscarClick()
{
    const QVariant type = dblcbxTipoHabitacion->keyValue();
    if (!type.isValid()) {
        MessageDialog::information(QStringLiteral("Seleccione un tipo de habitación!"), this);
        return;
    }
    ListRebuild rebuild(lbxHabLibres);
    lbxHabLibres->clear();

    Cursor &rooms = *DM->THabitaciones;
    const qint64 typeId = type.toLongLong();
    // The hidden rooms window follows only the room the walk ends on.
    Cursor::ControlsDisabled quiet(rooms);
    const Field &roomType = rooms.fieldByName(QStringLiteral("idTipo"));
    const Field &roomNumber = rooms.fieldByName(QStringLiteral("NroHabitacion"));
    rooms.first();
    while (!rooms.atEnd()) {
        if (roomType.asInteger() == typeId)
            lbxHabLibres->addItem(roomNumber.asString());
        rooms.next();
    }

    QueryCursor &taken = *DM->QHabitacionesOcupadas;
    taken.close();
    taken.setParameter(QStringLiteral("FechaIni"), dayOf(dtpDesde).date());
    taken.setParameter(QStringLiteral("FechaFin"), dayOf(dtpHasta).date());
    taken.setParameter(QStringLiteral("IdTipoHab"), type);
    taken.open();
    // Every listed room with an overlapping stay goes, in one pass over the
    // list (room numbers are digits, so letter case never matters).
    QSet<QString> takenNumbers;
    const Field &takenNumber = taken.fieldByName(QStringLiteral("NroHabitacion"));
    taken.first();
    while (!taken.atEnd()) {
        takenNumbers.insert(takenNumber.asString());
        taken.next();
    }
    for (int i = lbxHabLibres->count() - 1; i >= 0; --i) {
        if (takenNumbers.contains(lbxHabLibres->item(i)->text()))
            delete lbxHabLibres->takeItem(i);
    }
    taken.close();
}

void TFBusquedaHabitacion::btHuespedesClick()
{
    FHuespedes->ShowModal();
    Cursor &guests = *DM->THuespedes;
    // A guest still being typed when the window closed is posted first, so
    // that it has its key and becomes the responsible guest.
    guests.checkBrowseMode();
    dblcbxHuesped->setKeyValue(guests.isEmpty() ? qint64(0) : guests.fieldByName(QStringLiteral("IdHuesped")).asInteger());
}

int TFBusquedaHabitacion::selectedRoom() const
{
    const QList<QListWidgetItem *> selected = lbxHabLibres->selectedItems();
    return selected.isEmpty() ? -1 : lbxHabLibres->row(selected.first());
}

void TFBusquedaHabitacion::btReservarClick(QObject *Sender)
{
    const int room = selectedRoom();
    if (!dblcbxHuesped->keyValue().isValid() || room < 0) {
        MessageDialog::error(
            QStringLiteral("Datos incompletos. Seleccione un huésped responsable y una habitación libre."), this);
        return;
    }
    Cursor &stays = *DM->TEstadias;
    bool taken = false;
    for (int attempt = 1;; ++attempt) {
        try {
            const QString number = lbxHabLibres->item(room)->text();
            // The check and the write run under one write lock of a file, so no
            // other booking can slip in between; a server refuses one itself.
            Database::Transaction transaction(DM->Cnx);
            const QVariant roomId =
                DM->THabitaciones->lookup(QStringLiteral("NroHabitacion"), number, QStringLiteral("idHabitacion"));
            if (!roomId.isValid())
                throw DataError(QStringLiteral("Room %1 not found").arg(number));
            const QDateTime checkIn = dayOf(dtpDesde);
            const QDateTime checkOut = dayOf(dtpHasta);
            // The dates may have changed since the search, and the list does not
            // follow them: ask the file whether the room is free on the days shown.
            taken = !DM->roomIsFree(roomId.toLongLong(), checkIn.date(), checkOut.date());
            if (!taken) {
                stays.append();
                const Money price = readPrice(lblCostoDia);
                const qint64 days = checkIn.daysTo(checkOut) + 1;
                stays.setValue(QStringLiteral("FechaIngreso"), checkIn);
                stays.setValue(QStringLiteral("FechaEgreso"), checkOut);
                stays.setValue(QStringLiteral("Dias"), days);
                stays.setValue(QStringLiteral("PrecioDiario"), QVariant::fromValue(price));
                stays.setValue(QStringLiteral("PrecioFinal"), QVariant::fromValue(price * days));
                stays.setValue(QStringLiteral("IdHuesped"), dblcbxHuesped->keyValue().toLongLong());
                stays.setValue(QStringLiteral("IdHabitacion"), roomId);
                switch (Sender->property("Tag").toInt()) {
                case 0:
                    stays.setValue(QStringLiteral("Estado"), QStringLiteral("Reservada"));
                    break;
                case 1:
                    stays.setValue(QStringLiteral("Estado"), QStringLiteral("Ocupada"));
                    break;
                default:
                    break;
                }
                stays.post();
                transaction.commit();
            }
            break;
        } catch (const DataError &e) {
            stays.cancel();
            // Two desks writing stays of one room at the same moment may each
            // wait for the other; the server then ends one transaction, which
            // is run again and whose check then finds the other desk's booking.
            if (e.reason() == DataError::Reason::Conflict && attempt < 3)
                continue;
            // Another desk booked the room between the check and the write: the
            // database refused the second booking, and nothing was written.
            if (e.reason() != DataError::Reason::RoomTaken) {
                MessageDialog::error(QStringLiteral("Sucedio un error al relizar la operación"), this);
                return;
            }
            taken = true;
            break;
        }
    }
    if (taken) {
        MessageDialog::error(QStringLiteral("La habitación seleccionada no está libre en esas fechas."), this);
        return;
    }
    setModalResult(mrOk);
}

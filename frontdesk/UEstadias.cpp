#include "UEstadias.h"

#include "BoundText.h"
#include "DataGrid.h"
#include "DatePicker.h"
#include "DateTimes.h"
#include "Guard.h"
#include "LookupList.h"
#include "MessageDialog.h"
#include "UBusquedaHabitacion.h"
#include "UDM.h"
#include "URegistrarConsumos.h"
#include "UReporteFactura.h"
#include "Widgets.h"

#include <QGroupBox>
#include <QVBoxLayout>

TFEstadias *FEstadias = nullptr;

namespace {

BoundText *boundText(QWidget *parent, const QString &field, const QRect &bounds, Qt::Alignment alignment)
{
    auto *t = new BoundText(parent);
    t->setFont(Widgets::windowFont(false));
    t->setGeometry(bounds);
    t->setAlignment(alignment | Qt::AlignVCenter);
    t->setDataSource(DM->DEstadias);
    t->setDataField(field);
    return t;
}

} // namespace

TFEstadias::TFEstadias(QWidget *parent) : FormWindow(parent)
{
    setObjectName(QStringLiteral("FEstadias"));
    setWindowTitle(QStringLiteral("Administración de Estadías"));
    setClientSize(435, 369);

    GroupBox3 = Widgets::groupBox(this, QStringLiteral("Habitaciones"), QRect(5, 2, 89, 329));
    GroupBox3->setObjectName(QStringLiteral("GroupBox3"));
    dbllbxHabitaciones = new LookupList(GroupBox3);
    dbllbxHabitaciones->setObjectName(QStringLiteral("dbllbxHabitaciones"));
    dbllbxHabitaciones->setFont(Widgets::windowFont(false));
    dbllbxHabitaciones->setListSource(DM->DEstadias);
    // One line per stay: two stays of one room are two lines, each choosing its own.
    dbllbxHabitaciones->setKeyField(QStringLiteral("IdEstadia"));
    dbllbxHabitaciones->setListFields(QStringLiteral("Habitacion"));
    auto *roomsLayout = new QVBoxLayout(GroupBox3);
    roomsLayout->setContentsMargins(5, 1, 5, 5);
    roomsLayout->addWidget(dbllbxHabitaciones);

    GroupBox1 = Widgets::groupBox(this, QStringLiteral("Datos de la Estadía"), QRect(100, 2, 330, 113));
    GroupBox1->setObjectName(QStringLiteral("GroupBox1"));
    Label5 = Widgets::label(GroupBox1, QStringLiteral("Huésped"), 12, 24);
    DBText1 = boundText(GroupBox1, QStringLiteral("Huesped"), QRect(16, 39, 169, 17), Qt::AlignLeft);
    DBText1->setObjectName(QStringLiteral("DBText1"));
    DBText1->setAutoFillBackground(true);
    DBText1->setBackgroundRole(QPalette::Button);
    Label2 = Widgets::label(GroupBox1, QStringLiteral("Precio Diario"), 208, 24);
    DBText3 = boundText(GroupBox1, QStringLiteral("PrecioDiario"), QRect(208, 39, 71, 17), Qt::AlignRight);
    DBText3->setObjectName(QStringLiteral("DBText3"));
    Label6 = Widgets::label(GroupBox1, QStringLiteral("Fecha de Ingreso"), 15, 62);
    DBText2 = boundText(GroupBox1, QStringLiteral("FechaIngreso"), QRect(15, 81, 100, 17), Qt::AlignHCenter);
    DBText2->setObjectName(QStringLiteral("DBText2"));
    Label4 = Widgets::label(GroupBox1, QStringLiteral("Fecha de Egreso"), 135, 62);
    dtpEgreso = new DatePicker(GroupBox1);
    dtpEgreso->setObjectName(QStringLiteral("dtpEgreso"));
    dtpEgreso->setFont(Widgets::windowFont(false));
    dtpEgreso->setGeometry(135, 77, 98, 21);
    dtpEgreso->setDate(DateTimes::make(QDate(2008, 4, 16)));
    btEgreso = Widgets::button(GroupBox1, QStringLiteral("Cambiar"), 4, QRect(244, 73, 74, 25));
    btEgreso->setObjectName(QStringLiteral("btEgreso"));

    GroupBox2 = Widgets::groupBox(this, QStringLiteral("Consumos y Servicios Adquiridos"), QRect(100, 121, 330, 210));
    GroupBox2->setObjectName(QStringLiteral("GroupBox2"));
    DBGrid1 = new DataGrid(GroupBox2);
    DBGrid1->setObjectName(QStringLiteral("DBGrid1"));
    DBGrid1->setFont(Widgets::windowFont(false));
    DBGrid1->setGeometry(8, 17, 314, 150);
    DBGrid1->setDataSource(DM->DConsumoDeServicios);
    using O = DataGrid::Option;
    DBGrid1->setOptions(O::Titles | O::ColumnResize | O::ColumnLines | O::RowLines | O::Tabs | O::RowSelect
                        | O::ConfirmDelete);
    const Qt::Alignment centre = Qt::AlignHCenter | Qt::AlignVCenter;
    DBGrid1->setColumns({
        {QStringLiteral("Servicio"), QStringLiteral("Servicio"), centre, {}, 127, true},
        {QStringLiteral("Cantidad"), QStringLiteral("Cantidad"), centre, {}, 58, true},
        {QStringLiteral("FechaHora"), QStringLiteral("Fecha"), centre, {}, 104, true},
    });
    btConsumos = Widgets::button(GroupBox2, QStringLiteral(" Administrar Consumos"), 8, QRect(152, 173, 168, 27));
    btConsumos->setObjectName(QStringLiteral("btConsumos"));

    btAgregar = Widgets::button(this, QStringLiteral(" Agregar Estadía"), 15, QRect(5, 337, 129, 27));
    btAgregar->setObjectName(QStringLiteral("btAgregar"));
    btEliminar = Widgets::button(this, QStringLiteral("Eliminar Estadía"), 5, QRect(156, 337, 129, 27));
    btEliminar->setObjectName(QStringLiteral("btEliminar"));
    btFacturar = Widgets::button(this, QStringLiteral("Facturar Estadía"), 2, QRect(301, 337, 129, 27));
    btFacturar->setObjectName(QStringLiteral("btFacturar"));

    // Names for assistive technology, from the labels and groups that head the controls.
    Widgets::name(dbllbxHabitaciones, GroupBox3->title());
    Widgets::name(dtpEgreso, Label4->text());
    Widgets::name(DBGrid1, GroupBox2->title());

    connect(dbllbxHabitaciones, &LookupList::clicked, this,
            [this] { guarded(this, [this] { dbllbxHabitacionesClick(); }); });
    connect(btEgreso, &QPushButton::clicked, this, [this] { guarded(this, [this] { btEgresoClick(); }); });
    connect(btConsumos, &QPushButton::clicked, this, [this] { guarded(this, [this] { btConsumosClick(); }); });
    connect(btAgregar, &QPushButton::clicked, this, [this] { guarded(this, [this] { btAgregarClick(); }); });
    connect(btEliminar, &QPushButton::clicked, this, [this] { guarded(this, [this] { btEliminarClick(); }); });
    connect(btFacturar, &QPushButton::clicked, this, [this] { guarded(this, [this] { btFacturarClick(); }); });
}

void TFEstadias::AdministrarEstadias()
{
    abrir(0);
}

void TFEstadias::MostrarEstadia(qint64 idEstadia)
{
    abrir(idEstadia);
}

void TFEstadias::abrir(qint64 idEstadia)
{
    Cursor &stays = *DM->TEstadias;
    stays.setFilter(QStringLiteral("Estado = 'Ocupada'"));
    stays.setFiltered(true);
    if (idEstadia != 0 && stays.locate(QStringLiteral("IdEstadia"), idEstadia))
        dbllbxHabitacionesClick();
    ShowModal();
    stays.setFiltered(false);
    stays.setFilter(QString());
}

bool TFEstadias::hasStay()
{
    if (!DM->TEstadias->isEmpty())
        return true;
    MessageDialog::error(QStringLiteral("¡No hay habitaciones ocupadas!"), this);
    return false;
}

void TFEstadias::postStay()
{
    Cursor &stays = *DM->TEstadias;
    try {
        stays.post();
    } catch (const DataError &) {
        // A refused change is dropped: left pending, it would be posted again by
        // the next move and make closing the window fail with the filter on.
        stays.cancel();
        throw;
    }
}

void TFEstadias::dbllbxHabitacionesClick()
{
    dtpEgreso->setDate(DM->TEstadias->fieldByName(QStringLiteral("FechaEgreso")).asDateTime());
}

void TFEstadias::btEgresoClick()
{
    if (!hasStay())
        return;
    Cursor &stays = *DM->TEstadias;
    const QDateTime checkOut = DateTimes::dayOf(dtpEgreso->date());
    const QDateTime checkIn = stays.fieldByName(QStringLiteral("FechaIngreso")).asDateTime();
    if (checkIn > checkOut) {
        MessageDialog::error(QStringLiteral("La fecha de egreso es anterior a la de ingreso."), this);
        return;
    }
    // A later check-out must not run into another booking of the same room.
    const QDateTime present = stays.fieldByName(QStringLiteral("FechaEgreso")).asDateTime();
    if (!present.isValid() || checkOut > present) {
        const qint64 room = stays.fieldByName(QStringLiteral("IdHabitacion")).asInteger();
        const qint64 stay = stays.fieldByName(QStringLiteral("IdEstadia")).asInteger();
        if (!DM->roomIsFree(room, checkIn.date(), checkOut.date(), stay)) {
            MessageDialog::error(QStringLiteral("La habitación no está libre hasta la nueva fecha de egreso."), this);
            return;
        }
    }
    if (!MessageDialog::confirm(QStringLiteral("¿Confirma que cambia la fecha de egreso?"), this))
        return;
    const qint64 days = checkIn.secsTo(checkOut) / 86400 + 1;
    const Money daily = stays.fieldByName(QStringLiteral("PrecioDiario")).asMoney();
    for (int attempt = 1;; ++attempt) {
        stays.edit();
        stays.setValue(QStringLiteral("FechaEgreso"), checkOut);
        stays.setValue(QStringLiteral("Dias"), days);
        stays.setValue(QStringLiteral("PrecioFinal"), QVariant::fromValue(daily * days));
        try {
            postStay();
            return;
        } catch (const DataError &e) {
            // Two desks writing stays of one room at the same moment may each
            // wait for the other; the server then ends one change, which is
            // made again.
            if (e.reason() == DataError::Reason::Conflict && attempt < 3)
                continue;
            // Another desk booked the room for those days after the check above:
            // the database refused the change, which was dropped.
            if (e.reason() != DataError::Reason::RoomTaken)
                throw;
            MessageDialog::error(QStringLiteral("La habitación no está libre hasta la nueva fecha de egreso."), this);
            return;
        }
    }
}

void TFEstadias::btEliminarClick()
{
    if (!MessageDialog::confirm(QStringLiteral("¿Confirma la eliminación de la estadía seleccionada?"), this))
        return;
    // The consumptions and the stay go together or not at all; on failure the
    // file and both cursors are as before.
    Database::Transaction transaction(DM->Cnx);
    Cursor &consumos = *DM->TConsumosDeServicios;
    Cursor::ControlsDisabled quiet(consumos);
    consumos.first();
    while (!consumos.isEmpty())
        consumos.remove();
    DM->TEstadias->remove();
    transaction.commit();
}

void TFEstadias::btConsumosClick()
{
    if (hasStay())
        FRegistrarConsumos->ShowModal();
}

void TFEstadias::btFacturarClick()
{
    if (!hasStay())
        return;
    if (!MessageDialog::confirm(QStringLiteral("¿Confirma que finaliza la estadía y emite la factura?"), this))
        return;
    FFactura->Preview(this);
    Cursor &stays = *DM->TEstadias;
    stays.edit();
    stays.setValue(QStringLiteral("Estado"), QStringLiteral("Facturada"));
    postStay();
    // Invoiced, the stay leaves the list at once; the next one is chosen.
    if (stays.hideCurrentIfFilteredOut() && !stays.isEmpty()) {
        dbllbxHabitaciones->setKeyValue(stays.value(QStringLiteral("IdEstadia")));
        dbllbxHabitacionesClick();
    }
}

void TFEstadias::btAgregarClick()
{
    FBusquedaHabitacion->AgregarEstadia();
}

#include "UReservas.h"

#include "DataGrid.h"
#include "Guard.h"
#include "ImageList16.h"
#include "MessageDialog.h"
#include "UBusquedaHabitacion.h"
#include "UDM.h"
#include "Widgets.h"

#include <QMenu>

TFReservas *FReservas = nullptr;

namespace {

const QString ReservedOnly = QStringLiteral("Estado = 'Reservada'");

// Removes the filter even when the cursor holds a change that cannot be posted
// (ending the editing posts it): the change is then dropped, and the refusal
// still reaches the caller.
void removeFilter(Cursor &stays)
{
    try {
        stays.setFiltered(false);
    } catch (const DataError &) {
        stays.cancel();
        stays.setFiltered(false);
        stays.setFilter(QString());
        throw;
    }
    stays.setFilter(QString());
}

QString text(const QString &field)
{
    return DM->TEstadias->fieldByName(field).asString();
}

} // namespace

TFReservas::TFReservas(QWidget *parent) : FormWindow(parent)
{
    setObjectName(QStringLiteral("FReservas"));
    setWindowTitle(QStringLiteral("Administración de Reservas"));

    Label1 = Widgets::label(this, QStringLiteral("Reservas Pendientes"), 7, 17);
    btAsignarSinReserva =
        Widgets::button(this, QStringLiteral(" Asignar Habitación sin Reserva"), 15, QRect(244, 4, 219, 28));
    btAsignarSinReserva->setObjectName(QStringLiteral("btAsignarSinReserva"));

    DBGrid1 = new DataGrid(this);
    DBGrid1->setObjectName(QStringLiteral("DBGrid1"));
    DBGrid1->setGeometry(4, 36, 459, 237);
    DBGrid1->setDataSource(DM->DEstadias);
    using O = DataGrid::Option;
    DBGrid1->setOptions(O::Titles | O::Indicator | O::ColumnResize | O::ColumnLines | O::RowLines | O::Tabs
                        | O::RowSelect | O::AlwaysShowSelection | O::ConfirmDelete | O::CancelOnExit);
    const Qt::Alignment centre = Qt::AlignHCenter | Qt::AlignVCenter;
    DBGrid1->setColumns({
        {QStringLiteral("Habitacion"), QStringLiteral("Habitación"), centre, {}, 68, true},
        {QStringLiteral("Huesped"), QStringLiteral("Responsable"), centre, {}, 185, true},
        {QStringLiteral("FechaIngreso"), QStringLiteral("Ingreso"), centre, Qt::AlignHCenter, 86, true},
        {QStringLiteral("FechaEgreso"), QStringLiteral("Egreso"), centre, Qt::AlignHCenter, 83, true},
    });

    btAgregar = Widgets::button(this, QStringLiteral(" Agregar Reserva"), 10, QRect(4, 279, 137, 28));
    btAgregar->setObjectName(QStringLiteral("btAgregar"));
    btAsignar = Widgets::button(this, QStringLiteral(" Asignar Habitación"), 15, QRect(161, 279, 145, 28));
    btAsignar->setObjectName(QStringLiteral("btAsignar"));
    btEliminar = Widgets::button(this, QStringLiteral(" Eliminar Reserva"), 12, QRect(326, 279, 137, 28));
    btEliminar->setObjectName(QStringLiteral("btEliminar"));

    PopupMenu1 = new QMenu(this);
    PopupMenu1->setObjectName(QStringLiteral("PopupMenu1"));
    AsignarHabitacion1 = PopupMenu1->addAction(ImageList16::icon(15), QStringLiteral("Asignar Habitación"));
    AsignarHabitacion1->setObjectName(QStringLiteral("AsignarHabitacion1"));
    EliminarReserva1 = PopupMenu1->addAction(ImageList16::icon(12), QStringLiteral("Eliminar Reserva"));
    EliminarReserva1->setObjectName(QStringLiteral("EliminarReserva1"));
    DBGrid1->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(DBGrid1, &QWidget::customContextMenuRequested, this,
            [this](const QPoint &at) { PopupMenu1->popup(DBGrid1->viewport()->mapToGlobal(at)); });

    Widgets::name(DBGrid1, Label1->text());

    // Sized to the contents with an inner margin of 4.
    setClientSize(463 + 4, 307 + 4);

    connect(btAgregar, &QPushButton::clicked, this, [this] { guarded(this, [this] { btAgregarClick(); }); });
    connect(btAsignarSinReserva, &QPushButton::clicked, this,
            [this] { guarded(this, [this] { btAsignarSinReservaClick(); }); });
    connect(btAsignar, &QPushButton::clicked, this, [this] { guarded(this, [this] { btAsignarClick(); }); });
    connect(AsignarHabitacion1, &QAction::triggered, this, [this] { guarded(this, [this] { btAsignarClick(); }); });
    connect(btEliminar, &QPushButton::clicked, this, [this] { guarded(this, [this] { btEliminarClick(); }); });
    connect(EliminarReserva1, &QAction::triggered, this, [this] { guarded(this, [this] { btEliminarClick(); }); });
}

void TFReservas::AdministrarReservas()
{
    abrir(0);
}

void TFReservas::MostrarReserva(qint64 idEstadia)
{
    abrir(idEstadia);
}

void TFReservas::abrir(qint64 idEstadia)
{
    Cursor &stays = *DM->TEstadias;
    stays.setFilter(ReservedOnly);
    try {
        stays.setFiltered(true);
    } catch (const DataError &) {
        stays.setFilter(QString());
        throw;
    }
    if (idEstadia != 0)
        stays.locate(QStringLiteral("IdEstadia"), idEstadia);
    ShowModal();
    removeFilter(stays);
}

void TFReservas::btAgregarClick()
{
    FBusquedaHabitacion->AgregarReserva();
}

void TFReservas::btAsignarSinReservaClick()
{
    FBusquedaHabitacion->AgregarEstadia();
    // The stay just booked is occupied, not pending: it is not listed here.
    DM->TEstadias->hideCurrentIfFilteredOut();
}

void TFReservas::btAsignarClick()
{
    Cursor &stays = *DM->TEstadias;
    if (stays.isEmpty()) {
        MessageDialog::error(QStringLiteral("No hay reserva para asignar habitación"), this);
        return;
    }
    const QString question = QStringLiteral("¿Ocupa la habitación ") + text(QStringLiteral("Habitacion"))
                             + QStringLiteral(" reservada por ") + text(QStringLiteral("Huesped")) + QStringLiteral("?");
    if (!MessageDialog::confirm(question, this))
        return;
    stays.edit();
    stays.setValue(QStringLiteral("Estado"), QStringLiteral("Ocupada"));
    stays.post();
    // No longer pending: it leaves the list at once, the next one current.
    stays.hideCurrentIfFilteredOut();
}

void TFReservas::btEliminarClick()
{
    Cursor &stays = *DM->TEstadias;
    if (stays.recordCount() <= 0)
        return;
    const QString question = QStringLiteral("¿Elimina la reserva de la habitación ") + text(QStringLiteral("Habitacion"))
                             + QStringLiteral(" realizada por ") + text(QStringLiteral("Huesped"))
                             + QStringLiteral(" para el ") + text(QStringLiteral("FechaIngreso")) + QStringLiteral("?");
    if (!MessageDialog::confirm(question, this))
        return;
    stays.remove();
}

#include "URegistrarConsumos.h"

#include "BoundText.h"
#include "DataGrid.h"
#include "DateTimes.h"
#include "Guard.h"
#include "LookupList.h"
#include "MessageDialog.h"
#include "UDM.h"
#include "Widgets.h"

#include <QLineEdit>

TFRegistrarConsumos *FRegistrarConsumos = nullptr;

namespace {

const QString InvalidQuantity = QStringLiteral("Complete la cantidad con un valor válido");

} // namespace

std::optional<int> TFRegistrarConsumos::quantityOf(const QString &text)
{
    qsizetype i = 0;
    while (i < text.size() && text[i] == u' ')
        ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == u'+' || text[i] == u'-')) {
        negative = text[i] == u'-';
        ++i;
    }
    if (i == text.size())
        return std::nullopt;
    qint64 value = 0;
    for (; i < text.size(); ++i) {
        const QChar c = text[i];
        if (c < u'0' || c > u'9')
            return std::nullopt;
        value = value * 10 + (c.unicode() - u'0');
        if (value > qint64(std::numeric_limits<int>::max()) + 1)
            return std::nullopt;
    }
    if (negative)
        value = -value;
    if (value < std::numeric_limits<int>::min() || value > std::numeric_limits<int>::max())
        return std::nullopt;
    return static_cast<int>(value);
}

TFRegistrarConsumos::TFRegistrarConsumos(QWidget *parent) : FormWindow(parent)
{
    setObjectName(QStringLiteral("FRegistrarConsumos"));
    setWindowTitle(QStringLiteral("Registrar Consumos"));
    // Every label, button and bound text takes the window's bold font.
    setFont(Widgets::windowFont(true));
    setClientSize(552, 288);

    pnlTitulo = Widgets::panel(this, QRect(0, 0, 552, 25));
    pnlTitulo->setObjectName(QStringLiteral("pnlTitulo"));
    Label1 = Widgets::label(pnlTitulo, QStringLiteral("Consumos de la Habitacion"), 8, 5);
    dbtHabitacion = new BoundText(pnlTitulo);
    dbtHabitacion->setObjectName(QStringLiteral("dbtHabitacion"));
    dbtHabitacion->setGeometry(167, 5, 87, 13);
    dbtHabitacion->setDataSource(DM->DEstadias);
    dbtHabitacion->setDataField(QStringLiteral("Habitacion"));

    pnlServicios = Widgets::panel(this, QRect(0, 25, 207, 263));
    pnlServicios->setObjectName(QStringLiteral("pnlServicios"));
    Label2 = Widgets::label(pnlServicios, QStringLiteral("Servicios Disponibles"), 4, 2);
    Label2->setGeometry(4, 2, 199, 16);
    dbllbxServicio = new LookupList(pnlServicios);
    dbllbxServicio->setObjectName(QStringLiteral("dbllbxServicio"));
    dbllbxServicio->setFont(Widgets::windowFont(false));
    dbllbxServicio->setGeometry(4, 18, 199, 199);
    dbllbxServicio->setListSource(DM->DServicios);
    dbllbxServicio->setKeyField(QStringLiteral("IdServicio"));
    dbllbxServicio->setListFields(QStringLiteral("Nombre;Precio"));

    pnlEdicion = Widgets::panel(pnlServicios, QRect(4, 218, 199, 41), true);
    pnlEdicion->setObjectName(QStringLiteral("pnlEdicion"));
    Label3 = Widgets::label(pnlEdicion, QStringLiteral("Cantidad"), 10, 16);
    edCant = new QLineEdit(pnlEdicion);
    edCant->setObjectName(QStringLiteral("edCant"));
    edCant->setFont(Widgets::windowFont(false));
    edCant->setGeometry(67, 13, 38, 21);
    edCant->setMaxLength(3);
    btAceptar = Widgets::button(pnlEdicion, QString(), 1, QRect(123, 11, 33, 25));
    btAceptar->setObjectName(QStringLiteral("btAceptar"));
    btCancelar = Widgets::button(pnlEdicion, QString(), 0, QRect(156, 11, 33, 25));
    btCancelar->setObjectName(QStringLiteral("btCancelar"));
    pnlEdicion->hide();

    pnlConsumos = Widgets::panel(this, QRect(207, 25, 345, 263));
    pnlConsumos->setObjectName(QStringLiteral("pnlConsumos"));
    Label4 = Widgets::label(pnlConsumos, QStringLiteral("Consumos y Servicios de la habitación"), 4, 2);
    Label4->setGeometry(4, 2, 337, 16);
    DBGrid1 = new DataGrid(pnlConsumos);
    DBGrid1->setObjectName(QStringLiteral("DBGrid1"));
    DBGrid1->setFont(Widgets::windowFont(false));
    DBGrid1->setGeometry(4, 18, 337, 199);
    DBGrid1->setDataSource(DM->DConsumoDeServicios);
    using O = DataGrid::Option;
    DBGrid1->setOptions(O::Titles | O::ColumnResize | O::RowLines | O::Tabs | O::RowSelect | O::ConfirmDelete
                        | O::CancelOnExit);
    const Qt::Alignment centre = Qt::AlignHCenter | Qt::AlignVCenter;
    DBGrid1->setColumns({
        {QStringLiteral("FechaHora"), QStringLiteral("Fecha y Hora"), centre, {}, 104, true},
        {QStringLiteral("Servicio"), QStringLiteral("Servicio"), centre, {}, 149, true},
        {QStringLiteral("Cantidad"), QStringLiteral("Cantidad"), centre, {}, 58, true},
    });
    btAgregar = Widgets::button(pnlConsumos, QStringLiteral(" Agregar Servicio"), 2, QRect(20, 228, 141, 25));
    btAgregar->setObjectName(QStringLiteral("btAgregar"));
    btEliminar = Widgets::button(pnlConsumos, QStringLiteral("Eliminar Selección"), 3, QRect(180, 228, 141, 25));
    btEliminar->setObjectName(QStringLiteral("btEliminar"));

    // Names for assistive technology, from the labels that head the controls;
    // the accept and cancel buttons show only a picture.
    Widgets::name(dbllbxServicio, Label2->text());
    Widgets::name(edCant, Label3->text());
    Widgets::nameIconButton(btAceptar, QStringLiteral("Aceptar"));
    Widgets::nameIconButton(btCancelar, QStringLiteral("Cancelar"));
    Widgets::name(DBGrid1, Label4->text());

    setTabOrder(edCant, btAceptar);
    setTabOrder(btAceptar, btCancelar);

    connect(btAgregar, &QPushButton::clicked, this, [this] { guarded(this, [this] { btAgregarClick(); }); });
    connect(btAceptar, &QPushButton::clicked, this, [this] { guarded(this, [this] { btAceptarClick(); }); });
    connect(btCancelar, &QPushButton::clicked, this, [this] { guarded(this, [this] { btCancelarClick(); }); });
    connect(btEliminar, &QPushButton::clicked, this, [this] { guarded(this, [this] { btEliminarClick(); }); });
}

void TFRegistrarConsumos::setAdding(bool adding)
{
    DBGrid1->setEnabled(!adding);
    btAgregar->setEnabled(!adding);
    btEliminar->setEnabled(!adding);
    pnlEdicion->setVisible(adding);
}

void TFRegistrarConsumos::btAgregarClick()
{
    setAdding(true);
    edCant->clear();
    edCant->setFocus();
}

void TFRegistrarConsumos::btAceptarClick()
{
    try {
        const std::optional<int> quantity = quantityOf(edCant->text());
        if (!quantity) {
            MessageDialog::error(InvalidQuantity, this);
            return;
        }
        if (*quantity < 1) {
            MessageDialog::error(QStringLiteral("Ingrese una cantidad mayor a cero"), this);
            return;
        }
        const QVariant service = dbllbxServicio->keyValue();
        if (!service.isValid()) {
            MessageDialog::error(QStringLiteral("Seleccione un servicio de la lista"), this);
            return;
        }
        Cursor &consumos = *DM->TConsumosDeServicios;
        // A row left pending by a refused post is dropped, not posted beside the
        // new one, so that a retry records the consumption once.
        if (consumos.isEditing())
            consumos.cancel();
        consumos.append();
        consumos.setValue(QStringLiteral("FechaHora"), DateTimes::now());
        consumos.setValue(QStringLiteral("Cantidad"), *quantity);
        // By key: the services cursor may have moved since the choice was made.
        consumos.setValue(QStringLiteral("Precio"),
                          DM->TServicios->lookup(QStringLiteral("IdServicio"), service, QStringLiteral("Precio")));
        consumos.setValue(QStringLiteral("IdServicio"), service);
        consumos.post();
        setAdding(false);
    } catch (const DataError &) {
        MessageDialog::error(InvalidQuantity, this);
    }
}

void TFRegistrarConsumos::btCancelarClick()
{
    DM->TConsumosDeServicios->cancel();
    setAdding(false);
}

void TFRegistrarConsumos::btEliminarClick()
{
    Cursor &consumos = *DM->TConsumosDeServicios;
    if (consumos.isEmpty()) {
        MessageDialog::error(QStringLiteral("No hay nada para eliminar"), this);
        return;
    }
    if (MessageDialog::confirm(QStringLiteral("¿Confirma la eliminacion del consumo?"), this))
        consumos.remove();
}

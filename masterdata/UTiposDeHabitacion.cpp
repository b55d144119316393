#include "UTiposDeHabitacion.h"

#include "BoundEdit.h"
#include "BoundImage.h"
#include "BoundMemo.h"
#include "DataError.h"
#include "DataGrid.h"
#include "Guard.h"
#include "MessageDialog.h"
#include "PictureDialog.h"
#include "UDM.h"
#include "Widgets.h"

#include <QLabel>
#include <QVBoxLayout>

TFTiposHabitacion *FTiposHabitacion = nullptr;

namespace {

constexpr int ClientWidth = 644;

QFrame *raisedPanel(QWidget *parent, const char *name, int height)
{
    auto *p = new QFrame(parent);
    p->setObjectName(QLatin1String(name));
    p->setFrameStyle(QFrame::Panel | QFrame::Raised);
    p->setFixedHeight(height);
    return p;
}

template<typename Control>
Control *bound(QWidget *parent, const QString &field, const QRect &bounds)
{
    auto *c = new Control(parent);
    c->setGeometry(bounds);
    c->setDataSource(DM->DTiposDeHabitacion);
    c->setDataField(field);
    return c;
}

} // namespace

TFTiposHabitacion::TFTiposHabitacion(QWidget *parent) : FormWindow(parent)
{
    setObjectName(QStringLiteral("FTiposHabitacion"));
    setWindowTitle(QStringLiteral("Tipos de Habitación del Hotel"));

    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);

    // Browse area: the grid at the left, the photo at the right.
    pnlDatos = raisedPanel(this, "pnlDatos", 185);
    DBGrid1 = new DataGrid(pnlDatos);
    DBGrid1->setObjectName(QStringLiteral("DBGrid1"));
    DBGrid1->setGeometry(1, 1, 401, 183);
    DBGrid1->setDataSource(DM->DTiposDeHabitacion);
    using O = DataGrid::Option;
    DBGrid1->setOptions(O::Titles | O::Indicator | O::ColumnResize | O::ColumnLines | O::RowLines | O::Tabs
                        | O::RowSelect | O::AlwaysShowSelection);
    const Qt::Alignment centre = Qt::AlignHCenter | Qt::AlignVCenter;
    DBGrid1->setColumns({
        {QStringLiteral("Nombre"), QStringLiteral("Nombre"), centre, Qt::AlignHCenter, 102, true},
        {QStringLiteral("Precio"), QStringLiteral("Precio"), centre, {}, 58, true},
        {QStringLiteral("Descripcion"), QStringLiteral("Descripcion"), centre, {}, 205, true},
    });
    Label5 = Widgets::label(pnlDatos, QStringLiteral("Foto"), 408, 4);
    dbImgFoto = bound<BoundImage>(pnlDatos, QStringLiteral("Foto"), QRect(408, 23, 233, 150));
    dbImgFoto->setObjectName(QStringLiteral("dbImgFoto"));
    dbImgFoto->setFrameShape(QFrame::Box);
    dbImgFoto->setStretch(true);
    layout->addWidget(pnlDatos);

    pnlOperaciones = raisedPanel(this, "pnlOperaciones", 54);
    btAgregar = Widgets::button(pnlOperaciones, QStringLiteral(" Agregar"), 2, QRect(88, 14, 89, 26));
    btModificar = Widgets::button(pnlOperaciones, QStringLiteral("Modificar"), 4, QRect(281, 14, 89, 26));
    btEliminar = Widgets::button(pnlOperaciones, QStringLiteral("Eliminar"), 3, QRect(471, 14, 89, 26));
    layout->addWidget(pnlOperaciones);

    pnlEdicion = raisedPanel(this, "pnlEdicion", 168);
    Label1 = Widgets::label(pnlEdicion, QStringLiteral("Nombre"), 8, 6);
    DBEdit1 = bound<BoundEdit>(pnlEdicion, QStringLiteral("Nombre"), QRect(8, 21, 193, 21));
    Label2 = Widgets::label(pnlEdicion, QStringLiteral("Precio"), 216, 6);
    DBEdit2 = bound<BoundEdit>(pnlEdicion, QStringLiteral("Precio"), QRect(216, 21, 59, 21));
    DBEdit2->setMaxLength(8);
    Label6 = Widgets::label(pnlEdicion, QStringLiteral("Capacidad"), 289, 6);
    DBEdit3 = bound<BoundEdit>(pnlEdicion, QStringLiteral("Capacidad"), QRect(289, 21, 24, 21));
    DBEdit3->setMaxLength(1);
    Label7 = Widgets::label(pnlEdicion, QStringLiteral("huéspedes"), 320, 24, false);
    Label3 = Widgets::label(pnlEdicion, QStringLiteral("Descripción"), 8, 47);
    DBMemo2 = bound<BoundMemo>(pnlEdicion, QStringLiteral("Descripcion"), QRect(8, 62, 628, 36));
    Label4 = Widgets::label(pnlEdicion, QStringLiteral("Comodidades"), 9, 105);
    DBMemo1 = bound<BoundMemo>(pnlEdicion, QStringLiteral("Comodidades"), QRect(8, 119, 628, 36));
    btAceptar = Widgets::button(pnlEdicion, QStringLiteral(" Aceptar"), 1, QRect(419, 16, 89, 26));
    btCancelar = Widgets::button(pnlEdicion, QStringLiteral("Cancelar"), 0, QRect(531, 16, 89, 26));
    layout->addWidget(pnlEdicion);

    btAgregar->setObjectName(QStringLiteral("btAgregar"));
    btModificar->setObjectName(QStringLiteral("btModificar"));
    btEliminar->setObjectName(QStringLiteral("btEliminar"));
    btAceptar->setObjectName(QStringLiteral("btAceptar"));
    btCancelar->setObjectName(QStringLiteral("btCancelar"));

    // Names for assistive technology, from the labels that head the controls.
    Widgets::name(DBGrid1, QStringLiteral("Tipos de Habitación"));
    Widgets::name(dbImgFoto, Label5->text());
    Widgets::name(DBEdit1, Label1->text());
    Widgets::name(DBEdit2, Label2->text());
    Widgets::name(DBEdit3, Label6->text());
    Widgets::name(DBMemo2, Label3->text());
    Widgets::name(DBMemo1, Label4->text());

    setTabOrder(DBEdit1, DBEdit2);
    setTabOrder(DBEdit2, DBEdit3);
    setTabOrder(DBEdit3, DBMemo2);
    setTabOrder(DBMemo2, DBMemo1);
    setTabOrder(DBMemo1, btAceptar);
    setTabOrder(btAceptar, btCancelar);
    // Tab moves between the fields rather than typing a tab into the memos.
    DBMemo1->setTabChangesFocus(true);
    DBMemo2->setTabChangesFocus(true);

    dlgOpen = new PictureDialog(this);
    dlgOpen->setObjectName(QStringLiteral("dlgOpen"));
    runDlgOpen = [this] { return dlgOpen->choose(); };

    auto on = [this](QPushButton *b, void (TFTiposHabitacion::*handler)()) {
        connect(b, &QPushButton::clicked, this, [this, handler] { guarded(this, [&] { (this->*handler)(); }); });
    };
    on(btAgregar, &TFTiposHabitacion::btAgregarClick);
    on(btModificar, &TFTiposHabitacion::btModificarClick);
    on(btAceptar, &TFTiposHabitacion::btAceptarClick);
    on(btCancelar, &TFTiposHabitacion::btCancelarClick);
    on(btEliminar, &TFTiposHabitacion::btEliminarClick);
    connect(dbImgFoto, &BoundImage::clicked, this, [this] { guarded(this, [this] { dbImgFotoClick(); }); });

    showEditFace(false);
}

void TFTiposHabitacion::showEditFace(bool editing)
{
    dbImgFoto->setEnabled(editing);
    DBGrid1->setEnabled(!editing);
    pnlOperaciones->setVisible(!editing);
    pnlEdicion->setVisible(editing);
    int height = 0;
    for (const QFrame *p : {pnlDatos, pnlOperaciones, pnlEdicion})
        if (!p->isHidden())
            height += p->height();
    setClientSize(ClientWidth, height);
    if (editing)
        DBEdit1->setFocus();
}

void TFTiposHabitacion::btAgregarClick()
{
    DM->TTiposDeHabitacion->append();
    showEditFace(true);
}

void TFTiposHabitacion::btModificarClick()
{
    DM->TTiposDeHabitacion->edit();
    showEditFace(true);
}

void TFTiposHabitacion::btAceptarClick()
{
    DM->TTiposDeHabitacion->post();
    showEditFace(false);
}

void TFTiposHabitacion::btCancelarClick()
{
    DM->TTiposDeHabitacion->cancel();
    showEditFace(false);
}

void TFTiposHabitacion::btEliminarClick()
{
    if (!MessageDialog::confirm(QStringLiteral("¿Confirma la eliminación del tipo de habitación seleccionado?"), this))
        return;
    try {
        DM->TTiposDeHabitacion->remove();
    } catch (const DataError &) {
        MessageDialog::error(QStringLiteral("No se puede eliminar. Verifique que no haya habitaciones asociadas."), this);
    }
}

void TFTiposHabitacion::dbImgFotoClick()
{
    const QString path = runDlgOpen();
    if (path.isEmpty())
        return;
    // Another window may have ended the pending edit while this one was closed
    // on its edit face; the picture must then start a new one, or it would be
    // shown as accepted and never stored.
    Cursor &types = *DM->TTiposDeHabitacion;
    if (!types.isEditing())
        types.edit();
    dbImgFoto->loadPicture(path);
}

#include "UHuespedes.h"

#include "BoundEdit.h"
#include "DataGrid.h"
#include "Guard.h"
#include "RecordNavigator.h"
#include "UDM.h"
#include "Widgets.h"

#include <QLineEdit>
#include <QVBoxLayout>

TFHuespedes *FHuespedes = nullptr;

namespace {

BoundEdit *boundEdit(QWidget *parent, const QString &field, const QRect &bounds, int maxLength = 0)
{
    auto *e = new BoundEdit(parent);
    e->setGeometry(bounds);
    e->setDataSource(DM->DHuespedes);
    e->setDataField(field);
    if (maxLength > 0)
        e->setMaxLength(maxLength);
    return e;
}

} // namespace

TFHuespedes::TFHuespedes(QWidget *parent) : FormWindow(parent)
{
    setObjectName(QStringLiteral("FHuespedes"));
    setWindowTitle(QStringLiteral("Administración de Huéspedes"));
    setClientSize(569, 324);

    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);

    DBGrid1 = new DataGrid(this);
    DBGrid1->setObjectName(QStringLiteral("DBGrid1"));
    DBGrid1->setDataSource(DM->DHuespedes);
    DBGrid1->setReadOnly(true);
    using O = DataGrid::Option;
    DBGrid1->setOptions(O::Titles | O::Indicator | O::ColumnResize | O::ColumnLines | O::RowLines | O::Tabs
                        | O::RowSelect | O::AlwaysShowSelection | O::ConfirmDelete);
    const Qt::Alignment centre = Qt::AlignHCenter | Qt::AlignVCenter;
    DBGrid1->setColumns({
        {QStringLiteral("Nombre"), QStringLiteral("Nombre"), centre, Qt::AlignLeft, 174, true},
        {QStringLiteral("DNI"), QStringLiteral("DNI"), centre, Qt::AlignRight, 70, true},
        {QStringLiteral("Telefono"), QStringLiteral("Telefono"), centre, Qt::AlignHCenter, 118, true},
        {QStringLiteral("EMail"), QStringLiteral("Correo Electrónico"), centre, Qt::AlignLeft, 168, true},
    });
    layout->addWidget(DBGrid1, 1);

    pnlOperaciones = new QFrame(this);
    pnlOperaciones->setObjectName(QStringLiteral("pnlOperaciones"));
    pnlOperaciones->setFixedHeight(56);
    Label1 = Widgets::label(pnlOperaciones, QStringLiteral("Filtrar Huéspedes por Nombre"), 8, 8);
    edFiltro = new QLineEdit(pnlOperaciones);
    edFiltro->setObjectName(QStringLiteral("edFiltro"));
    edFiltro->setGeometry(8, 25, 209, 21);
    DBNavigator1 = new RecordNavigator(pnlOperaciones);
    DBNavigator1->setObjectName(QStringLiteral("DBNavigator1"));
    DBNavigator1->setDataSource(DM->DHuespedes);
    DBNavigator1->setVisibleButtons({0, 1, 2, 3, 4, 5, 6});
    DBNavigator1->setGeometry(351, 21, 210, 25);
    layout->addWidget(pnlOperaciones);

    pnlEdiciones = new QFrame(this);
    pnlEdiciones->setObjectName(QStringLiteral("pnlEdiciones"));
    pnlEdiciones->setFixedHeight(99);
    // Each edit is named by the caption over it.
    const auto captioned = [this](const QString &caption, int x, int y, const QString &field, int width,
                                  int maxLength = 0) {
        Widgets::label(pnlEdiciones, caption, x, y);
        BoundEdit *edit = boundEdit(pnlEdiciones, field, QRect(x, y + 15, width, 21), maxLength);
        Widgets::name(edit, caption);
        return edit;
    };
    DBEdit1 = captioned(QStringLiteral("Nombres y Apellidos"), 8, 6, QStringLiteral("Nombre"), 183);
    DBEdit2 = captioned(QStringLiteral("DNI"), 199, 6, QStringLiteral("DNI"), 74, 8);
    DBEdit3 = captioned(QStringLiteral("Domicilio"), 281, 6, QStringLiteral("Domicilio"), 276);
    DBEdit4 = captioned(QStringLiteral("Correo Electrónico"), 8, 51, QStringLiteral("EMail"), 265);
    DBEdit5 = captioned(QStringLiteral("Teléfono"), 281, 51, QStringLiteral("Telefono"), 129);
    DBNavigator2 = new RecordNavigator(pnlEdiciones);
    DBNavigator2->setObjectName(QStringLiteral("DBNavigator2"));
    DBNavigator2->setDataSource(DM->DHuespedes);
    DBNavigator2->setVisibleButtons({7, 8});
    DBNavigator2->setGeometry(497, 64, 60, 25);
    pnlEdiciones->hide();
    layout->addWidget(pnlEdiciones);

    Widgets::name(DBGrid1, QStringLiteral("Huéspedes"));
    Widgets::name(edFiltro, Label1->text());
    Widgets::name(DBNavigator1, QStringLiteral("Recorrer y editar huéspedes"));
    Widgets::name(DBNavigator2, QStringLiteral("Grabar o cancelar el huésped"));

    setTabOrder(DBEdit1, DBEdit2);
    setTabOrder(DBEdit2, DBEdit3);
    setTabOrder(DBEdit3, DBEdit4);
    setTabOrder(DBEdit4, DBEdit5);
    setTabOrder(DBEdit5, DBNavigator2);

    connect(edFiltro, &QLineEdit::textChanged, this, [this] { guarded(this, [this] { edFiltroChange(); }); });
    connect(DBNavigator1, &RecordNavigator::clicked, this, &TFHuespedes::DBNavigator1Click);
    connect(DBNavigator2, &RecordNavigator::clicked, this, &TFHuespedes::DBNavigator2Click);
}

void TFHuespedes::edFiltroChange()
{
    Cursor &guests = *DM->THuespedes;
    const QString text = edFiltro->text();
    if (!text.isEmpty()) {
        // The typed text is taken literally: a quote in it is doubled, so that
        // a name such as O'Brien can be found.
        QString literal = text;
        literal.replace(u'\'', QStringLiteral("''"));
        guests.setFilter(QStringLiteral("Nombre LIKE '*") + literal + QStringLiteral("*'"));
        guests.setFiltered(true);
    } else {
        guests.setFiltered(false);
    }
}

void TFHuespedes::DBNavigator1Click(int button)
{
    if (button == 4 || button == 6) {
        pnlOperaciones->hide();
        pnlEdiciones->show();
        DBGrid1->setEnabled(false);
    }
}

void TFHuespedes::DBNavigator2Click(int)
{
    pnlEdiciones->hide();
    pnlOperaciones->show();
    DBGrid1->setEnabled(true);
}

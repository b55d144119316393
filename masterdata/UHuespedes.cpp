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
    Widgets::label(pnlEdiciones, QStringLiteral("Nombres y Apellidos"), 8, 6);
    DBEdit1 = boundEdit(pnlEdiciones, QStringLiteral("Nombre"), QRect(8, 21, 183, 21));
    Widgets::label(pnlEdiciones, QStringLiteral("DNI"), 199, 6);
    DBEdit2 = boundEdit(pnlEdiciones, QStringLiteral("DNI"), QRect(199, 21, 74, 21), 8);
    Widgets::label(pnlEdiciones, QStringLiteral("Domicilio"), 281, 6);
    DBEdit3 = boundEdit(pnlEdiciones, QStringLiteral("Domicilio"), QRect(281, 21, 276, 21));
    Widgets::label(pnlEdiciones, QStringLiteral("Correo Electrónico"), 8, 51);
    DBEdit4 = boundEdit(pnlEdiciones, QStringLiteral("EMail"), QRect(8, 66, 265, 21));
    Widgets::label(pnlEdiciones, QStringLiteral("Teléfono"), 281, 51);
    DBEdit5 = boundEdit(pnlEdiciones, QStringLiteral("Telefono"), QRect(281, 66, 129, 21));
    DBNavigator2 = new RecordNavigator(pnlEdiciones);
    DBNavigator2->setObjectName(QStringLiteral("DBNavigator2"));
    DBNavigator2->setDataSource(DM->DHuespedes);
    DBNavigator2->setVisibleButtons({7, 8});
    DBNavigator2->setGeometry(497, 64, 60, 25);
    pnlEdiciones->hide();
    layout->addWidget(pnlEdiciones);

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

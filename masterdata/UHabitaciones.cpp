#include "UHabitaciones.h"

#include "BoundChoiceList.h"
#include "BoundEdit.h"
#include "DataGrid.h"
#include "Guard.h"
#include "LookupCombo.h"
#include "RecordNavigator.h"
#include "UDM.h"
#include "Widgets.h"

#include <QHBoxLayout>
#include <QVBoxLayout>

TFHabitaciones *FHabitaciones = nullptr;

namespace {

constexpr int DataWidth = 282;
constexpr int EditWidth = 118;
constexpr int ClientHeight = 304;

QFrame *raisedPanel(QWidget *parent, const char *name, int width)
{
    auto *p = new QFrame(parent);
    p->setObjectName(QLatin1String(name));
    p->setFrameStyle(QFrame::Panel | QFrame::Raised);
    p->setFixedWidth(width);
    return p;
}

BoundChoiceList *choiceList(QWidget *parent, const char *name, const QString &field, const QRect &bounds,
                            const QStringList &items)
{
    auto *c = new BoundChoiceList(parent);
    c->setObjectName(QLatin1String(name));
    c->setGeometry(bounds);
    c->setDataSource(DM->DHabitaciones);
    c->setDataField(field);
    c->setItems(items);
    return c;
}

} // namespace

TFHabitaciones::TFHabitaciones(QWidget *parent) : FormWindow(parent)
{
    setObjectName(QStringLiteral("FHabitaciones"));
    setWindowTitle(QStringLiteral("Admnistración de Habitaciones"));

    auto *layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);

    pnlDatos = raisedPanel(this, "pnlDatos", DataWidth);
    auto *dataLayout = new QVBoxLayout(pnlDatos);
    dataLayout->setContentsMargins(0, 0, 0, 5);
    dataLayout->setSpacing(0);
    DBGrid1 = new DataGrid(pnlDatos);
    DBGrid1->setObjectName(QStringLiteral("DBGrid1"));
    DBGrid1->setFrameShape(QFrame::NoFrame);
    DBGrid1->setDataSource(DM->DHabitaciones);
    using O = DataGrid::Option;
    DBGrid1->setOptions(O::Titles | O::Indicator | O::ColumnResize | O::ColumnLines | O::RowLines | O::Tabs | O::RowSelect);
    const Qt::Alignment centre = Qt::AlignHCenter | Qt::AlignVCenter;
    DBGrid1->setColumns({
        {QStringLiteral("NroHabitacion"), QStringLiteral("Número"), centre, {}, 52, true},
        {QStringLiteral("Piso"), QStringLiteral("Piso"), centre, {}, 34, true},
        {QStringLiteral("Vista"), QStringLiteral("Vista"), centre, Qt::AlignHCenter, 69, true},
        {QStringLiteral("Tipo"), QStringLiteral("Tipo"), centre, Qt::AlignHCenter, 92, true},
    });
    dataLayout->addWidget(DBGrid1, 1);
    DBNavigator2 = new RecordNavigator(pnlDatos);
    DBNavigator2->setObjectName(QStringLiteral("DBNavigator2"));
    DBNavigator2->setDataSource(DM->DHabitaciones);
    DBNavigator2->setVisibleButtons({0, 1, 2, 3, 4, 5, 6});
    DBNavigator2->setFixedHeight(RecordNavigator::DefaultHeight);
    dataLayout->addWidget(DBNavigator2);
    layout->addWidget(pnlDatos);

    pnlEdicion = raisedPanel(this, "pnlEdicion", EditWidth);
    Label1 = Widgets::label(pnlEdicion, QStringLiteral("Número"), 8, 8);
    DBEdit1 = new BoundEdit(pnlEdicion);
    DBEdit1->setObjectName(QStringLiteral("DBEdit1"));
    DBEdit1->setGeometry(8, 24, 44, 21);
    DBEdit1->setDataSource(DM->DHabitaciones);
    DBEdit1->setDataField(QStringLiteral("NroHabitacion"));
    Label3 = Widgets::label(pnlEdicion, QStringLiteral("Piso"), 66, 8);
    dbcbxPiso = choiceList(pnlEdicion, "dbcbxPiso", QStringLiteral("Piso"), QRect(64, 24, 46, 21),
                           {QStringLiteral("1"), QStringLiteral("2"), QStringLiteral("3")});
    Label4 = Widgets::label(pnlEdicion, QStringLiteral("Vista"), 8, 64);
    dbcbxVista = choiceList(pnlEdicion, "dbcbxVista", QStringLiteral("Vista"), QRect(8, 80, 102, 21),
                            {QStringLiteral("Mar"), QStringLiteral("Ciudad"), QStringLiteral("Interior")});
    Label2 = Widgets::label(pnlEdicion, QStringLiteral("Tipo"), 8, 120);
    dblucbxTipo = new LookupCombo(pnlEdicion);
    dblucbxTipo->setObjectName(QStringLiteral("dblucbxTipo"));
    dblucbxTipo->setGeometry(8, 136, 102, 21);
    dblucbxTipo->setListSource(DM->DTiposDeHabitacion);
    dblucbxTipo->setKeyField(QStringLiteral("IdTipo"));
    dblucbxTipo->setListFields(QStringLiteral("Nombre"));
    // Bound last: from here on the combo follows the current room and moves
    // the room types cursor, whether the window is shown or not.
    dblucbxTipo->setDataSource(DM->DHabitaciones);
    dblucbxTipo->setDataField(QStringLiteral("IdTipo"));
    DBNavigator1 = new RecordNavigator(pnlEdicion);
    DBNavigator1->setObjectName(QStringLiteral("DBNavigator1"));
    DBNavigator1->setDataSource(DM->DHabitaciones);
    DBNavigator1->setVisibleButtons({7, 8});
    DBNavigator1->setGeometry(7, 273, 104, 25);
    pnlEdicion->hide();
    layout->addWidget(pnlEdicion);

    // Names for assistive technology, from the labels that head the controls.
    Widgets::name(DBGrid1, QStringLiteral("Habitaciones"));
    Widgets::name(DBNavigator2, QStringLiteral("Recorrer y editar habitaciones"));
    Widgets::name(DBEdit1, Label1->text());
    Widgets::name(dbcbxPiso, Label3->text());
    Widgets::name(dbcbxVista, Label4->text());
    Widgets::name(dblucbxTipo, Label2->text());
    Widgets::name(DBNavigator1, QStringLiteral("Grabar o cancelar la habitación"));

    setTabOrder(DBEdit1, dblucbxTipo);
    setTabOrder(dblucbxTipo, DBNavigator1);
    setTabOrder(DBNavigator1, dbcbxPiso);
    setTabOrder(dbcbxPiso, dbcbxVista);

    // One handler for both events of the main navigator: the edit panel is open
    // before the cursor changes state and stays open if that fails.
    auto main = [this](int button) { guarded(this, [&] { DBNavigator2Click(button); }); };
    connect(DBNavigator2, &RecordNavigator::beforeAction, this, main);
    connect(DBNavigator2, &RecordNavigator::clicked, this, main);
    connect(DBNavigator1, &RecordNavigator::clicked, this,
            [this](int button) { guarded(this, [&] { DBNavigator1Click(button); }); });

    fitToPanels();
}

void TFHabitaciones::fitToPanels()
{
    setClientSize(pnlEdicion->isHidden() ? DataWidth : DataWidth + EditWidth, ClientHeight);
}

void TFHabitaciones::DBNavigator2Click(int button)
{
    if (button != RecordNavigator::Insert && button != RecordNavigator::Edit)
        return;
    pnlEdicion->show();
    pnlDatos->setEnabled(false);
    fitToPanels();
}

void TFHabitaciones::DBNavigator1Click(int)
{
    pnlEdicion->hide();
    pnlDatos->setEnabled(true);
    fitToPanels();
}

#include "UConsultas.h"

#include "DataGrid.h"
#include "Guard.h"
#include "ImageList16.h"
#include "LookupCombo.h"
#include "UDM.h"
#include "Widgets.h"

#include <QComboBox>
#include <QTabBar>
#include <QTabWidget>
#include <QVBoxLayout>

TFConsultas *FConsultas = nullptr;

namespace {

constexpr int PanelHeight = 49;

// A tab page: the chooser's panel on top, the grid below it.
QWidget *page(QTabWidget *tabs, const QString &name, QFrame *&panel)
{
    auto *p = new QWidget(tabs);
    p->setObjectName(name);
    auto *layout = new QVBoxLayout(p);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    panel = new QFrame(p);
    panel->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    panel->setFixedHeight(PanelHeight);
    layout->addWidget(panel);
    return p;
}

DataGrid *resultGrid(QWidget *page, const QString &name, DataSource *source)
{
    auto *g = new DataGrid(page);
    g->setObjectName(name);
    g->setDataSource(source);
    g->setOptions(DataGrid::defaultOptions());
    g->setReadOnly(true);
    static_cast<QVBoxLayout *>(page->layout())->addWidget(g, 1);
    return g;
}

} // namespace

TFConsultas::TFConsultas(QWidget *parent) : FormWindow(parent)
{
    setObjectName(QStringLiteral("FConsultas"));
    setWindowTitle(QStringLiteral("Consultas"));
    setClientSize(348, 245);

    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    PageControl1 = new QTabWidget(this);
    PageControl1->setObjectName(QStringLiteral("PageControl1"));
    PageControl1->tabBar()->setFont(Widgets::windowFont(true));
    // The two bold captions are wider than the window: both tabs stay in view,
    // their captions shortened, rather than one scrolled away.
    PageControl1->setUsesScrollButtons(false);
    PageControl1->setElideMode(Qt::ElideRight);
    layout->addWidget(PageControl1);

    const Qt::Alignment centre = Qt::AlignHCenter | Qt::AlignVCenter;

    // First tab: the invoiced stays of one guest.
    tsEstadiaHuesped = page(PageControl1, QStringLiteral("tsEstadiaHuesped"), pnlHuesped);
    pnlHuesped->setObjectName(QStringLiteral("pnlHuesped"));
    Label3 = Widgets::label(pnlHuesped, QStringLiteral("Huesped"), 32, 8);
    dblcxHuesped = new LookupCombo(pnlHuesped);
    dblcxHuesped->setObjectName(QStringLiteral("dblcxHuesped"));
    dblcxHuesped->setGeometry(32, 22, 193, 21);
    dblcxHuesped->setListSource(DM->DHuespedes);
    dblcxHuesped->setKeyField(QStringLiteral("IdHuesped"));
    dblcxHuesped->setListFields(QStringLiteral("Nombre;DNI"));
    dbgEstadiasHuesped = resultGrid(tsEstadiaHuesped, QStringLiteral("dbgEstadiasHuesped"), DM->DEstadiasDeHuesped);
    // Vista comes from a 10-character column; the query's text fields do not
    // carry that size, so its default width is given here.
    const int vistaWidth = 10 * dbgEstadiasHuesped->fontMetrics().horizontalAdvance(u'0') + 4;
    dbgEstadiasHuesped->setColumns({
        {QStringLiteral("FechaIngreso"), QStringLiteral("Ingreso"), centre, centre, 82, true},
        {QStringLiteral("FechaEgreso"), QStringLiteral("Egreso"), centre, centre, 82, true},
        {QStringLiteral("NroHabitacion"), QStringLiteral("Habitación"), centre, centre, 70, true},
        {QStringLiteral("Vista"), QStringLiteral("Vista"), centre, centre, vistaWidth, true},
    });
    PageControl1->addTab(tsEstadiaHuesped, ImageList16::icon(17), QStringLiteral("Estadías de un huesped"));
    PageControl1->setTabToolTip(0, PageControl1->tabText(0));

    // Second tab: the most requested rooms of one view.
    tsHabitacionesPedidas = page(PageControl1, QStringLiteral("tsHabitacionesPedidas"), pnlVista);
    pnlVista->setObjectName(QStringLiteral("pnlVista"));
    Label1 = Widgets::label(pnlVista, QStringLiteral("Vista de la habitación"), 32, 5);
    cbxVista = new QComboBox(pnlVista);
    cbxVista->setObjectName(QStringLiteral("cbxVista"));
    cbxVista->setGeometry(32, 19, 124, 21);
    cbxVista->addItems({QStringLiteral("Mar"), QStringLiteral("Ciudad"), QStringLiteral("Interior")});
    cbxVista->setCurrentIndex(2);
    DBGrid1 = resultGrid(tsHabitacionesPedidas, QStringLiteral("DBGrid1"), DM->DHabitaconesMasPedidas);
    DBGrid1->setColumns({
        {QStringLiteral("NroHabitacion"), QStringLiteral("Habitación"), centre, centre, 0, true},
        {QStringLiteral("Dias"), QStringLiteral("Dias"), centre, {}, 43, true},
    });
    PageControl1->addTab(tsHabitacionesPedidas, ImageList16::icon(6), QStringLiteral("Habitaciones más pedidas por vista "));
    PageControl1->setTabToolTip(1, PageControl1->tabText(1).trimmed());

    // Names for assistive technology, from the labels and tabs that head the controls.
    Widgets::name(PageControl1, windowTitle());
    Widgets::name(dblcxHuesped, Label3->text());
    Widgets::name(dbgEstadiasHuesped, QStringLiteral("Estadías del huésped"));
    Widgets::name(cbxVista, Label1->text());
    Widgets::name(DBGrid1, QStringLiteral("Habitaciones más pedidas"));

    // Every choice and every close of the drop-down runs the query.
    connect(dblcxHuesped, &LookupCombo::clicked, this, [this] { guarded(this, [this] { dblcxHuespedClick(); }); });
    connect(dblcxHuesped, &LookupCombo::closeUp, this, [this] { guarded(this, [this] { dblcxHuespedClick(); }); });
    // Only the user's choices: the initial "Interior" runs nothing.
    connect(cbxVista, &QComboBox::activated, this, [this] { guarded(this, [this] { cbxVistaChange(); }); });
}

void TFConsultas::dblcxHuespedClick()
{
    QueryCursor &q = *DM->QEstadiasDeHuesped;
    q.close();
    q.setParameter(QStringLiteral("IdHuesped"), dblcxHuesped->keyValue());
    q.open();
}

void TFConsultas::cbxVistaChange()
{
    QueryCursor &q = *DM->QHabitaconesMasPedidas;
    q.close();
    q.setParameter(QStringLiteral("Vista"), cbxVista->currentText());
    q.open();
}

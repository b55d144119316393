#include "UServicios.h"

#include "BoundEdit.h"
#include "DataGrid.h"
#include "Guard.h"
#include "RecordNavigator.h"
#include "UDM.h"
#include "Widgets.h"

#include <QVBoxLayout>

TFServcios *FServcios = nullptr;

namespace {

QFrame *raisedPanel(QWidget *parent, const char *name)
{
    auto *p = new QFrame(parent);
    p->setObjectName(QLatin1String(name));
    p->setFrameStyle(QFrame::Panel | QFrame::Raised);
    return p;
}

BoundEdit *boundEdit(QWidget *parent, const char *name, const QString &field, const QRect &bounds)
{
    auto *e = new BoundEdit(parent);
    e->setObjectName(QLatin1String(name));
    e->setGeometry(bounds);
    e->setDataSource(DM->DServicios);
    e->setDataField(field);
    return e;
}

} // namespace

TFServcios::TFServcios(QWidget *parent) : FormWindow(parent)
{
    setObjectName(QStringLiteral("FServcios"));
    setWindowTitle(QStringLiteral("Administración de Servicios"));
    setClientSize(265, 348);

    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);

    Panel2 = raisedPanel(this, "Panel2");
    auto *listLayout = new QVBoxLayout(Panel2);
    listLayout->setContentsMargins(0, 0, 0, 0);
    listLayout->setSpacing(0);
    DBGrid1 = new DataGrid(Panel2);
    DBGrid1->setObjectName(QStringLiteral("DBGrid1"));
    DBGrid1->setDataSource(DM->DServicios);
    DBGrid1->setReadOnly(true);
    using O = DataGrid::Option;
    DBGrid1->setOptions(O::Titles | O::ColumnResize | O::ColumnLines | O::RowLines | O::Tabs | O::RowSelect
                        | O::AlwaysShowSelection | O::ConfirmDelete);
    const Qt::Alignment centre = Qt::AlignHCenter | Qt::AlignVCenter;
    DBGrid1->setColumns({
        {QStringLiteral("Nombre"), QStringLiteral("Nombre"), centre, Qt::AlignLeft, 174, true},
        {QStringLiteral("Precio"), QStringLiteral("Precio"), centre, Qt::AlignRight, 63, true},
    });
    listLayout->addWidget(DBGrid1, 1);
    DBNavigator1 = new RecordNavigator(Panel2);
    DBNavigator1->setObjectName(QStringLiteral("DBNavigator1"));
    DBNavigator1->setDataSource(DM->DServicios);
    DBNavigator1->setVisibleButtons({0, 1, 2, 3, 4, 5, 6});
    DBNavigator1->setFixedHeight(RecordNavigator::DefaultHeight);
    listLayout->addWidget(DBNavigator1);
    layout->addWidget(Panel2, 1);

    Panel1 = raisedPanel(this, "Panel1");
    Panel1->setFixedHeight(84);
    Label2 = Widgets::label(Panel1, QStringLiteral("Nombre"), 5, 7);
    DBEdit2 = boundEdit(Panel1, "DBEdit2", QStringLiteral("Nombre"), QRect(5, 22, 174, 21));
    Label3 = Widgets::label(Panel1, QStringLiteral("Precio"), 188, 7);
    DBEdit3 = boundEdit(Panel1, "DBEdit3", QStringLiteral("Precio"), QRect(188, 22, 61, 21));
    DBNavigator2 = new RecordNavigator(Panel1);
    DBNavigator2->setObjectName(QStringLiteral("DBNavigator2"));
    DBNavigator2->setDataSource(DM->DServicios);
    DBNavigator2->setVisibleButtons({7, 8});
    DBNavigator2->setGeometry(81, 49, 98, 25);
    Panel1->hide();
    layout->addWidget(Panel1);

    // Names for assistive technology, from the labels that head the controls.
    Widgets::name(DBGrid1, QStringLiteral("Servicios"));
    Widgets::name(DBNavigator1, QStringLiteral("Recorrer y editar servicios"));
    Widgets::name(DBEdit2, Label2->text());
    Widgets::name(DBEdit3, Label3->text());
    Widgets::name(DBNavigator2, QStringLiteral("Grabar o cancelar el servicio"));

    setTabOrder(DBEdit2, DBEdit3);
    setTabOrder(DBEdit3, DBNavigator2);

    connect(DBNavigator1, &RecordNavigator::clicked, this,
            [this](int button) { guarded(this, [&] { DBNavigator1Click(button); }); });
    connect(DBNavigator2, &RecordNavigator::clicked, this,
            [this](int button) { guarded(this, [&] { DBNavigator2Click(button); }); });
}

void TFServcios::DBNavigator1Click(int button)
{
    if (button != RecordNavigator::Insert && button != RecordNavigator::Edit)
        return;
    Panel1->show();
    DBGrid1->setEnabled(false);
}

void TFServcios::DBNavigator2Click(int button)
{
    if (button != RecordNavigator::Post && button != RecordNavigator::Cancel)
        return;
    Panel1->hide();
    DBGrid1->setEnabled(true);
}

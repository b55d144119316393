#include "UPrincipal.h"

#include "Guard.h"
#include "HotelPicture.h"
#include "ImageList16.h"
#include "Regional.h"
#include "UBusquedaHabitacion.h"
#include "UConsultas.h"
#include "UDatosDelHotel.h"
#include "UDM.h"
#include "UElegirDia.h"
#include "UEstadias.h"
#include "UHabitaciones.h"
#include "UHuespedes.h"
#include "UPlanillaOcupacion.h"
#include "UReportes.h"
#include "UReservas.h"
#include "UServicios.h"
#include "UTiposDeHabitacion.h"

#include <QGuiApplication>
#include <QMenuBar>
#include <QPainter>
#include <QProxyStyle>
#include <QStyleOptionMenuItem>
#include <QScreen>
#include <QTabWidget>
#include <QTimer>
#include <QToolButton>

TFPrincipal *FPrincipal = nullptr;

namespace {

// Image1: the hotel picture centred; shown at its own size when there is room,
// scaled down keeping its proportions when not, never enlarged.
class Background : public QWidget
{
public:
    explicit Background(QWidget *parent) : QWidget(parent)
    {
        setObjectName(QStringLiteral("Image1"));
        setAutoFillBackground(true);
    }

protected:
    void paintEvent(QPaintEvent *) override
    {
        const QImage picture = HotelPicture::image();
        QSize size = picture.size();
        if (size.width() > width() || size.height() > height())
            size.scale(this->size(), Qt::KeepAspectRatio);
        const QRect target(QPoint((width() - size.width()) / 2, (height() - size.height()) / 2), size);
        QPainter p(this);
        p.setRenderHint(QPainter::SmoothPixmapTransform);
        p.drawImage(target, picture);
    }
};

// Menu bar entries that have an icon show it left of their caption; the plain
// styles would show the icon alone.
class MenuBarStyle : public QProxyStyle
{
public:
    using QProxyStyle::QProxyStyle;

    QSize sizeFromContents(ContentsType type, const QStyleOption *option, const QSize &size,
                           const QWidget *widget) const override
    {
        QSize s = QProxyStyle::sizeFromContents(type, option, size, widget);
        if (type == CT_MenuBarItem) {
            if (const auto *item = qstyleoption_cast<const QStyleOptionMenuItem *>(option);
                item && !item->icon.isNull() && !item->text.isEmpty()) {
                const int textWidth = item->fontMetrics.horizontalAdvance(QString(item->text).remove(u'&'));
                s.setWidth(16 + 4 + textWidth + 16);
            }
        }
        return s;
    }

    void drawControl(ControlElement element, const QStyleOption *option, QPainter *painter,
                     const QWidget *widget) const override
    {
        const auto *item = qstyleoption_cast<const QStyleOptionMenuItem *>(option);
        if (element != CE_MenuBarItem || !item || item->icon.isNull() || item->text.isEmpty()) {
            QProxyStyle::drawControl(element, option, painter, widget);
            return;
        }
        // The item's background and highlight as usual, then icon and caption.
        QStyleOptionMenuItem plain = *item;
        plain.icon = QIcon();
        plain.text.clear();
        QProxyStyle::drawControl(element, &plain, painter, widget);
        const QRect r = item->rect.adjusted(8, 0, -8, 0);
        const QRect iconRect(r.left(), r.center().y() - 7, 16, 16);
        item->icon.paint(painter, iconRect, Qt::AlignCenter,
                         item->state & State_Enabled ? QIcon::Normal : QIcon::Disabled);
        const QRect textRect = r.adjusted(20, 0, 0, 0);
        const bool highlighted = (item->state & State_Selected) && (item->state & State_Sunken);
        drawItemText(painter, textRect, Qt::AlignLeft | Qt::AlignVCenter | Qt::TextShowMnemonic, item->palette,
                     item->state & State_Enabled, item->text,
                     highlighted ? QPalette::HighlightedText : QPalette::ButtonText);
    }
};

} // namespace

TFPrincipal::TFPrincipal(QWidget *parent) : QMainWindow(parent)
{
    setObjectName(QStringLiteral("FPrincipal"));
    setWindowTitle(QStringLiteral("Administracion de hotel"));
    setFont(QFont(QStringLiteral("MS Sans Serif"), 8));
    setCentralWidget(new Background(this));

    QMenuBar *bar = menuBar();
    auto *menuStyle = new MenuBarStyle(bar->style()->name());
    menuStyle->setParent(bar);
    bar->setStyle(menuStyle);
    // The button Qt shows when the menus do not fit carries no name of its own.
    if (auto *more = bar->findChild<QToolButton *>(QStringLiteral("qt_menubar_ext_button")))
        more->setAccessibleName(QStringLiteral("Más menús"));
    MainMenu1Hotel = bar->addMenu(QStringLiteral("Hotel"));
    MainMenu1Hotel->setIcon(ImageList16::icon(10));
    AdministrarTiposdeHabitacin1 = item(MainMenu1Hotel, QStringLiteral("Administrar Tipos de Habitación"), 6, 0);
    AdministrarHabitaciones1 = item(MainMenu1Hotel, QStringLiteral("Administrar Habitaciones"), 5, 0);
    AdministrarServicios1 = item(MainMenu1Hotel, QStringLiteral("Administrar Servicios"), 8, 0);
    DatosdelHotel1 = item(MainMenu1Hotel, QStringLiteral("Datos del Hotel"), 17, 0);
    MainMenu1Huespedes = bar->addMenu(QStringLiteral("Huéspedes"));
    AdministrarHuspedes1 = item(MainMenu1Huespedes, QStringLiteral("Administrar Huéspedes"), 7, 0);
    MainMenu1Reservas = bar->addMenu(QStringLiteral("Reservas"));
    ListadodeReservas1 = item(MainMenu1Reservas, QStringLiteral("Administrar Reservas"), 9, 0);
    AgregarReserva1 = item(MainMenu1Reservas, QStringLiteral("Agregar Reserva"), 10, 0);
    PlanilladeOcupacion1 = item(MainMenu1Reservas, QStringLiteral("Planilla de Ocupación"), 34, 0);
    MainMenu1Estadias = bar->addMenu(QStringLiteral("Estadías"));
    AdministrarEstadas1 = item(MainMenu1Estadias, QStringLiteral("Administrar Estadías"), 5, 0);
    AsignarHabitacin1 = item(MainMenu1Estadias, QStringLiteral("Asignar Habitación"), 15, 0);
    MainMenu1Consultas = bar->addMenu(QStringLiteral("Consultas"));
    EstadiasdeunHuesped1 = item(MainMenu1Consultas, QStringLiteral("Estadías de un Huésped"), 17, 0);
    HabitacionesmasPedidas1 = item(MainMenu1Consultas, QStringLiteral("Habitaciones más pedidas"), 6, 1);
    MainMenu1Reportes = bar->addMenu(QStringLiteral("Reportes"));
    ListadodeServicios1 = item(MainMenu1Reportes, QStringLiteral("Listado de Servicios"), 18, 0);
    ListadodeHabitacionesporTipo1 = item(MainMenu1Reportes, QStringLiteral("Listado de Habitaciones"), 36, 0);
    LlegadasySalidas1 = item(MainMenu1Reportes, QStringLiteral("Llegadas y Salidas"), 35, 0);
    // "Salir" is a top-level entry that acts itself.
    Salir1 = bar->addAction(ImageList16::icon(14), QStringLiteral("Salir"));
    Salir1->setObjectName(QStringLiteral("Salir1"));
    connect(Salir1, &QAction::triggered, this, &TFPrincipal::Salir1Click);

    wire(AdministrarTiposdeHabitacin1, &TFPrincipal::AdministrarTiposdeHabitacin1Click);
    wire(AdministrarHabitaciones1, &TFPrincipal::AdministrarHabitaciones1Click);
    wire(AdministrarServicios1, &TFPrincipal::AdministrarServicios1Click);
    wire(DatosdelHotel1, &TFPrincipal::DatosdelHotel1Click);
    wire(AdministrarHuspedes1, &TFPrincipal::AdministrarHuspedes1Click);
    wire(ListadodeReservas1, &TFPrincipal::ListadodeReservas1Click);
    wire(AgregarReserva1, &TFPrincipal::AgregarReserva1Click);
    wire(AdministrarEstadas1, &TFPrincipal::AdministrarEstadas1Click);
    wire(AsignarHabitacin1, &TFPrincipal::AsignarHabitacin1Click);
    for (QAction *a : {EstadiasdeunHuesped1, HabitacionesmasPedidas1})
        connect(a, &QAction::triggered, this, [this, a] { guarded(this, [&] { ConsultasClick(a); }); });
    wire(ListadodeServicios1, &TFPrincipal::ListadodeServicios1Click);
    wire(ListadodeHabitacionesporTipo1, &TFPrincipal::ListadodeHabitacionesporTipo1Click);
    wire(PlanilladeOcupacion1, &TFPrincipal::PlanilladeOcupacion1Click);
    wire(LlegadasySalidas1, &TFPrincipal::LlegadasySalidas1Click);

    // Restored: a client area of 695 x 386 centred on the screen.
    resize(695, 386 + bar->sizeHint().height());
    if (QScreen *screen = QGuiApplication::primaryScreen())
        move(screen->availableGeometry().center() - rect().center());
    setWindowState(Qt::WindowMaximized);

    // Fully transparent at creation; the fade-in makes it opaque.
    setWindowOpacity(0.0);
    Timer1 = new QTimer(this);
    Timer1->setObjectName(QStringLiteral("Timer1"));
    Timer1->setInterval(50);
    connect(Timer1, &QTimer::timeout, this, &TFPrincipal::Timer1Timer);
    Timer1->start();

    FormCreate();
}

void TFPrincipal::FormCreate()
{
    RegionalSettings s = Regional::settings();
    s.shortDateFormat = QStringLiteral("dd/mm/yyyy");
    Regional::setSettings(s);
}

QAction *TFPrincipal::item(QMenu *menu, const QString &caption, int icon, int tag)
{
    QAction *a = menu->addAction(ImageList16::icon(icon), caption);
    a->setData(tag);
    return a;
}

void TFPrincipal::wire(QAction *action, void (TFPrincipal::*handler)())
{
    connect(action, &QAction::triggered, this, [this, handler] { guarded(this, [&] { (this->*handler)(); }); });
}

void TFPrincipal::Timer1Timer()
{
    if (m_alpha <= 245) {
        m_alpha += 10;
        setWindowOpacity(m_alpha / 255.0);
    } else {
        m_alpha = 255;
        m_alphaBlend = false;
        setWindowOpacity(1.0);
        Timer1->stop();
    }
}

void TFPrincipal::AdministrarTiposdeHabitacin1Click()
{
    FTiposHabitacion->ShowModal();
}

void TFPrincipal::AdministrarHabitaciones1Click()
{
    FHabitaciones->ShowModal();
}

void TFPrincipal::AdministrarServicios1Click()
{
    FServcios->ShowModal();
}

void TFPrincipal::DatosdelHotel1Click()
{
    FDatosDelHotel->AdministrarDatos();
}

void TFPrincipal::AdministrarHuspedes1Click()
{
    FHuespedes->ShowModal();
}

void TFPrincipal::ListadodeReservas1Click()
{
    FReservas->AdministrarReservas();
}

void TFPrincipal::AgregarReserva1Click()
{
    FBusquedaHabitacion->AgregarReserva();
}

void TFPrincipal::AdministrarEstadas1Click()
{
    FEstadias->AdministrarEstadias();
}

void TFPrincipal::AsignarHabitacin1Click()
{
    FBusquedaHabitacion->AgregarEstadia();
}

void TFPrincipal::ConsultasClick(QAction *Sender)
{
    FConsultas->PageControl1->setCurrentIndex(Sender->data().toInt());
    FConsultas->ShowModal();
}

void TFPrincipal::ListadodeServicios1Click()
{
    FReportes->PreviewServicios(this);
}

void TFPrincipal::ListadodeHabitacionesporTipo1Click()
{
    // Run afresh, so the listing shows what the file holds now.
    DM->QHabitacionesPorTipo->close();
    DM->QHabitacionesPorTipo->open();
    FReportes->PreviewHabitaciones(this);
}

void TFPrincipal::PlanilladeOcupacion1Click()
{
    FPlanillaOcupacion->MostrarPlanilla();
}

void TFPrincipal::LlegadasySalidas1Click()
{
    QDate dia;
    if (FElegirDia->ElegirDia(QStringLiteral("Llegadas y Salidas"), dia))
        FReportes->PreviewLlegadasSalidas(dia, this);
}

void TFPrincipal::Salir1Click()
{
    close();
}

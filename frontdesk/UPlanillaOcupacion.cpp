#include "UPlanillaOcupacion.h"

#include "DatePicker.h"
#include "DateTimes.h"
#include "Guard.h"
#include "MessageDialog.h"
#include "PlannerGrid.h"
#include "Regional.h"
#include "ReportEngine.h"
#include "UBusquedaHabitacion.h"
#include "UDM.h"
#include "UEstadias.h"
#include "UReservas.h"
#include "Widgets.h"

#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QScreen>
#include <QShortcut>
#include <QVBoxLayout>

TFPlanillaOcupacion *FPlanillaOcupacion = nullptr;

namespace {

const QString Reservada = QStringLiteral("Reservada");
const QString Ocupada = QStringLiteral("Ocupada");
const QString Facturada = QStringLiteral("Facturada");
const QString Finalizada = QStringLiteral("Finalizada");

// A stay whose state is none of the known ones.
const QColor OtherState(0xbb, 0xbb, 0xbb);
// A "Finalizada" stay no longer holds its room: pale, in the window and in print.
const QColor FaintFill(0xee, 0xee, 0xee);

QString shortDate(QDate day)
{
    return Regional::settings().formatShortDate(DateTimes::make(day));
}

// A swatch and its caption, for the legend.
QWidget *swatch(QWidget *parent, const QColor &fill, const QColor &border, const QString &caption, bool dashed = false)
{
    QPixmap box(14, 12);
    box.fill(Qt::transparent);
    {
        QPainter p(&box);
        p.setBrush(fill);
        p.setPen(QPen(border, 1, dashed ? Qt::DashLine : Qt::SolidLine));
        p.drawRect(box.rect().adjusted(0, 0, -1, -1));
    }
    auto *entry = new QWidget(parent);
    auto *layout = new QHBoxLayout(entry);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(4);
    auto *picture = new QLabel(entry);
    picture->setPixmap(box);
    layout->addWidget(picture);
    auto *text = new QLabel(caption, entry);
    text->setTextFormat(Qt::PlainText);
    layout->addWidget(text);
    return entry;
}

ReportFont arial(double points, bool bold = false, bool italic = false)
{
    return {QStringLiteral("Arial"), points, bold, italic};
}

} // namespace

TFPlanillaOcupacion::TFPlanillaOcupacion(QWidget *parent) : FormWindow(parent)
{
    setObjectName(QStringLiteral("FPlanillaOcupacion"));
    setWindowTitle(QStringLiteral("Planilla de Ocupación"));
    // Unlike the described windows, this one takes the whole screen and may be resized.
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint
                   | Qt::WindowMaximizeButtonHint);

    // Narrow buttons, so that the bar fits the smallest screens.
    auto button = [this](const QString &caption, const QString &name, const QString &tip) {
        QPushButton *b = Widgets::button(this, caption, -1, QRect(), false);
        b->setObjectName(name);
        b->setToolTip(tip);
        b->setFixedWidth(b->fontMetrics().horizontalAdvance(QString(caption).remove(u'&')) + 22);
        return b;
    };
    btMesAnterior = button(QStringLiteral("« Mes"), QStringLiteral("btMesAnterior"),
                           QStringLiteral("Un mes antes (Ctrl+Re Pág)"));
    btSemanaAnterior = button(QStringLiteral("‹ Semana"), QStringLiteral("btSemanaAnterior"),
                              QStringLiteral("Una semana antes (Ctrl+Izquierda)"));
    btDiaAnterior = button(QStringLiteral("‹ Día"), QStringLiteral("btDiaAnterior"), QStringLiteral("Un día antes"));
    btHoy = button(QStringLiteral("&Hoy"), QStringLiteral("btHoy"), QStringLiteral("Volver a hoy (Alt+H)"));
    btDiaSiguiente = button(QStringLiteral("Día ›"), QStringLiteral("btDiaSiguiente"), QStringLiteral("Un día después"));
    btSemanaSiguiente = button(QStringLiteral("Semana ›"), QStringLiteral("btSemanaSiguiente"),
                               QStringLiteral("Una semana después (Ctrl+Derecha)"));
    btMesSiguiente = button(QStringLiteral("Mes »"), QStringLiteral("btMesSiguiente"),
                            QStringLiteral("Un mes después (Ctrl+Av Pág)"));
    dtpDia = new DatePicker(this);
    dtpDia->setObjectName(QStringLiteral("dtpDia"));
    dtpDia->setFormat(QStringLiteral("dddd dd/MM/yyyy"));
    dtpDia->setFixedWidth(160);
    Widgets::name(dtpDia, QStringLiteral("Ir al día"));
    lblRango = new QLabel(this);
    lblRango->setObjectName(QStringLiteral("lblRango"));
    lblRango->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    btImprimir = button(QStringLiteral("Imprimir"), QStringLiteral("btImprimir"),
                        QStringLiteral("Vista previa de los días que se ven"));

    grdPlanilla = new PlannerGrid(this);
    grdPlanilla->setObjectName(QStringLiteral("grdPlanilla"));
    grdPlanilla->setAccessibleName(QStringLiteral("Planilla de Ocupación"));
    grdPlanilla->setDescriber([this](int barra, PlannerGrid::Description kind) { return describir(barra, kind); });

    pnlLeyenda = new QWidget(this);
    pnlLeyenda->setObjectName(QStringLiteral("pnlLeyenda"));
    auto *legend = new QHBoxLayout(pnlLeyenda);
    legend->setContentsMargins(0, 0, 0, 0);
    legend->setSpacing(16);
    for (const QString &state : estados()) {
        const bool faint = state == Finalizada;
        const QColor fill = faint ? QColor(0xf7, 0xf7, 0xf7) : colorDeEstado(state);
        legend->addWidget(swatch(pnlLeyenda, fill, faint ? QColor(0x99, 0x99, 0x99) : fill.darker(160), state, faint));
    }
    legend->addWidget(swatch(pnlLeyenda, PlannerGrid::weekendColour(), PlannerGrid::weekendColour().darker(110),
                             QStringLiteral("Fin de semana")));
    legend->addWidget(swatch(pnlLeyenda, PlannerGrid::todayColour(), PlannerGrid::todayColour(), QStringLiteral("Hoy")));
    legend->addStretch();

    auto *top = new QHBoxLayout;
    for (QWidget *w : {static_cast<QWidget *>(btMesAnterior), static_cast<QWidget *>(btSemanaAnterior),
                       static_cast<QWidget *>(btDiaAnterior), static_cast<QWidget *>(btHoy),
                       static_cast<QWidget *>(btDiaSiguiente), static_cast<QWidget *>(btSemanaSiguiente),
                       static_cast<QWidget *>(btMesSiguiente), static_cast<QWidget *>(dtpDia)})
        top->addWidget(w);
    top->addSpacing(12);
    top->addWidget(lblRango, 1);
    top->addWidget(btImprimir);
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(6, 6, 6, 6);
    layout->addLayout(top);
    layout->addWidget(grdPlanilla, 1);
    layout->addWidget(pnlLeyenda);

    auto wire = [this](QPushButton *b, void (TFPlanillaOcupacion::*handler)()) {
        connect(b, &QPushButton::clicked, this, [this, handler] { guarded(this, [&] { (this->*handler)(); }); });
    };
    wire(btMesAnterior, &TFPlanillaOcupacion::btMesAnteriorClick);
    wire(btSemanaAnterior, &TFPlanillaOcupacion::btSemanaAnteriorClick);
    wire(btDiaAnterior, &TFPlanillaOcupacion::btDiaAnteriorClick);
    wire(btHoy, &TFPlanillaOcupacion::btHoyClick);
    wire(btDiaSiguiente, &TFPlanillaOcupacion::btDiaSiguienteClick);
    wire(btSemanaSiguiente, &TFPlanillaOcupacion::btSemanaSiguienteClick);
    wire(btMesSiguiente, &TFPlanillaOcupacion::btMesSiguienteClick);
    wire(btImprimir, &TFPlanillaOcupacion::btImprimirClick);
    auto key = [this](QKeySequence sequence, void (TFPlanillaOcupacion::*handler)()) {
        auto *s = new QShortcut(sequence, this);
        connect(s, &QShortcut::activated, this, [this, handler] { guarded(this, [&] { (this->*handler)(); }); });
    };
    key(QKeySequence(Qt::CTRL | Qt::Key_Left), &TFPlanillaOcupacion::btSemanaAnteriorClick);
    key(QKeySequence(Qt::CTRL | Qt::Key_Right), &TFPlanillaOcupacion::btSemanaSiguienteClick);
    key(QKeySequence(Qt::CTRL | Qt::Key_PageUp), &TFPlanillaOcupacion::btMesAnteriorClick);
    key(QKeySequence(Qt::CTRL | Qt::Key_PageDown), &TFPlanillaOcupacion::btMesSiguienteClick);
    connect(dtpDia, &DatePicker::changed, this, [this] { guarded(this, [this] { dtpDiaChange(); }); });
    connect(grdPlanilla, &PlannerGrid::activated, this,
            [this](int fila, QDate dia) { guarded(this, [&] { grdPlanillaActivated(fila, dia); }); });
    // The keys carry the current day past the days shown: the run follows it.
    connect(grdPlanilla, &PlannerGrid::rangeRequested, this,
            [this](QDate first) { guarded(this, [&] { mover(first.addDays(DiasAntes)); }); });
}

const QStringList &TFPlanillaOcupacion::estados()
{
    static const QStringList states{Reservada, Ocupada, Facturada, Finalizada};
    return states;
}

QColor TFPlanillaOcupacion::colorDeEstado(const QString &estado)
{
    // Okabe and Ito's colours for colour-blind readers; in grey they stay
    // apart as light, dark and middle.
    if (estado == Reservada)
        return QColor(0xf0, 0xe4, 0x42);
    if (estado == Ocupada)
        return QColor(0xd5, 0x5e, 0x00);
    if (estado == Facturada)
        return QColor(0x56, 0xb4, 0xe9);
    if (estado == Finalizada)
        return FaintFill;
    return OtherState;
}

void TFPlanillaOcupacion::MostrarPlanilla()
{
    // The window system fits a maximised window, frame and all, to the
    // screen's available area; restored, it keeps most of it.
    if (QScreen *screen = QGuiApplication::primaryScreen())
        resize(screen->availableGeometry().size() * 9 / 10);
    setWindowState(Qt::WindowMaximized);
    CargarHabitaciones();
    const QDate today = DateTimes::today();
    grdPlanilla->setToday(today);
    mover(today);
    grdPlanilla->setCurrent(std::max(0, grdPlanilla->currentRow()), today);
    grdPlanilla->setFocus();
    ShowModal();
}

void TFPlanillaOcupacion::CargarHabitaciones()
{
    QueryCursor &rooms = *DM->QPlanillaHabitaciones;
    rooms.close();
    rooms.open();
    const Field &id = rooms.fieldByName(QStringLiteral("idHabitacion"));
    const Field &number = rooms.fieldByName(QStringLiteral("NroHabitacion"));
    const Field &type = rooms.fieldByName(QStringLiteral("Tipo"));
    const Field &view = rooms.fieldByName(QStringLiteral("Vista"));
    std::vector<PlannerGrid::Row> rows;
    m_habitaciones.clear();
    m_filas.clear();
    for (int i = 0, n = rooms.recordCount(); i < n; ++i) {
        const QString typeName = rooms.valueAt(i, type).toString();
        const QString viewName = rooms.valueAt(i, view).toString();
        QString detail = typeName;
        if (!viewName.isEmpty())
            detail += (detail.isEmpty() ? QString() : QStringLiteral(", ")) + viewName;
        rows.push_back({rooms.valueAt(i, number).toString(), detail});
        const qint64 key = rooms.valueAt(i, id).toLongLong();
        m_filas.insert(key, i);
        m_habitaciones.push_back(key);
    }
    grdPlanilla->setRows(std::move(rows));
}

void TFPlanillaOcupacion::mover(QDate dia)
{
    m_dia = dia;
    const QDate first = dia.addDays(-DiasAntes);
    grdPlanilla->setRange(first, DiasVisibles);
    dtpDia->setDate(DateTimes::make(dia));
    lblRango->setText(QStringLiteral("Del ") + shortDate(first) + QStringLiteral(" al ")
                      + shortDate(grdPlanilla->lastDay()));
    CargarEstadias();
}

void TFPlanillaOcupacion::CargarEstadias()
{
    Cursor &stays = *DM->TEstadias;
    const Field &id = stays.fieldByName(QStringLiteral("IdEstadia"));
    const Field &guest = stays.fieldByName(QStringLiteral("Huesped"));
    const Field &checkIn = stays.fieldByName(QStringLiteral("FechaIngreso"));
    const Field &checkOut = stays.fieldByName(QStringLiteral("FechaEgreso"));
    const Field &state = stays.fieldByName(QStringLiteral("Estado"));
    const Field &days = stays.fieldByName(QStringLiteral("Dias"));
    const Field &daily = stays.fieldByName(QStringLiteral("PrecioDiario"));
    const QDate first = grdPlanilla->firstDay();
    const QDate last = grdPlanilla->lastDay();

    std::vector<PlannerGrid::Bar> bars;
    m_barras.clear();
    for (int row = 0; row < static_cast<int>(m_habitaciones.size()); ++row) {
        DM->forEachStayOfRoom(m_habitaciones[size_t(row)], first, last, [&](const Cursor::RowRef &stay) {
            PlannerGrid::Bar b;
            b.row = row;
            b.key = stay.value(id).toLongLong();
            b.first = stay.value(checkIn).toDateTime().date();
            b.last = stay.value(checkOut).toDateTime().date();
            b.text = stay.value(guest).toString();
            Barra extra{stay.value(state).toString(), stay.value(days), stay.value(daily)};
            b.colour = colorDeEstado(extra.estado);
            b.faint = extra.estado == Finalizada;
            bars.push_back(std::move(b));
            m_barras.push_back(std::move(extra));
        });
    }
    grdPlanilla->setBars(std::move(bars));
}

QString TFPlanillaOcupacion::describir(int barra, PlannerGrid::Description kind) const
{
    const PlannerGrid::Bar &b = grdPlanilla->bars()[size_t(barra)];
    const Barra &extra = m_barras[size_t(barra)];
    const QString dates = shortDate(b.first) + QStringLiteral(" a ") + shortDate(b.last);
    if (kind == PlannerGrid::Description::AccessibleName)
        return b.text + QStringLiteral(", ") + extra.estado + QStringLiteral(", ") + dates;
    const qint64 n = extra.dias.isValid() ? extra.dias.toLongLong() : b.first.daysTo(b.last) + 1;
    const QString price = extra.precioDiario.isValid()
                              ? Regional::settings().formatCurrency(extra.precioDiario.value<Money>())
                              : QString();
    return b.text + u'\n' + QStringLiteral("Habitación ") + grdPlanilla->row(b.row).title + u'\n' + dates
           + QStringLiteral(" (") + QString::number(n) + (n == 1 ? QStringLiteral(" día)") : QStringLiteral(" días)"))
           + u'\n' + QStringLiteral("Precio diario: ") + price + u'\n' + extra.estado;
}

void TFPlanillaOcupacion::btMesAnteriorClick()
{
    mover(m_dia.addMonths(-1));
}

void TFPlanillaOcupacion::btSemanaAnteriorClick()
{
    mover(m_dia.addDays(-7));
}

void TFPlanillaOcupacion::btDiaAnteriorClick()
{
    mover(m_dia.addDays(-1));
}

void TFPlanillaOcupacion::btHoyClick()
{
    const QDate today = DateTimes::today();
    grdPlanilla->setToday(today);
    mover(today);
    grdPlanilla->setCurrent(grdPlanilla->currentRow(), today);
}

void TFPlanillaOcupacion::btDiaSiguienteClick()
{
    mover(m_dia.addDays(1));
}

void TFPlanillaOcupacion::btSemanaSiguienteClick()
{
    mover(m_dia.addDays(7));
}

void TFPlanillaOcupacion::btMesSiguienteClick()
{
    mover(m_dia.addMonths(1));
}

void TFPlanillaOcupacion::dtpDiaChange()
{
    const QDate picked = dtpDia->date().date();
    mover(picked);
    grdPlanilla->setCurrent(grdPlanilla->currentRow(), picked);
}

void TFPlanillaOcupacion::grdPlanillaActivated(int fila, QDate dia)
{
    if (fila < 0 || fila >= static_cast<int>(m_habitaciones.size()))
        return;
    const int bar = grdPlanilla->barAt(fila, dia);
    const bool free = bar < 0 || grdPlanilla->bars()[size_t(bar)].faint;
    if (free) {
        if (dia < DateTimes::today()) {
            MessageDialog::information(QStringLiteral("No se puede reservar un día ya pasado."), this);
            return;
        }
        FBusquedaHabitacion->ReservarHabitacion(m_habitaciones[size_t(fila)], dia);
    } else {
        const qint64 stay = grdPlanilla->bars()[size_t(bar)].key;
        const QString &state = m_barras[size_t(bar)].estado;
        if (state == Ocupada) {
            FEstadias->MostrarEstadia(stay);
        } else if (state == Reservada) {
            FReservas->MostrarReserva(stay);
        } else {
            MessageDialog::information(QStringLiteral("La estadía está ") + state.toLower()
                                           + QStringLiteral(": no hay nada que administrar."),
                                       this);
            return;
        }
    }
    CargarEstadias();
}

ReportDefinition TFPlanillaOcupacion::repPlanilla() const
{
    const QDate first = grdPlanilla->firstDay();
    const QDate today = grdPlanilla->today();
    const int days = grdPlanilla->dayCount();
    ReportDefinition r;
    r.name = QStringLiteral("Planilla de Ocupación");
    r.mainCursor = DM->QPlanillaHabitaciones;
    r.page.landscape = true;
    r.page.topMargin = r.page.bottomMargin = r.page.leftMargin = r.page.rightMargin = 10;
    r.printer.colour = PrinterSettings::Colour::Colour;
    r.preview.maximized = true;

    const double width = 297 - 20;
    const double roomColumn = 30;
    const double dayWidth = (width - roomColumn) / days;
    const double rowHeight = 5.5;

    r.title = ReportBand(17);
    r.title->add(ReportElement::label(QStringLiteral("Planilla de Ocupación"), {0, 0, 120, 8})
                     .withFont({QStringLiteral("Cambria"), 18, true, true}));
    r.title->add(ReportElement::label(QStringLiteral("Del ") + shortDate(first) + QStringLiteral(" al ")
                                          + shortDate(grdPlanilla->lastDay()),
                                      {0, 9, 120, 5})
                     .withFont(arial(10)));
    r.title->add(ReportElement::systemData(ReportElement::System::DateTime, {width - 45, 0, 45, 5})
                     .withAlignment(TextAlignment::Right)
                     .withFont(arial(8)));
    r.title->add(ReportElement::drawing({width - 150, 10, 150, 4.5}, [](ReportCanvas &c) {
        double x = 0;
        for (const QString &state : estados()) {
            const bool faint = state == Finalizada;
            c.fill({x, 0.5, 5, 3.5}, colorDeEstado(state));
            c.frame({x, 0.5, 5, 3.5}, FrameLines::all(), faint ? 0.1 : 0.2);
            c.text({x + 6, 0, 24, 4.5}, state, arial(8, false, faint));
            x += 32;
        }
        c.fill({x, 0.5, 5, 3.5}, PlannerGrid::weekendColour());
        c.text({x + 6, 0, 24, 4.5}, QStringLiteral("Fin de semana"), arial(8));
    }));

    // The days' header, on top of every page.
    r.columnHeader = ReportBand(9, {.bottom = true});
    r.columnHeader->add(ReportElement::label(QStringLiteral("Habitación"), {0, 4, roomColumn, 4.5})
                            .withFont(arial(8, true))
                            .withTransparent());
    for (int d = 0; d < days; ++d) {
        const QDate day = first.addDays(d);
        const double x = roomColumn + d * dayWidth;
        const bool weekend = day.dayOfWeek() >= 6;
        const bool isToday = day == today;
        auto cell = [&](const QString &text, MmRect box, const ReportFont &font) {
            ReportElement e = ReportElement::label(text, box).withFont(font).withAlignment(TextAlignment::Center);
            if (weekend)
                e.withBackground(PlannerGrid::weekendColour());
            else
                e.withTransparent();
            if (isToday)
                e.withFrame(FrameLines::all());
            r.columnHeader->add(std::move(e));
        };
        cell(PlannerGrid::weekdayLetters(day), {x, 0, dayWidth, 4.3}, arial(6.5, isToday));
        cell(QString::number(day.day()), {x, 4.3, dayWidth, 4.5}, arial(8, true));
    }

    // One line per room: weekends shaded, the stays' bars, the room itself.
    r.detail = ReportBand(rowHeight);
    Cursor *rooms = DM->QPlanillaHabitaciones;
    r.detail->add(ReportElement::drawing({0, 0, width, rowHeight}, [=, this](ReportCanvas &c) {
        for (int d = 0; d < days; ++d)
            if (first.addDays(d).dayOfWeek() >= 6)
                c.fill({roomColumn + d * dayWidth, 0, dayWidth, rowHeight}, PlannerGrid::weekendColour());
        const auto row = m_filas.constFind(rooms->fieldByName(QStringLiteral("idHabitacion")).asInteger());
        if (row != m_filas.cend()) {
            const std::vector<PlannerGrid::Bar> &bars = grdPlanilla->bars();
            for (int i : grdPlanilla->barsOfRow(row.value())) {
                const PlannerGrid::Bar &b = bars[size_t(i)];
                const double from = std::max<qint64>(0, first.daysTo(b.first));
                const double to = std::min<qint64>(days, first.daysTo(b.last) + 1);
                if (to <= from)
                    continue;
                const MmRect box{roomColumn + from * dayWidth + 0.4, 0.8, (to - from) * dayWidth - 0.8,
                                 rowHeight - 1.6};
                c.fill(box, b.faint ? FaintFill : b.colour);
                c.frame(box, FrameLines::all(), b.faint ? 0.05 : 0.15);
                c.text({box.left + 0.8, box.top + 0.6, box.width - 1.2, box.height - 0.6}, b.text,
                       arial(6.5, false, b.faint));
            }
        }
        c.frame({0, rowHeight, width, 0}, {.top = true}, 0.05);
    }));
    r.detail->add(ReportElement::fieldText(nullptr, QStringLiteral("NroHabitacion"), {0, 0.5, 10, 4.5})
                      .withFont(arial(8, true))
                      .withWordWrap(false)
                      .withTransparent());
    r.detail->add(ReportElement::fieldText(nullptr, QStringLiteral("Tipo"), {10, 0.9, roomColumn - 11, 4.2})
                      .withFont(arial(6.5))
                      .withWordWrap(false)
                      .withTransparent());
    return r;
}

void TFPlanillaOcupacion::btImprimirClick()
{
    ReportEngine::preview(repPlanilla(), this);
}

#include "UReporteFactura.h"

#include "HotelIdentity.h"
#include "ReportEngine.h"
#include "UDM.h"

TFFactura *FFactura = nullptr;

namespace {

constexpr double LineHeight = 5.3;
const ReportFont LabelFont{QStringLiteral("Arial"), 12, true, false};
const ReportFont ValueFont{QStringLiteral("Arial"), 12, true, true};

ReportElement caption(const QString &text, double left, double top, double width, TextAlignment alignment)
{
    return ReportElement::label(text, {left, top, width, LineHeight}).withFont(LabelFont).withAlignment(alignment);
}

ReportElement value(ReportElement element, TextAlignment alignment)
{
    return element.withFont(ValueFont).withAlignment(alignment);
}

// A field of the current stay; its box grows with its text.
ReportElement stayField(const QString &field, double left, double top)
{
    return value(ReportElement::fieldText(DM->TEstadias, field, {left, top, 40, LineHeight}), TextAlignment::Left)
        .withAutoSize();
}

} // namespace

TFFactura::TFFactura(QWidget *parent) : FormWindow(parent)
{
    setObjectName(QStringLiteral("FFactura"));

    ReportDefinition &r = repFactura;
    r.name = QStringLiteral("Factura");
    r.mainCursor = DM->TConsumosDeServicios;
    r.printer.duplex = PrinterSettings::Duplex::Simplex;

    const auto left = TextAlignment::Left;
    const auto right = TextAlignment::Right;

    r.title = ReportBand(21.5, {.top = true, .bottom = true});
    r.title->add(HotelIdentity::logo({3.6, 2.3, 25.8, 17.2}));
    // The name may reach the band's right edge; the contact line sits under it,
    // above the band's bottom line.
    r.title->add(HotelIdentity::name({35.1, 2.3, 100, 16.5}, 40, r.page.bandWidth() - 35.1));
    r.title->add(HotelIdentity::contactLine({35.1, 18.2, 100, 3.0}, r.page.bandWidth() - 35.1));

    r.columnHeader = ReportBand(44.6, {.bottom = true});
    ReportBand &h = *r.columnHeader;
    h.add(caption(QStringLiteral("Nombre del Huésped:"), 3.6, 8.6, 47.0, right));
    h.add(stayField(QStringLiteral("Huesped"), 51.6, 8.6));
    h.add(caption(QStringLiteral("Habitación:"), 105.5, 8.6, 47.0, right));
    h.add(stayField(QStringLiteral("Habitacion"), 153.5, 8.6));
    h.add(caption(QStringLiteral("Fecha de Ingreso:"), 6.3, 15.2, 44.3, right));
    h.add(stayField(QStringLiteral("FechaIngreso"), 51.6, 15.2));
    h.add(caption(QStringLiteral("Días:"), 107.2, 15.2, 44.3, right));
    h.add(stayField(QStringLiteral("Dias"), 153.5, 15.2));
    h.add(caption(QStringLiteral("Fecha de Egreso:"), 4.6, 22.5, 46.0, right));
    h.add(stayField(QStringLiteral("FechaEgreso"), 51.6, 22.5));
    h.add(caption(QStringLiteral("Precio x Día:"), 107.2, 22.5, 44.3, right));
    h.add(stayField(QStringLiteral("PrecioDiario"), 153.5, 22.5));
    h.add(caption(QStringLiteral("Fecha"), 5.6, 37.7, 30.8, TextAlignment::Center));
    h.add(caption(QStringLiteral("Consumo o Servicio"), 41.0, 37.7, 60.9, left));
    h.add(caption(QStringLiteral("Cant."), 112.1, 37.7, 11.2, right));
    h.add(caption(QStringLiteral("Precio"), 137.6, 37.7, 15.2, right));
    h.add(caption(QStringLiteral("Total"), 167.7, 37.7, 14.2, right));

    r.detail = ReportBand(6.3);
    ReportBand &d = *r.detail;
    // "dd/mm/yyyy hh:mm" in this font needs about 33.2 mm: the box keeps its
    // right edge (36.3 mm) and reaches further left, so the time is not lost to
    // a cut second line and the service column stays clear.
    d.add(value(ReportElement::fieldText(nullptr, QStringLiteral("FechaHora"), {2.3, 0.5, 34.0, LineHeight}), right));
    d.add(value(ReportElement::fieldText(nullptr, QStringLiteral("Servicio"), {41.3, 0.5, 60.6, LineHeight}), left));
    d.add(value(ReportElement::fieldText(nullptr, QStringLiteral("Cantidad"), {106.1, 0.5, 17.5, LineHeight}), right));
    d.add(value(ReportElement::fieldText(nullptr, QStringLiteral("Precio"), {127.0, 0.5, 25.7, LineHeight}), right));
    d.add(value(ReportElement::expressionText(QStringLiteral("Cantidad*Precio"), {156.1, 0.7, 25.8, LineHeight},
                                              QStringLiteral("$ 0.00")),
                right));

    r.summary = ReportBand(17.9, {.top = true});
    ReportBand &s = *r.summary;
    s.add(caption(QStringLiteral("Total Servicios:"), 111.5, 2.0, 44.3, right));
    s.add(value(ReportElement::expressionText(QStringLiteral("Cantidad*Precio"), {156.1, 1.7, 25.8, LineHeight},
                                              QStringLiteral("$ 0,.00"), true),
                right));
    s.add(caption(QStringLiteral("Total Estadía:"), 111.5, 8.9, 44.3, right));
    s.add(value(ReportElement::fieldText(DM->TEstadias, QStringLiteral("PrecioFinal"), {156.1, 8.9, 25.5, LineHeight}),
                right));
}

void TFFactura::Preview(QWidget *parent)
{
    ReportEngine::preview(repFactura, parent ? parent : parentWidget());
}

#include "UReportes.h"

#include "DateTimes.h"
#include "HotelIdentity.h"
#include "Regional.h"
#include "ReportEngine.h"
#include "UDM.h"

TFReportes *FReportes = nullptr;

namespace {

ReportFont cambria(double points, bool bold = true, bool italic = true)
{
    return {QStringLiteral("Cambria"), points, bold, italic};
}

ReportFont arial(double points, bool bold, bool italic = false)
{
    return {QStringLiteral("Arial"), points, bold, italic};
}

// The hotel's name, at most up to `right` millimetres from the band's left edge.
ReportElement hotelName(double right)
{
    return HotelIdentity::name({27.1, 2.0, 85.3, 13.6}, 32, right - 27.1);
}

ReportElement centred(ReportElement e, const ReportFont &font)
{
    return e.withFont(font).withAlignment(TextAlignment::Center);
}

} // namespace

TFReportes::TFReportes(QWidget *parent) : FormWindow(parent)
{
    setObjectName(QStringLiteral("FReportes"));
    const auto left = TextAlignment::Left;
    const auto right = TextAlignment::Right;

    // Services listing.
    {
        ReportDefinition &r = repServicios;
        r.name = QStringLiteral("Listado de Servicios");
        r.mainCursor = DM->TServicios;
        r.printer.duplex = PrinterSettings::Duplex::Simplex;

        r.title = ReportBand(17.5, {.top = true, .bottom = true});
        r.title->add(HotelIdentity::logo({4.0, 3.6, 17.5, 11.2}));
        // Clear of the date and time, which share the name's height.
        r.title->add(hotelName(148.5));
        r.title->add(ReportElement::systemData(ReportElement::System::DateTime, {149.5, 11.2, 33.7, 4.3})
                         .withAlignment(right));

        r.columnHeader = ReportBand(28.8, {.bottom = true});
        r.columnHeader->add(centred(ReportElement::label(QStringLiteral("Listado de Servicios"), {55.6, 6.3, 62.8, 8.6}),
                                    cambria(20))
                                .withAutoSize());
        r.columnHeader->add(ReportElement::label(QStringLiteral("Consumo o Servicio"), {34.4, 22.2, 60.9, 5.3})
                                .withFont(arial(12, true))
                                .withAlignment(left));
        r.columnHeader->add(ReportElement::label(QStringLiteral("Precio"), {137.6, 22.2, 15.2, 5.3})
                                .withFont(arial(12, true))
                                .withAlignment(right));

        r.detail = ReportBand(6.3);
        r.detail->add(ReportElement::fieldText(nullptr, QStringLiteral("Nombre"), {34.4, 0.7, 60.5, 5.3})
                          .withFont(arial(12, true, true))
                          .withAlignment(left));
        r.detail->add(ReportElement::fieldText(nullptr, QStringLiteral("Precio"), {127.0, 0.5, 25.7, 5.3})
                          .withFont(arial(12, true, true))
                          .withAlignment(right));

        r.summary = ReportBand(17.9, {.top = true});
        r.summary->add(ReportElement::label(QStringLiteral("Cantidad de servicios:"), {84.7, 5.3, 52.3, 5.3})
                           .withFont(arial(12, true))
                           .withAlignment(right));
        r.summary->add(ReportElement::systemData(ReportElement::System::DetailCount, {138.9, 5.3, 27.1, 6.6})
                           .withFont(arial(12, true))
                           .withAlignment(left)
                           .withAutoSize());
    }

    // Rooms listing, grouped by the type's name.
    {
        ReportDefinition &r = repHabitaciones;
        r.name = QStringLiteral("Listado de Habitaciones");
        r.mainCursor = DM->QHabitacionesPorTipo;
        r.printer.fromPage = 1;
        r.printer.toPage = 1;
        r.printer.paperBin = 260;
        r.printer.duplex = PrinterSettings::Duplex::Simplex;
        r.printer.colour = PrinterSettings::Colour::Colour;
        r.printer.paperCode = 9;

        r.title = ReportBand(17.5, {.top = true, .bottom = true});
        r.title->add(HotelIdentity::logo({4.0, 2.0, 17.5, 12.9}));
        r.title->add(hotelName(r.page.bandWidth()));

        r.columnHeader = ReportBand(16.2);
        r.columnHeader->add(
            centred(ReportElement::label(QStringLiteral("Listado de Habitaciones"), {53.6, 2.6, 76.1, 8.6}), cambria(20))
                .withAutoSize());

        ReportGroup group;
        group.field = QStringLiteral("Nombre");
        group.header = ReportBand(41.0, {.top = true, .bottom = true});
        ReportBand &g = group.header;
        g.add(ReportElement::fieldPicture(nullptr, QStringLiteral("Foto"), {4.0, 2.0, 54.9, 37.0})
                  .withFrame(FrameLines::all()));
        g.add(centred(ReportElement::label(QStringLiteral("Habitación"), {61.2, 1.0, 26.8, 6.9}), cambria(14)));
        g.add(ReportElement::fieldText(nullptr, QStringLiteral("Nombre"), {88.6, 1.0, 18.2, 6.0})
                  .withFont(cambria(14))
                  .withAlignment(left)
                  .withAutoSize()
                  .withTransparent());
        g.add(centred(ReportElement::label(QStringLiteral("Tarifa"), {161.4, 2.0, 18.9, 6.0}), cambria(14)));
        g.add(ReportElement::fieldText(nullptr, QStringLiteral("Descripcion"), {60.9, 6.3, 93.3, 9.6})
                  .withFont(arial(10, false, true))
                  .withAlignment(left)
                  .withFrame({.top = true}));
        g.add(centred(ReportElement::fieldText(nullptr, QStringLiteral("Precio"), {161.4, 7.3, 18.9, 6.0},
                                               QStringLiteral("0.00")),
                      cambria(14))
                  .withFrame({.top = true}));
        g.add(centred(ReportElement::label(QStringLiteral("Comodidades"), {61.2, 16.9, 30.1, 6.9}), cambria(14))
                  .withAutoSize());
        g.add(ReportElement::fieldText(nullptr, QStringLiteral("Comodidades"), {61.2, 22.8, 121.0, 9.6})
                  .withFont(arial(10, false, true))
                  .withAlignment(left)
                  .withFrame({.top = true}));
        auto columnTitle = [&](const QString &text, MmRect box) {
            g.add(centred(ReportElement::label(text, box), cambria(11)).withTransparent());
        };
        columnTitle(QStringLiteral("Número"), {60.9, 35.7, 22.8, 4.6});
        columnTitle(QStringLiteral("Piso"), {95.6, 36.0, 13.2, 5.0});
        columnTitle(QStringLiteral("Vista"), {121.0, 36.0, 15.9, 4.6});
        columnTitle(QStringLiteral("Capacidad"), {146.8, 35.7, 20.2, 4.6});
        // A blank gap after each group.
        group.footer = ReportBand(4.0);
        r.groups.push_back(std::move(group));

        r.detail = ReportBand(3.6);
        auto cell = [&](const QString &field, MmRect box) {
            r.detail->add(centred(ReportElement::fieldText(nullptr, field, box), cambria(10, false)).withTransparent());
        };
        cell(QStringLiteral("NroHabitacion"), {60.9, 0.0, 22.8, 4.3});
        cell(QStringLiteral("Piso"), {95.6, 0.0, 13.6, 4.3});
        cell(QStringLiteral("Vista"), {121.0, 0.0, 16.9, 4.3});
        cell(QStringLiteral("Capacidad"), {146.8, 0.0, 20.2, 4.3});

        // A blank space at the end.
        r.summary = ReportBand(11.6);
    }

    // The day's arrivals and departures, and what the house holds that night.
    const ReportFont columnTitle = arial(10, true);
    const ReportFont cellFont = arial(10, false);
    const ReportFont partTitle = cambria(14);
    const auto centre = TextAlignment::Center;
    // A part's columns: each a title over its field's cells, side by side.
    struct PartColumn
    {
        QString title;
        QString field;
        double left;
        double width;
        TextAlignment alignment;
    };
    auto columns = [&](ReportDefinition &r, std::initializer_list<PartColumn> parts) {
        r.columnHeader = ReportBand(7, {.bottom = true});
        r.detail = ReportBand(5.5);
        for (const PartColumn &c : parts) {
            r.columnHeader->add(ReportElement::label(c.title, {c.left, 1, c.width, 5})
                                    .withFont(columnTitle)
                                    .withAlignment(c.alignment)
                                    .withWordWrap(false));
            r.detail->add(ReportElement::fieldText(nullptr, c.field, {c.left, 0.5, c.width, 4.5})
                              .withFont(cellFont)
                              .withAlignment(c.alignment)
                              .withWordWrap(false));
        }
    };
    // What a part without rows prints, and the space after it.
    auto noRows = [&](ReportDefinition &r, const QString &text) {
        r.noData = ReportBand(6.5);
        r.noData->add(ReportElement::label(text, {0, 1, 120, 4.5}).withFont(arial(10, false, true)));
        r.summary = ReportBand(4);
    };
    auto partTitleAt = [&](ReportBand &band, const QString &text, double top) {
        band.add(ReportElement::label(text, {0, top, 80, 6.5}).withFont(partTitle));
    };
    {
        ReportDefinition &r = repLlegadas;
        r.name = QStringLiteral("Llegadas y Salidas");
        r.mainCursor = DM->QLlegadas;
        r.printer.duplex = PrinterSettings::Duplex::Simplex;

        r.title = ReportBand(38);
        r.title->add(ReportElement::label(QString(), {0, 0, 184.5, 17.5})
                         .withTransparent()
                         .withFrame({.top = true, .bottom = true}));
        r.title->add(HotelIdentity::logo({4.0, 3.6, 17.5, 11.2}));
        // Clear of the date and time, which share the name's height.
        r.title->add(hotelName(148.5));
        r.title->add(ReportElement::systemData(ReportElement::System::DateTime, {149.5, 11.2, 33.7, 4.3})
                         .withAlignment(right));
        r.title->add(centred(ReportElement::label(QString(), {0, 20.0, 184.5, 8.6}), cambria(20)));
        m_tituloLlegadas = r.title->elements.size() - 1;
        partTitleAt(*r.title, QStringLiteral("Llegadas"), 30.5);
        columns(r, {{QStringLiteral("Habitación"), QStringLiteral("NroHabitacion"), 0, 24, centre},
                    {QStringLiteral("Huésped"), QStringLiteral("Huesped"), 26, 70, left},
                    {QStringLiteral("DNI"), QStringLiteral("DNI"), 98, 26, left},
                    {QStringLiteral("Días"), QStringLiteral("Dias"), 126, 14, right},
                    {QStringLiteral("Tipo"), QStringLiteral("Tipo"), 146, 38.5, left}});
        noRows(r, QStringLiteral("No hay llegadas en este día."));
    }
    {
        ReportDefinition &r = repSalidas;
        r.name = QStringLiteral("Salidas");
        r.mainCursor = DM->QSalidas;

        r.title = ReportBand(10);
        partTitleAt(*r.title, QStringLiteral("Salidas"), 2.5);
        columns(r, {{QStringLiteral("Habitación"), QStringLiteral("NroHabitacion"), 0, 24, centre},
                    {QStringLiteral("Huésped"), QStringLiteral("Huesped"), 26, 70, left},
                    {QStringLiteral("Días"), QStringLiteral("Dias"), 98, 14, right},
                    {QStringLiteral("Servicios"), QStringLiteral("Servicios"), 116, 32, right},
                    {QStringLiteral("Total Estadía"), QStringLiteral("PrecioFinal"), 150, 34.5, right}});
        noRows(r, QStringLiteral("No hay salidas en este día."));
    }
    {
        ReportDefinition &r = repOcupacion;
        r.name = QStringLiteral("Resumen");
        r.mainCursor = DM->QOcupacionDelDia;

        r.title = ReportBand(10);
        partTitleAt(*r.title, QStringLiteral("Resumen"), 2.5);

        r.detail = ReportBand(26, {.top = true});
        const QStringList captions = {QStringLiteral("Habitaciones ocupadas esa noche:"),
                                      QStringLiteral("Habitaciones libres:"), QStringLiteral("Llegadas:"),
                                      QStringLiteral("Salidas:")};
        const QStringList fields = {QStringLiteral("Ocupadas"), QStringLiteral("Libres"), QStringLiteral("Llegadas"),
                                    QStringLiteral("Salidas")};
        for (int i = 0; i < captions.size(); ++i) {
            const double y = 2 + i * 6;
            r.detail->add(ReportElement::label(captions[i], {0, y, 90, 5}).withFont(columnTitle).withAlignment(right));
            r.detail->add(
                ReportElement::fieldText(nullptr, fields[i], {93, y, 30, 5}).withFont(cellFont).withAlignment(left));
        }
    }
}

std::vector<const ReportDefinition *> TFReportes::LlegadasSalidas(QDate dia)
{
    for (QueryCursor *q : {DM->QLlegadas, DM->QSalidas, DM->QOcupacionDelDia}) {
        q->close();
        q->setParameter(QStringLiteral("Dia"), dia);
        q->open();
    }
    const QString title = QStringLiteral("Llegadas y Salidas del ")
                          + Regional::settings().formatShortDate(DateTimes::make(dia));
    repLlegadas.name = title;
    repLlegadas.title->elements[m_tituloLlegadas].text = title;
    return {&repLlegadas, &repSalidas, &repOcupacion};
}

void TFReportes::PreviewLlegadasSalidas(QDate dia, QWidget *parent)
{
    ReportEngine::preview(LlegadasSalidas(dia), parent ? parent : parentWidget());
}

void TFReportes::PreviewServicios(QWidget *parent)
{
    ReportEngine::preview(repServicios, parent ? parent : parentWidget());
}

void TFReportes::PreviewHabitaciones(QWidget *parent)
{
    // Its fields exist only once it has run: say so plainly rather than name a
    // missing field.
    DM->QHabitacionesPorTipo->checkActive();
    ReportEngine::preview(repHabitaciones, parent ? parent : parentWidget());
}

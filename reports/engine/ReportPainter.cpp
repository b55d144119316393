#include "ReportPainter.h"

#include "DataError.h"
#include "Database.h"

#include <QPainter>
#include <QPdfWriter>
#include <QPrinter>
#include <QSaveFile>

namespace ReportPainter {

namespace {

constexpr int PdfResolution = 1200;

class FontCache
{
public:
    const QFont &font(const ReportFont &f)
    {
        for (const auto &[key, value] : m_fonts)
            if (key == f)
                return value;
        m_fonts.emplace_back(f, documentFont(f));
        return m_fonts.back().second;
    }

private:
    std::vector<std::pair<ReportFont, QFont>> m_fonts;
};

QPageLayout layoutFor(const ReportPage &page)
{
    const QSizeF mm(std::min(page.width, page.height) / double(DocUnits::PerMm),
                    std::max(page.width, page.height) / double(DocUnits::PerMm));
    const QPageSize size(mm, QPageSize::Millimeter, QString(), QPageSize::FuzzyMatch);
    return QPageLayout(size, page.width > page.height ? QPageLayout::Landscape : QPageLayout::Portrait,
                       QMarginsF(0, 0, 0, 0));
}

QRectF paperRect(const ReportPage &page, int resolution)
{
    const double k = double(resolution) / DocUnits::PerInch;
    return QRectF(0, 0, page.width * k, page.height * k);
}

} // namespace

void paintPage(QPainter &p, const ReportDocument &doc, int pageIndex, const QRectF &target)
{
    if (pageIndex < 0 || pageIndex >= doc.pageCount())
        return;
    const ReportPage &page = doc.pages[static_cast<size_t>(pageIndex)];
    if (page.width <= 0 || page.height <= 0)
        return;

    p.save();
    p.translate(target.topLeft());
    p.scale(target.width() / page.width, target.height() / page.height);
    p.setRenderHints(QPainter::Antialiasing | QPainter::TextAntialiasing | QPainter::SmoothPixmapTransform);
    // Lines thinner than a device pixel would vanish on a small preview.
    const double devicePerUnit = std::min(p.deviceTransform().m11(), p.deviceTransform().m22());

    FontCache fonts;
    for (const PageItem &item : page.items) {
        if (const auto *t = std::get_if<TextItem>(&item)) {
            if (t->lines.empty())
                continue;
            p.setFont(fonts.font(t->font));
            p.setPen(Qt::black);
            if (t->clip) {
                p.save();
                p.setClipRect(t->box.toRectF(), Qt::IntersectClip);
            }
            for (const TextLine &line : t->lines)
                p.drawText(QPointF(line.x, line.baseline), line.text);
            if (t->clip)
                p.restore();
        } else if (const auto *f = std::get_if<FillItem>(&item)) {
            p.fillRect(f->box.toRectF(), QColor::fromRgba(f->colour));
        } else if (const auto *pic = std::get_if<PictureItem>(&item)) {
            if (pic->picture >= 0 && pic->picture < static_cast<int>(doc.pictures.size()))
                p.drawImage(pic->box.toRectF(), doc.pictures[static_cast<size_t>(pic->picture)]);
        } else if (const auto *l = std::get_if<LineItem>(&item)) {
            QPen pen(Qt::black, l->width, Qt::SolidLine, Qt::SquareCap, Qt::MiterJoin);
            if (l->width * devicePerUnit < 1.0)
                pen.setWidth(0); // cosmetic: one device pixel
            p.setPen(pen);
            p.drawLine(QLineF(l->x1, l->y1, l->x2, l->y2));
        }
    }
    p.restore();
}

void exportPdf(const ReportDocument &doc, const QString &path)
{
    if (doc.pages.empty())
        throw DataError(QStringLiteral("El documento no tiene páginas para exportar"));
    Database::refuseDatabaseFile(path);
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        throw DataError(QStringLiteral("No se puede escribir el archivo «%1»: %2").arg(path, file.errorString()));
    bool painted = false;
    {
        QPdfWriter writer(&file);
        writer.setResolution(PdfResolution);
        writer.setTitle(doc.title);
        writer.setPageLayout(layoutFor(doc.pages.front()));
        QPainter painter;
        if (painter.begin(&writer)) {
            for (int i = 0; i < doc.pageCount(); ++i) {
                const ReportPage &page = doc.pages[static_cast<size_t>(i)];
                if (i > 0) {
                    writer.setPageLayout(layoutFor(page));
                    writer.newPage();
                }
                paintPage(painter, doc, i, paperRect(page, PdfResolution));
            }
            painted = painter.end();
        }
    }
    if (!painted || !file.commit())
        throw DataError(QStringLiteral("No se puede escribir el archivo «%1»: %2").arg(path, file.errorString()));
}

void applyPrinterSettings(const PrinterSettings &s, QPrinter &printer)
{
    printer.setCopyCount(std::max(1, s.copies));
    if (s.fromPage > 0 || s.toPage > 0) {
        const int from = std::max(1, s.fromPage);
        const int to = s.toPage > 0 ? std::max(from, s.toPage) : std::numeric_limits<short>::max();
        printer.setFromTo(from, to);
        printer.setPrintRange(QPrinter::PageRange);
    } else {
        printer.setPrintRange(QPrinter::AllPages);
    }

    // The standard bin codes; a printer's own bins (256 and up) cannot be named here.
    if (s.paperBin >= 1 && s.paperBin <= 11)
        printer.setPaperSource(static_cast<QPrinter::PaperSource>(s.paperBin - 1));
    else if (s.paperBin == 14)
        printer.setPaperSource(QPrinter::Cassette);
    else if (s.paperBin == 15)
        printer.setPaperSource(QPrinter::FormSource);

    switch (s.duplex) {
    case PrinterSettings::Duplex::Default:
        break;
    case PrinterSettings::Duplex::Simplex:
        printer.setDuplex(QPrinter::DuplexNone);
        break;
    case PrinterSettings::Duplex::LongSide:
        printer.setDuplex(QPrinter::DuplexLongSide);
        break;
    case PrinterSettings::Duplex::ShortSide:
        printer.setDuplex(QPrinter::DuplexShortSide);
        break;
    }
    switch (s.colour) {
    case PrinterSettings::Colour::Default:
        break;
    case PrinterSettings::Colour::Monochrome:
        printer.setColorMode(QPrinter::GrayScale);
        break;
    case PrinterSettings::Colour::Colour:
        printer.setColorMode(QPrinter::Color);
        break;
    }
}

void preparePrinter(const ReportDocument &doc, QPrinter &printer)
{
    applyPrinterSettings(doc.printer, printer);
    printer.setDocName(doc.title);
    printer.setFullPage(true);
    if (!doc.pages.empty())
        printer.setPageLayout(layoutFor(doc.pages.front()));
}

std::vector<int> pagesToPrint(const QPrinter &printer, int pageCount, int currentPage)
{
    int from = 1;
    int to = pageCount;
    switch (printer.printRange()) {
    case QPrinter::PageRange:
        if (printer.fromPage() > 0)
            from = printer.fromPage();
        if (printer.toPage() > 0)
            to = std::min(pageCount, printer.toPage());
        break;
    case QPrinter::CurrentPage:
        from = to = currentPage;
        break;
    case QPrinter::AllPages:
    case QPrinter::Selection:
        break;
    }
    std::vector<int> pages;
    for (int p = std::max(1, from); p <= std::min(to, pageCount); ++p)
        pages.push_back(p);
    return pages;
}

void print(const ReportDocument &doc, QPrinter &printer, int currentPage)
{
    const std::vector<int> pages = pagesToPrint(printer, doc.pageCount(), currentPage);
    if (pages.empty())
        throw DataError(QStringLiteral("No hay páginas para imprimir en el intervalo elegido"));
    const int copies = printer.supportsMultipleCopies() ? 1 : std::max(1, printer.copyCount());

    QPainter painter;
    if (!painter.begin(&printer))
        throw DataError(QStringLiteral("No se puede imprimir en «%1»").arg(printer.printerName()));
    const int resolution = printer.resolution();
    bool first = true;
    for (int copy = 0; copy < copies; ++copy) {
        for (int number : pages) {
            if (!first)
                printer.newPage();
            first = false;
            const ReportPage &page = doc.pages[static_cast<size_t>(number - 1)];
            paintPage(painter, doc, number - 1, paperRect(page, resolution));
        }
    }
    if (!painter.end())
        throw DataError(QStringLiteral("No se pudo terminar la impresión en «%1»").arg(printer.printerName()));
}

} // namespace ReportPainter

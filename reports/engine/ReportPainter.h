#pragma once

#include "ReportDocument.h"

#include <QRectF>
#include <QString>

#include <vector>

class QPainter;
class QPrinter;

// Drawing a document on any device: screen, printer or PDF.
namespace ReportPainter {

// Paints page `page` (0-based) so that its paper fills `target`, a rectangle in
// the painter's current coordinates. Zoom is a matter of `target`: the painter is
// scaled, never the device. Does not fill the paper; never re-wraps text.
void paintPage(QPainter &painter, const ReportDocument &document, int page, const QRectF &target);

// Writes the document as a PDF file, one PDF page per page at its exact paper
// size. Throws DataError when the file cannot be written or the document has no
// pages; an existing file is replaced only when the new one is complete.
void exportPdf(const ReportDocument &document, const QString &path);

// Copies, page range, paper bin (the standard bins only), two-sided printing and
// colour onto `printer`.
void applyPrinterSettings(const PrinterSettings &settings, QPrinter &printer);
// The stored settings, plus the document's paper and name, and full-page mode so
// that pages print at their exact size from the paper's corner.
void preparePrinter(const ReportDocument &document, QPrinter &printer);

// The 1-based page numbers that `printer`'s range selects among `pageCount`
// pages (the current page for a current-page range).
std::vector<int> pagesToPrint(const QPrinter &printer, int pageCount, int currentPage);

// Prints the pages of `printer`'s range, as many copies as it asks for (made
// here when the printer cannot make them itself). Throws DataError when nothing
// is in range or the printer cannot start.
void print(const ReportDocument &document, QPrinter &printer, int currentPage = 1);

} // namespace ReportPainter

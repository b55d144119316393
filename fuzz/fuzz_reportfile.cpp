// The report file loader of the preview: any bytes either load into a document
// or are refused with DataError. A loaded document saves and loads back equal,
// and its pages paint.
#include "DataError.h"
#include "FuzzSupport.h"
#include "ReportFile.h"
#include "ReportPainter.h"

#include <QImage>
#include <QPainter>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    FuzzSupport::initialize();
    ReportDocument document;
    try {
        document = ReportFile::fromBytes(FuzzSupport::bytes(data, size), QStringLiteral("fuzz.rdoc"));
    } catch (const DataError &e) {
        if (e.message().isEmpty())
            FuzzSupport::broken("refusal without a message");
        return 0;
    }
    try {
        if (!(ReportFile::fromBytes(ReportFile::toBytes(document), QStringLiteral("again")) == document))
            FuzzSupport::broken("a loaded document does not save and load back equal");
    } catch (const DataError &e) {
        FuzzSupport::broken("a loaded document does not save and load back", e.message());
    }
    QImage canvas(120, 170, QImage::Format_ARGB32_Premultiplied);
    for (int page = 0; page < std::min(document.pageCount(), 3); ++page) {
        canvas.fill(Qt::white);
        QPainter painter(&canvas);
        ReportPainter::paintPage(painter, document, page, QRectF(0, 0, 120, 170));
        (void)document.pageTexts(page);
    }
    return 0;
}

#include "ReportTestSupport.h"

#include "DataError.h"
#include "Field.h"
#include "ReportEngine.h"
#include "ReportFile.h"
#include "ReportPainter.h"
#include "ReportPreview.h"
#include "ReportProducer.h"

#include <QApplication>
#include <QFontInfo>
#include <QLabel>
#include <QLinearGradient>
#include <QPainter>
#include <QPrinter>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

namespace {

int pdfPageCount(const QString &path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return -1;
    static const QRegularExpression page(QStringLiteral("/Type\\s*/Page(?![a-zA-Z])"));
    return int(QString::fromLatin1(f.readAll()).count(page));
}

// "Fila 1".."Fila n", laid out with fixed metrics: 25 rows on page 1, 27 on the next.
struct Listing
{
    MemoryCursor rows{QStringLiteral("Filas")};
    ReportDefinition def;

    explicit Listing(int n)
    {
        rows.addField(QStringLiteral("Nombre"), Field::Kind::Text, 40);
        for (int i = 1; i <= n; ++i)
            rows.addRow({QStringLiteral("Fila %1").arg(i)});
        rows.open();
        def.name = QStringLiteral("Prueba");
        def.mainCursor = &rows;
        def.page.topMargin = 10;
        def.page.bottomMargin = 7;
        def.title = ReportBand(20);
        def.title->add(ReportElement::label(QStringLiteral("Titulo"), {0, 0, 50, 5}));
        def.columnHeader = ReportBand(10);
        def.columnHeader->add(ReportElement::label(QStringLiteral("Encabezado"), {0, 0, 50, 5}));
        def.detail = ReportBand(10);
        def.detail->add(ReportElement::fieldText(nullptr, QStringLiteral("Nombre"), {0, 0, 60, 5}));
    }

    ReportDocument produce() const
    {
        static const FixedTextMeasurer measurer;
        ReportProducer producer(def, measurer);
        return producer.produce();
    }
};

QImage hotelPicture()
{
    QImage image(505, 400, QImage::Format_ARGB32);
    QPainter p(&image);
    QLinearGradient sky(0, 0, 0, 400);
    sky.setColorAt(0, QColor(40, 90, 170));
    sky.setColorAt(1, QColor(250, 200, 120));
    p.fillRect(image.rect(), sky);
    p.fillRect(QRect(150, 150, 200, 250), QColor(240, 240, 235));
    for (int row = 0; row < 4; ++row)
        for (int col = 0; col < 4; ++col)
            p.fillRect(QRect(165 + col * 48, 170 + row * 55, 26, 32), QColor(60, 110, 160));
    p.setPen(Qt::white);
    p.setFont(QFont(QStringLiteral("Caladea"), 60, QFont::Bold));
    p.drawText(QRect(0, 10, 505, 120), Qt::AlignCenter, QStringLiteral("HV"));
    return image;
}

// An invoice like the program's: stay data from a second cursor, one line per
// consumption with its total, and the services total.
struct SampleInvoice
{
    MemoryCursor lines{QStringLiteral("TConsumosDeServicios")};
    MemoryCursor stays{QStringLiteral("TEstadias")};
    ReportDefinition def;

    explicit SampleInvoice(int count)
    {
        lines.addField(QStringLiteral("FechaHora"), Field::Kind::DateTime)
            .setDisplayFormat(QStringLiteral("dd/mm/yyyy hh:nn"));
        lines.addField(QStringLiteral("Servicio"), Field::Kind::Text, 50);
        lines.addField(QStringLiteral("Cantidad"), Field::Kind::Integer);
        lines.addField(QStringLiteral("Precio"), Field::Kind::Money).setCurrency(true);
        const char *services[] = {"Desayuno continental", "Lavandería (prenda)", "Minibar: agua mineral",
                                  "Traslado al aeropuerto", "Cena en el restaurante con vino de la casa"};
        const char *prices[] = {"15", "40.5", "3.25", "1234.5", "87.9"};
        for (int i = 0; i < count; ++i)
            lines.addRow({DateTimes::make(QDate(2024, 3, 5 + i / 8), QTime(8 + i % 8, 5 * (i % 12))),
                          QString::fromUtf8(services[i % 5]), whole(1 + i % 3), cash(prices[i % 5])});
        stays.addField(QStringLiteral("Huesped"), Field::Kind::Text, 50);
        stays.addField(QStringLiteral("Habitacion"), Field::Kind::Text, 10);
        stays.addField(QStringLiteral("FechaIngreso"), Field::Kind::DateTime);
        stays.addField(QStringLiteral("FechaEgreso"), Field::Kind::DateTime);
        stays.addField(QStringLiteral("Dias"), Field::Kind::Integer);
        stays.addField(QStringLiteral("PrecioDiario"), Field::Kind::Money).setCurrency(true);
        stays.addField(QStringLiteral("PrecioFinal"), Field::Kind::Money).setCurrency(true);
        stays.addRow({QStringLiteral("María José Fernández"), QStringLiteral("204"),
                      DateTimes::make(QDate(2024, 3, 5)), DateTimes::make(QDate(2024, 3, 11)), whole(7),
                      cash("120"), cash("840")});
        lines.open();
        stays.open();

        const ReportFont label{QStringLiteral("Arial"), 12, true, false};
        const ReportFont value{QStringLiteral("Arial"), 12, true, true};
        auto caption = [&](const char *text, double left, double top, double width, TextAlignment a) {
            return ReportElement::label(QString::fromUtf8(text), {left, top, width, 5.3}).withFont(label).withAlignment(a);
        };
        auto stayField = [&](const char *field, double left, double top) {
            return ReportElement::fieldText(&stays, QString::fromUtf8(field), {left, top, 20, 5.3})
                .withFont(value)
                .withAutoSize();
        };
        const auto right = TextAlignment::Right;

        def.name = QStringLiteral("Factura");
        def.mainCursor = &lines;
        def.printer.copies = 1;
        def.title = ReportBand(21.5, {.top = true, .bottom = true});
        def.title->add(ReportElement::fixedPicture(hotelPicture(), {3.6, 2.3, 25.8, 17.2}));
        def.title->add(ReportElement::label(QStringLiteral("Hotel Velmira"), {35.1, 2.3, 90, 16.5})
                           .withFont({QStringLiteral("Cambria"), 40, true, true})
                           .withAutoSize()
                           .withTransparent());
        def.columnHeader = ReportBand(44.6, {.bottom = true});
        ReportBand &h = *def.columnHeader;
        h.add(caption("Nombre del Huésped:", 3.6, 8.6, 47.0, right));
        h.add(stayField("Huesped", 51.6, 8.6));
        h.add(caption("Habitación:", 105.5, 8.6, 47.0, right));
        h.add(stayField("Habitacion", 153.5, 8.6));
        h.add(caption("Fecha de Ingreso:", 6.3, 15.2, 44.3, right));
        h.add(stayField("FechaIngreso", 51.6, 15.2));
        h.add(caption("Días:", 107.2, 15.2, 44.3, right));
        h.add(stayField("Dias", 153.5, 15.2));
        h.add(caption("Fecha de Egreso:", 4.6, 22.5, 46.0, right));
        h.add(stayField("FechaEgreso", 51.6, 22.5));
        h.add(caption("Precio x Día:", 107.2, 22.5, 44.3, right));
        h.add(stayField("PrecioDiario", 153.5, 22.5));
        h.add(caption("Fecha", 5.6, 37.7, 30.8, TextAlignment::Center));
        h.add(caption("Consumo o Servicio", 41.0, 37.7, 60.9, TextAlignment::Left));
        h.add(caption("Cant.", 112.1, 37.7, 11.2, right));
        h.add(caption("Precio", 137.6, 37.7, 15.2, right));
        h.add(caption("Total", 167.7, 37.7, 14.2, right));
        def.detail = ReportBand(6.3);
        auto cell = [&](ReportElement e) { return e.withFont(value); };
        // "dd/mm/yyyy hh:nn" in Arial 12 bold italic needs 33.2 mm.
        def.detail->add(cell(ReportElement::fieldText(nullptr, QStringLiteral("FechaHora"), {2.3, 0.5, 34.0, 5.3}))
                            .withAlignment(right));
        def.detail->add(cell(ReportElement::fieldText(nullptr, QStringLiteral("Servicio"), {41.3, 0.5, 60.6, 5.3})));
        def.detail->add(cell(ReportElement::fieldText(nullptr, QStringLiteral("Cantidad"), {106.1, 0.5, 17.5, 5.3}))
                            .withAlignment(right));
        def.detail->add(cell(ReportElement::fieldText(nullptr, QStringLiteral("Precio"), {127.0, 0.5, 25.7, 5.3}))
                            .withAlignment(right));
        def.detail->add(cell(ReportElement::expressionText(QStringLiteral("Cantidad*Precio"), {156.1, 0.7, 25.8, 5.3},
                                                           QStringLiteral("$ 0.00")))
                            .withAlignment(right));
        def.summary = ReportBand(17.9, {.top = true});
        def.summary->add(caption("Total Servicios:", 111.5, 2.0, 44.3, right));
        def.summary->add(cell(ReportElement::expressionText(QStringLiteral("Cantidad*Precio"), {156.1, 1.7, 25.8, 5.3},
                                                            QStringLiteral("$ 0,.00"), true))
                             .withAlignment(right)
                             .withFrame({.top = true}));
        def.summary->add(caption("Total Estadía:", 111.5, 8.9, 44.3, right));
        def.summary->add(cell(ReportElement::fieldText(&stays, QStringLiteral("PrecioFinal"), {156.1, 8.9, 25.5, 5.3}))
                             .withAlignment(right));
    }
};

} // namespace

// Painting, PDF, printing and the preview window.
class TestReportOutput : public QObject
{
    Q_OBJECT

private:
    QStringList m_messages;

private slots:
    void initTestCase()
    {
        useSpanishSettings();
        registerFontSubstitutions();
        ReportEngine::setMessageFunction([this](QWidget *, const QString &m) { m_messages << m; });
    }

    void init() { m_messages.clear(); }

    void fontsAreSubstituted_data()
    {
        QTest::addColumn<QString>("family");
        QTest::addColumn<QString>("real");
        QTest::newRow("Arial") << "Arial" << "Liberation Sans";
        QTest::newRow("MS Sans Serif") << "MS Sans Serif" << "Liberation Sans";
        QTest::newRow("Cambria") << "Cambria" << "Caladea";
    }

    void fontsAreSubstituted()
    {
        QFETCH(QString, family);
        QFETCH(QString, real);
        QCOMPARE(QFontInfo(documentFont(ReportFont{family, 12, true, true})).family(), real);
    }

    void exportPdf()
    {
        Listing l(60);
        const ReportDocument doc = l.produce();
        QCOMPARE(doc.pageCount(), 3);
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("listado.pdf"));
        ReportPainter::exportPdf(doc, path);
        QCOMPARE(pdfPageCount(path), 3);

        QVERIFY_THROWS_EXCEPTION(DataError, ReportPainter::exportPdf(doc, QStringLiteral("/nonexistent/x.pdf")));
        QVERIFY_THROWS_EXCEPTION(DataError, ReportPainter::exportPdf(ReportDocument(), dir.filePath("vacio.pdf")));
    }

    void printerSettings()
    {
        PrinterSettings s;
        s.copies = 3;
        s.fromPage = 1;
        s.toPage = 1;
        s.paperBin = 7;
        s.colour = PrinterSettings::Colour::Monochrome;
        QPrinter printer;
        printer.setOutputFormat(QPrinter::PdfFormat);
        ReportPainter::applyPrinterSettings(s, printer);
        QCOMPARE(printer.copyCount(), 3);
        QCOMPARE(printer.printRange(), QPrinter::PageRange);
        QCOMPARE(printer.fromPage(), 1);
        QCOMPARE(printer.toPage(), 1);
        QCOMPARE(printer.colorMode(), QPrinter::GrayScale);

        ReportPainter::applyPrinterSettings(PrinterSettings(), printer);
        QCOMPARE(printer.copyCount(), 1);
        QCOMPARE(printer.printRange(), QPrinter::AllPages);
    }

    void pagesToPrint_data()
    {
        QTest::addColumn<int>("from");
        QTest::addColumn<int>("to");
        QTest::addColumn<QList<int>>("pages");

        QTest::newRow("all") << 0 << 0 << QList<int>{1, 2, 3};
        QTest::newRow("first page only") << 1 << 1 << QList<int>{1};
        QTest::newRow("from page 2") << 2 << 0 << QList<int>{2, 3};
        QTest::newRow("beyond the end") << 2 << 9 << QList<int>{2, 3};
        QTest::newRow("nothing in range") << 5 << 9 << QList<int>{};
    }

    void pagesToPrint()
    {
        QFETCH(int, from);
        QFETCH(int, to);
        QFETCH(QList<int>, pages);
        PrinterSettings s;
        s.fromPage = from;
        s.toPage = to;
        QPrinter printer;
        printer.setOutputFormat(QPrinter::PdfFormat);
        ReportPainter::applyPrinterSettings(s, printer);
        const std::vector<int> got = ReportPainter::pagesToPrint(printer, 3, 2);
        QCOMPARE(QList<int>(got.begin(), got.end()), pages);
    }

    // Printing prints the stored range, and the copies the printer cannot make.
    void printToPdfPrinter()
    {
        Listing l(60);
        ReportDocument doc = l.produce();
        doc.printer.fromPage = 2;
        doc.printer.toPage = 3;
        doc.printer.copies = 2;
        QTemporaryDir dir;
        QPrinter printer(QPrinter::HighResolution);
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setOutputFileName(dir.filePath(QStringLiteral("impreso.pdf")));
        ReportPainter::preparePrinter(doc, printer);
        QCOMPARE(printer.pageLayout().pageSize().id(), QPageSize::A4);
        ReportPainter::print(doc, printer);
        QCOMPARE(pdfPageCount(printer.outputFileName()), printer.supportsMultipleCopies() ? 2 : 4);

        doc.printer.fromPage = 7;
        doc.printer.toPage = 8;
        ReportPainter::preparePrinter(doc, printer);
        QVERIFY_THROWS_EXCEPTION(DataError, ReportPainter::print(doc, printer));
    }

    void previewNavigation()
    {
        Listing l(60);
        ReportPreview preview(l.produce());
        preview.show();
        QVERIFY(QTest::qWaitForWindowExposed(&preview));
        QCOMPARE(preview.windowTitle(), QStringLiteral("Vista previa - Prueba"));
        QCOMPARE(preview.pageCount(), 3);
        QCOMPARE(preview.currentPage(), 1);
        QCOMPARE(preview.zoomMode(), PreviewZoom::WholePage);
        preview.grab();
        QCOMPARE(preview.lastPaintedPages(), std::vector<int>{1});

        preview.nextPage();
        QCOMPARE(preview.currentPage(), 2);
        preview.lastPage();
        QCOMPARE(preview.currentPage(), 3);
        preview.nextPage();
        QCOMPARE(preview.currentPage(), 3);
        preview.previousPage();
        QCOMPARE(preview.currentPage(), 2);
        preview.firstPage();
        QCOMPARE(preview.currentPage(), 1);
        preview.goToPage(99);
        QCOMPARE(preview.currentPage(), 3);
        preview.grab();
        QCOMPARE(preview.lastPaintedPages(), std::vector<int>{3});
        QVERIFY(preview.findChild<QLabel *>() && preview.findChild<QLabel *>()->text() == QStringLiteral("Página 3 de 3"));
        preview.goToPage(0);
        QCOMPARE(preview.currentPage(), 1);
    }

    void previewZoom()
    {
        Listing l(60);
        ReportPreview preview(l.produce());
        preview.show();
        QVERIFY(QTest::qWaitForWindowExposed(&preview));
        preview.goToPage(2);
        const double whole = preview.zoomPercent();
        preview.setZoomMode(PreviewZoom::PageWidth);
        QVERIFY(preview.zoomPercent() > whole);
        QCOMPARE(preview.currentPage(), 2);
        preview.setZoomMode(PreviewZoom::Actual);
        QCOMPARE(qRound(preview.zoomPercent()), 100);
        QCOMPARE(preview.currentPage(), 2);
        preview.grab();
        QCOMPARE(preview.lastPaintedPages(), std::vector<int>{2});
        preview.setZoomMode(PreviewZoom::WholePage);
        QCOMPARE(preview.zoomPercent(), whole);
    }

    void previewSearch()
    {
        Listing l(60);
        ReportPreview preview(l.produce());
        preview.show();
        QVERIFY(QTest::qWaitForWindowExposed(&preview));

        QVERIFY(preview.find(QStringLiteral("fila 30")));
        QCOMPARE(preview.currentPage(), 2);
        QCOMPARE(preview.currentMatch()->page, 2);
        QCOMPARE(preview.currentMatch()->start, 0);
        QCOMPARE(preview.currentMatch()->length, 7);
        preview.grab();
        QCOMPARE(preview.lastPaintedPages(), std::vector<int>{2});

        // Each match in turn, then round to the first.
        preview.firstPage();
        QStringList seen;
        for (int i = 0; i < 12; ++i) {
            QVERIFY(preview.find(QStringLiteral("Fila 5")));
            const auto m = *preview.currentMatch();
            const auto &t = std::get<TextItem>(preview.document().pages[size_t(m.page - 1)].items[size_t(m.item)]);
            seen << QStringLiteral("%1:%2").arg(m.page).arg(t.text);
        }
        QCOMPARE(seen.first(), QStringLiteral("1:Fila 5"));
        QCOMPARE(seen[1], QStringLiteral("2:Fila 50"));
        QCOMPARE(seen[4], QStringLiteral("3:Fila 53"));
        QCOMPARE(seen[10], QStringLiteral("3:Fila 59"));
        QCOMPARE(seen[11], QStringLiteral("1:Fila 5"));
        QCOMPARE(preview.currentPage(), 1);
        QVERIFY(m_messages.isEmpty());

        QVERIFY(!preview.find(QStringLiteral("Fila 61")));
        QCOMPARE(m_messages, QStringList{QStringLiteral("No se encontró «Fila 61» en el documento")});
        QVERIFY(!preview.currentMatch());
    }

    void previewFiles()
    {
        Listing l(60);
        const ReportDocument doc = l.produce();
        ReportPreview preview(doc);
        QTemporaryDir dir;

        const QString saved = dir.filePath(QStringLiteral("listado.rdoc"));
        QVERIFY(preview.saveTo(saved));
        QVERIFY(preview.exportPdfTo(dir.filePath(QStringLiteral("listado.pdf"))));
        QCOMPARE(pdfPageCount(dir.filePath(QStringLiteral("listado.pdf"))), 3);

        QFile broken(dir.filePath(QStringLiteral("roto.rdoc")));
        QVERIFY(broken.open(QIODevice::WriteOnly));
        QFile original(saved);
        QVERIFY(original.open(QIODevice::ReadOnly));
        broken.write(original.read(original.size() / 2));
        broken.close();
        preview.goToPage(2);
        QVERIFY(!preview.loadFrom(broken.fileName()));
        QCOMPARE(m_messages.size(), 1);
        QVERIFY2(m_messages[0].contains(QStringLiteral("está dañado o incompleto")), qPrintable(m_messages[0]));
        QCOMPARE(preview.document(), doc);
        QCOMPARE(preview.currentPage(), 2);

        Listing other(3);
        ReportFile::save(other.produce(), dir.filePath(QStringLiteral("otro.rdoc")));
        QVERIFY(preview.loadFrom(dir.filePath(QStringLiteral("otro.rdoc"))));
        QCOMPARE(preview.pageCount(), 1);
        QCOMPARE(preview.currentPage(), 1);
        QVERIFY(preview.loadFrom(saved));
        QCOMPARE(preview.document(), doc);

        QVERIFY(!preview.exportPdfTo(QStringLiteral("/nonexistent/listado.pdf")));
        QCOMPARE(m_messages.size(), 2);
    }

    // The entry point shows the preview modally and returns when it closes.
    void modalPreview()
    {
        Listing l(60);
        l.def.preview.zoom = PreviewZoom::PageWidth;
        ReportPreview *seen = nullptr;
        int pages = 0;
        PreviewZoom zoom = PreviewZoom::WholePage;
        QTimer::singleShot(0, this, [&] {
            seen = qobject_cast<ReportPreview *>(QApplication::activeModalWidget());
            if (seen) {
                pages = seen->pageCount();
                zoom = seen->zoomMode();
                seen->reject();
            }
        });
        // Whatever happens above, nothing stays open.
        QTimer::singleShot(10000, this, [] {
            if (QWidget *w = QApplication::activeModalWidget())
                w->close();
        });
        static const FixedTextMeasurer measurer;
        ReportProducer producer(l.def, measurer);
        ReportEngine::preview(producer.produce(), l.def.preview, nullptr);
        QVERIFY(seen);
        QCOMPARE(pages, 3);
        QCOMPARE(zoom, PreviewZoom::PageWidth);
        QVERIFY(l.rows.atEnd());

        // A document without pages opens no window and says so.
        ReportEngine::preview(ReportDocument(), {}, nullptr);
        QCOMPARE(m_messages.size(), 1);
    }

    // An invoice over two pages with the real fonts: every text fits its box on
    // one line but the one too long for it, and the PDF has both pages.
    // REPORT_SAMPLE_DIR keeps the PDF.
    void sampleInvoice()
    {
        SampleInvoice inv(40);
        const ReportDocument doc = ReportEngine::produce(inv.def);
        QCOMPARE(doc.pageCount(), 2);
        QCOMPARE(doc.pictures.size(), size_t(1));

        for (int p = 0; p < doc.pageCount(); ++p) {
            for (const PageItem &item : doc.pages[size_t(p)].items) {
                const auto *t = std::get_if<TextItem>(&item);
                if (!t || t->text.isEmpty())
                    continue;
                QVERIFY2(t->lines.size() == 1 && !t->clip, qPrintable(t->text));
                const TextLine &line = t->lines[0];
                // Only the long service name is cut, at its box's height.
                if (t->text.startsWith(QStringLiteral("Cena en el restaurante")))
                    QCOMPARE(line.text, QStringLiteral("Cena en el restaurante con"));
                else
                    QCOMPARE(line.text, t->text);
                if (t->alignment == TextAlignment::Right)
                    QCOMPARE(line.x + line.width, t->box.right());
                QVERIFY2(line.x >= t->box.left, qPrintable(t->text));
            }
        }
        const TextItem *name = findText(doc, 0, QStringLiteral("Hotel Velmira"));
        QVERIFY(name);
        QVERIFY2(name->box.width > 6000 && name->box.width < 11000, qPrintable(QString::number(name->box.width)));
        QVERIFY(findText(doc, 1, QStringLiteral("Nombre del Huésped:")));
        QVERIFY(!findText(doc, 1, QStringLiteral("Hotel Velmira")));
        QVERIFY(findText(doc, 1, QStringLiteral("$ 21.973,25")));
        QVERIFY(findText(doc, 0, QStringLiteral("05/03/2024 08:00")));

        QTemporaryDir dir;
        const QString folder = qEnvironmentVariable("REPORT_SAMPLE_DIR", dir.path());
        const QString path = folder + QStringLiteral("/factura.pdf");
        ReportPainter::exportPdf(doc, path);
        QCOMPARE(pdfPageCount(path), 2);
    }
};

QTEST_MAIN(TestReportOutput)
#include "tst_reportoutput.moc"

#include "BoundImage.h"
#include "DateTimes.h"
#include "HotelIdentity.h"
#include "HotelPicture.h"
#include "ReportEngine.h"
#include "ReportPainter.h"
#include "ReportProducer.h"
#include "SampleData.h"
#include "Startup.h"
#include "TestDatabase.h"
#include "TestSupport.h"
#include "UDM.h"
#include "UPrincipal.h"
#include "UReporteFactura.h"
#include "UReportes.h"

#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>

#include <functional>

namespace {

const QDateTime Now = DateTimes::make(QDate(2024, 3, 5), QTime(14, 30, 15));
constexpr int Margin = 1270; // the page margin, where bands begin

ReportDocument produceAt(const ReportDefinition &def)
{
    ReportProducer producer(def, ReportEngine::measurer());
    producer.setNow(Now);
    return producer.produce();
}

QByteArray bitmap(int width, int height, QColor colour)
{
    QImage image(width, height, QImage::Format_RGB32);
    image.fill(colour);
    return BoundImage::bitmapBytes(image);
}

const TextItem *textItem(const ReportPage &page, const QString &text)
{
    for (const PageItem &item : page.items)
        if (const auto *t = std::get_if<TextItem>(&item); t && t->text == text)
            return t;
    return nullptr;
}

std::vector<const PictureItem *> pictures(const ReportPage &page)
{
    std::vector<const PictureItem *> out;
    for (const PageItem &item : page.items)
        if (const auto *p = std::get_if<PictureItem>(&item))
            out.push_back(p);
    return out;
}

DocRect pageBox(double left, double top, double width, double height)
{
    return {Margin + DocUnits::fromMm(left), Margin + DocUnits::fromMm(top), DocUnits::fromMm(width),
            DocUnits::fromMm(height)};
}

// The title of each document as the program prints it on its own: its picture
// stretched into its box and "Hotel Velmira" in Cambria bold italic.
struct OwnTitle
{
    MmRect picture;
    MmRect name;
    double points;
    double nameLimit; // how far from the band's left edge the name may reach
};

// The name in the title's font, its box where the program's own name begins.
bool inTitlePlace(const TextItem *name, const OwnTitle &d)
{
    return name && name->font == ReportFont{QStringLiteral("Cambria"), d.points, true, true}
           && name->box.left == pageBox(d.name.left, 0, 0, 0).left && name->box.top == pageBox(0, d.name.top, 0, 0).top;
}

} // namespace

Q_DECLARE_METATYPE(OwnTitle)

// The hotel's own name, logo and contact line on the invoice and both listings,
// and the documents exactly as before when the hotel has stored none.
class TestHotelIdentity : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<TestDatabase> m_db;

    // One row per document, named "<document><suffix>", with the program's own
    // title's boxes; `more` adds the row's further columns.
    static void documentRows(const QString &suffix, const std::function<void(QTestData &)> &more = {})
    {
        const std::pair<const char *, OwnTitle> documents[] = {
            {"invoice", {{3.6, 2.3, 25.8, 17.2}, {35.1, 2.3, 100, 16.5}, 40, 184.5}},
            // The services listing's name stays clear of the date and time at 149.5 mm.
            {"services", {{4.0, 3.6, 17.5, 11.2}, {27.1, 2.0, 85.3, 13.6}, 32, 148.5}},
            {"rooms", {{4.0, 2.0, 17.5, 12.9}, {27.1, 2.0, 85.3, 13.6}, 32, 184.5}},
        };
        for (const auto &[name, own] : documents) {
            QTestData &row = QTest::newRow(qPrintable(QLatin1String(name) + suffix)) << QString::fromLatin1(name)
                                                                                     << own;
            if (more)
                more(row);
        }
    }

    static void addDocumentColumns()
    {
        QTest::addColumn<QString>("document");
        QTest::addColumn<OwnTitle>("own");
    }

    // The definition of a document, its cursors ready as the menu or the stays
    // window leaves them.
    static const ReportDefinition &prepared(const QString &document)
    {
        if (document == u"invoice") {
            DM->TEstadias->first();
            return FFactura->repFactura;
        }
        if (document == u"services")
            return FReportes->repServicios;
        DM->QHabitacionesPorTipo->close();
        DM->QHabitacionesPorTipo->open();
        return FReportes->repHabitaciones;
    }

    void start()
    {
        Startup::createAll(m_db->target());
        Regional::setSettings(spanishSettings());
    }

    void storeHotel(const QVariantList &values)
    {
        m_db->exec(QStringLiteral("INSERT INTO DatosDelHotel (Nombre, Domicilio, Telefono, EMail, IdentificacionFiscal, "
                                  "Logo) VALUES (?, ?, ?, ?, ?, ?)"),
                   values);
    }

    // The program's own document: the same definition with its picture and
    // name in place of the hotel's, and no contact line.
    static ReportDocument ownDocument(const ReportDefinition &def, const OwnTitle &d)
    {
        ReportDefinition own = def;
        std::vector<ReportElement> &title = own.title->elements;
        // The hotel's logo and name lead the title band.
        Q_ASSERT(title.size() >= 2 && title[0].kind == ReportElement::Kind::FieldPicture
                 && title[1].kind == ReportElement::Kind::FieldText);
        title.erase(title.begin(), title.begin() + 2);
        std::erase_if(title, [](const ReportElement &e) { return e.kind == ReportElement::Kind::FieldList; });
        title.insert(title.begin(),
                     {ReportElement::fixedPicture(HotelPicture::image(), d.picture),
                      ReportElement::label(QStringLiteral("Hotel Velmira"), d.name)
                          .withFont({QStringLiteral("Cambria"), d.points, true, true})
                          .withAutoSize()
                          .withTransparent()});
        return produceAt(own);
    }

private slots:
    void initTestCase() { Startup::configure(*static_cast<QApplication *>(QCoreApplication::instance())); }

    void init()
    {
        m_db = std::make_unique<TestDatabase>();
        const qint64 guest = m_db->addGuest(QStringLiteral("María José Fernández"));
        const qint64 type = m_db->addRoomType(QStringLiteral("Doble"), money("120"));
        const qint64 room = m_db->addRoom(QStringLiteral("204"), type);
        const qint64 service = m_db->addService(QStringLiteral("Desayuno continental"), money("15"));
        const qint64 stay = m_db->addStay(guest, room, QStringLiteral("2024-03-05"), QStringLiteral("2024-03-11"),
                                          QStringLiteral("Ocupada"), money("120"));
        m_db->addConsumption(stay, service, 2, money("15"), QStringLiteral("2024-03-06 09:00:00"));
    }

    void cleanup()
    {
        Startup::destroyAll();
        m_db.reset();
    }

    // No table (a file made earlier), no record, an empty one or one of blanks:
    // each document is the program's own, item for item.
    void documentsWithoutIdentity_data()
    {
        addDocumentColumns();
        QTest::addColumn<QString>("state");
        for (const char *state : {"no table", "no record", "empty record", "blank record"})
            documentRows(QStringLiteral(", ") + QLatin1String(state), [state](QTestData &row) { row << QString::fromLatin1(state); });
    }

    void documentsWithoutIdentity()
    {
        QFETCH(QString, document);
        QFETCH(OwnTitle, own);
        QFETCH(QString, state);

        if (state == u"no table")
            m_db->exec(QStringLiteral("DROP TABLE DatosDelHotel"));
        else if (state == u"empty record")
            storeHotel({QVariant(), QVariant(), QVariant(), QVariant(), QVariant(), QVariant()});
        else if (state == u"blank record")
            storeHotel({QStringLiteral("  "), QString(), QStringLiteral(" "), QString(), QString(), QByteArray()});
        start();
        QCOMPARE(DM->TDatosDelHotel->isOpen(), state != u"no table");

        const ReportDefinition &def = prepared(document);
        const ReportDocument doc = produceAt(def);
        prepared(document);
        const ReportDocument expected = ownDocument(def, own);
        QCOMPARE(doc.pageCount(), expected.pageCount());
        QCOMPARE(doc.pictures, expected.pictures);
        for (int p = 0; p < doc.pageCount(); ++p)
            QCOMPARE(doc.pageTexts(p), expected.pageTexts(p));
        QVERIFY(doc == expected);

        // And that title itself: the name in its font and place, the picture
        // stretched into its box.
        const ReportPage &first = doc.pages[0];
        const TextItem *name = textItem(first, QStringLiteral("Hotel Velmira"));
        QVERIFY(inTitlePlace(name, own));
        const auto shown = pictures(first);
        QCOMPARE(shown.size(), size_t(1)); // the room type has no photo
        QCOMPARE(shown[0]->box, pageBox(own.picture.left, own.picture.top, own.picture.width,
                                        own.picture.height));
        QCOMPARE(doc.pictures[size_t(shown[0]->picture)], normalizedPicture(HotelPicture::image()));
    }

    // The stored name in the title's place and font; the stored logo in
    // place of the program's picture, in its own proportions, centred in the
    // picture's box; the contact line on the invoice only.
    void storedIdentity_data()
    {
        addDocumentColumns();
        documentRows(QString());
    }

    void storedIdentity()
    {
        QFETCH(QString, document);
        QFETCH(OwnTitle, own);
        // A 2:1 logo, wider than every picture box.
        storeHotel({QStringLiteral("Hostería del Lago"), QStringLiteral("Ruta 40 km 2010"), QStringLiteral("555-0101"),
                    QString(), QString(), bitmap(60, 30, Qt::red)});
        start();

        const ReportDocument doc = produceAt(prepared(document));
        for (int p = 0; p < doc.pageCount(); ++p)
            QVERIFY(!doc.pageTexts(p).contains(QStringLiteral("Hotel Velmira")));
        const ReportPage &first = doc.pages[0];
        const TextItem *name = textItem(first, QStringLiteral("Hostería del Lago"));
        QVERIFY(inTitlePlace(name, own));

        const DocRect box = pageBox(own.picture.left, own.picture.top, own.picture.width,
                                    own.picture.height);
        const PictureItem *logo = pictures(first).at(0);
        QCOMPARE(doc.pictures[size_t(logo->picture)].pixelColor(0, 0), QColor(Qt::red));
        QCOMPARE(logo->box.width, box.width);
        QVERIFY(qAbs(logo->box.width - 2 * logo->box.height) <= 2);
        QCOMPARE(logo->box.left, box.left);
        QVERIFY(qAbs((logo->box.top - box.top) - (box.bottom() - logo->box.bottom())) <= 1);

        const QString line = QStringLiteral("Ruta 40 km 2010  ·  555-0101");
        const TextItem *contact = textItem(first, line);
        QCOMPARE(bool(contact), document == u"invoice");
        if (contact) {
            // Under the name, on one line, inside the title band.
            QCOMPARE(contact->font, (ReportFont{QStringLiteral("Arial"), 7, false, false}));
            QCOMPARE(contact->box.left, name->box.left);
            QCOMPARE(contact->lines.size(), size_t(1));
            const TextMeasurer::LineMetrics m = ReportEngine::measurer().lineMetrics(contact->font);
            QVERIFY(contact->lines[0].baseline - m.ascent >= pageBox(0, 18.0, 0, 0).top);
            QVERIFY(contact->lines[0].baseline + m.descent <= pageBox(0, 21.5, 0, 0).top);
        }
    }

    // The invoice's contact line: what is given, in order, joined; nothing at
    // all when nothing is.
    void contactLine_data()
    {
        QTest::addColumn<QStringList>("given"); // address, phone, e-mail, tax identification
        QTest::addColumn<QString>("line");      // empty: no line

        QTest::newRow("none") << QStringList{"", "", "", ""} << "";
        QTest::newRow("blanks") << QStringList{"  ", "", " ", ""} << "";
        QTest::newRow("phone") << QStringList{"", "+54 11 4000-0000", "", ""} << "+54 11 4000-0000";
        QTest::newRow("address and e-mail") << QStringList{"San Martín 120", "", "hola@hotel.com", ""}
                                            << "San Martín 120  ·  hola@hotel.com";
        QTest::newRow("all") << QStringList{"San Martín 120", "4000-0000", "hola@hotel.com", "CUIT 30-1"}
                             << "San Martín 120  ·  4000-0000  ·  hola@hotel.com  ·  CUIT 30-1";
    }

    void contactLine()
    {
        QFETCH(QStringList, given);
        QFETCH(QString, line);
        storeHotel({QStringLiteral("Hotel Sur"), given[0], given[1], given[2], given[3], QVariant()});
        start();

        const ReportDocument doc = produceAt(prepared(QStringLiteral("invoice")));
        const QStringList texts = doc.pageTexts(0);
        QCOMPARE(texts.at(0), QStringLiteral("Hotel Sur"));
        if (line.isEmpty()) {
            // The name alone: the next text is the stay's first caption.
            QCOMPARE(texts.at(1), QStringLiteral("Nombre del Huésped:"));
            int titleTexts = 0;
            for (const PageItem &item : doc.pages[0].items)
                if (const auto *t = std::get_if<TextItem>(&item); t && t->box.top < pageBox(0, 21.5, 0, 0).top)
                    ++titleTexts;
            QCOMPARE(titleTexts, 1);
        } else {
            QCOMPARE(texts.at(1), line);
        }
    }

    // A name too long for its band prints whole on one line, at the largest
    // size of the same font (in tenths of a point) that fits.
    void longNameFits_data()
    {
        addDocumentColumns();
        QTest::addColumn<QString>("name");
        documentRows(QStringLiteral(", wide letters"), [](QTestData &row) { row << QString(60, u'W'); });
        documentRows(QStringLiteral(", long name"), [](QTestData &row) {
            row << QStringLiteral("Gran Hotel Termas y Centro de Convenciones del Río Hondo");
        });
    }

    void longNameFits()
    {
        QFETCH(QString, document);
        QFETCH(OwnTitle, own);
        QFETCH(QString, name);
        QVERIFY(name.size() <= 60);
        storeHotel({name, QVariant(), QVariant(), QVariant(), QVariant(), QVariant()});
        start();

        const ReportDocument doc = produceAt(prepared(document));
        // REPORT_SAMPLE_DIR keeps them, for looking at.
        if (qEnvironmentVariableIsSet("REPORT_SAMPLE_DIR"))
            ReportPainter::exportPdf(doc, QDir(qEnvironmentVariable("REPORT_SAMPLE_DIR"))
                                              .filePath(QStringLiteral("nombre-largo-%1-%2.pdf")
                                                            .arg(document, QString::number(name.size()))));
        const TextItem *t = textItem(doc.pages[0], name);
        QVERIFY(t);
        QCOMPARE(t->lines.size(), size_t(1));
        QCOMPARE(t->lines[0].text, name);
        QVERIFY(!t->clip);
        QCOMPARE(t->font.family, QStringLiteral("Cambria"));
        QVERIFY(t->font.bold && t->font.italic);
        QVERIFY(t->font.points < own.points);
        const int limit = DocUnits::fromMm(own.nameLimit - own.name.left);
        QCOMPARE(t->box.left, pageBox(own.name.left, 0, 0, 0).left);
        QVERIFY(t->lines[0].width <= limit);
        ReportFont bigger = t->font;
        bigger.points += 0.1;
        QVERIFY(ReportEngine::measurer().width(bigger, name) > limit);
        // Centred on the height the full-size name took.
        const TextMeasurer::LineMetrics full = ReportEngine::measurer().lineMetrics({QStringLiteral("Cambria"), own.points, true, true});
        const TextMeasurer::LineMetrics small = ReportEngine::measurer().lineMetrics(t->font);
        const int middle = t->lines[0].baseline - small.ascent + (small.ascent + small.descent) / 2;
        const int fullMiddle = pageBox(0, own.name.top, 0, 0).top + (full.ascent + full.descent) / 2;
        QVERIFY(qAbs(middle - fullMiddle) <= 1);
    }

    // A real-looking hotel on every document, as PDFs for looking at;
    // REPORT_SAMPLE_DIR keeps them.
    void sampleHotelToPdf()
    {
        const SampleData::Hotel hotel = SampleData::sampleHotel();
        storeHotel({hotel.name, hotel.address, hotel.phone, hotel.email, hotel.taxId, hotel.logo});
        start();
        QTemporaryDir dir;
        const QString out = qEnvironmentVariable("REPORT_SAMPLE_DIR", dir.path());
        for (const QString &document : {QStringLiteral("invoice"), QStringLiteral("services"), QStringLiteral("rooms")}) {
            const ReportDocument doc = produceAt(prepared(document));
            QCOMPARE(doc.pageTexts(0).at(0), hotel.name);
            const QString line =
                QStringList{hotel.address, hotel.phone, hotel.email, hotel.taxId}.join(QStringLiteral("  ·  "));
            QCOMPARE(doc.pageTexts(0).at(1) == line, document == u"invoice");
            const QString file = QDir(out).filePath(QStringLiteral("identidad-%1.pdf").arg(document));
            ReportPainter::exportPdf(doc, file);
            QVERIFY(QFileInfo(file).size() > 0);
        }
    }
};

QTEST_MAIN(TestHotelIdentity)
#include "tst_hotelidentity.moc"

#include "DatabaseFactory.h"
#include "DateTimes.h"
#include "ReportEngine.h"
#include "ReportPainter.h"
#include "ReportPreview.h"
#include "ReportProducer.h"
#include "Startup.h"
#include "TestDatabase.h"
#include "TestSupport.h"
#include "UDM.h"
#include "UPrincipal.h"
#include "UReportes.h"
#include "WindowTest.h"

#include <QApplication>
#include <QBuffer>
#include <QDir>
#include <QImage>
#include <QPrinter>
#include <QSet>
#include <QTemporaryDir>
#include <QTest>

namespace {

const QDateTime Now = DateTimes::make(QDate(2024, 3, 5), QTime(14, 30, 15));
const QStringList RoomColumns{"Número", "Piso", "Vista", "Capacidad"};

ReportDocument produceAt(const ReportDefinition &def)
{
    ReportProducer producer(def, ReportEngine::measurer());
    producer.setNow(Now);
    return producer.produce();
}

QByteArray bitmapBytes(QColor colour)
{
    QImage image(40, 30, QImage::Format_RGB32);
    image.fill(colour);
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "BMP");
    return bytes;
}

template<typename T> int countOf(const ReportDocument &doc)
{
    int n = 0;
    for (const ReportPage &page : doc.pages)
        for (const PageItem &item : page.items)
            n += std::holds_alternative<T>(item) ? 1 : 0;
    return n;
}

const TextItem *textItem(const ReportDocument &doc, const QString &text)
{
    for (const ReportPage &page : doc.pages)
        for (const PageItem &item : page.items)
            if (const auto *t = std::get_if<TextItem>(&item); t && t->text == text)
                return t;
    return nullptr;
}

QStringList groupHeader(const QString &type, const QString &description, const QString &tariff,
                        const QString &amenities)
{
    return QStringList{"Habitación", type, "Tarifa", description, tariff, "Comodidades", amenities} + RoomColumns;
}

} // namespace

// The services listing and the rooms listing over a real file, with real fonts.
class TestReportes : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<TestDatabase> m_db;
    bool m_started = false;

    void start(const QString &folder)
    {
        Startup::createAll(folder);
        Regional::setSettings(spanishSettings());
        if (!FReportes)
            FReportes = new TFReportes(FPrincipal);
        m_started = true;
    }

    // What the menu does before the rooms listing.
    static void reopenRooms()
    {
        DM->QHabitacionesPorTipo->close();
        DM->QHabitacionesPorTipo->open();
    }

    void setTypeTexts(qint64 type, const QString &description, const QString &amenities)
    {
        m_db->exec(QStringLiteral("UPDATE TiposDeHabitacion SET Descripcion = ?, Comodidades = ? WHERE IdTipo = ?"),
                   {description, amenities, type});
    }

    // The pages the preview would print, and the stored settings it shows.
    static void previewed(const std::function<void()> &open, std::vector<int> &printed, int &pages,
                          PrinterSettings &settings)
    {
        bool seen = false;
        whenModalOpens([&](QWidget *modal) {
            auto *p = qobject_cast<ReportPreview *>(modal);
            if (!p)
                return;
            seen = true;
            pages = p->pageCount();
            printed = ReportPainter::pagesToPrint(p->printer(), p->pageCount(), 1);
            settings = p->document().printer;
        });
        open();
        QVERIFY(seen);
    }

private slots:
    void initTestCase() { Startup::configure(*static_cast<QApplication *>(QCoreApplication::instance())); }

    void init() { m_db = std::make_unique<TestDatabase>(); }

    void cleanup()
    {
        if (m_started) {
            delete FReportes;
            FReportes = nullptr;
            Startup::destroyAll();
            m_started = false;
        }
        m_db.reset();
    }

    // Every service by name with its price in the currency format, the count.
    void servicesListing_data()
    {
        QTest::addColumn<QStringList>("names");
        QTest::addColumn<QStringList>("prices");
        QTest::addColumn<QStringList>("lines");
        QTest::addColumn<QString>("count");
        QTest::newRow("by name") << QStringList{"Lavandería", "Bar", "Cochera"}
                                 << QStringList{"12.5", "3", "1234.5"}
                                 << QStringList{"Bar", "$ 3,00", "Cochera", "$ 1.234,50", "Lavandería", "$ 12,50"}
                                 << "3";
        QTest::newRow("none") << QStringList{} << QStringList{} << QStringList{"", ""} << "0";
    }

    void servicesListing()
    {
        QFETCH(QStringList, names);
        QFETCH(QStringList, prices);
        QFETCH(QStringList, lines);
        QFETCH(QString, count);
        for (qsizetype i = 0; i < names.size(); ++i)
            m_db->addService(names[i], money(prices[i].toLatin1().constData()));
        start(m_db->target());

        const ReportDocument doc = produceAt(FReportes->repServicios);
        QCOMPARE(doc.pageCount(), 1);
        QStringList expected{"Hotel Velmira", "05/03/2024 14:30:15"};
        if (!names.isEmpty())
            expected << "Listado de Servicios" << "Consumo o Servicio" << "Precio";
        expected << lines << "Cantidad de servicios:" << count;
        QCOMPARE(doc.pageTexts(0), expected);
        // Every text prints whole on one line.
        for (const PageItem &item : doc.pages[0].items)
            if (const auto *t = std::get_if<TextItem>(&item); t && !t->text.isEmpty())
                QVERIFY2(t->lines.size() == 1 && t->lines[0].text == t->text && !t->clip, qPrintable(t->text));
    }

    // Grouped by the type's name: a type without rooms and a room without a type
    // are absent; two types of the same name in a row make one group headed by
    // the first; rooms by type, floor and number as text; tariffs through "0.00".
    void roomsListing()
    {
        const qint64 doble = m_db->addRoomType(QStringLiteral("Doble"), money("12.5"), 2);
        const qint64 suite = m_db->addRoomType(QStringLiteral("Suite"), money("300"), 4);
        const qint64 doble2 = m_db->addRoomType(QStringLiteral("Doble"), money("99"), 3);
        const qint64 simple = m_db->addRoomType(QStringLiteral("Simple"), money("45"), 1);
        setTypeTexts(doble, QStringLiteral("Dos camas"), QStringLiteral("TV"));
        setTypeTexts(suite, QStringLiteral("Grande"), QStringLiteral("Jacuzzi"));
        setTypeTexts(doble2, QStringLiteral("Otra doble"), QStringLiteral("Radio"));
        m_db->exec(QStringLiteral("UPDATE TiposDeHabitacion SET Foto = ? WHERE IdTipo = ?"),
                   {bitmapBytes(Qt::darkCyan), doble});
        m_db->addRoom(QStringLiteral("201"), doble, 2, QStringLiteral("Mar"));
        m_db->addRoom(QStringLiteral("102"), doble, 1, QStringLiteral("Ciudad"));
        m_db->addRoom(QStringLiteral("101"), doble, 1, QStringLiteral("Mar"));
        m_db->addRoom(QStringLiteral("301"), doble2, 3, QStringLiteral("Interior"));
        m_db->addRoom(QStringLiteral("9"), simple, 1, QStringLiteral("Mar"));
        m_db->addRoom(QStringLiteral("10"), simple, 1, QStringLiteral("Mar"));
        m_db->exec(QStringLiteral("INSERT INTO Habitaciones (NroHabitacion, Piso, Vista, IdTipo) VALUES ('55', 1, "
                                  "'Mar', NULL)"));
        start(m_db->target());
        reopenRooms();

        const ReportDocument doc = produceAt(FReportes->repHabitaciones);
        QCOMPARE(doc.pageCount(), 1);
        QStringList expected{"Hotel Velmira", "Listado de Habitaciones"};
        expected << groupHeader("Doble", "Dos camas", "12,50", "TV");
        expected << QStringList{"101", "1", "Mar", "2", "102", "1", "Ciudad", "2", "201", "2", "Mar", "2"};
        expected << QStringList{"301", "3", "Interior", "3"};
        expected << groupHeader("Simple", "", "45,00", "");
        expected << QStringList{"10", "1", "Mar", "1", "9", "1", "Mar", "1"};
        QCOMPARE(doc.pageTexts(0), expected);

        // The hotel picture and the one type photo, framed on four sides.
        QCOMPARE(countOf<PictureItem>(doc), 2);
        QCOMPARE(doc.pictures.size(), size_t(2));
        QVERIFY(DM->QHabitacionesPorTipo->atEnd());
        QCOMPARE(DM->QHabitacionesPorTipo->recNo(), DM->QHabitacionesPorTipo->recordCount() - 1);
    }

    // A description or amenities text longer than two lines is cut at its box.
    void longTextsAreCut_data()
    {
        QTest::addColumn<QString>("description");
        QTest::addColumn<QString>("amenities");
        QTest::addColumn<int>("descriptionLines");
        QTest::addColumn<int>("amenitiesLines");
        const QString words = QStringLiteral("Habitación amplia con vista abierta y balcón privado ").repeated(4);
        QTest::newRow("short") << "Dos camas" << "TV" << 1 << 1;
        QTest::newRow("long") << words.trimmed() << words.repeated(2).trimmed() << 2 << 2;
        QTest::newRow("line breaks") << "uno\ndos\ntres" << "a\nb\nc\nd" << 2 << 2;
    }

    void longTextsAreCut()
    {
        QFETCH(QString, description);
        QFETCH(QString, amenities);
        QFETCH(int, descriptionLines);
        QFETCH(int, amenitiesLines);
        const qint64 type = m_db->addRoomType(QStringLiteral("Doble"), money("50"));
        setTypeTexts(type, description, amenities);
        m_db->addRoom(QStringLiteral("1"), type);
        start(m_db->target());
        reopenRooms();

        const ReportDocument doc = produceAt(FReportes->repHabitaciones);
        const TextItem *d = textItem(doc, description);
        const TextItem *a = textItem(doc, amenities);
        QVERIFY(d && a);
        QCOMPARE(int(d->lines.size()), descriptionLines);
        QCOMPARE(int(a->lines.size()), amenitiesLines);
        for (const TextItem *t : {d, a})
            for (const TextLine &line : t->lines)
                QVERIFY2(line.baseline < t->box.bottom(), qPrintable(line.text));
    }

    // With nothing to list, each listing is one page: the title, one empty line
    // and the summary.
    void emptyListings()
    {
        start(m_db->target());
        reopenRooms();
        const ReportDocument services = produceAt(FReportes->repServicios);
        QCOMPARE(services.pageCount(), 1);
        QCOMPARE(services.pageTexts(0),
                 (QStringList{"Hotel Velmira", "05/03/2024 14:30:15", "", "", "Cantidad de servicios:", "0"}));
        const ReportDocument rooms = produceAt(FReportes->repHabitaciones);
        QCOMPARE(rooms.pageCount(), 1);
        QCOMPARE(rooms.pageTexts(0), (QStringList{"Hotel Velmira", "", "", "", ""}));
    }

    // Printing from the preview: the services listing every page, the rooms
    // listing page 1 only, from their stored settings.
    void printRanges()
    {
        const qint64 type = m_db->addRoomType(QStringLiteral("Doble"), money("50"));
        for (int i = 1; i <= 70; ++i) {
            m_db->addService(QStringLiteral("Servicio %1").arg(i, 3, 10, QLatin1Char('0')), money("5"));
            m_db->addRoom(QString::number(100 + i), type, 1 + i / 10);
        }
        start(m_db->target());

        std::vector<int> printed;
        int pages = 0;
        PrinterSettings settings;
        previewed([] { FReportes->PreviewServicios(); }, printed, pages, settings);
        QVERIFY(pages >= 2);
        std::vector<int> all;
        for (int p = 1; p <= pages; ++p)
            all.push_back(p);
        QCOMPARE(printed, all);
        QCOMPARE(settings.paperBin, 0);
        QCOMPARE(settings.colour, PrinterSettings::Colour::Default);
        QCOMPARE(settings.duplex, PrinterSettings::Duplex::Simplex);

        reopenRooms();
        previewed([] { FReportes->PreviewHabitaciones(); }, printed, pages, settings);
        QVERIFY(pages >= 2);
        QCOMPARE(printed, std::vector<int>{1});
        QCOMPARE(settings.paperBin, 260);
        QCOMPARE(settings.colour, PrinterSettings::Colour::Colour);
        QCOMPARE(settings.duplex, PrinterSettings::Duplex::Simplex);
        QCOMPARE(settings.copies, 1);
    }

    // After the services listing the last service by name is current.
    void lastServiceCurrent()
    {
        m_db->addService(QStringLiteral("Zapatería"), money("5"));
        m_db->addService(QStringLiteral("Almuerzo"), money("20"));
        m_db->addService(QStringLiteral("Masajes"), money("40"));
        start(m_db->target());
        QCOMPARE(DM->TServicios->recNo(), 0);
        std::vector<int> printed;
        int pages = 0;
        PrinterSettings settings;
        previewed([] { FReportes->PreviewServicios(); }, printed, pages, settings);
        QCOMPARE(DM->TServicios->recNo(), 2);
        QCOMPARE(DM->TServicios->fieldByName(QStringLiteral("Nombre")).asString(), QStringLiteral("Zapatería"));
    }

    // The rooms listing needs its query open: the menu opens it first.
    void roomsQueryNotOpen()
    {
        start(m_db->target());
        VERIFY_DATA_ERROR(FReportes->PreviewHabitaciones(),
                          "QHabitacionesPorTipo: Cannot perform this operation on a closed dataset");
    }

    // Both listings of a demonstration hotel: every room once, one group per
    // type name. REPORT_SAMPLE_DIR keeps the PDFs.
    void demonstrationListingsToPdf()
    {
        QTemporaryDir dir;
        const QString folder = QDir(dir.path()).filePath(QStringLiteral("demo"));
        QDir().mkpath(folder);
        DatabaseFactory::createDemo(QDir(folder).filePath(QStringLiteral("Hotel.db")), QDate(2026, 12, 10));
        start(folder);
        reopenRooms();
        const QString out = qEnvironmentVariable("REPORT_SAMPLE_DIR", dir.path());

        Cursor &q = *DM->QHabitacionesPorTipo;
        QStringList numbers;
        QSet<QString> types;
        for (q.first(); !q.atEnd(); q.next()) {
            numbers << q.fieldByName(QStringLiteral("NroHabitacion")).asString();
            types << q.fieldByName(QStringLiteral("Nombre")).asString();
        }
        QVERIFY(!numbers.isEmpty());
        const ReportDocument rooms = ReportEngine::produce(FReportes->repHabitaciones);
        QStringList texts;
        for (int p = 0; p < rooms.pageCount(); ++p)
            texts << rooms.pageTexts(p);
        QCOMPARE(int(texts.count(QStringLiteral("Habitación"))), int(types.size()));
        for (const QString &n : std::as_const(numbers))
            QCOMPARE(int(texts.count(n)), 1);
        ReportPainter::exportPdf(rooms, QDir(out).filePath(QStringLiteral("listado-habitaciones.pdf")));

        const ReportDocument services = ReportEngine::produce(FReportes->repServicios);
        QVERIFY(services.pageTexts(0).contains(QString::number(DM->TServicios->recordCount())));
        ReportPainter::exportPdf(services, QDir(out).filePath(QStringLiteral("listado-servicios.pdf")));
    }
};

QTEST_MAIN(TestReportes)
#include "tst_reportes.moc"

#include "DatabaseFactory.h"
#include "DateTimes.h"
#include "ReportEngine.h"
#include "ReportPainter.h"
#include "ReportPreview.h"
#include "Startup.h"
#include "TestDatabase.h"
#include "TestSupport.h"
#include "UDM.h"
#include "UPrincipal.h"
#include "UReporteFactura.h"
#include "WindowTest.h"

#include <QApplication>
#include <QDir>
#include <QPrinter>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

namespace {

struct Line
{
    int quantity;
    const char *price;
};

const QStringList StayHeader{"Nombre del Huésped:", "María José Fernández", "Habitación:", "204",
                             "Fecha de Ingreso:", "05/03/2024", "Días:", "7",
                             "Fecha de Egreso:", "11/03/2024", "Precio x Día:", "$ 120,00",
                             "Fecha", "Consumo o Servicio", "Cant.", "Precio", "Total"};

const TextItem *textAt(const ReportDocument &doc, int page, const QString &text)
{
    for (const PageItem &item : doc.pages.at(size_t(page)).items)
        if (const auto *t = std::get_if<TextItem>(&item); t && t->text == text)
            return t;
    return nullptr;
}

} // namespace

Q_DECLARE_METATYPE(QList<Line>)

// The invoice of the current stay, produced from a real file with the real fonts.
class TestFactura : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<TestDatabase> m_db;
    qint64 m_stay = 0;
    qint64 m_service = 0;
    bool m_started = false;

    // Guest, room and a stay of 7 days at 120 (the stay to invoice), and another
    // guest's stay with a consumption of its own.
    void arrange()
    {
        const qint64 guest = m_db->addGuest(QStringLiteral("María José Fernández"));
        const qint64 other = m_db->addGuest(QStringLiteral("Otro Huésped"));
        const qint64 type = m_db->addRoomType(QStringLiteral("Doble"), money("120"));
        const qint64 room = m_db->addRoom(QStringLiteral("204"), type);
        const qint64 room2 = m_db->addRoom(QStringLiteral("310"), type);
        m_service = m_db->addService(QStringLiteral("Desayuno continental"), money("15"));
        const qint64 otherStay = m_db->addStay(other, room2, QStringLiteral("2024-03-01"), QStringLiteral("2024-03-09"),
                                               QStringLiteral("Ocupada"), money("80"));
        m_db->addConsumption(otherStay, m_service, 9, money("99"), QStringLiteral("2024-03-06 10:00:00"));
        m_stay = m_db->addStay(guest, room, QStringLiteral("2024-03-05"), QStringLiteral("2024-03-11"),
                               QStringLiteral("Ocupada"), money("120"));
    }

    void start(const QString &folder)
    {
        Startup::createAll(folder);
        Regional::setSettings(spanishSettings());
        if (!FFactura)
            FFactura = new TFFactura(FPrincipal);
        m_started = true;
    }

    void startOnStay()
    {
        start(m_db->target());
        QVERIFY(DM->TEstadias->locate(QStringLiteral("IdEstadia"), m_stay));
    }

    static QStringList lineTexts(const QString &stamp, const QString &service, const QString &quantity,
                                 const QString &price, const QString &total)
    {
        return {stamp, service, quantity, price, total};
    }

private slots:
    void initTestCase() { Startup::configure(*static_cast<QApplication *>(QCoreApplication::instance())); }

    void init()
    {
        m_db = std::make_unique<TestDatabase>();
        arrange();
    }

    void cleanup()
    {
        if (m_started) {
            delete FFactura;
            FFactura = nullptr;
            Startup::destroyAll();
            m_started = false;
        }
        m_db.reset();
    }

    // The whole first page in painting order: title, the stay's data and the
    // column titles, one line per consumption of this stay only, the totals.
    void invoiceLines_data()
    {
        QTest::addColumn<QList<Line>>("lines");
        QTest::addColumn<QStringList>("prices");
        QTest::addColumn<QStringList>("lineTotals");
        QTest::addColumn<QString>("servicesTotal");
        QTest::newRow("two consumptions") << QList<Line>{{2, "15"}, {1, "40.5"}}
                                          << QStringList{"$ 15,00", "$ 40,50"}
                                          << QStringList{"$ 30,00", "$ 40,50"} << "$ 70,50";
        QTest::newRow("grouping in the total only") << QList<Line>{{1, "1234.5"}} << QStringList{"$ 1.234,50"}
                                                    << QStringList{"$ 1234,50"} << "$ 1.234,50";
        QTest::newRow("line total rounded") << QList<Line>{{3, "0.3333"}, {1, "0.005"}}
                                            << QStringList{"$ 0,33", "$ 0,01"} << QStringList{"$ 1,00", "$ 0,01"}
                                            << "$ 1,00";
    }

    void invoiceLines()
    {
        QFETCH(QList<Line>, lines);
        QFETCH(QStringList, prices);
        QFETCH(QStringList, lineTotals);
        QFETCH(QString, servicesTotal);
        // Entered out of time order: the invoice lists them by time.
        for (qsizetype i = lines.size() - 1; i >= 0; --i)
            m_db->addConsumption(m_stay, m_service, lines[i].quantity, money(lines[i].price),
                                 QStringLiteral("2024-03-0%1 14:3%2:00").arg(6 + i).arg(i));
        startOnStay();

        const ReportDocument doc = ReportEngine::produce(FFactura->repFactura);
        QCOMPARE(doc.pageCount(), 1);
        QStringList expected{"Hotel Velmira"};
        expected << StayHeader;
        for (qsizetype i = 0; i < lines.size(); ++i)
            expected << lineTexts(QStringLiteral("0%1/03/2024 14:3%2").arg(6 + i).arg(i),
                                  QStringLiteral("Desayuno continental"), QString::number(lines[i].quantity), prices[i],
                                  lineTotals[i]);
        expected << "Total Servicios:" << servicesTotal << "Total Estadía:" << "$ 840,00";
        QCOMPARE(doc.pageTexts(0), expected);

        // Every text prints whole on one line of its box.
        for (const PageItem &item : doc.pages[0].items) {
            const auto *t = std::get_if<TextItem>(&item);
            if (!t)
                continue;
            QVERIFY2(t->lines.size() == 1 && t->lines[0].text == t->text && !t->clip, qPrintable(t->text));
        }
    }

    // The time stamp needs more than its described 30.7 mm in this font: it
    // prints whole, right-aligned where the column ends, clear of the service.
    void timeStampPrintsWhole_data()
    {
        QTest::addColumn<QString>("stored");
        QTest::addColumn<QString>("printed");
        QTest::newRow("morning") << "2024-01-01 08:05:00" << "01/01/2024 08:05";
        QTest::newRow("late") << "2024-12-28 23:59:59" << "28/12/2024 23:59";
    }

    void timeStampPrintsWhole()
    {
        QFETCH(QString, stored);
        QFETCH(QString, printed);
        m_db->addConsumption(m_stay, m_service, 1, money("15"), stored);
        startOnStay();

        const ReportDocument doc = ReportEngine::produce(FFactura->repFactura);
        const TextItem *stamp = textAt(doc, 0, printed);
        QVERIFY(stamp);
        QCOMPARE(stamp->lines.size(), size_t(1));
        QCOMPARE(stamp->lines[0].text, printed);
        const int left = 1270; // the page margin: the band's left edge
        QCOMPARE(stamp->box.right(), left + 3630);
        QCOMPARE(stamp->lines[0].x + stamp->lines[0].width, stamp->box.right());
        QVERIFY(stamp->box.left >= left);
        const TextItem *service = textAt(doc, 0, QStringLiteral("Desayuno continental"));
        QVERIFY(service);
        QVERIFY(stamp->box.right() < service->box.left);
    }

    // A stay without consumptions: the title, one line that is empty but for its
    // zero total, and the totals.
    void noConsumptions()
    {
        startOnStay();
        const ReportDocument doc = ReportEngine::produce(FFactura->repFactura);
        QCOMPARE(doc.pageCount(), 1);
        QStringList expected{"Hotel Velmira"};
        expected << lineTexts({}, {}, {}, {}, QStringLiteral("$ 0,00"));
        expected << "Total Servicios:" << "$ 0,00" << "Total Estadía:" << "$ 840,00";
        QCOMPARE(doc.pageTexts(0), expected);
        QVERIFY(DM->TConsumosDeServicios->isEmpty());
    }

    // Title on page 1 only; every later page begins with the stay's data and the
    // column titles; the lines follow each other in time order; the summary comes
    // after the last line. The consumptions are left on the last one.
    void manyPages()
    {
        const int count = 80;
        for (int i = 0; i < count; ++i)
            m_db->addConsumption(m_stay, m_service, 1, money("10.25"),
                                 QStringLiteral("2024-03-06 %1:%2:00")
                                     .arg(8 + i / 60, 2, 10, QLatin1Char('0'))
                                     .arg(i % 60, 2, 10, QLatin1Char('0')));
        startOnStay();
        const int stayRow = DM->TEstadias->recNo();

        const ReportDocument doc = ReportEngine::produce(FFactura->repFactura);
        QCOMPARE(doc.pageCount(), 3);
        QStringList stamps;
        for (int p = 0; p < doc.pageCount(); ++p) {
            QStringList texts = doc.pageTexts(p);
            if (p == 0) {
                QCOMPARE(texts.takeFirst(), QStringLiteral("Hotel Velmira"));
            }
            QVERIFY(!texts.contains(QStringLiteral("Hotel Velmira")));
            QCOMPARE(texts.mid(0, StayHeader.size()), StayHeader);
            texts = texts.mid(StayHeader.size());
            if (p + 1 == doc.pageCount()) {
                QCOMPARE(texts.mid(texts.size() - 4),
                         (QStringList{"Total Servicios:", "$ 820,00", "Total Estadía:", "$ 840,00"}));
                texts.resize(texts.size() - 4);
            }
            QCOMPARE(texts.size() % 5, 0);
            for (qsizetype i = 0; i < texts.size(); i += 5)
                stamps << texts[i];
        }
        QCOMPARE(stamps.size(), count);
        for (int i = 0; i < count; ++i)
            QCOMPARE(stamps[i], QStringLiteral("06/03/2024 %1:%2")
                                    .arg(8 + i / 60, 2, 10, QLatin1Char('0'))
                                    .arg(i % 60, 2, 10, QLatin1Char('0')));
        QVERIFY(!doc.pageTexts(0).contains(QStringLiteral("Total Servicios:")));

        QVERIFY(DM->TConsumosDeServicios->atEnd());
        QCOMPARE(DM->TConsumosDeServicios->recNo(), count - 1);
        QCOMPARE(DM->TEstadias->recNo(), stayRow);
    }

    // The modal preview opens at whole page, not maximised, with the stored
    // printer settings (every page), and Preview returns when it closes.
    void preview()
    {
        m_db->addConsumption(m_stay, m_service, 2, money("15"), QStringLiteral("2024-03-06 09:00:00"));
        startOnStay();
        DialogAnswers answers;
        bool seen = false;
        whenModalOpens([&](QWidget *modal) {
            auto *p = qobject_cast<ReportPreview *>(modal);
            QVERIFY(p);
            seen = true;
            QCOMPARE(p->pageCount(), 1);
            QCOMPARE(p->zoomMode(), PreviewZoom::WholePage);
            QVERIFY(!p->isMaximized());
            QVERIFY(p->document().pageTexts(0).contains(QStringLiteral("$ 30,00")));
            QCOMPARE(p->printer().copyCount(), 1);
            QCOMPARE(ReportPainter::pagesToPrint(p->printer(), 5, 1), (std::vector<int>{1, 2, 3, 4, 5}));
            QCOMPARE(p->document().printer.duplex, PrinterSettings::Duplex::Simplex);
            QCOMPARE(p->document().printer.paperBin, 0);
        });
        FFactura->Preview();
        QVERIFY(seen);
        QVERIFY(answers.boxes().isEmpty());
        QVERIFY(DM->TConsumosDeServicios->atEnd());
    }

    // An invoice that cannot be produced opens no preview; the caller hears of it.
    void closedCursorIsReported()
    {
        startOnStay();
        DM->TConsumosDeServicios->close();
        bool opened = false;
        QTimer::singleShot(0, this, [&opened] {
            if (QWidget *w = QApplication::activeModalWidget()) {
                opened = true;
                w->close();
            }
        });
        VERIFY_DATA_ERROR(FFactura->Preview(), "TConsumosDeServicios: Cannot perform this operation on a closed dataset");
        QCoreApplication::processEvents();
        QVERIFY(!opened);
    }

    // Every stay of a demonstration hotel prints; REPORT_SAMPLE_DIR keeps the
    // PDFs of one stay without consumptions, one with, and one over many pages.
    void demonstrationInvoicesToPdf()
    {
        QTemporaryDir dir;
        const QString folder = QDir(dir.path()).filePath(QStringLiteral("demo"));
        QDir().mkpath(folder);
        DatabaseFactory::createDemo(QDir(folder).filePath(QStringLiteral("Hotel.db")), QDate(2026, 12, 10));
        start(folder);
        const QString out = qEnvironmentVariable("REPORT_SAMPLE_DIR", dir.path());

        Cursor &stays = *DM->TEstadias;
        QString withLines;
        QString without;
        for (stays.first(); !stays.atEnd(); stays.next()) {
            const int lines = DM->TConsumosDeServicios->recordCount();
            const ReportDocument doc = ReportEngine::produce(FFactura->repFactura);
            QCOMPARE(doc.pageCount(), 1);
            // The stay's data prints in the column header, which an empty invoice leaves out.
            const QString guest = stays.fieldByName(QStringLiteral("Huesped")).asString();
            QCOMPARE(doc.pageTexts(0).contains(guest), lines > 0);
            QString *slot = lines > 0 ? &withLines : &without;
            if (slot->isEmpty()) {
                *slot = QDir(out).filePath(lines > 0 ? QStringLiteral("factura.pdf")
                                                     : QStringLiteral("factura-sin-consumos.pdf"));
                ReportPainter::exportPdf(doc, *slot);
                QVERIFY(QFile::exists(*slot));
            }
        }
        QVERIFY(!withLines.isEmpty());
        QVERIFY(!without.isEmpty());

        // Many lines on the last stay.
        stays.last();
        const qint64 stay = stays.fieldByName(QStringLiteral("IdEstadia")).asInteger();
        Cursor &lines = *DM->TConsumosDeServicios;
        DM->TServicios->first();
        for (int i = 0; i < 75; ++i) {
            lines.append();
            lines.setValue(QStringLiteral("IdServicio"), DM->TServicios->fieldByName(QStringLiteral("IdServicio")).value());
            lines.setValue(QStringLiteral("Cantidad"), 1 + i % 3);
            lines.setValue(QStringLiteral("Precio"), DM->TServicios->fieldByName(QStringLiteral("Precio")).value());
            lines.setValue(QStringLiteral("FechaHora"),
                           DateTimes::make(QDate(2026, 12, 10), QTime(7, 0).addSecs(60 * 7 * i)));
            lines.post();
            DM->TServicios->next();
            if (DM->TServicios->atEnd())
                DM->TServicios->first();
        }
        QCOMPARE(stays.fieldByName(QStringLiteral("IdEstadia")).asInteger(), stay);
        const ReportDocument doc = ReportEngine::produce(FFactura->repFactura);
        QVERIFY(doc.pageCount() >= 3);
        ReportPainter::exportPdf(doc, QDir(out).filePath(QStringLiteral("factura-varias-paginas.pdf")));
    }
};

QTEST_MAIN(TestFactura)
#include "tst_factura.moc"

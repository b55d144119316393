#include "DatePicker.h"
#include "DateTimes.h"
#include "ReportEngine.h"
#include "ReportPainter.h"
#include "ReportPreview.h"
#include "ReportProducer.h"
#include "Startup.h"
#include "TestDatabase.h"
#include "TestSupport.h"
#include "UDM.h"
#include "UElegirDia.h"
#include "UPrincipal.h"
#include "UReportes.h"
#include "WindowTest.h"

#include <QAction>
#include <QApplication>
#include <QMenu>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>

namespace {

const QDateTime Now = DateTimes::make(QDate(2024, 3, 5), QTime(14, 30, 15));
const QDate Day(2014, 4, 10);

QStringList texts(const ReportDocument &doc)
{
    QStringList out;
    for (int p = 0; p < doc.pageCount(); ++p)
        out << doc.pageTexts(p);
    out.removeAll(QString());
    return out;
}

const QStringList Header{"Hotel Velmira", "05/03/2024 14:30:15"};
const QStringList ArrivalColumns{"Llegadas", "Habitación", "Huésped", "DNI", "Días", "Tipo"};
const QStringList DepartureColumns{"Salidas", "Habitación", "Huésped", "Días", "Servicios", "Total Estadía"};

QStringList summary(int taken, int free, int arrivals, int departures)
{
    return {"Resumen",
            "Habitaciones ocupadas esa noche:", QString::number(taken),
            "Habitaciones libres:", QString::number(free),
            "Llegadas:", QString::number(arrivals),
            "Salidas:", QString::number(departures)};
}

} // namespace

// The day's arrivals and departures over a real file: which stays each part
// takes, the totals, the empty day, and the road from the menu.
class TestLlegadasSalidas : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<TestDatabase> m_db;

    ReportDocument produce(QDate day)
    {
        ReportProducer producer(FReportes->LlegadasSalidas(day), ReportEngine::measurer());
        producer.setNow(Now);
        return producer.produce();
    }

private slots:
    void initTestCase() { Startup::configure(*static_cast<QApplication *>(QCoreApplication::instance())); }

    void init()
    {
        m_db = std::make_unique<TestDatabase>();
        const qint64 doble = m_db->addRoomType(QStringLiteral("Doble"), money("100"));
        const qint64 suite = m_db->addRoomType(QStringLiteral("Suite"), money("250"));
        QList<qint64> rooms;
        for (int i = 1; i <= 8; ++i)
            rooms << m_db->addRoom(QString::number(100 + i), i == 2 ? suite : doble);
        auto guest = [&](const char *name, const char *dni) {
            return m_db->addGuest(QString::fromUtf8(name), QString::fromLatin1(dni));
        };
        auto stay = [&](const char *name, const char *dni, int room, const char *in, const char *out, const char *state) {
            return m_db->addStay(guest(name, dni), rooms[room - 101], QString::fromLatin1(in), QString::fromLatin1(out),
                                 QString::fromLatin1(state), money("100"));
        };
        const qint64 cafe = m_db->addService(QStringLiteral("Café"), money("15"));
        const qint64 cena = m_db->addService(QStringLiteral("Cena"), money("40.5"));
        // In file order unlike room order, so the listing must sort.
        stay("Beto Ruiz", "30111222", 102, "2014-04-10", "2014-04-11", "Ocupada");
        stay("Ana Paz", "20111222", 101, "2014-04-10", "2014-04-12", "Reservada");
        const qint64 carla = stay("Carla Sosa", "40111222", 103, "2014-04-06", "2014-04-10", "Ocupada");
        m_db->addConsumption(carla, cafe, 2, money("15"), QStringLiteral("2014-04-07 09:00:00"));
        m_db->addConsumption(carla, cena, 1, money("40.5"), QStringLiteral("2014-04-08 21:00:00"));
        // Arrives and leaves the same day.
        stay("Dora Lis", "50111222", 104, "2014-04-10", "2014-04-10", "Ocupada");
        // Began before, leaves after: neither part, but the room is taken.
        stay("Eva Gil", "60111222", 105, "2014-04-08", "2014-04-14", "Ocupada");
        // No longer holds its room.
        stay("Fede Paz", "70111222", 106, "2014-04-10", "2014-04-15", "Finalizada");
        // Invoiced: not a departure, yet its day still counts as taken.
        stay("Gabi Rey", "80111222", 107, "2014-04-05", "2014-04-10", "Facturada");
        // Left the day before.
        stay("Hugo Sanz", "90111222", 108, "2014-04-01", "2014-04-09", "Ocupada");
        // A reservation whose last day it is does not leave: it never came.
        stay("Inés Vaz", "11111222", 108, "2014-04-20", "2014-04-22", "Reservada");
        Startup::createAll(m_db->target());
        Regional::setSettings(spanishSettings());
    }

    void cleanup()
    {
        Startup::destroyAll();
        m_db.reset();
    }

    void theDaysParts_data()
    {
        QTest::addColumn<QDate>("day");
        QTest::addColumn<QStringList>("expected");

        QTest::newRow("a busy day")
            << Day
            << Header + QStringList{"Llegadas y Salidas del 10/04/2014"} + ArrivalColumns
                   + QStringList{"101", "Ana Paz", "20111222", "3", "Doble",      //
                                 "102", "Beto Ruiz", "30111222", "2", "Suite",    //
                                 "104", "Dora Lis", "50111222", "1", "Doble"}
                   + DepartureColumns
                   + QStringList{"103", "Carla Sosa", "5", "$ 70,50", "$ 500,00", //
                                 "104", "Dora Lis", "1", "$ 0,00", "$ 100,00"}
                   + summary(6, 2, 3, 2);
        QTest::newRow("an empty day")
            << QDate(2014, 5, 20)
            << Header
                   + QStringList{"Llegadas y Salidas del 20/05/2014", "Llegadas", "No hay llegadas en este día.",
                                 "Salidas", "No hay salidas en este día."}
                   + summary(0, 8, 0, 0);
        QTest::newRow("arrivals only")
            << QDate(2014, 4, 20)
            << Header + QStringList{"Llegadas y Salidas del 20/04/2014"} + ArrivalColumns
                   + QStringList{"108", "Inés Vaz", "11111222", "3", "Doble", "Salidas", "No hay salidas en este día."}
                   + summary(1, 7, 1, 0);
    }

    void theDaysParts()
    {
        QFETCH(QDate, day);
        QFETCH(QStringList, expected);
        const ReportDocument doc = produce(day);
        QCOMPARE(doc.title, QStringLiteral("Llegadas y Salidas del ") + day.toString(QStringLiteral("dd/MM/yyyy")));
        QCOMPARE(doc.pageCount(), 1);
        QCOMPARE(texts(doc), expected);
        // Portrait A4, as every listing.
        QCOMPARE(doc.pages[0].width, 21000);
        QCOMPARE(doc.pages[0].height, 29700);
    }

    // Parts one below the other, and a long day's parts running over pages with
    // their columns' titles on top.
    void manyArrivalsRunOverPages()
    {
        const qint64 type = m_db->scalar(QStringLiteral("SELECT min(IdTipo) FROM TiposDeHabitacion")).toLongLong();
        const qint64 guest = m_db->addGuest(QStringLiteral("Grupo"), QStringLiteral("1"));
        for (int i = 0; i < 60; ++i) {
            const qint64 room = m_db->addRoom(QString::number(500 + i), type, 5);
            m_db->addStay(guest, room, QStringLiteral("2014-06-01"), QStringLiteral("2014-06-03"),
                          QStringLiteral("Reservada"));
        }
        const ReportDocument doc = produce(QDate(2014, 6, 1));
        QCOMPARE(doc.pageCount(), 2);
        const QStringList second = doc.pageTexts(1);
        QCOMPARE(second.mid(0, 5), ArrivalColumns.mid(1));
        QVERIFY(second.contains(QStringLiteral("559")));
        QVERIFY(second.contains(QStringLiteral("No hay salidas en este día.")));
        const QStringList all = texts(doc);
        QCOMPARE(all.count(QStringLiteral("Grupo")), 60);
        QCOMPARE(all.mid(all.size() - 9), summary(60, 8, 60, 0));
    }

    // From the menu: the day is asked first (today by default), then the
    // preview shows the document; cancelling shows nothing.
    void fromTheMenu()
    {
        const QList<QAction *> items = FPrincipal->MainMenu1Reportes->actions();
        QCOMPARE(items.size(), 3);
        QCOMPARE(items[2]->text(), QStringLiteral("Llegadas y Salidas"));

        QString title;
        int pages = 0;
        whenModalOpens([&](QWidget *modal) {
            QCOMPARE(modal, static_cast<QWidget *>(FElegirDia));
            QCOMPARE(FElegirDia->windowTitle(), QStringLiteral("Llegadas y Salidas"));
            QCOMPARE(FElegirDia->dtpDia->date().date(), DateTimes::today());
            FElegirDia->dtpDia->setDate(DateTimes::make(Day));
            whenModalOpens([&](QWidget *preview) {
                auto *p = qobject_cast<ReportPreview *>(preview);
                QVERIFY(p);
                title = p->document().title;
                pages = p->pageCount();
            });
            FElegirDia->btAceptar->click();
        });
        items[2]->trigger();
        QCOMPARE(title, QStringLiteral("Llegadas y Salidas del 10/04/2014"));
        QCOMPARE(pages, 1);

        bool previewed = false;
        whenModalOpens([&](QWidget *) {
            whenModalOpens([&](QWidget *) { previewed = true; });
            // Each opening starts on today again.
            QCOMPARE(FElegirDia->dtpDia->date().date(), DateTimes::today());
            FElegirDia->btCancelar->click();
        });
        items[2]->trigger();
        QTest::qWait(20);
        QVERIFY(!previewed);
    }

    // The document prints to PDF like every other.
    void pdf()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("llegadas.pdf"));
        ReportPainter::exportPdf(produce(Day), path);
        QFile file(path);
        QVERIFY(file.open(QIODevice::ReadOnly));
        QVERIFY(file.read(5) == "%PDF-");
        QVERIFY(file.size() > 1000);
    }
};

QTEST_MAIN(TestLlegadasSalidas)
#include "tst_llegadassalidas.moc"

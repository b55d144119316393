#include "BenchSupport.h"
#include "DataError.h"
#include "DatabaseFactory.h"
#include "DateTimes.h"
#include "ReportEngine.h"
#include "ReportPainter.h"
#include "Startup.h"
#include "UDM.h"
#include "UReporteFactura.h"
#include "UReportes.h"
#include "ReportPreview.h"

#include <QApplication>
#include <QDir>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QTimer>
#include <QUuid>

#include <map>
#include <memory>

#include <benchmark/benchmark.h>

// The invoice of a stay with many consumptions and the rooms listing of a hotel
// with many rooms: laid out into a document, shown in the preview up to its
// first painted page, and written as PDF. Each should grow linearly with the
// lines.

namespace {

QTemporaryDir *g_dir = nullptr;
// The stay with n consumptions, by n.
QHash<qint64, qint64> g_stays;

// A file with one guest, one room and one stay per size, each with that many
// consumptions of ten services, a minute apart.
void createDatabase(const QString &folder, const QList<int> &sizes)
{
    const QString path = QDir(folder).filePath(QStringLiteral("Hotel.db"));
    DatabaseFactory::createEmpty(path);
    const QString name = QUuid::createUuid().toString();
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), name);
        db.setDatabaseName(path);
        if (!db.open())
            throw DataError(QStringLiteral("cannot open %1").arg(path));
        QSqlQuery q(db);
        auto run = [&q](const QString &sql, const QVariantList &values = {}) {
            q.prepare(sql);
            for (const QVariant &v : values)
                q.addBindValue(v);
            if (!q.exec())
                throw DataError(sql);
            return q.lastInsertId().toLongLong();
        };
        db.transaction();
        const qint64 guest = run(QStringLiteral("INSERT INTO Huespedes (Nombre) VALUES ('María José Fernández')"));
        const qint64 type = run(QStringLiteral("INSERT INTO TiposDeHabitacion (Nombre, Precio) VALUES ('Doble', ?)"),
                                {qlonglong(1200000)});
        QList<qint64> services;
        for (int s = 0; s < 10; ++s)
            services << run(QStringLiteral("INSERT INTO Servicios (Nombre, Precio) VALUES (?, ?)"),
                            {QStringLiteral("Servicio de habitación %1").arg(s), qlonglong(15000 * (s + 1))});
        int room = 100;
        for (int n : sizes) {
            const qint64 roomId = run(QStringLiteral("INSERT INTO Habitaciones (NroHabitacion, Piso, Vista, IdTipo) "
                                                     "VALUES (?, 1, 'Mar', ?)"),
                                      {QString::number(++room), type});
            const qint64 stay = run(QStringLiteral("INSERT INTO Estadias (IdHuesped, IdHabitacion, FechaIngreso, "
                                                   "FechaEgreso, Estado, Dias, PrecioDiario, PrecioFinal) VALUES (?, ?, "
                                                   "'2024-03-01 00:00:00', '2024-03-31 00:00:00', 'Ocupada', 31, "
                                                   "1200000, 37200000)"),
                                    {guest, roomId});
            const QDateTime start = DateTimes::make(QDate(2024, 3, 1), QTime(7, 0));
            for (int i = 0; i < n; ++i)
                run(QStringLiteral("INSERT INTO ConsumoDeServicios (IdEstadia, IdServicio, Cantidad, Precio, FechaHora) "
                                   "VALUES (?, ?, ?, ?, ?)"),
                    {stay, services[i % 10], 1 + i % 3, qlonglong(15000 * (i % 10 + 1)),
                     DateTimes::toCanonical(start.addSecs(60 * i))});
            g_stays.insert(n, stay);
        }
        db.commit();
    }
    QSqlDatabase::removeDatabase(name);
}

void useStay(benchmark::State &state)
{
    if (!DM->TEstadias->locate(QStringLiteral("IdEstadia"), g_stays.value(state.range(0))))
        state.SkipWithError("stay not found");
}

void BM_InvoiceLayout(benchmark::State &state)
{
    useStay(state);
    int pages = 0;
    for (auto _ : state) {
        const ReportDocument doc = ReportEngine::produce(FFactura->repFactura);
        pages = doc.pageCount();
        benchmark::DoNotOptimize(pages);
    }
    state.counters["pages"] = pages;
    state.SetComplexityN(state.range(0));
    state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_InvoiceLayout)->Arg(1000)->Arg(2000)->Unit(benchmark::kMillisecond)->Complexity(benchmark::oN);

void BM_InvoiceToPdf(benchmark::State &state)
{
    useStay(state);
    const QString path = QDir(g_dir->path()).filePath(QStringLiteral("factura.pdf"));
    for (auto _ : state) {
        const ReportDocument doc = ReportEngine::produce(FFactura->repFactura);
        ReportPainter::exportPdf(doc, path);
    }
    state.counters["kB"] = double(QFileInfo(path).size()) / 1024.0;
    state.SetComplexityN(state.range(0));
    state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_InvoiceToPdf)->Arg(1000)->Arg(2000)->Unit(benchmark::kMillisecond)->Complexity(benchmark::oN);

// The preview from the holder's entry point: the document produced, the modal
// preview opened and its first page painted, then closed.
template<typename Open> int previewFirstPage(Open &&open)
{
    int painted = 0;
    QTimer::singleShot(0, [&painted] {
        auto *preview = qobject_cast<ReportPreview *>(QApplication::activeModalWidget());
        if (!preview)
            return;
        settle();
        const std::vector<int> &pages = preview->lastPaintedPages();
        painted = pages.empty() ? 0 : pages.front();
        preview->close();
    });
    open();
    return painted;
}

void BM_InvoicePreview(benchmark::State &state)
{
    useStay(state);
    int firstPainted = 0;
    for (auto _ : state)
        firstPainted = previewFirstPage([] { FFactura->Preview(nullptr); });
    state.counters["first painted page"] = firstPainted;
    state.SetComplexityN(state.range(0));
}
BENCHMARK(BM_InvoicePreview)->Arg(1000)->Arg(2000)->Unit(benchmark::kMillisecond)->Complexity(benchmark::oN);

// A hotel of n rooms and no stays, with its own data module and listings
// holder; kept for the run.
struct RoomsHotel
{
    std::unique_ptr<TDM> dm;
    std::unique_ptr<TFReportes> holder;
};

// The holders reach the data module through the global pointer.
class UseModule
{
public:
    explicit UseModule(TDM *dm) : m_saved(DM) { DM = dm; }
    ~UseModule() { DM = m_saved; }
    UseModule(const UseModule &) = delete;
    UseModule &operator=(const UseModule &) = delete;

private:
    TDM *m_saved;
};

// Emptied before the application ends.
std::map<int, RoomsHotel> g_hotels;

RoomsHotel &roomsHotel(int rooms)
{
    auto it = g_hotels.find(rooms);
    if (it != g_hotels.end())
        return it->second;
    const QString folder = QDir(g_dir->path()).filePath(QStringLiteral("rooms-%1").arg(rooms));
    QDir().mkpath(folder);
    DatabaseFactory::LargeOptions options;
    options.today = QDate(2026, 12, 1);
    options.rooms = rooms;
    options.guests = 1;
    options.stays = 0;
    options.consumptions = 0;
    DatabaseFactory::createLarge(QDir(folder).filePath(QStringLiteral("Hotel.db")), options);
    RoomsHotel hotel;
    hotel.dm = std::make_unique<TDM>(folder);
    hotel.dm->DataModuleCreate();
    UseModule use(hotel.dm.get());
    hotel.holder = std::make_unique<TFReportes>();
    return g_hotels.emplace(rooms, std::move(hotel)).first->second;
}

// The query of the listing, run afresh as the menu item does.
void BM_RoomsListingQuery(benchmark::State &state)
{
    RoomsHotel &hotel = roomsHotel(int(state.range(0)));
    for (auto _ : state) {
        hotel.dm->QHabitacionesPorTipo->close();
        hotel.dm->QHabitacionesPorTipo->open();
    }
    state.counters["rows"] = hotel.dm->QHabitacionesPorTipo->recordCount();
    state.SetComplexityN(state.range(0));
}
BENCHMARK(BM_RoomsListingQuery)->Arg(2000)->Arg(4000)->Unit(benchmark::kMillisecond)->Complexity(benchmark::oN);

// Layout alone, over the rows already fetched.
void BM_RoomsListingLayout(benchmark::State &state)
{
    RoomsHotel &hotel = roomsHotel(int(state.range(0)));
    hotel.dm->QHabitacionesPorTipo->close();
    hotel.dm->QHabitacionesPorTipo->open();
    int pages = 0;
    for (auto _ : state)
        pages = ReportEngine::produce(hotel.holder->repHabitaciones).pageCount();
    state.counters["pages"] = pages;
    state.SetComplexityN(state.range(0));
    state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_RoomsListingLayout)->Arg(2000)->Arg(4000)->Unit(benchmark::kMillisecond)->Complexity(benchmark::oN);

// The menu item's work: the query run afresh, the listing laid out and shown
// in the preview up to its first painted page.
void BM_RoomsListingPreview(benchmark::State &state)
{
    RoomsHotel &hotel = roomsHotel(int(state.range(0)));
    UseModule use(hotel.dm.get());
    int firstPainted = 0;
    for (auto _ : state) {
        firstPainted = previewFirstPage([&hotel] {
            hotel.dm->QHabitacionesPorTipo->close();
            hotel.dm->QHabitacionesPorTipo->open();
            hotel.holder->PreviewHabitaciones(nullptr);
        });
    }
    state.counters["first painted page"] = firstPainted;
    state.SetComplexityN(state.range(0));
}
BENCHMARK(BM_RoomsListingPreview)->Arg(2000)->Arg(4000)->Unit(benchmark::kMillisecond)->Complexity(benchmark::oN);

// Layout and PDF, over the rows already fetched.
void BM_RoomsListingToPdf(benchmark::State &state)
{
    RoomsHotel &hotel = roomsHotel(int(state.range(0)));
    hotel.dm->QHabitacionesPorTipo->close();
    hotel.dm->QHabitacionesPorTipo->open();
    const QString path = QDir(g_dir->path()).filePath(QStringLiteral("habitaciones.pdf"));
    for (auto _ : state)
        ReportPainter::exportPdf(ReportEngine::produce(hotel.holder->repHabitaciones), path);
    state.counters["kB"] = double(QFileInfo(path).size()) / 1024.0;
    state.SetComplexityN(state.range(0));
    state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_RoomsListingToPdf)->Arg(2000)->Arg(4000)->Unit(benchmark::kMillisecond)->Complexity(benchmark::oN);

} // namespace

int main(int argc, char **argv)
{
    QTemporaryDir dir;
    g_dir = &dir;
    return runWindowBenchmarks(
        argc, argv,
        [&dir] {
            createDatabase(dir.path(), {1000, 2000});
            DM = new TDM(dir.path());
            DM->DataModuleCreate();
            FFactura = new TFFactura();
        },
        [] {
            g_hotels.clear();
            delete FFactura;
            delete DM;
        });
}

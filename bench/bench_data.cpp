#include "BenchDatabase.h"
#include "DataError.h"
#include "Database.h"
#include "DatabaseTarget.h"
#include "DatabaseFactory.h"
#include "UDM.h"

#include <QCoreApplication>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QUuid>

#include <benchmark/benchmark.h>

// The data module over the large database: opening it, and the operations whose
// speed a user feels. Each is measured beside a baseline in the same run.

namespace {

QString g_folder;

// Opened once for the benchmarks that work on open cursors.
TDM &sharedModule()
{
    static TDM *dm = [] {
        auto *m = new TDM(g_folder);
        m->DataModuleCreate();
        return m;
    }();
    return *dm;
}

// Baseline: the six tables read with SELECT * through the same driver, every
// value of every row fetched, nothing kept.
void BM_PlainReadSixTables(benchmark::State &state)
{
    Database db(QUuid::createUuid().toString());
    db.open(benchTarget(g_folder));
    qint64 values = 0;
    for (auto _ : state) {
        for (const char *table : {"Huespedes", "TiposDeHabitacion", "Habitaciones", "Servicios", "Estadias",
                                  "ConsumoDeServicios"}) {
            QSqlQuery q = db.prepare(QStringLiteral("SELECT * FROM %1").arg(QLatin1String(table)));
            db.exec(q);
            const int columns = q.record().count();
            while (q.next()) {
                for (int i = 0; i < columns; ++i) {
                    QVariant v = q.value(i);
                    benchmark::DoNotOptimize(v);
                    ++values;
                }
            }
        }
    }
    state.counters["values"] = double(values) / double(state.iterations());
}
BENCHMARK(BM_PlainReadSixTables)->Unit(benchmark::kMillisecond)->Iterations(3);

// The floor: the SQLite C API stepping every row and reading every column of
// the six tables, nothing kept.
void BM_RawReadSixTables(benchmark::State &state)
{
    qint64 values = 0;
    for (auto _ : state) {
        const qint64 read = rawReadSixTables(g_folder);
        if (read < 0) {
            state.SkipWithError("the raw read is of a file");
            break;
        }
        values += read;
    }
    state.counters["values"] = benchmark::Counter(double(values), benchmark::Counter::kAvgIterations);
}
BENCHMARK(BM_RawReadSixTables)->Unit(benchmark::kMillisecond)->Iterations(3);

// Start-up of the data module: the connection and the six table cursors.
void BM_OpenSixCursors(benchmark::State &state)
{
    for (auto _ : state) {
        auto dm = std::make_unique<TDM>(g_folder);
        dm->DataModuleCreate();
        benchmark::DoNotOptimize(dm->TEstadias->recordCount());
        state.PauseTiming();
        dm.reset();
        state.ResumeTiming();
    }
}
BENCHMARK(BM_OpenSixCursors)->Unit(benchmark::kMillisecond)->Iterations(3);

// A keystroke in the guests window's name filter: the new filter text applied.
void BM_GuestFilterChange(benchmark::State &state)
{
    TableCursor &guests = *sharedModule().THuespedes;
    const QString surname = DatabaseFactory::commonSurname();
    const QStringList fragments = {surname.left(3), surname.left(4), QStringLiteral("ar"), QStringLiteral("mar"),
                                   QStringLiteral("o'b")};
    qsizetype i = 0;
    qint64 shown = 0;
    for (auto _ : state) {
        const QString text = fragments[i++ % fragments.size()];
        QString quoted = text;
        quoted.replace(u'\'', QStringLiteral("''"));
        guests.setFilter(QStringLiteral("Nombre LIKE '*") + quoted + QStringLiteral("*'"));
        guests.setFiltered(true);
        shown += guests.recordCount();
    }
    state.counters["rows shown"] = double(shown) / double(state.iterations());
    guests.setFiltered(false);
    state.counters["guests"] = double(guests.recordCount());
}
BENCHMARK(BM_GuestFilterChange)->Unit(benchmark::kMillisecond);

// Moving through 1,000 stays, the consumptions (the detail) following each move.
void BM_DetailMove1000(benchmark::State &state)
{
    TableCursor &stays = *sharedModule().TEstadias;
    TableCursor &consumptions = *sharedModule().TConsumosDeServicios;
    qint64 detailRows = 0;
    for (auto _ : state) {
        stays.first();
        for (int i = 0; i < 1000; ++i) {
            stays.next();
            detailRows += consumptions.recordCount();
        }
    }
    state.counters["detail rows per move"] = double(detailRows) / double(state.iterations()) / 1000.0;
}
BENCHMARK(BM_DetailMove1000)->Unit(benchmark::kMillisecond);

// The booking dialog's availability query for one room type over a week.
void BM_AvailabilityQuery(benchmark::State &state)
{
    QueryCursor &q = *sharedModule().QHabitacionesOcupadas;
    const QDate from(2026, 12, 10);
    qint64 type = 1;
    qint64 rows = 0;
    for (auto _ : state) {
        q.close();
        q.setParameter(QStringLiteral("FechaIni"), from);
        q.setParameter(QStringLiteral("FechaFin"), from.addDays(6));
        q.setParameter(QStringLiteral("IdTipoHab"), type);
        q.open();
        for (q.first(); !q.atEnd(); q.next())
            ++rows;
        q.close();
        type = type % 5 + 1;
    }
    state.counters["rows"] = double(rows) / double(state.iterations());
}
BENCHMARK(BM_AvailabilityQuery)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    try {
        g_folder = benchDatabaseFolder(benchScale());
        sharedModule(); // opened before any timing starts
    } catch (const DataError &e) {
        fprintf(stderr, "%s\n", e.what());
        return 1;
    }
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}

#include "DataError.h"
#include "DatabaseFactory.h"
#include "DateTimes.h"
#include "ReportEngine.h"
#include "ReportPainter.h"
#include "Startup.h"
#include "UDM.h"
#include "UReporteFactura.h"

#include <QApplication>
#include <QDir>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QUuid>

#include <benchmark/benchmark.h>

// The invoice of a stay with many consumptions: laid out into a document, and
// laid out and written as PDF. Layout should grow linearly with the lines.

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

} // namespace

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    Startup::configure(app);
    benchmark::Initialize(&argc, argv);
    QTemporaryDir dir;
    g_dir = &dir;
    try {
        createDatabase(dir.path(), {1000, 2000});
        DM = new TDM(dir.path());
        DM->DataModuleCreate();
        FFactura = new TFFactura();
    } catch (const DataError &e) {
        fprintf(stderr, "%s\n", e.what());
        return 1;
    }
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    delete FFactura;
    delete DM;
    return 0;
}

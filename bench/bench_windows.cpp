#include "BenchDatabase.h"
#include "BenchSupport.h"
#include "Cursor.h"
#include "DataError.h"
#include "DataGrid.h"
#include "DatePicker.h"
#include "DateTimes.h"
#include "DatabaseFactory.h"
#include "DatabaseTarget.h"
#include "LookupCombo.h"
#include "LookupList.h"
#include "PlannerGrid.h"
#include "Startup.h"
#include "UBusquedaHabitacion.h"
#include "UConsultas.h"
#include "UDM.h"
#include "UEstadias.h"
#include "UHuespedes.h"
#include "UPlanillaOcupacion.h"
#include "UPrincipal.h"
#include "UReportes.h"
#include "ReportEngine.h"
#include "UReservas.h"

#include <QApplication>
#include <QComboBox>
#include <QElapsedTimer>
#include <QFile>
#include <QLineEdit>
#include <QListWidget>
#include <QProcess>
#include <QPushButton>
#include <QScrollBar>
#include <QSqlQuery>
#include <QTest>
#include <QTimer>

#include <benchmark/benchmark.h>

#include <cstring>

// What a user waits for in the windows, on the large database: each operation
// driven through the real controls and followed by the paint it causes, beside
// the cursor work alone as its baseline.

namespace {

QString g_folder;

constexpr const char *StartUpMemoryOption = "--start-up-memory";

// Counts the paint events a widget receives, so that a benchmark can show that
// the repaint it means to measure did happen.
class PaintCounter : public QObject
{
public:
    explicit PaintCounter(QWidget *w) : m_widget(w) { w->installEventFilter(this); }
    ~PaintCounter() override
    {
        if (m_widget)
            m_widget->removeEventFilter(this);
    }
    qint64 count = 0;

protected:
    bool eventFilter(QObject *, QEvent *event) override
    {
        if (event->type() == QEvent::Paint)
            ++count;
        return false;
    }

private:
    QPointer<QWidget> m_widget;
};

// The program as started by its main block, created once for every benchmark
// after the start-up one.
void ensureProgram()
{
    if (FPrincipal)
        return;
    Startup::createAll(g_folder);
    FPrincipal->show();
    settle();
}

// Shows a window without a modal loop, as the user has it in front of them.
void showWindow(QWidget *w)
{
    w->show();
    w->activateWindow();
    settle();
}

void hideWindow(QWidget *w)
{
    w->hide();
    settle();
}

// A count over the run, shown per iteration.
benchmark::Counter perIteration(qint64 count)
{
    return benchmark::Counter(double(count), benchmark::Counter::kAvgIterations);
}

// The guests window shown with its grid focused on the first guest, as the
// grid benchmarks start.
DataGrid *guestsGridAtTop()
{
    ensureProgram();
    showWindow(FHuespedes);
    DataGrid *grid = FHuespedes->DBGrid1;
    grid->setFocus();
    DM->THuespedes->first();
    settle();
    return grid;
}

// Calls `opener` (which runs a modal window), and inside the modal loop lets
// the window be laid out and painted, then closes it: the time from the menu choice to a painted
// window and back.
template<typename Open> void openAndClose(FormWindow *window, Open &&opener)
{
    QTimer::singleShot(0, window, [window] {
        settle();
        window->close();
    });
    opener();
}

// How the connection keeps the file's pages: as the program opens it (the
// engine's default page cache of about 2 MB), with a page cache of 64 MiB, or
// with the file mapped into memory. Benchmarks with the argument measure what
// the last two would change.
enum class PageCache { Default = 0, Large = 1, Mapped = 2 };

// False on a server, whose pages are its own: only the default applies there.
bool setPageCache(Database &db, PageCache cache)
{
    if (db.engine().isServer())
        return cache == PageCache::Default;
    const char *statements[] = {"PRAGMA cache_size = -2000", "PRAGMA mmap_size = 0"};
    if (cache == PageCache::Large)
        statements[0] = "PRAGMA cache_size = -65536";
    if (cache == PageCache::Mapped)
        statements[1] = "PRAGMA mmap_size = 268435456";
    for (const char *sql : statements) {
        QSqlQuery q = db.prepare(QString::fromLatin1(sql));
        db.exec(q);
    }
    return true;
}

// Sets the page cache a benchmark asks for; false, the benchmark skipped,
// where the database cannot have it.
bool pageCacheFor(benchmark::State &state, Database &db)
{
    if (setPageCache(db, PageCache(state.range(0))))
        return true;
    state.SkipWithError("a server keeps its own page cache");
    return false;
}

// ---- start-up -----------------------------------------------------------------

// Baseline: the data module alone, the connection and the six table cursors
// (in DataModuleCreate's order, the page cache set between the two).
void BM_OpenSixCursors(benchmark::State &state)
{
    const auto cache = PageCache(state.range(0));
    for (auto _ : state) {
        auto dm = std::make_unique<TDM>(g_folder);
        dm->Cnx.open(benchTarget(g_folder));
        if (!setPageCache(dm->Cnx, cache)) {
            state.SkipWithError("a server keeps its own page cache");
            break;
        }
        for (Cursor *c : {static_cast<Cursor *>(dm->THuespedes), static_cast<Cursor *>(dm->TTiposDeHabitacion),
                          static_cast<Cursor *>(dm->THabitaciones), static_cast<Cursor *>(dm->TServicios),
                          static_cast<Cursor *>(dm->TEstadias), static_cast<Cursor *>(dm->TConsumosDeServicios)})
            c->open();
        benchmark::DoNotOptimize(dm->TConsumosDeServicios->recordCount());
        state.PauseTiming();
        dm.reset();
        state.ResumeTiming();
    }
}
BENCHMARK(BM_OpenSixCursors)->DenseRange(0, 2)->ArgName("cache")->Unit(benchmark::kMillisecond)->Iterations(3);

// Baseline of start-up: the SQLite C API stepping every row and reading every
// column of the six tables, nothing kept.
void BM_RawReadSixTables(benchmark::State &state)
{
    qint64 values = 0;
    for (auto _ : state) {
        const qint64 read = rawReadSixTables(g_folder);
        if (read < 0) {
            state.SkipWithError("the raw read is of a file; on a server, compare BM_StartUp with the file's");
            break;
        }
        values += read;
    }
    state.counters["values"] = perIteration(values);
}
BENCHMARK(BM_RawReadSixTables)->Unit(benchmark::kMillisecond)->Iterations(3);

// Start-up as the main block does it: data module, main window, every other
// window hidden, until the main window has been painted. The first start of a
// day also copies the file into copias/ (once a day, a cost of the file's size):
// it is timed apart, and the starts measured find the day's copy made.
void BM_StartUp(benchmark::State &state)
{
    QElapsedTimer first;
    first.start();
    Startup::createAll(g_folder);
    FPrincipal->show();
    settle();
    state.counters["first start ms"] = double(first.nsecsElapsed()) / 1e6;
    Startup::destroyAll();
    settle();
    qint64 paints = 0;
    for (auto _ : state) {
        Startup::createAll(g_folder);
        PaintCounter counter(FPrincipal->centralWidget());
        FPrincipal->show();
        settle();
        paints += counter.count;
        state.PauseTiming();
        Startup::destroyAll();
        settle();
        state.ResumeTiming();
    }
    state.counters["paints"] = perIteration(paints);
}
BENCHMARK(BM_StartUp)->Unit(benchmark::kMillisecond)->Iterations(3);

// The program's peak resident memory once started, beside the file's size:
// each iteration starts this benchmark program again as a fresh process that
// does the start-up alone and reports its peak (VmHWM).
void BM_StartUpPeakMemory(benchmark::State &state)
{
    double peak = 0;
    for (auto _ : state) {
        QProcess child;
        child.start(QCoreApplication::applicationFilePath(), {QString::fromLatin1(StartUpMemoryOption)});
        if (!child.waitForFinished(600000) || child.exitCode() != 0) {
            state.SkipWithError("the start-up process failed");
            return;
        }
        const double bytes = child.readAllStandardOutput().trimmed().toDouble();
        if (bytes <= 0) {
            state.SkipWithError("the start-up process gave no figure");
            return;
        }
        peak = std::max(peak, bytes);
    }
    const double file = double(benchDatabaseSize(g_folder));
    state.counters["peak MB"] = peak / 1e6;
    state.counters["file MB"] = file / 1e6;
    state.counters["peak/file"] = peak / file;
}
BENCHMARK(BM_StartUpPeakMemory)->Unit(benchmark::kMillisecond)->Iterations(3);

// ---- guests -----------------------------------------------------------------

QStringList filterFragments()
{
    const QString surname = DatabaseFactory::commonSurname();
    return {surname.left(3), surname.left(4), QStringLiteral("ar"), QStringLiteral("mar"), QStringLiteral("o'b")};
}

// Baseline: the guests cursor's name filter alone.
void BM_GuestFilterCursor(benchmark::State &state)
{
    ensureProgram();
    Cursor &guests = *DM->THuespedes;
    const QStringList fragments = filterFragments();
    qsizetype i = 0;
    for (auto _ : state) {
        QString literal = fragments[i++ % fragments.size()];
        literal.replace(u'\'', QStringLiteral("''"));
        guests.setFilter(QStringLiteral("Nombre LIKE '*") + literal + QStringLiteral("*'"));
        guests.setFiltered(true);
    }
    guests.setFiltered(false);
}
BENCHMARK(BM_GuestFilterCursor)->Unit(benchmark::kMillisecond);

// A keystroke in the guests window's filter box, the grid repainted.
void BM_GuestFilterKeystroke(benchmark::State &state)
{
    ensureProgram();
    showWindow(FHuespedes);
    PaintCounter counter(FHuespedes->DBGrid1->viewport());
    const QStringList fragments = filterFragments();
    qsizetype i = 0;
    qint64 shown = 0;
    for (auto _ : state) {
        // Each text differs from the one before by what a keystroke changes.
        FHuespedes->edFiltro->setText(fragments[i++ % fragments.size()]);
        settle();
        shown += FHuespedes->DBGrid1->rowCount();
    }
    state.counters["rows shown"] = perIteration(shown);
    state.counters["paints"] = perIteration(counter.count);
    FHuespedes->edFiltro->clear();
    hideWindow(FHuespedes);
}
BENCHMARK(BM_GuestFilterKeystroke)->Unit(benchmark::kMillisecond);

// Scrolling the guests grid over all guests, a page at a time (Page Down),
// the grid repainted after each page; one iteration is one page.
void BM_GuestGridPageDown(benchmark::State &state)
{
    DataGrid *grid = guestsGridAtTop();
    Cursor &guests = *DM->THuespedes;
    PaintCounter counter(grid->viewport());
    qint64 wraps = 0;
    for (auto _ : state) {
        if (guests.atEnd()) {
            state.PauseTiming();
            guests.first();
            settle();
            ++wraps;
            state.ResumeTiming();
        }
        QTest::keyClick(grid, Qt::Key_PageDown);
        settle();
    }
    state.counters["guests"] = guests.recordCount();
    state.counters["rows per page"] = grid->visibleRowCount();
    state.counters["paints"] = perIteration(counter.count);
    state.counters["passes"] = double(wraps);
    hideWindow(FHuespedes);
}
BENCHMARK(BM_GuestGridPageDown)->Unit(benchmark::kMillisecond)->MinTime(2.0);

// Dragging the grid's scroll bar from top to bottom in 100 steps, the grid
// repainted at each; one iteration is one step.
void BM_GuestGridScrollBar(benchmark::State &state)
{
    DataGrid *grid = guestsGridAtTop();
    QScrollBar *bar = grid->verticalScrollBar();
    PaintCounter counter(grid->viewport());
    int step = 0;
    for (auto _ : state) {
        bar->setValue(int(qint64(bar->maximum()) * (step++ % 101) / 100));
        settle();
    }
    state.counters["paints"] = perIteration(counter.count);
    hideWindow(FHuespedes);
}
BENCHMARK(BM_GuestGridScrollBar)->Unit(benchmark::kMillisecond);

// Ctrl+End and back with Ctrl+Home in the guests grid: the last guest and then
// the first shown, the grid repainted each time; one iteration is both jumps.
void BM_GuestGridEndHome(benchmark::State &state)
{
    DataGrid *grid = guestsGridAtTop();
    Cursor &guests = *DM->THuespedes;
    PaintCounter counter(grid->viewport());
    int wrong = 0;
    for (auto _ : state) {
        QTest::keyClick(grid, Qt::Key_End, Qt::ControlModifier);
        settle();
        wrong += guests.recNo() != guests.recordCount() - 1;
        QTest::keyClick(grid, Qt::Key_Home, Qt::ControlModifier);
        settle();
        wrong += guests.recNo() != 0;
    }
    state.counters["paints"] = perIteration(counter.count);
    state.counters["wrong"] = wrong;
    hideWindow(FHuespedes);
}
BENCHMARK(BM_GuestGridEndHome)->Unit(benchmark::kMillisecond);

// ---- stays and reservations -----------------------------------------------

// Baseline: the filter of the stays window on the stays cursor, on and off.
void BM_StaysFilterCursor(benchmark::State &state)
{
    ensureProgram();
    Cursor &stays = *DM->TEstadias;
    const QString filter = state.range(0) == 0 ? QStringLiteral("Estado = 'Ocupada'")
                                               : QStringLiteral("Estado = 'Reservada'");
    qint64 shown = 0;
    for (auto _ : state) {
        stays.setFilter(filter);
        stays.setFiltered(true);
        shown += stays.recordCount();
        stays.setFiltered(false);
        stays.setFilter(QString());
    }
    state.counters["rows shown"] = perIteration(shown);
}
BENCHMARK(BM_StaysFilterCursor)->Arg(0)->Arg(1)->ArgName("reserved")->Unit(benchmark::kMillisecond);

// The stays window from the menu: filtered to the occupied stays, shown,
// painted, closed, filter removed.
void BM_OpenStaysWindow(benchmark::State &state)
{
    ensureProgram();
    PaintCounter counter(FEstadias->DBGrid1->viewport());
    for (auto _ : state)
        openAndClose(FEstadias, [] { FPrincipal->AdministrarEstadas1Click(); });
    state.counters["paints"] = perIteration(counter.count);
}
BENCHMARK(BM_OpenStaysWindow)->Unit(benchmark::kMillisecond);

// The reservations window from the menu, likewise.
void BM_OpenReservationsWindow(benchmark::State &state)
{
    ensureProgram();
    PaintCounter counter(FReservas->DBGrid1->viewport());
    for (auto _ : state)
        openAndClose(FReservas, [] { FPrincipal->ListadodeReservas1Click(); });
    state.counters["paints"] = perIteration(counter.count);
}
BENCHMARK(BM_OpenReservationsWindow)->Unit(benchmark::kMillisecond);

// Baseline: moving the filtered stays cursor to another row; the consumptions
// follow.
void BM_ChooseStayCursor(benchmark::State &state)
{
    ensureProgram();
    Cursor &stays = *DM->TEstadias;
    stays.setFilter(QStringLiteral("Estado = 'Ocupada'"));
    stays.setFiltered(true);
    int row = 0;
    for (auto _ : state) {
        row = (row + 7) % stays.recordCount();
        stays.moveTo(row);
    }
    state.counters["stays shown"] = stays.recordCount();
    stays.setFiltered(false);
    stays.setFilter(QString());
}
BENCHMARK(BM_ChooseStayCursor)->Unit(benchmark::kMillisecond);

// A click on another room in the stays window's list: the stay chosen, its
// data and consumptions shown, the window repainted.
void BM_ChooseStay(benchmark::State &state)
{
    ensureProgram();
    Cursor &stays = *DM->TEstadias;
    stays.setFilter(QStringLiteral("Estado = 'Ocupada'"));
    stays.setFiltered(true);
    showWindow(FEstadias);
    LookupRowsView *view = FEstadias->dbllbxHabitaciones->rowsView();
    PaintCounter counter(FEstadias->DBGrid1->viewport());
    const int visible = std::min(view->visibleRows(), stays.recordCount());
    int row = 0;
    int missed = 0;
    for (auto _ : state) {
        row = (row + 3) % visible;
        const QRect r = view->visualRect(view->rowModel()->index(row, 0));
        QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, r.center());
        settle();
        if (stays.recNo() != row)
            ++missed;
    }
    state.counters["paints"] = perIteration(counter.count);
    state.counters["missed"] = missed;
    hideWindow(FEstadias);
    stays.setFiltered(false);
    stays.setFilter(QString());
}
BENCHMARK(BM_ChooseStay)->Unit(benchmark::kMillisecond);

// ---- booking dialog ---------------------------------------------------------

// A week after the day the history is anchored to. The generated hotel is
// fully booked then: every room of the type is listed and taken out again.
QDate searchDay()
{
    return QDate(2026, 12, 10);
}

// Baseline: the free-room query of one type over a week, alone.
void BM_AvailabilityQuery(benchmark::State &state)
{
    ensureProgram();
    QueryCursor &q = *DM->QHabitacionesOcupadas;
    qint64 rows = 0;
    for (auto _ : state) {
        q.close();
        q.setParameter(QStringLiteral("FechaIni"), searchDay());
        q.setParameter(QStringLiteral("FechaFin"), searchDay().addDays(6));
        q.setParameter(QStringLiteral("IdTipoHab"), qint64(state.range(0)));
        q.open();
        rows += q.recordCount();
        q.close();
    }
    state.counters["rooms taken"] = perIteration(rows);
}
BENCHMARK(BM_AvailabilityQuery)->DenseRange(1, 5)->ArgName("type")->Unit(benchmark::kMillisecond);

// The booking dialog's Search button for one room type over a week, the free
// rooms listed and painted; measured inside the dialog's modal loop.
void BM_AvailabilitySearch(benchmark::State &state)
{
    ensureProgram();
    TFBusquedaHabitacion &dialog = *FBusquedaHabitacion;
    qint64 free = 0;
    qint64 paints = 0;
    QTimer::singleShot(0, &dialog, [&] {
        dialog.dtpHasta->setMinDate(QDate(2000, 1, 1));
        dialog.dtpDesde->setMinDate(QDate(2000, 1, 1));
        dialog.dtpDesde->setDate(DateTimes::make(searchDay()));
        dialog.dtpHasta->setDate(DateTimes::make(searchDay().addDays(6)));
        dialog.dblcbxTipoHabitacion->setKeyValue(qint64(state.range(0)));
        settle();
        PaintCounter counter(dialog.lbxHabLibres->viewport());
        for (auto _ : state) {
            QTest::mouseClick(dialog.btBuscar, Qt::LeftButton);
            settle();
            free += dialog.lbxHabLibres->count();
        }
        paints = counter.count;
        dialog.close();
    });
    dialog.AgregarReserva();
    state.counters["rooms free"] = perIteration(free);
    state.counters["paints"] = perIteration(paints);
}
BENCHMARK(BM_AvailabilitySearch)->DenseRange(1, 5)->ArgName("type")->Unit(benchmark::kMillisecond);

// ---- queries window ---------------------------------------------------------

// Guests with many invoiced stays first: the query's largest answers.
QList<qint64> busyGuests()
{
    static QList<qint64> ids = [] {
        QSqlQuery q = DM->Cnx.prepare(QStringLiteral(
            "SELECT IdHuesped FROM Estadias WHERE Estado = 'Facturada' GROUP BY IdHuesped ORDER BY count(*) DESC, "
            "IdHuesped LIMIT 10"));
        DM->Cnx.exec(q);
        QList<qint64> out;
        while (q.next())
            out << q.value(0).toLongLong();
        return out;
    }();
    return ids;
}

// Baseline: the invoiced stays of one guest, the query alone.
void BM_GuestStaysQuery(benchmark::State &state)
{
    ensureProgram();
    const QList<qint64> guests = busyGuests();
    QueryCursor &q = *DM->QEstadiasDeHuesped;
    qsizetype i = 0;
    qint64 rows = 0;
    for (auto _ : state) {
        q.close();
        q.setParameter(QStringLiteral("IdHuesped"), guests[i++ % guests.size()]);
        q.open();
        rows += q.recordCount();
    }
    state.counters["rows"] = perIteration(rows);
}
BENCHMARK(BM_GuestStaysQuery)->Unit(benchmark::kMillisecond);

// The first tab of the queries window: a guest chosen, the query run, the grid
// repainted.
void BM_GuestStaysWindow(benchmark::State &state)
{
    ensureProgram();
    const QList<qint64> guests = busyGuests();
    TFConsultas &w = *FConsultas;
    w.PageControl1->setCurrentIndex(0);
    showWindow(&w);
    PaintCounter counter(w.dbgEstadiasHuesped->viewport());
    qsizetype i = 0;
    qint64 rows = 0;
    for (auto _ : state) {
        w.dblcxHuesped->setKeyValue(guests[i++ % guests.size()]);
        emit w.dblcxHuesped->clicked();
        settle();
        rows += w.dbgEstadiasHuesped->rowCount();
    }
    state.counters["rows"] = perIteration(rows);
    state.counters["paints"] = perIteration(counter.count);
    hideWindow(&w);
}
BENCHMARK(BM_GuestStaysWindow)->Unit(benchmark::kMillisecond);

// Baseline: the most requested rooms of one view, the query alone; with the
// page cache as the program has it and the two alternatives.
void BM_RoomsByViewQuery(benchmark::State &state)
{
    ensureProgram();
    if (!pageCacheFor(state, DM->Cnx))
        return;
    const QStringList views = {QStringLiteral("Mar"), QStringLiteral("Ciudad"), QStringLiteral("Interior")};
    QueryCursor &q = *DM->QHabitaconesMasPedidas;
    qsizetype i = 0;
    for (auto _ : state) {
        q.close();
        q.setParameter(QStringLiteral("Vista"), views[i++ % views.size()]);
        q.open();
    }
    setPageCache(DM->Cnx, PageCache::Default);
}
BENCHMARK(BM_RoomsByViewQuery)->DenseRange(0, 2)->ArgName("cache")->Unit(benchmark::kMillisecond);

// The second tab: a view chosen, the query run, the grid repainted; as the
// program has it and with the large page cache.
void BM_RoomsByViewWindow(benchmark::State &state)
{
    ensureProgram();
    if (!pageCacheFor(state, DM->Cnx))
        return;
    TFConsultas &w = *FConsultas;
    w.PageControl1->setCurrentIndex(1);
    showWindow(&w);
    PaintCounter counter(w.DBGrid1->viewport());
    int i = 0;
    qint64 rows = 0;
    for (auto _ : state) {
        const int index = i++ % 3;
        w.cbxVista->setCurrentIndex(index);
        emit w.cbxVista->activated(index);
        settle();
        rows += w.DBGrid1->rowCount();
    }
    state.counters["rows"] = perIteration(rows);
    state.counters["paints"] = perIteration(counter.count);
    hideWindow(&w);
    setPageCache(DM->Cnx, PageCache::Default);
}
BENCHMARK(BM_RoomsByViewWindow)->DenseRange(0, 1)->ArgName("cache")->Unit(benchmark::kMillisecond);

// ---- the occupancy planner ---------------------------------------------------------

// Runs `measure` inside the planner's modal loop, with the window as a
// full-HD screen shows it (argument 1, about 45 rooms in view) or tall enough
// to show every room at once (argument 0), so that each paint covers the whole
// hotel.
template<typename Measure> void insidePlanner(benchmark::State &state, Measure &&measure)
{
    ensureProgram();
    TFPlanillaOcupacion &w = *FPlanillaOcupacion;
    QTimer::singleShot(0, &w, [&] {
        PlannerGrid &grid = *w.grdPlanilla;
        // Restored first: a maximised window keeps the screen's size.
        w.setWindowState(Qt::WindowNoState);
        settle();
        const int extra = w.height() - grid.viewport()->height();
        const bool screen = state.range(0) == 1;
        w.resize(1920, screen ? 1040 : extra + grid.headerHeight() + (grid.rowCount() + 3) * grid.rowHeight());
        settle();
        measure(w, grid);
        // The rooms in view, or the figures do not mean what they say.
        state.counters["rowsInView"] =
            double(std::min(grid.rowCount(), (grid.viewport()->height() - grid.headerHeight()) / grid.rowHeight()));
        w.close();
    });
    w.MostrarPlanilla();
}

// Baseline: the stays of a month for every room, through the stays' index by
// room and day, each stay's values read as the planner reads them.
void BM_PlannerMonthCursor(benchmark::State &state)
{
    ensureProgram();
    QueryCursor &rooms = *DM->QPlanillaHabitaciones;
    rooms.close();
    rooms.open();
    const Field &id = rooms.fieldByName(QStringLiteral("idHabitacion"));
    const Field &guest = DM->TEstadias->fieldByName(QStringLiteral("Huesped"));
    const Field &in = DM->TEstadias->fieldByName(QStringLiteral("FechaIngreso"));
    const QDate first = DateTimes::today().addDays(-3);
    qint64 stays = 0;
    int week = 0;
    for (auto _ : state) {
        const QDate from = first.addDays(7 * (week++ % 2));
        for (int r = 0; r < rooms.recordCount(); ++r)
            DM->forEachStayOfRoom(rooms.valueAt(r, id).toLongLong(), from, from.addDays(31),
                                  [&](const Cursor::RowRef &stay) {
                                      benchmark::DoNotOptimize(stay.value(guest));
                                      benchmark::DoNotOptimize(stay.value(in));
                                      ++stays;
                                  });
    }
    state.counters["rooms"] = double(rooms.recordCount());
    state.counters["stays"] = perIteration(stays);
}
BENCHMARK(BM_PlannerMonthCursor)->Unit(benchmark::kMillisecond);

// From the menu choice to the painted planner and back.
void BM_OpenPlanner(benchmark::State &state)
{
    ensureProgram();
    for (auto _ : state)
        openAndClose(FPlanillaOcupacion, [] { FPlanillaOcupacion->MostrarPlanilla(); });
}
BENCHMARK(BM_OpenPlanner)->Unit(benchmark::kMillisecond);

// Painting a month of every room, all rows in view.
void BM_PlannerPaintMonth(benchmark::State &state)
{
    insidePlanner(state, [&](TFPlanillaOcupacion &, PlannerGrid &grid) {
        PaintCounter counter(grid.viewport());
        for (auto _ : state)
            grid.viewport()->repaint();
        state.counters["rooms"] = double(grid.rowCount());
        state.counters["bars"] = double(grid.bars().size());
        state.counters["paints"] = perIteration(counter.count);
    });
}
BENCHMARK(BM_PlannerPaintMonth)->Arg(0)->Arg(1)->ArgName("screen")->Unit(benchmark::kMillisecond);

// A week later (and back, in turn) with the button: the stays of the new days
// read and every room repainted.
void BM_PlannerMoveWeek(benchmark::State &state)
{
    insidePlanner(state, [&](TFPlanillaOcupacion &w, PlannerGrid &grid) {
        PaintCounter counter(grid.viewport());
        int i = 0;
        for (auto _ : state) {
            (i++ % 2 == 0 ? w.btSemanaSiguiente : w.btSemanaAnterior)->click();
            settle();
        }
        state.counters["rooms"] = double(grid.rowCount());
        state.counters["paints"] = perIteration(counter.count);
    });
}
BENCHMARK(BM_PlannerMoveWeek)->Arg(0)->Arg(1)->ArgName("screen")->Unit(benchmark::kMillisecond);

// The planner's days as a printed document: every room, landscape.
void BM_PlannerPrintLayout(benchmark::State &state)
{
    insidePlanner(state, [&](TFPlanillaOcupacion &w, PlannerGrid &) {
        int pages = 0;
        for (auto _ : state)
            pages = ReportEngine::produce(w.repPlanilla()).pageCount();
        state.counters["pages"] = double(pages);
    });
}
BENCHMARK(BM_PlannerPrintLayout)->Arg(0)->ArgName("screen")->Unit(benchmark::kMillisecond);

// ---- the day's arrivals and departures ----------------------------------------------

// The day asked for: today (arg 0), or a day five years back (arg 1), when the
// rooms taken must be told among the later history.
QDate listingDay(int which)
{
    return which == 0 ? DateTimes::today() : DateTimes::today().addYears(-5);
}

// Baseline: the listing's three queries alone.
void BM_ArrivalsDeparturesQueries(benchmark::State &state)
{
    ensureProgram();
    const QDate day = listingDay(int(state.range(0)));
    qint64 rows = 0;
    for (auto _ : state) {
        for (QueryCursor *q : {DM->QLlegadas, DM->QSalidas, DM->QOcupacionDelDia}) {
            q->close();
            q->setParameter(QStringLiteral("Dia"), day);
            q->open();
            rows += q->recordCount();
        }
    }
    state.counters["rows"] = perIteration(rows);
}
BENCHMARK(BM_ArrivalsDeparturesQueries)->Arg(0)->Arg(1)->ArgName("past")->Unit(benchmark::kMillisecond);

// The queries and the document laid out, as the menu item produces it before
// the preview shows.
void BM_ArrivalsDeparturesDocument(benchmark::State &state)
{
    ensureProgram();
    const QDate day = listingDay(int(state.range(0)));
    int pages = 0;
    for (auto _ : state)
        pages = ReportEngine::produce(FReportes->LlegadasSalidas(day)).pageCount();
    state.counters["pages"] = double(pages);
}
BENCHMARK(BM_ArrivalsDeparturesDocument)->Arg(0)->Arg(1)->ArgName("past")->Unit(benchmark::kMillisecond);

// The child of BM_StartUpPeakMemory: the start-up as the main block does it,
// the main window painted, then the peak resident memory in bytes on stdout.
int startUpMemory(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    quietPlatformNotes();
    QApplication app(argc, argv);
    Startup::configure(app);
    Startup::createAll(benchDatabaseFolder(benchScale()));
    FPrincipal->show();
    settle();
    // The high-water mark of this process image. getrusage() would do, but
    // Linux carries over into it the parent's resident size at the fork before
    // exec, and the benchmark program is large by then.
    QFile status(QStringLiteral("/proc/self/status"));
    long long peak = -1;
    if (status.open(QIODevice::ReadOnly))
        for (const QByteArray &line : status.readAll().split('\n'))
            if (line.startsWith("VmHWM:"))
                peak = line.mid(6).trimmed().split(' ').value(0).toLongLong() * 1024;
    std::printf("%lld\n", peak);
    std::fflush(stdout);
    Startup::destroyAll();
    return 0;
}

} // namespace

int main(int argc, char **argv)
{
    if (argc > 1 && std::strcmp(argv[1], StartUpMemoryOption) == 0)
        return startUpMemory(argc, argv);
    return runWindowBenchmarks(
        argc, argv, [] { g_folder = benchDatabaseFolder(benchScale()); },
        [] {
            if (FPrincipal)
                Startup::destroyAll();
        });
}

// Pictures of the program's windows, for the documentation and for looking at
// what a change did:
//   hotel-screenshots --windows FOLDER   every window in its main states, on a
//                                        fresh demonstration database
//   hotel-screenshots --grab-screen FILE the whole screen of the running display
//   hotel-screenshots --desks URL FOLDER two desks on one server's database,
//                                        each its own process: desk A books a
//                                        room, desk B's open reservations
//                                        window shows it (URL: an empty
//                                        database, filled with the demonstration)
#include "Backup.h"
#include "DatabaseFactory.h"
#include "DataError.h"
#include "DateTimes.h"
#include "SampleData.h"
#include "Startup.h"
#include "Regional.h"
#include "UDM.h"
#include "UHuespedes.h"
#include "UPlanillaOcupacion.h"
#include "UPrincipal.h"

#include <QApplication>
#include <QDeadlineTimer>
#include <QElapsedTimer>
#include <QDir>
#include <QEventLoop>
#include <QProcess>
#include <QLineEdit>
#include <QMenuBar>
#include <QScreen>
#include <QTemporaryDir>
#include <QTextStream>
#include <QTimer>

#include "DataGrid.h"
#include "DatePicker.h"
#include "Launcher.h"
#include "LookupCombo.h"
#include "LookupList.h"
#include "MessageDialog.h"
#include "PlannerGrid.h"
#include "RecordNavigator.h"
#include "ReportEngine.h"
#include "ReportPainter.h"
#include "UBusquedaHabitacion.h"
#include "UConsultas.h"
#include "UDatosDelHotel.h"
#include "UEstadias.h"
#include "UHabitaciones.h"
#include "URegistrarConsumos.h"
#include "UReporteFactura.h"
#include "UReportes.h"
#include "UReservas.h"
#include "UServicios.h"
#include "UTiposDeHabitacion.h"

#include <QComboBox>
#include <QDateEdit>
#include <QMessageBox>
#include <QListWidget>
#include <QPainter>
#include <QPushButton>
#include <QTabWidget>

#include <functional>

namespace {

QTextStream &err()
{
    static QTextStream s(stderr);
    return s;
}

// A fixed day keeps the pictures the same from one run to the next.
const QDate Demo(2026, 12, 10);

bool save(QWidget *w, const QString &folder, const QString &name)
{
    w->show();
    QApplication::processEvents();
    const QString path = QDir(folder).filePath(name + QStringLiteral(".png"));
    const bool ok = w->grab().save(path);
    err() << (ok ? "wrote " : "could not write ") << path << Qt::endl;
    return ok;
}

int windows(const QString &folder)
{
    QDir().mkpath(folder);
    QTemporaryDir data;
    try {
        DatabaseFactory::createDemo(QDir(data.path()).filePath(QStringLiteral("Hotel.db")), Demo);
    } catch (const DataError &e) {
        err() << e.message() << Qt::endl;
        return 1;
    }
    Startup::createAll(data.path());
    bool ok = true;

    FPrincipal->setWindowState(Qt::WindowNoState);
    FPrincipal->resize(695, 386 + FPrincipal->menuBar()->sizeHint().height());
    FPrincipal->setWindowOpacity(1.0);
    ok = save(FPrincipal, folder, QStringLiteral("main-window")) && ok;

    ok = save(FHuespedes, folder, QStringLiteral("guests")) && ok;
    FHuespedes->edFiltro->setText(QStringLiteral("ez"));
    ok = save(FHuespedes, folder, QStringLiteral("guests-filtered")) && ok;
    FHuespedes->edFiltro->clear();
    FHuespedes->DBNavigator1->press(RecordNavigator::Edit);
    ok = save(FHuespedes, folder, QStringLiteral("guests-editing")) && ok;
    FHuespedes->DBNavigator2->press(RecordNavigator::Cancel);
    FHuespedes->hide();

    ok = save(FTiposHabitacion, folder, QStringLiteral("room-types")) && ok;
    FTiposHabitacion->btModificar->click();
    ok = save(FTiposHabitacion, folder, QStringLiteral("room-types-editing")) && ok;
    FTiposHabitacion->btCancelar->click();
    FTiposHabitacion->hide();

    ok = save(FHabitaciones, folder, QStringLiteral("rooms")) && ok;
    FHabitaciones->DBNavigator2->press(RecordNavigator::Edit);
    ok = save(FHabitaciones, folder, QStringLiteral("rooms-editing")) && ok;
    FHabitaciones->DBNavigator1->press(RecordNavigator::Cancel);
    FHabitaciones->hide();

    ok = save(FServcios, folder, QStringLiteral("services")) && ok;
    FServcios->DBNavigator1->press(RecordNavigator::Edit);
    ok = save(FServcios, folder, QStringLiteral("services-editing")) && ok;
    FServcios->DBNavigator2->press(RecordNavigator::Cancel);
    FServcios->hide();

    // Modal windows are pictured from inside their own loop.
    const auto inside = [](QWidget *w, std::function<void()> f) {
        QTimer::singleShot(0, w, [w, f] {
            f();
            w->close();
        });
    };
    inside(FBusquedaHabitacion, [&] { ok = save(FBusquedaHabitacion, folder, QStringLiteral("booking")) && ok; });
    FBusquedaHabitacion->AgregarReserva();
    inside(FBusquedaHabitacion, [&] {
        DM->THuespedes->first();
        FBusquedaHabitacion->dblcbxHuesped->setKeyValue(DM->THuespedes->fieldByName(QStringLiteral("IdHuesped")).value());
        FBusquedaHabitacion->btBuscar->click();
        ok = save(FBusquedaHabitacion, folder, QStringLiteral("booking-searched")) && ok;
    });
    FBusquedaHabitacion->AgregarEstadia();
    inside(FReservas, [&] { ok = save(FReservas, folder, QStringLiteral("reservations")) && ok; });
    FReservas->AdministrarReservas();

    DM->TEstadias->setFilter(QStringLiteral("Estado = 'Ocupada'"));
    DM->TEstadias->setFiltered(true);
    // The first occupied stay with consumptions, chosen in the room list.
    for (DM->TEstadias->first(); !DM->TEstadias->atEnd() && DM->TConsumosDeServicios->isEmpty();)
        DM->TEstadias->next();
    FEstadias->dbllbxHabitaciones->setKeyValue(DM->TEstadias->value(QStringLiteral("IdEstadia")));
    FEstadias->dbllbxHabitacionesClick();
    ok = save(FEstadias, folder, QStringLiteral("stays")) && ok;
    ok = save(FRegistrarConsumos, folder, QStringLiteral("consumptions")) && ok;
    FRegistrarConsumos->btAgregarClick();
    FRegistrarConsumos->edCant->setText(QStringLiteral("2"));
    ok = save(FRegistrarConsumos, folder, QStringLiteral("consumptions-adding")) && ok;
    FRegistrarConsumos->btCancelarClick();
    FRegistrarConsumos->hide();
    FEstadias->hide();
    // The invoice of that stay, first page.
    // Every page of a printed document, A4 at 100 dpi: name.png, name-2.png, ...
    const auto saveDocument = [&](const ReportDocument &doc, const QString &name) {
        bool saved = doc.pageCount() > 0;
        for (int page = 0; page < doc.pageCount(); ++page) {
            const bool landscape = doc.pages[size_t(page)].width > doc.pages[size_t(page)].height;
            QImage image(landscape ? QSize(1169, 827) : QSize(827, 1169), QImage::Format_RGB32);
            image.fill(Qt::white);
            QPainter painter(&image);
            ReportPainter::paintPage(painter, doc, page, QRectF(image.rect()));
            painter.end();
            const QString file = page == 0 ? name : name + QStringLiteral("-%1").arg(page + 1);
            const QString path = QDir(folder).filePath(file + QStringLiteral(".png"));
            const bool one = image.save(path);
            err() << (one ? "wrote " : "could not write ") << path << Qt::endl;
            saved = saved && one;
        }
        return saved;
    };
    const auto savePage = [&](const ReportDefinition &def, const QString &name) {
        return saveDocument(ReportEngine::produce(def), name);
    };
    ok = savePage(FFactura->repFactura, QStringLiteral("invoice")) && ok;
    DM->TEstadias->setFiltered(false);
    DM->TEstadias->setFilter(QString());

    FConsultas->PageControl1->setCurrentIndex(0);
    if (DM->TEstadias->locate(QStringLiteral("Estado"), QStringLiteral("Facturada"))) {
        FConsultas->dblcxHuesped->setKeyValue(DM->TEstadias->value(QStringLiteral("IdHuesped")));
        FConsultas->dblcxHuespedClick();
    }
    ok = save(FConsultas, folder, QStringLiteral("queries-guest-stays")) && ok;
    FConsultas->PageControl1->setCurrentIndex(1);
    FConsultas->cbxVista->setCurrentIndex(0);
    FConsultas->cbxVistaChange();
    ok = save(FConsultas, folder, QStringLiteral("queries-most-requested")) && ok;
    FConsultas->hide();

    ok = savePage(FReportes->repServicios, QStringLiteral("services-listing")) && ok;
    DM->QHabitacionesPorTipo->close();
    DM->QHabitacionesPorTipo->open();
    ok = savePage(FReportes->repHabitaciones, QStringLiteral("rooms-listing")) && ok;
    ok = saveDocument(ReportEngine::produce(FReportes->LlegadasSalidas(Demo)), QStringLiteral("arrivals-departures"))
         && ok;

    // The planner on the demonstration's day, as a laptop's screen shows it.
    inside(FPlanillaOcupacion, [&] {
        TFPlanillaOcupacion &w = *FPlanillaOcupacion;
        // A laptop's screen, whatever the screen here.
        w.setWindowState(Qt::WindowNoState);
        QApplication::processEvents();
        w.resize(1280, 720);
        QApplication::processEvents();
        w.grdPlanilla->setToday(Demo);
        w.dtpDia->setDate(DateTimes::make(Demo));
        w.dtpDiaChange();
        w.grdPlanilla->setCurrent(2, Demo.addDays(2));
        ok = save(&w, folder, QStringLiteral("planner")) && ok;
        ok = saveDocument(ReportEngine::produce(w.repPlanilla()), QStringLiteral("planner-print")) && ok;
    });
    FPlanillaOcupacion->MostrarPlanilla();

    // A hotel's own data, typed into its window, then on an invoice.
    const SampleData::Hotel hotel = SampleData::sampleHotel();
    inside(FDatosDelHotel, [&] {
        Cursor &d = *DM->TDatosDelHotel;
        d.setValue(QStringLiteral("Nombre"), hotel.name);
        d.setValue(QStringLiteral("Domicilio"), hotel.address);
        d.setValue(QStringLiteral("Telefono"), hotel.phone);
        d.setValue(QStringLiteral("EMail"), hotel.email);
        d.setValue(QStringLiteral("IdentificacionFiscal"), hotel.taxId);
        d.setValue(QStringLiteral("Logo"), hotel.logo);
        ok = save(FDatosDelHotel, folder, QStringLiteral("hotel-data")) && ok;
        FDatosDelHotel->btAceptar->click();
    });
    FDatosDelHotel->AdministrarDatos();
    for (DM->TEstadias->first(); !DM->TEstadias->atEnd() && DM->TConsumosDeServicios->isEmpty();)
        DM->TEstadias->next();
    ok = savePage(FFactura->repFactura, QStringLiteral("invoice-hotel-data")) && ok;

    // The dialogs of the installed program: the first start's question, and a
    // day's copy that could not be made (here a file stands where the folder goes).
    const auto saveBox = [&](const QString &name, const std::function<void()> &show) {
        MessageDialog::setObserver([&](QMessageBox &box) {
            ok = save(&box, folder, name) && ok;
            box.reject();
        });
        show();
        MessageDialog::setObserver({});
    };
    QTemporaryDir home;
    const Launcher::Paths paths{home.filePath(QStringLiteral("hotel")), QString(), QStringLiteral("/home/recepcion/.local/share"),
                                home.path()};
    saveBox(QStringLiteral("first-start"), [&] { Launcher::firstStart(Launcher::userDatabase(paths), paths); });
    qputenv("XDG_STATE_HOME", QFile::encodeName(home.path()));
    QDir(Backup::folderOf(DM->Cnx.filePath())).removeRecursively();
    QFile inTheWay(Backup::folderOf(DM->Cnx.filePath()));
    inTheWay.open(QIODevice::WriteOnly);
    saveBox(QStringLiteral("copy-failed"), [&] { Startup::makeDailyCopy(QDate(2026, 12, 11)); });

    Startup::destroyAll();
    return ok ? 0 : 1;
}

// A date chosen in a picker as the user does, so that its change handler runs.
void pick(DatePicker *picker, QDate day)
{
    picker->findChild<QDateEdit *>()->setDate(day);
}

// Desk A: books the last guest into the first free room five weeks ahead
// (past the demonstration's bookings),
// pictured just before "Reservar" is pressed; prints the new stay's key.
int deskA(const QString &url, const QString &folder)
{
    Startup::createAll(url);
    bool ok = false;
    QTimer::singleShot(0, FBusquedaHabitacion, [&] {
        TFBusquedaHabitacion &d = *FBusquedaHabitacion;
        DM->THuespedes->last();
        d.dblcbxHuesped->setKeyValue(DM->THuespedes->fieldByName(QStringLiteral("IdHuesped")).value());
        pick(d.dtpDesde, Demo.addDays(35));
        pick(d.dtpHasta, Demo.addDays(38));
        d.btBuscar->click();
        if (d.lbxHabLibres->count() == 0) {
            err() << "desk A: no free room" << Qt::endl;
            d.close();
            return;
        }
        d.lbxHabLibres->setCurrentRow(0);
        ok = save(&d, folder, QStringLiteral("desks-a-booking"));
        d.btReservar->click();
    });
    const bool booked = FBusquedaHabitacion->AgregarReserva();
    const qint64 stay = DM->TEstadias->fieldByName(QStringLiteral("IdEstadia")).asInteger();
    Startup::destroyAll();
    if (!ok || !booked)
        return 1;
    QTextStream(stdout) << stay << Qt::endl;
    return 0;
}

// Desk B: its reservations window open while desk A, another process, books;
// the booking shows in it without reopening, and is pictured then.
int desks(const QString &url, const QString &folder)
{
    QDir().mkpath(folder);
    try {
        DatabaseFactory::createDemo(url, Demo);
    } catch (const DataError &e) {
        err() << e.message() << Qt::endl;
        return 1;
    }
    Startup::createAll(url);
    bool ok = false;
    QTimer::singleShot(0, FReservas, [&] {
        QProcess other;
        other.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        QEventLoop loop;
        QObject::connect(&other, &QProcess::finished, &loop, &QEventLoop::quit);
        other.start(QCoreApplication::applicationFilePath(), {QStringLiteral("--desk-a"), url, folder});
        // This desk's events keep running while the other books, as a desk's do.
        if (other.waitForStarted())
            loop.exec();
        bool known = false;
        const qint64 stay = other.readAllStandardOutput().trimmed().toLongLong(&known);
        if (other.exitStatus() != QProcess::NormalExit || other.exitCode() != 0 || !known) {
            err() << "desk A did not book" << Qt::endl;
            FReservas->close();
            return;
        }
        QElapsedTimer waited;
        waited.start();
        QDeadlineTimer deadline(3000);
        bool shown = false;
        while (!(shown = DM->TEstadias->locate(QStringLiteral("IdEstadia"), stay)) && !deadline.hasExpired())
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
        if (!shown) {
            err() << "desk B did not see the booking" << Qt::endl;
            FReservas->close();
            return;
        }
        err() << "desk B saw the booking " << waited.elapsed() << " ms after desk A ended" << Qt::endl;
        ok = save(FReservas, folder, QStringLiteral("desks-b-reservations"));
        FReservas->close();
    });
    FReservas->AdministrarReservas();
    Startup::destroyAll();
    return ok ? 0 : 1;
}

int grabScreen(const QString &file)
{
    QScreen *screen = QGuiApplication::primaryScreen();
    if (!screen) {
        err() << "no screen" << Qt::endl;
        return 1;
    }
    const bool ok = screen->grabWindow(0).save(file);
    err() << (ok ? "wrote " : "could not write ") << file << Qt::endl;
    return ok ? 0 : 1;
}

} // namespace

int main(int argc, char *argv[])
{
    const QStringList args = [&] {
        QStringList a;
        for (int i = 1; i < argc; ++i)
            a << QString::fromLocal8Bit(argv[i]);
        return a;
    }();
    if (args.size() == 2 && args[0] == u"--grab-screen") {
        QApplication app(argc, argv);
        return grabScreen(args[1]);
    }
    const bool desk = args.size() == 3 && (args[0] == u"--desks" || args[0] == u"--desk-a");
    if ((args.size() == 2 && args[0] == u"--windows") || desk) {
        if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM") && qEnvironmentVariableIsEmpty("DISPLAY"))
            qputenv("QT_QPA_PLATFORM", "offscreen");
        QApplication app(argc, argv);
        Startup::configure(app);
        // The pictures show what a Spanish-speaking hotel sees, whatever this machine's locale.
        Regional::setSettings(RegionalSettings::fromLocale(QLocale(QLocale::Spanish, QLocale::Argentina)));
        if (args[0] == u"--desks")
            return desks(args[1], args[2]);
        if (args[0] == u"--desk-a")
            return deskA(args[1], args[2]);
        return windows(args[1]);
    }
    err() << "usage: hotel-screenshots --windows FOLDER | --desks URL FOLDER | --grab-screen FILE" << Qt::endl;
    return 2;
}

#include "Startup.h"

#include "Appearance.h"
#include "Backup.h"
#include "DataError.h"
#include "DateTimes.h"
#include "MessageDialog.h"
#include "Regional.h"
#include "StartOptions.h"
#include "UBusquedaHabitacion.h"
#include "UConsultas.h"
#include "UDatosDelHotel.h"
#include "UDM.h"
#include "UElegirDia.h"
#include "UEstadias.h"
#include "UHabitaciones.h"
#include "UHuespedes.h"
#include "UPlanillaOcupacion.h"
#include "UPrincipal.h"
#include "URegistrarConsumos.h"
#include "UReporteFactura.h"
#include "UReportes.h"
#include "UReservas.h"
#include "UServicios.h"
#include "UTiposDeHabitacion.h"

#include <QApplication>
#include <QCryptographicHash>
#include <QDir>
#include <QFileInfo>
#include <QSettings>

namespace Startup {

namespace {

// Where the day of the last failed-copy dialog of each database is kept.
QString noticesFile()
{
    return StartOptions::stateHome() + QStringLiteral("/hotel/copias.ini");
}

QString noticeKey(const QString &databasePath)
{
    const QByteArray name = QFileInfo(databasePath).absoluteFilePath().toUtf8();
    return QStringLiteral("aviso/") + QString::fromLatin1(QCryptographicHash::hash(name, QCryptographicHash::Sha1).toHex());
}

void create(TDM *dm, const QString &targetError)
{
    DM = dm;
    bool opened = false;
    try {
        if (!targetError.isEmpty())
            throw DataError(targetError);
        DM->DataModuleCreate();
        opened = true;
    } catch (const DataError &e) {
        MessageDialog::showDefaultError(e.message());
    }
    // Only a database the program can use is copied: one that failed stays the
    // one dialog of its start, and its folder is left as it was.
    if (opened)
        makeDailyCopy(DateTimes::today());
    FPrincipal = new TFPrincipal();
    // Every other window once, hidden, in this order; bound controls are live
    // from here on.
    FConsultas = new TFConsultas(FPrincipal);
    FEstadias = new TFEstadias(FPrincipal);
    FTiposHabitacion = new TFTiposHabitacion(FPrincipal);
    FHuespedes = new TFHuespedes(FPrincipal);
    FReservas = new TFReservas(FPrincipal);
    FServcios = new TFServcios(FPrincipal);
    FHabitaciones = new TFHabitaciones(FPrincipal);
    FRegistrarConsumos = new TFRegistrarConsumos(FPrincipal);
    FBusquedaHabitacion = new TFBusquedaHabitacion(FPrincipal);
    FFactura = new TFFactura(FPrincipal);
    FReportes = new TFReportes(FPrincipal);
    FDatosDelHotel = new TFDatosDelHotel(FPrincipal);
    FPlanillaOcupacion = new TFPlanillaOcupacion(FPrincipal);
    FElegirDia = new TFElegirDia(FPrincipal);
}

} // namespace

void configure(QApplication &app)
{
    Appearance::apply(app);
    Regional::loadFromSystem();
}

void createAll(const QString &folder)
{
    create(new TDM(folder), QString());
}

void createAllOn(const QString &target, const QString &targetError)
{
    auto *dm = new TDM();
    dm->setDatabaseTarget(target);
    create(dm, targetError);
}

void makeDailyCopy(QDate today)
{
    // A server's database is copied by its administrator (pg_dump), not by a desk.
    if (!DM || !DM->Cnx.isOpen() || DM->Cnx.target().isServer())
        return;
    const QString database = DM->Cnx.filePath();
    try {
        Backup::makeDailyCopy(DM->Cnx, today);
    } catch (const DataError &e) {
        QSettings kept(noticesFile(), QSettings::IniFormat);
        const QString key = noticeKey(database);
        const QString day = today.toString(Qt::ISODate);
        if (kept.value(key).toString() == day)
            return;
        MessageDialog::information(
            QStringLiteral("No se pudo hacer la copia de seguridad de hoy en la carpeta «%1».\n\n%2\n\n"
                           "El programa funciona con normalidad; la copia se intentará de nuevo la próxima "
                           "vez que se abra.")
                .arg(QDir::toNativeSeparators(Backup::folderOf(QFileInfo(database).absoluteFilePath())),
                     MessageDialog::withFullStop(e.message())));
        kept.setValue(key, day);
    }
}

void destroyAll()
{
    delete FPrincipal; // its child windows go with it
    FPrincipal = nullptr;
    FConsultas = nullptr;
    FEstadias = nullptr;
    FTiposHabitacion = nullptr;
    FHuespedes = nullptr;
    FReservas = nullptr;
    FServcios = nullptr;
    FHabitaciones = nullptr;
    FRegistrarConsumos = nullptr;
    FBusquedaHabitacion = nullptr;
    FFactura = nullptr;
    FReportes = nullptr;
    FDatosDelHotel = nullptr;
    FPlanillaOcupacion = nullptr;
    FElegirDia = nullptr;
    delete DM;
    DM = nullptr;
}

} // namespace Startup

#include "Startup.h"

#include "DataError.h"
#include "MessageDialog.h"
#include "Regional.h"
#include "UBusquedaHabitacion.h"
#include "UConsultas.h"
#include "UDatosDelHotel.h"
#include "UDM.h"
#include "UEstadias.h"
#include "UHabitaciones.h"
#include "UHuespedes.h"
#include "UPrincipal.h"
#include "URegistrarConsumos.h"
#include "UReporteFactura.h"
#include "UReportes.h"
#include "UReservas.h"
#include "UServicios.h"
#include "UTiposDeHabitacion.h"

#include <QApplication>
#include <QFont>

namespace Startup {

void configure(QApplication &app)
{
    QApplication::setApplicationDisplayName(QStringLiteral("Administración de Hotel"));
    // Metric-compatible stand-ins, independent of the machine's font configuration.
    QFont::insertSubstitution(QStringLiteral("MS Sans Serif"), QStringLiteral("Liberation Sans"));
    QFont::insertSubstitution(QStringLiteral("Arial"), QStringLiteral("Liberation Sans"));
    QFont::insertSubstitution(QStringLiteral("Cambria"), QStringLiteral("Caladea"));
    app.setFont(QFont(QStringLiteral("MS Sans Serif"), 8));
    Regional::loadFromSystem();
}

void createAll(const QString &folder)
{
    DM = new TDM(folder);
    try {
        DM->DataModuleCreate();
    } catch (const DataError &e) {
        MessageDialog::showDefaultError(e.message());
    }
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
    delete DM;
    DM = nullptr;
}

} // namespace Startup

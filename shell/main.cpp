#include "DataError.h"
#include "Regional.h"
#include "UDM.h"

#include <QCoreApplication>
#include <QTextStream>

// Opens the data module on the database beside the executable and reports what
// it found.
int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("Administración de Hotel"));
    Regional::loadFromSystem();
    QTextStream out(stdout);
    TDM dm;
    DM = &dm;
    try {
        dm.DataModuleCreate();
    } catch (const DataError &e) {
        QTextStream(stderr) << "Administración de Hotel: " << e.message() << Qt::endl;
        return 1;
    }
    out << "Database: " << dm.databasePath() << Qt::endl;
    for (Cursor *c : {static_cast<Cursor *>(dm.THuespedes), static_cast<Cursor *>(dm.TTiposDeHabitacion),
                      static_cast<Cursor *>(dm.THabitaciones), static_cast<Cursor *>(dm.TServicios),
                      static_cast<Cursor *>(dm.TEstadias), static_cast<Cursor *>(dm.TConsumosDeServicios)})
        out << "  " << c->name() << ": " << c->recordCount() << " rows" << Qt::endl;
    return 0;
}

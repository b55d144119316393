#include "Startup.h"

#include "DataError.h"
#include "MessageDialog.h"
#include "Regional.h"
#include "UDM.h"
#include "UHuespedes.h"
#include "UPrincipal.h"

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
    FHuespedes = new TFHuespedes(FPrincipal);
}

void destroyAll()
{
    delete FPrincipal; // its child windows go with it
    FPrincipal = nullptr;
    FHuespedes = nullptr;
    delete DM;
    DM = nullptr;
}

} // namespace Startup

#include "Appearance.h"

#include "HotelVersion.h"
#include "ProgramIcon.h"

#include <QApplication>
#include <QFont>

namespace Appearance {

void apply(QApplication &app)
{
    // Ties the windows to the menu entry, for the desktop's task bar.
    QGuiApplication::setDesktopFileName(QStringLiteral(HOTEL_APP_ID));
    QApplication::setWindowIcon(ProgramIcon::icon());
    // Metric-compatible stand-ins, independent of the machine's font configuration.
    QFont::insertSubstitution(QStringLiteral("MS Sans Serif"), QStringLiteral("Liberation Sans"));
    QFont::insertSubstitution(QStringLiteral("Arial"), QStringLiteral("Liberation Sans"));
    QFont::insertSubstitution(QStringLiteral("Cambria"), QStringLiteral("Caladea"));
    app.setFont(QFont(QStringLiteral("MS Sans Serif"), 8));
}

} // namespace Appearance

#include "HotelVersion.h"
#include "StartOptions.h"
#include "Startup.h"
#include "UPrincipal.h"

#include <QApplication>
#include <QTextStream>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    const StartOptions::CommandLine options = StartOptions::parse(QCoreApplication::arguments());
    if (!options.error.isEmpty()) {
        QTextStream(stderr) << "hotel: " << options.error << "\nTry 'hotel --help'.\n";
        return 2;
    }
    if (options.help || options.version) {
        QTextStream(stdout) << (options.help ? options.helpText : QStringLiteral("hotel " HOTEL_VERSION "\n"));
        return 0;
    }
    Startup::configure(app);
    const StartOptions::Target target =
        StartOptions::databaseTarget(options.database, QCoreApplication::applicationDirPath(), StartOptions::configHome());
    Startup::createAllOn(target.target, target.error);
    FPrincipal->show();
    const int code = app.exec();
    Startup::destroyAll();
    return code;
}

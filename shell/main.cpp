#include "Startup.h"
#include "UPrincipal.h"

#include <QApplication>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    Startup::configure(app);
    Startup::createAll();
    FPrincipal->show();
    const int code = app.exec();
    Startup::destroyAll();
    return code;
}

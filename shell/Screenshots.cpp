// Pictures of the program's windows, for the documentation and for looking at
// what a change did:
//   hotel-screenshots --windows FOLDER   every window in its main states, on a
//                                        fresh demonstration database
//   hotel-screenshots --grab-screen FILE the whole screen of the running display
#include "DatabaseFactory.h"
#include "DataError.h"
#include "Startup.h"
#include "UDM.h"
#include "UHuespedes.h"
#include "UPrincipal.h"

#include <QApplication>
#include <QDir>
#include <QLineEdit>
#include <QMenuBar>
#include <QScreen>
#include <QTemporaryDir>
#include <QTextStream>
#include <QTimer>

#include "DataGrid.h"
#include "RecordNavigator.h"

namespace {

QTextStream &err()
{
    static QTextStream s(stderr);
    return s;
}

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
        // A fixed day keeps the pictures the same from one run to the next.
        DatabaseFactory::createDemo(QDir(data.path()).filePath(QStringLiteral("Hotel.db")), QDate(2026, 12, 10));
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
    if (args.size() == 2 && args[0] == u"--windows") {
        if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM") && qEnvironmentVariableIsEmpty("DISPLAY"))
            qputenv("QT_QPA_PLATFORM", "offscreen");
        QApplication app(argc, argv);
        Startup::configure(app);
        return windows(args[1]);
    }
    err() << "usage: hotel-screenshots --windows FOLDER | --grab-screen FILE" << Qt::endl;
    return 2;
}

// hotel-test-postgresql start|stop FOLDER: starts the PostgreSQL server that a
// run of the tests shares (a new cluster in FOLDER, with the template database
// the tests copy), or stops it and removes FOLDER.
#include "PostgresServer.h"
#include "TestDatabase.h"

#include <QCoreApplication>
#include <QDir>
#include <QTextStream>

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    QTextStream err(stderr);
    if (args.size() != 3 || (args[1] != u"start" && args[1] != u"stop")) {
        err << "usage: hotel-test-postgresql start|stop FOLDER\n";
        return 2;
    }
    const QString folder = args[2];
    {
        // A server an interrupted run left behind goes first.
        PostgresServer old(folder);
        if (!old.stop()) {
            err << old.error() << '\n';
            return 1;
        }
    }
    QDir(folder).removeRecursively();
    if (args[1] == u"stop")
        return 0;
    qputenv("HOTEL_TEST_POSTGRESQL", QFile::encodeName(folder));
    PostgresServer server(folder);
    if (!server.start()) {
        err << server.error() << '\n';
        return 1;
    }
    // The template database, made once for every test of the run.
    if (!TestDatabase::server()) {
        err << "the template database could not be made\n";
        server.stop();
        return 1;
    }
    QTextStream(stdout) << "PostgreSQL server running in " << folder << '\n';
    // Left running for the tests; the stop step ends it.
    server.keepRunning();
    return 0;
}

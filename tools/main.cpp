// hotel-createdb: writes a new database, empty, with demonstration data, or with
// years of generated history, into a new file or an empty database on a
// PostgreSQL server. It never replaces an existing file or tables, except with
// --restore, which puts a copy back and keeps the file it replaces; with
// --upgrade it adds to an existing database what a newer schema has and it lacks.
#include "Backup.h"
#include "DataError.h"
#include "DatabaseFactory.h"
#include "DatabaseTarget.h"
#include "DateTimes.h"
#include "SchemaUpgrade.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QTextStream>

#include <cstdio>

namespace {

enum ExitCode { Success = 0, Failure = 1, UsageError = 2 };

int usageError(const QString &message)
{
    QTextStream err(stderr);
    err << QCoreApplication::applicationName() << ": " << message << '\n'
        << "Try '" << QCoreApplication::applicationName() << " --help'.\n";
    return UsageError;
}

QString describe(const DatabaseFactory::Counts &c)
{
    return QStringLiteral("%1 room types, %2 rooms, %3 services, %4 guests, %5 stays, %6 consumptions")
        .arg(c.roomTypes)
        .arg(c.rooms)
        .arg(c.services)
        .arg(c.guests)
        .arg(c.stays)
        .arg(c.consumptions);
}

int upgradeTarget(const QString &file)
{
    const QString shown = DatabaseTarget::parse(file).describe();
    try {
        const QStringList added = SchemaUpgrade::upgrade(file);
        if (added.isEmpty())
            QTextStream(stdout) << shown << " lacks nothing; it was left unchanged.\n";
        else
            QTextStream(stdout) << "Upgraded " << shown << ": added " << added.join(QStringLiteral(", ")) << ".\n";
    } catch (const DataError &e) {
        QTextStream(stderr) << e.message() << '\n';
        return Failure;
    }
    return Success;
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("hotel-createdb"));

    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "Writes a new hotel database, or brings one up to date.\n"
        "\n"
        "  hotel-createdb [--empty | --demo | --large [--scale N] [--seed N]]\n"
        "                 [--today YYYY-MM-DD] [--skip-existing] TARGET\n"
        "  hotel-createdb --upgrade TARGET\n"
        "\n"
        "TARGET is a file, or a database on a PostgreSQL server named by a URL such as\n"
        "postgresql://hotel@server/hotel?sslmode=require (never with a password: libpq\n"
        "reads it from ~/.pgpass or PGPASSWORD). The database must exist and be empty.\n"
        "--demo (the default) writes a small hotel in use, with stays around today;\n"
        "--empty writes the tables only; --large writes ten years of a 200-room hotel\n"
        "(about 200,000 stays, 50,000 guests and 600,000 consumptions; --scale 0.1\n"
        "writes a tenth of it, --scale 2 twice as much).\n"
        "An existing FILE, or a database that holds tables, is never replaced: the tool\n"
        "fails with exit code 1, or with --skip-existing leaves it and succeeds.\n"
        "Wrong arguments give exit code 2.\n"
        "\n"
        "--upgrade adds to a database made by an earlier version the tables, columns,\n"
        "indexes and rules of this version that it lacks (among them the rule against\n"
        "double bookings and the change log that lets several desks follow each\n"
        "other), in one transaction; it never changes or removes what it holds, rows\n"
        "included. Close the program before upgrading its file, and start it again after.\n"
        "\n"
        "  hotel-createdb --restore COPY FILE\n"
        "\n"
        "puts a copy (such as copias/Hotel-2024-05-01.db) back as FILE: it refuses while\n"
        "another program has FILE open, checks the copy first, and keeps the file it\n"
        "replaces beside it as Hotel-replaced-YYYY-MM-DD-HHMMSS.db."));
    const QCommandLineOption help = parser.addHelpOption();
    const QCommandLineOption empty(QStringLiteral("empty"), QStringLiteral("Tables only, no rows."));
    const QCommandLineOption demo(QStringLiteral("demo"), QStringLiteral("Demonstration data (the default)."));
    const QCommandLineOption large(QStringLiteral("large"), QStringLiteral("Years of generated history, for measuring."));
    const QCommandLineOption scale(QStringLiteral("scale"),
                                   QStringLiteral("With --large: multiplies rooms, guests, stays and consumptions "
                                                  "(default 1)."),
                                   QStringLiteral("N"));
    const QCommandLineOption seed(QStringLiteral("seed"),
                                  QStringLiteral("With --large: the random seed; the same seed and day give the "
                                                 "same data (default 1)."),
                                  QStringLiteral("N"));
    const QCommandLineOption today(QStringLiteral("today"),
                                   QStringLiteral("The day the stays are placed around (default: the current day)."),
                                   QStringLiteral("YYYY-MM-DD"));
    const QCommandLineOption skipExisting(QStringLiteral("skip-existing"),
                                          QStringLiteral("If TARGET exists, leave it and succeed."));
    const QCommandLineOption upgrade(QStringLiteral("upgrade"),
                                     QStringLiteral("Add to the existing TARGET what this version's schema has and it "
                                                    "lacks; rows are never touched."));
    const QCommandLineOption restore(QStringLiteral("restore"),
                                     QStringLiteral("Put the copy COPY back as FILE, keeping the replaced file."));
    parser.addOptions({empty, demo, large, scale, seed, today, skipExisting, upgrade, restore});
    parser.addPositionalArgument(QStringLiteral("TARGET"),
                                 QStringLiteral("The database file, or the postgresql:// URL of the database."));

    if (!parser.parse(QCoreApplication::arguments()))
        return usageError(parser.errorText());
    if (parser.isSet(help)) {
        QTextStream(stdout) << parser.helpText();
        return Success;
    }
    if (parser.isSet(restore)) {
        for (const QCommandLineOption *other : {&empty, &demo, &large, &scale, &seed, &today, &skipExisting, &upgrade})
            if (parser.isSet(*other))
                return usageError(QStringLiteral("--restore goes with no other option."));
        const QStringList files = parser.positionalArguments();
        if (files.size() != 2)
            return usageError(QStringLiteral("--restore needs the COPY and the FILE it replaces."));
        try {
            const QString kept = Backup::restore(files[0], files[1], QDateTime::currentDateTime());
            QTextStream out(stdout);
            out << "Restored " << QDir::toNativeSeparators(files[0]) << " as " << QDir::toNativeSeparators(files[1])
                << ".\n";
            if (QFileInfo::exists(kept))
                out << "The replaced file was kept as " << QDir::toNativeSeparators(kept) << ".\n";
            else if (!kept.isEmpty())
                out << "Working files left beside it were kept as " << QDir::toNativeSeparators(kept) << "-*.\n";
        } catch (const DataError &e) {
            QTextStream(stderr) << e.message() << '\n';
            return Failure;
        }
        return Success;
    }
    if (int(parser.isSet(empty)) + int(parser.isSet(demo)) + int(parser.isSet(large)) > 1)
        return usageError(QStringLiteral("--empty, --demo and --large exclude each other."));
    if ((parser.isSet(scale) || parser.isSet(seed)) && !parser.isSet(large))
        return usageError(QStringLiteral("--scale and --seed go with --large."));
    if (parser.isSet(today) && parser.isSet(empty))
        return usageError(QStringLiteral("--today does not go with --empty."));
    if (parser.isSet(upgrade)) {
        for (const QCommandLineOption *other : {&empty, &demo, &large, &scale, &seed, &today, &skipExisting})
            if (parser.isSet(*other))
                return usageError(QStringLiteral("--upgrade goes with no other option."));
    }
    const QStringList files = parser.positionalArguments();
    if (files.size() != 1)
        return usageError(QStringLiteral("Give exactly one TARGET."));
    const QString file = files.first();
    try {
        DatabaseTarget::parse(file);
    } catch (const DataError &e) {
        return usageError(e.message());
    }
    if (parser.isSet(upgrade))
        return upgradeTarget(file);

    DatabaseFactory::LargeOptions options;
    if (parser.isSet(scale)) {
        bool ok = false;
        options.scale = parser.value(scale).toDouble(&ok);
        if (!ok || !(options.scale > 0))
            return usageError(QStringLiteral("--scale needs a number above zero, not '%1'.").arg(parser.value(scale)));
    }
    if (parser.isSet(seed)) {
        bool ok = false;
        options.seed = parser.value(seed).toUInt(&ok);
        if (!ok)
            return usageError(QStringLiteral("--seed needs a whole number from 0 to 4294967295, not '%1'.")
                                  .arg(parser.value(seed)));
    }
    QDate day = DateTimes::today();
    if (parser.isSet(today)) {
        day = QDate::fromString(parser.value(today), Qt::ISODate);
        if (!day.isValid())
            return usageError(QStringLiteral("--today needs a day written YYYY-MM-DD, not '%1'.").arg(parser.value(today)));
    }
    options.today = day;

    const bool server = DatabaseTarget::isServerUrl(file);
    const QString shown = server ? DatabaseTarget::parse(file).describe() : QDir::toNativeSeparators(file);
    try {
        if (DatabaseFactory::exists(file)) {
            if (parser.isSet(skipExisting)) {
                QTextStream(stdout) << shown << " already exists; left as it is.\n";
                return Success;
            }
            // A server's database says what it holds when the tool tries it.
            if (!server) {
                QTextStream(stderr) << shown << " already exists; it was left unchanged.\n";
                return Failure;
            }
        }

        QElapsedTimer timer;
        timer.start();
        QString what;
        if (parser.isSet(empty)) {
            DatabaseFactory::createEmpty(file);
            what = QStringLiteral("no rows");
        } else if (parser.isSet(large)) {
            what = describe(DatabaseFactory::createLarge(file, options));
        } else {
            what = describe(DatabaseFactory::createDemo(file, day));
        }
        QTextStream(stdout) << "Wrote " << shown << " (" << what << ") in "
                            << QString::number(timer.elapsed() / 1000.0, 'f', 1) << " s.\n";
    } catch (const DataError &e) {
        QTextStream(stderr) << e.message() << '\n';
        return Failure;
    }
    return Success;
}

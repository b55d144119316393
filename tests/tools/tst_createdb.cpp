#include "PostgresServer.h"
#include "TestDatabase.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QTest>
#include <QUuid>

// Runs hotel-createdb as the build step does: in its own process, with no
// display to connect to.
class TestCreateDb : public QObject
{
    Q_OBJECT

private slots:
    void run_data();
    void run();
    void upgrade_data();
    void upgrade();
    void onServer_data();
    void onServer();
};

namespace {

const QByteArray Original("someone's data, not to be lost\n");

struct Outcome
{
    int exitCode = -1;
    QString out;
    QString err;
};

Outcome runTool(const QStringList &arguments)
{
    QProcess tool;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    for (const char *name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"})
        env.remove(QString::fromLatin1(name));
    tool.setProcessEnvironment(env);
    tool.start(QStringLiteral(HOTEL_CREATEDB), arguments);
    if (!tool.waitForFinished(60000) || tool.exitStatus() != QProcess::NormalExit)
        return {};
    return {tool.exitCode(), QString::fromUtf8(tool.readAllStandardOutput()),
            QString::fromUtf8(tool.readAllStandardError())};
}

qint64 rows(const QString &path, const QString &table)
{
    const QString name = QUuid::createUuid().toString();
    qint64 n = -1;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), name);
        db.setDatabaseName(path);
        if (db.open()) {
            QSqlQuery q(db);
            if (q.exec(QStringLiteral("SELECT COUNT(*) FROM ") + table) && q.next())
                n = q.value(0).toLongLong();
        }
        db.close();
    }
    QSqlDatabase::removeDatabase(name);
    return n;
}

} // namespace

void TestCreateDb::run_data()
{
    // FILE in the arguments stands for the database path.
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<bool>("existing");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QString>("stderrText"); // exact, with FILE replaced; "*" for anything
    QTest::addColumn<QString>("made");       // the new database expected: "", "empty" or "demo"

    const QString refused = QStringLiteral("FILE already exists; it was left unchanged.\n");
    const QString any = QStringLiteral("*");
    QTest::newRow("demo over a file") << QStringList{QStringLiteral("--demo"), QStringLiteral("FILE")} << true << 1
                                      << refused << QString();
    QTest::newRow("default over a file") << QStringList{QStringLiteral("FILE")} << true << 1 << refused << QString();
    QTest::newRow("large over a file") << QStringList{QStringLiteral("--large"), QStringLiteral("FILE")} << true << 1
                                       << refused << QString();
    QTest::newRow("empty over a file") << QStringList{QStringLiteral("--empty"), QStringLiteral("FILE")} << true << 1
                                       << refused << QString();
    QTest::newRow("skip existing") << QStringList{QStringLiteral("--skip-existing"), QStringLiteral("FILE")} << true
                                   << 0 << QString() << QString();
    QTest::newRow("two modes") << QStringList{QStringLiteral("--empty"), QStringLiteral("--demo"), QStringLiteral("FILE")}
                               << false << 2 << any << QString();
    QTest::newRow("scale without large")
        << QStringList{QStringLiteral("--scale"), QStringLiteral("2"), QStringLiteral("FILE")} << false << 2 << any
        << QString();
    QTest::newRow("scale not a number")
        << QStringList{QStringLiteral("--large"), QStringLiteral("--scale"), QStringLiteral("many"), QStringLiteral("FILE")}
        << false << 2 << any << QString();
    QTest::newRow("no file") << QStringList{QStringLiteral("--demo")} << false << 2 << any << QString();
    QTest::newRow("restore without its file")
        << QStringList{QStringLiteral("--restore"), QStringLiteral("FILE")} << true << 2 << any << QString();
    QTest::newRow("restore with a mode")
        << QStringList{QStringLiteral("--restore"), QStringLiteral("--demo"), QStringLiteral("FILE"), QStringLiteral("FILE")}
        << true << 2 << any << QString();
    QTest::newRow("help") << QStringList{QStringLiteral("--help")} << false << 0 << QString() << QString();
    QTest::newRow("empty") << QStringList{QStringLiteral("--empty"), QStringLiteral("FILE")} << false << 0 << QString()
                           << QStringLiteral("empty");
    QTest::newRow("demo")
        << QStringList{QStringLiteral("--today"), QStringLiteral("2024-06-12"), QStringLiteral("FILE")} << false << 0
        << QString() << QStringLiteral("demo");
}

void TestCreateDb::run()
{
    QFETCH(QStringList, arguments);
    QFETCH(bool, existing);
    QFETCH(int, exitCode);
    QFETCH(QString, stderrText);
    QFETCH(QString, made);

    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString path = dir.filePath(QStringLiteral("Hotel.db"));
    if (existing) {
        QFile f(path);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(Original);
    }
    arguments.replaceInStrings(QStringLiteral("FILE"), path);

    const Outcome outcome = runTool(arguments);
    QCOMPARE(outcome.exitCode, exitCode);
    if (stderrText == u'*')
        QVERIFY(!outcome.err.isEmpty());
    else
        QCOMPARE(outcome.err, QString(stderrText).replace(QStringLiteral("FILE"), QDir::toNativeSeparators(path)));

    if (arguments.contains(QStringLiteral("--help"))) {
        QVERIFY(outcome.out.contains(QStringLiteral("--skip-existing")));
        QVERIFY(outcome.out.contains(QStringLiteral("--restore COPY FILE")));
    }
    if (existing) {
        QFile f(path);
        QVERIFY(f.open(QIODevice::ReadOnly));
        QCOMPARE(f.readAll(), Original);
    } else if (made.isEmpty()) {
        QVERIFY(!QFile::exists(path));
    } else if (made == u"empty") {
        QCOMPARE(rows(path, QStringLiteral("TiposDeHabitacion")), 0);
        QCOMPARE(rows(path, QStringLiteral("Estadias")), 0);
    } else {
        QVERIFY(rows(path, QStringLiteral("TiposDeHabitacion")) > 0);
        QVERIFY(rows(path, QStringLiteral("Estadias")) > 0);
    }
    QStringList expected;
    if (QFile::exists(path))
        expected << QStringLiteral("Hotel.db");
    QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), expected);
}

// --upgrade on a file made before the hotel's own data existed, on one that
// lacks nothing, and refusals; the file is never replaced or made.
void TestCreateDb::upgrade_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QString>("file"); // "earlier", "current", "missing", "junk"
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QString>("stdoutText"); // exact, with FILE replaced
    QTest::addColumn<bool>("tableAfter");

    const QStringList upgrade{QStringLiteral("--upgrade"), QStringLiteral("FILE")};
    QTest::newRow("made earlier") << upgrade << "earlier" << 0
                                  << "Upgraded FILE: added table DatosDelHotel, trigger trDatosDelHotelAlta, trigger "
                                     "trDatosDelHotelCambio, trigger trDatosDelHotelBaja.\n"
                                  << true;
    QTest::newRow("lacks nothing") << upgrade << "current" << 0 << "FILE lacks nothing; it was left unchanged.\n" << true;
    QTest::newRow("missing file") << upgrade << "missing" << 1 << "" << false;
    QTest::newRow("not a database") << upgrade << "junk" << 1 << "" << false;
    QTest::newRow("with another option")
        << QStringList{QStringLiteral("--upgrade"), QStringLiteral("--demo"), QStringLiteral("FILE")} << "earlier" << 2
        << "" << false;
    QTest::newRow("skip existing too")
        << QStringList{QStringLiteral("--upgrade"), QStringLiteral("--skip-existing"), QStringLiteral("FILE")}
        << "earlier" << 2 << "" << false;
}

void TestCreateDb::upgrade()
{
    QFETCH(QStringList, arguments);
    QFETCH(QString, file);
    QFETCH(int, exitCode);
    QFETCH(QString, stdoutText);
    QFETCH(bool, tableAfter);

    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString path = dir.filePath(QStringLiteral("Hotel.db"));
    if (file == u"earlier" || file == u"current") {
        QCOMPARE(runTool({QStringLiteral("--today"), QStringLiteral("2024-06-12"), path}).exitCode, 0);
        if (file == u"earlier") {
            const QString name = QUuid::createUuid().toString();
            {
                QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), name);
                db.setDatabaseName(path);
                QVERIFY(db.open());
                QVERIFY(QSqlQuery(db).exec(QStringLiteral("DROP TABLE DatosDelHotel")));
                db.close();
            }
            QSqlDatabase::removeDatabase(name);
        }
    } else if (file == u"junk") {
        QFile f(path);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(Original);
    }
    // Reading a missing file would make it.
    const qint64 stays = file == u"missing" ? -1 : rows(path, QStringLiteral("Estadias"));
    arguments.replaceInStrings(QStringLiteral("FILE"), path);

    const Outcome outcome = runTool(arguments);
    QCOMPARE(outcome.exitCode, exitCode);
    QCOMPARE(outcome.out, QString(stdoutText).replace(QStringLiteral("FILE"), QDir::toNativeSeparators(path)));
    QCOMPARE(outcome.err.isEmpty(), exitCode == 0);
    if (file == u"missing") {
        QVERIFY(QDir(dir.path()).isEmpty());
        return;
    }
    QCOMPARE(rows(path, QStringLiteral("DatosDelHotel")), tableAfter ? 0 : -1);
    QCOMPARE(rows(path, QStringLiteral("Estadias")), stays);
    if (file == u"junk") {
        QFile f(path);
        QVERIFY(f.open(QIODevice::ReadOnly));
        QCOMPARE(f.readAll(), Original);
    }
}

// A database on a PostgreSQL server: made only in an empty database, brought
// up to date in place; a password in the address is refused unread.
void TestCreateDb::onServer_data()
{
    QTest::addColumn<QString>("database"); // "empty", "hotel" (made with --empty), "old" (lacking the rules)
    QTest::addColumn<QStringList>("arguments"); // URL stands for the database's address
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QString>("said"); // in stdout (exit 0) or stderr
    QTest::addColumn<int>("stays");    // after; -1 when there are no tables

    const QString url = QStringLiteral("URL");
    QTest::newRow("empty tables") << "empty" << QStringList{QStringLiteral("--empty"), url} << 0
                                  << "Wrote the database" << 0;
    QTest::newRow("demonstration") << "empty" << QStringList{QStringLiteral("--today"), QStringLiteral("2024-06-12"), url}
                                   << 0 << "Wrote the database" << 1;
    QTest::newRow("into one with tables") << "hotel" << QStringList{QStringLiteral("--demo"), url} << 1
                                          << "already holds tables" << 0;
    QTest::newRow("skip one with tables") << "hotel" << QStringList{QStringLiteral("--skip-existing"), url} << 0
                                          << "left as it is" << 0;
    QTest::newRow("upgrade one made earlier")
        << "old" << QStringList{QStringLiteral("--upgrade"), url} << 0
        << "added trigger trHuespedesCambios, rule \"A room may not hold two stays on the same day\"" << 0;
    QTest::newRow("upgrade one that lacks nothing") << "hotel" << QStringList{QStringLiteral("--upgrade"), url} << 0
                                                    << "lacks nothing" << 0;
    QTest::newRow("upgrade one without tables") << "empty" << QStringList{QStringLiteral("--upgrade"), url} << 1
                                                << "holds no tables of the hotel" << -1;
    QTest::newRow("a password in the address")
        << "empty" << QStringList{QStringLiteral("--empty"), QStringLiteral("postgresql://hotel:secreto@/x")} << 2
        << "password" << -1;
}

void TestCreateDb::onServer()
{
    if (!TestDatabase::serverRun())
        QSKIP("Runs on the tests' PostgreSQL server");
    QFETCH(QString, database);
    QFETCH(QStringList, arguments);
    QFETCH(int, exitCode);
    QFETCH(QString, said);
    QFETCH(int, stays);
    PostgresServer *server = TestDatabase::server();
    QVERIFY(server);
    const QString name = QStringLiteral("createdb_%1").arg(QUuid::createUuid().toString(QUuid::Id128).left(12));
    QVERIFY2(server->run(QStringLiteral("postgres"), {QStringLiteral("CREATE DATABASE %1").arg(name)}),
             qPrintable(server->error()));
    const QString url = server->url(name);
    if (database != u"empty")
        QCOMPARE(runTool({QStringLiteral("--empty"), url}).exitCode, 0);
    if (database == u"old")
        QVERIFY2(server->run(name, {QStringLiteral("ALTER TABLE Estadias DROP CONSTRAINT "
                                                   "\"A room may not hold two stays on the same day\""),
                                    QStringLiteral("DROP TRIGGER trHuespedesCambios ON Huespedes")}),
                 qPrintable(server->error()));
    arguments.replaceInStrings(QStringLiteral("URL"), url);
    const Outcome outcome = runTool(arguments);
    QCOMPARE(outcome.exitCode, exitCode);
    QVERIFY2((exitCode == 0 ? outcome.out : outcome.err).contains(said), qPrintable(outcome.out + outcome.err));
    QVERIFY(!outcome.err.contains(QStringLiteral("secreto")));

    int found = -1;
    const QString check = QStringLiteral("check-") + QUuid::createUuid().toString(QUuid::WithoutBraces);
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QPSQL"), check);
        db.setConnectOptions(QStringLiteral("host=%1 dbname=%2 user=%3")
                                 .arg(server->socketFolder(), name, PostgresServer::Superuser));
        QVERIFY(db.open());
        QSqlQuery q(db);
        if (q.exec(QStringLiteral("SELECT count(*) FROM Estadias")) && q.next())
            found = q.value(0).toInt() > 0 ? 1 : 0;
        if (database == u"old" && exitCode == 0) {
            // The rule is back: an overlapping stay is refused.
            QVERIFY(q.exec(QStringLiteral("INSERT INTO TiposDeHabitacion (Nombre) VALUES ('T') RETURNING IdTipo")));
            QVERIFY(q.next());
            const qint64 type = q.value(0).toLongLong();
            QVERIFY(q.exec(QStringLiteral("INSERT INTO Habitaciones (NroHabitacion, IdTipo) VALUES ('7', %1) "
                                          "RETURNING idHabitacion").arg(type)));
            QVERIFY(q.next());
            const qint64 room = q.value(0).toLongLong();
            const QString stay = QStringLiteral("INSERT INTO Estadias (IdHabitacion, FechaIngreso, FechaEgreso, Estado) "
                                                "VALUES (%1, '2014-01-01', '2014-01-05', 'Reservada')").arg(room);
            QVERIFY(q.exec(stay));
            QVERIFY(!q.exec(stay));
        }
        q.finish();
        db.close();
    }
    QSqlDatabase::removeDatabase(check);
    QVERIFY(server->run(QStringLiteral("postgres"), {QStringLiteral("DROP DATABASE %1 WITH (FORCE)").arg(name)}));
    QCOMPARE(found, stays);
}

QTEST_GUILESS_MAIN(TestCreateDb)
#include "tst_createdb.moc"

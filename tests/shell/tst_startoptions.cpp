#include "StartOptions.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

// The command line, hotel.conf and the user's folders.
class TestStartOptions : public QObject
{
    Q_OBJECT

private slots:
    void parse_data();
    void parse();
    void target_data();
    void target();
    void userFolders_data();
    void userFolders();
};

void TestStartOptions::parse_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QString>("database");
    QTest::addColumn<bool>("help");
    QTest::addColumn<bool>("version");
    QTest::addColumn<QString>("error");

    QTest::newRow("nothing") << QStringList{} << "" << false << false << "";
    QTest::newRow("a database") << QStringList{"--database", "/srv/Hotel.db"} << "/srv/Hotel.db" << false << false << "";
    QTest::newRow("a database, one word") << QStringList{"--database=otro.db"} << "otro.db" << false << false << "";
    QTest::newRow("a name with blanks") << QStringList{"--database", "Mis datos/Hotel 2.db"} << "Mis datos/Hotel 2.db"
                                        << false << false << "";
    QTest::newRow("help") << QStringList{"--help"} << "" << true << false << "";
    QTest::newRow("short help") << QStringList{"-h"} << "" << true << false << "";
    QTest::newRow("version") << QStringList{"--version"} << "" << false << true << "";
    QTest::newRow("no file") << QStringList{"--database"} << "" << false << false << "--database needs a FILE.";
    QTest::newRow("an empty file name") << QStringList{"--database="} << "" << false << false
                                        << "--database needs a FILE.";
    QTest::newRow("twice") << QStringList{"--database", "a.db", "--database", "b.db"} << "a.db" << false << false
                           << "--database is given more than once.";
    QTest::newRow("unknown option") << QStringList{"--datbase", "a.db"} << "" << false << false
                                    << "Unknown option '--datbase'.";
    QTest::newRow("a file without the option")
        << QStringList{"Hotel.db"} << "" << false << false
        << "Unexpected argument 'Hotel.db': name a database with --database FILE.";
}

void TestStartOptions::parse()
{
    QFETCH(QStringList, arguments);
    QFETCH(QString, database);
    QFETCH(bool, help);
    QFETCH(bool, version);
    QFETCH(QString, error);
    arguments.prepend(QStringLiteral("/usr/libexec/hotel/hotel"));
    const StartOptions::CommandLine got = StartOptions::parse(arguments);
    QCOMPARE(got.error, error);
    if (error.isEmpty())
        QCOMPARE(got.database, database);
    QCOMPARE(got.help, help);
    QCOMPARE(got.version, version);
    QVERIFY(got.helpText.startsWith(QStringLiteral("Usage: hotel [--database FILE]")));
}

void TestStartOptions::target_data()
{
    // Paths: PROGRAM is the executable's folder, CONFIG the user's configuration
    // folder, HOME the home folder, CWD the current folder.
    QTest::addColumn<QString>("commandLine");
    QTest::addColumn<QString>("besideProgram"); // hotel.conf's text, or "folder" for a folder of that name
    QTest::addColumn<QString>("inConfig");
    QTest::addColumn<QString>("target");
    QTest::addColumn<int>("source");
    QTest::addColumn<QString>("error");

    const int commandLine = int(StartOptions::Target::Source::CommandLine);
    const int configFile = int(StartOptions::Target::Source::ConfigFile);
    const int byDefault = int(StartOptions::Target::Source::Default);
    const QString none;
    QTest::newRow("nothing") << none << none << none << "PROGRAM/Hotel.db" << byDefault << "";
    QTest::newRow("command line") << "CWD/a.db" << none << none << "CWD/a.db" << commandLine << "";
    QTest::newRow("command line, relative") << "datos/a.db" << none << none << "CWD/datos/a.db" << commandLine << "";
    QTest::newRow("command line wins") << "CWD/a.db" << "[database]\ntarget=/srv/b.db\n"
                                       << "[database]\ntarget=/srv/c.db\n" << "CWD/a.db" << commandLine << "";
    QTest::newRow("beside the program") << none << "[database]\ntarget=/srv/b.db\n" << none << "/srv/b.db" << configFile
                                        << "";
    QTest::newRow("in the user's folder") << none << none << "[database]\ntarget=/srv/c.db\n" << "/srv/c.db"
                                          << configFile << "";
    QTest::newRow("beside the program first") << none << "[database]\ntarget=/srv/b.db\n"
                                              << "[database]\ntarget=/srv/c.db\n" << "/srv/b.db" << configFile << "";
    QTest::newRow("relative to the file") << none << none << "[database]\ntarget=datos/Hotel.db\n"
                                          << "CONFIG/hotel/datos/Hotel.db" << configFile << "";
    QTest::newRow("home folder") << none << none << "[database]\ntarget=~/hotel/Hotel.db\n" << "HOME/hotel/Hotel.db"
                                 << configFile << "";
    QTest::newRow("blanks and a comma") << none << none << "[database]\ntarget = /srv/Hotel, sede 2.db \n"
                                        << "/srv/Hotel, sede 2.db" << configFile << "";
    QTest::newRow("without the key, passed over") << none << "[database]\nother=1\n"
                                                  << "[database]\ntarget=/srv/c.db\n" << "/srv/c.db" << configFile
                                                  << "";
    QTest::newRow("an empty target, passed over") << none << "[database]\ntarget=\n" << none << "PROGRAM/Hotel.db"
                                                  << byDefault << "";
    QTest::newRow("another group") << none << none << "[base]\ntarget=/srv/c.db\n" << "PROGRAM/Hotel.db" << byDefault
                                   << "";
    // A server's address is no path: it stays as written.
    QTest::newRow("a server on the command line")
        << "postgresql://hotel@servidor/hotel?sslmode=require" << none << none
        << "postgresql://hotel@servidor/hotel?sslmode=require" << commandLine << "";
    QTest::newRow("a server in hotel.conf") << none << none << "[database]\ntarget=postgres://hotel@servidor:5433/hotel\n"
                                            << "postgres://hotel@servidor:5433/hotel" << configFile << "";
    QTest::newRow("cannot be read") << none << "folder" << none << "" << byDefault
                                    << "No se puede leer el archivo de configuración «PROGRAM/hotel.conf».";
}

void TestStartOptions::target()
{
    QFETCH(QString, commandLine);
    QFETCH(QString, besideProgram);
    QFETCH(QString, inConfig);
    QFETCH(QString, target);
    QFETCH(int, source);
    QFETCH(QString, error);

    QTemporaryDir program;
    QTemporaryDir config;
    QVERIFY(program.isValid() && config.isValid());
    const auto place = [](const QString &path, const QString &text) {
        if (text.isEmpty())
            return true;
        if (text == u"folder")
            return QDir().mkpath(path);
        QDir().mkpath(QFileInfo(path).absolutePath());
        QFile f(path);
        return f.open(QIODevice::WriteOnly) && f.write(text.toUtf8()) > 0;
    };
    QVERIFY(place(program.filePath(QStringLiteral("hotel.conf")), besideProgram));
    QVERIFY(place(config.filePath(QStringLiteral("hotel/hotel.conf")), inConfig));
    const auto paths = [&](QString text) {
        return text.replace(QStringLiteral("PROGRAM"), program.path())
            .replace(QStringLiteral("CONFIG"), config.path())
            .replace(QStringLiteral("HOME"), QDir::homePath())
            .replace(QStringLiteral("CWD"), QDir::currentPath());
    };

    const StartOptions::Target got = StartOptions::databaseTarget(paths(commandLine), program.path(), config.path());
    QCOMPARE(got.error, paths(error));
    QCOMPARE(got.target, paths(target));
    QCOMPARE(int(got.source), source);
    if (source == int(StartOptions::Target::Source::ConfigFile))
        QVERIFY(got.configFile.endsWith(QStringLiteral("/hotel.conf")));
}

void TestStartOptions::userFolders_data()
{
    QTest::addColumn<QByteArray>("value"); // of every XDG variable; "unset" for none
    QTest::addColumn<QString>("config");
    QTest::addColumn<QString>("data");
    QTest::addColumn<QString>("state");
    QTest::newRow("unset") << QByteArray("unset") << "HOME/.config" << "HOME/.local/share" << "HOME/.local/state";
    QTest::newRow("empty") << QByteArray("") << "HOME/.config" << "HOME/.local/share" << "HOME/.local/state";
    // A relative path is to be ignored.
    QTest::newRow("relative") << QByteArray("xdg") << "HOME/.config" << "HOME/.local/share" << "HOME/.local/state";
    QTest::newRow("absolute") << QByteArray("/srv/xdg/") << "/srv/xdg" << "/srv/xdg" << "/srv/xdg";
}

void TestStartOptions::userFolders()
{
    QFETCH(QByteArray, value);
    QFETCH(QString, config);
    QFETCH(QString, data);
    QFETCH(QString, state);
    const char *const names[] = {"XDG_CONFIG_HOME", "XDG_DATA_HOME", "XDG_STATE_HOME"};
    QHash<QByteArray, QByteArray> saved;
    for (const char *name : names)
        if (qEnvironmentVariableIsSet(name))
            saved.insert(name, qgetenv(name));
    for (const char *name : names) {
        if (value == "unset")
            qunsetenv(name);
        else
            qputenv(name, value);
    }
    const QString home = QDir::homePath();
    const QString gotConfig = StartOptions::configHome();
    const QString gotData = StartOptions::dataHome();
    const QString gotState = StartOptions::stateHome();
    for (const char *name : names) {
        if (saved.contains(name))
            qputenv(name, saved.value(name));
        else
            qunsetenv(name);
    }
    QCOMPARE(gotConfig, QString(config).replace(QStringLiteral("HOME"), home));
    QCOMPARE(gotData, QString(data).replace(QStringLiteral("HOME"), home));
    QCOMPARE(gotState, QString(state).replace(QStringLiteral("HOME"), home));
}

QTEST_GUILESS_MAIN(TestStartOptions)
#include "tst_startoptions.moc"

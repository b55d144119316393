#include "Appearance.h"
#include "Launcher.h"
#include "TestDatabase.h"
#include "WindowTest.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QTest>
#include <QUuid>

// The installed program's launcher: what it starts the program with, and the
// question of the very first start, answered through the real dialog.
class TestLauncher : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void plan_data();
    void plan();
    void firstStart_data();
    void firstStart();
    void firstStartFailures_data();
    void firstStartFailures();
};

namespace {

struct Folders
{
    QTemporaryDir root;
    Launcher::Paths paths() const
    {
        return {root.filePath(QStringLiteral("libexec/hotel/hotel")), QStringLiteral(HOTEL_CREATEDB),
                root.filePath(QStringLiteral("data")), root.filePath(QStringLiteral("config"))};
    }
};

} // namespace

void TestLauncher::initTestCase()
{
    Appearance::apply(*static_cast<QApplication *>(QCoreApplication::instance()));
}

void TestLauncher::plan_data()
{
    QTest::addColumn<QStringList>("original"); // as given, Qt's options too
    QTest::addColumn<QStringList>("arguments"); // what Qt leaves
    QTest::addColumn<QString>("config");        // hotel.conf in the user's folder
    QTest::addColumn<QStringList>("expected");  // USER: the user's database
    QTest::addColumn<bool>("onUserDatabase");

    const QStringList none;
    QTest::newRow("nothing given") << none << none << "" << QStringList{"--database", "USER"} << true;
    QTest::newRow("Qt's options go on") << QStringList{"-platform", "offscreen"} << none << ""
                                        << QStringList{"--database", "USER", "-platform", "offscreen"} << true;
    QTest::newRow("a database given") << QStringList{"--database", "/srv/Hotel.db"}
                                      << QStringList{"--database", "/srv/Hotel.db"} << ""
                                      << QStringList{"--database", "/srv/Hotel.db"} << false;
    QTest::newRow("hotel.conf names one") << none << none << "[database]\ntarget=/srv/Hotel.db\n" << none << false;
    QTest::newRow("hotel.conf without a target") << none << none << "[database]\n"
                                                 << QStringList{"--database", "USER"} << true;
    QTest::newRow("help") << QStringList{"--help"} << QStringList{"--help"} << "" << QStringList{"--help"} << false;
    QTest::newRow("version") << QStringList{"-v"} << QStringList{"-v"} << "" << QStringList{"-v"} << false;
    // The program says what is wrong.
    QTest::newRow("a wrong option") << QStringList{"--nada"} << QStringList{"--nada"} << ""
                                    << QStringList{"--nada"} << false;
}

void TestLauncher::plan()
{
    QFETCH(QStringList, original);
    QFETCH(QStringList, arguments);
    QFETCH(QString, config);
    QFETCH(QStringList, expected);
    QFETCH(bool, onUserDatabase);
    Folders folders;
    const Launcher::Paths paths = folders.paths();
    if (!config.isEmpty()) {
        QVERIFY(QDir().mkpath(paths.configHome + QStringLiteral("/hotel")));
        QFile f(paths.configHome + QStringLiteral("/hotel/hotel.conf"));
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(config.toUtf8());
    }
    original.prepend(QStringLiteral("/usr/bin/hotel"));
    arguments.prepend(QStringLiteral("/usr/bin/hotel"));
    const QString user = paths.dataHome + QStringLiteral("/hotel/Hotel.db");
    const Launcher::Plan got = Launcher::plan(arguments, original, paths);
    QCOMPARE(got.arguments, expected.replaceInStrings(QStringLiteral("USER"), user));
    QCOMPARE(got.userDatabase, onUserDatabase ? user : QString());
    QCOMPARE(Launcher::userDatabase(paths), user);
}

void TestLauncher::firstStart_data()
{
    QTest::addColumn<QString>("answer"); // a button's text; empty: the close box
    QTest::addColumn<int>("outcome");
    QTest::addColumn<QString>("made"); // "empty", "demo" or ""
    QTest::newRow("empty hotel") << "Hotel &vacío" << int(Launcher::FirstStart::Ready) << "empty";
    QTest::newRow("demonstration data") << "&Datos de demostración" << int(Launcher::FirstStart::Ready) << "demo";
    QTest::newRow("leave") << "&Salir" << int(Launcher::FirstStart::NotNow) << "";
    QTest::newRow("close box") << "" << int(Launcher::FirstStart::NotNow) << "";
}

void TestLauncher::firstStart()
{
    QFETCH(QString, answer);
    QFETCH(int, outcome);
    QFETCH(QString, made);
    Folders folders;
    const Launcher::Paths paths = folders.paths();
    const QString database = Launcher::userDatabase(paths);

    DialogAnswers answers(answer);
    QCOMPARE(int(Launcher::firstStart(database, paths)), outcome);
    QCOMPARE(answers.boxes().size(), 1);
    const DialogAnswers::Box box = answers.boxes().first();
    QCOMPARE(box.title, QStringLiteral("Administración de Hotel"));
    QCOMPARE(box.text, Launcher::questionText());
    QCOMPARE(box.icon, QMessageBox::Question);
    QCOMPARE(box.buttons, Launcher::answers());
    QCOMPARE(box.buttons, (QStringList{"Hotel &vacío", "&Datos de demostración", "&Salir"}));
    QCOMPARE(answers.unexpected(), 0);

    if (made.isEmpty()) {
        // Nothing is written, so the next start asks again.
        QVERIFY(!QFileInfo::exists(paths.dataHome));
        return;
    }
    QCOMPARE(QDir(QFileInfo(database).absolutePath()).entryList(QDir::Files), QStringList{QStringLiteral("Hotel.db")});
    QCOMPARE(rowCountOfFile(database, QStringLiteral("Huespedes")) > 0, made == u"demo");
    QCOMPARE(rowCountOfFile(database, QStringLiteral("Habitaciones")) > 0, made == u"demo");
}

void TestLauncher::firstStartFailures_data()
{
    QTest::addColumn<QString>("fault");
    QTest::addColumn<QString>("message");
    QTest::newRow("no creation tool") << "no tool" << "No se pudo ejecutar «";
    QTest::newRow("a file where the folder goes") << "file in the way" << "No se pudo crear la carpeta «";
}

void TestLauncher::firstStartFailures()
{
    QFETCH(QString, fault);
    QFETCH(QString, message);
    Folders folders;
    Launcher::Paths paths = folders.paths();
    if (fault == u"no tool") {
        paths.createdb = folders.root.filePath(QStringLiteral("missing/hotel-createdb"));
    } else {
        QFile f(paths.dataHome);
        QVERIFY(f.open(QIODevice::WriteOnly));
    }
    DialogAnswers answers({QStringLiteral("Hotel &vacío"), QStringLiteral("OK")});
    QCOMPARE(Launcher::firstStart(Launcher::userDatabase(paths), paths), Launcher::FirstStart::Failed);
    QCOMPARE(answers.boxes().size(), 2);
    const DialogAnswers::Box error = answers.boxes().last();
    QCOMPARE(error.title, QStringLiteral("Administración de Hotel"));
    QCOMPARE(error.icon, QMessageBox::Critical);
    QVERIFY2(error.text.startsWith(message), qPrintable(error.text));
    QVERIFY(!QFileInfo::exists(Launcher::userDatabase(paths)));
}

QTEST_MAIN(TestLauncher)
#include "tst_launcher.moc"

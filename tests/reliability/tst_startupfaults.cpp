#include "DataGrid.h"
#include "PostgresServer.h"
#include "RecordNavigator.h"
#include "Regional.h"
#include "Startup.h"
#include "TestDatabase.h"
#include "TestSupport.h"
#include "UDM.h"
#include "UHuespedes.h"
#include "UPrincipal.h"
#include "UServicios.h"
#include "Unprivileged.h"
#include "WindowTest.h"

#include <QAbstractButton>
#include <QApplication>
#include <QCryptographicHash>
#include <QDir>
#include <QMenuBar>
#include <QScopeGuard>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTest>

// Start-up with a database file (or server) that cannot serve, started the
// way the main block does: one clear dialog, a usable main window, and the
// folder left as it was. (Each fault's message at the data module is in tst_datamodule.)
class TestStartupFaults : public QObject
{
    Q_OBJECT

private:
    // Every file of the folder with a digest of its bytes.
    static QStringList folderState(const QString &folder)
    {
        QStringList out;
        const QDir dir(folder);
        for (const QFileInfo &info : dir.entryInfoList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot, QDir::Name)) {
            QByteArray digest = "folder";
            if (info.isFile()) {
                QFile f(info.filePath());
                digest = f.open(QIODevice::ReadOnly) ? QCryptographicHash::hash(f.readAll(), QCryptographicHash::Sha1).toHex()
                                                      : QByteArray("unreadable");
            }
            out << info.fileName() + u' ' + QString::fromLatin1(digest);
        }
        return out;
    }

    // Gives the test's folder back to its owner whatever happened, so that it
    // can be removed.
    struct OwnerMode
    {
        QString folder;
        ~OwnerMode() { Unprivileged::setMode(folder, 0700); }
    };

    static void damage(TestDatabase &db, const QString &how)
    {
        const QString path = db.path();
        // Open to the unprivileged user unless the fault is about modes.
        QVERIFY(Unprivileged::setMode(db.folder(), 0777));
        QVERIFY(Unprivileged::setMode(path, 0666));
        if (how == u"missing") {
            QVERIFY(QFile::remove(path));
        } else if (how == u"empty") {
            db.closeConnection();
            QFile f(path);
            QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        } else if (how == u"random" || how == u"truncated" || how == u"header only") {
            // Closed first, so that no journal of the engine is left beside the file.
            db.closeConnection();
            QFile f(path);
            QVERIFY(f.open(QIODevice::ReadOnly));
            const QByteArray original = f.readAll();
            f.close();
            QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
            if (how == u"random") {
                QByteArray junk(16384, '\0');
                quint32 x = 2463534242u;
                for (char &c : junk) {
                    x ^= x << 13, x ^= x >> 17, x ^= x << 5;
                    c = char(x);
                }
                f.write(junk);
            } else if (how == u"header only") {
                f.write(original.left(100));
            } else {
                f.write(original.left(original.size() / 3));
            }
        } else if (how == u"no table") {
            db.exec(QStringLiteral("PRAGMA foreign_keys = OFF"));
            db.exec(QStringLiteral("DROP TABLE Servicios"));
        } else if (how == u"no column") {
            db.exec(QStringLiteral("ALTER TABLE Huespedes DROP COLUMN EMail"));
        } else if (how == u"read-only file" || how == u"read-only folder") {
            const bool file = how == u"read-only file";
            QVERIFY(Unprivileged::setMode(db.folder(), file ? 0777 : 0555));
            QVERIFY(Unprivileged::setMode(path, file ? 0444 : 0666));
        } else {
            QFAIL(qPrintable(how));
        }
        db.closeConnection();
    }

private slots:
    void initTestCase()
    {
        Startup::configure(*static_cast<QApplication *>(QCoreApplication::instance()));
    }

    void cleanup() { Startup::destroyAll(); }

    void oneDialogThenAUsableWindow_data()
    {
        QTest::addColumn<QString>("how");
        QTest::addColumn<QString>("message");
        // The guests cursor opens first, the services cursor fourth.
        QTest::addColumn<bool>("guestsOpen");
        if (TestDatabase::serverRun()) {
            // Each names the server's host, the database and the server's words.
            QTest::newRow("no server there") << "no server" << "on the server '" << false;
            QTest::newRow("a wrong password")
                << "wrong password" << "password authentication failed for user \"hotel\"" << false;
            QTest::newRow("a database that does not exist")
                << "no database" << "database \"nadie\" does not exist" << false;
            QTest::newRow("a database without tables") << "no tables" << "holds no tables of the hotel" << false;
            return;
        }
        QTest::newRow("missing") << "missing" << "Could not find file" << false;
        QTest::newRow("empty file") << "empty" << "no such table: Huespedes" << false;
        QTest::newRow("random bytes") << "random" << "file is not a database" << false;
        QTest::newRow("truncated") << "truncated" << "" << false;
        QTest::newRow("only the header left") << "header only" << "" << false;
        QTest::newRow("a table missing") << "no table" << "no such table: Servicios" << true;
        QTest::newRow("a column missing") << "no column" << "no such column: EMail" << false;
        QTest::newRow("read-only file") << "read-only file" << "it is read-only" << false;
        QTest::newRow("read-only folder") << "read-only folder" << "of the database file cannot be written" << false;
        // The program waits its ten seconds for the other program first.
        QTest::newRow("locked by another program") << "locked" << "in use by another program" << false;
    }

    void oneDialogThenAUsableWindow()
    {
        QFETCH(QString, how);
        QFETCH(QString, message);
        QFETCH(bool, guestsOpen);
        TestDatabase db;
        QVERIFY(db.isValid());
        db.addGuest(QStringLiteral("Ana"));
        db.addService(QStringLiteral("Spa"), money("30"));
        const OwnerMode owner{db.folder()};
        // Another program holding the file for itself, until the test ends.
        const QString lockName = QStringLiteral("other program");
        struct Locker
        {
            QString name;
            ~Locker()
            {
                QSqlDatabase::database(name, false).close();
                QSqlDatabase::removeDatabase(name);
            }
        } locker{lockName};
        // A server's faults are in the address, the server or the password.
        QString target = db.target();
        const QByteArray passwordBefore = qgetenv("PGPASSWORD");
        const auto restorePassword = qScopeGuard([&] {
            if (passwordBefore.isNull())
                qunsetenv("PGPASSWORD");
            else
                qputenv("PGPASSWORD", passwordBefore);
        });
        QString emptyDatabase;
        if (db.isServer()) {
            PostgresServer *server = TestDatabase::server();
            if (how == u"no server") {
                target = QStringLiteral("postgresql://hotel@/hotel?host=%1").arg(db.folder());
            } else if (how == u"wrong password") {
                target = server->url(db.databaseName(), PostgresServer::HotelRole);
                qputenv("PGPASSWORD", "no-es-la-clave");
            } else if (how == u"no database") {
                target = server->url(QStringLiteral("nadie"));
            } else if (how == u"no tables") {
                emptyDatabase = db.databaseName() + QStringLiteral("_vacia");
                QVERIFY(server->run(QStringLiteral("postgres"), {QStringLiteral("CREATE DATABASE %1").arg(emptyDatabase)}));
                target = server->url(emptyDatabase);
            }
            db.closeConnection();
        } else if (how == u"locked") {
            QVERIFY(Unprivileged::setMode(db.folder(), 0777));
            QVERIFY(Unprivileged::setMode(db.path(), 0666));
            db.closeConnection();
            QSqlDatabase other = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), lockName);
            other.setDatabaseName(db.path());
            QVERIFY(other.open());
            QSqlQuery q(other);
            QVERIFY(q.exec(QStringLiteral("PRAGMA locking_mode = EXCLUSIVE")));
            QVERIFY(q.exec(QStringLiteral("BEGIN EXCLUSIVE")));
        } else if (!db.isServer()) {
            damage(db, how);
        }
        if (QTest::currentTestFailed())
            return;
        const QStringList before = folderState(db.folder());

        {
            DialogAnswers answers(QStringLiteral("OK"));
            if (db.isServer()) {
                Startup::createAllOn(target, QString());
            } else {
                Unprivileged nobody;
                QVERIFY(nobody.isValid());
                Startup::createAll(db.folder());
            }
            Regional::setSettings(spanishSettings());
            QCOMPARE(answers.boxes().size(), 1);
            const DialogAnswers::Box box = answers.boxes().front();
            QCOMPARE(box.title, QStringLiteral("Administración de Hotel"));
            QCOMPARE(box.icon, QMessageBox::Critical);
            QCOMPARE(box.buttons, QStringList({"OK"}));
            QVERIFY2(box.text.contains(message), qPrintable(box.text));
            QVERIFY2(box.text.size() < 400, "the message is not one clear sentence");

            // The main window with its whole menu; the services cursor stayed closed.
            QVERIFY(FPrincipal);
            QCOMPARE(FPrincipal->menuBar()->actions().size(), 7);
            QCOMPARE(DM->THuespedes->isOpen(), guestsOpen);
            QVERIFY(!DM->TServicios->isOpen());
            showModalAnd(FServcios, [] {
                QCOMPARE(FServcios->DBGrid1->rowCount(), 0);
                for (int b = 0; b <= 6; ++b)
                    QVERIFY(!FServcios->DBNavigator1->button(b)->isEnabled());
                FServcios->DBNavigator1->press(RecordNavigator::Insert);
            });
            QCOMPARE(answers.texts().last(), QStringLiteral("TServicios: Cannot perform this operation on a closed dataset."));
            // The guests window works exactly when its cursor opened.
            showModalAnd(FHuespedes, [] {
                QCOMPARE(FHuespedes->DBGrid1->rowCount(), DM->THuespedes->isOpen() ? 1 : 0);
                FHuespedes->DBNavigator1->press(RecordNavigator::Last);
            });
            QCOMPARE(answers.boxes().size(), guestsOpen ? 2 : 3);
        }
        // Once the program has ended, the folder is as it was.
        Startup::destroyAll();
        QCOMPARE(folderState(db.folder()), before);
        if (!emptyDatabase.isEmpty())
            QVERIFY(TestDatabase::server()->run(QStringLiteral("postgres"),
                                                {QStringLiteral("DROP DATABASE %1 WITH (FORCE)").arg(emptyDatabase)}));
    }

    // A read-only file is refused at once, not at the first post; made
    // writable, the same file opens and takes posts.
    void readOnlyFileOpensOnceWritable()
    {
        if (TestDatabase::serverRun())
            QSKIP("A file's modes only");
        TestDatabase db;
        QVERIFY(db.isValid());
        db.addGuest(QStringLiteral("Ana"));
        db.closeConnection();
        const OwnerMode owner{db.folder()};
        QVERIFY(Unprivileged::setMode(db.folder(), 0777));
        DialogAnswers answers(QStringLiteral("OK"));
        for (const mode_t mode : {mode_t(0444), mode_t(0666)}) {
            QVERIFY(Unprivileged::setMode(db.path(), mode));
            Unprivileged nobody;
            Startup::createAll(db.folder());
            QCOMPARE(DM->THuespedes->isOpen(), mode == 0666);
            if (DM->THuespedes->isOpen()) {
                Cursor &guests = *DM->THuespedes;
                guests.append();
                guests.setValue(QStringLiteral("Nombre"), QStringLiteral("Beto"));
                guests.post();
            }
            Startup::destroyAll();
        }
        QCOMPARE(answers.boxes().size(), 1);
        QCOMPARE(db.scalar(QStringLiteral("SELECT group_concat(Nombre) FROM Huespedes")).toString(), QStringLiteral("Ana,Beto"));
    }
};

QTEST_MAIN(TestStartupFaults)
#include "tst_startupfaults.moc"

#include "Backup.h"
#include "DataError.h"
#include "Database.h"
#include "DatabaseFactory.h"
#include "TestDatabase.h"
#include "UDM.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QTemporaryDir>
#include <QTest>
#include <QUuid>

#include <memory>

// hotel-createdb --restore COPY FILE, run as its own process the way a person
// runs it.
class TestRestore : public QObject
{
    Q_OBJECT

private slots:
    void restore_data();
    void restore();
};

namespace {

struct Outcome
{
    int exitCode = -1;
    QString out;
    QString err;
};

Outcome restoreTool(const QString &copy, const QString &target)
{
    QProcess tool;
    tool.start(QStringLiteral(HOTEL_CREATEDB), {QStringLiteral("--restore"), copy, target});
    if (!tool.waitForFinished(60000) || tool.exitStatus() != QProcess::NormalExit)
        return {};
    return {tool.exitCode(), QString::fromUtf8(tool.readAllStandardOutput()),
            QString::fromUtf8(tool.readAllStandardError())};
}

QByteArray bytesOf(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

void write(const QString &path, const QByteArray &bytes)
{
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate) || f.write(bytes) != bytes.size())
        qFatal("cannot write %s", qPrintable(path));
}

QByteArray junk(int size, quint32 seed)
{
    QByteArray out(size, '\0');
    for (char &c : out) {
        seed ^= seed << 13, seed ^= seed >> 17, seed ^= seed << 5;
        c = char(seed);
    }
    return out;
}

QStringList filesIn(const QString &folder)
{
    return QDir(folder).entryList(QDir::Files | QDir::Hidden, QDir::Name);
}

} // namespace

void TestRestore::restore_data()
{
    QTest::addColumn<QString>("copy");   // good, random, truncated, failing check, not a hotel, missing, same
    QTest::addColumn<QString>("target"); // closed, none, damaged with log, in use
    QTest::addColumn<QString>("refusal"); // part of the message; empty when it restores

    QTest::newRow("over a closed database") << "good" << "closed" << "";
    QTest::newRow("no database yet") << "good" << "none" << "";
    QTest::newRow("over a damaged database and its log") << "good" << "damaged with log" << "";
    QTest::newRow("database in use") << "good" << "in use" << "is open in another program";
    QTest::newRow("random bytes") << "random" << "closed" << "is damaged (file is not a database)";
    QTest::newRow("truncated copy") << "truncated" << "closed" << "is damaged";
    QTest::newRow("copy failing its check") << "failing check" << "closed" << "is damaged";
    QTest::newRow("not a hotel database") << "not a hotel" << "closed" << "is not a hotel database";
    QTest::newRow("no such copy") << "missing" << "closed" << "Could not find file";
    QTest::newRow("the database itself") << "same" << "closed" << "are the same file";
}

void TestRestore::restore()
{
    QFETCH(QString, copy);
    QFETCH(QString, target);
    QFETCH(QString, refusal);

    // Today's database, with a copy of an earlier state in copias/.
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString database = dir.filePath(QStringLiteral("Hotel.db"));
    DatabaseFactory::createDemo(database, QDate(2024, 6, 12));
    QString copyPath;
    {
        Database db(QStringLiteral("restore-arrange"));
        db.open(database);
        QCOMPARE(Backup::makeDailyCopy(db, QDate(2024, 6, 12)), Backup::DailyOutcome::Made);
        QSqlQuery q = db.prepare(QStringLiteral("DELETE FROM ConsumoDeServicios"), Database::Operation::Delete);
        db.exec(q, Database::Operation::Delete);
        copyPath = QDir(Backup::folderOf(database)).filePath(Backup::copyName(database, QDate(2024, 6, 12)));
    }
    const QStringList earlier = rowsOfFile(copyPath);
    QVERIFY(earlier.size() > 50);
    QVERIFY(rowsOfFile(database) != earlier);

    if (copy == u"random") {
        write(copyPath, junk(16384, 7));
    } else if (copy == u"truncated") {
        const QByteArray whole = bytesOf(copyPath);
        write(copyPath, whole.left(whole.size() / 3));
    } else if (copy == u"failing check") {
        TestDatabase broken;
        QVERIFY(broken.isValid());
        broken.addGuest(QStringLiteral("Ana"));
        broken.damageAnIndex();
        write(copyPath, bytesOf(broken.path()));
    } else if (copy == u"not a hotel") {
        QFile::remove(copyPath);
        const QString name = QUuid::createUuid().toString();
        {
            QSqlDatabase other = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), name);
            other.setDatabaseName(copyPath);
            QVERIFY(other.open());
            QVERIFY(QSqlQuery(other).exec(QStringLiteral("CREATE TABLE Notas (texto TEXT)")));
        }
        QSqlDatabase::removeDatabase(name);
    } else if (copy == u"missing") {
        QVERIFY(QFile::remove(copyPath));
    } else if (copy == u"same") {
        copyPath = database;
    }

    std::unique_ptr<Database> program;
    if (target == u"none") {
        QVERIFY(QFile::remove(database));
    } else if (target == u"damaged with log") {
        write(database, junk(20000, 3));
        write(database + QStringLiteral("-wal"), junk(5000, 5));
    } else if (target == u"in use") {
        program = std::make_unique<Database>(QStringLiteral("restore-other-program"));
        program->open(database);
    }
    // Read only when no connection is open on it here: closing any other
    // descriptor of the file would drop that connection's locks.
    const QByteArray before = program ? QByteArray() : bytesOf(database);
    const QByteArray logBefore = program ? QByteArray() : bytesOf(database + QStringLiteral("-wal"));
    const QStringList beforeRows = rowsOfFile(database);
    const QStringList folderBefore = filesIn(dir.path());

    const Outcome outcome = restoreTool(copyPath, database);
    if (!refusal.isEmpty()) {
        QCOMPARE(outcome.exitCode, 1);
        QVERIFY2(outcome.err.contains(refusal), qPrintable(outcome.err));
        // Nothing changed: the database, its folder, the copies.
        QCOMPARE(filesIn(dir.path()), folderBefore);
        QCOMPARE(rowsOfFile(database), beforeRows);
        if (!program)
            QCOMPARE(bytesOf(database), before);
        return;
    }

    QVERIFY2(outcome.exitCode == 0, qPrintable(outcome.err));
    QCOMPARE(outcome.err, QString());
    QVERIFY(!QFileInfo::exists(database + QStringLiteral("-wal")));
    QCOMPARE(rowsOfFile(database), earlier);
    // A file like any the program uses: write-ahead log, and it opens.
    QCOMPARE(bytesOf(database).at(18), char(2));
    {
        TDM dm(dir.path());
        dm.DataModuleCreate();
        QVERIFY(!dm.TServicios->isEmpty());
    }

    const QStringList replaced = filesIn(dir.path()).filter(QStringLiteral("-replaced-"));
    if (target == u"none") {
        // Only the engine's files left by the file that was there, if any.
        for (const QString &other : replaced)
            QVERIFY2(other.endsWith(QStringLiteral(".db-wal")) || other.endsWith(QStringLiteral(".db-shm")), qPrintable(other));
        QVERIFY(!outcome.out.contains(QStringLiteral("replaced file")));
    } else {
        const QString name = replaced.value(0);
        QVERIFY2(QRegularExpression(QStringLiteral(R"(^Hotel-replaced-\d{4}-\d{2}-\d{2}-\d{6}\.db$)")).match(name).hasMatch(),
                 qPrintable(replaced.join(u',')));
        const QString kept = dir.filePath(name);
        QCOMPARE(bytesOf(kept), before);
        QVERIFY2(outcome.out.contains(QDir::toNativeSeparators(kept)), qPrintable(outcome.out));
        // The engine's working files of the old file, if any, go with it.
        QCOMPARE(replaced.first(), name);
        for (const QString &other : replaced.mid(1))
            QVERIFY2(other == name + QStringLiteral("-wal") || other == name + QStringLiteral("-shm"), qPrintable(other));
        if (target == u"damaged with log") {
            // The old log went with the old file, as it was: beside the new one it
            // would be taken as its own.
            QVERIFY(replaced.contains(name + QStringLiteral("-wal")));
            QCOMPARE(bytesOf(kept + QStringLiteral("-wal")), logBefore);
        }
    }
    // Nothing half-written is left.
    QCOMPARE(filesIn(dir.path()).filter(QStringLiteral(".part")), QStringList());
}

QTEST_GUILESS_MAIN(TestRestore)
#include "tst_restore.moc"

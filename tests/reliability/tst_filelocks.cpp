#include "TestDatabase.h"
#include "TestSupport.h"

#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <QUuid>

#include <fcntl.h>
#include <unistd.h>

// The program must keep the engine's locks on its database for as long as it
// runs: closing any descriptor of a locked file drops every lock the process
// holds on it, and another program would then think itself the file's last
// user, checkpoint and delete the write-ahead log under the running program,
// whose later commits would go to a deleted file. The program under test is
// the real start-up in a process of its own (hotel-filelock-program), with
// every file dialog it has shown over the database's folder.
class TestFileLocks : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<TestDatabase> m_db;

    // Whether a process other than this one holds a lock that would keep this
    // one from locking the database file exclusively. Only asks (F_GETLK): takes
    // no lock, and this process holds none on the file.
    bool otherProcessLocks() const
    {
        const int fd = ::open(QFile::encodeName(m_db->path()).constData(), O_RDONLY | O_CLOEXEC);
        if (fd < 0)
            return false;
        // The engine's lock bytes: pending, reserved and the shared range.
        struct flock lock {};
        lock.l_type = F_WRLCK;
        lock.l_whence = SEEK_SET;
        lock.l_start = 0x40000000;
        lock.l_len = 512;
        const bool held = ::fcntl(fd, F_GETLK, &lock) == 0 && lock.l_type != F_UNLCK;
        ::close(fd);
        return held;
    }

    // Another program opens the file, reads, writes a guest when asked, and
    // closes it again.
    void otherProgram(const QString &guest = QString())
    {
        const QString name = QUuid::createUuid().toString();
        {
            QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), name);
            db.setDatabaseName(m_db->path());
            QVERIFY(db.open());
            QSqlQuery q(db);
            QVERIFY(q.exec(QStringLiteral("SELECT count(*) FROM Huespedes")));
            if (!guest.isEmpty()) {
                QVERIFY(q.prepare(QStringLiteral("INSERT INTO Huespedes (Nombre) VALUES (?)")));
                q.addBindValue(guest);
                QVERIFY(q.exec());
            }
            db.close();
        }
        QSqlDatabase::removeDatabase(name);
    }

    int guestsNamed(const QString &name)
    {
        const QVariant n = m_db->scalar(QStringLiteral("SELECT count(*) FROM Huespedes WHERE Nombre = ?"), {name});
        m_db->closeConnection();
        return n.toInt();
    }

    static QByteArray readLine(QProcess &p)
    {
        while (!p.canReadLine())
            if (!p.waitForReadyRead(30000))
                return QByteArray();
        return p.readLine().trimmed();
    }

    // Starts the program and goes through its stages, checking at each one that
    // the engine still holds its locks.
    void startAndCheckStages(QProcess &p, const QString &program, const QStringList &args)
    {
        p.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        p.start(program, args);
        QVERIFY2(p.waitForStarted(), qPrintable(p.errorString()));
        for (;;) {
            const QByteArray line = readLine(p);
            QVERIFY2(!line.isEmpty(), "the program said nothing");
            if (line == "ready")
                break;
            QVERIFY2(line.startsWith("stage "), line.constData());
            QVERIFY2(otherProcessLocks(), qPrintable(QStringLiteral("no lock held after %1").arg(QString::fromUtf8(line.mid(6)))));
            p.write("next\n");
        }
    }

    void post(QProcess &p, const QString &guest)
    {
        p.write(("post " + guest + "\n").toUtf8());
        const QByteArray answer = readLine(p);
        // A failed stage leaves the program waiting; it must not outlive the test.
        if (!answer.startsWith("posted "))
            p.kill();
        QVERIFY2(answer.startsWith("posted "), answer.constData());
    }

private slots:
    void init()
    {
        m_db = std::make_unique<TestDatabase>();
        QVERIFY(m_db->isValid());
        m_db->closeConnection();
    }

    void cleanup() { m_db.reset(); }

    // Another program opens and closes the file; the program posts; power cut.
    void postSurvivesAReaderAndAKill()
    {
        QProcess p;
        startAndCheckStages(p, QStringLiteral(HOTEL_FILELOCK_PROGRAM), {m_db->folder()});
        if (QTest::currentTestFailed())
            return;
        otherProgram();
        QVERIFY(QFile::exists(m_db->path() + QStringLiteral("-wal")));
        post(p, QStringLiteral("Ana"));
        p.kill();
        QVERIFY(p.waitForFinished());
        QCOMPARE(guestsNamed(QStringLiteral("Ana")), 1);
    }

    // Another program writes a row; the program posts one and quits normally.
    void bothWritersKeepTheirRows()
    {
        QProcess p;
        startAndCheckStages(p, QStringLiteral(HOTEL_FILELOCK_PROGRAM), {m_db->folder()});
        if (QTest::currentTestFailed())
            return;
        otherProgram(QStringLiteral("Beto"));
        post(p, QStringLiteral("Carla"));
        p.write("quit\n");
        QVERIFY(p.waitForFinished(30000));
        QCOMPARE(p.exitStatus(), QProcess::NormalExit);
        QCOMPARE(p.exitCode(), 0);
        QCOMPARE(guestsNamed(QStringLiteral("Beto")), 1);
        QCOMPARE(guestsNamed(QStringLiteral("Carla")), 1);
    }

    // Nothing in the process opens the three files but the engine, which opens
    // each read-write without following links.
    void onlyTheEngineOpensTheFiles()
    {
        const QString strace = QStandardPaths::findExecutable(QStringLiteral("strace"));
        if (strace.isEmpty())
            QSKIP("strace is not installed");
        QTemporaryDir traceDir;
        const QString trace = traceDir.filePath(QStringLiteral("trace"));
        QProcess p;
        startAndCheckStages(p, strace,
                            {QStringLiteral("-f"), QStringLiteral("-qq"), QStringLiteral("-e"),
                             QStringLiteral("trace=open,openat,openat2,creat"), QStringLiteral("-o"), trace,
                             QStringLiteral(HOTEL_FILELOCK_PROGRAM), m_db->folder()});
        if (QTest::currentTestFailed())
            return;
        post(p, QStringLiteral("Dora"));
        p.write("quit\n");
        QVERIFY(p.waitForFinished(30000));
        QCOMPARE(p.exitCode(), 0);

        QFile f(trace);
        QVERIFY(f.open(QIODevice::ReadOnly));
        const QString name = QRegularExpression::escape(m_db->path());
        const QRegularExpression open(QStringLiteral("\"%1(-wal|-shm|-journal)?\", ([A-Z_|]+)").arg(name));
        QMap<QString, int> opens;
        while (!f.atEnd()) {
            const QString line = QString::fromUtf8(f.readLine());
            const QRegularExpressionMatch m = open.match(line);
            if (!m.hasMatch())
                continue;
            const QString flags = m.captured(2);
            QVERIFY2(flags.contains(u"O_RDWR") && flags.contains(u"O_NOFOLLOW"), qPrintable(line));
            ++opens[m.captured(1)];
        }
        // One connection: the file, its log and its shared memory, once each.
        QCOMPARE(opens.value(QString()), 1);
        QCOMPARE(opens.value(QStringLiteral("-wal")), 1);
        QCOMPARE(opens.value(QStringLiteral("-shm")), 1);
    }
};

QTEST_GUILESS_MAIN(TestFileLocks)
#include "tst_filelocks.moc"

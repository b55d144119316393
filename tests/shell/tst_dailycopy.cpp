#include "Backup.h"
#include "DateTimes.h"
#include "Startup.h"
#include "TestDatabase.h"
#include "TestSupport.h"
#include "UDM.h"
#include "UPrincipal.h"
#include "WindowTest.h"
#include "../reliability/Unprivileged.h"

#include <QApplication>
#include <QDir>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>
#include <memory>
#include <sys/resource.h>

// The day's copy as the program makes it at start-up: once a day, and a copy
// that fails is told once a day and never stops the program.
class TestDailyCopy : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanup();
    void firstStartOfTheDayCopies();
    void failureIsToldOnceADay_data();
    void failureIsToldOnceADay();

private:
    std::unique_ptr<QTemporaryDir> m_state;
};

namespace {

QStringList copiesIn(const QString &database)
{
    return QDir(Backup::folderOf(database)).entryList(QDir::Files | QDir::Hidden, QDir::Name);
}

// A fault on the disk for as long as it lives.
class Fault
{
public:
    Fault(const QString &kind, const QString &folder) : m_kind(kind), m_folder(folder)
    {
        if (kind == u"disk full") {
            std::signal(SIGXFSZ, SIG_IGN);
            getrlimit(RLIMIT_FSIZE, &m_limit);
            rlimit tiny = m_limit;
            tiny.rlim_cur = 4096;
            m_ok = setrlimit(RLIMIT_FSIZE, &tiny) == 0;
        } else {
            m_ok = Unprivileged::setMode(folder, 0555);
            m_nobody = std::make_unique<Unprivileged>();
            m_ok = m_ok && m_nobody->isValid();
        }
    }
    ~Fault()
    {
        if (m_kind == u"disk full") {
            setrlimit(RLIMIT_FSIZE, &m_limit);
        } else {
            m_nobody.reset();
            Unprivileged::setMode(m_folder, 0755);
        }
    }
    bool isValid() const { return m_ok; }

private:
    QString m_kind;
    QString m_folder;
    rlimit m_limit{};
    std::unique_ptr<Unprivileged> m_nobody;
    bool m_ok = false;
};

} // namespace

void TestDailyCopy::initTestCase()
{
    Startup::configure(*static_cast<QApplication *>(QCoreApplication::instance()));
    // Where the program notes the day it told of a failed copy; open to the
    // unprivileged user that a root run acts as.
    m_state = std::make_unique<QTemporaryDir>();
    QVERIFY(m_state->isValid());
    QVERIFY(Unprivileged::setMode(m_state->path(), 0777));
    qputenv("XDG_STATE_HOME", QFile::encodeName(m_state->path()));
}

void TestDailyCopy::cleanup()
{
    Startup::destroyAll();
}

void TestDailyCopy::firstStartOfTheDayCopies()
{
    TestDatabase db;
    QVERIFY(db.isValid());
    db.addGuest(QStringLiteral("Ana"));
    const QString today = Backup::copyName(db.path(), DateTimes::today());
    {
        DialogAnswers none;
        Startup::createAll(db.folder());
        QCOMPARE(none.boxes().size(), 0);
    }
    QCOMPARE(copiesIn(db.path()), QStringList{today});
    const QDateTime written = QFileInfo(QDir(Backup::folderOf(db.path())).filePath(today)).lastModified();
    Startup::destroyAll();

    // The second start of the day leaves the copy as it is.
    db.addGuest(QStringLiteral("Luis"));
    {
        DialogAnswers none;
        Startup::createAll(db.folder());
        QCOMPARE(none.boxes().size(), 0);
    }
    QCOMPARE(copiesIn(db.path()), QStringList{today});
    QCOMPARE(QFileInfo(QDir(Backup::folderOf(db.path())).filePath(today)).lastModified(), written);
}

void TestDailyCopy::failureIsToldOnceADay_data()
{
    QTest::addColumn<QString>("fault");
    QTest::newRow("disk full") << "disk full";
    QTest::newRow("read-only folder") << "read-only folder";
}

void TestDailyCopy::failureIsToldOnceADay()
{
    QFETCH(QString, fault);
    TestDatabase db;
    QVERIFY(db.isValid());
    db.addGuest(QStringLiteral("Ana"));
    // Open to the unprivileged user too, as a hotel's own folder is to it.
    QVERIFY(Unprivileged::setMode(db.folder(), 0777));
    QVERIFY(Unprivileged::setMode(db.path(), 0666));
    db.closeConnection();
    Startup::createAll(db.folder());
    QVERIFY(DM->Cnx.isOpen());
    const QString folder = Backup::folderOf(db.path());
    const QStringList madeToday = copiesIn(db.path());
    QCOMPARE(madeToday.size(), 1);

    const QDate tomorrow = DateTimes::today().addDays(1);
    {
        const Fault on(fault, folder);
        QVERIFY(on.isValid());
        DialogAnswers answers(QStringLiteral("OK"));
        Startup::makeDailyCopy(tomorrow);
        QCOMPARE(answers.boxes().size(), 1);
        const DialogAnswers::Box box = answers.boxes().first();
        QCOMPARE(box.title, QStringLiteral("Information"));
        QCOMPARE(box.icon, QMessageBox::Information);
        QCOMPARE(box.buttons, QStringList{QStringLiteral("OK")});
        QVERIFY2(box.text.startsWith(QStringLiteral("No se pudo hacer la copia de seguridad de hoy en la carpeta «%1».")
                                         .arg(QDir::toNativeSeparators(folder))),
                 qPrintable(box.text));
        QVERIFY2(box.text.contains(QStringLiteral("could not be written")), qPrintable(box.text));

        // Another start the same day tries again, and says nothing.
        Startup::makeDailyCopy(tomorrow);
        QCOMPARE(answers.boxes().size(), 1);
        // The next day it is told again.
        Startup::makeDailyCopy(tomorrow.addDays(1));
        QCOMPARE(answers.boxes().size(), 2);
        QCOMPARE(answers.unexpected(), 0);
    }
    QCOMPARE(copiesIn(db.path()), madeToday);

    // The program goes on: a guest is posted and reaches the file.
    DM->THuespedes->append();
    DM->THuespedes->setValue(QStringLiteral("Nombre"), QStringLiteral("Tras el fallo"));
    DM->THuespedes->post();
    QCOMPARE(db.scalar(QStringLiteral("SELECT count(*) FROM Huespedes WHERE Nombre = 'Tras el fallo'")).toInt(), 1);
    QVERIFY(FPrincipal);

    // With the disk mended, the next start makes the day's copy, silently.
    DialogAnswers none;
    Startup::makeDailyCopy(tomorrow.addDays(1));
    QCOMPARE(none.boxes().size(), 0);
    QVERIFY(copiesIn(db.path()).contains(Backup::copyName(db.path(), tomorrow.addDays(1))));
}

QTEST_MAIN(TestDailyCopy)
#include "tst_dailycopy.moc"

#include "TestDatabase.h"

#include <QDate>
#include <QDir>
#include <QFileInfo>
#include <QLockFile>
#include <QProcess>
#include <QRegularExpression>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <QUuid>

#include <memory>
#include <unistd.h>

// The built package on this machine, as a hotel would have it: installed with
// apt, started from /usr/bin under a real X display with an empty home folder,
// the first-start question answered with keys, the main window seen on the new
// database, and the package removed again, whatever happened. Needs root (CI
// runs as root); skipped otherwise.
class TestInstall : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void firstStartAsksAndOpensTheNewDatabase();
    void secondStartAsksNothing();
    void cleanupTestCase();

private:
    struct Installed;
    std::unique_ptr<QLockFile> m_lock;
    std::unique_ptr<Installed> m_installed;
    std::unique_ptr<QTemporaryDir> m_home;
    QProcess m_display;
    QString m_displayName;
};

namespace {

const QString Package = QStringLiteral("hotel-frontdesk");
// Told apart here, with case: the tool's own search ignores it.
const QRegularExpression QuestionTitle(QStringLiteral("^Administración de Hotel$"));
const QRegularExpression MainWindowTitle(QStringLiteral("^Administracion de hotel"));

struct Run
{
    int exitCode = -1;
    QString out;
    QString err;
};

Run run(const QString &program, const QStringList &arguments, int timeoutMs = 600000,
        const QProcessEnvironment &env = QProcessEnvironment::systemEnvironment())
{
    QProcess p;
    p.setProcessEnvironment(env);
    p.start(program, arguments);
    if (!p.waitForStarted())
        return {-1, QString(), p.errorString()};
    if (!p.waitForFinished(timeoutMs)) {
        p.kill();
        p.waitForFinished();
        return {-1, QString::fromLocal8Bit(p.readAllStandardOutput()), QStringLiteral("timed out")};
    }
    return {p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1, QString::fromLocal8Bit(p.readAllStandardOutput()),
            QString::fromLocal8Bit(p.readAllStandardError())};
}

bool isInstalled()
{
    const Run r = run(QStringLiteral("dpkg-query"), {QStringLiteral("-W"), QStringLiteral("-f=${Status}"), Package}, 60000);
    return r.exitCode == 0 && r.out.contains(QStringLiteral("install ok installed"));
}

QProcessEnvironment aptEnvironment()
{
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("DEBIAN_FRONTEND"), QStringLiteral("noninteractive"));
    return env;
}

} // namespace

// Removes the package when it goes, and checks that nothing of it is left.
struct TestInstall::Installed
{
    QStringList files;
    ~Installed() { remove(); }
    QString remove()
    {
        if (!isInstalled())
            return QString();
        const Run r = run(QStringLiteral("apt-get"),
                          {QStringLiteral("purge"), QStringLiteral("-y"), QStringLiteral("-o"),
                           QStringLiteral("DPkg::Lock::Timeout=600"), Package},
                          900000, aptEnvironment());
        if (r.exitCode != 0)
            return QStringLiteral("apt-get purge failed: ") + r.err;
        if (isInstalled())
            return QStringLiteral("the package is still installed");
        for (const QString &file : std::as_const(files))
            if (QFileInfo(file).isFile() || QFileInfo(file).isSymLink())
                return QStringLiteral("left behind: ") + file;
        return QString();
    }
};

void TestInstall::initTestCase()
{
    if (geteuid() != 0)
        QSKIP("Installing a package needs root; CI runs as root.");
    for (const char *tool : {"apt-get", "dpkg-query", "Xvfb", "xdotool"})
        QVERIFY2(!QStandardPaths::findExecutable(QLatin1String(tool)).isEmpty(),
                 qPrintable(QStringLiteral("%1 is missing: scripts/install-deps.sh installs it").arg(QLatin1String(tool))));
    const QDir packages(qEnvironmentVariable("HOTEL_PACKAGE_DIR"));
    const QStringList debs = packages.entryList({Package + QStringLiteral("_*.deb")}, QDir::Files, QDir::Time);
    QVERIFY2(!debs.isEmpty(), qPrintable(QStringLiteral("no package in ") + packages.path()));
    const QString deb = packages.absoluteFilePath(debs.first());

    // One install test at a time on this machine.
    m_lock = std::make_unique<QLockFile>(QDir::temp().filePath(QStringLiteral("hotel-frontdesk-install-test.lock")));
    m_lock->setStaleLockTime(0);
    QVERIFY2(m_lock->tryLock(20 * 60 * 1000), "another install test holds the machine");
    if (isInstalled())
        qWarning("%s was installed before this test; it is replaced, and removed at the end", qPrintable(Package));

    m_installed = std::make_unique<Installed>();
    const Run install = run(QStringLiteral("apt-get"),
                            {QStringLiteral("install"), QStringLiteral("-y"), QStringLiteral("--no-install-recommends"),
                             QStringLiteral("-o"), QStringLiteral("DPkg::Lock::Timeout=600"), deb},
                            900000, aptEnvironment());
    QVERIFY2(install.exitCode == 0, qPrintable(install.out + install.err));
    QVERIFY(isInstalled());
    const Run list = run(QStringLiteral("dpkg-query"), {QStringLiteral("-L"), Package}, 60000);
    m_installed->files = list.out.split(u'\n', Qt::SkipEmptyParts);
    for (const char *file : {"/usr/bin/hotel", "/usr/bin/hotel-createdb", "/usr/libexec/hotel/hotel"})
        QVERIFY2(m_installed->files.contains(QLatin1String(file)), file);

    // An X display of our own; it says its number when ready.
    m_display.start(QStringLiteral("Xvfb"), {QStringLiteral("-displayfd"), QStringLiteral("1"), QStringLiteral("-screen"),
                                             QStringLiteral("0"), QStringLiteral("1280x800x24"), QStringLiteral("-nolisten"),
                                             QStringLiteral("tcp")});
    QVERIFY(m_display.waitForStarted());
    while (!m_display.canReadLine() && m_display.waitForReadyRead(30000)) {
    }
    const QString number = QString::fromLatin1(m_display.readLine()).trimmed();
    QVERIFY2(!number.isEmpty(), "Xvfb did not start");
    m_displayName = u':' + number;

    m_home = std::make_unique<QTemporaryDir>();
    QVERIFY(m_home->isValid());
}

namespace {

// The environment of a user with an empty home folder on the test's display.
QProcessEnvironment userEnvironment(const QString &home, const QString &display)
{
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    for (const QString &name : env.keys())
        if (name.startsWith(QStringLiteral("XDG_")) || name.startsWith(QStringLiteral("QT_")) || name == u"WAYLAND_DISPLAY")
            env.remove(name);
    env.insert(QStringLiteral("HOME"), home);
    env.insert(QStringLiteral("DISPLAY"), display);
    return env;
}

// The first visible window whose title matches, waiting up to `seconds`.
QString findWindow(const QProcessEnvironment &env, const QRegularExpression &title, int seconds)
{
    for (int i = 0; i < seconds * 4; ++i) {
        const Run r = run(QStringLiteral("xdotool"), {QStringLiteral("search"), QStringLiteral("--onlyvisible"),
                                                      QStringLiteral("--name"), QStringLiteral("Administr")},
                          10000, env);
        for (const QString &id : r.out.split(u'\n', Qt::SkipEmptyParts)) {
            const Run name = run(QStringLiteral("xdotool"), {QStringLiteral("getwindowname"), id.trimmed()}, 10000, env);
            if (title.match(name.out.trimmed()).hasMatch())
                return id.trimmed();
        }
        QTest::qWait(250);
    }
    return QString();
}

void screenshot(const QProcessEnvironment &env, const QString &name)
{
    // For people to look at; the test does not depend on it.
    run(QStringLiteral(HOTEL_SCREENSHOTS), {QStringLiteral("--grab-screen"), QDir(QStringLiteral(HOTEL_TEST_OUTPUT)).filePath(name)},
        60000, env);
}

// The files a process has open.
QStringList openFiles(qint64 pid)
{
    QStringList out;
    const QDir fds(QStringLiteral("/proc/%1/fd").arg(pid));
    for (const QFileInfo &fd : fds.entryInfoList(QDir::AllEntries | QDir::System | QDir::NoDotAndDotDot))
        out << fd.symLinkTarget();
    return out;
}

// Starts the installed program as the menu entry does, as the test's user.
bool startInstalled(QProcess &program, const QProcessEnvironment &env)
{
    program.setProcessEnvironment(env);
    program.setProcessChannelMode(QProcess::ForwardedChannels);
    program.start(QStringLiteral("/usr/bin/hotel"), {});
    return program.waitForStarted();
}

// Ends the program when the test is done with it, passed or not.
struct Stop
{
    QProcess &p;
    ~Stop()
    {
        p.terminate();
        if (!p.waitForFinished(10000)) {
            p.kill();
            p.waitForFinished();
        }
    }
};

} // namespace

void TestInstall::firstStartAsksAndOpensTheNewDatabase()
{
    const QProcessEnvironment env = userEnvironment(m_home->path(), m_displayName);
    const QString database = QDir(m_home->path()).filePath(QStringLiteral(".local/share/hotel/Hotel.db"));
    QVERIFY(!QFileInfo::exists(database));

    QProcess program;
    QVERIFY(startInstalled(program, env));
    const Stop stop{program};

    const QString question = findWindow(env, QuestionTitle, 60);
    QVERIFY2(!question.isEmpty(), "the first-start question did not appear");
    QVERIFY(!QFileInfo::exists(database));
    screenshot(env, QStringLiteral("install-first-start.png"));
    // Keys, as a person presses them: the demonstration data.
    QCOMPARE(run(QStringLiteral("xdotool"), {QStringLiteral("windowfocus"), QStringLiteral("--sync"), question}, 10000, env).exitCode, 0);
    QCOMPARE(run(QStringLiteral("xdotool"), {QStringLiteral("key"), QStringLiteral("--clearmodifiers"), QStringLiteral("alt+d")}, 10000, env).exitCode, 0);

    const QString window = findWindow(env, MainWindowTitle, 180);
    QVERIFY2(!window.isEmpty(), "the main window did not appear");
    QTest::qWait(2000); // the fade-in
    screenshot(env, QStringLiteral("install-main-window.png"));

    // The launcher became the program, which has the new database open.
    const Run owner = run(QStringLiteral("xdotool"), {QStringLiteral("getwindowpid"), window}, 10000, env);
    QCOMPARE(owner.out.trimmed().toLongLong(), program.processId());
    QCOMPARE(QFileInfo(QStringLiteral("/proc/%1/exe").arg(program.processId())).symLinkTarget(),
             QStringLiteral("/usr/libexec/hotel/hotel"));
    QVERIFY2(openFiles(program.processId()).contains(QFileInfo(database).canonicalFilePath()),
             qPrintable(openFiles(program.processId()).join(u'\n')));
    QVERIFY(rowCountOfFile(database, QStringLiteral("Habitaciones")) > 0);
    QVERIFY(rowCountOfFile(database, QStringLiteral("Huespedes")) > 0);
    // The day's copy beside it.
    const QString copy = QDir(m_home->path()).filePath(QStringLiteral(".local/share/hotel/copias/Hotel-%1.db")
                                                           .arg(QDate::currentDate().toString(Qt::ISODate)));
    QVERIFY2(QFileInfo::exists(copy), qPrintable(copy));
    QCOMPARE(rowCountOfFile(copy, QStringLiteral("Habitaciones")), rowCountOfFile(database, QStringLiteral("Habitaciones")));
}

void TestInstall::secondStartAsksNothing()
{
    const QProcessEnvironment env = userEnvironment(m_home->path(), m_displayName);
    const QString database = QDir(m_home->path()).filePath(QStringLiteral(".local/share/hotel/Hotel.db"));
    QVERIFY(QFileInfo::exists(database));
    const qint64 rooms = rowCountOfFile(database, QStringLiteral("Habitaciones"));

    QProcess program;
    QVERIFY(startInstalled(program, env));
    const Stop stop{program};
    const QString window = findWindow(env, MainWindowTitle, 180);
    screenshot(env, QStringLiteral("install-second-start.png"));
    QVERIFY2(!window.isEmpty(), "the main window did not appear");
    QVERIFY(findWindow(env, QuestionTitle, 1).isEmpty());
    QVERIFY(openFiles(program.processId()).contains(QFileInfo(database).canonicalFilePath()));
    QCOMPARE(rowCountOfFile(database, QStringLiteral("Habitaciones")), rooms);
}

void TestInstall::cleanupTestCase()
{
    if (m_display.state() != QProcess::NotRunning) {
        m_display.terminate();
        m_display.waitForFinished(10000);
    }
    if (m_installed) {
        const QString problem = m_installed->remove();
        m_installed.reset();
        QVERIFY2(problem.isEmpty(), qPrintable(problem));
    }
}

QTEST_GUILESS_MAIN(TestInstall)
#include "tst_install.moc"

#include "PostgresServer.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QUuid>

#include <grp.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

struct Account
{
    uid_t uid = 0;
    gid_t gid = 0;
    bool change = false;
};

// The server's account: "nobody" for a test run as root, else the user itself.
Account serverAccount()
{
    Account a;
    if (geteuid() != 0)
        return a;
    if (const passwd *pw = getpwnam("nobody")) {
        a.uid = pw->pw_uid;
        a.gid = pw->pw_gid;
        a.change = true;
    }
    return a;
}

bool giveTo(const QString &path, const Account &a)
{
    return !a.change || ::chown(QFile::encodeName(path).constData(), a.uid, a.gid) == 0;
}

} // namespace

PostgresServer::PostgresServer(QString folder) : m_folder(std::move(folder)) {}

PostgresServer::~PostgresServer()
{
    if (m_started)
        stop();
}

QString PostgresServer::programFolder()
{
    const QDir versions(QStringLiteral("/usr/lib/postgresql"));
    QStringList found = versions.entryList(QDir::Dirs | QDir::NoDotAndDotDot);
    std::sort(found.begin(), found.end(), [](const QString &a, const QString &b) { return a.toInt() > b.toInt(); });
    for (const QString &v : found)
        if (QFile::exists(versions.filePath(v + QStringLiteral("/bin/initdb"))))
            return versions.filePath(v + QStringLiteral("/bin"));
    return QString();
}

QString PostgresServer::dataFolder() const
{
    return m_folder + QStringLiteral("/data");
}

bool PostgresServer::tool(const QString &program, const QStringList &arguments, int timeoutMs)
{
    const QString bin = programFolder();
    if (bin.isEmpty()) {
        m_error = QStringLiteral("PostgreSQL is not installed (no /usr/lib/postgresql/*/bin/initdb)");
        return false;
    }
    QProcess p;
    const Account account = serverAccount();
    p.setChildProcessModifier([account] {
        // The server refuses to run as root.
        if (account.change && (setgroups(0, nullptr) != 0 || setgid(account.gid) != 0 || setuid(account.uid) != 0))
            _exit(126);
    });
    p.setWorkingDirectory(m_folder);
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("LC_ALL"), QStringLiteral("C.UTF-8"));
    env.remove(QStringLiteral("PGDATA"));
    p.setProcessEnvironment(env);
    p.setProcessChannelMode(QProcess::MergedChannels);
    p.start(bin + u'/' + program, arguments);
    if (!p.waitForFinished(timeoutMs)) {
        p.kill();
        p.waitForFinished();
        m_error = QStringLiteral("%1 did not finish: %2").arg(program, QString::fromLocal8Bit(p.readAll()));
        return false;
    }
    if (p.exitStatus() != QProcess::NormalExit || p.exitCode() != 0) {
        m_error = QStringLiteral("%1 failed (%2): %3").arg(program).arg(p.exitCode()).arg(QString::fromLocal8Bit(p.readAll()));
        return false;
    }
    return true;
}

bool PostgresServer::isRunning() const
{
    return QFile::exists(m_folder + QStringLiteral("/.s.PGSQL.5432")) && QFile::exists(dataFolder() + QStringLiteral("/postmaster.pid"));
}

bool PostgresServer::start()
{
    const Account account = serverAccount();
    if (!QDir().mkpath(m_folder) || !giveTo(m_folder, account)) {
        m_error = QStringLiteral("cannot make the folder %1").arg(m_folder);
        return false;
    }
    ::chmod(QFile::encodeName(m_folder).constData(), 0700);
    if (!QFile::exists(dataFolder() + QStringLiteral("/PG_VERSION"))) {
        if (!tool(QStringLiteral("initdb"), {QStringLiteral("-D"), dataFolder(), QStringLiteral("-U"), Superuser,
                                             QStringLiteral("-E"), QStringLiteral("UTF8"), QStringLiteral("--locale=C.UTF-8"),
                                             QStringLiteral("--auth=trust"), QStringLiteral("--no-sync"),
                                             QStringLiteral("--no-instructions")}))
            return false;
        // The superuser enters freely; every other role with its password.
        const QString hba = dataFolder() + QStringLiteral("/pg_hba.conf");
        QFile f(hba);
        if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
            m_error = QStringLiteral("cannot write %1").arg(hba);
            return false;
        }
        f.write("local all postgres trust\n"
                "local all all scram-sha-256\n");
        f.close();
        giveTo(hba, account);
    }
    // Only the socket in the folder; no port on the network. Nothing is forced
    // to the disk: a test server's data do not outlive it.
    const QString options = QStringLiteral("-c listen_addresses= -c unix_socket_directories=%1 -c fsync=off "
                                           "-c synchronous_commit=off -c full_page_writes=off -c max_connections=200")
                                .arg(m_folder);
    if (!tool(QStringLiteral("pg_ctl"), {QStringLiteral("-D"), dataFolder(), QStringLiteral("-o"), options,
                                         QStringLiteral("-l"), m_folder + QStringLiteral("/server.log"),
                                         QStringLiteral("-w"), QStringLiteral("-t"), QStringLiteral("60"),
                                         QStringLiteral("start")}))
        return false;
    m_started = true;
    const QString create = QStringLiteral(
        "DO $$ BEGIN IF NOT EXISTS (SELECT FROM pg_roles WHERE rolname = '%1') THEN "
        "CREATE ROLE %1 LOGIN CREATEDB PASSWORD '%2'; END IF; END $$");
    return run(QStringLiteral("postgres"), {create.arg(HotelRole, HotelPassword)});
}

bool PostgresServer::stop()
{
    if (!QFile::exists(dataFolder() + QStringLiteral("/postmaster.pid")))
        return true;
    const bool ok = tool(QStringLiteral("pg_ctl"), {QStringLiteral("-D"), dataFolder(), QStringLiteral("-m"),
                                                    QStringLiteral("fast"), QStringLiteral("-w"), QStringLiteral("stop")});
    m_started = m_started && !ok;
    return ok;
}

bool PostgresServer::restart()
{
    return stop() && start();
}

QString PostgresServer::url(const QString &database, const QString &user) const
{
    return QStringLiteral("postgresql://%1@/%2?host=%3").arg(user, database, m_folder);
}

bool PostgresServer::run(const QString &database, const QStringList &statements)
{
    const QString name = QStringLiteral("server-") + QUuid::createUuid().toString(QUuid::WithoutBraces);
    bool ok = true;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QPSQL"), name);
        db.setConnectOptions(QStringLiteral("host=%1 dbname=%2 user=%3").arg(m_folder, database, Superuser));
        if (!db.open()) {
            m_error = db.lastError().text();
            ok = false;
        } else {
            QSqlQuery q(db);
            for (const QString &statement : statements) {
                if (!q.exec(statement)) {
                    m_error = statement.left(60) + QStringLiteral(": ") + q.lastError().text();
                    ok = false;
                    break;
                }
            }
        }
        db.close();
    }
    QSqlDatabase::removeDatabase(name);
    return ok;
}

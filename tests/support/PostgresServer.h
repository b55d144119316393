#pragma once

#include <QString>
#include <QStringList>

// A PostgreSQL server of the tests' own: a cluster made by initdb in a folder,
// listening only on a Unix socket in that folder (no network port), run by
// pg_ctl. The server refuses to run as root, so when the tests run as root
// (as CI does) it runs as the unprivileged user "nobody".
//
// Roles: "postgres", the superuser, enters without a password; every other role
// needs its password (so that a wrong one can be tried). "hotel" (password
// Password) owns nothing but may make databases, as a hotel's administrator
// would set it up.
class PostgresServer
{
public:
    static inline const QString Superuser = QStringLiteral("postgres");
    static inline const QString HotelRole = QStringLiteral("hotel");
    static inline const QString HotelPassword = QStringLiteral("clave-del-hotel");

    // A server in `folder` (made when missing). Nothing runs until start().
    explicit PostgresServer(QString folder);
    // Stops the server if this object started it.
    ~PostgresServer();
    PostgresServer(const PostgresServer &) = delete;
    PostgresServer &operator=(const PostgresServer &) = delete;

    // Makes the cluster if needed and starts the server; false (see error())
    // when PostgreSQL is missing or fails.
    bool start();
    // Stops the server (fast shutdown); a server left running by an earlier run
    // in the same folder too.
    bool stop();
    // Stops and starts it again: connections drop, data stays.
    bool restart();
    bool isRunning() const;
    // Leaves a server this object started running when the object goes.
    void keepRunning() { m_started = false; }

    const QString &folder() const { return m_folder; }
    const QString &error() const { return m_error; }
    // The folder of the socket, which libpq takes as the host.
    QString socketFolder() const { return m_folder; }
    // postgresql://user@/database?host=<socket folder>
    QString url(const QString &database, const QString &user = Superuser) const;

    // Runs statements as the superuser in `database`; false (see error()) on
    // the first that fails.
    bool run(const QString &database, const QStringList &statements);

    // The folder of initdb and pg_ctl of the newest PostgreSQL installed, empty
    // when there is none.
    static QString programFolder();

private:
    bool tool(const QString &program, const QStringList &arguments, int timeoutMs = 120000);
    QString dataFolder() const;

    QString m_folder;
    QString m_error;
    bool m_started = false;
};

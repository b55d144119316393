#include "OtherDesk.h"

#include "PostgresServer.h"
#include "TestDatabase.h"

#include <QDeadlineTimer>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QThread>
#include <QUuid>

OtherDesk::OtherDesk(const TestDatabase &db, const QStringList &statements, const QStringList &thenWrites)
{
    const bool server = db.isServer();
    const QString where = server ? db.databaseName() : db.path();
    const QString socket = server ? TestDatabase::server()->socketFolder() : QString();
    m_thread = std::thread(
        [this, server, where, socket, statements, thenWrites] { run(server, where, socket, statements, thenWrites); });
}

OtherDesk::~OtherDesk()
{
    finish();
}

void OtherDesk::waitUntilWritten()
{
    if (!m_acquired) {
        m_written.acquire();
        m_acquired = true;
    }
}

QString OtherDesk::finish()
{
    if (m_thread.joinable())
        m_thread.join();
    return m_error;
}

void OtherDesk::run(bool server, const QString &where, const QString &socket, const QStringList &statements,
                    const QStringList &thenWrites)
{
    const QString connection = QStringLiteral("other-desk-") + QUuid::createUuid().toString(QUuid::WithoutBraces);
    {
        QSqlDatabase db =
            QSqlDatabase::addDatabase(server ? QStringLiteral("QPSQL") : QStringLiteral("QSQLITE"), connection);
        if (server)
            db.setConnectOptions(
                QStringLiteral("host=%1 dbname=%2 user=%3").arg(socket, where, PostgresServer::Superuser));
        else
            db.setDatabaseName(where);
        QSqlQuery q(db);
        const auto step = [&](const QString &sql) {
            if (!m_error.isEmpty())
                return false;
            if (!q.exec(sql))
                m_error = sql + QStringLiteral(": ") + q.lastError().text();
            return m_error.isEmpty();
        };
        if (!db.open())
            m_error = db.lastError().text();
        step(server ? QStringLiteral("BEGIN") : QStringLiteral("BEGIN IMMEDIATE"));
        for (const QString &sql : statements)
            step(sql);
        m_written.release();
        if (m_error.isEmpty() && server) {
            // pg_locks is read live, unlike the statistics views.
            const QString waiting = QStringLiteral("SELECT count(*) FROM pg_locks l WHERE NOT l.granted "
                                                   "AND pg_backend_pid() = ANY(pg_blocking_pids(l.pid))");
            QDeadlineTimer deadline(10000);
            bool waited = false;
            while (!waited && !deadline.hasExpired() && step(waiting)) {
                waited = q.next() && q.value(0).toInt() > 0;
                if (!waited)
                    QThread::msleep(10);
            }
            if (!waited && m_error.isEmpty())
                m_error = QStringLiteral("no other connection waited for this desk's transaction");
        } else if (m_error.isEmpty()) {
            QThread::msleep(400);
        }
        for (const QString &sql : thenWrites)
            step(sql);
        step(QStringLiteral("COMMIT"));
        q.finish();
        db.close();
    }
    QSqlDatabase::removeDatabase(connection);
}

#pragma once

#include <QElapsedTimer>
#include <QList>
#include <QMap>
#include <QObject>
#include <QTimer>
#include <QVariant>

class Database;

// Follows what every desk commits: it reads the change log that the database's
// own triggers write (one entry per row added, changed or removed, numbered in
// order) and tells which rows of which tables changed since it last read. It
// wakes on the server's notice of a commit (PostgreSQL) or when a quarter-second
// poll of the file's commit counter moves (SQLite), so a commit shows within a
// second. Its own desk's commits come through it too.
//
// A server numbers entries when they are written, not when they are committed:
// an entry of a longer transaction may appear below the newest one read. Numbers
// skipped are watched for a minute and read when they appear.
class ChangeFeed : public QObject
{
    Q_OBJECT

public:
    explicit ChangeFeed(Database &db, QObject *parent = nullptr);

    // While one lives, no feed announces anything; what came meanwhile is
    // announced after. A handler that asks the user something holds one, so
    // that the rows it goes on with do not move under it.
    class Hold
    {
    public:
        Hold() { ++s_holds; }
        ~Hold() { --s_holds; }
        Hold(const Hold &) = delete;
        Hold &operator=(const Hold &) = delete;
    };
    ~ChangeFeed() override;

    // Starts following from the log's newest entry: call it before reading the
    // rows, so that no commit falls between. Does nothing when the database has
    // no change log (a file made by an earlier version): isActive() stays false.
    void start();
    void stop();
    bool isActive() const { return m_active; }

    // Reads what was committed since the last reading and announces it. While a
    // transaction of this program is open it only notes that it must read
    // again, at the next wake.
    void check();

signals:
    // Rows of `table` (as the schema spells it) with these keys were added,
    // changed or removed.
    void rowsChanged(const QString &table, const QList<qint64> &keys);
    // Entries were lost before this desk read them (the log dropped its oldest,
    // or the connection to the server dropped): every row must be read again.
    void everythingChanged();

private:
    void tick();
    void notified(const QString &name);
    bool reconnect();
    void listen();

    static inline int s_holds = 0;

    Database &m_db;
    QTimer m_timer;
    bool m_active = false;
    bool m_pending = false;
    qint64 m_seen = 0;
    QMap<qint64, qint64> m_gaps; // numbers skipped -> when first missed (ms)
    QElapsedTimer m_clock;
    qint64 m_lastRead = 0;
    qint64 m_lastAttempt = -1;
    QVariant m_counter;
};

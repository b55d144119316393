#include "ChangeFeed.h"

#include "DataError.h"
#include "Database.h"
#include "Schema.h"

#include <QSqlDriver>
#include <QSqlError>
#include <QSqlQuery>

namespace {

using Log = Schema::ChangeLog;

// How often a desk looks: the file's counter is cheap to read; a server is asked
// only when it sent a notice, or now and then to see that the connection lives.
constexpr int PollMs = 250;
constexpr int ServerTickMs = 1000;
constexpr qint64 ServerCheckMs = 5000;
// How long a skipped number is waited for: longer than any transaction of the
// program takes.
constexpr qint64 GapWaitMs = 60000;
constexpr qint64 MaxGaps = 1000;
constexpr qint64 ReconnectMs = 10000;

} // namespace

ChangeFeed::ChangeFeed(Database &db, QObject *parent) : QObject(parent), m_db(db)
{
    m_clock.start();
    connect(&m_timer, &QTimer::timeout, this, &ChangeFeed::tick);
}

ChangeFeed::~ChangeFeed() = default;

void ChangeFeed::start()
{
    stop();
    if (!m_db.isOpen() || !m_db.declaredKind(Log::Table, Log::Sequence))
        return;
    const Engine &engine = m_db.engine();
    if (!engine.notificationChannel().isEmpty())
        listen();
    // The newest entry now: rows read after this are at least this new.
    QSqlQuery q = m_db.prepare(QStringLiteral("SELECT max(%1) FROM %2").arg(m_db.name(Log::Sequence), m_db.name(Log::Table)));
    m_db.exec(q);
    m_seen = q.next() ? q.value(0).toLongLong() : 0;
    q.finish();
    if (!engine.commitCounter().isEmpty()) {
        QSqlQuery counter = m_db.prepare(engine.commitCounter());
        m_db.exec(counter);
        m_counter = counter.next() ? counter.value(0) : QVariant();
        counter.finish();
    }
    m_gaps.clear();
    m_pending = false;
    m_lastRead = m_clock.elapsed();
    m_active = true;
    m_timer.start(engine.commitCounter().isEmpty() ? ServerTickMs : PollMs);
}

void ChangeFeed::stop()
{
    m_timer.stop();
    if (m_active && m_db.isOpen() && !m_db.engine().notificationChannel().isEmpty()) {
        QSqlDriver *driver = m_db.connection().driver();
        disconnect(driver, nullptr, this, nullptr);
        driver->unsubscribeFromNotification(m_db.engine().notificationChannel());
    }
    m_active = false;
}

void ChangeFeed::listen()
{
    QSqlDriver *driver = m_db.connection().driver();
    const QString channel = m_db.engine().notificationChannel();
    disconnect(driver, nullptr, this, nullptr);
    if (!driver->subscribeToNotification(channel))
        throw m_db.error(driver->lastError(), Engine::Operation::Read);
    connect(driver, &QSqlDriver::notification, this,
            [this](const QString &name, QSqlDriver::NotificationSource, const QVariant &) { notified(name); });
}

void ChangeFeed::notified(const QString &name)
{
    if (name == m_db.engine().notificationChannel())
        check();
}

void ChangeFeed::tick()
{
    if (!m_active)
        return;
    const Engine &engine = m_db.engine();
    if (!engine.commitCounter().isEmpty()) {
        // The file: another connection's commit moves the counter.
        QVariant now;
        try {
            QSqlQuery counter = m_db.prepare(engine.commitCounter());
            m_db.exec(counter);
            now = counter.next() ? counter.value(0) : QVariant();
            counter.finish();
        } catch (const DataError &) {
            // Locked for a moment by another program: the next poll sees it.
            return;
        }
        if (now != m_counter || m_pending) {
            m_counter = now;
            check();
        }
        return;
    }
    // The server: after a notice missed or a number skipped, or now and then to
    // see that the connection lives.
    if (m_pending || !m_gaps.isEmpty() || m_clock.elapsed() - m_lastRead >= ServerCheckMs)
        check();
}

bool ChangeFeed::reconnect()
{
    // Trying blocks until the server answers or the attempt times out: not
    // every second while the server is away.
    if (m_lastAttempt >= 0 && m_clock.elapsed() - m_lastAttempt < ReconnectMs)
        return false;
    m_lastAttempt = m_clock.elapsed();
    // Notices sent while the connection was down are lost: a new connection
    // subscribes again, and every row must be read again.
    try {
        m_db.open(m_db.target());
        start();
    } catch (const DataError &) {
        m_active = true; // tried again later
        return false;
    }
    m_lastAttempt = -1;
    if (m_active)
        emit everythingChanged();
    return m_active;
}

void ChangeFeed::check()
{
    if (!m_active)
        return;
    if (m_db.activeTransaction() || s_holds > 0) {
        m_pending = true;
        return;
    }
    m_pending = false;
    m_lastRead = m_clock.elapsed();

    QString sql = QStringLiteral("SELECT %1, %2, %3 FROM %4 WHERE %1 > ?")
                      .arg(m_db.name(Log::Sequence), m_db.name(Log::TableName), m_db.name(Log::Key), m_db.name(Log::Table));
    const QList<qint64> gaps = m_gaps.keys();
    if (!gaps.isEmpty())
        sql += QStringLiteral(" OR %1 IN (%2)").arg(m_db.name(Log::Sequence), QStringList(gaps.size(), QStringLiteral("?")).join(u','));
    sql += QStringLiteral(" ORDER BY ") + m_db.name(Log::Sequence);

    struct Entry
    {
        qint64 number;
        QString table;
        qint64 key;
    };
    QList<Entry> entries;
    qint64 oldest = -1;
    try {
        QSqlQuery q = m_db.prepare(sql);
        q.addBindValue(m_seen);
        for (qint64 gap : gaps)
            q.addBindValue(gap);
        m_db.exec(q);
        while (q.next())
            entries.append({q.value(0).toLongLong(), q.value(1).toString(), q.value(2).toLongLong()});
        if (q.lastError().isValid())
            throw m_db.error(q.lastError(), Engine::Operation::Read);
        q.finish();
        if (!entries.isEmpty() && entries.front().number > m_seen + 1) {
            QSqlQuery first = m_db.prepare(QStringLiteral("SELECT min(%1) FROM %2").arg(m_db.name(Log::Sequence), m_db.name(Log::Table)));
            m_db.exec(first);
            oldest = first.next() ? first.value(0).toLongLong() : -1;
            first.finish();
        }
    } catch (const DataError &) {
        if (m_db.engine().isServer())
            reconnect();
        return;
    }

    // Entries dropped before this desk read them: read everything again.
    if (oldest > m_seen + 1) {
        m_seen = entries.isEmpty() ? m_seen : entries.back().number;
        m_gaps.clear();
        emit everythingChanged();
        return;
    }

    const qint64 now = m_clock.elapsed();
    QMap<QString, QList<qint64>> byTable;
    QStringList order;
    for (const Entry &e : entries) {
        if (e.number > m_seen) {
            // Numbers a rolled-back transaction took never come; only so many
            // are waited for.
            for (qint64 n = std::max(m_seen + 1, e.number - MaxGaps); n < e.number; ++n)
                m_gaps.insert(n, now);
            m_seen = e.number;
        } else {
            m_gaps.remove(e.number);
        }
        const QString table = Schema::spelling(e.table);
        if (!byTable.contains(table))
            order << table;
        QList<qint64> &keys = byTable[table];
        if (!keys.contains(e.key))
            keys << e.key;
    }
    for (auto it = m_gaps.begin(); it != m_gaps.end();)
        it = now - it.value() > GapWaitMs ? m_gaps.erase(it) : std::next(it);
    for (const QString &table : std::as_const(order))
        emit rowsChanged(table, byTable.value(table));
}

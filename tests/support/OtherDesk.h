#pragma once

#include <QSemaphore>
#include <QString>
#include <QStringList>

#include <thread>

class TestDatabase;

// Another desk writing at the same moment as the program: on a connection and
// thread of its own it runs `statements` in one transaction and holds them
// uncommitted. On the server it goes on once another connection waits for its
// locks, and reports an error if none does within ten seconds; a file gives no
// way to ask, so there it goes on after 400 ms. Going on, it runs `thenWrites`
// (which may wait in turn for the one waiting) and commits.
class OtherDesk
{
public:
    OtherDesk(const TestDatabase &db, const QStringList &statements, const QStringList &thenWrites = {});
    ~OtherDesk();
    OtherDesk(const OtherDesk &) = delete;
    OtherDesk &operator=(const OtherDesk &) = delete;

    // Returns once the statements are written, not yet committed.
    void waitUntilWritten();
    // Waits for the commit; the error of any step, or empty.
    QString finish();

private:
    void run(bool server, const QString &where, const QString &socket, const QStringList &statements,
             const QStringList &thenWrites);

    std::thread m_thread;
    QSemaphore m_written;
    bool m_acquired = false;
    QString m_error;
};

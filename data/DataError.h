#pragma once

#include <QString>
#include <exception>

// The one exception type of the program. Its message is the text the user reads;
// the guard of every user action shows it in the default error dialog.
class DataError : public std::exception
{
public:
    // Why the database refused, where a handler may answer it in its own words.
    enum class Reason {
        Other,
        // The row was changed or removed by another program since it was read.
        StaleRecord,
        // The room already holds another stay on one of the days.
        RoomTaken,
        // A text is longer than its column takes (the server does not say
        // which column).
        TextTooLong,
        // The server ended this transaction because it and another desk's
        // waited for each other: nothing of it was written, and running it
        // again is safe.
        Conflict,
    };

    explicit DataError(QString message, Reason reason = Reason::Other)
        : m_message(std::move(message)), m_utf8(m_message.toUtf8()), m_reason(reason)
    {
    }

    const QString &message() const noexcept { return m_message; }
    Reason reason() const noexcept { return m_reason; }
    const char *what() const noexcept override { return m_utf8.constData(); }

private:
    QString m_message;
    QByteArray m_utf8;
    Reason m_reason;
};

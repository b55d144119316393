#pragma once

#include <QString>
#include <exception>

// The one exception type of the program. Its message is the text the user reads;
// the guard of every user action shows it in the default error dialog.
class DataError : public std::exception
{
public:
    explicit DataError(QString message) : m_message(std::move(message)), m_utf8(m_message.toUtf8()) {}

    const QString &message() const noexcept { return m_message; }
    const char *what() const noexcept override { return m_utf8.constData(); }

private:
    QString m_message;
    QByteArray m_utf8;
};

#pragma once

#include <QList>
#include <QPair>
#include <QString>

// Where the hotel's data lives: a database file, or a database on a PostgreSQL
// server named by a URL in libpq's own form,
//
//     postgresql://[user@][host][:port][,host[:port]...][/database][?name=value&...]
//
// (also postgres://), percent-encoded as libpq reads it; a socket folder may
// stand in the host part encoded (%2Fvar%2Frun%2Fpostgresql) or as ?host=/path.
// A URL never holds a password: libpq finds it in ~/.pgpass or PGPASSWORD.
class DatabaseTarget
{
public:
    enum class Kind { File, Server };

    DatabaseTarget() = default;
    static DatabaseTarget file(const QString &path);
    // Reads a URL; throws DataError with the user's message when it is not one
    // libpq would read, or when it holds a password.
    static DatabaseTarget server(const QString &url);
    // A URL (postgresql:// or postgres://) or else a file path.
    static DatabaseTarget parse(const QString &text);
    static bool isServerUrl(const QString &text);

    Kind kind() const { return m_kind; }
    bool isServer() const { return m_kind == Kind::Server; }
    bool isValid() const { return !m_text.isEmpty(); }
    // The file's path, or the URL as given.
    const QString &text() const { return m_text; }

    // The connection parameters of a server, libpq keyword and value, in the
    // order given; a keyword given twice keeps its last value.
    const QList<QPair<QString, QString>> &parameters() const { return m_parameters; }
    QString parameter(const QString &keyword) const;
    // The parameters as a libpq connection string (keyword=value, quoted where
    // needed), adding `defaults` for keywords not given.
    QString connectionString(const QList<QPair<QString, QString>> &defaults = {}) const;

    // For messages: the server's host (or socket folder), and the database name
    // (empty when libpq is left to choose them).
    QString host() const;
    QString database() const;
    // "the database 'hotel' on the server 'desk1'", or the file's path.
    QString describe() const;

private:
    void set(const QString &keyword, const QString &value);

    Kind m_kind = Kind::File;
    QString m_text;
    QList<QPair<QString, QString>> m_parameters;
};

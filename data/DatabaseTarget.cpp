#include "DatabaseTarget.h"

#include "DataError.h"


namespace {

const QString Prefixes[] = {QStringLiteral("postgresql://"), QStringLiteral("postgres://")};

[[noreturn]] void refuse(const QString &url, const QString &why)
{
    throw DataError(QStringLiteral("'%1' is not a database server address libpq can read: %2").arg(url, why));
}

// Percent-decoding as libpq does it: every %XX is a byte, the result is UTF-8.
QString decoded(const QString &url, QStringView part)
{
    QByteArray bytes;
    const QByteArray raw = part.toUtf8();
    for (qsizetype i = 0; i < raw.size(); ++i) {
        if (raw[i] != '%') {
            bytes += raw[i];
            continue;
        }
        bool ok = false;
        const int value = i + 2 < raw.size() ? raw.mid(i + 1, 2).toInt(&ok, 16) : 0;
        if (!ok)
            refuse(url, QStringLiteral("a '%' must be followed by two hexadecimal digits"));
        if (value == 0)
            refuse(url, QStringLiteral("it holds an encoded zero byte"));
        bytes += char(value);
        i += 2;
    }
    return QString::fromUtf8(bytes);
}

QString quotedValue(const QString &value)
{
    QString s = value;
    s.replace(u'\\', QStringLiteral("\\\\"));
    s.replace(u'\'', QStringLiteral("\\'"));
    return u'\'' + s + u'\'';
}

} // namespace

DatabaseTarget DatabaseTarget::file(const QString &path)
{
    DatabaseTarget t;
    t.m_kind = Kind::File;
    t.m_text = path;
    return t;
}

bool DatabaseTarget::isServerUrl(const QString &text)
{
    for (const QString &prefix : Prefixes)
        if (text.startsWith(prefix))
            return true;
    return false;
}

DatabaseTarget DatabaseTarget::parse(const QString &text)
{
    return isServerUrl(text) ? server(text) : file(text);
}

void DatabaseTarget::set(const QString &keyword, const QString &value)
{
    for (auto &p : m_parameters) {
        if (p.first == keyword) {
            p.second = value;
            return;
        }
    }
    m_parameters.append({keyword, value});
}

DatabaseTarget DatabaseTarget::server(const QString &url)
{
    DatabaseTarget t;
    t.m_kind = Kind::Server;
    t.m_text = url;
    qsizetype start = -1;
    for (const QString &prefix : Prefixes)
        if (url.startsWith(prefix))
            start = prefix.size();
    if (start < 0)
        refuse(url, QStringLiteral("it must begin with postgresql://"));
    // The address itself is not repeated: it holds the password.
    const QString noPassword = QStringLiteral(
        "The database server address holds a password. A password is never written in the program's settings "
        "or on its command line: put it in the file ~/.pgpass of the user who runs the program, or in the "
        "environment variable PGPASSWORD.");

    const QStringView rest = QStringView(url).mid(start);
    qsizetype end = 0;
    while (end < rest.size() && rest[end] != u'/' && rest[end] != u'?')
        ++end;
    QStringView authority = rest.left(end);
    QStringView after = rest.mid(end);

    // user@hosts
    const qsizetype at = authority.lastIndexOf(u'@');
    if (at >= 0) {
        const QStringView user = authority.left(at);
        // The password would follow a colon, even an empty one.
        if (user.contains(u':'))
            throw DataError(noPassword);
        if (!user.isEmpty())
            t.set(QStringLiteral("user"), decoded(url, user));
        authority = authority.mid(at + 1);
    }
    if (!authority.isEmpty()) {
        QStringList hosts, ports;
        bool anyPort = false;
        for (QStringView server : authority.split(u',')) {
            QStringView host = server, port;
            if (server.startsWith(u'[')) {
                const qsizetype close = server.indexOf(u']');
                if (close < 0)
                    refuse(url, QStringLiteral("an address in brackets lacks its closing bracket"));
                host = server.mid(1, close - 1);
                const QStringView tail = server.mid(close + 1);
                if (!tail.isEmpty()) {
                    if (!tail.startsWith(u':'))
                        refuse(url, QStringLiteral("unexpected text after an address in brackets"));
                    port = tail.mid(1);
                }
            } else if (const qsizetype colon = server.indexOf(u':'); colon >= 0) {
                host = server.left(colon);
                port = server.mid(colon + 1);
            }
            for (QChar c : port)
                if (!c.isDigit())
                    refuse(url, QStringLiteral("a port must be a number"));
            hosts << decoded(url, host);
            ports << port.toString();
            anyPort = anyPort || !port.isEmpty();
        }
        if (!hosts.join(QString()).isEmpty())
            t.set(QStringLiteral("host"), hosts.join(u','));
        if (anyPort)
            t.set(QStringLiteral("port"), ports.join(u','));
    }
    if (after.startsWith(u'/')) {
        const qsizetype q = after.indexOf(u'?');
        const QStringView name = after.mid(1, q < 0 ? -1 : q - 1);
        if (!name.isEmpty())
            t.set(QStringLiteral("dbname"), decoded(url, name));
        after = q < 0 ? QStringView() : after.mid(q);
    }
    if (after.startsWith(u'?')) {
        for (QStringView pair : after.mid(1).split(u'&', Qt::SkipEmptyParts)) {
            const qsizetype eq = pair.indexOf(u'=');
            if (eq <= 0)
                refuse(url, QStringLiteral("each setting after '?' must read name=value"));
            const QString keyword = decoded(url, pair.left(eq));
            const QString value = decoded(url, pair.mid(eq + 1));
            if (keyword == u"password")
                throw DataError(noPassword);
            t.set(keyword, value);
        }
    }
    for (const auto &p : std::as_const(t.m_parameters))
        if (p.first.contains(u';') || p.second.contains(u';'))
            refuse(url, QStringLiteral("a value may not hold a semicolon"));
    return t;
}

QString DatabaseTarget::parameter(const QString &keyword) const
{
    for (const auto &p : m_parameters)
        if (p.first == keyword)
            return p.second;
    return QString();
}

QString DatabaseTarget::connectionString(const QList<QPair<QString, QString>> &defaults) const
{
    QStringList parts;
    for (const auto &p : m_parameters)
        parts << p.first + u'=' + quotedValue(p.second);
    for (const auto &d : defaults) {
        bool given = false;
        for (const auto &p : m_parameters)
            given = given || p.first == d.first;
        if (!given)
            parts << d.first + u'=' + quotedValue(d.second);
    }
    return parts.join(u' ');
}

QString DatabaseTarget::host() const
{
    return parameter(QStringLiteral("host"));
}

QString DatabaseTarget::database() const
{
    return parameter(QStringLiteral("dbname"));
}

QString DatabaseTarget::describe() const
{
    if (m_kind == Kind::File)
        return m_text;
    const QString db = database().isEmpty() ? QStringLiteral("the default database") : QStringLiteral("the database '%1'").arg(database());
    const QString server = host().isEmpty() ? QStringLiteral("the local server") : QStringLiteral("the server '%1'").arg(host());
    return db + QStringLiteral(" on ") + server;
}

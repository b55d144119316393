#include "StartOptions.h"

#include "DatabaseTarget.h"

#include <QDir>
#include <QFileInfo>
#include <QFile>

namespace StartOptions {

namespace {

QString userFolder(const char *variable, const QString &underHome)
{
    const QString set = qEnvironmentVariable(variable);
    // The rules say to ignore a relative path.
    if (!set.isEmpty() && QDir::isAbsolutePath(set))
        return QDir::cleanPath(set);
    return QDir::cleanPath(QDir::homePath() + u'/' + underHome);
}

QString expandHome(const QString &path)
{
    if (path == u"~")
        return QDir::homePath();
    if (path.startsWith(QStringLiteral("~/")))
        return QDir::homePath() + path.mid(1);
    return path;
}

// The value of `key` in `[group]` of an INI text, exactly as written (blanks
// around it and enclosing double quotes taken off); empty when it is not there.
// Read by hand, because a general INI reader changes what a path may contain
// (commas, backslashes).
QString iniValue(const QString &text, const QString &group, const QString &key)
{
    QString current;
    QString found;
    for (QString line : text.split(u'\n')) {
        line = line.trimmed();
        if (line.isEmpty() || line.startsWith(u';') || line.startsWith(u'#'))
            continue;
        if (line.startsWith(u'[') && line.endsWith(u']')) {
            current = line.mid(1, line.size() - 2).trimmed();
            continue;
        }
        const qsizetype equals = line.indexOf(u'=');
        if (equals < 0 || current.compare(group, Qt::CaseInsensitive) != 0 ||
            line.left(equals).trimmed().compare(key, Qt::CaseInsensitive) != 0)
            continue;
        found = line.mid(equals + 1).trimmed();
        if (found.size() >= 2 && found.startsWith(u'"') && found.endsWith(u'"'))
            found = found.mid(1, found.size() - 2);
    }
    return found;
}

// A file path made absolute against `folder`; a server's URL as it is.
QString asTarget(const QString &value, const QDir &folder)
{
    if (DatabaseTarget::isServerUrl(value))
        return value;
    return QFileInfo(folder, expandHome(value)).absoluteFilePath();
}

} // namespace

CommandLine parse(const QStringList &arguments)
{
    CommandLine out;
    const QString program = arguments.isEmpty() ? QStringLiteral("hotel") : QFileInfo(arguments.first()).fileName();
    out.helpText = QStringLiteral("Usage: %1 [--database FILE]\n"
                                  "\n"
                                  "Opens the hotel's database and shows the main window.\n"
                                  "\n"
                                  "  --database FILE  the database file to open; without it, the file named by\n"
                                  "                   [database] target in hotel.conf beside the program or in\n"
                                  "                   $XDG_CONFIG_HOME/hotel/, else Hotel.db beside the program\n"
                                  "                   FILE may also be a postgresql:// URL naming a database\n"
                                  "                   on a server that several desks share\n"
                                  "  -h, --help       this text\n"
                                  "  -v, --version    the program's version\n")
                       .arg(program);
    for (qsizetype i = 1; i < arguments.size(); ++i) {
        const QString &arg = arguments[i];
        if (arg == u"-h" || arg == u"--help") {
            out.help = true;
        } else if (arg == u"-v" || arg == u"--version") {
            out.version = true;
        } else if (arg == u"--database" || arg.startsWith(QStringLiteral("--database="))) {
            QString value;
            if (arg == u"--database") {
                if (i + 1 >= arguments.size()) {
                    out.error = QStringLiteral("--database needs a FILE.");
                    return out;
                }
                value = arguments[++i];
            } else {
                value = arg.mid(11);
            }
            if (value.isEmpty()) {
                out.error = QStringLiteral("--database needs a FILE.");
                return out;
            }
            if (!out.database.isEmpty()) {
                out.error = QStringLiteral("--database is given more than once.");
                return out;
            }
            out.database = value;
        } else if (arg.startsWith(u'-')) {
            out.error = QStringLiteral("Unknown option '%1'.").arg(arg);
            return out;
        } else {
            out.error = QStringLiteral("Unexpected argument '%1': name a database with --database FILE.").arg(arg);
            return out;
        }
    }
    return out;
}

Target databaseTarget(const QString &commandLineDatabase, const QString &programFolder, const QString &configHome)
{
    Target out;
    if (!commandLineDatabase.isEmpty()) {
        out.source = Target::Source::CommandLine;
        out.target = asTarget(commandLineDatabase, QDir::current());
        return out;
    }
    const QString name = QLatin1String(ConfigFileName);
    for (const QString &file : {QDir(programFolder).filePath(name), QDir(configHome).filePath(QStringLiteral("hotel/") + name)}) {
        const QFileInfo info(file);
        if (!info.exists())
            continue;
        const QString shown = QDir::toNativeSeparators(info.absoluteFilePath());
        QFile text(file);
        if (!info.isFile() || !text.open(QIODevice::ReadOnly)) {
            out.error = QStringLiteral("No se puede leer el archivo de configuración «%1».").arg(shown);
            return out;
        }
        const QString target = iniValue(QString::fromUtf8(text.readAll()), QStringLiteral("database"),
                                        QStringLiteral("target"));
        if (target.isEmpty())
            continue;
        out.source = Target::Source::ConfigFile;
        out.configFile = info.absoluteFilePath();
        out.target = asTarget(target, info.absoluteDir());
        return out;
    }
    out.target = QDir(programFolder).absoluteFilePath(QStringLiteral("Hotel.db"));
    return out;
}

QString configHome()
{
    return userFolder("XDG_CONFIG_HOME", QStringLiteral(".config"));
}

QString dataHome()
{
    return userFolder("XDG_DATA_HOME", QStringLiteral(".local/share"));
}

QString stateHome()
{
    return userFolder("XDG_STATE_HOME", QStringLiteral(".local/state"));
}

} // namespace StartOptions

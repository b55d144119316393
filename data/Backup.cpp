#include "Backup.h"

#include "DataError.h"
#include "Database.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMap>
#include <QRandomGenerator>
#include <QRegularExpression>

#include <sqlite3.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>
#include <functional>

namespace Backup {

namespace {

constexpr int DailyCopiesKept = 30;
constexpr int MonthlyCopiesKept = 12;
// How long a copy waits for another program's lock on the source.
constexpr int BusyWaitMs = 10000;

const char *const WorkingFileSuffixes[] = {"-wal", "-shm", "-journal"};

// Every hotel database has these; a file without them is not one.
const char *const HotelTables[] = {"TiposDeHabitacion", "Habitaciones", "Servicios",
                                   "Huespedes",         "Estadias",     "ConsumoDeServicios"};

QString shown(const QString &path)
{
    return QDir::toNativeSeparators(QFileInfo(path).absoluteFilePath());
}

QString baseNameOf(const QString &databasePath)
{
    return QFileInfo(databasePath).completeBaseName();
}

// A name no other writer uses, beside `path`, for a file that is renamed into
// place once complete.
QString partName(const QString &path)
{
    return path + u'.' + QString::number(QRandomGenerator::system()->generate(), 16) + QStringLiteral(".part");
}

void removeWithWorkingFiles(const QString &path)
{
    QFile::remove(path);
    for (const char *suffix : WorkingFileSuffixes)
        QFile::remove(path + QLatin1String(suffix));
}

// A connection of our own through the engine, closed when it goes.
class Connection
{
public:
    Connection(const QString &path, int flags)
    {
        // Absolute, so that no name is taken for a URI or a special name.
        m_rc = sqlite3_open_v2(QFile::encodeName(QFileInfo(path).absoluteFilePath()).constData(), &m_db, flags, nullptr);
    }
    ~Connection() { sqlite3_close_v2(m_db); }
    Connection(const Connection &) = delete;
    Connection &operator=(const Connection &) = delete;

    bool isOpen() const { return m_rc == SQLITE_OK; }
    int code() const { return m_rc; }
    sqlite3 *handle() const { return m_db; }
    QString message() const
    {
        return m_db ? QString::fromUtf8(sqlite3_errmsg(m_db)) : QString::fromUtf8(sqlite3_errstr(m_rc));
    }

    // Runs one statement and returns the first column of its rows; code() tells
    // how it went.
    QStringList run(const char *sql)
    {
        QStringList rows;
        sqlite3_stmt *statement = nullptr;
        m_rc = sqlite3_prepare_v2(m_db, sql, -1, &statement, nullptr);
        if (m_rc != SQLITE_OK)
            return rows;
        while ((m_rc = sqlite3_step(statement)) == SQLITE_ROW)
            rows << QString::fromUtf8(reinterpret_cast<const char *>(sqlite3_column_text(statement, 0)));
        if (m_rc == SQLITE_DONE)
            m_rc = SQLITE_OK;
        sqlite3_finalize(statement);
        return rows;
    }

    // Closes now and tells whether everything reached the file.
    bool close()
    {
        m_rc = sqlite3_close(m_db);
        if (m_rc == SQLITE_OK)
            m_db = nullptr;
        return m_rc == SQLITE_OK;
    }

private:
    sqlite3 *m_db = nullptr;
    int m_rc = SQLITE_OK;
};

bool isDamage(int code)
{
    const int primary = code & 0xff;
    return primary == SQLITE_NOTADB || primary == SQLITE_CORRUPT;
}

// Writes a copy of the database open on `source` into the new file `part` in
// one step of the online backup API, leaves it in `journalMode`, and checks it.
// On failure `part` is removed and DataError says whether the source is damaged
// or the copy could not be written.
void writeChecked(sqlite3 *source, const QString &sourceName, const QString &part, const char *journalMode)
{
    const auto damaged = [&](const QString &why) {
        return DataError(QStringLiteral("'%1' is damaged (%2)").arg(shown(sourceName), why));
    };
    const auto notWritten = [&](const QString &why) {
        return DataError(QStringLiteral("The copy '%1' could not be written (%2)").arg(shown(part), why));
    };
    try {
        Connection copy(part, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE);
        if (!copy.isOpen())
            throw notWritten(copy.message());
        sqlite3_backup *backup = sqlite3_backup_init(copy.handle(), "main", source, "main");
        if (!backup)
            throw notWritten(copy.message());
        // One step holds one read transaction over the whole source: a consistent
        // state even while another program writes.
        int rc = SQLITE_OK;
        for (int waited = 0;; waited += 100) {
            rc = sqlite3_backup_step(backup, -1);
            if ((rc != SQLITE_BUSY && rc != SQLITE_LOCKED) || waited >= BusyWaitMs)
                break;
            sqlite3_sleep(100);
        }
        sqlite3_backup_finish(backup);
        if (rc != SQLITE_DONE) {
            const QString why = QString::fromUtf8(sqlite3_errstr(rc));
            throw isDamage(rc) ? damaged(why) : notWritten(why);
        }
        const QByteArray mode = QByteArray("PRAGMA journal_mode = ") + journalMode;
        const QStringList modeSet = copy.run(mode.constData());
        if (copy.code() != SQLITE_OK || modeSet.value(0).compare(QLatin1String(journalMode), Qt::CaseInsensitive) != 0)
            throw notWritten(copy.message());
        const QStringList problems = copy.run("PRAGMA integrity_check");
        if (copy.code() != SQLITE_OK)
            throw isDamage(copy.code()) ? damaged(copy.message()) : notWritten(copy.message());
        if (problems != QStringList{QStringLiteral("ok")})
            throw damaged(problems.mid(0, 3).join(QStringLiteral("; ")));
        const QStringList tables = copy.run("SELECT name FROM sqlite_master WHERE type = 'table'");
        for (const char *table : HotelTables)
            if (!tables.contains(QLatin1String(table), Qt::CaseInsensitive))
                throw DataError(QStringLiteral("'%1' is not a hotel database: it has no table %2")
                                    .arg(shown(sourceName), QLatin1String(table)));
        if (!copy.close())
            throw notWritten(copy.message());
    } catch (...) {
        removeWithWorkingFiles(part);
        throw;
    }
}

sqlite3 *sqliteHandle(const Database &db)
{
    const QVariant handle = db.nativeHandle();
    if (!handle.isValid() || qstrcmp(handle.typeName(), "sqlite3*") != 0)
        throw DataError(QStringLiteral("Copies are made of open SQLite database files only"));
    sqlite3 *h = *static_cast<sqlite3 *const *>(handle.constData());
    if (!h)
        throw DataError(QStringLiteral("The database is not open"));
    return h;
}

void thin(const QString &databasePath, const QString &folder, QDate today)
{
    const QDir dir(folder);
    QMap<QDate, QString> copies;
    for (const QString &name : dir.entryList(QDir::Files | QDir::Hidden)) {
        const QDate day = dayOfCopy(databasePath, name);
        if (day.isValid())
            copies.insert(day, name);
        // A copy of an earlier day that was never finished.
        static const QRegularExpression part(QStringLiteral(R"(^(.*-\d{4}-\d{2}-\d{2}\.db)\.[0-9a-f]+\.part$)"));
        const QRegularExpressionMatch m = part.match(name);
        if (m.hasMatch()) {
            const QDate partDay = dayOfCopy(databasePath, m.captured(1));
            if (partDay.isValid() && partDay < today)
                removeWithWorkingFiles(dir.filePath(name));
        }
    }
    for (const QDate &day : toRemove(copies.keys(), today)) {
        const QString path = dir.filePath(copies.value(day));
        if (!QFile::remove(path))
            throw DataError(QStringLiteral("The old copy '%1' could not be removed").arg(shown(path)));
    }
}

// Throws when another program has the database at `path` open: each one holds
// a shared lock on the engine's lock bytes of the file for as long as it has it
// open. The system is asked about the locks, so that a damaged file and its log
// are not opened through the engine, which could change them. This process must
// not have the file open itself (closing the descriptor would drop its locks).
void refuseIfOpen(const QString &path)
{
    Database::refuseDatabaseFile(path);
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        throw DataError(QStringLiteral("'%1' cannot be read (%2)").arg(shown(path), QString::fromLocal8Bit(std::strerror(errno))));
    struct flock lock {};
    lock.l_type = F_WRLCK;
    lock.l_whence = SEEK_SET;
    lock.l_start = 0x40000000; // the engine's lock bytes: pending, reserved, shared
    lock.l_len = 512;
    const bool asked = ::fcntl(fd, F_GETLK, &lock) == 0;
    const int error = errno;
    ::close(fd);
    if (!asked)
        throw DataError(QStringLiteral("'%1' cannot be checked (%2)").arg(shown(path), QString::fromLocal8Bit(std::strerror(error))));
    if (lock.l_type != F_UNLCK)
        throw DataError(QStringLiteral("'%1' is open in another program: close it and try again").arg(shown(path)));
}

// Renames the file, when there is one, and the working files beside it; false,
// with nothing moved, when the file itself cannot be moved.
bool moveWithWorkingFiles(const QString &from, const QString &to)
{
    if (QFileInfo::exists(from) && !QFile::rename(from, to))
        return false;
    for (const char *suffix : WorkingFileSuffixes)
        if (QFileInfo::exists(from + QLatin1String(suffix)))
            QFile::rename(from + QLatin1String(suffix), to + QLatin1String(suffix));
    return true;
}

bool hasWorkingFiles(const QString &path)
{
    for (const char *suffix : WorkingFileSuffixes)
        if (QFileInfo::exists(path + QLatin1String(suffix)))
            return true;
    return false;
}

QString replacedName(const QString &target, const QDateTime &now)
{
    const QFileInfo info(target);
    const QString stem = info.completeBaseName() + QStringLiteral("-replaced-") +
                         now.toString(QStringLiteral("yyyy-MM-dd-HHmmss"));
    QString path = info.dir().filePath(stem + QStringLiteral(".db"));
    for (int n = 2; QFileInfo::exists(path); ++n)
        path = info.dir().filePath(stem + u'-' + QString::number(n) + QStringLiteral(".db"));
    return path;
}

} // namespace

QString folderOf(const QString &databasePath)
{
    return QFileInfo(databasePath).dir().filePath(QStringLiteral("copias"));
}

QString copyName(const QString &databasePath, QDate day)
{
    return baseNameOf(databasePath) + u'-' + day.toString(Qt::ISODate) + QStringLiteral(".db");
}

QDate dayOfCopy(const QString &databasePath, const QString &fileName)
{
    const QString prefix = baseNameOf(databasePath) + u'-';
    // prefix, YYYY-MM-DD, ".db"
    if (fileName.size() != prefix.size() + 13 || !fileName.startsWith(prefix) || !fileName.endsWith(u".db"))
        return {};
    const QStringView day = QStringView(fileName).mid(prefix.size(), 10);
    for (qsizetype i = 0; i < day.size(); ++i)
        if ((i == 4 || i == 7) ? day[i] != u'-' : !day[i].isDigit())
            return {};
    return QDate::fromString(day.toString(), Qt::ISODate);
}

QList<QDate> toRemove(const QList<QDate> &copies, QDate today)
{
    QList<QDate> past;
    for (const QDate &day : copies)
        if (day.isValid() && day <= today)
            past << day;
    std::sort(past.begin(), past.end(), std::greater<>());
    past.erase(std::unique(past.begin(), past.end()), past.end());

    QList<QDate> kept = past.mid(0, DailyCopiesKept);
    // Newest first, so the last day seen of a month is its first copy.
    QMap<int, QDate> firstOfMonth;
    for (const QDate &day : std::as_const(past))
        firstOfMonth[day.year() * 12 + day.month()] = day;
    const QList<QDate> firsts = firstOfMonth.values(); // oldest month first
    kept << firsts.mid(std::max<qsizetype>(0, firsts.size() - MonthlyCopiesKept));

    QList<QDate> out;
    for (const QDate &day : std::as_const(past))
        if (!kept.contains(day))
            out << day;
    std::sort(out.begin(), out.end());
    return out;
}

DailyOutcome makeDailyCopy(Database &db, QDate today)
{
    sqlite3 *source = sqliteHandle(db);
    const QString path = db.filePath();
    const QString folder = folderOf(path);
    const QString copy = QDir(folder).filePath(copyName(path, today));
    if (QFileInfo::exists(copy))
        return DailyOutcome::AlreadyThere;
    if (!QDir().mkpath(folder))
        throw DataError(QStringLiteral("The folder '%1' for the copies could not be made").arg(shown(folder)));
    const QString part = partName(copy);
    writeChecked(source, path, part, "DELETE");
    if (!QFile::rename(part, copy)) {
        QFile::remove(part);
        // Another program starting on the same file the same day made it first.
        if (QFileInfo::exists(copy))
            return DailyOutcome::AlreadyThere;
        throw DataError(QStringLiteral("The copy '%1' could not be written").arg(shown(copy)));
    }
    thin(path, folder, today);
    return DailyOutcome::Made;
}

QString restore(const QString &copy, const QString &target, const QDateTime &now)
{
    const QFileInfo copyInfo(copy);
    const QFileInfo targetInfo(target);
    if (!copyInfo.exists())
        throw DataError(QStringLiteral("Could not find file '%1'").arg(shown(copy)));
    if (!copyInfo.isFile())
        throw DataError(QStringLiteral("'%1' is not a database file").arg(shown(copy)));
    if (!QFileInfo(targetInfo.absolutePath()).isDir())
        throw DataError(QStringLiteral("The folder '%1' does not exist").arg(shown(targetInfo.absolutePath())));
    if (targetInfo.exists() && !targetInfo.isFile())
        throw DataError(QStringLiteral("'%1' is not a database file").arg(shown(target)));
    if (targetInfo.exists() && copyInfo.canonicalFilePath() == targetInfo.canonicalFilePath())
        throw DataError(QStringLiteral("The copy and the database are the same file '%1'").arg(shown(target)));

    // The copy, checked, beside the target before anything there changes.
    const QString part = partName(targetInfo.absoluteFilePath());
    {
        Connection source(copy, SQLITE_OPEN_READONLY);
        if (!source.isOpen())
            throw DataError(QStringLiteral("'%1' cannot be read (%2)").arg(shown(copy), source.message()));
        writeChecked(source.handle(), copy, part, "WAL");
    }

    QString replaced;
    // Working files go with the file they belong to, even one that is gone:
    // beside the restored file they would be taken as its own.
    if (targetInfo.exists() || hasWorkingFiles(target)) {
        try {
            if (targetInfo.exists())
                refuseIfOpen(target);
        } catch (...) {
            removeWithWorkingFiles(part);
            throw;
        }
        replaced = replacedName(target, now);
        if (!moveWithWorkingFiles(target, replaced)) {
            removeWithWorkingFiles(part);
            throw DataError(QStringLiteral("'%1' could not be moved aside to '%2'").arg(shown(target), shown(replaced)));
        }
    }
    if (!QFile::rename(part, target)) {
        removeWithWorkingFiles(part);
        if (!replaced.isEmpty())
            moveWithWorkingFiles(replaced, target);
        throw DataError(QStringLiteral("The copy could not be put in place as '%1'").arg(shown(target)));
    }
    return replaced;
}

} // namespace Backup

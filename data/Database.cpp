#include "Database.h"

#include "DataError.h"
#include "DateTimes.h"
#include "RowLoader.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMultiHash>
#include <QMutex>
#include <QSqlDriver>
#include <QSqlError>
#include <QSqlRecord>
#include <QUrl>

#include <sys/stat.h>

namespace {

// The canonical name a path would have: the folder resolved, the name kept, so
// that a file not yet there compares too.
QString canonicalName(const QString &path)
{
    const QFileInfo info(path);
    const QString folder = QFileInfo(info.absolutePath()).canonicalFilePath();
    return (folder.isEmpty() ? info.absolutePath() : folder) + u'/' + info.fileName();
}

struct OpenFiles
{
    QMutex mutex;
    QMultiHash<QString, const Database *> names; // canonical names of the files and their working files
    QHash<const Database *, QPair<dev_t, ino_t>> nodes;
};

OpenFiles &openFiles()
{
    static OpenFiles files;
    return files;
}

const QString WorkingFileSuffixes[] = {QString(), QStringLiteral("-wal"), QStringLiteral("-shm"), QStringLiteral("-journal")};

} // namespace

bool Database::isDatabaseFile(const QString &path)
{
    if (path.isEmpty())
        return false;
    OpenFiles &files = openFiles();
    const QMutexLocker lock(&files.mutex);
    if (files.names.contains(canonicalName(path)))
        return true;
    // Another name for the same file (a hard link).
    struct stat st {};
    if (::stat(QFile::encodeName(path).constData(), &st) != 0)
        return false;
    for (const auto &node : std::as_const(files.nodes))
        if (node.first == st.st_dev && node.second == st.st_ino)
            return true;
    return false;
}

void Database::refuseDatabaseFile(const QString &path)
{
    if (isDatabaseFile(path))
        throw DataError(QStringLiteral("«%1» es un archivo de la base de datos del hotel: elija otro archivo.")
                            .arg(QDir::toNativeSeparators(path)));
}

void Database::registerOpenFile(bool open)
{
    OpenFiles &files = openFiles();
    const QMutexLocker lock(&files.mutex);
    for (auto it = files.names.begin(); it != files.names.end();)
        it = it.value() == this ? files.names.erase(it) : std::next(it);
    files.nodes.remove(this);
    if (!open)
        return;
    const QString name = canonicalName(m_filePath);
    for (const QString &suffix : WorkingFileSuffixes)
        files.names.insert(name + suffix, this);
    struct stat st {};
    if (::stat(QFile::encodeName(m_filePath).constData(), &st) == 0)
        files.nodes.insert(this, qMakePair(st.st_dev, st.st_ino));
}

Database::Database(QString connectionName) : m_connectionName(std::move(connectionName)) {}

Database::~Database()
{
    close();
    QSqlDatabase::removeDatabase(m_connectionName);
}

bool Database::isOpen() const
{
    return QSqlDatabase::contains(m_connectionName) && QSqlDatabase::database(m_connectionName, false).isOpen();
}

QVariant Database::nativeHandle() const
{
    if (!isOpen())
        return {};
    return QSqlDatabase::database(m_connectionName, false).driver()->handle();
}

QSqlDatabase Database::connection() const
{
    return QSqlDatabase::database(m_connectionName, false);
}

RowLoader &Database::loader()
{
    if (!isOpen())
        throw DataError(QStringLiteral("The database is not open"));
    if (!m_loader)
        m_loader = std::make_unique<RowLoader>(*this);
    return *m_loader;
}

void Database::close()
{
    // The engine closes a connection only once its statements are finalised.
    m_loader.reset();
    if (QSqlDatabase::contains(m_connectionName)) {
        QSqlDatabase db = QSqlDatabase::database(m_connectionName, false);
        db.close();
    }
    m_catalog.clear();
    m_tables.clear();
    registerOpenFile(false);
}

void Database::open(const QString &filePath)
{
    close();
    m_filePath = filePath;
    const QFileInfo info(filePath);
    if (!info.exists())
        throw DataError(QStringLiteral("Could not find file '%1'.").arg(QDir::toNativeSeparators(info.absoluteFilePath())));
    if (!info.isFile())
        throw DataError(QStringLiteral("'%1' is not a database file.").arg(QDir::toNativeSeparators(info.absoluteFilePath())));
    // The engine would open such a file for reading only and refuse every post
    // later; the user learns it now, once, at start-up.
    if (!info.isWritable())
        throw DataError(QStringLiteral("The database file '%1' cannot be written: it is read-only")
                            .arg(QDir::toNativeSeparators(info.absoluteFilePath())));

    QSqlDatabase db = QSqlDatabase::contains(m_connectionName)
                          ? QSqlDatabase::database(m_connectionName, false)
                          : QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), m_connectionName);
    // mode=rw: open an existing file for reading and writing, never create one.
    QUrl uri = QUrl::fromLocalFile(info.absoluteFilePath());
    uri.setQuery(QStringLiteral("mode=rw"));
    db.setDatabaseName(uri.toString(QUrl::FullyEncoded));
    db.setConnectOptions(QStringLiteral("QSQLITE_OPEN_URI;QSQLITE_BUSY_TIMEOUT=%1").arg(m_busyTimeout));
    registerOpenFile(true);
    if (!db.open()) {
        const QString message = describe(db.lastError(), Operation::Read);
        db.close();
        throw DataError(message);
    }
    try {
        // The first read shows whether the file is a database at all.
        QSqlQuery probe = prepare(QStringLiteral("SELECT count(*) FROM sqlite_master"));
        exec(probe);
        for (const char *pragma : {"PRAGMA foreign_keys = ON", "PRAGMA synchronous = FULL"}) {
            QSqlQuery q = prepare(QString::fromLatin1(pragma));
            exec(q);
        }
        readCatalog();
    } catch (const DataError &e) {
        close();
        // The engine keeps its working files beside the database file and says
        // only that it cannot write; the user needs to know where.
        const QFileInfo folder(info.absolutePath());
        const bool cannotWrite = e.message().contains(u"readonly database") || e.message().contains(u"unable to open");
        if (cannotWrite && !folder.isWritable())
            throw DataError(QStringLiteral("The folder '%1' of the database file cannot be written: the database needs "
                                           "to keep its working files there (%2)")
                                .arg(QDir::toNativeSeparators(folder.absoluteFilePath()), e.message()));
        throw;
    } catch (...) {
        close();
        throw;
    }
}

void Database::readCatalog()
{
    m_catalog.clear();
    m_tables.clear();
    QSqlQuery tables = prepare(QStringLiteral("SELECT name FROM sqlite_master WHERE type = 'table'"));
    exec(tables);
    QStringList names;
    while (tables.next())
        names << tables.value(0).toString();
    for (const QString &table : names) {
        m_tables.insert(table.toLower());
        QSqlQuery info = prepare(QStringLiteral("SELECT name, type FROM pragma_table_info(?)"));
        info.addBindValue(table);
        exec(info);
        while (info.next())
            m_catalog.insert(table.toLower() + u'.' + info.value(0).toString().toLower(),
                             kindOfDeclaredType(info.value(1).toString()));
    }
}

std::optional<Field::Kind> Database::declaredKind(const QString &table, const QString &column) const
{
    const auto it = m_catalog.constFind(table.toLower() + u'.' + column.toLower());
    if (it == m_catalog.cend())
        return std::nullopt;
    return it.value();
}

Field::Kind Database::kindOfDeclaredType(const QString &declared)
{
    const QString t = declared.trimmed().toUpper();
    if (t == u"CURRENCY" || t == u"MONEY")
        return Field::Kind::Money;
    if (t == u"DATETIME" || t == u"DATE")
        return Field::Kind::DateTime;
    if (t == u"SMALLINT")
        return Field::Kind::SmallInt;
    if (t.contains(u"INT"))
        return Field::Kind::Integer;
    if (t == u"BLOB")
        return Field::Kind::Blob;
    if (t.startsWith(u"VARCHAR") || t.startsWith(u"CHAR"))
        return Field::Kind::Text;
    return Field::Kind::Memo;
}

QSqlQuery Database::prepare(const QString &sql, Operation op)
{
    if (!isOpen())
        throw DataError(QStringLiteral("The database is not open"));
    QSqlQuery q(QSqlDatabase::database(m_connectionName, false));
    q.setForwardOnly(true);
    if (!q.prepare(sql))
        throw DataError(describe(q.lastError(), op));
    return q;
}

void Database::exec(QSqlQuery &query, Operation op)
{
    if (!query.exec())
        throw DataError(describe(query.lastError(), op));
}

QString Database::describe(const QSqlError &error, Operation op)
{
    QString engine = error.databaseText().trimmed();
    if (engine.isEmpty())
        engine = error.text().trimmed();
    if (engine.contains(u"FOREIGN KEY constraint failed")) {
        if (op == Operation::Delete)
            return QStringLiteral("The record cannot be deleted because other records refer to it (%1)").arg(engine);
        return QStringLiteral("The record refers to a record that does not exist (%1)").arg(engine);
    }
    if (engine.contains(u"database is locked") || engine.contains(u"database table is locked"))
        return QStringLiteral("The database file is in use by another program; try again in a moment (%1)").arg(engine);
    if (engine.contains(u"readonly database"))
        return QStringLiteral("The database file cannot be written: it is read-only (%1)").arg(engine);
    // What the engine says when the disk refuses a write (full, quota, file size limit, failing device).
    if (op != Operation::Read && (engine.contains(u"disk I/O error") || engine.contains(u"database or disk is full")))
        return QStringLiteral("The disk refused to write the database file (%1)").arg(engine);
    if (engine.contains(u"UNIQUE constraint failed"))
        return QStringLiteral("The value is already used by another record (%1)").arg(engine);
    return engine;
}

QVariant Database::toStorage(Field::Kind kind, const QVariant &v)
{
    if (!v.isValid())
        return QVariant();
    switch (kind) {
    case Field::Kind::Money:
        return QVariant::fromValue<qlonglong>(v.value<Money>().raw());
    case Field::Kind::DateTime:
        return DateTimes::toCanonical(v.toDateTime());
    case Field::Kind::AutoKey:
    case Field::Kind::Integer:
    case Field::Kind::SmallInt:
        return QVariant::fromValue<qlonglong>(v.toLongLong());
    case Field::Kind::Blob:
        return v.toByteArray();
    case Field::Kind::Text:
    case Field::Kind::Memo:
        return v.toString();
    }
    return v;
}

QVariant Database::fromStorage(Field::Kind kind, QVariant stored)
{
    if (!stored.isValid() || stored.isNull())
        return QVariant();
    const int type = stored.metaType().id();
    switch (kind) {
    case Field::Kind::Money: {
        if (type == QMetaType::QString) {
            const auto m = Money::parse(stored.toString(), u".");
            return m ? QVariant::fromValue(*m) : QVariant();
        }
        return QVariant::fromValue(Money::fromRaw(stored.toLongLong()));
    }
    case Field::Kind::DateTime: {
        const auto dt = DateTimes::fromCanonical(type == QMetaType::QString
                                                     ? QStringView(*static_cast<const QString *>(stored.constData()))
                                                     : QStringView(stored.toString()));
        return dt ? QVariant(*dt) : QVariant();
    }
    case Field::Kind::AutoKey:
    case Field::Kind::Integer:
    case Field::Kind::SmallInt: {
        if (type == QMetaType::LongLong)
            return stored; // already in the memory representation
        if (type == QMetaType::QString) {
            bool ok = false;
            const qlonglong n = stored.toString().toLongLong(&ok);
            return ok ? QVariant::fromValue<qlonglong>(n) : QVariant();
        }
        return QVariant::fromValue<qlonglong>(stored.toLongLong());
    }
    case Field::Kind::Blob:
        return type == QMetaType::QByteArray ? stored : QVariant(stored.toByteArray());
    case Field::Kind::Text:
    case Field::Kind::Memo:
        return type == QMetaType::QString ? stored : QVariant(stored.toString());
    }
    return stored;
}

// ---- transactions ------------------------------------------------------------

Database::Transaction::Transaction(Database &db) : m_db(db)
{
    if (db.m_transaction)
        throw DataError(QStringLiteral("A transaction is already in progress"));
    QSqlQuery q = db.prepare(QStringLiteral("BEGIN IMMEDIATE"), Operation::Update);
    db.exec(q, Operation::Update);
    db.m_transaction = this;
}

Database::Transaction::~Transaction()
{
    if (m_done)
        return;
    m_db.m_transaction = nullptr;
    if (m_db.isOpen()) {
        QSqlQuery q(QSqlDatabase::database(m_db.m_connectionName, false));
        q.exec(QStringLiteral("ROLLBACK"));
    }
    for (auto it = m_undo.rbegin(); it != m_undo.rend(); ++it)
        (*it)();
}

void Database::Transaction::commit()
{
    QSqlQuery q = m_db.prepare(QStringLiteral("COMMIT"), Operation::Update);
    m_db.exec(q, Operation::Update);
    m_done = true;
    m_db.m_transaction = nullptr;
    m_undo.clear();
}

void Database::Transaction::addUndo(std::function<void()> undo)
{
    m_undo.push_back(std::move(undo));
}

#include "Database.h"

#include "DataError.h"
#include "DateTimes.h"
#include "RowLoader.h"
#include "Schema.h"

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
    m_catalog = {};
    registerOpenFile(false);
}

void Database::open(const QString &filePath)
{
    open(DatabaseTarget::file(filePath));
}

void Database::open(const DatabaseTarget &target)
{
    close();
    // A connection of one driver cannot take the other's: start afresh.
    if (QSqlDatabase::contains(m_connectionName)
        && QSqlDatabase::database(m_connectionName, false).driverName() != Engine::of(target).driverName())
        QSqlDatabase::removeDatabase(m_connectionName);
    m_target = target;
    m_engine = &Engine::of(target);
    m_filePath = target.isServer() ? QString() : target.text();
    if (target.isServer())
        openServer(target);
    else
        openFile(target.text());
}

void Database::setUpSession()
{
    for (const QString &statement : m_engine->sessionSetUp(m_busyTimeout))
        run(statement);
    QSqlDatabase db = connection();
    m_engine->readCatalog(db, m_catalog);
    for (auto it = m_catalog.kinds.cbegin(); it != m_catalog.kinds.cend(); ++it)
        m_catalog.tables.insert(it.key().left(it.key().indexOf(u'.')));
}

void Database::openFile(const QString &filePath)
{
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
                          : QSqlDatabase::addDatabase(m_engine->driverName(), m_connectionName);
    // mode=rw: open an existing file for reading and writing, never create one.
    QUrl uri = QUrl::fromLocalFile(info.absoluteFilePath());
    uri.setQuery(QStringLiteral("mode=rw"));
    db.setDatabaseName(uri.toString(QUrl::FullyEncoded));
    db.setConnectOptions(QStringLiteral("QSQLITE_OPEN_URI;QSQLITE_BUSY_TIMEOUT=%1").arg(m_busyTimeout));
    registerOpenFile(true);
    if (!db.open()) {
        const QString message = error(db.lastError(), Operation::Read).message();
        db.close();
        throw DataError(message);
    }
    try {
        // The first read shows whether the file is a database at all.
        QSqlQuery probe = prepare(QStringLiteral("SELECT count(*) FROM sqlite_master"));
        exec(probe);
        probe.finish();
        setUpSession();
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

void Database::openServer(const DatabaseTarget &target)
{
    QSqlDatabase db = QSqlDatabase::contains(m_connectionName)
                          ? QSqlDatabase::database(m_connectionName, false)
                          : QSqlDatabase::addDatabase(m_engine->driverName(), m_connectionName);
    if (!db.isValid())
        throw DataError(QStringLiteral("Could not connect to %1: this computer lacks Qt's PostgreSQL driver "
                                       "(the Debian package libqt6sql6-psql).")
                            .arg(target.describe()));
    // libpq would wait for an unreachable server without end; the name tells
    // the server's administrator which program a connection belongs to.
    db.setConnectOptions(target.connectionString({{QStringLiteral("connect_timeout"), QStringLiteral("10")},
                                                  {QStringLiteral("application_name"), QStringLiteral("hotel")}}));
    if (!db.open()) {
        QString words = db.lastError().databaseText().simplified();
        if (words.isEmpty())
            words = db.lastError().text().simplified();
        db.close();
        throw DataError(QStringLiteral("Could not connect to %1: %2").arg(target.describe(), words));
    }
    try {
        setUpSession();
    } catch (...) {
        close();
        throw;
    }
    bool any = false;
    for (const Schema::Table &t : Schema::tables())
        any = any || m_catalog.kinds.contains(t.name.toLower() + u'.' + t.key().name.toLower());
    if (!any) {
        close();
        QString where = target.describe();
        where[0] = where[0].toUpper();
        throw DataError(QStringLiteral("%1 holds no tables of the hotel; its administrator makes them with "
                                       "hotel-createdb.")
                            .arg(where));
    }
}

std::optional<Field::Kind> Database::declaredKind(const QString &table, const QString &column) const
{
    const auto it = m_catalog.kinds.constFind(table.toLower() + u'.' + column.toLower());
    if (it == m_catalog.kinds.cend())
        return std::nullopt;
    return it.value();
}

QString Database::columnOrigin(const QSqlQuery &query, int column) const
{
    return m_engine->origin(query, column, m_catalog);
}

QString Database::columnName(const QString &reported, const QString &origin) const
{
    return m_engine->columnName(reported, origin);
}

QSqlQuery Database::prepare(const QString &sql, Operation op)
{
    if (!isOpen())
        throw DataError(QStringLiteral("The database is not open"));
    QSqlQuery q(QSqlDatabase::database(m_connectionName, false));
    q.setForwardOnly(true);
    if (!q.prepare(sql))
        throw error(q.lastError(), op);
    return q;
}

void Database::run(const QString &statement, Operation op)
{
    if (!isOpen())
        throw DataError(QStringLiteral("The database is not open"));
    QSqlQuery q(QSqlDatabase::database(m_connectionName, false));
    if (!q.exec(statement))
        throw error(q.lastError(), op);
}

void Database::exec(QSqlQuery &query, Operation op)
{
    if (!query.exec()) {
        if (m_transaction)
            m_transaction->m_refused.push_back(query);
        throw error(query.lastError(), op);
    }
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
    db.run(db.engine().beginTransaction(), Operation::Update);
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
    m_refused.clear();
    for (auto it = m_undo.rbegin(); it != m_undo.rend(); ++it)
        (*it)();
}

void Database::Transaction::commit()
{
    m_db.run(QStringLiteral("COMMIT"), Operation::Update);
    m_done = true;
    m_db.m_transaction = nullptr;
    m_undo.clear();
    m_refused.clear();
}

void Database::Transaction::addUndo(std::function<void()> undo)
{
    m_undo.push_back(std::move(undo));
}

#include "RowLoader.h"

#include "DataError.h"
#include "Database.h"
#include "DateTimes.h"

#include <QSqlDriver>
#include <QSqlError>
#include <QSqlRecord>
#include <QtEndian>

#include <dlfcn.h>
#include <libpq-fe.h>
#include <sqlite3.h>

#include <bit>
#include <charconv>
#include <memory>

namespace {

// Whether the engine's library behind Qt's driver is the one this program
// links: only then is the driver's handle a connection our calls may use. The
// driver's code and this program must find `symbol` (whose address here is
// `ourSymbol`) in the same loaded object.
bool driverSharesOurLibrary(const QSqlDriver *driver, const char *symbol, void *ourSymbol)
{
    Dl_info ours{}, plugin{};
    if (!dladdr(ourSymbol, &ours) || !ours.dli_fbase)
        return false;
    // The driver's virtual table lies in the plugin that made it.
    if (!dladdr(*reinterpret_cast<void *const *>(driver), &plugin) || !plugin.dli_fname)
        return false;
    void *library = dlopen(plugin.dli_fname, RTLD_LAZY | RTLD_NOLOAD);
    if (!library)
        return false;
    void *theirs = dlsym(library, symbol);
    Dl_info found{};
    const bool same = theirs && dladdr(theirs, &found) && found.dli_fbase == ours.dli_fbase;
    dlclose(library);
    return same;
}

// Statements go back to their start when a load ends, however it ends: a
// statement left stepping would hold the reader's snapshot, and another
// program's later commits would stay unseen.
struct ResetOnExit
{
    sqlite3_stmt *stmt;
    ~ResetOnExit()
    {
        sqlite3_reset(stmt);
        sqlite3_clear_bindings(stmt);
    }
};

// The value Qt's driver would give for a column, for the conversions that the
// cells do not take directly.
QVariant driverValue(sqlite3_stmt *stmt, int column)
{
    switch (sqlite3_column_type(stmt, column)) {
    case SQLITE_INTEGER:
        return QVariant::fromValue<qlonglong>(sqlite3_column_int64(stmt, column));
    case SQLITE_FLOAT:
        return sqlite3_column_double(stmt, column);
    case SQLITE_BLOB:
        return QByteArray(static_cast<const char *>(sqlite3_column_blob(stmt, column)),
                          sqlite3_column_bytes(stmt, column));
    case SQLITE_NULL:
        return QVariant();
    default:
        return QString::fromUtf8(reinterpret_cast<const char *>(sqlite3_column_text(stmt, column)),
                                 sqlite3_column_bytes(stmt, column));
    }
}

// A join repeats the bytes of the row it joins on every row (a room type's
// photo on each of its rooms): equal bytes in a column, one row after another,
// share one copy.
class BlobSharing
{
public:
    explicit BlobSharing(int columns) : m_last(static_cast<size_t>(columns)) {}

    QByteArray bytes(int column, QByteArrayView bytes)
    {
        QByteArray &last = m_last[static_cast<size_t>(column)];
        if (last.isNull() || QByteArrayView(last) != bytes)
            last = bytes.toByteArray();
        return last;
    }

private:
    std::vector<QByteArray> m_last;
};

// The statement with its '?' marks numbered as the server reads them ($1,
// $2, ...); marks inside quotes are text.
QByteArray numberedMarks(const QString &sql)
{
    QString out;
    out.reserve(sql.size() + 8);
    QChar quote;
    int n = 0;
    for (const QChar ch : sql) {
        if (!quote.isNull()) {
            if (ch == quote)
                quote = QChar();
        } else if (ch == u'\'' || ch == u'"') {
            quote = ch;
        } else if (ch == u'?') {
            out += u'$' + QString::number(++n);
            continue;
        }
        out += ch;
    }
    return out.toUtf8();
}

// The server's binary form of the types of the hotel's columns, read into
// cells as their text would be read (what Qt SQL gives of it, converted).
namespace ServerValues {

constexpr Oid BoolType = 16, ByteaType = 17, Int8Type = 20, Int2Type = 21, Int4Type = 23, TextType = 25,
              Float4Type = 700, Float8Type = 701, CharType = 1042, VarcharType = 1043, DateType = 1082,
              TimestampType = 1114;

bool readsBinary(Oid type)
{
    switch (type) {
    case BoolType:
    case ByteaType:
    case Int8Type:
    case Int2Type:
    case Int4Type:
    case TextType:
    case Float4Type:
    case Float8Type:
    case CharType:
    case VarcharType:
    case DateType:
    case TimestampType:
        return true;
    default:
        return false;
    }
}

// Milliseconds of the naive value read as UTC, for the years the canonical
// text can hold (1 to 9999, whole seconds); otherwise the text would not read
// as a date-time either.
std::optional<qint64> dateTimeMSecs(Oid type, QByteArrayView v)
{
    constexpr qint64 Since2000 = 946684800000;           // 2000-01-01 in ms since 1970
    constexpr qint64 First = -62135596800000;            // 0001-01-01
    constexpr qint64 PastLast = 253402300800000;         // 10000-01-01
    qint64 ms;
    if (type == TimestampType && v.size() == 8) {
        const qint64 us = qFromBigEndian<qint64>(v.data());
        if (us % 1000000 != 0)
            return std::nullopt;
        ms = us / 1000 + Since2000;
    } else if (type == DateType && v.size() == 4) {
        ms = qint64(qFromBigEndian<qint32>(v.data())) * 86400000 + Since2000;
    } else {
        return std::nullopt;
    }
    if (ms < First || ms >= PastLast)
        return std::nullopt;
    return ms;
}

std::optional<qint64> integer(Oid type, QByteArrayView v)
{
    if (type == Int8Type && v.size() == 8)
        return qFromBigEndian<qint64>(v.data());
    if (type == Int4Type && v.size() == 4)
        return qFromBigEndian<qint32>(v.data());
    if (type == Int2Type && v.size() == 2)
        return qFromBigEndian<qint16>(v.data());
    return std::nullopt;
}

// The value as Qt's driver would give it, for the pairs of kind and type
// that the cells do not take directly.
QVariant driverValue(Oid type, QByteArrayView v)
{
    if (const auto n = integer(type, v))
        return QVariant::fromValue<qlonglong>(*n);
    switch (type) {
    case BoolType:
        return v.size() == 1 ? QVariant(v[0] != 0) : QVariant();
    case Float4Type:
        return v.size() == 4 ? QVariant(double(std::bit_cast<float>(qFromBigEndian<quint32>(v.data())))) : QVariant();
    case Float8Type:
        return v.size() == 8 ? QVariant(std::bit_cast<double>(qFromBigEndian<quint64>(v.data()))) : QVariant();
    case ByteaType:
        return v.toByteArray();
    case DateType:
    case TimestampType:
        if (const auto ms = dateTimeMSecs(type, v))
            return DateTimes::toCanonical(QDateTime::fromMSecsSinceEpoch(*ms, Qt::UTC));
        return QStringLiteral("-");
    default:
        return QString::fromUtf8(v);
    }
}

void storeBinary(RowStore::Row &row, int c, Field::Kind kind, Oid type, QByteArrayView v, BlobSharing &blobs)
{
    switch (kind) {
    case Field::Kind::AutoKey:
    case Field::Kind::Integer:
    case Field::Kind::SmallInt:
    case Field::Kind::Money:
        if (const auto n = integer(type, v)) {
            RowStore::setNumber(row, c, *n);
            return;
        }
        break;
    case Field::Kind::DateTime:
        if (type == DateType || type == TimestampType) {
            if (const auto ms = dateTimeMSecs(type, v))
                RowStore::setNumber(row, c, *ms);
            return;
        }
        break;
    case Field::Kind::Text:
    case Field::Kind::Memo:
        if (type == TextType || type == VarcharType || type == CharType) {
            RowStore::setTextUtf8(row, c, v);
            return;
        }
        break;
    case Field::Kind::Blob:
        if (type == ByteaType) {
            RowStore::setBlob(row, c, blobs.bytes(c, v));
            return;
        }
        break;
    }
    RowStore::setValue(row, c, Database::fromStorage(kind, driverValue(type, v)));
}

} // namespace ServerValues

struct ClearResult
{
    void operator()(PGresult *res) const { PQclear(res); }
};

} // namespace

RowLoader::RowLoader(Database &db) : m_db(db) {}

RowLoader::~RowLoader()
{
    release();
}

void RowLoader::release()
{
    for (sqlite3_stmt *stmt : std::as_const(m_statements))
        sqlite3_finalize(stmt);
    m_statements.clear();
    m_handle = nullptr;
    m_server = nullptr;
    m_probed = false;
}

void RowLoader::probe()
{
    if (m_probed)
        return;
    m_probed = true;
    m_handle = nullptr;
    m_server = nullptr;
    m_driver = nullptr;
    const QSqlDatabase db = m_db.connection();
    QSqlDriver *driver = db.driver();
    if (!driver || !db.isOpen())
        return;
    const QVariant h = driver->handle();
    if (!h.isValid())
        return;
    if (db.driverName() == u"QSQLITE" && qstrcmp(h.typeName(), "sqlite3*") == 0
        && driverSharesOurLibrary(driver, "sqlite3_libversion_number",
                                  reinterpret_cast<void *>(&sqlite3_libversion_number)))
        m_handle = *static_cast<sqlite3 *const *>(h.constData());
    else if (db.driverName() == u"QPSQL" && qstrcmp(h.typeName(), "pg_conn*") == 0
             && driverSharesOurLibrary(driver, "PQexecParams", reinterpret_cast<void *>(&PQexecParams))) {
        m_server = *static_cast<pg_conn *const *>(h.constData());
        m_driver = driver;
        m_noticeHandler = driver->metaObject()->indexOfMethod("_q_handleNotification()") >= 0;
    }
}

sqlite3 *RowLoader::handle()
{
    if (!m_db.directReadsAllowed())
        return nullptr;
    probe();
    return m_handle;
}

pg_conn *RowLoader::serverHandle()
{
    if (!m_db.directReadsAllowed())
        return nullptr;
    probe();
    // A statement of Qt's may still be delivering rows on the connection; then
    // Qt's driver must read, which knows to finish it first.
    if (m_server && PQtransactionStatus(m_server) != PQTRANS_IDLE && PQtransactionStatus(m_server) != PQTRANS_INTRANS)
        return nullptr;
    // Notices of other desks' commits that libpq reads along with a result
    // reach the program only through the driver's handler (see loadServer).
    if (m_server && !m_noticeHandler && !m_driver->subscribedToNotifications().isEmpty())
        return nullptr;
    return m_server;
}

bool RowLoader::isDirect()
{
    return handle() != nullptr || serverHandle() != nullptr;
}

void RowLoader::fail(int code)
{
    const QString engine = QString::fromUtf8(sqlite3_errmsg(m_handle));
    throw m_db.error(QSqlError(QStringLiteral("Unable to fetch row"), engine, QSqlError::StatementError,
                               QString::number(code)),
                     Database::Operation::Read);
}

sqlite3_stmt *RowLoader::statement(const QString &sql)
{
    if (sqlite3_stmt *stmt = m_statements.value(sql))
        return stmt;
    const QByteArray text = sql.toUtf8();
    sqlite3_stmt *stmt = nullptr;
    const int rc = sqlite3_prepare_v3(m_handle, text.constData(), static_cast<int>(text.size()),
                                      SQLITE_PREPARE_PERSISTENT, &stmt, nullptr);
    if (rc != SQLITE_OK) {
        sqlite3_finalize(stmt);
        fail(rc);
    }
    m_statements.insert(sql, stmt);
    return stmt;
}

void RowLoader::load(const QString &sql, const QVariantList &values, RowStore &store, const Sink &sink)
{
    if (handle()) {
        loadDirect(statement(sql), values, store, sink);
        return;
    }
    if (pg_conn *conn = serverHandle()) {
        loadServer(conn, sql, values, store, sink);
        return;
    }
    QSqlQuery q = m_db.prepare(sql);
    for (const QVariant &v : values)
        q.addBindValue(v);
    m_db.exec(q);
    loadFrom(m_db, q, store, sink);
}

void RowLoader::loadDirect(sqlite3_stmt *stmt, const QVariantList &values, RowStore &store, const Sink &sink)
{
    const ResetOnExit reset{stmt};
    for (int i = 0; i < values.size(); ++i) {
        const QVariant &v = values[i];
        const int at = i + 1;
        int rc;
        switch (v.metaType().id()) {
        case QMetaType::UnknownType:
            rc = sqlite3_bind_null(stmt, at);
            break;
        case QMetaType::LongLong:
        case QMetaType::Int:
        case QMetaType::UInt:
        case QMetaType::Bool:
            rc = v.isNull() ? sqlite3_bind_null(stmt, at) : sqlite3_bind_int64(stmt, at, v.toLongLong());
            break;
        case QMetaType::Double:
            rc = sqlite3_bind_double(stmt, at, v.toDouble());
            break;
        case QMetaType::QByteArray: {
            const QByteArray b = v.toByteArray();
            rc = sqlite3_bind_blob64(stmt, at, b.constData(), static_cast<sqlite3_uint64>(b.size()), SQLITE_TRANSIENT);
            break;
        }
        default: {
            if (v.isNull()) {
                rc = sqlite3_bind_null(stmt, at);
                break;
            }
            const QByteArray t = v.toString().toUtf8();
            rc = sqlite3_bind_text64(stmt, at, t.constData(), static_cast<sqlite3_uint64>(t.size()), SQLITE_TRANSIENT,
                                     SQLITE_UTF8);
        }
        }
        if (rc != SQLITE_OK)
            fail(rc);
    }

    const int columns = store.columnCount();
    if (sqlite3_column_count(stmt) != columns)
        throw DataError(QStringLiteral("The statement gives %1 columns where %2 are expected")
                            .arg(sqlite3_column_count(stmt))
                            .arg(columns));
    std::vector<Field::Kind> kinds;
    for (int c = 0; c < columns; ++c)
        kinds.push_back(store.kind(c));
    BlobSharing blobs(columns);
    int rc;
    while ((rc = sqlite3_step(stmt)) == SQLITE_ROW) {
        RowStore::RowPtr row = store.newRow();
        for (int c = 0; c < columns; ++c) {
            const int type = sqlite3_column_type(stmt, c);
            if (type == SQLITE_NULL)
                continue;
            const Field::Kind kind = kinds[static_cast<size_t>(c)];
            switch (kind) {
            case Field::Kind::AutoKey:
            case Field::Kind::Integer:
            case Field::Kind::SmallInt:
            case Field::Kind::Money:
                if (type == SQLITE_INTEGER) {
                    RowStore::setNumber(*row, c, sqlite3_column_int64(stmt, c));
                    continue;
                }
                break;
            case Field::Kind::DateTime:
                if (type == SQLITE_TEXT) {
                    const auto *text = reinterpret_cast<const char *>(sqlite3_column_text(stmt, c));
                    if (const auto ms = DateTimes::canonicalMSecs(QByteArrayView(text, sqlite3_column_bytes(stmt, c))))
                        RowStore::setNumber(*row, c, *ms);
                    continue;
                }
                break;
            case Field::Kind::Text:
            case Field::Kind::Memo:
                if (type == SQLITE_TEXT) {
                    const auto *text = reinterpret_cast<const char *>(sqlite3_column_text(stmt, c));
                    RowStore::setTextUtf8(*row, c, QByteArrayView(text, sqlite3_column_bytes(stmt, c)));
                    continue;
                }
                break;
            case Field::Kind::Blob:
                if (type == SQLITE_BLOB) {
                    const auto *bytes = static_cast<const char *>(sqlite3_column_blob(stmt, c));
                    RowStore::setBlob(*row, c, blobs.bytes(c, QByteArrayView(bytes, sqlite3_column_bytes(stmt, c))));
                    continue;
                }
                break;
            }
            // A value stored in another type than its column declares: converted
            // as it would be when read through Qt SQL.
            RowStore::setValue(*row, c, Database::fromStorage(kind, driverValue(stmt, c)));
        }
        sink(std::move(row));
    }
    if (rc != SQLITE_DONE)
        fail(rc);
}

void RowLoader::loadServer(pg_conn *conn, const QString &sql, const QVariantList &values, RowStore &store,
                           const Sink &sink)
{
    // Values as text (bytes as bytes), the types left to the server to infer
    // from the statement, as Qt's driver leaves them.
    std::vector<QByteArray> held;
    held.reserve(static_cast<size_t>(values.size()));
    std::vector<const char *> params;
    std::vector<int> lengths, formats;
    for (const QVariant &v : values) {
        if (!v.isValid() || v.isNull()) {
            held.emplace_back();
            params.push_back(nullptr);
            lengths.push_back(0);
            formats.push_back(0);
            continue;
        }
        switch (v.metaType().id()) {
        case QMetaType::QByteArray:
            held.push_back(v.toByteArray());
            formats.push_back(1);
            break;
        case QMetaType::LongLong:
        case QMetaType::Int:
        case QMetaType::UInt:
            held.push_back(QByteArray::number(v.toLongLong()));
            formats.push_back(0);
            break;
        default:
            held.push_back(v.toString().toUtf8());
            formats.push_back(0);
        }
        params.push_back(held.back().constData());
        lengths.push_back(static_cast<int>(held.back().size()));
    }
    const QByteArray text = numberedMarks(sql);
    const auto run = [&](int resultFormat) {
        std::unique_ptr<PGresult, ClearResult> result(PQexecParams(conn, text.constData(),
                                                                   static_cast<int>(params.size()), nullptr,
                                                                   params.data(), lengths.data(), formats.data(),
                                                                   resultFormat));
        PGresult *res = result.get();
        if (PQresultStatus(res) != PGRES_TUPLES_OK) {
            const char *state = res ? PQresultErrorField(res, PG_DIAG_SQLSTATE) : nullptr;
            const QString words = QString::fromUtf8(res ? PQresultErrorMessage(res) : PQerrorMessage(conn));
            throw m_db.error(QSqlError(QStringLiteral("Unable to fetch row"), words, QSqlError::StatementError,
                                       state ? QString::fromLatin1(state) : QString()),
                             Database::Operation::Read);
        }
        return result;
    };
    // Values in the server's own binary form spare it writing numbers and
    // dates as text and this program reading them back; a statement with a
    // column of another type is read as text from then on.
    bool binary = !m_textResults.contains(sql);
    std::unique_ptr<PGresult, ClearResult> result = run(binary ? 1 : 0);
    if (binary) {
        for (int c = 0; c < PQnfields(result.get()); ++c) {
            if (!ServerValues::readsBinary(PQftype(result.get(), c))) {
                m_textResults.insert(sql);
                binary = false;
                result = run(0);
                break;
            }
        }
    }
    PGresult *res = result.get();
    // libpq may have read a notice of another desk's commit with the result;
    // the driver looks for notices only when its socket has something to read,
    // and that is now read: it is told to look, as it does after its own
    // statements.
    if (m_noticeHandler && !m_driver->subscribedToNotifications().isEmpty())
        QMetaObject::invokeMethod(m_driver, "_q_handleNotification", Qt::QueuedConnection);

    const int columns = store.columnCount();
    if (PQnfields(res) != columns)
        throw DataError(QStringLiteral("The statement gives %1 columns where %2 are expected")
                            .arg(PQnfields(res))
                            .arg(columns));
    std::vector<Field::Kind> kinds;
    std::vector<Oid> types;
    for (int c = 0; c < columns; ++c) {
        kinds.push_back(store.kind(c));
        types.push_back(PQftype(res, c));
    }
    BlobSharing blobs(columns);
    const int rows = PQntuples(res);
    for (int r = 0; r < rows; ++r) {
        RowStore::RowPtr row = store.newRow();
        for (int c = 0; c < columns; ++c) {
            if (PQgetisnull(res, r, c))
                continue;
            const char *value = PQgetvalue(res, r, c);
            const int length = PQgetlength(res, r, c);
            const Field::Kind kind = kinds[static_cast<size_t>(c)];
            const Oid type = types[static_cast<size_t>(c)];
            if (binary) {
                ServerValues::storeBinary(*row, c, kind, type, QByteArrayView(value, length), blobs);
                continue;
            }
            switch (kind) {
            case Field::Kind::AutoKey:
            case Field::Kind::Integer:
            case Field::Kind::SmallInt:
            case Field::Kind::Money: {
                qint64 n = 0;
                const auto [end, error] = std::from_chars(value, value + length, n);
                if (error == std::errc() && end == value + length) {
                    RowStore::setNumber(*row, c, n);
                    continue;
                }
                break;
            }
            case Field::Kind::DateTime:
                if (type != ServerValues::DateType) {
                    if (const auto ms = DateTimes::canonicalMSecs(QByteArrayView(value, length)))
                        RowStore::setNumber(*row, c, *ms);
                    continue;
                }
                // A day reads as its midnight.
                if (const auto ms = DateTimes::canonicalMSecs(QByteArray(value, length) + " 00:00:00"))
                    RowStore::setNumber(*row, c, *ms);
                continue;
            case Field::Kind::Text:
            case Field::Kind::Memo:
                RowStore::setTextUtf8(*row, c, QByteArrayView(value, length));
                continue;
            case Field::Kind::Blob:
                if (type == ServerValues::ByteaType) {
                    size_t size = 0;
                    unsigned char *bytes = PQunescapeBytea(reinterpret_cast<const unsigned char *>(value), &size);
                    if (!bytes)
                        throw DataError(QStringLiteral("Out of memory reading a picture"));
                    RowStore::setBlob(*row, c,
                                      blobs.bytes(c, QByteArrayView(reinterpret_cast<const char *>(bytes),
                                                                    static_cast<qsizetype>(size))));
                    PQfreemem(bytes);
                    continue;
                }
                break;
            }
            // Any other type: read from its text as through Qt SQL.
            RowStore::setValue(*row, c, Database::fromStorage(kind, QString::fromUtf8(value, length)));
        }
        sink(std::move(row));
    }
}

void RowLoader::loadFrom(const Database &db, QSqlQuery &query, RowStore &store, const Sink &sink)
{
    const int columns = store.columnCount();
    std::vector<Field::Kind> kinds;
    for (int c = 0; c < columns; ++c)
        kinds.push_back(store.kind(c));
    BlobSharing blobs(columns);
    while (query.next()) {
        RowStore::RowPtr row = store.newRow();
        for (int c = 0; c < columns; ++c) {
            const Field::Kind kind = kinds[static_cast<size_t>(c)];
            QVariant v = db.value(query, c);
            if (kind == Field::Kind::Blob && v.metaType().id() == QMetaType::QByteArray && !v.isNull()) {
                RowStore::setBlob(*row, c, blobs.bytes(c, *static_cast<const QByteArray *>(v.constData())));
                continue;
            }
            RowStore::setValue(*row, c, Database::fromStorage(kind, std::move(v)));
        }
        sink(std::move(row));
    }
    if (query.lastError().isValid())
        throw db.error(query.lastError(), Database::Operation::Read);
    query.finish();
}

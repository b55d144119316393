#include "BenchDatabase.h"

#include "Database.h"
#include "DatabaseFactory.h"
#include "DatabaseTarget.h"

#include <QDir>
#include <QFile>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QSqlQuery>
#include <QTextStream>

#include <benchmark/benchmark.h>
#include <sqlite3.h>

namespace {

DatabaseFactory::LargeOptions largeOptions(double scale)
{
    DatabaseFactory::LargeOptions options;
    options.today = QDate(2026, 12, 1);
    options.seed = 1;
    options.scale = scale;
    return options;
}

void generate(const QString &where, double scale)
{
    QTextStream err(stderr);
    err << "Generating the large database " << where << " ..." << Qt::endl;
    QElapsedTimer t;
    t.start();
    DatabaseFactory::createLarge(where, largeOptions(scale));
    err << "done in " << t.elapsed() / 1000.0 << " s" << Qt::endl;
}

} // namespace

bool benchOnServer(const QString &folder)
{
    return DatabaseTarget::isServerUrl(folder);
}

DatabaseTarget benchTarget(const QString &folder)
{
    return benchOnServer(folder) ? DatabaseTarget::server(folder)
                                 : DatabaseTarget::file(QDir(folder).filePath(QStringLiteral("Hotel.db")));
}

QString benchDatabaseFolder(double scale)
{
    QString base = qEnvironmentVariable("HOTEL_BENCH_DB");
    if (benchOnServer(base)) {
        if (!DatabaseFactory::exists(base))
            generate(base, scale);
        return base;
    }
    // The build folder by default: a run from anywhere never writes into the sources.
    QString folder = base.isEmpty() ? QStringLiteral(HOTEL_BENCH_DATA_DIR) : QFileInfo(base).absolutePath();
    if (scale != 1.0)
        folder += QStringLiteral("/scale-%1").arg(scale);
    QDir().mkpath(folder);
    const QString path = QDir(folder).filePath(QStringLiteral("Hotel.db"));
    if (!QFileInfo::exists(path))
        generate(path, scale);
    return folder;
}

double benchScale()
{
    bool ok = false;
    const double scale = qEnvironmentVariable("HOTEL_BENCH_SCALE").toDouble(&ok);
    return ok && scale > 0 ? scale : 1.0;
}

qint64 rawReadSixTables(const QString &folder)
{
    if (benchOnServer(folder))
        return -1;
    const QByteArray path = QFile::encodeName(QDir(folder).filePath(QStringLiteral("Hotel.db")));
    sqlite3 *db = nullptr;
    if (sqlite3_open_v2(path.constData(), &db, SQLITE_OPEN_READWRITE, nullptr) != SQLITE_OK) {
        sqlite3_close(db);
        return -1;
    }
    qint64 values = 0;
    for (const char *table : {"Huespedes", "TiposDeHabitacion", "Habitaciones", "Servicios", "Estadias",
                              "ConsumoDeServicios"}) {
        sqlite3_stmt *stmt = nullptr;
        const QByteArray sql = QByteArray("SELECT * FROM ") + table;
        if (sqlite3_prepare_v2(db, sql.constData(), -1, &stmt, nullptr) != SQLITE_OK) {
            sqlite3_close(db);
            return -1;
        }
        const int columns = sqlite3_column_count(stmt);
        while (sqlite3_step(stmt) == SQLITE_ROW) {
            for (int c = 0; c < columns; ++c) {
                switch (sqlite3_column_type(stmt, c)) {
                case SQLITE_INTEGER:
                    benchmark::DoNotOptimize(sqlite3_column_int64(stmt, c));
                    break;
                case SQLITE_FLOAT:
                    benchmark::DoNotOptimize(sqlite3_column_double(stmt, c));
                    break;
                case SQLITE_TEXT:
                    benchmark::DoNotOptimize(sqlite3_column_text(stmt, c));
                    benchmark::DoNotOptimize(sqlite3_column_bytes(stmt, c));
                    break;
                case SQLITE_BLOB:
                    benchmark::DoNotOptimize(sqlite3_column_blob(stmt, c));
                    benchmark::DoNotOptimize(sqlite3_column_bytes(stmt, c));
                    break;
                default:
                    break;
                }
                ++values;
            }
        }
        sqlite3_finalize(stmt);
    }
    sqlite3_close(db);
    return values;
}

qint64 benchDatabaseSize(const QString &folder)
{
    if (benchOnServer(folder)) {
        Database db(QStringLiteral("bench-size"));
        db.open(benchTarget(folder));
        QSqlQuery q = db.prepare(QStringLiteral("SELECT pg_database_size(current_database())"));
        db.exec(q);
        return q.next() ? q.value(0).toLongLong() : -1;
    }
    return QFileInfo(QDir(folder).filePath(QStringLiteral("Hotel.db"))).size();
}

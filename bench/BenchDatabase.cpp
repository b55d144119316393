#include "BenchDatabase.h"

#include "DatabaseFactory.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QTextStream>

QString benchDatabaseFolder(double scale)
{
    QString base = qEnvironmentVariable("HOTEL_BENCH_DB");
    // The build folder by default: a run from anywhere never writes into the sources.
    QString folder = base.isEmpty() ? QStringLiteral(HOTEL_BENCH_DATA_DIR) : QFileInfo(base).absolutePath();
    if (scale != 1.0)
        folder += QStringLiteral("/scale-%1").arg(scale);
    QDir().mkpath(folder);
    const QString path = QDir(folder).filePath(QStringLiteral("Hotel.db"));
    if (!QFileInfo::exists(path)) {
        QTextStream err(stderr);
        err << "Generating the large database " << path << " ..." << Qt::endl;
        QElapsedTimer t;
        t.start();
        DatabaseFactory::LargeOptions options;
        options.today = QDate(2026, 12, 1);
        options.seed = 1;
        options.scale = scale;
        DatabaseFactory::createLarge(path, options);
        err << "done in " << t.elapsed() / 1000.0 << " s" << Qt::endl;
    }
    return folder;
}

double benchScale()
{
    bool ok = false;
    const double scale = qEnvironmentVariable("HOTEL_BENCH_SCALE").toDouble(&ok);
    return ok && scale > 0 ? scale : 1.0;
}

#include "DatabaseFactory.h"

#include "DataError.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QUuid>

namespace {

QString schemaText()
{
    QFile f(QStringLiteral(":/data/schema.sql"));
    if (!f.open(QIODevice::ReadOnly))
        throw DataError(QStringLiteral("The database schema is missing from the program"));
    return QString::fromUtf8(f.readAll());
}

// Statements of the schema, split at the semicolons that end a line.
QStringList statements(const QString &script)
{
    QStringList out;
    QString current;
    for (const QString &line : script.split(u'\n')) {
        const QString trimmed = line.trimmed();
        if (trimmed.startsWith(QStringLiteral("--")))
            continue;
        current += line + u'\n';
        if (trimmed.endsWith(u';')) {
            out << current.trimmed();
            current.clear();
        }
    }
    if (!current.trimmed().isEmpty())
        out << current.trimmed();
    return out;
}

} // namespace

namespace DatabaseFactory {

void createEmpty(const QString &path)
{
    const QFileInfo target(path);
    if (target.exists())
        throw DataError(QStringLiteral("'%1' already exists; it was left unchanged.").arg(QDir::toNativeSeparators(path)));
    if (!target.absoluteDir().exists())
        throw DataError(QStringLiteral("The folder '%1' does not exist.").arg(QDir::toNativeSeparators(target.absolutePath())));

    // Built under a temporary name and renamed at the end, so an interrupted run
    // never leaves a half-made database under the final name.
    const QString temp = target.absoluteDir().filePath(QStringLiteral(".%1.%2.tmp")
                                                           .arg(target.fileName(),
                                                                QUuid::createUuid().toString(QUuid::WithoutBraces)));
    const QString connection = QStringLiteral("create-") + QUuid::createUuid().toString(QUuid::WithoutBraces);
    QString error;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), connection);
        db.setDatabaseName(temp);
        if (!db.open()) {
            error = db.lastError().databaseText();
        } else {
            QSqlQuery q(db);
            for (const QString &statement : statements(schemaText())) {
                if (!q.exec(statement)) {
                    error = q.lastError().databaseText() + QStringLiteral(" in: ") + statement.left(80);
                    break;
                }
            }
            // Leave a single self-contained file behind.
            if (error.isEmpty())
                q.exec(QStringLiteral("PRAGMA wal_checkpoint(TRUNCATE)"));
            q.finish();
        }
        db.close();
    }
    QSqlDatabase::removeDatabase(connection);
    if (error.isEmpty() && !QFile::rename(temp, path))
        error = QStringLiteral("'%1' could not be written (it may have appeared meanwhile).").arg(path);
    if (!error.isEmpty()) {
        QFile::remove(temp);
        QFile::remove(temp + QStringLiteral("-wal"));
        QFile::remove(temp + QStringLiteral("-shm"));
        throw DataError(error);
    }
}

} // namespace DatabaseFactory

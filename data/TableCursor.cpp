#include "TableCursor.h"

#include "DataError.h"
#include "Database.h"
#include "RowLoader.h"

#include <QSqlError>
#include <QSqlRecord>

namespace {

// Grave accents, not double quotes: the engine reads a double-quoted name that
// names no column as a text literal, so a missing column would show its own
// name in every row instead of being refused.
QString quotedName(const QString &name)
{
    QString s = name;
    s.replace(u'`', QStringLiteral("``"));
    return u'`' + s + u'`';
}

} // namespace

TableCursor::TableCursor(Database &db, const QString &name, const QString &table, QObject *parent)
    : Cursor(name, parent), m_db(db), m_table(table)
{
}

std::vector<const Field *> TableCursor::storedFields() const
{
    std::vector<const Field *> out;
    for (int i = 0; i < fieldCount(); ++i)
        if (field(i).physicalIndex() >= 0)
            out.push_back(&field(i));
    return out;
}

QString TableCursor::selectStatement(const QString &where) const
{
    QStringList columns;
    for (const Field *f : storedFields())
        columns << quotedName(f->name());
    QString sql = QStringLiteral("SELECT %1 FROM %2").arg(columns.join(u", "), quotedName(m_table));
    if (!where.isEmpty())
        sql += QStringLiteral(" WHERE ") + where;
    // Let the engine deliver the rows nearly in order (an index may serve it);
    // the cursor's own comparison has the last word.
    if (!sortOrder().isEmpty()) {
        QStringList order;
        for (const QString &part : sortOrder().split(u';', Qt::SkipEmptyParts))
            order << quotedName(part.trimmed());
        sql += QStringLiteral(" ORDER BY ") + order.join(u", ");
    }
    return sql;
}

void TableCursor::doFetch()
{
    m_db.loader().load(selectStatement(QString()), {}, store(), [this](RowStore::RowPtr row) {
        addFetchedRow(std::move(row));
    });
}

void TableCursor::doFetchWhere(const Field &field, const QVariant &value)
{
    // A detail asks at every move of its master: the statement is made once.
    if (m_whereField != &field) {
        m_whereSql = selectStatement(quotedName(field.name()) + QStringLiteral(" = ?"));
        m_whereField = &field;
    }
    m_db.loader().load(m_whereSql, {Database::toStorage(field.kind(), value)}, store(),
                       [this](RowStore::RowPtr row) { addFetchedRow(std::move(row)); });
}

QVariant TableCursor::doInsert(std::span<const QVariant> values)
{
    QStringList columns, marks;
    std::vector<const Field *> written;
    for (const Field *f : storedFields()) {
        if (f->kind() == Field::Kind::AutoKey)
            continue;
        columns << quotedName(f->name());
        marks << QStringLiteral("?");
        written.push_back(f);
    }
    QSqlQuery q = m_db.prepare(QStringLiteral("INSERT INTO %1 (%2) VALUES (%3)")
                                   .arg(quotedName(m_table), columns.join(u", "), marks.join(u", ")),
                               Database::Operation::Insert);
    for (const Field *f : written)
        q.addBindValue(Database::toStorage(f->kind(), values[static_cast<size_t>(f->physicalIndex())]));
    m_db.exec(q, Database::Operation::Insert);
    const QVariant key = q.lastInsertId();
    return key.isValid() ? QVariant::fromValue<qlonglong>(key.toLongLong()) : QVariant();
}

QString TableCursor::whereRowIs(const std::vector<const Field *> &fields) const
{
    QStringList parts;
    for (const Field *f : fields)
        parts << QStringLiteral("%1 IS ?").arg(quotedName(f->name()));
    return parts.join(QStringLiteral(" AND "));
}

void TableCursor::doUpdate(std::span<const QVariant> before, std::span<const QVariant> after)
{
    const auto fields = storedFields();
    QStringList sets;
    std::vector<const Field *> changed;
    for (const Field *f : fields) {
        const auto i = static_cast<size_t>(f->physicalIndex());
        if (f->kind() == Field::Kind::AutoKey)
            continue;
        if (Database::toStorage(f->kind(), before[i]) != Database::toStorage(f->kind(), after[i])
            || before[i].isValid() != after[i].isValid()) {
            sets << QStringLiteral("%1 = ?").arg(quotedName(f->name()));
            changed.push_back(f);
        }
    }
    if (changed.empty())
        return;
    QSqlQuery q = m_db.prepare(QStringLiteral("UPDATE %1 SET %2 WHERE %3")
                                   .arg(quotedName(m_table), sets.join(u", "), whereRowIs(fields)),
                               Database::Operation::Update);
    for (const Field *f : changed)
        q.addBindValue(Database::toStorage(f->kind(), after[static_cast<size_t>(f->physicalIndex())]));
    for (const Field *f : fields)
        q.addBindValue(Database::toStorage(f->kind(), before[static_cast<size_t>(f->physicalIndex())]));
    m_db.exec(q, Database::Operation::Update);
    if (q.numRowsAffected() != 1)
        throw DataError(QStringLiteral("The record was changed or deleted by another program since it was read; "
                                       "your changes were not saved"));
}

void TableCursor::doDelete(std::span<const QVariant> values)
{
    const auto fields = storedFields();
    QSqlQuery q = m_db.prepare(QStringLiteral("DELETE FROM %1 WHERE %2").arg(quotedName(m_table), whereRowIs(fields)),
                               Database::Operation::Delete);
    for (const Field *f : fields)
        q.addBindValue(Database::toStorage(f->kind(), values[static_cast<size_t>(f->physicalIndex())]));
    m_db.exec(q, Database::Operation::Delete);
    if (q.numRowsAffected() != 1)
        throw DataError(QStringLiteral("The record was changed or deleted by another program since it was read; "
                                       "it was not deleted"));
}

#include "TableCursor.h"

#include "DataError.h"
#include "Database.h"
#include "RowLoader.h"
#include "Schema.h"

#include <QSqlError>
#include <QSqlRecord>

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
        columns << m_db.name(f->name());
    QString sql = QStringLiteral("SELECT %1 FROM %2").arg(columns.join(u", "), m_db.name(m_table));
    if (!where.isEmpty())
        sql += QStringLiteral(" WHERE ") + where;
    // Let the engine deliver the rows nearly in order (an index may serve it);
    // the cursor's own comparison has the last word.
    if (!sortOrder().isEmpty()) {
        QStringList order;
        bool keyed = false;
        const Field *key = keyField();
        for (const QString &part : sortOrder().split(u';', Qt::SkipEmptyParts)) {
            order << m_db.name(part.trimmed());
            keyed = keyed || (key && part.trimmed().compare(key->name(), Qt::CaseInsensitive) == 0);
        }
        // Rows equal in the order come in the order of their keys, as a file
        // gives them: a server gives ties in any order, and a stay's
        // consumptions of one moment would change places from one read to the next.
        if (key && !keyed)
            order << m_db.name(key->name());
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
        m_whereSql = selectStatement(m_db.name(field.name()) + QStringLiteral(" = ?"));
        m_whereField = &field;
    }
    m_db.loader().load(m_whereSql, {Database::toStorage(field.kind(), value)}, store(),
                       [this](RowStore::RowPtr row) { addFetchedRow(std::move(row)); });
}

void TableCursor::exec(QSqlQuery &query, Database::Operation op, const std::vector<const Field *> &written,
                       std::span<const QVariant> values)
{
    try {
        m_db.exec(query, op);
    } catch (const DataError &e) {
        if (e.reason() != DataError::Reason::TextTooLong)
            throw;
        // The server names the type, not the column: the first text longer than
        // its column is the one, and its rule reads as on the file's engine.
        const Schema::Table *table = Schema::table(m_table);
        for (const Field *f : written) {
            const QVariant &v = values[static_cast<size_t>(f->physicalIndex())];
            const Schema::Column *column = table ? table->column(f->name()) : nullptr;
            if (column && column->type == Schema::Type::Text && v.metaType().id() == QMetaType::QString
                && v.toString().toUcs4().size() > column->size)
                throw DataError(QStringLiteral("CHECK constraint failed: %1").arg(column->ruleName));
        }
        throw;
    }
}

QVariant TableCursor::doInsert(std::span<const QVariant> values)
{
    QStringList columns, marks;
    std::vector<const Field *> written;
    for (const Field *f : storedFields()) {
        if (f->kind() == Field::Kind::AutoKey)
            continue;
        columns << m_db.name(f->name());
        marks << QStringLiteral("?");
        written.push_back(f);
    }
    const Field *key = keyField();
    const bool returning = key && m_db.engine().returnsInsertedKey();
    QSqlQuery q = m_db.prepare(QStringLiteral("INSERT INTO %1 (%2) VALUES (%3)%4")
                                   .arg(m_db.name(m_table), columns.join(u", "), marks.join(u", "),
                                        returning ? QStringLiteral(" RETURNING ") + m_db.name(key->name()) : QString()),
                               Database::Operation::Insert);
    for (const Field *f : written)
        q.addBindValue(Database::toStorage(f->kind(), values[static_cast<size_t>(f->physicalIndex())]));
    exec(q, Database::Operation::Insert, written, values);
    QVariant made;
    if (returning) {
        if (q.next())
            made = q.value(0);
        // Read to the end: a refusal after the row would show only there.
        while (q.next()) {
        }
        if (q.lastError().isValid())
            throw m_db.error(q.lastError(), Database::Operation::Insert);
    } else {
        made = q.lastInsertId();
    }
    q.finish();
    if (made.isValid())
        made = QVariant::fromValue<qlonglong>(made.toLongLong());
    return made;
}

QString TableCursor::whereRowIs(const std::vector<const Field *> &fields) const
{
    QStringList parts;
    for (const Field *f : fields)
        parts << m_db.engine().isSameAs(m_db.name(f->name()));
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
            sets << QStringLiteral("%1 = ?").arg(m_db.name(f->name()));
            changed.push_back(f);
        }
    }
    if (changed.empty())
        return;
    QSqlQuery q = m_db.prepare(QStringLiteral("UPDATE %1 SET %2 WHERE %3")
                                   .arg(m_db.name(m_table), sets.join(u", "), whereRowIs(fields)),
                               Database::Operation::Update);
    for (const Field *f : changed)
        q.addBindValue(Database::toStorage(f->kind(), after[static_cast<size_t>(f->physicalIndex())]));
    for (const Field *f : fields)
        q.addBindValue(Database::toStorage(f->kind(), before[static_cast<size_t>(f->physicalIndex())]));
    exec(q, Database::Operation::Update, changed, after);
    if (q.numRowsAffected() != 1)
        throw DataError(QStringLiteral("The record was changed or deleted by another program since it was read; "
                                       "your changes were not saved"),
                        DataError::Reason::StaleRecord);
}

void TableCursor::doDelete(std::span<const QVariant> values)
{
    const auto fields = storedFields();
    QSqlQuery q = m_db.prepare(QStringLiteral("DELETE FROM %1 WHERE %2").arg(m_db.name(m_table), whereRowIs(fields)),
                               Database::Operation::Delete);
    for (const Field *f : fields)
        q.addBindValue(Database::toStorage(f->kind(), values[static_cast<size_t>(f->physicalIndex())]));
    m_db.exec(q, Database::Operation::Delete);
    if (q.numRowsAffected() != 1)
        throw DataError(QStringLiteral("The record was changed or deleted by another program since it was read; "
                                       "it was not deleted"),
                        DataError::Reason::StaleRecord);
}

bool TableCursor::refreshRows(const QList<qint64> &keys)
{
    if (!isOpen() || isEditing())
        return false;
    const Field *key = keyField();
    // A detail read per master holds only some masters' rows: a changed row of
    // another master must not join them, so what is held is read again.
    if (!key || isDetailFetchedOnDemand()) {
        refresh();
        return true;
    }
    const auto fields = storedFields();
    QStringList columns;
    for (const Field *f : fields)
        columns << m_db.name(f->name());
    // A bounded number of keys per statement.
    constexpr qsizetype Chunk = 500;
    for (qsizetype from = 0; from < keys.size(); from += Chunk) {
        const QList<qint64> part = keys.mid(from, Chunk);
        QSqlQuery q = m_db.prepare(QStringLiteral("SELECT %1 FROM %2 WHERE %3 IN (%4)")
                                       .arg(columns.join(u", "), m_db.name(m_table), m_db.name(key->name()),
                                            QStringList(part.size(), QStringLiteral("?")).join(u',')));
        for (qint64 k : part)
            q.addBindValue(k);
        m_db.exec(q);
        QHash<qint64, std::vector<QVariant>> found;
        while (q.next()) {
            std::vector<QVariant> values(static_cast<size_t>(physicalCount()));
            for (size_t i = 0; i < fields.size(); ++i)
                values[static_cast<size_t>(fields[i]->physicalIndex())] =
                    Database::fromStorage(fields[i]->kind(), m_db.value(q, static_cast<int>(i)));
            const qint64 k = values[static_cast<size_t>(key->physicalIndex())].toLongLong();
            found.insert(k, std::move(values));
        }
        if (q.lastError().isValid())
            throw m_db.error(q.lastError(), Database::Operation::Read);
        q.finish();
        for (qint64 k : part) {
            const auto it = found.constFind(k);
            mergeRow(QVariant::fromValue<qlonglong>(k), it == found.cend() ? nullptr : &it.value());
        }
    }
    return true;
}

void TableCursor::rereadRow(const QVariant &key)
{
    if (key.isValid())
        refreshRows({key.toLongLong()});
}

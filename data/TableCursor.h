#pragma once

#include "Cursor.h"
#include "Engine.h"

#include <QList>

class Database;
class QSqlQuery;

// A cursor over all rows of one table. Its fields are declared by the data
// module; posts and deletes write one row at once. Updates and deletes name the
// row by its key and by every value read, so a row that another program changed
// or removed meanwhile is refused instead of overwritten.
class TableCursor : public Cursor
{
    Q_OBJECT

public:
    TableCursor(Database &db, const QString &name, const QString &table, QObject *parent = nullptr);

    const QString &tableName() const { return m_table; }

    // Reads the rows with these keys again, as another program left them; a
    // row that is gone leaves. Returns false, changing nothing, while the cursor
    // is closed or being edited: the record in the user's hands never changes.
    bool refreshRows(const QList<qint64> &keys);

protected:
    void doFetch() override;
    void doFetchWhere(const Field &field, const QVariant &value) override;
    QVariant doInsert(std::span<const QVariant> values) override;
    void doUpdate(std::span<const QVariant> before, std::span<const QVariant> after) override;
    void doDelete(std::span<const QVariant> values) override;
    Database *database() const override { return &m_db; }
    void rereadRow(const QVariant &key) override;

private:
    // Runs a write of the fields `written`, whose values are `values`.
    void exec(QSqlQuery &query, Engine::Operation op, const std::vector<const Field *> &written,
              std::span<const QVariant> values);
    std::vector<const Field *> storedFields() const;
    QString selectStatement(const QString &where) const;
    QString whereRowIs(const std::vector<const Field *> &fields) const;

    Database &m_db;
    QString m_table;
    const Field *m_whereField = nullptr;
    QString m_whereSql;
};

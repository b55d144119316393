#pragma once

#include "Cursor.h"

#include <QStringList>

class Database;

// A cursor over the rows of one SQL statement, run with the current values of
// its parameters. Parameters are written :name in the SQL and matched by name in
// any letter case. Dates given as parameters are passed in the canonical form.
// The columns become fields at open, their kinds taken from the declared types
// of the columns they come from. Query cursors are read-only.
class QueryCursor : public Cursor
{
    Q_OBJECT

public:
    QueryCursor(Database &db, const QString &name, QObject *parent = nullptr);

    // The statement, given line by line; the lines are joined by line breaks.
    void setSql(const QStringList &lines);
    const QString &sql() const { return m_sql; }

    QStringList parameterNames() const { return m_paramNames; }
    void setParameter(const QString &name, const QVariant &value);
    QVariant parameter(const QString &name) const;

    // Gives a column the kind its declared type cannot tell (a computed
    // amount is money); by name, in any letter case; before open.
    void setColumnKind(const QString &column, Field::Kind kind);

    bool canModify() const override { return false; }

protected:
    void doFetch() override;
    Database *database() const override { return &m_db; }

private:
    Database &m_db;
    QString m_sql;
    QString m_positionalSql;
    QStringList m_paramNames;   // in declaration order
    QStringList m_bindOrder;    // one entry per '?' of m_positionalSql
    QHash<QString, QVariant> m_params; // lower-case name -> value
    QHash<QString, Field::Kind> m_columnKinds; // lower-case name -> kind
};

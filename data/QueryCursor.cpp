#include "QueryCursor.h"

#include "DataError.h"
#include "Database.h"
#include "DateTimes.h"
#include "RowLoader.h"

#include <QSqlField>
#include <QSqlError>
#include <QSqlRecord>

QueryCursor::QueryCursor(Database &db, const QString &name, QObject *parent) : Cursor(name, parent), m_db(db) {}

void QueryCursor::setSql(const QStringList &lines)
{
    m_sql = lines.join(u'\n');
    m_paramNames.clear();
    m_bindOrder.clear();
    m_positionalSql.clear();
    // :name outside quotes becomes a positional mark bound by name.
    const QString &s = m_sql;
    QChar quote;
    for (qsizetype i = 0; i < s.size(); ++i) {
        const QChar c = s[i];
        if (!quote.isNull()) {
            m_positionalSql += c;
            if (c == quote)
                quote = QChar();
            continue;
        }
        if (c == u'\'' || c == u'"') {
            quote = c;
            m_positionalSql += c;
            continue;
        }
        if (c == u':' && i + 1 < s.size() && (s[i + 1].isLetter() || s[i + 1] == u'_')) {
            qsizetype j = i + 1;
            while (j < s.size() && (s[j].isLetterOrNumber() || s[j] == u'_'))
                ++j;
            const QString name = s.mid(i + 1, j - i - 1);
            m_bindOrder << name.toLower();
            bool known = false;
            for (const QString &p : std::as_const(m_paramNames))
                known = known || p.compare(name, Qt::CaseInsensitive) == 0;
            if (!known)
                m_paramNames << name;
            m_positionalSql += u'?';
            i = j - 1;
            continue;
        }
        m_positionalSql += c;
    }
}

void QueryCursor::setParameter(const QString &name, const QVariant &value)
{
    for (const QString &p : std::as_const(m_paramNames)) {
        if (p.compare(name, Qt::CaseInsensitive) == 0) {
            m_params.insert(p.toLower(), value);
            return;
        }
    }
    fail(QStringLiteral("Parameter '%1' not found").arg(name));
}

void QueryCursor::setColumnKind(const QString &column, Field::Kind kind)
{
    m_columnKinds.insert(column.toLower(), kind);
}

QVariant QueryCursor::parameter(const QString &name) const
{
    return m_params.value(name.toLower());
}

void QueryCursor::doFetch()
{
    QSqlQuery q = m_db.prepare(m_positionalSql);
    for (const QString &name : std::as_const(m_bindOrder)) {
        QVariant v = m_params.value(name);
        if (v.metaType().id() == QMetaType::QDate)
            v = DateTimes::toCanonical(v.toDate());
        else if (v.metaType().id() == QMetaType::QDateTime)
            v = DateTimes::toCanonical(v.toDateTime());
        else if (v.metaType() == QMetaType::fromType<Money>())
            v = QVariant::fromValue<qlonglong>(v.value<Money>().raw());
        q.addBindValue(v);
    }
    m_db.exec(q);

    // Fields follow the result's columns; a repeated name gets a suffix.
    const QSqlRecord record = q.record();
    std::vector<Field::Kind> kinds;
    QStringList names;
    for (int i = 0; i < record.count(); ++i) {
        const QSqlField f = record.field(i);
        const QString origin = m_db.columnOrigin(q, i);
        const qsizetype dot = origin.indexOf(u'.');
        std::optional<Field::Kind> kind = m_db.declaredKind(origin.left(dot), origin.mid(dot + 1));
        if (const auto given = m_columnKinds.constFind(f.name().toLower()); given != m_columnKinds.cend())
            kind = given.value();
        if (!kind) {
            switch (f.metaType().id()) {
            case QMetaType::Int:
            case QMetaType::LongLong:
                kind = Field::Kind::Integer;
                break;
            case QMetaType::QByteArray:
                kind = Field::Kind::Blob;
                break;
            default:
                kind = Field::Kind::Text;
            }
        }
        if (*kind == Field::Kind::AutoKey)
            kind = Field::Kind::Integer;
        const QString spelled = m_db.columnName(f.name(), origin);
        QString name = spelled;
        for (int n = 1; names.contains(name, Qt::CaseInsensitive); ++n)
            name = spelled + u'_' + QString::number(n);
        names << name;
        kinds.push_back(*kind);
    }
    bool same = fieldCount() == names.size();
    for (int i = 0; same && i < fieldCount(); ++i)
        same = field(i).name() == names[i] && field(i).kind() == kinds[static_cast<size_t>(i)];
    if (!same) {
        clearFields();
        for (int i = 0; i < names.size(); ++i) {
            Field &f = addField(names[i], kinds[static_cast<size_t>(i)],
                                kinds[static_cast<size_t>(i)] == Field::Kind::Text ? 255 : 0);
            if (f.kind() == Field::Kind::Money)
                f.setCurrency(true);
        }
    }

    RowLoader::loadFrom(m_db, q, store(), [this](RowStore::RowPtr row) { addFetchedRow(std::move(row)); });
}

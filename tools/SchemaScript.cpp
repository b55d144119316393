#include "SchemaScript.h"

#include "Engine.h"

namespace SchemaScript {

QString text()
{
    const Engine &engine = Engine::sqlite();
    QString out;
    for (const QString &statement : engine.createTables() + engine.createRules())
        out += statement + QStringLiteral(";\n\n");
    return out;
}

QStringList statements(const QString &script)
{
    QStringList out;
    QString current;
    for (const QString &line : script.split(u'\n')) {
        const QString trimmed = line.trimmed();
        if (trimmed.startsWith(QStringLiteral("--")))
            continue;
        current += line + u'\n';
        // The statements of a trigger's body end with semicolons of their own.
        const bool trigger = current.trimmed().startsWith(QStringLiteral("CREATE TRIGGER"), Qt::CaseInsensitive);
        if (trigger ? trimmed.endsWith(QStringLiteral("END;"), Qt::CaseInsensitive) : trimmed.endsWith(u';')) {
            out << current.trimmed();
            current.clear();
        }
    }
    if (!current.trimmed().isEmpty())
        out << current.trimmed();
    return out;
}

QStringList tableDefinitions(const QString &sql)
{
    QStringList out;
    QString current;
    int depth = 0;
    const qsizetype n = sql.size();
    for (qsizetype i = 0; i < n; ++i) {
        const QChar c = sql[i];
        // Comments: nothing of them is kept or counted.
        if (c == u'-' && i + 1 < n && sql[i + 1] == u'-') {
            while (i < n && sql[i] != u'\n')
                ++i;
            if (depth > 0)
                current += u' ';
            continue;
        }
        if (c == u'/' && i + 1 < n && sql[i + 1] == u'*') {
            const qsizetype end = sql.indexOf(QStringLiteral("*/"), i + 2);
            i = end < 0 ? n : end + 1;
            if (depth > 0)
                current += u' ';
            continue;
        }
        // Quoted texts and names are copied whole.
        if (c == u'\'' || c == u'"' || c == u'`' || c == u'[') {
            const QChar close = c == u'[' ? QChar(u']') : c;
            qsizetype end = i + 1;
            while (end < n) {
                if (sql[end] == close) {
                    if (close != u']' && end + 1 < n && sql[end + 1] == close) {
                        end += 2; // a doubled quote stands for itself
                        continue;
                    }
                    break;
                }
                ++end;
            }
            if (depth > 0)
                current += sql.mid(i, end - i + 1);
            i = end;
            continue;
        }
        if (c == u'(') {
            if (depth++ == 0)
                continue;
        } else if (c == u')') {
            if (--depth == 0)
                break;
        } else if (c == u',' && depth == 1) {
            out << current.simplified();
            current.clear();
            continue;
        }
        if (depth > 0)
            current += c;
    }
    if (!current.trimmed().isEmpty())
        out << current.simplified();
    return out;
}

QString definedColumn(const QString &definition)
{
    const QString d = definition.trimmed();
    if (d.isEmpty())
        return {};
    QString name;
    const QChar first = d[0];
    if (first == u'"' || first == u'`' || first == u'[') {
        const QChar close = first == u'[' ? QChar(u']') : first;
        const qsizetype end = d.indexOf(close, 1);
        name = d.mid(1, end < 0 ? -1 : end - 1);
        return name;
    }
    qsizetype end = 0;
    while (end < d.size() && !d[end].isSpace() && d[end] != u'(')
        ++end;
    name = d.left(end);
    for (const char *word : {"CONSTRAINT", "PRIMARY", "UNIQUE", "CHECK", "FOREIGN"})
        if (name.compare(QLatin1String(word), Qt::CaseInsensitive) == 0)
            return {};
    return name;
}

} // namespace SchemaScript

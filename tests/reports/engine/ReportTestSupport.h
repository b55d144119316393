#pragma once

#include "Cursor.h"
#include "DateTimes.h"
#include "Money.h"
#include "Regional.h"
#include "TestSupport.h"
#include "ReportDocument.h"

#include <QFont>
#include <QStringList>
#include <QVariant>

#include <vector>

// A cursor over rows given in the test, held in memory.
class MemoryCursor : public Cursor
{
public:
    explicit MemoryCursor(const QString &name) : Cursor(name) {}
    void addRow(std::vector<QVariant> values) { m_rows.push_back(std::move(values)); }

protected:
    void doFetch() override
    {
        for (const auto &row : m_rows)
            addFetchedRow(std::vector<QVariant>(row));
    }

private:
    std::vector<std::vector<QVariant>> m_rows;
};

inline QVariant cash(const char *decimal)
{
    return QVariant::fromValue(*Money::parse(QString::fromLatin1(decimal), u"."));
}

inline QVariant whole(qlonglong n)
{
    return QVariant::fromValue(n);
}

// Decimal comma, thousands full stop, "$ " currency, day/month/year.
inline void useSpanishSettings()
{
    Regional::setSettings(spanishSettings());
}

// The substitutions the program registers at start-up.
inline void registerFontSubstitutions()
{
    QFont::insertSubstitution(QStringLiteral("Arial"), QStringLiteral("Liberation Sans"));
    QFont::insertSubstitution(QStringLiteral("MS Sans Serif"), QStringLiteral("Liberation Sans"));
    QFont::insertSubstitution(QStringLiteral("Cambria"), QStringLiteral("Caladea"));
}

// Every page's printed texts, pages separated by "#": a compact picture of the
// order in which bands printed.
inline QString flowOf(const ReportDocument &doc)
{
    QStringList pages;
    for (int p = 0; p < doc.pageCount(); ++p) {
        QStringList texts = doc.pageTexts(p);
        texts.removeAll(QString());
        pages << texts.join(u' ');
    }
    return pages.join(QStringLiteral(" # "));
}

inline const TextItem *findText(const ReportDocument &doc, int page, const QString &text)
{
    for (const PageItem &item : doc.pages.at(static_cast<size_t>(page)).items)
        if (const auto *t = std::get_if<TextItem>(&item); t && t->text == text)
            return t;
    return nullptr;
}

template<typename T> int countItems(const ReportPage &page)
{
    int n = 0;
    for (const PageItem &item : page.items)
        n += std::holds_alternative<T>(item) ? 1 : 0;
    return n;
}

#pragma once

#include "Cursor.h"

#include <QString>
#include <memory>
#include <vector>

// A parsed filter text, evaluated on the rows a cursor holds in memory; the text
// never reaches SQL. Syntax (keywords in any letter case):
//   filter     := and-term { OR and-term }
//   and-term   := factor { AND factor }
//   factor     := NOT factor | '(' filter ')' | comparison
//   comparison := field op literal | field IS [NOT] NULL
//   op         := = | <> | < | <= | > | >= | LIKE | NOT LIKE
//   literal    := 'text' (a quote inside is written twice) | number
// Texts compare without regard to letter case. In a LIKE pattern a '*' or '%'
// at the very beginning and at the very end matches any run of characters;
// everything between is taken literally. A null field matches no comparison.
class FilterExpression
{
public:
    struct Node;

    ~FilterExpression();
    // Throws DataError with a message (without the cursor's name) on bad syntax.
    static std::unique_ptr<FilterExpression> parse(const QString &text, const Cursor &cursor);
    bool matches(const Cursor &cursor, const Cursor::Row &row) const;

    // The text of a quoted literal that stands for `text` itself.
    static QString quoted(const QString &text);

private:
    FilterExpression() = default;
    std::unique_ptr<Node> m_root;
};

#pragma once

#include "Money.h"

#include <QString>

#include <vector>

class Cursor;
class Field;

// An arithmetic expression over numeric fields of one cursor: field names (any
// letter case; a name with blanks in [brackets]), numbers ("2", "1.5"), + - * /,
// unary minus and parentheses.
//
// Types follow the fields: whole-number fields and literals without a point are
// whole numbers, currency fields and literals with a point decimal numbers. Whole
// with whole stays whole for + - *; anything with a decimal is decimal; a quotient
// is always decimal. Decimals are exact Money amounts: sums and differences are
// exact, products of two decimals and quotients are taken to four decimals. An
// empty field counts as zero. Division by zero and overflow give an error value,
// which formats as an error text, never a crash.
class ReportExpression
{
public:
    enum class Error { None, DivisionByZero, Overflow };

    struct Value
    {
        bool decimal = false;
        qint64 whole = 0;
        Money amount;
        Error error = Error::None;

        bool ok() const { return error == Error::None; }
    };

    // Parses `text` against the fields of `cursor`. Throws DataError for a syntax
    // error, an unknown field or a field that is not a number.
    ReportExpression(const QString &text, const Cursor &cursor);

    const QString &text() const { return m_text; }
    // The type of every value this expression gives.
    bool isDecimal() const;
    // Zero of this expression's type.
    Value zero() const;
    // The value for the cursor's current record; with `emptyFields` every field
    // counts as zero.
    Value evaluate(bool emptyFields = false) const;

    // a + b for totals (an error stays an error).
    static Value add(const Value &a, const Value &b);
    // Through `mask` (a number mask) when given; otherwise whole numbers in plain
    // digits and decimals with the regional decimal separator and no trailing
    // zeros. Errors print "#¡DIV/0!" and "#¡NUM!".
    static QString format(const Value &value, const QString &mask);

private:
    enum class Op { Number, Field, Negate, Add, Subtract, Multiply, Divide };
    struct Node
    {
        Op op = Op::Number;
        bool decimal = false;
        int left = -1;
        int right = -1;
        Value literal;
        const Field *field = nullptr;
    };
    class Parser;

    Value eval(int node, bool emptyFields) const;

    QString m_text;
    std::vector<Node> m_nodes;
    int m_root = -1;
};

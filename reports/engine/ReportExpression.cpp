#include "ReportExpression.h"

#include "Cursor.h"
#include "DataError.h"
#include "Field.h"
#include "NumberMask.h"
#include "Regional.h"

namespace {

constexpr int MaxDepth = 100;

struct Failure
{
    ReportExpression::Error error;
};

[[noreturn]] void fail(ReportExpression::Error e)
{
    throw Failure{e};
}

Money asAmount(const ReportExpression::Value &v)
{
    if (v.decimal)
        return v.amount;
    try {
        return Money::fromUnits(v.whole);
    } catch (const DataError &) {
        fail(ReportExpression::Error::Overflow);
    }
}

ReportExpression::Value wholeValue(qint64 n)
{
    ReportExpression::Value v;
    v.whole = n;
    return v;
}

ReportExpression::Value decimalValue(Money m)
{
    ReportExpression::Value v;
    v.decimal = true;
    v.amount = m;
    return v;
}

ReportExpression::Value errorValue(bool decimal, ReportExpression::Error e)
{
    ReportExpression::Value v;
    v.decimal = decimal;
    v.error = e;
    return v;
}

} // namespace

class ReportExpression::Parser
{
public:
    Parser(ReportExpression &owner, const Cursor &cursor) : m_owner(owner), m_cursor(cursor), m_s(owner.m_text) {}

    int parse()
    {
        const int root = expression(0);
        skipBlanks();
        if (m_pos < m_s.size())
            error(QStringLiteral("carácter inesperado «%1»").arg(m_s[m_pos]));
        return root;
    }

private:
    [[noreturn]] void error(const QString &what) const
    {
        throw DataError(QStringLiteral("Expresión «%1»: %2").arg(m_owner.m_text, what));
    }

    void skipBlanks()
    {
        while (m_pos < m_s.size() && m_s[m_pos].isSpace())
            ++m_pos;
    }

    bool take(QChar c)
    {
        skipBlanks();
        if (m_pos < m_s.size() && m_s[m_pos] == c) {
            ++m_pos;
            return true;
        }
        return false;
    }

    int add(Node node)
    {
        m_owner.m_nodes.push_back(std::move(node));
        return static_cast<int>(m_owner.m_nodes.size()) - 1;
    }

    int binary(Op op, int left, int right)
    {
        Node n;
        n.op = op;
        n.left = left;
        n.right = right;
        n.decimal = op == Op::Divide || m_owner.m_nodes[static_cast<size_t>(left)].decimal
                    || m_owner.m_nodes[static_cast<size_t>(right)].decimal;
        return add(std::move(n));
    }

    int expression(int depth)
    {
        int left = term(depth);
        for (;;) {
            if (take(u'+'))
                left = binary(Op::Add, left, term(depth));
            else if (take(u'-'))
                left = binary(Op::Subtract, left, term(depth));
            else
                return left;
        }
    }

    int term(int depth)
    {
        int left = unary(depth);
        for (;;) {
            if (take(u'*'))
                left = binary(Op::Multiply, left, unary(depth));
            else if (take(u'/'))
                left = binary(Op::Divide, left, unary(depth));
            else
                return left;
        }
    }

    int unary(int depth)
    {
        if (depth > MaxDepth)
            error(QStringLiteral("demasiado anidada"));
        if (take(u'+'))
            return unary(depth + 1);
        if (take(u'-')) {
            const int operand = unary(depth + 1);
            Node n;
            n.op = Op::Negate;
            n.left = operand;
            n.decimal = m_owner.m_nodes[static_cast<size_t>(operand)].decimal;
            return add(std::move(n));
        }
        return primary(depth);
    }

    int primary(int depth)
    {
        skipBlanks();
        if (m_pos >= m_s.size())
            error(QStringLiteral("falta un operando al final"));
        const QChar c = m_s[m_pos];
        if (c == u'(') {
            ++m_pos;
            const int inner = expression(depth + 1);
            if (!take(u')'))
                error(QStringLiteral("falta «)»"));
            return inner;
        }
        if (c.isDigit())
            return number();
        if (c == u'[') {
            const qsizetype close = m_s.indexOf(u']', m_pos + 1);
            if (close < 0)
                error(QStringLiteral("falta «]»"));
            const QString name = m_s.mid(m_pos + 1, close - m_pos - 1).trimmed();
            m_pos = close + 1;
            return fieldNode(name);
        }
        if (c.isLetter() || c == u'_') {
            const qsizetype start = m_pos;
            while (m_pos < m_s.size() && (m_s[m_pos].isLetterOrNumber() || m_s[m_pos] == u'_'))
                ++m_pos;
            return fieldNode(m_s.mid(start, m_pos - start));
        }
        error(QStringLiteral("carácter inesperado «%1»").arg(c));
    }

    int number()
    {
        const qsizetype start = m_pos;
        while (m_pos < m_s.size() && m_s[m_pos].isDigit())
            ++m_pos;
        bool point = false;
        if (m_pos < m_s.size() && m_s[m_pos] == u'.') {
            point = true;
            ++m_pos;
            while (m_pos < m_s.size() && m_s[m_pos].isDigit())
                ++m_pos;
        }
        const QString literal = m_s.mid(start, m_pos - start);
        Node n;
        n.op = Op::Number;
        n.decimal = point;
        if (point) {
            const auto m = Money::parse(literal, u".");
            if (!m)
                error(QStringLiteral("número fuera de rango «%1»").arg(literal));
            n.literal = decimalValue(*m);
        } else {
            bool ok = false;
            const qint64 v = literal.toLongLong(&ok);
            if (!ok)
                error(QStringLiteral("número fuera de rango «%1»").arg(literal));
            n.literal = wholeValue(v);
        }
        return add(std::move(n));
    }

    int fieldNode(const QString &name)
    {
        const Field *f = m_cursor.findField(name);
        if (!f)
            error(QStringLiteral("campo desconocido «%1»").arg(name));
        if (!f->isNumeric())
            error(QStringLiteral("el campo «%1» no es numérico").arg(f->name()));
        Node n;
        n.op = Op::Field;
        n.field = f;
        n.decimal = !f->isWholeNumber();
        return add(std::move(n));
    }

    ReportExpression &m_owner;
    const Cursor &m_cursor;
    const QString &m_s;
    qsizetype m_pos = 0;
};

ReportExpression::ReportExpression(const QString &text, const Cursor &cursor) : m_text(text)
{
    m_root = Parser(*this, cursor).parse();
}

bool ReportExpression::isDecimal() const
{
    return m_nodes[static_cast<size_t>(m_root)].decimal;
}

ReportExpression::Value ReportExpression::zero() const
{
    return isDecimal() ? decimalValue(Money()) : wholeValue(0);
}

ReportExpression::Value ReportExpression::evaluate(bool emptyFields) const
{
    try {
        return eval(m_root, emptyFields);
    } catch (const Failure &f) {
        return errorValue(isDecimal(), f.error);
    } catch (const DataError &) {
        // Money arithmetic refuses results beyond its range.
        return errorValue(isDecimal(), Error::Overflow);
    }
}

ReportExpression::Value ReportExpression::eval(int index, bool emptyFields) const
{
    const Node &n = m_nodes[static_cast<size_t>(index)];
    switch (n.op) {
    case Op::Number:
        return n.literal;
    case Op::Field:
        if (emptyFields)
            return n.decimal ? decimalValue(Money()) : wholeValue(0);
        return n.decimal ? decimalValue(n.field->asMoney()) : wholeValue(n.field->asInteger());
    case Op::Negate: {
        const Value v = eval(n.left, emptyFields);
        if (v.decimal)
            return decimalValue(-v.amount);
        if (v.whole == std::numeric_limits<qint64>::min())
            fail(Error::Overflow);
        return wholeValue(-v.whole);
    }
    default:
        break;
    }

    const Value a = eval(n.left, emptyFields);
    const Value b = eval(n.right, emptyFields);
    if (n.op == Op::Divide) {
        const Money divisor = asAmount(b);
        if (divisor.raw() == 0)
            fail(Error::DivisionByZero);
        return decimalValue(asAmount(a).dividedBy(divisor));
    }
    if (!n.decimal) {
        qint64 r = 0;
        bool overflow = false;
        switch (n.op) {
        case Op::Add:
            overflow = __builtin_add_overflow(a.whole, b.whole, &r);
            break;
        case Op::Subtract:
            overflow = __builtin_sub_overflow(a.whole, b.whole, &r);
            break;
        default:
            overflow = __builtin_mul_overflow(a.whole, b.whole, &r);
            break;
        }
        if (overflow)
            fail(Error::Overflow);
        return wholeValue(r);
    }
    switch (n.op) {
    case Op::Add:
        return decimalValue(asAmount(a) + asAmount(b));
    case Op::Subtract:
        return decimalValue(asAmount(a) - asAmount(b));
    default:
        // A whole factor keeps the product exact.
        if (!a.decimal)
            return decimalValue(b.amount * a.whole);
        if (!b.decimal)
            return decimalValue(a.amount * b.whole);
        return decimalValue(a.amount.times(b.amount));
    }
}

ReportExpression::Value ReportExpression::add(const Value &a, const Value &b)
{
    if (!a.ok())
        return a;
    if (!b.ok())
        return b;
    try {
        if (a.decimal || b.decimal)
            return decimalValue(asAmount(a) + asAmount(b));
        qint64 r = 0;
        if (__builtin_add_overflow(a.whole, b.whole, &r))
            return errorValue(false, Error::Overflow);
        return wholeValue(r);
    } catch (const Failure &f) {
        return errorValue(true, f.error);
    } catch (const DataError &) {
        return errorValue(true, Error::Overflow);
    }
}

QString ReportExpression::format(const Value &value, const QString &mask)
{
    switch (value.error) {
    case Error::DivisionByZero:
        return QStringLiteral("#¡DIV/0!");
    case Error::Overflow:
        return QStringLiteral("#¡NUM!");
    case Error::None:
        break;
    }
    if (!mask.isEmpty()) {
        try {
            return NumberMask::format(asAmount(value), mask);
        } catch (const Failure &) {
            return QStringLiteral("#¡NUM!");
        }
    }
    if (!value.decimal)
        return QString::number(value.whole);
    const QString &sep = Regional::settings().decimalSeparator;
    QString s = value.amount.toPlain(Money::Decimals, sep);
    while (s.endsWith(u'0'))
        s.chop(1);
    if (s.endsWith(sep))
        s.chop(sep.size());
    return s;
}

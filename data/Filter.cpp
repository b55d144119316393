#include "Filter.h"

#include "DataError.h"
#include "DateTimes.h"

#include <array>

struct FilterExpression::Node
{
    enum class Type { Or, And, Not, Compare, IsNull, True };
    enum class Op { Eq, Ne, Lt, Le, Gt, Ge, Like, NotLike };

    Type type = Type::True;
    std::vector<std::unique_ptr<Node>> children;
    const Field *field = nullptr;
    Op op = Op::Eq;
    bool negate = false;
    QVariant literal;        // normalized to the field's kind (text for LIKE)
    bool leadingWild = false;
    bool trailingWild = false;
    QString folded;          // the LIKE pattern, case folded
};

namespace {

using Node = FilterExpression::Node;

struct Token
{
    enum class Kind { End, Ident, String, Number, Op, LParen, RParen };
    Kind kind = Kind::End;
    QString text;
    qsizetype pos = 0;
};

class Parser
{
public:
    Parser(const QString &text, const Cursor &cursor) : m_text(text), m_cursor(cursor) { advance(); }

    std::unique_ptr<Node> parseAll()
    {
        if (m_tok.kind == Token::Kind::End) {
            auto n = std::make_unique<Node>();
            n->type = Node::Type::True;
            return n;
        }
        auto n = parseOr();
        if (m_tok.kind != Token::Kind::End)
            error(QStringLiteral("unexpected '%1'").arg(m_tok.text));
        return n;
    }

private:
    [[noreturn]] void error(const QString &what) const
    {
        throw DataError(QStringLiteral("Invalid filter \"%1\": %2 at position %3").arg(m_text, what).arg(m_tok.pos + 1));
    }

    bool isKeyword(const char *word) const
    {
        return m_tok.kind == Token::Kind::Ident && m_tok.text.compare(QLatin1String(word), Qt::CaseInsensitive) == 0;
    }

    void advance()
    {
        const QString &s = m_text;
        qsizetype i = m_pos;
        while (i < s.size() && s[i].isSpace())
            ++i;
        m_tok = Token();
        m_tok.pos = i;
        if (i >= s.size()) {
            m_pos = i;
            return;
        }
        const QChar c = s[i];
        if (c == u'\'') {
            QString value;
            ++i;
            for (;;) {
                if (i >= s.size()) {
                    m_tok.pos = m_tok.pos;
                    error(QStringLiteral("unterminated quoted text"));
                }
                if (s[i] == u'\'') {
                    if (i + 1 < s.size() && s[i + 1] == u'\'') {
                        value += u'\'';
                        i += 2;
                        continue;
                    }
                    ++i;
                    break;
                }
                value += s[i++];
            }
            m_tok.kind = Token::Kind::String;
            m_tok.text = value;
        } else if (c.isLetter() || c == u'_') {
            qsizetype j = i;
            while (j < s.size() && (s[j].isLetterOrNumber() || s[j] == u'_'))
                ++j;
            m_tok.kind = Token::Kind::Ident;
            m_tok.text = s.mid(i, j - i);
            i = j;
        } else if (c == u'[') {
            const qsizetype j = s.indexOf(u']', i + 1);
            if (j < 0)
                error(QStringLiteral("unterminated field name"));
            m_tok.kind = Token::Kind::Ident;
            m_tok.text = s.mid(i + 1, j - i - 1);
            i = j + 1;
        } else if (c.isDigit() || ((c == u'-' || c == u'+') && i + 1 < s.size() && s[i + 1].isDigit())) {
            qsizetype j = i + 1;
            while (j < s.size() && (s[j].isDigit() || s[j] == u'.'))
                ++j;
            m_tok.kind = Token::Kind::Number;
            m_tok.text = s.mid(i, j - i);
            i = j;
        } else if (c == u'(' || c == u')') {
            m_tok.kind = c == u'(' ? Token::Kind::LParen : Token::Kind::RParen;
            m_tok.text = c;
            ++i;
        } else if (c == u'=' || c == u'<' || c == u'>' || c == u'!') {
            qsizetype j = i + 1;
            if (j < s.size() && (s[j] == u'=' || (c == u'<' && s[j] == u'>')))
                ++j;
            m_tok.kind = Token::Kind::Op;
            m_tok.text = s.mid(i, j - i);
            if (m_tok.text == u"!")
                error(QStringLiteral("unexpected '!'"));
            i = j;
        } else {
            m_tok.text = c;
            error(QStringLiteral("unexpected '%1'").arg(c));
        }
        m_pos = i;
    }

    std::unique_ptr<Node> parseOr()
    {
        auto left = parseAnd();
        if (!isKeyword("or"))
            return left;
        auto n = std::make_unique<Node>();
        n->type = Node::Type::Or;
        n->children.push_back(std::move(left));
        while (isKeyword("or")) {
            advance();
            n->children.push_back(parseAnd());
        }
        return n;
    }

    std::unique_ptr<Node> parseAnd()
    {
        auto left = parseFactor();
        if (!isKeyword("and"))
            return left;
        auto n = std::make_unique<Node>();
        n->type = Node::Type::And;
        n->children.push_back(std::move(left));
        while (isKeyword("and")) {
            advance();
            n->children.push_back(parseFactor());
        }
        return n;
    }

    std::unique_ptr<Node> parseFactor()
    {
        if (isKeyword("not")) {
            advance();
            auto n = std::make_unique<Node>();
            n->type = Node::Type::Not;
            n->children.push_back(parseFactor());
            return n;
        }
        if (m_tok.kind == Token::Kind::LParen) {
            advance();
            auto n = parseOr();
            if (m_tok.kind != Token::Kind::RParen)
                error(QStringLiteral("')' expected"));
            advance();
            return n;
        }
        return parseComparison();
    }

    std::unique_ptr<Node> parseComparison()
    {
        if (m_tok.kind != Token::Kind::Ident)
            error(QStringLiteral("a field name expected"));
        const Field *field = m_cursor.findField(m_tok.text);
        if (!field)
            error(QStringLiteral("unknown field '%1'").arg(m_tok.text));
        advance();

        auto n = std::make_unique<Node>();
        n->field = field;
        if (isKeyword("is")) {
            advance();
            n->type = Node::Type::IsNull;
            if (isKeyword("not")) {
                n->negate = true;
                advance();
            }
            if (!isKeyword("null"))
                error(QStringLiteral("NULL expected"));
            advance();
            return n;
        }
        n->type = Node::Type::Compare;
        if (isKeyword("not")) {
            advance();
            if (!isKeyword("like"))
                error(QStringLiteral("LIKE expected"));
            n->op = Node::Op::NotLike;
            advance();
        } else if (isKeyword("like")) {
            n->op = Node::Op::Like;
            advance();
        } else if (m_tok.kind == Token::Kind::Op) {
            const QString &o = m_tok.text;
            if (o == u"=" || o == u"==")
                n->op = Node::Op::Eq;
            else if (o == u"<>" || o == u"!=")
                n->op = Node::Op::Ne;
            else if (o == u"<")
                n->op = Node::Op::Lt;
            else if (o == u"<=")
                n->op = Node::Op::Le;
            else if (o == u">")
                n->op = Node::Op::Gt;
            else if (o == u">=")
                n->op = Node::Op::Ge;
            else
                error(QStringLiteral("unknown operator '%1'").arg(o));
            advance();
        } else {
            error(QStringLiteral("an operator expected"));
        }

        if (m_tok.kind != Token::Kind::String && m_tok.kind != Token::Kind::Number)
            error(QStringLiteral("a value expected"));
        const QString literal = m_tok.text;
        const bool quoted = m_tok.kind == Token::Kind::String;
        if (n->op == Node::Op::Like || n->op == Node::Op::NotLike) {
            QString pattern = literal;
            if (!pattern.isEmpty() && (pattern.front() == u'*' || pattern.front() == u'%')) {
                n->leadingWild = true;
                pattern.remove(0, 1);
            }
            if (!pattern.isEmpty() && (pattern.back() == u'*' || pattern.back() == u'%')) {
                n->trailingWild = true;
                pattern.chop(1);
            }
            n->literal = pattern;
            n->folded = pattern.toCaseFolded();
        } else {
            n->literal = convertLiteral(*field, literal, quoted);
        }
        advance();
        return n;
    }

    QVariant convertLiteral(const Field &field, const QString &text, bool quoted)
    {
        if (field.isTextual())
            return text;
        if (field.kind() == Field::Kind::Money) {
            const auto m = Money::parse(text, u".");
            if (!m)
                error(QStringLiteral("'%1' is not a number").arg(text));
            return QVariant::fromValue(*m);
        }
        if (field.kind() == Field::Kind::DateTime) {
            if (auto dt = DateTimes::fromCanonical(text))
                return *dt;
            const QDate d = QDate::fromString(text, QStringLiteral("yyyy-MM-dd"));
            if (d.isValid())
                return DateTimes::make(d);
            error(QStringLiteral("'%1' is not a date").arg(text));
        }
        if (field.isWholeNumber()) {
            bool ok = false;
            const qlonglong v = text.toLongLong(&ok);
            if (!ok)
                error(QStringLiteral("'%1' is not a whole number").arg(text));
            return QVariant::fromValue<qlonglong>(v);
        }
        Q_UNUSED(quoted);
        error(QStringLiteral("field '%1' cannot be compared").arg(field.name()));
    }

    const QString &m_text;
    const Cursor &m_cursor;
    qsizetype m_pos = 0;
    Token m_tok;
};

int compareValues(const QVariant &a, const QVariant &b)
{
    if (a.metaType() == QMetaType::fromType<Money>()) {
        const auto x = a.value<Money>(), y = b.value<Money>();
        return x < y ? -1 : (y < x ? 1 : 0);
    }
    if (a.metaType().id() == QMetaType::QDateTime) {
        const auto x = a.toDateTime(), y = b.toDateTime();
        return x < y ? -1 : (y < x ? 1 : 0);
    }
    if (a.metaType().id() == QMetaType::QString) {
        // Stored texts are compared in place: a filter runs over every row.
        if (b.metaType().id() == QMetaType::QString)
            return QString::compare(*static_cast<const QString *>(a.constData()),
                                    *static_cast<const QString *>(b.constData()), Qt::CaseInsensitive);
        return QString::compare(a.toString(), b.toString(), Qt::CaseInsensitive);
    }
    const qlonglong x = a.toLongLong(), y = b.toLongLong();
    return x < y ? -1 : (y < x ? 1 : 0);
}

} // namespace

FilterExpression::~FilterExpression() = default;

std::unique_ptr<FilterExpression> FilterExpression::parse(const QString &text, const Cursor &cursor)
{
    std::unique_ptr<FilterExpression> f(new FilterExpression());
    Parser p(text, cursor);
    f->m_root = p.parseAll();
    return f;
}

QString FilterExpression::quoted(const QString &text)
{
    QString s = text;
    s.replace(u'\'', QStringLiteral("''"));
    return u'\'' + s + u'\'';
}

namespace {

// Case folding of the Latin characters from a table; a name filter runs over
// every guest at each keystroke.
const std::array<char16_t, 0x250> &foldTable()
{
    static const std::array<char16_t, 0x250> table = [] {
        std::array<char16_t, 0x250> t{};
        for (char16_t c = 0; c < 0x250; ++c)
            t[c] = QChar::toCaseFolded(c);
        return t;
    }();
    return table;
}

inline char16_t folded(char16_t c, const std::array<char16_t, 0x250> &table)
{
    return c < 0x250 ? table[c] : static_cast<char16_t>(QChar::toCaseFolded(c));
}

// Whether text[at..] begins with the (folded) pattern, letters in any case.
bool foldedMatchAt(QStringView text, qsizetype at, QStringView pattern, const std::array<char16_t, 0x250> &table)
{
    for (qsizetype i = 0; i < pattern.size(); ++i)
        if (folded(text[at + i].unicode(), table) != pattern[i].unicode())
            return false;
    return true;
}

bool likeMatch(const Node &n, QStringView text)
{
    const QStringView pattern = n.folded;
    const auto &table = foldTable();
    const qsizetype room = text.size() - pattern.size();
    if (room < 0)
        return false;
    if (n.leadingWild && n.trailingWild) {
        if (pattern.isEmpty())
            return true;
        const char16_t first = pattern.front().unicode();
        for (qsizetype at = 0; at <= room; ++at)
            if (folded(text[at].unicode(), table) == first && foldedMatchAt(text, at, pattern, table))
                return true;
        return false;
    }
    if (n.leadingWild)
        return foldedMatchAt(text, room, pattern, table);
    if (n.trailingWild)
        return foldedMatchAt(text, 0, pattern, table);
    return room == 0 && foldedMatchAt(text, 0, pattern, table);
}

// A value as a filter reads it: a stored cell in place, or a computed (lookup)
// value.
struct Cell
{
    const RowStore::Row *row = nullptr;
    int column = -1;
    const QVariant *computed = nullptr;

    bool isNull() const { return computed ? !computed->isValid() : RowStore::isNull(*row, column); }
    QVariant value() const { return computed ? *computed : RowStore::value(*row, column); }
};

int compareCell(const Cell &cell, const QVariant &literal)
{
    if (cell.computed)
        return compareValues(*cell.computed, literal);
    const auto order = [](qint64 x, qint64 y) { return x < y ? -1 : (y < x ? 1 : 0); };
    switch (RowStore::kind(*cell.row, cell.column)) {
    case Field::Kind::Text:
    case Field::Kind::Memo: {
        const QStringView text = RowStore::text(*cell.row, cell.column);
        if (literal.metaType().id() == QMetaType::QString)
            return text.compare(*static_cast<const QString *>(literal.constData()), Qt::CaseInsensitive);
        return text.compare(literal.toString(), Qt::CaseInsensitive);
    }
    case Field::Kind::Money:
        return order(RowStore::number(*cell.row, cell.column), literal.value<Money>().raw());
    case Field::Kind::DateTime:
        return order(RowStore::number(*cell.row, cell.column), RowStore::dateTimeCell(literal.toDateTime()));
    case Field::Kind::Blob:
        return compareValues(cell.value(), literal);
    default:
        return order(RowStore::number(*cell.row, cell.column), literal.toLongLong());
    }
}

bool isStoredText(const Cell &cell)
{
    if (cell.computed)
        return cell.computed->metaType().id() == QMetaType::QString;
    const Field::Kind kind = RowStore::kind(*cell.row, cell.column);
    return kind == Field::Kind::Text || kind == Field::Kind::Memo;
}

QStringView storedText(const Cell &cell)
{
    return cell.computed ? QStringView(*static_cast<const QString *>(cell.computed->constData()))
                         : RowStore::text(*cell.row, cell.column);
}

template<typename ValueOf>
bool evaluate(const Node &n, const ValueOf &valueOf)
{
    switch (n.type) {
    case Node::Type::True:
        return true;
    case Node::Type::Or:
        for (const auto &c : n.children)
            if (evaluate(*c, valueOf))
                return true;
        return false;
    case Node::Type::And:
        for (const auto &c : n.children)
            if (!evaluate(*c, valueOf))
                return false;
        return true;
    case Node::Type::Not:
        return !evaluate(*n.children.front(), valueOf);
    case Node::Type::IsNull:
        return !valueOf(*n.field).isNull() == n.negate;
    case Node::Type::Compare: {
        const Cell v = valueOf(*n.field);
        if (v.isNull())
            return false;
        const bool text = isStoredText(v);
        if (n.op == Node::Op::Like || n.op == Node::Op::NotLike) {
            const bool match = text ? likeMatch(n, storedText(v)) : likeMatch(n, Field::plainText(v.value()));
            return n.op == Node::Op::Like ? match : !match;
        }
        // Case folding keeps the length of a text, so texts of different
        // lengths are never equal; most rows are decided without comparing.
        if ((n.op == Node::Op::Eq || n.op == Node::Op::Ne) && text
            && n.literal.metaType().id() == QMetaType::QString
            && storedText(v).size() != static_cast<const QString *>(n.literal.constData())->size())
            return n.op == Node::Op::Ne;
        const int c = compareCell(v, n.literal);
        switch (n.op) {
        case Node::Op::Eq: return c == 0;
        case Node::Op::Ne: return c != 0;
        case Node::Op::Lt: return c < 0;
        case Node::Op::Le: return c <= 0;
        case Node::Op::Gt: return c > 0;
        case Node::Op::Ge: return c >= 0;
        default: return false;
        }
    }
    }
    return false;
}

} // namespace

bool FilterExpression::matches(const Cursor &cursor, const Cursor::Row &row) const
{
    // Stored values are read in place; a lookup value lives in `computed` until
    // the next read.
    QVariant computed;
    return evaluate(*m_root, [&](const Field &f) {
        if (f.physicalIndex() >= 0)
            return Cell{&row, f.physicalIndex(), nullptr};
        computed = cursor.rowValue(row, f, false);
        return Cell{&row, -1, &computed};
    });
}

// Compiles dBase expression text into an immutable tree (ExpressionNode.h):
// a recursive-descent parser that checks names, argument counts and types.
#include "Expression.h"
#include "ExpressionLexer.h"
#include "ExpressionNode.h"

#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

namespace dbase {

namespace {

using detail::Comparison;
using detail::describe;
using detail::Function;
using detail::logicalValue;
using detail::Node;
using detail::numberValue;
using detail::Op;
using detail::textValue;
using detail::Token;
using NodePtr = std::shared_ptr<const Node>;

// The room a tag header has for its expression.
constexpr size_t kMaxTextLength = 220;
constexpr int kMaxDepth = 64;
constexpr int kMaxStrWidth = 255;

struct FunctionInfo {
    const char* name;
    Function function;
    int minArgs;
    int maxArgs;
};

constexpr FunctionInfo kFunctions[] = {
    {"UPPER", Function::Upper, 1, 1},     {"LOWER", Function::Lower, 1, 1},
    {"LEFT", Function::Left, 2, 2},       {"RIGHT", Function::Right, 2, 2},
    {"SUBSTR", Function::Substr, 2, 3},   {"TRIM", Function::Trim, 1, 1},
    {"RTRIM", Function::Trim, 1, 1},      {"LTRIM", Function::Ltrim, 1, 1},
    {"ALLTRIM", Function::Alltrim, 1, 1}, {"STR", Function::Str, 1, 3},
    {"DTOS", Function::Dtos, 1, 1},       {"DTOC", Function::Dtoc, 1, 1},
    {"VAL", Function::Val, 1, 1},         {"IIF", Function::Iif, 3, 3},
};

const char* typeName(ValueType type)
{
    switch (type) {
    case ValueType::Character:
        return "a character value";
    case ValueType::Numeric:
        return "a number";
    case ValueType::Date:
        return "a date";
    case ValueType::Logical:
        return "a logical value";
    }
    return "a value";
}

int lengthOf(ValueType type)
{
    switch (type) {
    case ValueType::Numeric:
        return 12;
    case ValueType::Date:
        return 8;
    case ValueType::Logical:
        return 1;
    case ValueType::Character:
        break;
    }
    return 0;
}

// A node of `type` over `args`; a character result is as long as its
// arguments together, which the caller changes where that is not so.
Node makeNode(Op op, ValueType type, std::vector<NodePtr> args)
{
    Node node;
    node.op = op;
    node.type = type;
    node.length = lengthOf(type);
    if (type == ValueType::Character)
        for (const auto& a : args)
            node.length += a->length;
    node.args = std::move(args);
    return node;
}

// dBase accepts a function name cut to its first four letters or more.
const FunctionInfo* findFunction(const std::string& name)
{
    for (const auto& f : kFunctions)
        if (name == f.name)
            return &f;
    if (name.size() < 4)
        return nullptr;
    for (const auto& f : kFunctions)
        if (std::string_view(f.name).starts_with(name))
            return &f;
    return nullptr;
}

class Parser {
public:
    Parser(std::string_view text, const std::vector<Field>& fields) : m_text(text), m_fields(fields) {}

    NodePtr parse()
    {
        if (m_text.size() > kMaxTextLength)
            fail("it is longer than " + std::to_string(kMaxTextLength) + " characters");
        m_tokens = detail::tokenize(m_text);
        if (m_tokens.front().kind == Token::Kind::End)
            fail("it is empty");
        NodePtr root = parseOr();
        if (peek().kind != Token::Kind::End)
            fail("unexpected " + describe(peek()) + " after the end of the expression");
        return root;
    }

private:
    [[noreturn]] void fail(const std::string& reason) const { detail::failExpression(m_text, reason); }

    const Token& peek() const { return m_tokens[m_next]; }
    Token take() { return m_tokens[m_next < m_tokens.size() - 1 ? m_next++ : m_next]; }

    bool acceptSymbol(std::string_view s)
    {
        if (peek().kind == Token::Kind::Symbol && peek().text == s) {
            ++m_next;
            return true;
        }
        return false;
    }

    bool acceptDotWord(std::string_view s)
    {
        if (peek().kind == Token::Kind::DotWord && peek().text == s) {
            ++m_next;
            return true;
        }
        return false;
    }

    void expectSymbol(std::string_view s)
    {
        if (!acceptSymbol(s))
            fail("expected \"" + std::string(s) + "\" but found " + describe(peek()));
    }

    // --- grammar, lowest precedence first ---

    struct DepthGuard {
        explicit DepthGuard(Parser& p) : parser(p)
        {
            if (++parser.m_depth > kMaxDepth)
                parser.fail("it is nested more than " + std::to_string(kMaxDepth) + " levels deep");
        }
        ~DepthGuard() { --parser.m_depth; }
        Parser& parser;
    };

    NodePtr parseOr()
    {
        DepthGuard guard(*this);
        NodePtr left = parseAnd();
        while (acceptDotWord("OR"))
            left = logical(Op::Or, ".OR.", left, parseAnd());
        return left;
    }

    NodePtr parseAnd()
    {
        NodePtr left = parseNot();
        while (acceptDotWord("AND"))
            left = logical(Op::And, ".AND.", left, parseNot());
        return left;
    }

    NodePtr parseNot()
    {
        if (acceptDotWord("NOT")) {
            DepthGuard guard(*this);
            NodePtr operand = parseNot();
            requireType(*operand, ValueType::Logical, ".NOT.");
            return finish(makeNode(Op::Not, ValueType::Logical, {operand}));
        }
        return parseComparison();
    }

    NodePtr parseComparison()
    {
        NodePtr left = parseAdditive();
        static constexpr std::pair<std::string_view, Comparison> ops[] = {
            {"==", Comparison::Exact},        {"=", Comparison::Equal},     {"<>", Comparison::NotEqual},
            {"#", Comparison::NotEqual},      {"!=", Comparison::NotEqual}, {"<=", Comparison::LessEqual},
            {">=", Comparison::GreaterEqual}, {"<", Comparison::Less},      {">", Comparison::Greater},
        };
        for (const auto& [symbol, comparison] : ops) {
            if (!acceptSymbol(symbol))
                continue;
            NodePtr right = parseAdditive();
            if (left->type == ValueType::Logical && right->type == ValueType::Logical)
                fail("cannot compare logical values");
            if (left->type != right->type)
                fail("cannot compare " + std::string(typeName(left->type)) + " with " +
                     typeName(right->type));
            Node node = makeNode(Op::Compare, ValueType::Logical, {left, right});
            node.comparison = comparison;
            return finish(std::move(node));
        }
        return left;
    }

    NodePtr parseAdditive()
    {
        NodePtr left = parseUnary();
        while (true) {
            if (acceptSymbol("+"))
                left = add(left, parseUnary());
            else if (acceptSymbol("-"))
                left = subtract(left, parseUnary());
            else
                return left;
        }
    }

    NodePtr parseUnary()
    {
        if (acceptSymbol("-") || acceptSymbol("+")) {
            bool negate = m_tokens[m_next - 1].text == "-";
            DepthGuard guard(*this);
            NodePtr operand = parseUnary();
            requireType(*operand, ValueType::Numeric, negate ? "-" : "+");
            if (!negate)
                return operand;
            return finish(makeNode(Op::Negate, ValueType::Numeric, {operand}));
        }
        return parsePrimary();
    }

    NodePtr parsePrimary()
    {
        Token t = take();
        switch (t.kind) {
        case Token::Kind::Number:
            return constant(numberValue(t.number), 12);
        case Token::Kind::String: {
            int length = static_cast<int>(t.text.size());
            return constant(textValue(std::move(t.text)), length);
        }
        case Token::Kind::DotWord:
            // Other xBase engines write the constants out in full.
            if (t.text == "T" || t.text == "Y" || t.text == "TRUE")
                return constant(logicalValue(true), 1);
            if (t.text == "F" || t.text == "N" || t.text == "FALSE")
                return constant(logicalValue(false), 1);
            break;
        case Token::Kind::Name:
            if (acceptSymbol("("))
                return parseCall(t);
            return fieldNode(t.text);
        case Token::Kind::Symbol:
            if (t.text == "(") {
                NodePtr inner = parseOr();
                expectSymbol(")");
                return inner;
            }
            break;
        case Token::Kind::End:
            fail("the expression ends too soon");
        }
        fail("unexpected " + describe(t));
    }

    NodePtr fieldNode(const std::string& name)
    {
        int index = findField(m_fields, name);
        if (index < 0)
            fail("there is no field " + name);
        const Field& f = m_fields[index];
        ValueType type = ValueType::Character;
        switch (f.type) {
        case FieldType::Character:
            break;
        case FieldType::Numeric:
        case FieldType::Float:
            type = ValueType::Numeric;
            break;
        case FieldType::Date:
            type = ValueType::Date;
            break;
        case FieldType::Logical:
            type = ValueType::Logical;
            break;
        case FieldType::Memo:
            fail("the memo field " + name + " cannot be used in an expression");
        }
        int length = type == ValueType::Character ? std::max(f.length, 0) : lengthOf(type);
        Node node = makeNode(Op::Field, type, {});
        node.length = length;
        node.fieldType = f.type;
        node.offset = f.offset;
        node.width = std::max(f.length, 0);
        return std::make_shared<const Node>(std::move(node));
    }

    NodePtr parseCall(const Token& nameToken)
    {
        std::vector<NodePtr> args;
        if (!acceptSymbol(")")) {
            do
                args.push_back(parseOr());
            while (acceptSymbol(","));
            expectSymbol(")");
        }
        const std::string& name = nameToken.text;
        if (name == "DELETED" || (name.size() >= 4 && std::string_view("DELETED").starts_with(name))) {
            checkCount("DELETED", args, 0, 0);
            return std::make_shared<const Node>(makeNode(Op::Deleted, ValueType::Logical, {}));
        }
        const FunctionInfo* info = findFunction(name);
        if (!info)
            fail("there is no function " + name);
        checkCount(info->name, args, info->minArgs, info->maxArgs);
        return call(*info, std::move(args));
    }

    void checkCount(const char* name, const std::vector<NodePtr>& args, int min, int max) const
    {
        int n = static_cast<int>(args.size());
        if (n >= min && n <= max)
            return;
        std::string wanted =
            min == max ? std::to_string(min) : std::to_string(min) + " to " + std::to_string(max);
        fail(std::string(name) + " takes " + wanted + (max == 1 ? " argument" : " arguments") + ", not " +
             std::to_string(n));
    }

    void requireType(const Node& node, ValueType type, const std::string& where) const
    {
        if (node.type != type)
            fail(where + " needs " + typeName(type) + ", not " + typeName(node.type));
    }

    NodePtr call(const FunctionInfo& info, std::vector<NodePtr> args);
    NodePtr add(NodePtr left, NodePtr right);
    NodePtr subtract(NodePtr left, NodePtr right);
    NodePtr logical(Op op, const char* symbol, NodePtr left, NodePtr right);
    NodePtr finish(Node node) const;
    NodePtr constant(Value value, int length) const;
    static bool constantNumber(const NodePtr& node, double& value);
    static int substrLength(const std::vector<NodePtr>& args);
    int strWidth(const std::vector<NodePtr>& args) const;

    std::string_view m_text;
    const std::vector<Field>& m_fields;
    std::vector<Token> m_tokens;
    size_t m_next = 0;
    int m_depth = 0;
};

NodePtr Parser::constant(Value value, int length) const
{
    Node node = makeNode(Op::Constant, value.type, {});
    node.length = length;
    node.constant = std::move(value);
    return std::make_shared<const Node>(std::move(node));
}

// Folds a node whose arguments are all constants, so that LEFT(s, 2 + 3)
// still has a length known at compile time.
NodePtr Parser::finish(Node node) const
{
    bool allConstant = std::all_of(node.args.begin(), node.args.end(),
                                   [](const NodePtr& a) { return a->op == Op::Constant; });
    if (!allConstant)
        return std::make_shared<const Node>(std::move(node));
    int length = node.length;
    return constant(detail::evaluate(node, nullptr), length);
}

bool Parser::constantNumber(const NodePtr& node, double& value)
{
    if (node->op != Op::Constant || node->type != ValueType::Numeric)
        return false;
    value = node->constant.number;
    return true;
}

NodePtr Parser::logical(Op op, const char* symbol, NodePtr left, NodePtr right)
{
    requireType(*left, ValueType::Logical, symbol);
    requireType(*right, ValueType::Logical, symbol);
    return finish(makeNode(op, ValueType::Logical, {left, right}));
}

NodePtr Parser::add(NodePtr left, NodePtr right)
{
    ValueType a = left->type, b = right->type;
    ValueType result;
    if (a == ValueType::Character && b == ValueType::Character)
        result = ValueType::Character;
    else if (a == ValueType::Numeric && b == ValueType::Numeric)
        result = ValueType::Numeric;
    else if ((a == ValueType::Date && b == ValueType::Numeric) ||
             (a == ValueType::Numeric && b == ValueType::Date))
        result = ValueType::Date;
    else
        fail(std::string("+ cannot combine ") + typeName(a) + " and " + typeName(b));
    return finish(makeNode(Op::Add, result, {left, right}));
}

NodePtr Parser::subtract(NodePtr left, NodePtr right)
{
    ValueType a = left->type, b = right->type;
    ValueType result;
    if (a == ValueType::Character && b == ValueType::Character)
        result = ValueType::Character;
    else if (a == ValueType::Numeric && b == ValueType::Numeric)
        result = ValueType::Numeric;
    else if (a == ValueType::Date && b == ValueType::Numeric)
        result = ValueType::Date;
    else if (a == ValueType::Date && b == ValueType::Date)
        result = ValueType::Numeric;
    else
        fail(std::string("- cannot take ") + typeName(b) + " from " + typeName(a));
    return finish(makeNode(Op::Subtract, result, {left, right}));
}

// SUBSTR's result is as long as its constant start and length allow; the
// evaluator truncates both the same way.
int Parser::substrLength(const std::vector<NodePtr>& args)
{
    const double sourceLength = args[0]->length;
    double rest = sourceLength, n = 0;
    if (constantNumber(args[1], n))
        rest = std::clamp(sourceLength - std::max(std::trunc(n), 1.0) + 1, 0.0, sourceLength);
    if (args.size() == 3 && constantNumber(args[2], n))
        rest = std::clamp(n, 0.0, rest);
    return static_cast<int>(rest);
}

int Parser::strWidth(const std::vector<NodePtr>& args) const
{
    double n = 0;
    for (size_t i = 1; i < args.size(); ++i)
        if (!constantNumber(args[i], n))
            fail(std::string("STR needs a constant ") + (i == 1 ? "width" : "number of decimals"));
    if (args.size() < 2)
        return 10;
    constantNumber(args[1], n);
    if (n < 1 || n > kMaxStrWidth)
        fail("STR needs a width from 1 to " + std::to_string(kMaxStrWidth));
    return static_cast<int>(n);
}

NodePtr Parser::call(const FunctionInfo& info, std::vector<NodePtr> args)
{
    auto argType = [&](size_t i, ValueType type) {
        static const char* ordinal[] = {"first", "second", "third"};
        requireType(*args[i], type, std::string(info.name) + "'s " + ordinal[i] + " argument");
    };
    Node node;
    node.op = Op::Call;
    node.function = info.function;
    const int sourceLength = args[0]->length;
    double n = 0;
    switch (info.function) {
    case Function::Upper:
    case Function::Lower:
    case Function::Trim:
    case Function::Ltrim:
    case Function::Alltrim:
        argType(0, ValueType::Character);
        node.length = sourceLength;
        break;
    case Function::Left:
    case Function::Right:
        argType(0, ValueType::Character);
        argType(1, ValueType::Numeric);
        node.length = sourceLength;
        if (constantNumber(args[1], n))
            node.length = static_cast<int>(std::clamp(n, 0.0, static_cast<double>(sourceLength)));
        break;
    case Function::Substr:
        argType(0, ValueType::Character);
        argType(1, ValueType::Numeric);
        if (args.size() == 3)
            argType(2, ValueType::Numeric);
        node.length = substrLength(args);
        break;
    case Function::Str:
        argType(0, ValueType::Numeric);
        for (size_t i = 1; i < args.size(); ++i)
            argType(i, ValueType::Numeric);
        node.length = strWidth(args);
        break;
    case Function::Dtos:
    case Function::Dtoc:
        argType(0, ValueType::Date);
        node.length = 8;
        break;
    case Function::Val:
        argType(0, ValueType::Character);
        break;
    case Function::Iif:
        argType(0, ValueType::Logical);
        if (args[1]->type != args[2]->type)
            fail("IIF needs two values of one type, not " + std::string(typeName(args[1]->type)) + " and " +
                 typeName(args[2]->type));
        node.length = std::max(args[1]->length, args[2]->length);
        break;
    }
    node.type = info.function == Function::Iif   ? args[1]->type
                : info.function == Function::Val ? ValueType::Numeric
                                                 : ValueType::Character;
    if (node.type != ValueType::Character)
        node.length = lengthOf(node.type);
    node.args = std::move(args);
    return finish(std::move(node));
}

} // namespace

Expression Expression::compile(std::string_view text, const std::vector<Field>& fields)
{
    Expression e;
    e.m_root = Parser(text, fields).parse();
    e.m_text = std::string(text);
    return e;
}

} // namespace dbase

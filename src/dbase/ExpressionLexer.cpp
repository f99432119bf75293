// Splits dBase expression text into tokens.
#include "ExpressionLexer.h"
#include "DatabaseError.h"

#include <charconv>

namespace dbase::detail {

namespace {

char upper(char c)
{
    return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
}

bool isLetter(char c)
{
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '_';
}

bool isDigit(char c)
{
    return c >= '0' && c <= '9';
}

class Lexer {
public:
    explicit Lexer(std::string_view text) : m_text(text) {}

    std::vector<Token> run()
    {
        std::vector<Token> tokens;
        size_t i = 0;
        while (true) {
            while (i < m_text.size() && (m_text[i] == ' ' || m_text[i] == '\t'))
                ++i;
            Token t;
            t.position = i + 1;
            if (i >= m_text.size()) {
                tokens.push_back(t);
                return tokens;
            }
            char c = m_text[i];
            if (isLetter(c))
                i = readName(i, t);
            else if (isDigit(c) || (c == '.' && i + 1 < m_text.size() && isDigit(m_text[i + 1])))
                i = readNumber(i, t);
            else if (c == '.')
                i = readDotWord(i, t);
            else if (c == '"' || c == '\'' || c == '[')
                i = readString(i, t);
            else
                i = readSymbol(i, t);
            tokens.push_back(std::move(t));
        }
    }

    size_t readName(size_t i, Token& t) const
    {
        t.kind = Token::Kind::Name;
        while (i < m_text.size() && (isLetter(m_text[i]) || isDigit(m_text[i])))
            t.text += upper(m_text[i++]);
        return i;
    }

    size_t readNumber(size_t i, Token& t) const
    {
        size_t start = i;
        while (i < m_text.size() && isDigit(m_text[i]))
            ++i;
        // "1.AND." is the number 1 followed by .AND.
        if (i < m_text.size() && m_text[i] == '.' && !(i + 1 < m_text.size() && isLetter(m_text[i + 1]))) {
            ++i;
            while (i < m_text.size() && isDigit(m_text[i]))
                ++i;
        }
        t.kind = Token::Kind::Number;
        t.text = std::string(m_text.substr(start, i - start));
        auto res =
            std::from_chars(t.text.data(), t.text.data() + t.text.size(), t.number, std::chars_format::fixed);
        if (res.ec != std::errc() || res.ptr != t.text.data() + t.text.size())
            fail("the number " + t.text + " at position " + std::to_string(t.position) + " is out of range");
        return i;
    }

    size_t readDotWord(size_t i, Token& t) const
    {
        size_t end = i + 1;
        while (end < m_text.size() && isLetter(m_text[end]))
            ++end;
        if (end == i + 1 || end >= m_text.size() || m_text[end] != '.')
            fail("unexpected \".\" at position " + std::to_string(t.position));
        t.kind = Token::Kind::DotWord;
        for (size_t k = i + 1; k < end; ++k)
            t.text += upper(m_text[k]);
        return end + 1;
    }

    size_t readString(size_t i, Token& t) const
    {
        char close = m_text[i] == '[' ? ']' : m_text[i];
        size_t end = m_text.find(close, i + 1);
        if (end == std::string_view::npos)
            fail("the text starting at position " + std::to_string(t.position) + " has no closing " +
                 std::string(1, close));
        t.kind = Token::Kind::String;
        t.text = std::string(m_text.substr(i + 1, end - i - 1));
        return end + 1;
    }

    size_t readSymbol(size_t i, Token& t) const
    {
        static constexpr std::string_view twoChar[] = {"==", "<>", "!=", "<=", ">="};
        t.kind = Token::Kind::Symbol;
        for (auto s : twoChar) {
            if (m_text.substr(i, 2) == s) {
                t.text = std::string(s);
                return i + 2;
            }
        }
        char c = m_text[i];
        if (std::string_view("+-()=<>#,").find(c) == std::string_view::npos)
            fail("unexpected \"" + std::string(1, c) + "\" at position " + std::to_string(t.position));
        t.text = std::string(1, c);
        return i + 1;
    }

private:
    [[noreturn]] void fail(const std::string& reason) const { failExpression(m_text, reason); }

    std::string_view m_text;
};

} // namespace

std::vector<Token> tokenize(std::string_view text)
{
    return Lexer(text).run();
}

std::string describe(const Token& t)
{
    switch (t.kind) {
    case Token::Kind::End:
        return "end of the expression";
    case Token::Kind::String:
        return "text at position " + std::to_string(t.position);
    case Token::Kind::DotWord:
        return "\"." + t.text + ".\" at position " + std::to_string(t.position);
    default:
        return "\"" + t.text + "\" at position " + std::to_string(t.position);
    }
}

void failExpression(std::string_view text, const std::string& reason)
{
    throw DatabaseError("Cannot use the index expression \"" + std::string(text) + "\": " + reason + ".");
}

} // namespace dbase::detail

#pragma once

// Splits dBase expression text into tokens; private to the expression code.
#include <string>
#include <string_view>
#include <vector>

namespace dbase::detail {

struct Token {
    enum class Kind { End, Name, Number, String, DotWord, Symbol };
    Kind kind = Kind::End;
    std::string text; // names and dot words (AND for .AND.) upper case; a string's contents
    double number = 0;
    size_t position = 0; // 1-based, for messages
};

// The tokens of `text`, the last of kind End. Throws DatabaseError for a
// character no expression holds, an unclosed string or a number out of range.
std::vector<Token> tokenize(std::string_view text);

// A token as a message names it: "\")\" at position 7".
std::string describe(const Token& token);

// Throws the DatabaseError for the expression `text` with `reason`.
[[noreturn]] void failExpression(std::string_view text, const std::string& reason);

} // namespace dbase::detail

#pragma once

#include "TextSource.h"

#include <string>
#include <vector>

namespace exchange {

// The reader of delimited text files: every field in double quotes, fields
// separated by commas, one record per line. A state machine over decoded
// characters that keeps at most kMaxFieldLength characters of a field and
// kMaxFields fields, so no file, however long its lines, fills the memory.
//
// - LF, CR LF and CR end a line; Ctrl-Z ends the line and the file.
// - Every other character below 32, and the C1 controls U+0080..U+009F, are
//   dropped wherever they occur.
// - An opening quote is not kept. After a closing quote, blanks are skipped;
//   then a comma ends the field and the line end ends the record. A second
//   quote right after it is one quote of text. Anything else means the quote
//   was text: the quote, the blanks and the character are kept, still inside.
// - Outside quotes every character is text, commas included.
class DelimitedReader {
public:
    static constexpr int kMaxFields = 46;
    static constexpr int kMaxFieldLength = 255; // characters
    static constexpr int kNameLength = 20;

    enum class FirstLineError { None, FieldTooLong, UnmatchedQuote, TooManyFields };
    struct FirstLine {
        FirstLineError error = FirstLineError::None;
        std::vector<std::string> values; // UTF-8
    };

    // `chars` must outlive the reader.
    explicit DelimitedReader(CharDecoder& chars) : m_chars(chars) {}

    // Reads the first line, which decides the number of fields. A field over
    // the length limit, a 47th field (a trailing comma makes one) and a line
    // whose last field lacks its closing quote are errors.
    FirstLine readFirstLine();

    // Reads the next record into `fields` (resized to `fieldCount`, missing
    // fields empty, fields past the count skipped, each cut to the length
    // limit). Lines with nothing but blanks in their only field are skipped.
    // False at the end of the file.
    bool readRecord(int fieldCount, std::vector<std::string>& fields);

    // Line number (from 1) where the record last read began.
    long long recordLine() const { return m_recordLine; }

    // An import field's name: the first kNameLength characters of its text, or "<BLANK FIELD>".
    static std::string fieldName(const std::string& text);

private:
    struct FieldEnd {
        bool closed = false;    // ended by its closing quote
        bool lineEnded = false; // the line (or the file) ended with it
        bool overLong = false;
    };

    FieldEnd readField(std::string& text);
    char32_t get();
    void unget(char32_t c) { m_pending = c; }
    bool isLineEnd(char32_t c) const;
    void endLine(char32_t c);
    void skipRestOfLine();

    CharDecoder& m_chars;
    char32_t m_pending = 0; // 0: none (NUL is dropped anyway, so never needs putting back)
    bool m_fileEnded = false;
    long long m_line = 1;
    long long m_recordLine = 0;
};

} // namespace exchange

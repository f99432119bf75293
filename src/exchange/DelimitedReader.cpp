#include "DelimitedReader.h"

namespace exchange {
namespace {

constexpr char32_t kCtrlZ = 26;

bool isDropped(char32_t c)
{
    return c < 32 || (c >= 0x80 && c <= 0x9F);
}

bool isBlank(const std::string& text)
{
    return text.find_first_not_of(' ') == std::string::npos;
}

// Appends `c` unless the field already holds the most it may keep.
void append(std::string& text, int& length, bool& overLong, char32_t c)
{
    if (length >= DelimitedReader::kMaxFieldLength) {
        overLong = true;
        return;
    }
    appendUtf8(text, c);
    ++length;
}

} // namespace

char32_t DelimitedReader::get()
{
    if (m_pending != 0) {
        char32_t c = m_pending;
        m_pending = 0;
        return c;
    }
    if (m_fileEnded)
        return CharDecoder::kEnd;
    return m_chars.next();
}

bool DelimitedReader::isLineEnd(char32_t c) const
{
    return c == '\r' || c == '\n' || c == kCtrlZ || c == CharDecoder::kEnd;
}

void DelimitedReader::endLine(char32_t c)
{
    if (c == kCtrlZ || c == CharDecoder::kEnd) {
        m_fileEnded = true;
        return;
    }
    ++m_line;
    if (c == '\r') {
        char32_t after = get();
        if (after != '\n')
            unget(after);
    }
}

DelimitedReader::FieldEnd DelimitedReader::readField(std::string& text)
{
    text.clear();
    FieldEnd end;
    int length = 0;
    bool inside = false;
    for (;;) {
        char32_t c = get();
        if (isLineEnd(c)) {
            endLine(c);
            end.lineEnded = true;
            return end;
        }
        if (isDropped(c))
            continue;
        if (c != '"') {
            append(text, length, end.overLong, c);
            continue;
        }
        if (!inside) {
            inside = true;
            continue;
        }
        char32_t after = get();
        if (after == '"') {
            append(text, length, end.overLong, '"');
            continue;
        }
        long long blanks = 0;
        while (after == ' ' || (isDropped(after) && !isLineEnd(after))) {
            blanks += after == ' ';
            after = get();
        }
        if (isLineEnd(after)) {
            endLine(after);
            end.closed = end.lineEnded = true;
            return end;
        }
        if (after == ',') {
            end.closed = true;
            return end;
        }
        // The quote was text: keep it and the blanks, and read on inside the quotes.
        append(text, length, end.overLong, '"');
        for (long long i = 0; i < blanks && length < kMaxFieldLength; ++i)
            append(text, length, end.overLong, ' ');
        unget(after);
    }
}

DelimitedReader::FirstLine DelimitedReader::readFirstLine()
{
    FirstLine line;
    std::string text;
    for (int count = 1;; ++count) {
        if (count > kMaxFields) {
            line.error = FirstLineError::TooManyFields;
            return line;
        }
        FieldEnd end = readField(text);
        if (end.overLong) {
            line.error = FirstLineError::FieldTooLong;
            return line;
        }
        line.values.push_back(text);
        if (end.lineEnded) {
            if (!end.closed)
                line.error = FirstLineError::UnmatchedQuote;
            return line;
        }
    }
}

void DelimitedReader::skipRestOfLine()
{
    char32_t c;
    do
        c = get();
    while (!isLineEnd(c));
    endLine(c);
}

bool DelimitedReader::readRecord(int fieldCount, std::vector<std::string>& fields)
{
    fields.resize(static_cast<std::size_t>(std::max(fieldCount, 1)));
    while (!m_fileEnded || m_pending != 0) {
        m_recordLine = m_line;
        std::size_t read = 0;
        bool lineEnded = false;
        while (read < fields.size() && !lineEnded)
            lineEnded = readField(fields[read++]).lineEnded;
        if (read == 1 && lineEnded && isBlank(fields[0]))
            continue; // an empty line, or one of blanks and control characters
        if (!lineEnded)
            skipRestOfLine();
        for (std::size_t i = read; i < fields.size(); ++i)
            fields[i].clear();
        return true;
    }
    return false;
}

std::string DelimitedReader::fieldName(const std::string& text)
{
    if (text.empty())
        return "<BLANK FIELD>";
    std::size_t end = 0;
    for (int count = 0; end < text.size() && count < kNameLength; ++count) {
        ++end;
        while (end < text.size() && (static_cast<unsigned char>(text[end]) & 0xC0) == 0x80)
            ++end;
    }
    return text.substr(0, end);
}

} // namespace exchange

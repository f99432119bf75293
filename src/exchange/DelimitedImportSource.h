#pragma once

#include "DelimitedReader.h"
#include "db/BookImport.h"

#include <QStringList>
#include <memory>
#include <string>

namespace exchange {

// The first line of a delimited file as the import window needs it.
struct DelimitedHeader {
    DelimitedReader::FirstLineError error = DelimitedReader::FirstLineError::None;
    QStringList names; // "<BLANK FIELD>" for empty values
};

// Reads the first line of `source`, its encoding decided over the whole of it.
DelimitedHeader readDelimitedHeader(ByteSource& source);

// A delimited text file as an import source of `fieldCount` fields. The
// encoding is decided once over the whole file; each pass reads it again.
class DelimitedImportSource final : public db::ImportSource {
public:
    // `source` must outlive this.
    DelimitedImportSource(ByteSource& source, int fieldCount, bool skipFirst);

    int fieldCount() const override { return m_fieldCount; }
    void restart() override;
    bool next(std::vector<db::ImportValue>& values) override;
    long long position() const override { return m_reader ? m_reader->recordLine() : 0; }

private:
    ByteSource& m_source;
    DetectedEncoding m_encoding;
    int m_fieldCount;
    bool m_skipFirst;
    std::unique_ptr<CharDecoder> m_chars;
    std::unique_ptr<DelimitedReader> m_reader;
    std::vector<std::string> m_fields;
};

} // namespace exchange

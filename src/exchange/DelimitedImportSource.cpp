#include "DelimitedImportSource.h"

namespace exchange {

DelimitedHeader readDelimitedHeader(ByteSource& source)
{
    CharDecoder chars(source, detectEncoding(source));
    DelimitedReader reader(chars);
    DelimitedReader::FirstLine line = reader.readFirstLine();
    DelimitedHeader header;
    header.error = line.error;
    if (line.error == DelimitedReader::FirstLineError::None)
        for (const std::string& value : line.values)
            header.names << QString::fromStdString(DelimitedReader::fieldName(value));
    return header;
}

DelimitedImportSource::DelimitedImportSource(ByteSource& source, int fieldCount, bool skipFirst)
    : m_source(source), m_encoding(detectEncoding(source)), m_fieldCount(fieldCount), m_skipFirst(skipFirst)
{
}

void DelimitedImportSource::restart()
{
    m_reader.reset();
    m_source.rewind();
    m_chars = std::make_unique<CharDecoder>(m_source, m_encoding);
    m_reader = std::make_unique<DelimitedReader>(*m_chars);
    if (m_skipFirst)
        m_reader->readRecord(m_fieldCount, m_fields);
}

bool DelimitedImportSource::next(std::vector<db::ImportValue>& values)
{
    if (!m_reader)
        restart();
    if (!m_reader->readRecord(m_fieldCount, m_fields))
        return false;
    values.resize(m_fields.size());
    for (std::size_t i = 0; i < m_fields.size(); ++i) {
        values[i].kind = db::ImportValue::Kind::Text;
        values[i].text.swap(m_fields[i]);
    }
    return true;
}

} // namespace exchange

#pragma once

#include "db/FieldText.h"

#include <QString>

namespace exchange {

// Dates in the user's order and separator with four-digit years, for files
// that outlive the century window of two-digit years. Reading goes through
// `reader`, which takes four-digit years as written.
class ExportDates final : public db::DateText {
public:
    // `pattern` in the m/d/y language of the date format ("m/d/yy", "dd.mm.yyyy").
    ExportDates(const QString& pattern, const db::DateText& reader) : m_pattern(pattern), m_reader(reader) {}

    QString write(dbase::Date date) const override;
    std::optional<dbase::Date> read(const QString& text) const override { return m_reader.read(text); }

private:
    QString m_pattern;
    const db::DateText& m_reader;
};

} // namespace exchange

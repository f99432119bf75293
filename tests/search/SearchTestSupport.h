#pragma once

// Queries and records written in one line each, for the search tests.
#include "db/BookSchema.h"
#include "dbase/Table.h"
#include "search/SearchQuery.h"

#include <QStringList>

#include <charconv>

// A book record in memory: "1=Birds of the Coast; 3=1995; 12=19960704" sets
// fields by row, as the engine hands them out (dates as YYYYMMDD).
class FakeBook final : public dbase::RecordView {
public:
    explicit FakeBook(const QString& line)
    {
        for (const QString& part : line.split(QStringLiteral("; "), Qt::SkipEmptyParts)) {
            const qsizetype at = part.indexOf(QLatin1Char('='));
            m_values[std::size_t(part.left(at).toInt() - 1)] = part.mid(at + 1).toStdString();
        }
    }
    int fieldCount() const override { return db::kBookFieldCount; }
    const dbase::Field& field(int) const override { return m_field; }
    int fieldIndex(const std::string&) const override { return -1; }
    std::string text(int index) const override { return m_values.at(std::size_t(index)); }
    double number(int index) const override
    {
        const std::string& v = m_values.at(std::size_t(index));
        double value = 0;
        std::from_chars(v.data(), v.data() + v.size(), value);
        return value;
    }
    dbase::Date date(int index) const override
    {
        const std::string& v = m_values.at(std::size_t(index));
        if (v.size() != 8)
            return {};
        return {std::stoi(v.substr(0, 4)), std::stoi(v.substr(4, 2)), std::stoi(v.substr(6, 2))};
    }

private:
    std::array<std::string, db::kBookFieldCount> m_values;
    dbase::Field m_field;
};

// One level's cells and options from "3>:> 1990 ; 1:coast": row, an optional
// option sign (= > < ~ for 1-4), ":" and the cell text.
struct LevelCells {
    std::array<QString, search::kSearchRows> cells;
    search::RowOptions options;
};

inline LevelCells levelCells(const QString& line)
{
    static const QString kSigns = QStringLiteral("=><~");
    LevelCells level;
    level.options.fill(search::OptionEqual);
    for (const QString& part : line.split(QStringLiteral(" ; "), Qt::SkipEmptyParts)) {
        const qsizetype colon = part.indexOf(QLatin1Char(':'));
        QString head = part.left(colon);
        int option = search::OptionEqual;
        if (kSigns.contains(head.back())) {
            option = int(kSigns.indexOf(head.back())) + 1;
            head.chop(1);
        }
        const std::size_t at = std::size_t(head.toInt() - 1);
        level.cells[at] = part.mid(colon + 1);
        level.options[at] = option;
    }
    return level;
}

// Levels separated by " | "; false when a level is not saved.
inline bool saveQuery(search::SearchQuery& query, const QString& line, const db::DateText& dates)
{
    for (const QString& levelLine : line.split(QStringLiteral(" | "))) {
        const LevelCells level = levelCells(levelLine);
        if (query.saveLevel(level.cells, level.options, dates).outcome !=
            search::SearchQuery::SaveResult::Outcome::Saved)
            return false;
        query.nextLevel();
    }
    return true;
}

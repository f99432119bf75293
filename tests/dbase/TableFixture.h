#pragma once

// Small tables for the engine tests.
#include "dbase/Table.h"

#include <string>
#include <vector>

inline std::vector<dbase::FieldSpec> sampleFields()
{
    using K = dbase::FieldSpec::Kind;
    return {{"TITLE", K::Character, 30}, {"AUTHOR", K::Character, 20}, {"YEARPUB", K::Whole, 0},
            {"COST", K::Floating, 0},    {"PURCHDATE", K::Date, 0},    {"READ", K::Logical, 0}};
}

// Appends one record per title, with author "A<i mod 3>", year 1900+i, cost i*1.5.
inline void appendBooks(dbase::Table& table, const std::vector<std::string>& titles)
{
    int i = static_cast<int>(table.physicalCount());
    for (const std::string& title : titles) {
        table.append();
        table.setText("TITLE", title);
        table.setText("AUTHOR", "A" + std::to_string(i % 3));
        table.setWhole(2, 1900 + i);
        table.setFloating(3, i * 1.5);
        table.post();
        ++i;
    }
}

// Titles of the visible records in the current order.
inline std::vector<std::string> walk(dbase::Table& table)
{
    std::vector<std::string> out;
    for (table.first(); !table.eof(); table.next())
        out.push_back(table.text(0));
    return out;
}

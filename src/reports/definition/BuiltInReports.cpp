#include "reports/definition/BuiltInReports.h"

#include "reports/definition/ReportFields.h"

#include <initializer_list>

namespace reports {

namespace {

struct Part {
    const char* text; // field name, label text, or nullptr for a filler
    int width;
    enum Kind { Filler, Label, Field, Total } kind;
};

Part F(int width)
{
    return {nullptr, width, Part::Filler};
}

Part L(const char* text, int width)
{
    return {text, width, Part::Label};
}

Part D(const char* field, int width)
{
    return {field, width, Part::Field};
}

Part T(int total, int width)
{
    return {totalName(total).data(), width, Part::Total};
}

ReportLine line(std::initializer_list<Part> parts)
{
    ReportLine out;
    std::size_t j = 0;
    for (const Part& part : parts) {
        ReportItem& item = out[j++];
        item.width = part.width;
        switch (part.kind) {
        case Part::Filler:
            break;
        case Part::Label:
            item.name = kLabel;
            item.label = part.text;
            break;
        case Part::Field:
            item.name = part.text;
            item.number = fieldNumber(part.text);
            break;
        case Part::Total:
            item.name = part.text;
            item.number = totalNumber(part.text);
            break;
        }
    }
    return out;
}

ReportDefinition base()
{
    ReportDefinition d;
    d.width = 120;
    for (ReportFontBlock& font : d.fonts)
        font = ReportFontBlock{"Arial", 8, false, false, false, false, 0};
    d.verticalLines = d.horizontalLines = false;
    d.lines.fill(line({F(kMaxItemWidth)}));
    d.totals = line({L("Cost:", 10), F(1), T(1, 12), L("Value:", 8), F(1), T(2, 12), L("Low Market:", 13),
                     F(1), T(3, 12), L("High Market:", 14), F(1), T(4, 12), F(60)});
    return d;
}

struct Shape {
    const char* name;
    int width;
    const char* font;     // fonts 1, 2, 3 and 5
    const char* fontFour; // font 4
    int size;
    bool columnHeaders;
    bool useTotals;
    int lines;
    bool boxLines; // vertical and horizontal
    bool groupLevel1;
};

ReportDefinition shaped(const Shape& s, std::initializer_list<ReportLine> lines)
{
    ReportDefinition d = base();
    d.name = s.name;
    d.width = s.width;
    for (std::size_t f = 0; f < d.fonts.size(); ++f) {
        d.fonts[f].name = f == 3 ? s.fontFour : s.font;
        d.fonts[f].size = s.size;
    }
    d.columnHeaders = s.columnHeaders;
    d.useTotals = s.useTotals;
    d.lineCount = s.lines;
    d.verticalLines = d.horizontalLines = s.boxLines;
    d.groupLevel1 = s.groupLevel1;
    std::size_t k = 0;
    for (const ReportLine& l : lines)
        d.lines[k++] = l;
    return d;
}

ReportLine titleLine(const char* last, const char* field)
{
    return line({L("Title:", 6), F(1), D("Title", 70), L(last, 11), F(1), D(field, 20)});
}

ReportLine authorLine(int authorWidth)
{
    return line({L("Author:", 7), F(1), D("Author", authorWidth), L("Year Pub:", 11), F(1), D("YearPub", 5),
                 L("Rating:", 9), F(1), D("Rating", 15)});
}

ReportLine categoryLine(int catalogLabel)
{
    return line({L("Category:", 9), F(1), D("Category", 20), L("Catalog:", catalogLabel), F(1),
                 D("CatalogNum", 15), L("Sub Cat 1:", 12), F(1), D("Sub1", 6), L("Sub Cat 2:", 12), F(1),
                 D("Sub2", 6), L("Pages:", 8), F(1), D("Pages", 5)});
}

} // namespace

std::vector<ReportDefinition> builtInReports()
{
    const ReportLine filler = line({F(kMaxItemWidth)});
    return {
        shaped({"Short Narrow Report", 90, "Arial", "Arial", 10, true, true, 1, true, true},
               {line({D("Title", 59), D("YearPub", 5), D("Author", 27)})}),
        shaped({"2 Line 120 Column Report", 120, "Arial", "Courier", 8, false, true, 2, false, true},
               {titleLine("Category:", "Category"), authorLine(60)}),
        shaped({"4 Line Report", 120, "Arial", "Courier", 8, false, true, 4, false, true},
               {titleLine("Book Type:", "BookType"), authorLine(59), categoryLine(9), filler}),
        shaped({"Full Report", 120, "Arial", "Courier", 8, false, true, 10, false, true},
               {titleLine("Book Type:", "BookType"), authorLine(60),
                line({L("Publisher:", 10), F(1), D("Publisher", 40), L("Editor:", 9), F(1), D("Editor", 30),
                      L("ISBN:", 7), F(1), D("ISBN", 20)}),
                line({L("Cost:", 7), F(1), D("Cost", 12), L("Value:", 8), F(1), D("Value", 12),
                      L("Low Market:", 13), F(1), D("LowMarket", 12), L("High Market:", 14), F(1),
                      D("HighMarket", 12), L("Cond:", 7), F(1), D("Condition", 20)}),
                categoryLine(10),
                line({L("Date Purchased:", 15), F(1), D("PurchDate", 11), L("Where Purchased:", 18), F(1),
                      D("WherePurch", 30), L("Location:", 11), F(1), D("Location", 30)}),
                line({L("Checked Out:", 12), F(1), D("CheckOut", 3), L("Checkout Date:", 16), F(1),
                      D("CheckDate", 11), L("Checked Out To:", 17), F(1), D("CheckName", 30),
                      L("Edition:", 11), F(1), D("Edition", 10)}),
                line({L("Vol:", 4), F(1), D("Volume", 8), L("Issue:", 8), F(1), D("Issue", 8),
                      L("Key Words:", 12), F(1), D("KeyWords", 77)}),
                line({L("Desc:", 6), F(1), D("Descriptio", 110)}), filler}),
        shaped({"Location Report", 90, "Arial", "Arial", 10, true, false, 1, true, true},
               {line({D("Title", 60), D("Location", 30)})}),
        shaped({"Library Checkout Report", 120, "Arial", "Arial", 8, true, false, 1, true, false},
               {line({D("Title", 60), D("CheckOut", 3), D("CheckDate", 12), D("CheckName", 30)})}),
        shaped(
            {"Value Report", 90, "Arial", "Arial", 10, true, true, 1, true, true},
            {line({D("Title", 42), D("Cost", 12), D("Value", 12), D("LowMarket", 12), D("HighMarket", 12)})}),
        shaped({"Statistic/Summary Report", 90, "Arial", "Arial", 10, false, true, 0, false, true}, {}),
    };
}

bool isOldBuiltInName(const std::string& name)
{
    for (const char* old : {"1 Line 90 Column Report", "2 Line 120 Column Report", "Full Report",
                            "Statistic/Summary Report", "1 Line Location Report", "120 Column 4 Line Report"})
        if (name == old)
            return true;
    return false;
}

} // namespace reports

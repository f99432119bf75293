#include "DemoReport.h"

#include "reportengine/TBaseReport.h"

#include <QPointF>
#include <QString>
#include <QVector>
#include <array>
#include <cstdint>
#include <memory>

using namespace reportengine;

namespace demo {

namespace {

constexpr std::array kAdjectives{"Silent", "Northern", "Hidden", "Last",    "Golden",  "Broken",
                                 "Winter", "Distant",  "Secret", "Painted", "Crimson", "Forgotten"};
constexpr std::array kNouns{"Harbour", "Garden", "Letters", "Orchard", "Voyage",    "Lighthouse",
                            "Archive", "Meadow", "Compass", "Library", "Cathedral", "Atlas"};
constexpr std::array kAuthors{"Ashdown, Clara", "Brennan, Tomás", "Castellane, Hugo", "Dufresne, Élise",
                              "Ekwueme, Ada",   "Forsythe, Ivor", "Grünewald, Lotte", "Halloran, Mae",
                              "Ishikawa, Ren",  "Jansson, Mira"};
constexpr std::array kShelves{"Study A", "Study B", "Hall", "Attic", "Landing"};

// Column layout in inches from the left margin: title, author, year, pages, value, shelf.
constexpr double kWidths[] = {2.45, 1.65, 0.55, 0.65, 1.0, 1.2};

struct State {
    int pages = 1;
    std::uint32_t book = 0;
};

std::uint32_t mix(std::uint32_t n)
{
    n ^= n >> 16;
    n *= 0x7feb352d;
    n ^= n >> 15;
    n *= 0x846ca68b;
    return n ^ (n >> 16);
}

void columns(TBaseReport& r, bool header)
{
    static constexpr Justify kBody[] = {pjLeft, pjLeft, pjCenter, pjRight, pjRight, pjLeft};
    r.ClearTabStops();
    for (int i = 0; i < 6; ++i)
        r.AddTabStop(-1, header ? pjCenter : kBody[i], kWidths[i], 4, blAll, header ? 20 : 0);
}

void groupBand(TBaseReport& r)
{
    r.ClearTabStops();
    r.AddTabStop(-1, pjLeft, 7.5, 6, blTop | blBottom | blLeft | blRight, 35);
}

void printHeader(TBaseReport& r)
{
    r.SelectFont("Arial", 16);
    r.Bold(true);
    r.TextCentredAt("Shelvano Books \u2013 Collection Listing", 4.25);
    r.NextLine();
    r.SelectFont("Arial", 9);
    r.Italic(true);
    r.TextCentredAt(QString("Generated demonstration data, page %1").arg(r.PageNumber()), 4.25);
    r.SetPenWidth(-2);
    r.MoveTo(0.5, r.YPos() + 0.08);
    r.LineTo(8.0, r.YPos() + 0.08);
    r.SetPenWidth(1);
    if (r.PageNumber() == 1) {
        r.SetBrushColor(QColor(70, 110, 170));
        r.SetBrushStyle(bsSolid);
        r.Ellipse(0.55, 0.45, 0.95, 0.85);
        r.Polygon({{7.55, 0.85}, {7.75, 0.45}, {7.95, 0.85}});
        r.SetBrushStyle(bsClear);
    }
    r.NextLine();
    r.NextLine();
    r.SelectFont("Arial", 10);
    r.Bold(true);
    columns(r, true);
    r.WriteLine("\tTitle\tAuthor\tYear\tPages\tValue\tShelf");
}

void printBook(TBaseReport& r, std::uint32_t book)
{
    const std::uint32_t h = mix(book + 1);
    const QString title =
        QString("The %1 %2").arg(kAdjectives[h % kAdjectives.size()], kNouns[(h >> 8) % kNouns.size()]);
    const QString author = QString::fromUtf8(kAuthors[(h >> 12) % kAuthors.size()]);
    const int year = 1850 + int((h >> 4) % 170);
    const int pages = 90 + int((h >> 10) % 800);
    const double value = ((h >> 6) % 40000) / 100.0;
    columns(r, false);
    r.SelectFont("Times New Roman", 10);
    r.WriteText(QString("\t%1\t%2\t%3").arg(title, author).arg(year));
    r.SelectFont("Courier New", 10);
    r.WriteText(QString("\t%1\t$%2").arg(pages).arg(value, 0, 'f', 2));
    r.SelectFont("Times New Roman", 10);
    r.Italic(true);
    r.WriteText(QString("\t") + kShelves[(h >> 20) % kShelves.size()]);
    r.NextLine();
}

// One page of body: a group band every twelve books, books to the last line above the footer.
bool printPage(TBaseReport& r, State& state)
{
    while (r.RemainingLines() > 2) {
        if (state.book % 12 == 0) {
            if (r.RemainingLines() < 4)
                break;
            groupBand(r);
            r.SelectFont("Arial", 10);
            r.Bold(true);
            r.WriteLine(QString("\tShelf group %1").arg(state.book / 12 + 1));
        }
        printBook(r, state.book++);
    }
    return r.PageNumber() < state.pages;
}

void printFooter(TBaseReport& r)
{
    r.SelectFont("Arial", 8);
    r.SetPenWidth(1);
    const double y = r.AreaBottom() - r.LineHeight();
    r.MoveTo(r.AreaLeft(), y);
    r.LineTo(r.AreaRight(), y);
    r.TextOnBottomLine(QString("Page %1").arg(r.PageNumber()), pjCenter);
    r.TextOnBottomLine("Shelvano Books", pjLeft);
}

} // namespace

void setUpDemoReport(TBaseReport& report, int pages)
{
    auto state = std::make_shared<State>();
    state->pages = pages;
    report.SetLineHeightMethod(lhmFont);
    report.SetMarginLeft(0.5);
    report.SetMarginRight(0.5);
    report.SetMarginTop(0.5);
    report.SetMarginBottom(0.5);
    report.SetTitle("Demo Report");
    report.OnBeforePrint = [state](TBaseReport&) { state->book = 0; };
    report.OnPrintHeader = [](TBaseReport& r) { printHeader(r); };
    report.OnPrintPage = [state](TBaseReport& r) { return printPage(r, *state); };
    report.OnPrintFooter = [](TBaseReport& r) { printFooter(r); };
}

} // namespace demo

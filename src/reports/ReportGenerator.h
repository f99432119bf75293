#pragma once

// Lays a report definition out over the books of a ReportSource through a page
// engine: titles, column headers, the lines of each book, group headers when
// the grouping field changes, group and grand totals of the four money fields,
// and a footer with page number and date. The same layout serves the printer
// and the preview (the engine draws or records) and the text file, whose
// lines go to a device while the engine only counts them, so that the file
// breaks pages where the print would.

#include "reportengine/TBaseReport.h"
#include "reports/ReportSource.h"
#include "reports/definition/ReportDefinition.h"

#include <QByteArray>
#include <QString>
#include <QVector>
#include <array>
#include <optional>
#include <vector>

class QIODevice;

namespace reportengine {
class TBaseReport;
}

namespace reports {

enum class OutputMode { Printer = 1, Preview = 2, TextFile = 3 };

// The report field numbers (1..36, 0 for none) of the grouping levels: level
// 1 is the first sort level set, level 2 the last later one set (so with three
// or four levels the last wins), each only when the definition groups by it.
struct Grouping {
    int level1 = 0;
    int level2 = 0;
    // Group texts compare as the sort key does: the first `width` characters, a-z upper-cased.
    int level1KeyWidth = 120;
    int level2KeyWidth = 120;
};
Grouping groupingFor(const ReportDefinition& definition, const std::array<int, 4>& sortFields);

class ReportGenerator {
public:
    // All must outlive the generator. `text` (mode 3 only) receives UTF-8
    // lines ending CR LF, open for writing.
    ReportGenerator(const ReportDefinition& definition, ReportSource& source, OutputMode mode,
                    const Grouping& grouping, QIODevice* text = nullptr);

    // Hooks the generator into the engine's events and sets its margins,
    // orientation, line height method and status format. Do this before
    // checking or running.
    void bind(reportengine::TBaseReport& engine);

    // Why the definition cannot be generated on the engine's paper: an empty
    // page body too small for what the definition needs (a book's lines, a
    // group header, group or closing totals), or no printable width. Laid out
    // with the engine's own line arithmetic on a copy that draws nothing.
    std::optional<QString> refusal(const reportengine::TBaseReport& engine) const;

    // Set when a run stopped because a page could make no progress.
    const QString& failure() const { return m_failure; }

private:
    enum class Use { Header, SingleBody, MultiBody, Totals };

    void beforePrint(reportengine::TBaseReport& r);
    void header(reportengine::TBaseReport& r);
    bool pageBody(reportengine::TBaseReport& r);
    void footer(reportengine::TBaseReport& r);
    void startPageBody(reportengine::TBaseReport& r);

    // An item of a definition's line with its label decoded once a run.
    struct Cell {
        ReportItem::Kind kind = ReportItem::Kind::Filler;
        int number = 0;
        int width = 0;
        QString label;
    };

    void setFont(reportengine::TBaseReport& r, int number, std::optional<double> size = {}) const;
    void setTabStops(reportengine::TBaseReport& r, std::size_t k, Use use);
    void bodyTabStops(reportengine::TBaseReport& r);
    void printLine(reportengine::TBaseReport& r, std::size_t k);
    void printColumnHeaders(reportengine::TBaseReport& r);
    QString columnHeaderText() const;
    bool groupDetection(reportengine::TBaseReport& r);
    bool startGroup(reportengine::TBaseReport& r, const QString& text);
    bool printGroupTotals(reportengine::TBaseReport& r);
    bool printGroupHeader(reportengine::TBaseReport& r);
    void captionLine(reportengine::TBaseReport& r, const QString& caption);
    void totalsLine(reportengine::TBaseReport& r, const std::array<double, 4>& sums);
    bool closingTotals(reportengine::TBaseReport& r);
    void lineToFile(reportengine::TBaseReport& r, const QString& line);
    void flushText();
    QString fitted(const reportengine::TBaseReport& r, const QString& text, double width) const;
    void writeCell(reportengine::TBaseReport& r, int stop, const QString& text, int width, bool number,
                   int font);
    bool writeSmaller(reportengine::TBaseReport& r, const QString& text, double room, int font);
    double widestCharacter(const reportengine::TBaseReport& r) const;
    QString caption() const;
    QString keyOf(const QString& text, int width) const;
    bool hasKey(const QString& text, int width, const std::optional<QString>& key) const;

    const ReportDefinition& m_definition;
    ReportSource& m_source;
    OutputMode m_mode;
    Grouping m_grouping;
    QIODevice* m_text;
    bool m_probing = false;
    int m_capacity = 0; // set by a probing run

    int m_lines = 0;
    double m_printable = 0;
    std::optional<QString> m_level1;    // the current group's text, as first seen
    std::optional<QString> m_level1Key; // and its folded key; nothing before the first group
    std::optional<QString> m_level2;
    std::optional<QString> m_level2Key;
    bool m_headerPending = false;
    bool m_totalsPending = false;
    bool m_finalPending = false;
    bool m_firstGroup = true;
    bool m_finished = false;
    std::array<double, 4> m_groupTotals{};
    std::array<double, 4> m_grandTotals{};
    QString m_failure;
    // The used items of lines 1..12, then of the totals line.
    std::array<std::vector<Cell>, kMaxLines + 1> m_cells;
    // The tab stops of each line and use, once laid out in this run.
    std::array<std::optional<QVector<reportengine::TabStop>>, (kMaxLines + 1) * 4> m_tabStops;
    QByteArray m_textBuffer;                // mode 3 lines not yet written
    QString m_line;                         // the mode 3 line being made
    mutable std::optional<double> m_widest; // of m_widestFont
    mutable reportengine::ReportFont m_widestFont;
};

} // namespace reports

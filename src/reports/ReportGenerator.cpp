#include "reports/ReportGenerator.h"

#include "db/BookSchema.h"
#include "reportengine/PageMeasure.h"
#include "reportengine/TCanvasReport.h"
#include "reports/definition/ReportFields.h"

#include <QIODevice>
#include <algorithm>
#include <cmath>

using reportengine::TBaseReport;

namespace reports {

namespace {

constexpr double kTitleTop = 0.5; // inches from the paper's top edge, whatever the margin
constexpr double kBodyTop = 1.25;
constexpr double kFooterRoom = 0.75; // between the body and the bottom margin
constexpr double kFooterHeight = 0.5;
constexpr double kCaptionPad = 0.2; // a group caption's box is this much wider than its text
constexpr double kTabMargin = 2;    // hundredths of an inch
constexpr int kGroupText = 120;     // characters of a group's text kept

// Report fields count from 1 where the book schema counts from 0.
constexpr int reportField(int schemaField)
{
    return schemaField + 1;
}

namespace fields = db::fields;
constexpr std::array<int, 4> kMoneyFields{reportField(fields::Cost), reportField(fields::Value),
                                          reportField(fields::LowMarket), reportField(fields::HighMarket)};

bool numeric(int field)
{
    return field == reportField(fields::YearPub) || field == reportField(fields::Pages) ||
           std::find(kMoneyFields.begin(), kMoneyFields.end(), field) != kMoneyFields.end();
}

// The first `width` characters, padded with blanks on the right to `width`.
void appendPaddedRight(QString& out, const QString& text, int width)
{
    if (width < 0) {
        out += text;
        return;
    }
    const qsizetype taken = std::min<qsizetype>(text.size(), width);
    out.append(text.constData(), taken);
    out.resize(out.size() + width - taken, QLatin1Char(' '));
}

// The first `width` characters, padded with blanks on the left to `width`.
void appendPaddedLeft(QString& out, const QString& text, int width)
{
    if (width < 0) {
        out += text;
        return;
    }
    const qsizetype taken = std::min<qsizetype>(text.size(), width);
    out.resize(out.size() + width - taken, QLatin1Char(' '));
    out.append(text.constData(), taken);
}

// A number with more characters than its column shows '#' marks: cut, it would read as another number.
void appendNumber(QString& out, const QString& text, int width)
{
    if (width >= 0 && text.size() > width)
        out.resize(out.size() + width, QLatin1Char('#'));
    else
        appendPaddedRight(out, text, width);
}

// A measurer that lends the engine's own to a probe, which cannot own it.
class BorrowedMeasurer : public reportengine::PageMeasurer {
public:
    explicit BorrowedMeasurer(const reportengine::PageMeasurer& measurer) : m_measurer(measurer) {}
    double textWidth(const reportengine::ReportFont& font, const QString& text) const override
    {
        return m_measurer.textWidth(font, text);
    }
    double descent(const reportengine::ReportFont& font) const override { return m_measurer.descent(font); }

private:
    const reportengine::PageMeasurer& m_measurer;
};

// Lays out on the engine's paper with its measurer and draws nothing.
class ProbeEngine : public reportengine::TCanvasReport {
public:
    explicit ProbeEngine(const TBaseReport& engine)
    {
        SetMeasurer(std::make_shared<BorrowedMeasurer>(engine.Measurer()));
        SetDevice(engine.Device());
    }

protected:
    void StartPageOutput(int) override {}
    void EndPageOutput() override {}
    void CloseOutput(bool) override {}
};

} // namespace

Grouping groupingFor(const ReportDefinition& definition, const std::array<int, 4>& sortFields)
{
    Grouping grouping;
    if (!definition.groupLevel1)
        return grouping;
    for (const int field : sortFields) {
        if (field < 1 || field > kFieldCount)
            continue;
        if (grouping.level1 == 0)
            grouping.level1 = field;
        else if (definition.groupLevel2)
            grouping.level2 = field;
    }
    return grouping;
}

ReportGenerator::ReportGenerator(const ReportDefinition& definition, ReportSource& source, OutputMode mode,
                                 const Grouping& grouping, QIODevice* text)
    : m_definition(definition), m_source(source), m_mode(mode), m_grouping(grouping), m_text(text)
{
}

void ReportGenerator::bind(TBaseReport& engine)
{
    engine.SetLineHeightMethod(reportengine::lhmFont);
    engine.SetUnitsFactor(1);
    engine.SetOrientation(m_definition.landscape ? reportengine::poLandScape : reportengine::poPortrait);
    engine.SetTitle(QString::fromStdString(m_definition.name));
    engine.OnBeforePrint = [this](TBaseReport& r) { beforePrint(r); };
    engine.OnPrintHeader = [this](TBaseReport& r) { header(r); };
    engine.OnPrintPage = [this](TBaseReport& r) { return pageBody(r); };
    engine.OnPrintFooter = [this](TBaseReport& r) { footer(r); };
    engine.OnAfterPrint = nullptr;
}

std::optional<QString> ReportGenerator::refusal(const TBaseReport& engine) const
{
    const ReportDefinition& d = m_definition;
    const double printable = engine.PaperWidth() - d.marginLeft - d.marginRight;
    if (!(printable > 0))
        return QStringLiteral(
                   "The left and right margins of the report \"%1\" (%2 and %3 inches) leave no room "
                   "across the paper.")
            .arg(QString::fromStdString(d.name))
            .arg(d.marginLeft)
            .arg(d.marginRight);

    ProbeEngine probe(engine);
    probe.SetProcessEvents(false);
    probe.SetLineHeightMethod(reportengine::lhmFont);
    probe.SetUnitsFactor(1);
    ReportGenerator run(d, m_source, m_mode, m_grouping, nullptr);
    run.m_probing = true;
    probe.OnBeforePrint = [&run](TBaseReport& r) { run.beforePrint(r); };
    probe.OnPrintHeader = [&run](TBaseReport& r) { run.header(r); };
    // The lines of body type an empty page holds: the engine reads a font's
    // line height only when the line changes, so one line is written first.
    probe.OnPrintPage = [&run](TBaseReport& r) {
        run.startPageBody(r);
        const double first = r.YPos();
        r.WriteLine(QString());
        const double room = r.AreaBottom() - (first + r.FontDescent());
        run.m_capacity = room < 0 ? 0 : int(std::trunc(room / r.LineHeight())) + 1;
        return false;
    };
    probe.Run();

    const int n = d.lineCount;
    int needed = n;
    QString what = QStringLiteral("the %1 lines of a book").arg(n);
    if (m_grouping.level1 != 0) {
        needed = n + (d.useTotals ? 3 : 2);
        what = d.useTotals ? QStringLiteral("a group's totals (%1 lines)").arg(needed)
                           : QStringLiteral("a group header (%1 lines)").arg(needed);
    }
    if (d.useTotals && needed < 5) {
        needed = 5;
        what = QStringLiteral("the closing totals (5 lines)");
    }
    if (run.m_capacity >= needed && run.m_capacity >= 1)
        return std::nullopt;
    return QStringLiteral(
               "The report \"%1\" cannot be printed: a page holds %2 lines of its %3-point body "
               "type between its margins (top and bottom %4 and %5 inches), but %6 must fit on one "
               "page. Use fewer lines, a smaller body font or smaller margins.")
        .arg(QString::fromStdString(d.name))
        .arg(std::max(run.m_capacity, 0))
        .arg(d.fonts[2].size)
        .arg(d.marginTop)
        .arg(d.marginBottom)
        .arg(what);
}

void ReportGenerator::beforePrint(TBaseReport& r)
{
    r.SetStatusFormat(QStringLiteral("Printing Page %p\r%0\r%1"));
    r.SetStatusText({QString(), QString()});
    r.SetMarginTop(m_definition.marginTop);
    r.SetMarginBottom(m_definition.marginBottom);
    r.SetMarginLeft(m_definition.marginLeft);
    r.SetMarginRight(m_definition.marginRight);
    m_lines = m_definition.lineCount;
    m_printable = r.PaperWidth() - m_definition.marginLeft - m_definition.marginRight;
    m_level1.reset();
    m_level1Key.reset();
    m_level2.reset();
    m_level2Key.reset();
    m_headerPending = m_totalsPending = m_finalPending = false;
    m_firstGroup = true;
    m_finished = false;
    m_groupTotals = {};
    m_grandTotals = {};
    m_failure.clear();
    const auto cellsOf = [this](const ReportLine& line) {
        std::vector<Cell> cells;
        for (const ReportItem& item : m_definition.used(line))
            cells.push_back({item.kind(), item.number, item.width, QString::fromStdString(item.label)});
        return cells;
    };
    for (std::size_t k = 0; k < m_cells.size(); ++k)
        m_cells[k] = cellsOf(k < m_definition.lines.size() ? m_definition.lines[k] : m_definition.totals);
    for (auto& stops : m_tabStops)
        stops.reset();
    m_textBuffer.clear();
    if (!m_probing)
        m_source.first();
}

void ReportGenerator::setFont(TBaseReport& r, int number, std::optional<double> size) const
{
    const ReportFontBlock& f = m_definition.fonts[std::size_t(number - 1)];
    r.SelectFont(QString::fromStdString(f.name), size.value_or(f.size));
    r.Bold(f.bold);
    r.Italic(f.italic);
    r.Underline(f.underline);
    r.StrikeOut(f.strikeOut);
    r.SetFontColor(QColor(f.colour & 0xff, (f.colour >> 8) & 0xff, (f.colour >> 16) & 0xff));
}

void ReportGenerator::lineToFile(TBaseReport& r, const QString& line)
{
    if (m_text && !m_probing) {
        m_textBuffer += line.toUtf8();
        m_textBuffer += "\r\n";
        constexpr qsizetype kWriteSize = 256 * 1024;
        if (m_textBuffer.size() >= kWriteSize)
            flushText();
    }
    r.WriteLine(QString());
}

// Lines reach the file a page or more at a time: writing each line on its own cost more than making it.
void ReportGenerator::flushText()
{
    if (!m_text || m_textBuffer.isEmpty())
        return;
    const qint64 written = m_text->write(m_textBuffer);
    const qint64 expected = m_textBuffer.size();
    m_textBuffer.clear();
    if (written != expected)
        throw reportengine::ReportError(
            QStringLiteral("The report could not be written to its text file: %1.")
                .arg(m_text->errorString())
                .toStdString());
}

void ReportGenerator::header(TBaseReport& r)
{
    if (m_mode == OutputMode::TextFile) {
        for (const std::string& title : m_definition.titles)
            if (!title.empty())
                lineToFile(r, QString::fromStdString(title));
        return;
    }
    r.SetAreaTop(kTitleTop);
    r.SetAreaBottom(kBodyTop);
    r.ToFirstLine();
    setFont(r, 1);
    for (const std::string& title : m_definition.titles) {
        if (title.empty())
            continue;
        r.TextCentredAt(QString::fromStdString(title), r.PaperWidth() * 0.5);
        r.WriteLine(QString());
    }
}

// Clears the tab stops and sets those of line k (kMaxLines: the totals line)
// for its use. The stops depend only on the definition and the paper, so each
// set is laid out once a run and handed back to the engine afterwards.
void ReportGenerator::setTabStops(TBaseReport& r, std::size_t k, Use use)
{
    std::optional<QVector<reportengine::TabStop>>& known = m_tabStops[k * 4 + std::size_t(use)];
    if (known) {
        r.SetTabStops(*known);
        return;
    }
    r.ClearTabStops();
    int box = 0;
    if (m_lines == 1 && (use == Use::Header || use == Use::SingleBody))
        box = (m_definition.verticalLines ? reportengine::blLeft | reportengine::blRight : 0) |
              (m_definition.horizontalLines ? reportengine::blTop | reportengine::blBottom : 0);
    for (const Cell& cell : m_cells[k]) {
        using reportengine::Justify;
        Justify justify = reportengine::pjLeft;
        if (use == Use::Header)
            justify = reportengine::pjCenter;
        else if (use == Use::SingleBody)
            justify = cell.kind == ReportItem::Kind::Field && numeric(cell.number) ? reportengine::pjRight
                                                                                   : reportengine::pjLeft;
        else
            justify = cell.kind == ReportItem::Kind::Label ? reportengine::pjRight : reportengine::pjLeft;
        r.AddTabStop(-1, justify, double(cell.width) / m_definition.width * m_printable, kTabMargin, box, 0);
    }
    known = r.TabStops();
}

void ReportGenerator::bodyTabStops(TBaseReport& r)
{
    setTabStops(r, 0, Use::SingleBody);
}

// The characters of Windows-1252 beyond Latin-1.
const QString kWindowsHigh =
    QStringLiteral("\u20AC\u201A\u0192\u201E\u2026\u2020\u2021\u02C6\u2030\u0160\u2039"
                   "\u0152\u017D\u2018\u2019\u201C\u201D\u2022\u2013\u2014\u02DC\u2122"
                   "\u0161\u203A\u0153\u017E\u0178");

// Whether every character of the text is a printable one of Windows-1252.
static bool windows1252Only(const QString& text)
{
    for (const QChar c : text) {
        const char16_t u = c.unicode();
        if (u < 0x20 || (u >= 0x7F && u < 0xA0) || (u > 0xFF && !kWindowsHigh.contains(c)))
            return false;
    }
    return true;
}

// The widest printable character of Windows-1252 in the current font: a text
// of n such characters is known to fit n of them without measuring it.
double ReportGenerator::widestCharacter(const TBaseReport& r) const
{
    const reportengine::ReportFont& font = r.Font();
    if (m_widest && m_widestFont == font)
        return *m_widest;
    double widest = 0;
    const auto measure = [&](QChar c) { widest = std::max(widest, r.MeasureText(QString(c))); };
    for (char16_t c = 0x20; c <= 0xFF; ++c)
        if (c < 0x7F || c >= 0xA0)
            measure(QChar(c));
    for (const QChar c : kWindowsHigh)
        measure(c);
    m_widestFont = font;
    m_widest = widest;
    return widest;
}

// The longest prefix that fits, found by halving: as many measurements as the text has binary digits.
QString ReportGenerator::fitted(const TBaseReport& r, const QString& text, double width) const
{
    if (text.isEmpty())
        return text;
    if (text.size() * widestCharacter(r) <= width && windows1252Only(text))
        return text;
    if (r.MeasureText(text) <= width)
        return text;
    qsizetype fits = 0;
    qsizetype tooLong = text.size();
    while (tooLong - fits > 1) {
        const qsizetype middle = (fits + tooLong) / 2;
        if (r.MeasureText(text.left(middle)) <= width)
            fits = middle;
        else
            tooLong = middle;
    }
    return text.left(fits);
}

// An item's text in tab stop `stop`. A text of no more characters than the
// item's width is what the column was made to hold: when the column's padding
// or a wide proportional font leaves it too little room, it is set smaller
// rather than cut. A longer text is cut; a longer number becomes '#' marks.
void ReportGenerator::writeCell(TBaseReport& r, int stop, const QString& text, int width, bool number,
                                int font)
{
    const double room = r.TabStopWidth(stop);
    const QString fit = fitted(r, text, room);
    if (fit.size() == text.size())
        r.WriteTab(text);
    else if (text.size() <= width && writeSmaller(r, text, room, font))
        return;
    else if (number)
        r.WriteTab(fitted(r, QString(std::min<qsizetype>(width, text.size()), QLatin1Char('#')), room));
    else
        r.WriteTab(fit);
}

// Writes the text in the largest size of font `font` below its own that fits the room.
bool ReportGenerator::writeSmaller(TBaseReport& r, const QString& text, double room, int font)
{
    const double wide = r.MeasureText(text);
    if (!(room > 0) || !(wide > 0))
        return false;
    double size = m_definition.fonts[std::size_t(font - 1)].size * room / wide;
    // The device draws whole dots, so the first guess can come out a shade too wide.
    for (int tries = 0; tries < 8 && size >= 1; ++tries, size *= 0.98) {
        setFont(r, font, size);
        if (r.MeasureText(text) <= room) {
            r.WriteTab(text);
            setFont(r, font);
            return true;
        }
    }
    setFont(r, font);
    return false;
}

void ReportGenerator::printLine(TBaseReport& r, std::size_t k)
{
    const std::vector<Cell>& cells = m_cells[k];
    if (m_mode == OutputMode::TextFile) {
        m_line.truncate(0); // keeps its room for the next line
        for (const Cell& cell : cells) {
            switch (cell.kind) {
            case ReportItem::Kind::Filler:
                m_line.resize(m_line.size() + std::max(cell.width, 0), QLatin1Char(' '));
                break;
            case ReportItem::Kind::Label:
                appendPaddedLeft(m_line, cell.label, cell.width);
                break;
            case ReportItem::Kind::Field:
                if (numeric(cell.number))
                    appendNumber(m_line, m_source.text(cell.number), cell.width);
                else
                    appendPaddedRight(m_line, m_source.text(cell.number), cell.width);
                break;
            }
        }
        lineToFile(r, m_line);
        return;
    }
    int j = 1;
    for (const Cell& cell : cells) {
        QString text;
        if (cell.kind == ReportItem::Kind::Label)
            text = cell.label;
        else if (cell.kind == ReportItem::Kind::Field)
            text = m_source.text(cell.number);
        writeCell(r, j++, text, cell.width, cell.kind == ReportItem::Kind::Field && numeric(cell.number), 3);
    }
    r.WriteLine(QString());
}

void ReportGenerator::printColumnHeaders(TBaseReport& r)
{
    int j = 1;
    for (const Cell& cell : m_cells[0]) {
        const QString title =
            cell.kind == ReportItem::Kind::Field ? m_source.fieldTitle(cell.number) : QString();
        writeCell(r, j++, title, cell.width, false, 2);
    }
}

QString ReportGenerator::columnHeaderText() const
{
    QString out;
    for (const Cell& cell : m_cells[0])
        appendPaddedRight(out,
                          cell.kind == ReportItem::Kind::Field ? m_source.fieldTitle(cell.number) : QString(),
                          cell.width);
    return out;
}

void ReportGenerator::startPageBody(TBaseReport& r)
{
    // The engine reads a font's line height when the line changes: with the
    // body font chosen first, the first room check of a page counts body lines.
    setFont(r, 3);
    r.ToFirstLine();
    r.SetAreaTop(kBodyTop);
    r.SetAreaBottom(r.PaperHeight() - m_definition.marginBottom - kFooterRoom);
    if (m_lines == 1 && m_definition.columnHeaders) {
        setFont(r, 2);
        setTabStops(r, 0, Use::Header);
        // The header line ends with the body font in force, so its height decides where the books begin.
        if (m_mode == OutputMode::TextFile) {
            setFont(r, 3);
            lineToFile(r, columnHeaderText());
        } else {
            printColumnHeaders(r);
            setFont(r, 3);
            r.WriteLine(QString());
        }
    }
    if (m_lines == 1)
        bodyTabStops(r);
}

bool ReportGenerator::pageBody(TBaseReport& r)
{
    startPageBody(r);
    bool progress = false;
    bool stop = false;
    while (r.RemainingLines() >= m_lines && !m_source.atEnd() && !stop) {
        if (m_totalsPending) {
            stop = !printGroupTotals(r);
            progress = progress || !m_totalsPending;
        }
        if (m_headerPending) {
            stop = !printGroupHeader(r);
            progress = progress || !m_headerPending;
        }
        if (m_grouping.level1 != 0 && groupDetection(r))
            stop = true;
        if (stop)
            break;
        if (m_lines == 1) {
            printLine(r, 0);
        } else {
            for (std::size_t k = 0; k < std::size_t(m_lines); ++k) {
                setTabStops(r, k, Use::MultiBody);
                printLine(r, k);
            }
        }
        if (m_definition.useTotals) {
            for (std::size_t i = 0; i < 4; ++i) {
                const double amount = m_source.amount(kMoneyFields[i]);
                m_groupTotals[i] += amount;
                m_grandTotals[i] += amount;
            }
        }
        m_source.next();
        progress = true;
    }
    if (m_source.atEnd())
        progress = closingTotals(r) || progress;
    if (m_source.atEnd() && m_finished)
        return false;
    // A page that could print nothing would be followed by endless others like it.
    if (!progress && !r.WasAborted()) {
        m_failure = QStringLiteral("The report \"%1\" was stopped: a page had no room for what came next.")
                        .arg(QString::fromStdString(m_definition.name));
        r.AbortReport();
        return false;
    }
    return true;
}

QString ReportGenerator::keyOf(const QString& text, int width) const
{
    QString key = text.left(width);
    for (QChar& c : key)
        if (c >= QLatin1Char('a') && c <= QLatin1Char('z'))
            c = QChar(c.unicode() - 'a' + 'A');
    return key;
}

// True when a group began that signals stop: its totals or header did not fit.
// Whether the text's key (keyOf) is `key`, without making the key: asked for every book.
bool ReportGenerator::hasKey(const QString& text, int width, const std::optional<QString>& key) const
{
    if (!key)
        return false;
    const qsizetype n = width < 0 || width >= text.size() ? text.size() : width;
    if (n != key->size())
        return false;
    const auto fold = [](char16_t c) { return c >= u'a' && c <= u'z' ? char16_t(c - u'a' + u'A') : c; };
    const QChar* a = text.constData();
    const QChar* b = key->constData();
    for (qsizetype i = 0; i < n; ++i)
        if (fold(a[i].unicode()) != b[i].unicode())
            return false;
    return true;
}

bool ReportGenerator::groupDetection(TBaseReport& r)
{
    const QString text1 = m_source.text(m_grouping.level1).left(kGroupText);
    if (m_grouping.level2 != 0) {
        const QString text2 = m_source.text(m_grouping.level2).left(kGroupText);
        if (!hasKey(text2, m_grouping.level2KeyWidth, m_level2Key)) {
            m_level2 = text2;
            m_level2Key = keyOf(text2, m_grouping.level2KeyWidth);
            return startGroup(r, text1);
        }
    }
    if (!hasKey(text1, m_grouping.level1KeyWidth, m_level1Key))
        return startGroup(r, text1);
    return false;
}

bool ReportGenerator::startGroup(TBaseReport& r, const QString& text)
{
    m_level1 = text;
    m_level1Key = keyOf(text, m_grouping.level1KeyWidth);
    if (!printGroupTotals(r)) {
        m_headerPending = true;
        return true;
    }
    return !printGroupHeader(r);
}

bool ReportGenerator::printGroupTotals(TBaseReport& r)
{
    if (m_firstGroup || !m_definition.useTotals) {
        m_firstGroup = false;
        m_totalsPending = false;
        return true;
    }
    if (r.RemainingLines() < m_lines + 3) {
        m_totalsPending = true;
        return false;
    }
    captionLine(r, QStringLiteral("TOTALS"));
    totalsLine(r, m_groupTotals);
    m_groupTotals = {};
    if (m_lines == 1)
        bodyTabStops(r);
    m_totalsPending = false;
    return true;
}

QString ReportGenerator::caption() const
{
    QString text = m_level1.value_or(QString());
    if (m_grouping.level2 != 0)
        text += QStringLiteral(", ") + m_level2.value_or(QString());
    return text;
}

bool ReportGenerator::printGroupHeader(TBaseReport& r)
{
    if (r.RemainingLines() < m_lines + 2) {
        m_headerPending = true;
        return false;
    }
    QString text = caption();
    if (m_mode == OutputMode::TextFile) {
        const QString indent(std::max<qsizetype>(0, (m_definition.width - text.size()) / 2),
                             QLatin1Char(' '));
        const QString dashes = indent + QString(text.size(), QLatin1Char('-'));
        lineToFile(r, QString());
        lineToFile(r, dashes);
        lineToFile(r, indent + text);
        lineToFile(r, dashes);
    } else {
        double w = r.MeasureText(text);
        if (w > m_printable - kCaptionPad) {
            text = fitted(r, text, m_printable - kCaptionPad);
            w = m_printable;
        }
        r.WriteLine(QString());
        r.ClearTabStops();
        r.AddTabStop(m_definition.marginLeft + (m_printable - w) / 2, reportengine::pjCenter, w + kCaptionPad,
                     kTabMargin, reportengine::blAll, 0);
        r.WriteLine(QLatin1Char('\t') + text);
    }
    if (m_lines == 1)
        bodyTabStops(r);
    m_headerPending = false;
    return true;
}

void ReportGenerator::captionLine(TBaseReport& r, const QString& caption)
{
    if (m_mode == OutputMode::TextFile) {
        lineToFile(
            r, QString(std::max<qsizetype>(0, (m_definition.width - caption.size()) / 2), QLatin1Char(' ')) +
                   caption);
        return;
    }
    QString text = caption;
    double w = r.MeasureText(text);
    if (w > m_printable - kCaptionPad) {
        text = fitted(r, text, m_printable - kCaptionPad);
        w = m_printable;
    }
    r.ClearTabStops();
    r.AddTabStop(m_definition.marginLeft + (m_printable - w) / 2, reportengine::pjCenter, w + kCaptionPad,
                 kTabMargin, reportengine::blBottom, 0);
    r.WriteLine(QLatin1Char('\t') + text);
}

void ReportGenerator::totalsLine(TBaseReport& r, const std::array<double, 4>& sums)
{
    const std::vector<Cell>& cells = m_cells[kMaxLines];
    const auto textOf = [&](const Cell& cell) {
        switch (cell.kind) {
        case ReportItem::Kind::Filler:
            return QString();
        case ReportItem::Kind::Label:
            return cell.label;
        case ReportItem::Kind::Field:
            break;
        }
        return m_source.moneyText(sums[std::size_t(cell.number - 1)]);
    };
    if (m_mode == OutputMode::TextFile) {
        QString out;
        for (const Cell& cell : cells) {
            if (cell.kind == ReportItem::Kind::Label)
                appendPaddedLeft(out, textOf(cell), cell.width);
            else if (cell.kind == ReportItem::Kind::Field)
                appendNumber(out, textOf(cell), cell.width);
            else
                appendPaddedRight(out, textOf(cell), cell.width);
        }
        lineToFile(r, out);
        return;
    }
    setTabStops(r, kMaxLines, Use::Totals);
    int j = 1;
    for (const Cell& cell : cells)
        writeCell(r, j++, textOf(cell), cell.width, cell.kind == ReportItem::Kind::Field, 3);
    r.WriteLine(QString());
}

// True when they were printed (or none are wanted); false leaves them for the next page.
bool ReportGenerator::closingTotals(TBaseReport& r)
{
    const int needed = m_definition.useTotals ? 5 : 0;
    if (r.RemainingLines() < needed) {
        m_finalPending = true;
        return false;
    }
    if (m_definition.useTotals) {
        captionLine(r, QStringLiteral("TOTALS"));
        totalsLine(r, m_groupTotals);
        if (m_mode == OutputMode::TextFile)
            lineToFile(r, QString());
        else
            r.WriteLine(QString());
        captionLine(r, QStringLiteral("GRAND TOTALS"));
        totalsLine(r, m_grandTotals);
    }
    m_finalPending = false;
    m_finished = true;
    return true;
}

void ReportGenerator::footer(TBaseReport& r)
{
    const QString page = m_definition.pageNumbers ? QStringLiteral("Page %1").arg(r.PageNumber()) : QString();
    const QString date = m_definition.dateOnPages ? m_source.today() : QString();
    if (m_mode == OutputMode::TextFile) {
        lineToFile(r, QString());
        QString line = page + QString(5, QLatin1Char(' '));
        if (m_definition.dateOnPages)
            line += QString(5, QLatin1Char(' ')) + date;
        lineToFile(r, line + QChar(12));
        flushText();
        return;
    }
    r.SetAreaTop(r.PaperHeight() - m_definition.marginBottom - kFooterHeight);
    r.SetAreaBottom(r.PaperHeight() - m_definition.marginBottom);
    setFont(r, 5);
    if (!page.isEmpty())
        r.TextOnBottomLine(page, reportengine::pjLeft);
    r.TextOnBottomLine(QString(), reportengine::pjCenter);
    if (!date.isEmpty())
        r.TextOnBottomLine(date, reportengine::pjRight);
}

} // namespace reports

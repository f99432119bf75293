#include "reports/ReportGenerator.h"

#include "reportengine/PageMeasure.h"
#include "reportengine/TCanvasReport.h"
#include "reports/definition/ReportFields.h"

#include <QIODevice>
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
constexpr int kMoneyFields[4] = {7, 8, 29, 30};

bool numeric(int field)
{
    return field == 3 || field == 7 || field == 8 || field == 24 || field == 29 || field == 30;
}

QString padRight(const QString& text, int width)
{
    return text.left(width).leftJustified(width, QLatin1Char(' '));
}

QString padLeft(const QString& text, int width)
{
    return text.left(width).rightJustified(width, QLatin1Char(' '));
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
    if (!m_probing)
        m_source.first();
}

void ReportGenerator::setFont(TBaseReport& r, int number) const
{
    const ReportFontBlock& f = m_definition.fonts[std::size_t(number - 1)];
    r.SelectFont(QString::fromStdString(f.name), f.size);
    r.Bold(f.bold);
    r.Italic(f.italic);
    r.Underline(f.underline);
    r.StrikeOut(f.strikeOut);
    r.SetFontColor(QColor(f.colour & 0xff, (f.colour >> 8) & 0xff, (f.colour >> 16) & 0xff));
}

void ReportGenerator::lineToFile(TBaseReport& r, const QString& line)
{
    if (m_text && !m_probing) {
        const QByteArray bytes = line.toUtf8() + "\r\n";
        if (m_text->write(bytes) != bytes.size())
            throw reportengine::ReportError(
                QStringLiteral("The report could not be written to its text file: %1.")
                    .arg(m_text->errorString())
                    .toStdString());
    }
    r.WriteLine(QString());
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

void ReportGenerator::addTabStops(TBaseReport& r, const ReportLine& line, Use use) const
{
    int box = 0;
    if (m_lines == 1 && (use == Use::Header || use == Use::SingleBody))
        box = (m_definition.verticalLines ? reportengine::blLeft | reportengine::blRight : 0) |
              (m_definition.horizontalLines ? reportengine::blTop | reportengine::blBottom : 0);
    for (const ReportItem& item : m_definition.used(line)) {
        using reportengine::Justify;
        Justify justify = reportengine::pjLeft;
        const ReportItem::Kind kind = item.kind();
        if (use == Use::Header)
            justify = reportengine::pjCenter;
        else if (use == Use::SingleBody)
            justify = kind == ReportItem::Kind::Field && numeric(item.number) ? reportengine::pjRight
                                                                              : reportengine::pjLeft;
        else
            justify = kind == ReportItem::Kind::Label ? reportengine::pjRight : reportengine::pjLeft;
        r.AddTabStop(-1, justify, double(item.width) / m_definition.width * m_printable, kTabMargin, box, 0);
    }
}

void ReportGenerator::bodyTabStops(TBaseReport& r) const
{
    r.ClearTabStops();
    addTabStops(r, m_definition.lines[0], Use::SingleBody);
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

void ReportGenerator::printLine(TBaseReport& r, const ReportLine& line)
{
    const std::span<const ReportItem> items = m_definition.used(line);
    if (m_mode == OutputMode::TextFile) {
        QString out;
        for (const ReportItem& item : items) {
            switch (item.kind()) {
            case ReportItem::Kind::Filler:
                out += QString(item.width, QLatin1Char(' '));
                break;
            case ReportItem::Kind::Label:
                out += padLeft(QString::fromStdString(item.label), item.width);
                break;
            case ReportItem::Kind::Field:
                out += padRight(m_source.text(item.number), item.width);
                break;
            }
        }
        lineToFile(r, out);
        return;
    }
    int j = 1;
    for (const ReportItem& item : items) {
        QString text;
        if (item.kind() == ReportItem::Kind::Label)
            text = QString::fromStdString(item.label);
        else if (item.kind() == ReportItem::Kind::Field)
            text = m_source.text(item.number);
        r.WriteText(QLatin1Char('\t') + fitted(r, text, r.TabStopWidth(j++)));
    }
    r.WriteLine(QString());
}

void ReportGenerator::printColumnHeaders(TBaseReport& r)
{
    int j = 1;
    for (const ReportItem& item : m_definition.used(m_definition.lines[0])) {
        const QString title =
            item.kind() == ReportItem::Kind::Field ? m_source.fieldTitle(item.number) : QString();
        r.WriteText(QLatin1Char('\t') + fitted(r, title, r.TabStopWidth(j++)));
    }
}

QString ReportGenerator::columnHeaderText() const
{
    QString out;
    for (const ReportItem& item : m_definition.used(m_definition.lines[0]))
        out += padRight(item.kind() == ReportItem::Kind::Field ? m_source.fieldTitle(item.number) : QString(),
                        item.width);
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
        r.ClearTabStops();
        addTabStops(r, m_definition.lines[0], Use::Header);
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
            printLine(r, m_definition.lines[0]);
        } else {
            for (int k = 0; k < m_lines; ++k) {
                r.ClearTabStops();
                addTabStops(r, m_definition.lines[std::size_t(k)], Use::MultiBody);
                printLine(r, m_definition.lines[std::size_t(k)]);
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
bool ReportGenerator::groupDetection(TBaseReport& r)
{
    const QString text1 = m_source.text(m_grouping.level1).left(kGroupText);
    const QString key1 = keyOf(text1, m_grouping.level1KeyWidth);
    if (m_grouping.level2 != 0) {
        const QString text2 = m_source.text(m_grouping.level2).left(kGroupText);
        const QString key2 = keyOf(text2, m_grouping.level2KeyWidth);
        if (key2 != m_level2Key) {
            m_level2 = text2;
            m_level2Key = key2;
            return startGroup(r, text1);
        }
    }
    if (key1 != m_level1Key)
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
    const std::span<const ReportItem> items = m_definition.used(m_definition.totals);
    const auto textOf = [&](const ReportItem& item) {
        switch (item.kind()) {
        case ReportItem::Kind::Filler:
            return QString();
        case ReportItem::Kind::Label:
            return QString::fromStdString(item.label);
        case ReportItem::Kind::Field:
            break;
        }
        return m_source.moneyText(sums[std::size_t(item.number - 1)]);
    };
    if (m_mode == OutputMode::TextFile) {
        QString out;
        for (const ReportItem& item : items)
            out += item.kind() == ReportItem::Kind::Label ? padLeft(textOf(item), item.width)
                                                          : padRight(textOf(item), item.width);
        lineToFile(r, out);
        return;
    }
    r.ClearTabStops();
    addTabStops(r, m_definition.totals, Use::Totals);
    int j = 1;
    for (const ReportItem& item : items)
        r.WriteText(QLatin1Char('\t') + fitted(r, textOf(item), r.TabStopWidth(j++)));
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

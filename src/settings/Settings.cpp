#include "Settings.h"

#include "platform/ProfileFile.h"
#include "settings/ColorScheme.h"

#include <QGuiApplication>
#include <QPalette>

#include <algorithm>
#include <climits>
#include <cstdint>

namespace settings {
namespace {

// How many characters of a value are read.
enum Limit : int { Path = kMaxSettingsPath, Long = 149, Short = 14 };
constexpr int kTitleLength = 20;

const std::array<const char*, kWindowGroupCount> kSchemeSections{"Main Window Color", "Edit Window Color",
                                                                 "Search Window Color", "Report Window Color",
                                                                 "Configure Window Color"};

const std::array<const char*, kSchemeColorCount> kSchemeKeys{
    "Main Background",  "Major Title",      "Minor Title",         "Edit Background", "Edit Text",
    "Combo Background", "Combo Text",       "List Box Background", "List Box Text",   "Radio Background",
    "Radio Text",       "Check Background", "Check Text"};

// The leading whole number of `text`: blanks skipped, an optional sign, digits up to
// the first other character; 0 when no digit starts it. Saturates at the int range.
int leadingNumber(QStringView text)
{
    qsizetype i = 0;
    while (i < text.size() && (text[i] == u' ' || text[i] == u'\t'))
        ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == u'-' || text[i] == u'+'))
        negative = text[i++] == u'-';
    std::int64_t value = 0;
    for (; i < text.size() && text[i] >= u'0' && text[i] <= u'9'; ++i)
        value = std::min<std::int64_t>(value * 10 + (text[i].unicode() - u'0'), std::int64_t(INT_MAX) + 1);
    if (negative)
        return int(-value);
    return int(std::min<std::int64_t>(value, INT_MAX));
}

// Yes exactly when the text, with a to z upper-cased, is "YES".
bool isYes(QStringView text)
{
    if (text.size() != 3)
        return false;
    for (qsizetype i = 0; i < 3; ++i) {
        char16_t c = text[i].unicode();
        if (c >= u'a' && c <= u'z')
            c = char16_t(c - u'a' + u'A');
        if (c != u"YES"[i])
            return false;
    }
    return true;
}

class Reader {
public:
    explicit Reader(const platform::ProfileFile& file) : m_file(file) {}

    void number(const QString& section, const QString& key, int& target, Limit limit = Short)
    {
        if (auto text = m_file.value(section, key))
            target = leadingNumber(QStringView(*text).left(limit));
    }
    // A value that holds no colour of ours, or no number at all, leaves the default
    // `target` starts with: black on black would hide the window.
    void color(const QString& section, const QString& key, int& target)
    {
        if (auto text = m_file.value(section, key)) {
            const QStringView value = QStringView(*text).left(Short).trimmed();
            if (!value.isEmpty() && value.front() >= u'0' && value.front() <= u'9')
                target = schemeColorFromFile(leadingNumber(value), target);
        }
    }
    void flag(const QString& section, const QString& key, bool& target)
    {
        if (auto text = m_file.value(section, key))
            target = isYes(QStringView(*text).left(Short));
    }
    void text(const QString& section, const QString& key, QString& target, Limit limit)
    {
        if (auto text = m_file.value(section, key))
            target = text->left(limit);
    }
    void title(const QString& section, const QString& key, QString& target)
    {
        if (auto text = m_file.value(section, key))
            target = text->left(Long).left(kTitleLength);
    }

private:
    const platform::ProfileFile& m_file;
};

class Writer {
public:
    explicit Writer(platform::ProfileFile& file) : m_file(file) {}

    void number(const QString& section, const QString& key, int value, Limit = Short)
    {
        m_file.setValue(section, key, QString::number(value));
    }
    void color(const QString& section, const QString& key, int value) { number(section, key, value); }
    void flag(const QString& section, const QString& key, bool value)
    {
        m_file.setValue(section, key, value ? QStringLiteral("Yes") : QStringLiteral("No"));
    }
    void text(const QString& section, const QString& key, const QString& value, Limit)
    {
        m_file.setValue(section, key, value);
    }
    void title(const QString& section, const QString& key, const QString& value)
    {
        m_file.setValue(section, key, value);
    }

private:
    platform::ProfileFile& m_file;
};

QString fieldKey(int index)
{
    return QString::fromUtf8(db::bookFields()[std::size_t(index)].key);
}

template <class S, class V> void visitFields(S& s, V& v)
{
    for (int i = 0; i < db::kBookFieldCount; ++i)
        v.title("Field Names", fieldKey(i), s.fields[std::size_t(i)].title);
    for (int i = 0; i < db::kBookFieldCount; ++i)
        v.flag("Display Fields", fieldKey(i), s.fields[std::size_t(i)].display);
    for (int i = 0; i < db::kBookFieldCount; ++i)
        v.number("Field Width", fieldKey(i), s.fields[std::size_t(i)].width);
    for (int i = 0; i < db::kBookFieldCount; ++i)
        v.number("Field Order", fieldKey(i), s.fields[std::size_t(i)].order);
    for (int i = 0; i < db::kBookFieldCount; ++i)
        v.flag("Export Fields", fieldKey(i), s.fields[std::size_t(i)].exported);
    for (int i = 0; i < db::kBookFieldCount; ++i)
        v.number("Export Order", fieldKey(i), s.fields[std::size_t(i)].exportOrder);
}

template <class G, class V> void visitGeometry(G& g, V& v, const QString& section, const QString& prefix)
{
    v.number(section, prefix + " Left", g.left);
    v.number(section, prefix + " Top", g.top);
    v.number(section, prefix + " Width", g.width);
    v.number(section, prefix + " Height", g.height);
}

template <class S, class V> void visitMisc(S& s, V& v)
{
    const QString misc = QStringLiteral("Misc");
    v.number(misc, "Button Bar", s.buttonBar);
    visitGeometry(s.mainWindow, v, misc, "Main Window");
    v.text(misc, "Last Import File", s.lastImportFile, Path);
    v.text(misc, "Last Export File", s.lastExportFile, Path);
    v.text(misc, "Last Database", s.lastDatabase, Path);
    for (int i = 0; i < 5; ++i)
        v.text(misc, "Last File " + QString::number(i + 1), s.lastFiles[std::size_t(i)], Path);
    v.flag(misc, "Show Tips", s.showTips);
    v.number(misc, "Window Size", s.windowSize);
    v.number(misc, "Date Format", s.dateFormat);
    v.flag(misc, "Date Leading Zeros", s.dateLeadingZeros);
    v.number(misc, "Currency Format", s.currencyFormat);
    v.number(misc, "Numeric Format", s.numericFormat);
    v.flag(misc, "Safety Copies", s.safetyCopies);
}

template <class F, class V> void visitGridFont(F& font, V& v, const QString& section)
{
    v.number(section, "Color", font.color, Long);
    v.text(section, "Font Name", font.name, Long);
    v.number(section, "Size", font.size, Long);
    v.flag(section, "Bold", font.bold);
    v.flag(section, "Italic", font.italic);
    v.flag(section, "Underline", font.underline);
    v.flag(section, "Strikeout", font.strikeout);
}

template <class F, class V> void visitFont(F& font, V& v, const QString& section)
{
    v.text(section, "Font Name", font.name, Long);
    v.flag(section, "Bold", font.bold);
    v.flag(section, "Italic", font.italic);
}

// Every key of the file, sections in their fixed order.
template <class S, class V> void visitAll(S& s, V& v)
{
    visitMisc(s, v);
    visitFields(s, v);
    v.flag("Export", "First Row", s.exportFirstRow);
    v.number("Export", "File Type", s.exportFileType);
    v.number("Export", "Encoding", s.exportEncoding);
    v.flag("Import", "Skip First", s.importSkipFirst);
    v.number("Import", "File Type", s.importFileType);
    const char* sortKeys[] = {"Primary Sort", "Secondary Sort", "Third Level Sort", "Fourth Level Sort"};
    for (std::size_t i = 0; i < 4; ++i)
        v.number("Sort Order", sortKeys[i], s.sortOrder[i]);
    for (std::size_t group = 0; group < kWindowGroupCount; ++group)
        for (std::size_t key = 0; key < kSchemeColorCount; ++key)
            v.color(kSchemeSections[group], kSchemeKeys[key], s.colorSchemes[group][key]);
    v.flag("Grid Title", "Show Titles", s.showGridTitles);
    v.number("Grid Title", "Background Color", s.gridTitleBackground);
    v.number("Grid Title", "Alignment", s.gridTitleAlignment);
    visitGridFont(s.gridTitleFont, v, "Grid Title Font");
    visitGridFont(s.gridFont, v, "Grid Font");
    v.number("Grid Options", "Cell Color", s.gridCellColor);
    v.flag("Grid Options", "Column Lines", s.columnLines);
    v.flag("Grid Options", "Row Lines", s.rowLines);
    v.flag("Grid Options", "Row Indicator", s.rowIndicator);
    v.flag("Grid Options", "Field Editing", s.fieldEditing);
    visitFont(s.editFont, v, "Edit Font");
    visitFont(s.labelFont, v, "Label Font");
    visitFont(s.buttonFont, v, "Button Font");
    v.number("Reports", "Last Report", s.lastReport);
    visitGeometry(s.reportWindow, v, "Reports", "Report Viewing Window");
    v.text("Reports", "Converted BOOK.URP", s.convertedOldReports, Long);
}

} // namespace

bool pathFitsSettings(const QString& path)
{
    return path.size() <= kMaxSettingsPath;
}

QString pathTooLongMessage(const QString& path)
{
    return QStringLiteral("The path \"%1\" is %2 characters long.  Paths of up to %3 characters can be "
                          "used; please choose a shorter one.")
        .arg(path)
        .arg(path.size())
        .arg(kMaxSettingsPath);
}

QColor colorFromWindows(int value)
{
    auto bits = static_cast<std::uint32_t>(value);
    if ((bits & 0xFF000000u) == 0x80000000u) {
        static const QPalette::ColorRole roles[] = {
            QPalette::Window,     QPalette::Window,     QPalette::Highlight,       QPalette::Window,
            QPalette::Window,     QPalette::Base,       QPalette::WindowText,      QPalette::WindowText,
            QPalette::Text,       QPalette::WindowText, QPalette::Window,          QPalette::Window,
            QPalette::Window,     QPalette::Highlight,  QPalette::HighlightedText, QPalette::Button,
            QPalette::Dark,       QPalette::Mid,        QPalette::ButtonText,      QPalette::WindowText,
            QPalette::Light,      QPalette::Shadow,     QPalette::Midlight,        QPalette::ToolTipText,
            QPalette::ToolTipBase};
        std::uint32_t index = bits & 0xFFu;
        QPalette::ColorRole role = index < std::size(roles) ? roles[index] : QPalette::Window;
        return QGuiApplication::palette().color(role);
    }
    return QColor(int(bits & 0xFF), int((bits >> 8) & 0xFF), int((bits >> 16) & 0xFF));
}

int windowsColor(const QColor& color)
{
    return color.red() | (color.green() << 8) | (color.blue() << 16);
}

WindowGeometry keepOnScreen(const WindowGeometry& saved, QSize screen)
{
    const WindowGeometry standard;
    WindowGeometry kept = saved;
    kept.width = std::min(saved.width > 0 ? saved.width : standard.width, screen.width());
    kept.height = std::min(saved.height > 0 ? saved.height : standard.height, screen.height());
    kept.left = std::clamp(saved.left, 0, std::max(0, screen.width() - kept.width));
    kept.top = std::clamp(saved.top, 0, std::max(0, screen.height() - kept.height));
    return kept;
}

Settings::Settings(const QString& startDirectory)
    : lastImportFile(startDirectory), lastExportFile(startDirectory), m_startDirectory(startDirectory)
{
    gridTitleFont.size = 12;
    colorSchemes.fill(defaultColorScheme());
    for (int i = 0; i < db::kBookFieldCount; ++i) {
        FieldSettings& field = fields[std::size_t(i)];
        field.title = QString::fromUtf8(db::bookFields()[std::size_t(i)].title);
        field.order = field.exportOrder = i + 1;
    }
}

void Settings::read(const platform::ProfileFile& file)
{
    *this = Settings(m_startDirectory);
    Reader reader(file);
    visitAll(*this, reader);
}

void Settings::write(platform::ProfileFile& file) const
{
    platform::ProfileFile ordered;
    Writer writer(ordered);
    visitAll(*this, writer);
    ordered.addMissing(file);
    file = std::move(ordered);
}

} // namespace settings

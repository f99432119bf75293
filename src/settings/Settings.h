#pragma once

#include "db/BookSchema.h"

#include <QColor>
#include <QRect>
#include <QString>

#include <array>

namespace platform {
class ProfileFile;
}

namespace settings {

// The longest path the settings file keeps whole. A path is read back cut to this
// length, so callers refuse longer paths before they use or store them.
inline constexpr int kMaxSettingsPath = 249;
bool pathFitsSettings(const QString& path);
// The message for a path pathFitsSettings() refuses.
QString pathTooLongMessage(const QString& path);

// Windows colour values hold red in the lowest byte, then green, then blue. Values with
// the high bit set name a system colour, taken from the application palette.
QColor colorFromWindows(int value);
int windowsColor(const QColor& color);

struct WindowGeometry {
    int left = 0;
    int top = 0;
    int width = 640;
    int height = 480;
    QRect rect() const { return {left, top, width, height}; }
    bool operator==(const WindowGeometry&) const = default;
};

// Moves and shrinks `saved` so the whole window lies on a screen of `screen` size; a
// width or height below one becomes the default 640 x 480, limited to the screen.
WindowGeometry keepOnScreen(const WindowGeometry& saved, QSize screen);

// The user's choices for one of the 36 book fields, in schema order.
struct FieldSettings {
    QString title; // at most 20 characters
    bool display = true;
    int width = 15;
    int order = 0; // position 1 ... 36
    bool exported = true;
    int exportOrder = 0;
    bool operator==(const FieldSettings&) const = default;
};

// The thirteen colours of a window group's scheme, in the file's key order.
enum class SchemeColor {
    MainBackground,
    MajorTitle,
    MinorTitle,
    EditBackground,
    EditText,
    ComboBackground,
    ComboText,
    ListBoxBackground,
    ListBoxText,
    RadioBackground,
    RadioText,
    CheckBackground,
    CheckText,
};
inline constexpr int kSchemeColorCount = 13;
using ColorScheme = std::array<int, kSchemeColorCount>; // Windows colour values, by SchemeColor

enum class WindowGroup { Main, Edit, Search, Report, Configure };
inline constexpr int kWindowGroupCount = 5;

struct GridFontSettings {
    int color = 0;
    QString name = QStringLiteral("Arial");
    int size = 10; // points
    bool bold = false;
    bool italic = false;
    bool underline = false;
    bool strikeout = false;
    bool operator==(const GridFontSettings&) const = default;
};

// Only the name and the two styles of the label, edit and button fonts are kept.
struct FontSettings {
    QString name = QStringLiteral("Arial");
    bool bold = false;
    bool italic = false;
    bool operator==(const FontSettings&) const = default;
};

// Every value of the settings file SHVBOOK.INI, each member starting at its default.
struct Settings {
    // `startDirectory` is the default of the last import and export files.
    explicit Settings(const QString& startDirectory = {});

    // Fills every value from `file`; a missing key gives its default.
    void read(const platform::ProfileFile& file);
    // Sets every key of every section in `file`, sections and keys in their fixed
    // order first, then whatever `file` already held that the program does not know.
    void write(platform::ProfileFile& file) const;

    // Misc
    int buttonBar = 1;
    WindowGeometry mainWindow;
    QString lastImportFile;
    QString lastExportFile;
    QString lastDatabase;
    std::array<QString, 5> lastFiles;
    bool showTips = true;
    bool safetyCopies = true; // a copy of the database at close, when it changed
    int windowSize = 640; // kept as read even when the screen cannot show it
    int dateFormat = 1;
    bool dateLeadingZeros = false;
    int currencyFormat = 1;
    int numericFormat = 1;

    std::array<FieldSettings, db::kBookFieldCount> fields;

    bool exportFirstRow = true;
    int exportFileType = 1;
    int exportEncoding = 1; // 1 UTF-8 with a byte-order mark, 2 Windows-1252
    bool importSkipFirst = true;
    int importFileType = 1;

    std::array<int, 4> sortOrder{2, 0, 0, 0}; // field positions of the four levels, 0 for none

    std::array<ColorScheme, kWindowGroupCount> colorSchemes;

    bool showGridTitles = true;
    int gridTitleBackground = 8553090;
    int gridTitleAlignment = 2;
    GridFontSettings gridTitleFont;
    GridFontSettings gridFont;

    int gridCellColor = 12632256;
    bool columnLines = true;
    bool rowLines = true;
    bool rowIndicator = true;
    bool fieldEditing = false;

    FontSettings editFont;
    FontSettings labelFont;
    FontSettings buttonFont;

    int lastReport = 0;
    WindowGeometry reportWindow;
    // Size and time of an older report file already converted that could not be deleted.
    QString convertedOldReports;

    bool operator==(const Settings&) const = default;

    ColorScheme& scheme(WindowGroup group) { return colorSchemes[std::size_t(group)]; }
    const ColorScheme& scheme(WindowGroup group) const { return colorSchemes[std::size_t(group)]; }
    int color(WindowGroup group, SchemeColor which) const
    {
        return colorSchemes[std::size_t(group)][std::size_t(which)];
    }

private:
    QString m_startDirectory;
};

} // namespace settings

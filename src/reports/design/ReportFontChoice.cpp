#include "reports/design/ReportFontChoice.h"

#include "platform/FontNames.h"
#include "reports/design/DesignRules.h"

#include <QFontInfo>

#include <algorithm>
#include <cmath>

namespace reports {

namespace {

constexpr int kMaxFontName = 50;

} // namespace

QFont blockFont(const ReportFontBlock& block)
{
    QFont font(platform::qtFontFamily(QString::fromStdString(block.name)));
    font.setPointSize(std::max(1, block.size));
    font.setBold(block.bold);
    font.setItalic(block.italic);
    font.setUnderline(block.underline);
    font.setStrikeOut(block.strikeOut);
    return font;
}

QColor blockColour(const ReportFontBlock& block)
{
    const auto c = std::uint32_t(block.colour);
    return QColor(int(c & 0xFF), int(c >> 8 & 0xFF), int(c >> 16 & 0xFF));
}

std::int32_t windowsColour(const QColor& colour)
{
    return std::int32_t(std::uint32_t(colour.red()) | std::uint32_t(colour.green()) << 8 |
                        std::uint32_t(colour.blue()) << 16);
}

QString blockText(const ReportFontBlock& block)
{
    return QStringLiteral("%1 %2pt").arg(QString::fromStdString(block.name)).arg(block.size);
}

int wholePoints(const QFont& font, double dotsPerInch)
{
    const double points = font.pointSizeF() > 0 ? font.pointSizeF() : font.pixelSize() * 72.0 / dotsPerInch;
    return std::max(1, int(std::lround(points)));
}

QString storeChosenFont(const QFont& chosen, double dotsPerInch, ReportFontBlock& block)
{
    const QString stored = QString::fromStdString(block.name);
    const QString standIn = platform::qtFontFamily(stored);
    const QString family = chosen.family();
    // Confirming the preset unchanged must not store fontconfig's substitute, which Windows lacks.
    const bool same = family == stored || family == standIn || family == QFontInfo(QFont(standIn)).family();
    const QString name = same ? stored : family.left(kMaxFontName);
    if (const std::optional<std::string> bad = unholdableCharacter(name.toStdString()))
        return QStringLiteral("The font name \"%1\" has the character \"%2\", which the report file "
                              "cannot hold.  Please choose another font.")
            .arg(name, QString::fromStdString(*bad));
    block.name = name.toStdString();
    block.size = std::min(wholePoints(chosen, dotsPerInch), 144);
    block.bold = chosen.bold();
    block.italic = chosen.italic();
    block.underline = chosen.underline();
    block.strikeOut = chosen.strikeOut();
    return QString();
}

} // namespace reports

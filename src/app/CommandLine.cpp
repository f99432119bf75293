#include "CommandLine.h"

#include "app/Cli.h"

#include <QCommandLineParser>
#include <QFile>

#include <cstdio>
#include <cstdlib>

namespace {

std::filesystem::path toPath(const QString& text)
{
    return std::filesystem::path(QFile::encodeName(text).toStdString());
}

} // namespace

bool asksForBrowseMode(const QStringList& positional)
{
    return !positional.isEmpty() && positional.first().toUpper() == QStringLiteral("/BROWSE");
}

CommandLine parseCommandLine(const QStringList& arguments)
{
    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("Shelvano Books 95: a catalogue for a book collection.\n\n") + commandSummary());
    parser.addHelpOption();
    QCommandLineOption dataDir(QStringLiteral("data-dir"),
                               QStringLiteral("Directory of the book databases, pick lists and reports."),
                               QStringLiteral("DIR"));
    QCommandLineOption configDir(QStringLiteral("config-dir"),
                                 QStringLiteral("Directory of the settings file SHVBOOK.INI."),
                                 QStringLiteral("DIR"));
    QCommandLineOption browse(QStringLiteral("browse"),
                              QStringLiteral("Browse mode: view the books, change nothing."));
    QCommandLineOption screenshot(QStringLiteral("screenshot"),
                                  QStringLiteral("Save the window to FILE and quit."),
                                  QStringLiteral("FILE"));
    screenshot.setFlags(QCommandLineOption::HiddenFromHelp);
    QCommandLineOption firstPaint(QStringLiteral("exit-after-first-paint"),
                                  QStringLiteral("Print \"painted\" when the grid has painted, and quit."));
    firstPaint.setFlags(QCommandLineOption::HiddenFromHelp);
    parser.addOptions({dataDir, configDir, browse, screenshot, firstPaint});
    parser.addPositionalArgument(QStringLiteral("/BROWSE"), QStringLiteral("The same as --browse."),
                                 QStringLiteral("[/BROWSE]"));
    // "/BROWSE" is not an option to the parser, so it lands among the positional arguments.
    if (!parser.parse(arguments)) {
        // Bad usage ends with status 2, as the commands' does.
        std::fprintf(stderr, "shelvano: %s\n", qPrintable(parser.errorText()));
        std::exit(2);
    }
    if (parser.isSet(QStringLiteral("help")))
        parser.showHelp(0);

    CommandLine line;
    if (parser.isSet(dataDir))
        line.paths.dataDir = toPath(parser.value(dataDir));
    if (parser.isSet(configDir))
        line.paths.configDir = toPath(parser.value(configDir));
    line.browse = parser.isSet(browse) || asksForBrowseMode(parser.positionalArguments());
    line.screenshot = parser.value(screenshot);
    line.exitAfterFirstPaint = parser.isSet(firstPaint);
    return line;
}

#include "db/BookSchema.h"
#include "dbase/Table.h"
#include "platform/AppPaths.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QFile>
#include <QLabel>
#include <QMessageBox>
#include <QStyle>
#include <QStyleFactory>
#include <QTimer>
#include <QVBoxLayout>
#include <QWidget>

#include <exception>
#include <filesystem>
#include <memory>

namespace {

namespace fs = std::filesystem;

const QString kAppTitle = QStringLiteral("Shelvano Books 95");

struct Options {
    platform::PathOverrides paths;
    QString screenshot; // when set, the window is saved to this image file and the program ends
};

fs::path toPath(const QString& text)
{
    return fs::path(QFile::encodeName(text).toStdString());
}

Options parseCommandLine(const QApplication& app)
{
    QCommandLineParser parser;
    parser.setApplicationDescription(kAppTitle + QStringLiteral(": a catalogue for a book collection."));
    parser.addHelpOption();
    QCommandLineOption dataDir(QStringLiteral("data-dir"),
                               QStringLiteral("Directory of the book databases, pick lists and reports."),
                               QStringLiteral("DIR"));
    QCommandLineOption configDir(QStringLiteral("config-dir"),
                                 QStringLiteral("Directory of the settings file SHVBOOK.INI."),
                                 QStringLiteral("DIR"));
    QCommandLineOption screenshot(QStringLiteral("screenshot"),
                                  QStringLiteral("Save the window to FILE and quit."),
                                  QStringLiteral("FILE"));
    screenshot.setFlags(QCommandLineOption::HiddenFromHelp);
    parser.addOptions({dataDir, configDir, screenshot});
    parser.process(app);

    Options options;
    if (parser.isSet(dataDir))
        options.paths.dataDir = toPath(parser.value(dataDir));
    if (parser.isSet(configDir))
        options.paths.configDir = toPath(parser.value(configDir));
    options.screenshot = parser.value(screenshot);
    return options;
}

// The default database, found whatever the case of its name and created with the book fields when missing.
fs::path masterTablePath(const fs::path& dataDir)
{
    fs::path found = platform::findFileIgnoringCase(dataDir, "MASTER.DBF");
    if (!found.empty())
        return found;
    fs::path created = dataDir / "MASTER.DBF";
    dbase::Table::create(created.string(), db::bookFieldSpecs());
    return created;
}

// The table name as captions show it: the file name up to its first dot.
QString tableName(const fs::path& table)
{
    QString name = QFile::decodeName(table.filename().string().c_str());
    return name.left(name.indexOf(QLatin1Char('.')));
}

QString countText(std::uint32_t count)
{
    return count == 1 ? QStringLiteral("1 book") : QStringLiteral("%1 books").arg(count);
}

std::unique_ptr<QWidget> makeWindow(const fs::path& table, std::uint32_t count)
{
    auto window = std::make_unique<QWidget>();
    window->setObjectName(QStringLiteral("Main"));
    window->setWindowTitle(kAppTitle + QStringLiteral(" (") + tableName(table) + QStringLiteral(")"));
    auto* label = new QLabel(countText(count), window.get());
    label->setObjectName(QStringLiteral("RecordCount"));
    label->setAlignment(Qt::AlignCenter);
    auto* layout = new QVBoxLayout(window.get());
    layout->addWidget(label);
    window->resize(420, 160);
    return window;
}

std::unique_ptr<QWidget> startUp(const Options& options)
{
    platform::AppPaths paths = platform::resolveAppPaths(options.paths);
    platform::ensureDirectory(paths.dataDir);
    fs::path table = masterTablePath(paths.dataDir);
    std::uint32_t count = dbase::Table::open(table.string())->recordCount();
    return makeWindow(table, count);
}

} // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(kAppTitle);
    // The colour schemes assume a light Windows look, whatever the desktop theme.
    QApplication::setStyle(QStyleFactory::create(QStringLiteral("Fusion")));
    QApplication::setPalette(QApplication::style()->standardPalette());

    Options options = parseCommandLine(app);
    std::unique_ptr<QWidget> window;
    try {
        window = startUp(options);
    } catch (const std::exception& error) {
        QMessageBox::critical(nullptr, QStringLiteral("Error"), QString::fromStdString(error.what()));
        return 1;
    }
    window->show();
    if (!options.screenshot.isEmpty()) {
        QTimer::singleShot(0, window.get(), [&] {
            bool saved = window->grab().save(options.screenshot);
            QApplication::exit(saved ? 0 : 1);
        });
    }
    return QApplication::exec();
}

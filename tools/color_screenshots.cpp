// shelvano_color_screenshots DATA_DIR OUT_DIR [--dark]
//
// Saves the main window, the record edit window and the colour configuration window
// under the default colours, "Midnight Black" and "Desert Sunset", and the tip of the
// day, to OUT_DIR as PNG files. With --dark the desktop's palette is a dark one, to
// show that the windows keep their light base. DATA_DIR holds the database to show.
#include "ScreenshotProgram.h"
#include "app/TColorConfig.h"
#include "app/TTipOfDay.h"
#include "settings/ColorScheme.h"
#include "settings/WindowLook.h"

#include <QApplication>
#include <QStyle>
#include <QStyleFactory>
#include <QTest>

#include <cstdio>
#include <cstring>

namespace {

bool save(QWidget* window, const QString& file)
{
    QTest::qWait(100);
    const bool saved = window->grab().save(file);
    std::printf("%s %s\n", saved ? "wrote" : "FAILED", qPrintable(file));
    return saved;
}

QPalette darkDesktop()
{
    QPalette dark(QColor(53, 53, 53));
    dark.setColor(QPalette::Base, QColor(35, 35, 35));
    for (QPalette::ColorRole role : {QPalette::WindowText, QPalette::Text, QPalette::ButtonText})
        dark.setColor(role, QColor(230, 230, 230));
    return dark;
}

} // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    QApplication::setStyle(QStyleFactory::create(QStringLiteral("Fusion")));
    const bool dark = argc == 4 && std::strcmp(argv[3], "--dark") == 0;
    if (argc != 3 && !dark) {
        std::fprintf(stderr, "usage: shelvano_color_screenshots DATA_DIR OUT_DIR [--dark]\n");
        return 2;
    }
    QApplication::setPalette(dark ? darkDesktop() : settings::lightPalette());
    const std::filesystem::path data = argv[1];
    const QString out = QString::fromLocal8Bit(argv[2]);
    const QString stem = out + (dark ? QStringLiteral("/dark-") : QStringLiteral("/"));
    ScreenshotProgram program(data);
    auto& [dialogs, screen, windows] = program;
    TMain& main = windows.main;
    if (!program.start())
        return 1;
    bool ok = true;
    const struct {
        int entry;
        const char* name;
    } sets[] = {{0, "default"}, {3, "midnight"}, {4, "desert"}};
    for (const auto& set : sets) {
        settings::ColorScheme scheme = settings::defaultColorScheme();
        settings::applyColorSet(scheme, set.entry);
        main.settings().colorSchemes.fill(scheme);
        main.SetColors();
        ok &= save(&main, stem + QStringLiteral("main-%1.png").arg(QLatin1String(set.name)));
        main.setEditMode(edit::EditMode::Add);
        windows.edit.show();
        ok &= save(&windows.edit, stem + QStringLiteral("edit-%1.png").arg(QLatin1String(set.name)));
        windows.edit.hide();
        TColorConfig config(main.settings(), 6, dialogs, main.fonts(), main.scaleFactor(), screen.size(),
                            &main);
        config.show();
        ok &= save(&config, stem + QStringLiteral("colorconfig-%1.png").arg(QLatin1String(set.name)));
        config.close();
    }
    bool showTips = true;
    TTipOfDay tip(showTips, 12, main.scaleFactor(), screen.size(), &main);
    tip.show();
    ok &= save(&tip, stem + QStringLiteral("tip.png"));
    tip.close();
    return ok ? 0 : 1;
}

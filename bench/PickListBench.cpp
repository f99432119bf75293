// shelvano_picklist_bench [--entries N]
//
// Loads the nine pick lists from their files when each holds N entries (default
// 30,000), as the program does at start and after a restore, and fills the main
// window's nine combo boxes with them. Prints one line per figure with its target.
#include "edit/PickLists.h"

#include <QApplication>
#include <QComboBox>
#include <QTemporaryDir>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;
constexpr int kRuns = 7;
constexpr double kLoadTarget = 0.2; // seconds

double median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

// N distinct entries of realistic length: names with accents, as collectors type them.
QStringList makeEntries(int list, int count)
{
    static const char* const kWords[] = {"Abbott",  "Brontë",   "Carré", "Dumas",  "Eliot",
                                         "Fontane", "Gaskell",  "Hašek", "Ibsen",  "Joyce",
                                         "Kästner", "Lagerlöf", "Mann",  "Nabokov"};
    QStringList entries;
    entries.reserve(count);
    for (int i = 0; i < count; ++i)
        entries << QStringLiteral("%1, %2 %3-%4")
                       .arg(QString::fromUtf8(kWords[i % 14]), QString::fromUtf8(kWords[(i / 14) % 14]))
                       .arg(list)
                       .arg(i);
    return entries;
}

} // namespace

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    int count = 30'000;
    if (argc == 3 && std::string(argv[1]) == "--entries")
        count = std::max(1, std::atoi(argv[2]));
    else if (argc != 1) {
        std::fprintf(stderr, "usage: shelvano_picklist_bench [--entries N]\n");
        return 2;
    }

    QTemporaryDir dir;
    const std::filesystem::path dataDir = dir.path().toStdString();
    {
        edit::PickLists lists(dataDir);
        for (int list = 1; list <= edit::kPickListCount; ++list)
            lists.setEntries(list, makeEntries(list, count));
        lists.saveAll();
    }

    std::vector<double> loads, fills;
    std::vector<QComboBox*> combos;
    for (int i = 0; i < edit::kPickListCount; ++i) {
        combos.push_back(new QComboBox);
        edit::setUpPickCombo(combos.back(), 90);
    }
    for (int run = 0; run < kRuns; ++run) {
        edit::PickLists lists(dataDir);
        const auto start = Clock::now();
        lists.loadAll();
        const auto loaded = Clock::now();
        for (int list = 1; list <= edit::kPickListCount; ++list)
            edit::loadPickCombo(combos[static_cast<std::size_t>(list - 1)], lists.entries(list));
        const auto filled = Clock::now();
        if (lists.entries(edit::kPickListCount).size() != count) {
            std::fprintf(stderr, "shelvano_picklist_bench: a list lost entries\n");
            return 1;
        }
        loads.push_back(std::chrono::duration<double>(loaded - start).count());
        fills.push_back(std::chrono::duration<double>(filled - loaded).count());
    }
    const double load = median(loads);
    std::printf("%-40s  median %.3f s  (nine lists of %d entries; target <= %.1f s)   %s\n",
                "load_pick_lists", load, count, kLoadTarget, load <= kLoadTarget ? "ok" : "OVER");
    std::printf("%-40s  median %.3f s  (nine combo boxes; no target)\n", "fill_main_window_combos",
                median(fills));
    qDeleteAll(combos);
    return 0;
}

// shelvano_replace_bench [--records N] [--dir DIR]
//
// Search and replace on a generated book table in its default sort order with
// a search on, as the window's Start Search runs it: the in-use test and
// exclusive open, the order tag dropped, the walk and its posts, "NewIndex"
// made again and the table opened shared with the search's row map. One field
// matches every tenth book, another every book. With confirmation, the time
// from an answer to the next question. The page cache is warm.
#include "BenchSupport.h"
#include "MessageOnlyDialogs.h"

#include "db/BookDatabase.h"
#include "db/BookReplace.h"
#include "db/BookTable.h"
#include "db/FieldText.h"
#include "platform/ScriptedDialogs.h"

#include <QCoreApplication>

namespace {

using bench::Clock;
using platform::Button;

const char* const kProgram = "shelvano_replace_bench";
constexpr int kRuns = 3;
namespace f = db::fields;

// Answers every question at once, alternating Yes and No, and keeps how long the
// program took from each answer to the next question.
class AnsweringDialogs final : public MessageOnlyDialogs {
public:
    std::vector<double> gaps;
    int questions = 0;

    Button message(const QString& caption, const QString& text, platform::Buttons buttons,
                   Button defaultButton, platform::Icon icon) override
    {
        if (caption != QStringLiteral("Confirm"))
            return m_rest.message(caption, text, buttons, defaultButton, icon);
        if (m_answered)
            gaps.push_back(bench::secondsSince(*m_answered));
        m_answered = Clock::now();
        return ++questions % 2 ? Button::Yes : Button::No;
    }
    void restart() { m_answered.reset(); }
    const platform::ScriptedDialogs& rest() const { return m_rest; }

private:
    platform::ScriptedDialogs m_rest;
    std::optional<Clock::time_point> m_answered;
};

// The generator's books, USERDEF1 "MARK" on every tenth and USERDEF2 "ALL" on every one.
void writeMarkedBooks(const std::string& path, std::uint32_t records)
{
    dbase::Table::create(path, db::bookFieldSpecs());
    auto table = dbase::Table::open(path, dbase::Access::Exclusive);
    const bench::BookGenerator generator;
    bench::BookRecord book;
    table->beginBatch();
    for (std::uint32_t n = 0; n < records; ++n) {
        generator.generate(n, book);
        book[f::UserDef1] = n % 10 == 0 ? "MARK" : "";
        book[f::UserDef1 + 1] = "ALL";
        table->append();
        for (int field = 0; field < db::kBookFieldCount; ++field)
            table->setText(field, book[std::size_t(field)]);
        table->post();
    }
    table->endBatch();
    table->addTag(db::kOrderTag, bench::kAuthorOrderExpression);
}

void figure(const std::string& name, const std::vector<double>& runs, double target)
{
    const double worst = bench::worst(runs);
    bench::printFigure(
        name, "median " + bench::secondsText(bench::median(runs)) + ", worst " + bench::secondsText(worst),
        bench::shortest(target) + " s", worst > target);
}

void run(const bench::Options& options)
{
    const bench::WorkDirectory directory(options.directory, kProgram);
    const std::string books = (directory.path() / "BOOKS.DBF").string();
    bench::printLine(bench::loadAverageLine());
    writeMarkedBooks(books, options.records);

    db::BookTable table;
    AnsweringDialogs dialogs;
    bool searchOn = true;
    auto opened = dbase::Table::open(books);
    opened->setOrder(db::kOrderTag);
    // A search that holds about nine books in ten.
    table.adopt(std::move(opened),
                [&](const dbase::RecordView& r) { return !searchOn || r.text(f::Title).size() % 10 != 0; });
    db::ShortDateText dates;
    db::BookReplace::Hooks hooks;
    hooks.sortString = [] { return QString::fromLatin1(bench::kAuthorOrderExpression); };
    hooks.searchOn = [&] { return searchOn; };
    hooks.setSearchOn = [&](bool on) { searchOn = on; };
    db::BookReplace replace(table, dialogs, dates, hooks);
    const auto timed = [&](int field, const char* from, const char* to, std::uint64_t expected,
                           bool confirm) {
        const Clock::time_point start = Clock::now();
        bench::check(replace.run({field, from, to, confirm, false}) == db::BookReplace::Outcome::Finished,
                     "the replace finished");
        const double seconds = bench::secondsSince(start);
        bench::check(replace.counts().found == expected, "every match was found");
        bench::check(searchOn &&
                         QString::fromStdString(table.order()).compare(db::kOrderTag, Qt::CaseInsensitive) ==
                             0,
                     "the order and the search came back");
        return seconds;
    };

    const std::uint64_t tenth = (options.records + 9) / 10;
    std::vector<double> some, all;
    for (int run = 0; run < kRuns; ++run) {
        some.push_back(timed(f::UserDef1, "mark", "Done", tenth, false));
        timed(f::UserDef1, "done", "MARK", tenth, false);
        all.push_back(timed(f::UserDef1 + 1, "all", "Every", options.records, false));
        timed(f::UserDef1 + 1, "every", "ALL", options.records, false);
    }
    figure("replace, " + std::to_string(tenth) + " of " + std::to_string(options.records) + " changed", some,
           2.0);
    figure("replace, all " + std::to_string(options.records) + " changed", all, 4.0);

    dialogs.restart();
    timed(f::UserDef1, "mark", "Done", tenth, true);
    bench::printFigure("confirmed: answer to next question (" + std::to_string(dialogs.gaps.size()) + ")",
                       "median " + bench::millisecondsText(bench::median(dialogs.gaps)) + ", 99 % " +
                           bench::millisecondsText(bench::percentile(dialogs.gaps, 0.99)) + ", worst " +
                           bench::millisecondsText(bench::worst(dialogs.gaps)),
                       "20 ms", bench::worst(dialogs.gaps) > 0.020);
    for (const auto& message : dialogs.rest().transcript())
        if (message.caption == "Error")
            throw std::runtime_error(message.text.toStdString());
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const bench::Options options = bench::parseOptions(argc, argv, {kProgram, 100'000, 10, {}});
    return bench::runReportingErrors(kProgram, [&] { run(options); });
}

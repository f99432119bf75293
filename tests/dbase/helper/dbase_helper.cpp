// A second process for the engine tests: started with a command and a table
// path, it does the work and exits 0 on success.
//
//   hold PATH shared|exclusive|readonly   open, print "ready", wait for a line on stdin
//   writer PATH COUNT SEED                append COUNT records, editing and deleting as it goes
//   append-forever PATH [single|batch [PREFIX]]  append until killed, printing each record number
//                                         posted; titles are PREFIX-0, PREFIX-1, ...
//   pack PATH | addtag PATH | rebuild PATH   one exclusive operation, "started" printed first
//   pack-past-rename PATH PAUSE_MS        pack, printing "renamed" once the packed file has
//                                         replaced the table and pausing there, then "done"
#include "dbase/DatabaseError.h"
#include "dbase/MdxFile.h"
#include "dbase/Table.h"

#include <cstdio>
#include <cstring>
#include <iostream>
#include <random>
#include <string>
#include <unistd.h>

using namespace dbase;

namespace {

void fill(Table& table, const std::string& title, int year)
{
    table.setText("TITLE", title);
    table.setText("AUTHOR", "writer " + std::to_string(getpid()));
    table.setWhole(table.fieldIndex("YEARPUB"), year);
    table.setFloating(table.fieldIndex("COST"), year / 100.0);
}

int writer(const std::string& path, int count, unsigned seed)
{
    auto table = Table::open(path);
    std::mt19937 random(seed);
    int appended = 0, edited = 0, deleted = 0, conflicts = 0;
    for (int i = 0; i < count; ++i) {
        table->append();
        fill(*table, "w" + std::to_string(seed) + "-" + std::to_string(i), 1000 + int(random() % 9000));
        table->post();
        ++appended;
        if (random() % 4 == 0 || random() % 20 == 0) {
            std::uint32_t target = 1 + random() % table->physicalCount();
            if (!table->gotoBookmark(target))
                continue;
            try {
                if (random() % 5 == 0) {
                    table->deleteRecord();
                    ++deleted;
                } else {
                    table->edit();
                    table->setWhole(table->fieldIndex("YEARPUB"), 1000 + int(random() % 9000));
                    table->post();
                    ++edited;
                }
            } catch (const DatabaseError&) {
                // Another writer changed it between our read and our post: that is the refusal we expect.
                table->cancel();
                ++conflicts;
            }
        }
    }
    std::printf("appended %d edited %d deleted %d conflicts %d\n", appended, edited, deleted, conflicts);
    return 0;
}

int appendForever(const std::string& path, bool batch, const std::string& prefix)
{
    auto table = Table::open(path);
    if (batch)
        table->beginBatch();
    for (int i = 0;; ++i) {
        table->append();
        fill(*table, prefix + "-" + std::to_string(i), 1000 + (i * 7919) % 9000);
        table->post();
        std::printf("%u\n", table->recno());
        std::fflush(stdout);
    }
}

// The real file system, telling the test the moment a packed file has
// replaced the table, so that it can kill this process between that rename
// and the index rebuild that follows.
class SignallingFileSystem : public ForwardingFileSystem {
public:
    SignallingFileSystem(std::string table, int pauseMs) : m_table(std::move(table)), m_pauseMs(pauseMs) {}
    std::unique_ptr<File> open(const std::string& path, OpenMode mode) override
    {
        auto file = defaultFileSystem().open(path, mode);
        if (path.ends_with(".sort")) { // a tag's sort has begun to spill
            std::printf("spilling\n");
            std::fflush(stdout);
            usleep(static_cast<useconds_t>(m_pauseMs) * 1000);
        }
        return file;
    }
    void rename(const std::string& from, const std::string& to) override
    {
        defaultFileSystem().rename(from, to);
        if (to == m_table) {
            std::printf("renamed\n");
            std::fflush(stdout);
            usleep(static_cast<useconds_t>(m_pauseMs) * 1000);
        }
    }

private:
    std::string m_table;
    int m_pauseMs;
};

} // namespace

int main(int argc, char** argv)
{
    if (argc < 3) {
        std::fprintf(stderr, "dbase_helper: command and table path needed\n");
        return 2;
    }
    std::string command = argv[1], path = argv[2];
    try {
        if (command == "hold" && argc == 4) {
            std::string mode = argv[3];
            Access access = mode == "exclusive"  ? Access::Exclusive
                            : mode == "readonly" ? Access::ReadOnly
                                                 : Access::Shared;
            auto table = Table::open(path, access);
            std::printf("ready\n");
            std::fflush(stdout);
            std::string line;
            std::getline(std::cin, line);
            return 0;
        }
        if (command == "writer" && argc == 5)
            return writer(path, std::stoi(argv[3]), static_cast<unsigned>(std::stoul(argv[4])));
        if (command == "append-forever")
            return appendForever(path, argc > 3 && std::string(argv[3]) == "batch",
                                 argc > 4 ? argv[4] : "forever");
        if (command == "pack-past-rename" && argc == 4) {
            SignallingFileSystem fs(path, std::stoi(argv[3]));
            auto table = Table::open(path, Access::Exclusive, fs);
            table->pack();
            std::printf("done\n");
            return 0;
        }
        if (command == "addtag-spilling" && argc == 4) {
            MdxFile::setSortRunBytes(4096);
            SignallingFileSystem fs(path, std::stoi(argv[3]));
            Table::open(path, Access::Exclusive, fs)->addTag("LATE", "UPPER(AUTHOR)+UPPER(TITLE)");
            std::printf("done\n");
            return 0;
        }
        auto table = Table::open(path, Access::Exclusive);
        std::printf("started\n");
        std::fflush(stdout);
        if (command == "pack")
            table->pack();
        else if (command == "addtag")
            table->addTag("LATE", "UPPER(AUTHOR)+UPPER(TITLE)");
        else if (command == "rebuild")
            table->regenerateIndexes();
        else
            return 2;
        return 0;
    } catch (const std::exception& e) {
        std::fprintf(stderr, "dbase_helper: %s\n", e.what());
        return 1;
    }
}

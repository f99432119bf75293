#include "SqliteBench.h"

#include <sqlite3.h>

#include <filesystem>
#include <memory>
#include <stdexcept>

namespace bench {
namespace {

// No fsync per commit: our engine does not sync on post either.
constexpr const char* kPragmas = "PRAGMA cache_size=-8000; PRAGMA synchronous=OFF;";
constexpr const char* kKey = "upper(substr(author,1,20)), upper(substr(title,1,20)), "
                             "upper(substr(publisher,1,20)), cost";
constexpr std::size_t kBatchSize = 1024;

class Database {
public:
    explicit Database(const std::string& path)
    {
        if (sqlite3_open_v2(path.c_str(), &m_db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr) !=
            SQLITE_OK) {
            std::string message = m_db ? sqlite3_errmsg(m_db) : "out of memory";
            sqlite3_close(m_db);
            throw std::runtime_error("Cannot open " + path + ": " + message);
        }
        exec(kPragmas);
    }
    ~Database() { sqlite3_close(m_db); }
    Database(const Database&) = delete;
    Database& operator=(const Database&) = delete;

    void exec(const std::string& sql)
    {
        char* error = nullptr;
        if (sqlite3_exec(m_db, sql.c_str(), nullptr, nullptr, &error) != SQLITE_OK) {
            std::string message = error ? error : "unknown error";
            sqlite3_free(error);
            throw std::runtime_error("SQLite failed on \"" + sql + "\": " + message);
        }
    }
    sqlite3* handle() const { return m_db; }

private:
    sqlite3* m_db = nullptr;
};

class Statement {
public:
    Statement(Database& db, const std::string& sql) : m_db(db.handle())
    {
        if (sqlite3_prepare_v2(m_db, sql.c_str(), -1, &m_stmt, nullptr) != SQLITE_OK)
            throw std::runtime_error("SQLite cannot prepare \"" + sql + "\": " + sqlite3_errmsg(m_db));
    }
    ~Statement() { sqlite3_finalize(m_stmt); }
    Statement(const Statement&) = delete;
    Statement& operator=(const Statement&) = delete;

    // The text must stay unchanged until the statement has run.
    void bindText(int index, const std::string& text)
    {
        sqlite3_bind_text(m_stmt, index, text.data(), static_cast<int>(text.size()), SQLITE_STATIC);
    }
    void bindNull(int index) { sqlite3_bind_null(m_stmt, index); }
    void bindInt(int index, std::int64_t value) { sqlite3_bind_int64(m_stmt, index, value); }
    // Returns true while there is a row.
    bool step()
    {
        const int rc = sqlite3_step(m_stmt);
        if (rc == SQLITE_ROW)
            return true;
        if (rc != SQLITE_DONE)
            throw std::runtime_error(std::string("SQLite step failed: ") + sqlite3_errmsg(m_db));
        return false;
    }
    void reset() { sqlite3_reset(m_stmt); }
    std::string text(int column) const
    {
        const auto* bytes = reinterpret_cast<const char*>(sqlite3_column_text(m_stmt, column));
        return bytes ? std::string(bytes, static_cast<std::size_t>(sqlite3_column_bytes(m_stmt, column)))
                     : std::string();
    }
    std::int64_t integer(int column) const { return sqlite3_column_int64(m_stmt, column); }

private:
    sqlite3* m_db;
    sqlite3_stmt* m_stmt = nullptr;
};

std::string lowerCase(std::string_view name)
{
    std::string lower(name);
    for (char& c : lower)
        c = (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
    return lower;
}

std::string createTableSql()
{
    std::string sql = "CREATE TABLE books (";
    for (int i = 0; i < db::kBookFieldCount; ++i) {
        const db::BookField& field = db::bookFields()[i];
        sql += (i ? ", " : "") + lowerCase(field.name);
        switch (field.kind) {
        case dbase::FieldSpec::Kind::Whole:
        case dbase::FieldSpec::Kind::Logical:
            sql += " INTEGER";
            break;
        case dbase::FieldSpec::Kind::Floating:
            sql += " REAL";
            break;
        default:
            sql += " TEXT";
            break;
        }
    }
    return sql + ")";
}

std::string insertSql()
{
    std::string sql = "INSERT INTO books VALUES (";
    for (int i = 0; i < db::kBookFieldCount; ++i)
        sql += i ? ", ?" : "?";
    return sql + ")";
}

void consume(const std::string& text)
{
    static volatile std::size_t sink;
    sink = sink + text.size();
}

void copyFile(const std::string& from, const std::string& to)
{
    std::filesystem::copy_file(from, to, std::filesystem::copy_options::overwrite_existing);
}

} // namespace

SqliteBench::SqliteBench(const std::string& directory, std::uint32_t records, const BookGenerator& generator)
    : m_path(directory + "/books_" + std::to_string(records) + ".sqlite"), m_records(records),
      m_generator(generator)
{
}

std::string SqliteBench::settings()
{
    return std::string("SQLite ") + sqlite3_libversion() + " with " + kPragmas + " journal_mode=DELETE";
}

Measurement SqliteBench::append()
{
    std::filesystem::remove(m_path);
    std::filesystem::remove(m_path + "-journal");
    std::vector<BookRecord> batch;
    Stopwatch watch;
    watch.resume();
    auto db = std::make_unique<Database>(m_path);
    db->exec(createTableSql());
    db->exec(std::string("CREATE INDEX newindex ON books (") + kKey + ")");
    db->exec("BEGIN");
    {
        Statement insert(*db, insertSql());
        for (std::uint32_t first = 0; first < m_records; first += kBatchSize) {
            watch.pause();
            batch.resize(std::min<std::size_t>(kBatchSize, m_records - first));
            m_generator.generate(first, batch);
            watch.resume();
            for (const BookRecord& book : batch) {
                for (int i = 0; i < db::kBookFieldCount; ++i) {
                    if (book[i].empty() && db::bookFields()[i].kind != dbase::FieldSpec::Kind::Character)
                        insert.bindNull(i + 1);
                    else
                        insert.bindText(i + 1, book[i]);
                }
                insert.step();
                insert.reset();
            }
        }
    }
    db->exec("COMMIT");
    db.reset();
    watch.pause();
    return {watch.seconds()};
}

Measurement SqliteBench::buildTag()
{
    auto db = std::make_unique<Database>(m_path);
    db->exec("DROP INDEX IF EXISTS newindex");
    Stopwatch watch;
    watch.resume();
    db->exec(std::string("CREATE INDEX newindex ON books (") + kKey + ")");
    db.reset();
    watch.pause();
    return {watch.seconds()};
}

Measurement SqliteBench::openCount()
{
    Stopwatch watch;
    watch.resume();
    std::int64_t count = 0;
    {
        Database db(m_path);
        Statement select(db, "SELECT COUNT(*) FROM books");
        select.step();
        count = select.integer(0);
    }
    watch.pause();
    return {watch.seconds(), static_cast<std::uint64_t>(count)};
}

Measurement SqliteBench::firstRows()
{
    Stopwatch watch;
    watch.resume();
    {
        Database db(m_path);
        Statement select(db, std::string("SELECT title FROM books ORDER BY ") + kKey + " LIMIT " +
                                 std::to_string(kFirstRows));
        while (select.step())
            consume(select.text(0));
    }
    watch.pause();
    return {watch.seconds()};
}

Measurement SqliteBench::filteredWalk()
{
    Stopwatch watch;
    watch.resume();
    std::uint64_t matched = 0;
    {
        Database db(m_path);
        Statement select(db, std::string("SELECT title FROM books WHERE title LIKE '%") + kFilterWord +
                                 "%' ORDER BY " + kKey);
        while (select.step())
            ++matched;
    }
    watch.pause();
    return {watch.seconds(), matched};
}

Measurement SqliteBench::scan()
{
    Stopwatch watch;
    watch.resume();
    std::uint64_t rows = 0;
    {
        Database db(m_path);
        Statement select(db, "SELECT * FROM books");
        while (select.step())
            ++rows;
    }
    watch.pause();
    return {watch.seconds(), rows};
}

Measurement SqliteBench::postEdits()
{
    Database db(m_path);
    db.exec("CREATE INDEX IF NOT EXISTS checkout ON books (checkout)");
    Statement select(db, "SELECT checkout FROM books WHERE rowid = ?");
    Statement update(db, "UPDATE books SET checkout = ? WHERE rowid = ?");
    const int edits = editCount(m_records);
    Stopwatch watch;
    for (int i = 0; i < edits; ++i) {
        const std::uint32_t rowid = editedRecord(m_records, i);
        select.bindInt(1, rowid);
        if (!select.step())
            throw std::runtime_error("SQLite has no row " + std::to_string(rowid));
        const std::string flipped = select.text(0) == "Yes" ? "No" : "Yes";
        select.reset();
        watch.resume();
        update.bindText(1, flipped);
        update.bindInt(2, rowid);
        update.step();
        update.reset();
        watch.pause();
    }
    return {watch.seconds() / edits};
}

Measurement SqliteBench::pack()
{
    if (!m_deletedSaved) {
        Database(m_path).exec("DELETE FROM books WHERE rowid % 10 = 0");
        copyFile(m_path, m_path + ".deleted");
        m_deletedSaved = true;
    } else {
        copyFile(m_path + ".deleted", m_path);
    }
    auto db = std::make_unique<Database>(m_path);
    Stopwatch watch;
    watch.resume();
    db->exec("VACUUM");
    db.reset();
    watch.pause();
    return {watch.seconds()};
}

} // namespace bench

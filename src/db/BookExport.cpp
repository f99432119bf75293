#include "BookExport.h"

#include "BookDatabase.h"
#include "BookSchema.h"
#include "DurableFile.h"
#include "dbase/CodePage.h"
#include "dbase/DatabaseError.h"

#include <stdexcept>

namespace db {
namespace {

using dbase::FieldType;

constexpr int kFieldCap = 255; // characters of a written field, leading comma and quotes included
constexpr std::size_t kFlushAt = 1 << 20;

std::string valueText(const dbase::Table& source, int index, const DateText& dates)
{
    const dbase::Field& field = source.fields().at(static_cast<std::size_t>(index));
    std::string text;
    switch (field.type) {
    case FieldType::Date: {
        dbase::Date date = source.date(index);
        return date.isNull() ? std::string() : dates.write(date).toStdString();
    }
    case FieldType::Memo:
        text = source.memo(index);
        break;
    default:
        text = source.text(index);
        break;
    }
    // A line end inside a value would split the record when it is read back.
    for (char& c : text)
        if (static_cast<unsigned char>(c) < 32)
            c = ' ';
    return text;
}

// Text in Windows-1252; a character it lacks becomes "?".
std::string toWindows1252(const std::string& utf8)
{
    const dbase::CodePage& page = dbase::CodePage::windows1252();
    std::string out, bad;
    if (page.encode(utf8, out, bad))
        return out;
    out.clear();
    std::string one;
    for (std::size_t i = 0; i < utf8.size();) {
        std::size_t next = i + 1;
        while (next < utf8.size() && (static_cast<unsigned char>(utf8[next]) & 0xC0) == 0x80)
            ++next;
        out += page.encode(utf8.substr(i, next - i), one, bad) ? one : std::string("?");
        i = next;
    }
    return out;
}

// The written file, a block at a time.
class OutputFile {
public:
    explicit OutputFile(dbase::File& file) : m_file(file) {}
    void write(std::string& pending)
    {
        m_file.writeAt(m_offset, pending.data(), pending.size());
        m_offset += pending.size();
        pending.clear();
    }

private:
    dbase::File& m_file;
    std::uint64_t m_offset = 0;
};

// Runs `work` on the temporary file of `target`, then puts it in place durably; removes it on failure.
// The engine creates the table itself, so replaceFile(), which hands out an open file, does not serve.
template <class Work> void replaceThrough(dbase::FileSystem& fs, const std::string& target, Work work)
{
    const std::string temporary = temporaryPathFor(target);
    try {
        work(temporary);
        syncFile(temporary, fs);
        fs.rename(temporary, target);
        fs.syncDirectory(dbase::directoryOf(target));
    } catch (...) {
        try {
            if (fs.exists(temporary))
                fs.remove(temporary);
        } catch (const dbase::DatabaseError&) {
            // The failure that stopped the export is the one to report.
        }
        throw;
    }
}

dbase::FieldSpec exportSpec(int index)
{
    const BookField& book = bookFields().at(static_cast<std::size_t>(index));
    return {std::string(book.key), book.kind, book.width};
}

} // namespace

std::string quotedValue(const std::string& utf8, int budget)
{
    std::string out = "\"";
    int used = 2;
    for (std::size_t i = 0; i < utf8.size();) {
        std::size_t next = i + 1;
        while (next < utf8.size() && (static_cast<unsigned char>(utf8[next]) & 0xC0) == 0x80)
            ++next;
        const int cost = utf8[i] == '"' ? 2 : 1;
        if (used + cost > budget)
            break; // a doubled quote is never split
        out.append(utf8, i, next - i);
        if (utf8[i] == '"')
            out.push_back('"');
        used += cost;
        i = next;
    }
    out.push_back('"');
    return out;
}

void exportText(dbase::Table& source, const std::vector<std::uint32_t>& recnos, const ExportOptions& options,
                const DateText& dates, const std::string& target, dbase::FileSystem& fs,
                const ExportProgress& progress)
{
    replaceFile(
        target,
        [&](dbase::File& out) {
            OutputFile file(out);
            std::string pending = options.windows1252 ? std::string() : std::string("\xEF\xBB\xBF");
            std::string line;
            auto writeLine = [&](const auto& valueOf) {
                line.clear();
                for (std::size_t i = 0; i < options.fields.size(); ++i) {
                    if (i > 0)
                        line.push_back(',');
                    line += quotedValue(valueOf(i), kFieldCap - (i > 0 ? 1 : 0));
                }
                line += "\r\n";
                pending += options.windows1252 ? toWindows1252(line) : line;
                if (pending.size() >= kFlushAt)
                    file.write(pending);
            };
            if (!options.labels.empty())
                writeLine([&](std::size_t i) { return options.labels.at(i).toStdString(); });
            std::size_t written = 0;
            for (std::uint32_t recno : recnos) {
                if (!source.gotoBookmark(recno))
                    continue; // deleted by another program since the list was taken
                writeLine([&](std::size_t i) { return valueText(source, options.fields[i], dates); });
                if (progress && (++written & 255) == 0)
                    progress(written);
            }
            file.write(pending);
            if (progress)
                progress(written);
        },
        fs);
}

void exportDbase(dbase::Table& source, const std::vector<std::uint32_t>& recnos,
                 const std::vector<int>& fields, const std::string& target, dbase::FileSystem& fs,
                 const ExportProgress& progress)
{
    std::vector<dbase::FieldSpec> specs;
    for (int index : fields)
        specs.push_back(exportSpec(index));
    replaceThrough(fs, target, [&](const std::string& temporary) {
        dbase::Table::create(temporary, specs, fs);
        auto out = dbase::Table::open(temporary, dbase::Access::Exclusive, fs);
        out->beginBatch();
        std::size_t written = 0;
        for (std::uint32_t recno : recnos) {
            if (!source.gotoBookmark(recno))
                continue;
            out->append();
            for (std::size_t i = 0; i < fields.size(); ++i) {
                const int from = fields[i];
                const int to = static_cast<int>(i);
                if (source.isBlank(from))
                    continue;
                switch (source.fields().at(static_cast<std::size_t>(from)).type) {
                case FieldType::Date:
                    out->setDate(to, source.date(from));
                    break;
                case FieldType::Memo:
                    out->setText(to, source.memo(from));
                    break;
                default:
                    out->setText(to, source.text(from));
                    break;
                }
            }
            out->post();
            if (progress && (++written & 255) == 0)
                progress(written);
        }
        out->endBatch();
        out.reset();
        if (progress)
            progress(written);
    });
    // The index of the table this one replaced describes other records.
    const std::string stale = indexPathOf(QString::fromStdString(target)).toStdString();
    if (fs.exists(stale))
        fs.remove(stale);
}

std::vector<std::uint32_t> exportRecords(BookTable& books, bool searchOnly, dbase::Table& own)
{
    if (searchOnly) {
        std::vector<std::uint32_t> rows;
        rows.reserve(static_cast<std::size_t>(books.rowCount()));
        for (int row = 0; row < books.rowCount(); ++row)
            rows.push_back(books.recnoAt(row));
        return rows;
    }
    // The whole table in the current order, whether or not a search is on. The
    // walk then goes by record number, which needs no look-up in the tag.
    own.setOrder(books.table().order());
    std::vector<std::uint32_t> records = own.visibleRecords();
    own.setOrder({});
    return records;
}

void exportBooks(BookTable& books, bool searchOnly, ExportKind kind, const ExportOptions& options,
                 const DateText& dates, const std::string& target, dbase::FileSystem& fs,
                 const ExportProgress& progress)
{
    auto own = dbase::Table::open(books.table().path(), dbase::Access::Shared, fs);
    const std::vector<std::uint32_t> recnos = exportRecords(books, searchOnly, *own);
    if (kind == ExportKind::Text)
        exportText(*own, recnos, options, dates, target, fs, progress);
    else
        exportDbase(*own, recnos, options.fields, target, fs, progress);
}

} // namespace db

#include "reports/ReportFile.h"

#include "db/DurableFile.h"
#include "reports/definition/BuiltInReports.h"

#include <cerrno>
#include <charconv>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace reports {

namespace {

constexpr std::size_t kNameField = 31;

// An exclusive advisory lock on the report file for one read-modify-write.
// The lock sits on the file's inode, which a rename replaces: after waiting,
// the lock is taken again when the path names another file by then.
class FileLock {
public:
    explicit FileLock(const std::string& path)
    {
        for (;;) {
            m_fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
            if (m_fd < 0 && errno == ENOENT)
                m_fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644); // never truncates
            if (m_fd < 0)
                throw dbase::IoError(path, "open", errno);
            while (::flock(m_fd, LOCK_EX) != 0)
                if (errno != EINTR)
                    throw dbase::IoError(path, "lock", errno);
            struct stat held {};
            struct stat named {};
            if (::fstat(m_fd, &held) == 0 && ::stat(path.c_str(), &named) == 0 &&
                held.st_ino == named.st_ino && held.st_dev == named.st_dev)
                return;
            ::close(m_fd);
        }
    }
    ~FileLock() { ::close(m_fd); } // closing releases the lock
    FileLock(const FileLock&) = delete;
    FileLock& operator=(const FileLock&) = delete;

private:
    int m_fd = -1;
};

} // namespace

ReportFile::ReportFile(std::string path, dbase::FileSystem& fs) : m_path(std::move(path)), m_fs(fs) {}

std::vector<std::string> ReportFile::list() const
{
    std::vector<std::string> names;
    std::unique_ptr<dbase::File> file;
    try {
        file = m_fs.open(m_path, dbase::OpenMode::ReadOnly);
    } catch (const dbase::IoError&) {
        return names;
    }
    const std::uint64_t count = file->size() / kDefinitionSize;
    names.reserve(count);
    std::uint8_t field[kNameField];
    for (std::uint64_t i = 0; i < count; ++i) {
        file->readExact(i * kDefinitionSize, field, kNameField);
        names.push_back(decodeName(field));
    }
    return names;
}

std::optional<ReportDefinition> ReportFile::read(int index) const
{
    std::unique_ptr<dbase::File> file = m_fs.open(m_path, dbase::OpenMode::ReadOnly);
    if (index < 0 || std::uint64_t(index) >= file->size() / kDefinitionSize)
        return std::nullopt;
    DefinitionBytes bytes;
    file->readExact(std::uint64_t(index) * kDefinitionSize, bytes.data(), bytes.size());
    return decodeDefinition(bytes);
}

std::vector<std::uint8_t> ReportFile::wholeRecords() const
{
    std::unique_ptr<dbase::File> file;
    try {
        file = m_fs.open(m_path, dbase::OpenMode::ReadOnly);
    } catch (const dbase::IoError& e) {
        if (e.errorNumber() == ENOENT)
            return {};
        throw;
    }
    std::vector<std::uint8_t> bytes(std::size_t(file->size() / kDefinitionSize * kDefinitionSize));
    file->readExact(0, bytes.data(), bytes.size());
    return bytes;
}

void ReportFile::rewrite(const std::vector<std::uint8_t>& bytes)
{
    db::replaceFile(
        m_path, [&](dbase::File& out) { out.writeAt(0, bytes.data(), bytes.size()); }, m_fs);
}

void ReportFile::checkName(const std::vector<std::uint8_t>& bytes, int index,
                           const std::string& expectedName) const
{
    const std::size_t count = bytes.size() / kDefinitionSize;
    if (index < 0 || std::size_t(index) >= count ||
        decodeName(std::span(bytes).subspan(std::size_t(index) * kDefinitionSize, kNameField)) !=
            expectedName)
        throw ReportChangedError();
}

int ReportFile::append(const std::vector<ReportDefinition>& definitions)
{
    std::vector<DefinitionBytes> records;
    for (const ReportDefinition& d : definitions)
        records.push_back(encodeDefinition(d));
    FileLock lock(m_path);
    std::vector<std::uint8_t> bytes = wholeRecords();
    const int position = int(bytes.size() / kDefinitionSize);
    for (const DefinitionBytes& record : records)
        bytes.insert(bytes.end(), record.begin(), record.end());
    rewrite(bytes);
    return position;
}

void ReportFile::overwrite(int index, const ReportDefinition& definition, const std::string& expectedName)
{
    const DefinitionBytes record = encodeDefinition(definition);
    FileLock lock(m_path);
    std::vector<std::uint8_t> bytes = wholeRecords();
    checkName(bytes, index, expectedName);
    std::copy(record.begin(), record.end(),
              bytes.begin() + std::ptrdiff_t(std::size_t(index) * kDefinitionSize));
    rewrite(bytes);
}

void ReportFile::remove(int index, const std::string& expectedName)
{
    FileLock lock(m_path);
    std::vector<std::uint8_t> bytes = wholeRecords();
    checkName(bytes, index, expectedName);
    const auto at = bytes.begin() + std::ptrdiff_t(std::size_t(index) * kDefinitionSize);
    bytes.erase(at, at + std::ptrdiff_t(kDefinitionSize));
    rewrite(bytes);
}

std::string ensureReportFile(const std::string& dataDir, dbase::FileSystem& fs)
{
    const std::string found = dbase::findFileIgnoringCase(dataDir, kReportFileName, fs);
    if (!found.empty())
        return found;
    const std::string path = dataDir + "/" + kReportFileName;
    std::vector<std::uint8_t> bytes;
    for (const ReportDefinition& d : builtInReports()) {
        const DefinitionBytes record = encodeDefinition(d);
        bytes.insert(bytes.end(), record.begin(), record.end());
    }
    db::replaceFile(
        path, [&](dbase::File& out) { out.writeAt(0, bytes.data(), bytes.size()); }, fs);
    return path;
}

OldReportConversion convertOldReports(const std::string& dataDir, ReportFile& target,
                                      std::optional<std::pair<std::uint64_t, std::int64_t>> alreadyConverted,
                                      dbase::FileSystem& fs)
{
    OldReportConversion result;
    const std::string path = dbase::findFileIgnoringCase(dataDir, kOldReportFileName, fs);
    if (path.empty())
        return result;
    result.found = true;
    std::unique_ptr<dbase::File> file;
    try {
        file = fs.open(path, dbase::OpenMode::ReadOnly);
    } catch (const dbase::IoError&) {
        return result; // no message: the user cannot act on it before the next start
    }
    const dbase::FileStamp stamp = file->stamp();
    result.size = stamp.size;
    result.mtimeNs = stamp.mtimeNs;
    if (alreadyConverted && alreadyConverted->first == stamp.size &&
        alreadyConverted->second == stamp.mtimeNs)
        return result;
    // Reports appended from a file that cannot then be deleted would be appended again at every start.
    if (::access(dataDir.c_str(), W_OK) != 0) {
        result.message = "The reports of the older report file " + path +
                         " were not converted: the data directory cannot be written to.";
        return result;
    }
    const std::uint64_t count = stamp.size / kOldDefinitionSize;
    std::vector<ReportDefinition> converted;
    std::array<std::uint8_t, kOldDefinitionSize> record;
    try {
        for (std::uint64_t i = 0; i < count; ++i) {
            file->readExact(i * kOldDefinitionSize, record.data(), record.size());
            ReportDefinition d = decodeOldDefinition(record);
            if (!isOldBuiltInName(d.name))
                converted.push_back(std::move(d));
        }
    } catch (const dbase::DatabaseError& e) {
        result.message = "The older report file " + path + " could not be read; it was kept. " + e.what();
        return result;
    }
    file.reset();
    if (!converted.empty())
        target.append(converted);
    result.appended = int(converted.size());
    result.converted = true;
    if (stamp.size % kOldDefinitionSize != 0) {
        result.message = "The older report file " + path +
                         " ends with a damaged report; it was kept. The reports before it were converted.";
        return result;
    }
    try {
        db::removeFile(path, fs);
        result.deleted = true;
    } catch (const dbase::IoError& e) {
        result.message =
            std::string("The older report file was converted but could not be deleted. ") + e.what();
    }
    return result;
}

std::string rememberedConversion(const OldReportConversion& conversion, const std::string& previous)
{
    if (!conversion.found || conversion.deleted)
        return std::string();
    if (!conversion.converted)
        return previous;
    return std::to_string(conversion.size) + ' ' + std::to_string(conversion.mtimeNs);
}

std::optional<std::pair<std::uint64_t, std::int64_t>> parseRememberedConversion(const std::string& text)
{
    std::uint64_t size = 0;
    std::int64_t mtime = 0;
    const char* end = text.data() + text.size();
    auto [atSpace, sizeError] = std::from_chars(text.data(), end, size);
    if (sizeError != std::errc() || atSpace == end || *atSpace != ' ')
        return std::nullopt;
    auto [atEnd, timeError] = std::from_chars(atSpace + 1, end, mtime);
    if (timeError != std::errc() || atEnd != end)
        return std::nullopt;
    return std::pair(size, mtime);
}

} // namespace reports

#include "ProfileFile.h"

#include <QStringDecoder>

#include <array>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <system_error>
#include <unistd.h>

namespace platform {
namespace fs = std::filesystem;

namespace {

// Windows-1252 bytes 0x80-0x9F; the others match Latin-1. Undefined bytes stay as their code.
constexpr std::array<char16_t, 32> kCp1252High{
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

QString decode(const QByteArray& bytes)
{
    QStringDecoder utf8(QStringDecoder::Utf8);
    QString text = utf8(bytes);
    if (!utf8.hasError())
        return text;
    text.clear();
    text.reserve(bytes.size());
    for (char c : bytes) {
        auto byte = static_cast<unsigned char>(c);
        text += byte >= 0x80 && byte < 0xA0 ? QChar(kCp1252High[byte - 0x80]) : QChar(byte);
    }
    return text;
}

std::string systemReason(int error)
{
    return std::strerror(error);
}

// Closes the descriptor on every path out of save().
class FileDescriptor {
public:
    explicit FileDescriptor(int fd) : m_fd(fd) {}
    ~FileDescriptor()
    {
        if (m_fd >= 0)
            ::close(m_fd);
    }
    FileDescriptor(const FileDescriptor&) = delete;
    FileDescriptor& operator=(const FileDescriptor&) = delete;
    int get() const { return m_fd; }
    int release() { return std::exchange(m_fd, -1); }

private:
    int m_fd;
};

QByteArray readAll(const fs::path& path)
{
    FileDescriptor fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
    if (fd.get() < 0) {
        if (errno == ENOENT)
            return {};
        throw ProfileError(path, "read", systemReason(errno));
    }
    QByteArray bytes;
    char buffer[8192];
    for (;;) {
        ssize_t n = ::read(fd.get(), buffer, sizeof buffer);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            throw ProfileError(path, "read", systemReason(errno));
        if (n == 0)
            return bytes;
        bytes.append(buffer, n);
    }
}

void writeAll(int fd, const QByteArray& bytes, const fs::path& temporary)
{
    const char* data = bytes.constData();
    qsizetype left = bytes.size();
    while (left > 0) {
        ssize_t n = ::write(fd, data, size_t(left));
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            throw ProfileError(temporary, "write", systemReason(errno));
        data += n;
        left -= n;
    }
}

// A new file beside `target` that no other writer uses.
int createTemporary(const fs::path& target, fs::path& temporary)
{
    for (int attempt = 0;; ++attempt) {
        temporary = target;
        temporary += ".tmp-" + std::to_string(::getpid()) + "-" + std::to_string(attempt);
        int fd = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd >= 0)
            return fd;
        if (errno != EEXIST || attempt == 100)
            throw ProfileError(target, "write", systemReason(errno));
    }
}

} // namespace

ProfileError::ProfileError(const fs::path& path, const std::string& action, const std::string& reason)
    : DatabaseError("Cannot " + action + " the settings file " + path.string() + ": " + reason + "."),
      m_path(path), m_reason(reason)
{
}

ProfileFile ProfileFile::load(const fs::path& path)
{
    return parse(readAll(path));
}

ProfileFile ProfileFile::parse(const QByteArray& bytes)
{
    ProfileFile profile;
    QString text = decode(bytes);
    if (text.startsWith(QChar(0xFEFF)))
        text.remove(0, 1);
    constexpr std::size_t none = std::size_t(-1);
    std::size_t current = none; // an index, as adding sections moves them
    for (QStringView line : QStringView(text).split(u'\n')) {
        line = line.trimmed();
        if (line.startsWith(u'[')) {
            qsizetype close = line.indexOf(u']');
            QString name = line.mid(1, close < 0 ? -1 : close - 1).trimmed().toString();
            current =
                name.isEmpty() ? none : std::size_t(&profile.sectionFor(name) - profile.m_sections.data());
            continue;
        }
        qsizetype equals = line.indexOf(u'=');
        if (current == none || equals <= 0 || line.startsWith(u';'))
            continue;
        Section& section = profile.m_sections[current];
        QString key = line.left(equals).trimmed().toString();
        if (!key.isEmpty() && !findEntry(section, key)) {
            section.index.insert(key.toCaseFolded(), section.entries.size());
            section.entries.push_back({key, line.mid(equals + 1).trimmed().toString()});
        }
    }
    return profile;
}

QByteArray ProfileFile::toBytes() const
{
    QString text;
    for (const Section& section : m_sections) {
        if (!text.isEmpty())
            text += u'\n';
        text += u'[' + section.name + QStringLiteral("]\n");
        for (const Entry& entry : section.entries)
            text += entry.key + u'=' + entry.value + u'\n';
    }
    return text.toUtf8();
}

void ProfileFile::save(const fs::path& requested) const
{
    std::error_code error;
    // Writing through a link keeps the link and changes the file it names (which may not exist yet).
    fs::path path = requested;
    for (int depth = 0; depth < 40 && fs::is_symlink(path, error); ++depth) {
        fs::path target = fs::read_symlink(path, error);
        if (error)
            break;
        path = target.is_absolute() ? target : path.parent_path() / target;
    }
    fs::path directory = path.parent_path().empty() ? fs::path(".") : path.parent_path();
    fs::create_directories(directory, error);
    if (error)
        throw ProfileError(path, "write", error.message());

    fs::path temporary;
    FileDescriptor fd(createTemporary(path, temporary));
    try {
        writeAll(fd.get(), toBytes(), temporary);
        if (::fsync(fd.get()) != 0)
            throw ProfileError(temporary, "write", systemReason(errno));
        if (::close(fd.release()) != 0)
            throw ProfileError(temporary, "write", systemReason(errno));
        if (::rename(temporary.c_str(), path.c_str()) != 0)
            throw ProfileError(path, "write", systemReason(errno));
    } catch (...) {
        ::unlink(temporary.c_str());
        throw;
    }
    // Makes the rename itself durable; some file systems refuse fsync on a directory, which
    // leaves the new file in place all the same.
    FileDescriptor dir(::open(directory.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (dir.get() >= 0)
        ::fsync(dir.get());
}

const ProfileFile::Section* ProfileFile::findSection(const QString& name) const
{
    auto found = m_index.constFind(name.toCaseFolded());
    return found == m_index.cend() ? nullptr : &m_sections[*found];
}

ProfileFile::Section& ProfileFile::sectionFor(const QString& name)
{
    QString folded = name.toCaseFolded();
    auto found = m_index.constFind(folded);
    if (found != m_index.cend())
        return m_sections[*found];
    m_index.insert(folded, m_sections.size());
    m_sections.push_back({name, {}, {}});
    return m_sections.back();
}

const ProfileFile::Entry* ProfileFile::findEntry(const Section& section, const QString& key)
{
    auto found = section.index.constFind(key.toCaseFolded());
    return found == section.index.cend() ? nullptr : &section.entries[*found];
}

std::optional<QString> ProfileFile::value(const QString& section, const QString& key) const
{
    if (const Section* found = findSection(section))
        if (const Entry* entry = findEntry(*found, key))
            return entry->value;
    return std::nullopt;
}

QString ProfileFile::value(const QString& section, const QString& key, const QString& fallback) const
{
    return value(section, key).value_or(fallback);
}

void ProfileFile::setValue(const QString& section, const QString& key, const QString& value)
{
    QString line = value;
    line.replace(u'\r', u' ').replace(u'\n', u' ');
    Section& target = sectionFor(section);
    QString folded = key.toCaseFolded();
    auto found = target.index.constFind(folded);
    if (found != target.index.cend()) {
        target.entries[*found].value = line;
        return;
    }
    target.index.insert(folded, target.entries.size());
    target.entries.push_back({key, line});
}

QStringList ProfileFile::sections() const
{
    QStringList names;
    for (const Section& section : m_sections)
        names << section.name;
    return names;
}

QStringList ProfileFile::keys(const QString& section) const
{
    QStringList names;
    if (const Section* found = findSection(section))
        for (const Entry& entry : found->entries)
            names << entry.key;
    return names;
}

void ProfileFile::addMissing(const ProfileFile& other)
{
    for (const Section& section : other.m_sections)
        for (const Entry& entry : section.entries)
            if (!value(section.name, entry.key))
                setValue(section.name, entry.key, entry.value);
}

} // namespace platform

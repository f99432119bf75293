#pragma once

#include "dbase/DatabaseError.h"

#include <QByteArray>
#include <QHash>
#include <QString>
#include <QStringList>

#include <filesystem>
#include <optional>
#include <vector>

namespace platform {

// A settings file that cannot be read or written; names the file and the system's reason.
class ProfileError : public dbase::DatabaseError {
public:
    ProfileError(const std::filesystem::path& path, const std::string& action, const std::string& reason);
    const std::filesystem::path& path() const { return m_path; }
    const std::string& reason() const { return m_reason; }

private:
    std::filesystem::path m_path;
    std::string m_reason;
};

// An initialisation file of [sections] and key=value lines, held in memory.
//
// Sections and keys are matched without regard to case; names keep the spelling
// they were first given, blanks inside included. Blanks around names and values
// are dropped. Of duplicate keys the first wins; a repeated section adds to the
// first. Lines that are neither a section nor key=value, and keys outside any
// section, are ignored; everything else, known to the program or not, is written
// back. The text is UTF-8; a file that is not valid UTF-8 is read as Windows-1252.
class ProfileFile {
public:
    // The file at `path`; an empty profile when there is none. Throws ProfileError
    // when the file exists but cannot be read.
    static ProfileFile load(const std::filesystem::path& path);
    static ProfileFile parse(const QByteArray& bytes);

    // Writes the whole profile in UTF-8 through a temporary file in the same directory,
    // flushed to disk and then renamed over `path`, so a failure leaves the old file
    // whole. Creates the directory when missing. Throws ProfileError.
    void save(const std::filesystem::path& path) const;
    QByteArray toBytes() const;

    std::optional<QString> value(const QString& section, const QString& key) const;
    QString value(const QString& section, const QString& key, const QString& fallback) const;
    // Line breaks in `value` become blanks, as a value is one line.
    void setValue(const QString& section, const QString& key, const QString& value);

    QStringList sections() const;
    QStringList keys(const QString& section) const;
    // Copies each key of `other` that this profile lacks, after the keys already here.
    void addMissing(const ProfileFile& other);

private:
    struct Entry {
        QString key;
        QString value;
    };
    struct Section {
        QString name;
        std::vector<Entry> entries;
        QHash<QString, std::size_t> index; // case-folded key -> position in entries
    };

    const Section* findSection(const QString& name) const;
    Section& sectionFor(const QString& name);
    static const Entry* findEntry(const Section& section, const QString& key);

    std::vector<Section> m_sections;
    QHash<QString, std::size_t> m_index; // case-folded section name -> position in m_sections
};

} // namespace platform

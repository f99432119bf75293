#include "PickLists.h"

#include "dbase/CodePage.h"
#include "edit/TypingLimit.h"
#include "platform/AppPaths.h"

#include <QComboBox>
#include <QCompleter>
#include <QFile>
#include <QLineEdit>
#include <QSaveFile>
#include <QSignalBlocker>
#include <QStringDecoder>

#include <algorithm>
#include <optional>
#include <stdexcept>
#include <system_error>
#include <utility>
#include <vector>

namespace fs = std::filesystem;

namespace edit {
namespace {

constexpr const char* kLeftAlone = "it could not be read when the lists were loaded, so it is left as it is";

// A line is read up to this many characters; the rest of it is dropped.
constexpr qsizetype kLineLimit = 255;

constexpr std::array<PickListInfo, kPickListCount> kLists{{
    {1, "AUTHOR.LST", "Author", "MyComboAuthor", "MenuMaintainAuthor", "&Author", "Author", 90},
    {2, "LOCATION.LST", "Location", "MyComboLocation", "MenuMaintainLocation", "&Location", "Location", 30},
    {3, "BOUGHT.LST", "WherePurch", "MyComboBought", "MenuMaintainPurchase", "&Where Purchased",
     "Purchased From", 30},
    {4, "CATEGORY.LST", "Category", "MyComboCategory", "MenuMaintainCategory", "&Category", "Category", 20},
    {5, "PUBLISH.LST", "Publisher", "MyComboPublisher", "MenuMaintainPublisher", "&Publisher", "Publisher",
     90},
    {6, "RATING.LST", "PersRating", "MyComboRating", "MenuMaintainRating", "&Rating", "Rating", 15},
    {7, "BOOKTYPE.LST", "BookType", "MyComboBookType", "MenuMaintainBookType", "&Book Type", "Book Type", 30},
    {8, "CHECKOUT.LST", "CheckName", "MyComboCheckOut", "MenuMaintainCheckOut", "Chec&k Out Person",
     "Check Out Person", 30},
    {9, "CONDITION.LST", "Condition", "MyComboCondition", "MenuMaintainCondition", "C&ondition", "Condition",
     20},
}};

QString qtPath(const fs::path& path)
{
    return QFile::decodeName(path.c_str());
}

bool isValidUtf8(const QByteArray& bytes, QString* text = nullptr)
{
    QStringDecoder decoder(QStringConverter::Utf8);
    QString decoded = decoder.decode(bytes);
    if (decoder.hasError())
        return false;
    if (text)
        *text = std::move(decoded);
    return true;
}

// Windows-1252 by a table taken once from the engine's code page.
class Windows1252 {
public:
    Windows1252()
    {
        for (int byte = 0x80; byte <= 0xFF; ++byte) {
            const char c = char(byte);
            const QString text = QString::fromStdString(dbase::CodePage::windows1252().decode({&c, 1}));
            m_high[std::size_t(byte - 0x80)] = text.isEmpty() ? u'?' : text.front().unicode();
        }
    }

    QString decode(const QByteArray& bytes) const
    {
        QString text(bytes.size(), Qt::Uninitialized);
        QChar* out = text.data();
        for (char c : bytes) {
            const auto byte = static_cast<unsigned char>(c);
            *out++ = byte < 0x80 ? QChar(byte) : QChar(m_high[byte - 0x80]);
        }
        return text;
    }

    // Empty when a character has no byte in the code page.
    std::optional<QByteArray> encode(QStringView text) const
    {
        QByteArray bytes(text.size(), Qt::Uninitialized);
        char* out = bytes.data();
        for (QChar c : text) {
            if (c.unicode() < 0x80) {
                *out++ = char(c.unicode());
                continue;
            }
            const auto found = std::find(m_high.begin(), m_high.end(), c.unicode());
            if (found == m_high.end())
                return std::nullopt;
            *out++ = char(0x80 + (found - m_high.begin()));
        }
        return bytes;
    }

private:
    std::array<char16_t, 128> m_high{};
};

const Windows1252& windows1252()
{
    static const Windows1252 codePage;
    return codePage;
}

QString decodeListFile(const QByteArray& bytes)
{
    if (bytes.startsWith("\xFF\xFE"))
        return QStringDecoder(QStringConverter::Utf16LE).decode(bytes);
    if (bytes.startsWith("\xFE\xFF"))
        return QStringDecoder(QStringConverter::Utf16BE).decode(bytes);
    QString text;
    if (isValidUtf8(bytes, &text))
        return text;
    return windows1252().decode(bytes);
}

// Control characters (C0, DEL, C1), tabs and byte order marks.
bool needsCleaning(QChar c)
{
    const char16_t u = c.unicode();
    return u < 0x20 || (u >= 0x7F && u <= 0x9F) || u == 0xFEFF;
}

// Tabs become blanks, the other characters needsCleaning() finds are dropped; then trimmed.
QString withoutControls(QStringView text)
{
    QString entry;
    entry.reserve(text.size());
    for (QChar c : text) {
        if (c == u'\t')
            entry += u' ';
        else if (!needsCleaning(c))
            entry += c;
    }
    return entry.trimmed();
}

// Throws the one failure, or one error whose message gives each in turn; nothing when empty.
void throwFailures(const std::vector<PickListError>& failures)
{
    if (failures.size() == 1)
        throw failures.front();
    if (!failures.empty()) {
        std::string message;
        for (const PickListError& failure : failures)
            message += (message.empty() ? "" : "  ") + std::string(failure.what());
        throw PickListError(failures.front(), message);
    }
}

QStringView firstCharacters(QStringView line)
{
    if (line.size() <= kLineLimit)
        return line;
    // Never keep half of a surrogate pair.
    return line.first(line[kLineLimit - 1].isHighSurrogate() ? kLineLimit - 1 : kLineLimit);
}

} // namespace

const std::array<PickListInfo, kPickListCount>& pickListInfos()
{
    return kLists;
}

const PickListInfo& pickListInfo(int list)
{
    if (list < 1 || list > kPickListCount)
        throw std::out_of_range("There is no pick list " + std::to_string(list) + ".");
    return kLists[std::size_t(list - 1)];
}

PickListError::PickListError(const fs::path& path, const std::string& action, const std::string& reason)
    : DatabaseError("Cannot " + action + " the list file " + path.string() + ": " + reason + "."),
      m_path(path), m_reason(reason)
{
}

PickListError::PickListError(const PickListError& first, const std::string& message)
    : DatabaseError(message), m_path(first.m_path), m_reason(first.m_reason)
{
}

QString cleanEntry(const QString& text)
{
    // Shares `text` when there is nothing to change.
    return std::none_of(text.begin(), text.end(), needsCleaning) ? text.trimmed() : withoutControls(text);
}

QStringList parsePickList(const QByteArray& bytes)
{
    const QString text = decodeListFile(bytes);
    const QStringView view(text);
    QStringList entries;
    qsizetype start = 0;
    for (qsizetype i = 0; i <= view.size(); ++i) {
        if (i < view.size() && view[i] != u'\n' && view[i] != u'\r')
            continue;
        const QStringView line = firstCharacters(view.sliced(start, i - start));
        QString entry = std::none_of(line.begin(), line.end(), needsCleaning) ? line.trimmed().toString()
                                                                              : withoutControls(line);
        if (!entry.isEmpty())
            entries.append(std::move(entry));
        start = i + 1;
    }
    return entries;
}

QByteArray serialisePickList(const QStringList& entries)
{
    QString text;
    for (const QString& entry : entries) {
        const QString cleaned = cleanEntry(entry);
        if (cleaned.isEmpty())
            continue;
        text += cleaned;
        text += QLatin1String("\r\n");
    }
    const QByteArray utf8 = text.toUtf8();
    const std::optional<QByteArray> windows = windows1252().encode(text);
    // Code page bytes that a reader would take for UTF-8 (pure ASCII reads the same either way).
    if (!windows || (*windows != utf8 && isValidUtf8(*windows)))
        return utf8;
    return *windows;
}

PickLists::PickLists(fs::path dataDir, QObject* parent) : QObject(parent), m_dataDir(std::move(dataDir)) {}

PickLists::List& PickLists::at(int list)
{
    return m_lists[std::size_t(pickListInfo(list).number - 1)];
}

const PickLists::List& PickLists::at(int list) const
{
    return m_lists[std::size_t(pickListInfo(list).number - 1)];
}

fs::path PickLists::filePath(int list) const
{
    const char* name = pickListInfo(list).fileName;
    fs::path found = platform::findFileIgnoringCase(m_dataDir, name);
    return found.empty() ? m_dataDir / name : found;
}

void PickLists::loadAll()
{
    // One bad file must not keep the others from being read: a list never read would be
    // taken for an empty one and written over by the next save.
    std::vector<PickListError> failures;
    for (int list = 1; list <= kPickListCount; ++list) {
        try {
            load(list);
        } catch (const PickListError& failure) {
            failures.push_back(failure);
        }
    }
    throwFailures(failures);
}

void PickLists::load(int list)
{
    const fs::path path = filePath(list);
    QFile file(qtPath(path));
    QStringList entries;
    bool unreadable = false;
    if (file.open(QIODevice::ReadOnly)) {
        const QByteArray bytes = file.readAll();
        if (file.error() != QFileDevice::NoError) {
            // What it held stays, but is never written over the file it could not read.
            at(list).unreadable = true;
            throw PickListError(path, "read", file.errorString().toStdString());
        }
        entries = parsePickList(bytes);
    } else {
        std::error_code error;
        unreadable = fs::exists(path, error);
    }
    List& held = at(list);
    held.entries = std::move(entries);
    held.unreadable = unreadable;
    held.dirty = false;
    emit changed(list);
}

void PickLists::saveAll()
{
    std::vector<PickListError> failures;
    for (int list = 1; list <= kPickListCount; ++list) {
        List& held = at(list);
        if (held.unreadable) {
            if (held.dirty)
                failures.emplace_back(filePath(list), "write", kLeftAlone);
            continue;
        }
        std::error_code error;
        if (!held.dirty && fs::exists(filePath(list), error))
            continue;
        try {
            save(list);
            held.dirty = false;
        } catch (const PickListError& failure) {
            failures.push_back(failure);
        }
    }
    throwFailures(failures);
}

void PickLists::saveList(int list)
{
    List& held = at(list);
    if (!held.dirty)
        return;
    if (held.unreadable)
        throw PickListError(filePath(list), "write", kLeftAlone);
    save(list);
    held.dirty = false;
}

void PickLists::save(int list) const
{
    const fs::path path = filePath(list);
    QSaveFile file(qtPath(path));
    if (!file.open(QIODevice::WriteOnly))
        throw PickListError(path, "write", file.errorString().toStdString());
    const QByteArray bytes = serialisePickList(at(list).entries);
    if (file.write(bytes) != bytes.size() || !file.commit())
        throw PickListError(path, "write", file.errorString().toStdString());
}

const QStringList& PickLists::entries(int list) const
{
    return at(list).entries;
}

void PickLists::setEntries(int list, const QStringList& entries)
{
    QStringList cleaned;
    cleaned.reserve(entries.size());
    for (const QString& entry : entries)
        if (QString text = cleanEntry(entry); !text.isEmpty())
            cleaned.append(std::move(text));
    List& held = at(list);
    if (cleaned == held.entries)
        return;
    held.entries = std::move(cleaned);
    held.dirty = true;
    emit changed(list);
}

bool PickLists::add(int list, const QString& text)
{
    QString entry = cleanEntry(text);
    List& held = at(list);
    if (entry.isEmpty() || held.entries.contains(entry, Qt::CaseSensitive))
        return false;
    held.entries.append(std::move(entry));
    held.dirty = true;
    emit changed(list);
    return true;
}

void setUpPickCombo(QComboBox* combo, int maxLength)
{
    combo->setEditable(true); // makes a new, case-insensitive completer: replaced below
    combo->setInsertPolicy(QComboBox::NoInsert);
    auto* completer = new QCompleter(combo->model(), combo);
    completer->setCaseSensitivity(Qt::CaseSensitive);
    // Inline completion would turn "Smith" typed before Enter into a longer "Smithson".
    completer->setCompletionMode(QCompleter::PopupCompletion);
    combo->setCompleter(completer);
    limitTyping(combo->lineEdit(), maxLength); // a value chosen or loaded is never cut
    combo->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
}

void loadPickCombo(QComboBox* combo, const QStringList& entries)
{
    const QSignalBlocker blocker(combo);
    const QString text = combo->currentText();
    combo->clear();
    combo->addItems(entries);
    combo->setCurrentIndex(combo->findText(text, Qt::MatchExactly | Qt::MatchCaseSensitive));
    if (combo->isEditable())
        combo->setEditText(text);
}

} // namespace edit

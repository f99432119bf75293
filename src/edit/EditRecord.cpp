#include "EditRecord.h"

#include "db/BookTable.h"
#include "db/FieldText.h"
#include "dbase/DatabaseError.h"
#include "edit/DateMask.h"
#include "settings/NumberText.h"

namespace edit {
namespace {

using namespace db::fields;

// The fields written exactly as typed; the user-defined ones are written trimmed.
constexpr int kAsTyped[] = {Title,       Author,    YearPub,   Publisher, Category,   WherePurch,
                            Description, Isbn,      Rating,    BookType,  CatalogNum, Sub1,
                            Sub2,        CheckName, Volume,    Issue,     Edition,    KeyWords,
                            Pages,       Location,  Condition, Editor,    Dewey};
const QString kYes = QStringLiteral("Yes");

int dateSlot(int field)
{
    return field == kDateFields[0] ? 0 : 1;
}

// A blank inside a date's text leaves it unclear which digits belong to which part.
bool hasBlankInside(const QString& text)
{
    for (QChar c : text.trimmed())
        if (c.isSpace())
            return true;
    return false;
}

// The engine's refusal of a value, naming the field by the title the user knows it by.
QString refusalWithTitle(const dbase::DatabaseError& error, const dbase::Field& field, const QString& title)
{
    QString message = QString::fromUtf8(error.what());
    message.replace(QStringLiteral("the field ") + QString::fromStdString(field.name), title);
    return message;
}

} // namespace

QString inputRefusal(int field)
{
    switch (field) {
    case CheckDate:
        return QStringLiteral("Invalid check out date specified.  Please correct.");
    case PurchDate:
        return QStringLiteral("Invalid purchase date specified.  Please correct.");
    case Cost:
        return QStringLiteral("Invalid cost specified.  Please correct.");
    case Value:
        return QStringLiteral("Invalid value specified.  Please correct.");
    case LowMarket:
        return QStringLiteral("Invalid low market value specified.  Please correct.");
    default:
        return QStringLiteral("Invalid high market value specified.  Please correct.");
    }
}

EditRecord::EditRecord(const db::DateText& dates, const settings::NumberText& numbers)
    : m_dates(dates), m_numbers(numbers)
{
}

EditValues EditRecord::load(const db::BookTable& books)
{
    m_loaded = {};
    m_recno = 0;
    m_recnoWritten = false;
    EditValues values;
    if (!books.isOpen())
        return values;
    const db::BookTable& table = books;
    if (table.isEmpty() || table.recno() == 0)
        return values;
    m_recno = table.recno();
    for (int field = 0; field < db::kBookFieldCount; ++field) {
        if (field == CheckOut)
            values.checkedOut = table.fieldText(field, m_dates) == kYes;
        else if (db::isMoneyField(field))
            values.texts[field] = table.isBlank(field) ? QString() : moneyText(table.floating(field));
        else
            values.texts[field] = table.fieldText(field, m_dates);
    }
    for (int field : kDateFields)
        m_loaded[dateSlot(field)] = LoadedDate{values.texts[field], table.date(field)};
    return values;
}

EditValues EditRecord::cleared()
{
    EditValues values;
    for (int field : kMoney)
        values.texts[field] = QStringLiteral("0");
    return values;
}

bool EditRecord::changed(const EditValues& now) const
{
    if (now.checkedOut != m_snapshot.checkedOut)
        return true;
    for (int field = 0; field < db::kBookFieldCount; ++field) {
        const bool date = db::isDateField(field);
        if (date ? now.texts[field].trimmed() != m_snapshot.texts[field].trimmed()
                 : now.texts[field] != m_snapshot.texts[field])
            return true;
    }
    return false;
}

const EditRecord::LoadedDate* EditRecord::unchangedDate(int slot, const QString& text) const
{
    const std::optional<LoadedDate>& loaded = m_loaded[std::size_t(slot)];
    return loaded && loaded->text.trimmed() == text.trimmed() ? &*loaded : nullptr;
}

std::optional<Refusal> EditRecord::checkDate(const EditValues& values, int field) const
{
    const QString text = values.texts[field].trimmed();
    if (isEmptyDateText(text))
        return std::nullopt;
    if (!hasBlankInside(text) && (unchangedDate(dateSlot(field), text) || m_dates.read(text)))
        return std::nullopt;
    return Refusal{field, inputRefusal(field)};
}

std::optional<Refusal> EditRecord::check(const EditValues& values, const db::BookTable& table,
                                         const std::function<QString(int)>& title) const
{
    for (int field : kDateFields)
        if (auto refused = checkDate(values, field))
            return refused;
    std::array<double, kMoney.size()> money{};
    for (std::size_t i = 0; i < kMoney.size(); ++i) {
        std::optional<double> value = moneyValue(values.texts[kMoney[i]]);
        if (!value)
            return Refusal{kMoney[i], inputRefusal(kMoney[i])};
        money[i] = *value;
    }

    // What the engine would refuse half-way through writing, refused before anything is written.
    const std::vector<dbase::Field>& tableFields = table.fields();
    for (int field : kWholeNumbers) {
        try {
            table.checkNumberText(field, values.texts[field]);
        } catch (const dbase::DatabaseError& error) {
            return Refusal{field, refusalWithTitle(error, tableFields.at(std::size_t(field)), title(field))};
        }
    }
    for (std::size_t i = 0; i < kMoney.size(); ++i) {
        try {
            table.checkNumber(kMoney[i], money[i]);
        } catch (const dbase::DatabaseError& error) {
            return Refusal{kMoney[i],
                           refusalWithTitle(error, tableFields.at(std::size_t(kMoney[i])), title(kMoney[i]))};
        }
    }
    for (int field = 0; field < db::kBookFieldCount; ++field) {
        if (field == CheckOut || db::isMoneyField(field) ||
            tableFields.at(std::size_t(field)).type != dbase::FieldType::Character)
            continue;
        const QString bad = table.unstorableCharacter(values.texts[field]);
        if (!bad.isEmpty())
            return Refusal{field,
                           QStringLiteral("The character \"%1\" in %2 cannot be stored: the database's code "
                                          "page (%3) has no such character.  Please correct.")
                               .arg(bad, title(field), table.codePageName())};
    }
    return std::nullopt;
}

bool EditRecord::returnToRecord(db::BookTable& books) const
{
    if (m_recno == 0)
        return false;
    if (books.recno() == m_recno)
        return true;
    const int row = books.rowOf(m_recno);
    return row >= 0 && books.gotoRow(row) && books.recno() == m_recno;
}

std::optional<QString> EditRecord::write(db::BookTable& books, const EditValues& values, EditMode& editMode)
{
    db::BookTable& table = books;
    const bool insert = editMode == EditMode::Add || editMode == EditMode::Copy || m_recno == 0;
    if (!insert && !returnToRecord(books))
        return m_recnoWritten
                   ? QStringLiteral("The book shown was saved, but it no longer matches the search, "
                                    "so it is no longer in the list.  Nothing was changed.")
                   : QStringLiteral("The book shown is no longer in the list: it no longer matches "
                                    "the search, or another program has deleted it.  Nothing was "
                                    "changed.");
    std::array<dbase::Date, kDateFields.size()> stored{};
    const auto written = [&](std::uint32_t recno) {
        editMode = EditMode::Change;
        m_recno = recno;
        m_recnoWritten = true;
        for (int field : kDateFields)
            m_loaded[dateSlot(field)] = LoadedDate{values.texts[field].trimmed(), stored[dateSlot(field)]};
    };
    bool posting = false;
    std::uint32_t edited = 0;
    try {
        if (insert)
            books.append();
        else
            books.edit();
        edited = table.recno();
        for (int field : kAsTyped)
            table.setFieldText(field, values.texts[field], m_dates);
        for (int field : kMoney)
            table.setFloating(field, moneyValue(values.texts[field]).value_or(0));
        for (int field : kDateFields) {
            const QString text = values.texts[field].trimmed();
            const LoadedDate* loaded = unchangedDate(dateSlot(field), text);
            if (loaded)
                table.setDate(field, loaded->date);
            else
                table.setFieldText(field, isEmptyDateText(text) ? QString() : text, m_dates);
            stored[dateSlot(field)] = table.date(field);
        }
        table.setText(CheckOut, (values.checkedOut ? kYes : QStringLiteral("No")).toStdString());
        for (int field = UserDef1; field <= UserDef6; ++field)
            table.setFieldText(field, values.texts[field].trimmed(), m_dates);
        posting = true;
        books.post();
    } catch (...) {
        // The engine leaves its edit state only once the record is in the file: what failed
        // came after, and the record must not be cancelled or added again.
        if (posting && !table.editing()) {
            written(insert ? books.lastPosted() : edited);
            throw;
        }
        // Nothing half-written may stay behind for a later move or close to post.
        try {
            books.cancel();
        } catch (const dbase::DatabaseError&) {
            // The table has left its edit state all the same; the first error is the one to report.
        }
        throw;
    }
    // An appended record is the last in the file; the table may have moved on when it left the list.
    written(insert ? books.lastPosted() : edited);
    return std::nullopt;
}

QString EditRecord::moneyText(double value) const
{
    return m_numbers.money(1, value);
}

std::optional<double> EditRecord::moneyValue(const QString& text) const
{
    if (text.trimmed().isEmpty())
        return 0.0;
    return m_numbers.readMoney(text);
}

} // namespace edit

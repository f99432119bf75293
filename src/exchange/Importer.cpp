#include "Importer.h"

#include <QLocale>

namespace exchange {

using platform::Button;

Importer::Importer(ImportTarget target, QStringList names, QString unit)
    : m_target(target), m_names(std::move(names)), m_unit(std::move(unit))
{
}

QString Importer::where(const db::ImportProblem& problem) const
{
    QString unit = m_unit;
    unit[0] = unit[0].toUpper();
    return QStringLiteral("%1 %2, field \"%3\": \"%4\"")
        .arg(unit)
        .arg(problem.position)
        .arg(m_names.value(problem.sourceField))
        .arg(QString::fromStdString(problem.text));
}

long long Importer::run(db::ImportSource& source, const db::ImportMap& map,
                        const std::function<void(long long)>& progress)
{
    db::BookTable& books = m_target.books;
    db::ImportConverter converter(books, m_target.dates, m_target.separator, m_target.currentYear);
    const db::ImportCheck check = db::checkImport(source, map, converter);
    if (check.unencodable > 0) {
        m_target.dialogs.message(QStringLiteral("Error"),
                                 where(*check.firstUnencodable) +
                                     QStringLiteral(" holds a character that the database cannot store. %1 "
                                                    "value(s) hold such characters. Nothing was imported.")
                                         .arg(check.unencodable),
                                 Button::Ok, Button::None, platform::Icon::Error);
        return -1;
    }
    if (check.problems > 0) {
        const db::ImportProblem& first = *check.firstProblem;
        const QString what = first.outcome == db::ImportOutcome::BadDate
                                 ? QStringLiteral("is not a valid date")
                                 : QStringLiteral("is too large for its field");
        Button answer = m_target.dialogs.message(
            QStringLiteral("Import"),
            where(first) + QLatin1Char(' ') + what +
                QStringLiteral(". %1 value(s) cannot be read. Import anyway, with those values left empty?")
                    .arg(check.problems),
            Button::Yes | Button::No, Button::No, platform::Icon::Question);
        if (answer != Button::Yes)
            return -1;
    }

    const db::ImportResult result = db::writeImport(books, source, map, converter, progress);

    QString text = QStringLiteral("Import Complete.");
    if (result.loose > 0)
        text += QStringLiteral(" %1 value(s) were left empty or only partly read, such as dates in another "
                               "form or numbers with thousands separators.")
                    .arg(QLocale::c().toString(result.loose));
    m_target.dialogs.message(QStringLiteral("Ok"), text, Button::Ok, Button::None,
                             platform::Icon::Information);
    return result.records;
}

} // namespace exchange

#include "TMyLocateDialog.h"

#include "platform/Dialogs.h"
#include "platform/Screen.h"

#include <algorithm>

using platform::Button;
using platform::Icon;

TMyLocateDialog::TMyLocateDialog(LocateServices services, QString decimalSeparator)
    : m_services(std::move(services)),
      m_locator(m_services.table, m_services.dates, std::move(decimalSeparator))
{
}

std::vector<TMyLocateDlg::FieldLabel> TMyLocateDialog::fieldLabels() const
{
    std::vector<TMyLocateDlg::FieldLabel> labels;
    const std::vector<dbase::Field>& fields = m_services.table.fields();
    for (std::size_t i = 0; i < fields.size(); ++i) {
        const bool book = i < m_services.settings.fields.size();
        if (FieldSelection && book && !m_services.settings.fields[i].display)
            continue;
        QString label = book ? m_services.settings.fields[i].title : QString();
        if (label.isEmpty())
            label = QString::fromStdString(fields[i].name);
        labels.emplace_back(label.replace(u'~', u' '), fields[i].name);
    }
    if (SortFields)
        std::stable_sort(labels.begin(), labels.end(), [](const auto& a, const auto& b) {
            return a.first.compare(b.first, Qt::CaseInsensitive) < 0;
        });
    return labels;
}

bool TMyLocateDialog::Locate(QWidget* parent)
{
    if (!m_services.table.isOpen()) {
        m_services.dialogs.message(QStringLiteral("Error"),
                                   QStringLiteral("DataSource does not reference an active DataSet"),
                                   Button::Ok, Button::Ok, Icon::Error);
        return false;
    }
    TMyLocateDlg dialog(m_services.dialogs, parent);
    dialog.setFields(fieldLabels());
    dialog.setQuery({m_lastField, m_lastValue, MatchType, CaseSensitive});
    dialog.setNextDefault(DefaultButton);
    dialog.setWindowTitle(Caption);
    const settings::Settings& settings = m_services.settings;
    dialog.setLook(m_services.fonts, settings.colorSchemes[std::size_t(settings::WindowGroup::Configure)],
                   m_services.scaleFactor ? m_services.scaleFactor() : 1.0, m_services.screen.size());
    dialog.setSearch(
        [this](const db::LocateQuery& query, db::Locator::From from) { return m_locator.find(query, from); });
    const bool found = dialog.exec() == QDialog::Accepted;
    remember(dialog.query());
    return found;
}

bool TMyLocateDialog::LocateNext(QWidget* parent)
{
    if (!m_services.table.isOpen()) {
        m_services.dialogs.message(QStringLiteral("Warning"),
                                   QStringLiteral("DataSource does not refer to an active table!"),
                                   Button::Ok, Button::Ok, Icon::Warning);
        return false;
    }
    if (m_lastValue.isEmpty()) {
        DefaultButton = true;
        return Locate(parent);
    }
    const bool found =
        m_locator.find({m_lastField, m_lastValue, MatchType, CaseSensitive}, db::Locator::From::Next);
    if (!found && ShowMessages)
        m_services.dialogs.message(QStringLiteral("Notice"), QStringLiteral("No more matches found"),
                                   Button::Ok, Button::Ok, Icon::Information);
    return found;
}

void TMyLocateDialog::remember(const db::LocateQuery& query)
{
    MatchType = query.match;
    CaseSensitive = query.caseSensitive;
    m_lastValue = query.value.left(255);
    m_lastField = query.field;
}

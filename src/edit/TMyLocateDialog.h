#pragma once

#include "db/Locator.h"
#include "edit/TMyLocateDlg.h"

#include <QString>
#include <functional>
#include <string>
#include <vector>

class QWidget;

namespace platform {
class Dialogs;
class Screen;
} // namespace platform

// What the locate component needs from the main window. Every reference must
// outlive the component; the settings supply the field titles, which fields the
// viewer shows and the configuration windows' colours.
struct LocateServices {
    db::BookTable& table;
    platform::Dialogs& dialogs;
    const db::DateText& dates;
    const settings::Settings& settings;
    const settings::SharedFonts& fonts;
    const platform::Screen& screen;
    std::function<double()> scaleFactor; // may be empty: 1.0
};

// The locate component the main window keeps for the whole run: it remembers
// the last search and runs "locate" (the dialog) and "locate next" (the last
// search again from the record after the current one).
class TMyLocateDialog {
public:
    explicit TMyLocateDialog(LocateServices services, QString decimalSeparator = QStringLiteral("."));

    // Settings the main window gives at start.
    QString Caption = QStringLiteral("Locate Field Value");
    db::MatchType MatchType = db::MatchType::Beginning;
    bool CaseSensitive = false;
    bool SortFields = true;
    bool DefaultButton = true;   // Next, not First, is the dialog's default button
    bool FieldSelection = false; // offer only the fields the viewer shows
    bool ShowMessages = true;    // say so when locate next finds nothing

    void setDecimalSeparator(const QString& separator) { m_locator.setDecimalSeparator(separator); }
    const std::string& lastField() const { return m_lastField; }
    const QString& lastValue() const { return m_lastValue; }
    db::Locator& locator() { return m_locator; }

    // Shows the dialog modally over `parent`; true when it closed on a record found.
    bool Locate(QWidget* parent);
    // Repeats the last search from the record after the current one, or shows
    // the dialog when nothing has been searched for yet.
    bool LocateNext(QWidget* parent);

    // The fields the dialog offers: display labels ("~" read as a blank) and field names.
    std::vector<TMyLocateDlg::FieldLabel> fieldLabels() const;

private:
    void remember(const db::LocateQuery& query);

    LocateServices m_services;
    db::Locator m_locator;
    std::string m_lastField;
    QString m_lastValue;
};

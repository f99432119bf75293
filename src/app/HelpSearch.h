#pragma once

#include <QList>
#include <QString>
#include <QStringList>
#include <QUrl>

// The manual's pages read into sections, for finding words across the manual and for
// finding the page a section lives on. A section starts at each heading that carries a
// name (an id or a named anchor) and runs to the next such heading.
class HelpSearch {
public:
    struct Section {
        QString page;    // file name inside the manual, "files.html"
        QString anchor;  // the heading's name, "where-files-live"
        QString heading; // the heading as shown
        QString pageTitle;
        QString text;      // the section's plain text, headings included, in lower case
        QStringList names; // every name declared inside the section, its own first
    };
    struct Hit {
        QUrl url;      // the section: page and fragment
        QString label; // "Heading (Page title)", or the heading alone on its page's first section
        int count;     // how often the words occur in the section
    };

    // Reads every page of the manual folder (":/help" inside the program).
    explicit HelpSearch(const QString& folder = QStringLiteral(":/help"));

    // The sections holding every word of `words` (runs of letters and digits, letter case
    // ignored), the most occurrences first, ties in manual order. No words, no hits.
    QList<Hit> find(const QString& words) const;
    // The words `find` looks for, in lower case.
    static QStringList wordsOf(const QString& text);
    // The page declaring the section name, or empty when no page does.
    QString pageOf(const QString& name) const;

    const QList<Section>& sections() const { return m_sections; }

private:
    QString m_folder;
    QList<Section> m_sections;
};

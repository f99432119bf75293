#include "app/HelpSearch.h"

#include <QDir>
#include <QFile>
#include <QTextBlock>
#include <QTextDocument>
#include <algorithm>

namespace {

// The names a block declares, as the text browser reads them (ids and named anchors).
QStringList namesOf(const QTextBlock& block)
{
    QStringList names;
    for (auto it = block.begin(); !it.atEnd(); ++it)
        names += it.fragment().charFormat().anchorNames();
    return names;
}

int occurrences(const QString& text, const QString& word)
{
    int count = 0;
    for (qsizetype at = text.indexOf(word); at >= 0; at = text.indexOf(word, at + word.size()))
        ++count;
    return count;
}

} // namespace

HelpSearch::HelpSearch(const QString& folder) : m_folder(folder)
{
    QStringList pages = QDir(folder).entryList({QStringLiteral("*.html")}, QDir::Files, QDir::Name);
    // The first page first, so that a tie goes to the overview.
    if (pages.removeOne(QStringLiteral("index.html")))
        pages.prepend(QStringLiteral("index.html"));
    for (const QString& page : pages) {
        QFile file(folder + QLatin1Char('/') + page);
        if (!file.open(QIODevice::ReadOnly))
            continue;
        QTextDocument document;
        document.setHtml(QString::fromUtf8(file.readAll()));
        const QString title = document.metaInformation(QTextDocument::DocumentTitle);
        Section current{page, QString(), title, title, QString(), {}};
        for (QTextBlock block = document.begin(); block.isValid(); block = block.next()) {
            const QStringList names = namesOf(block);
            if (block.blockFormat().headingLevel() > 0 && !names.isEmpty()) {
                if (!current.anchor.isEmpty() || !current.text.trimmed().isEmpty())
                    m_sections << current;
                current = Section{page, names.first(), block.text().trimmed(), title, QString(), names};
            } else {
                current.names += names;
            }
            current.text += block.text().toLower() + QLatin1Char('\n');
        }
        m_sections << current;
    }
}

QStringList HelpSearch::wordsOf(const QString& text)
{
    QStringList words;
    QString word;
    for (QChar c : text.toLower() + QLatin1Char(' ')) {
        if (c.isLetterOrNumber()) {
            word += c;
        } else if (!word.isEmpty()) {
            if (!words.contains(word))
                words << word;
            word.clear();
        }
    }
    return words;
}

QList<HelpSearch::Hit> HelpSearch::find(const QString& words) const
{
    const QStringList wanted = wordsOf(words);
    QList<Hit> hits;
    if (wanted.isEmpty())
        return hits;
    for (const Section& section : m_sections) {
        int count = 0;
        for (const QString& word : wanted) {
            const int found = occurrences(section.text, word);
            if (found == 0) {
                count = 0;
                break;
            }
            count += found;
        }
        if (count == 0)
            continue;
        const QString path = m_folder + QLatin1Char('/') + section.page;
        QUrl url = path.startsWith(QLatin1Char(':')) ? QUrl(QStringLiteral("qrc") + path)
                                                     : QUrl::fromLocalFile(path);
        if (!section.anchor.isEmpty())
            url.setFragment(section.anchor);
        const QString label = section.heading == section.pageTitle ? section.heading
                                                                   : section.heading + QStringLiteral(" (") +
                                                                         section.pageTitle + QLatin1Char(')');
        hits << Hit{url, label, count};
    }
    std::stable_sort(hits.begin(), hits.end(), [](const Hit& a, const Hit& b) { return a.count > b.count; });
    return hits;
}

QString HelpSearch::pageOf(const QString& name) const
{
    for (const Section& section : m_sections) {
        if (section.names.contains(name))
            return section.page;
    }
    return {};
}

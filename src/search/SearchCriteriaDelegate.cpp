#include "SearchCriteriaDelegate.h"

#include <QLineEdit>

namespace search {
namespace {

// Unfilled places show as "_" while edited, so the template can be seen; the
// cell keeps blanks there, as the rest of the search reads it.
constexpr QChar kEditorBlank = u'_';
constexpr QChar kCellBlank = u' ';

// For each place of text laid out by `mask`: whether the user fills it (else it is a literal).
QList<bool> inputPlaces(const QString& mask)
{
    QList<bool> places;
    for (qsizetype i = 0; i < mask.size(); ++i) {
        const QChar c = mask[i];
        if (c == QLatin1Char(';'))
            break;
        if (c == QLatin1Char('\\')) {
            ++i;
            places.append(false);
        } else if (QStringView(u"<>!").contains(c)) {
            continue; // letter case switches take no place
        } else {
            places.append(QStringView(u"AaNnXx90DdHhBb#").contains(c));
        }
    }
    return places;
}

QString swapBlanks(QString text, const QString& mask, QChar from, QChar to)
{
    const QList<bool> places = inputPlaces(mask);
    for (qsizetype i = 0; i < text.size() && i < places.size(); ++i)
        if (places[i] && text[i] == from)
            text[i] = to;
    return text;
}

QString maskOf(const QLineEdit* editor)
{
    return editor->property("criteriaMask").toString();
}

} // namespace

SearchCriteriaDelegate::SearchCriteriaDelegate(std::function<QString(int)> maskOf,
                                               std::function<int(int)> widthOf, QObject* parent)
    : QStyledItemDelegate(parent), m_maskOf(std::move(maskOf)), m_widthOf(std::move(widthOf))
{
}

QWidget* SearchCriteriaDelegate::createEditor(QWidget* parent, const QStyleOptionViewItem&,
                                              const QModelIndex& index) const
{
    auto* editor = new QLineEdit(parent);
    editor->setObjectName(QStringLiteral("CriteriaEditor"));
    editor->setFrame(false);
    const QString mask = m_maskOf(index.row());
    editor->setProperty("criteriaMask", mask);
    if (mask.isEmpty())
        editor->setMaxLength(m_widthOf(index.row()));
    else
        editor->setInputMask(mask + QLatin1Char(';') + kEditorBlank);
    auto* self = const_cast<SearchCriteriaDelegate*>(this);
    connect(editor, &QLineEdit::textEdited, self, [self, editor] { emit self->commitData(editor); });
    return editor;
}

void SearchCriteriaDelegate::setEditorData(QWidget* editor, const QModelIndex& index) const
{
    auto* line = static_cast<QLineEdit*>(editor);
    const QString text = index.data(Qt::EditRole).toString();
    // The cell changes with every keystroke; setting the same text again would move the caret.
    if (text != cellText(line))
        line->setText(swapBlanks(text, maskOf(line), kCellBlank, kEditorBlank));
}

void SearchCriteriaDelegate::setModelData(QWidget* editor, QAbstractItemModel* model,
                                          const QModelIndex& index) const
{
    model->setData(index, cellText(static_cast<QLineEdit*>(editor)), Qt::EditRole);
}

// A masked editor's text() drops the blanks of unfilled places and so moves what follows them.
QString SearchCriteriaDelegate::cellText(const QLineEdit* editor)
{
    const QString mask = maskOf(editor);
    return mask.isEmpty() ? editor->text()
                          : swapBlanks(editor->displayText(), mask, kEditorBlank, kCellBlank);
}

QString SearchCriteriaDelegate::laidOut(const QString& text, const QString& mask)
{
    if (mask.isEmpty() || text.isEmpty())
        return text;
    QLineEdit scratch;
    scratch.setInputMask(mask);
    scratch.setText(text);
    return scratch.displayText();
}

} // namespace search

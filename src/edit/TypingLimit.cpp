#include "TypingLimit.h"

#include <QLineEdit>
#include <QValidator>

#include <algorithm>

namespace edit {
namespace {

class TypingLimit final : public QValidator {
public:
    TypingLimit(QLineEdit* line, int length) : QValidator(line), m_line(line), m_limit(length)
    {
        m_before = line->text().size();
        QObject::connect(line, &QLineEdit::textChanged, this,
                         [this](const QString& text) { m_before = text.size(); });
    }

    State validate(QString& input, int& pos) const override
    {
        // setText() leaves the box unmodified before it is validated: a text set by the
        // program is taken whole. Typing, pasting and dropping leave it modified.
        if (m_limit <= 0 || !m_line->isModified())
            return Acceptable;
        const qsizetype room = std::max<qsizetype>(m_limit, m_before);
        if (input.size() <= room)
            return Acceptable;
        // What was just put in ends at the cursor; keep as much of it as fits.
        const qsizetype excess = input.size() - room;
        const qsizetype added = input.size() - m_before;
        if (excess >= added || pos < excess)
            return Invalid;
        input.remove(pos - excess, excess);
        pos -= int(excess);
        return Acceptable;
    }

private:
    QLineEdit* m_line;
    int m_limit;
    qsizetype m_before = 0; // the length of the text before the change being validated
};

} // namespace

void limitTyping(QLineEdit* line, int length)
{
    const QValidator* old = line->validator();
    line->setMaxLength(32767);
    line->setValidator(new TypingLimit(line, length));
    if (old && old->parent() == line)
        delete old;
}

} // namespace edit

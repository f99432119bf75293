// shelvano_replace_screenshot OUT_DIR
//
// Saves the Search and Replace window before a run and during a confirmed run
// (with its counters part-way and the question in front), over 3,000 made-up
// books of which every seventh is fiction, to OUT_DIR as PNG files.
#include "../bench/MessageOnlyDialogs.h"
#include "app/TSearchAndReplace.h"
#include "db/BookDatabase.h"
#include "platform/QtDialogs.h"
#include "platform/ScriptedDialogs.h"

#include <QApplication>
#include <QComboBox>
#include <QLineEdit>
#include <QStyle>
#include <QStyleFactory>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <cstdio>

namespace {

bool ok = true;

void save(QWidget* window, const QString& file)
{
    const bool saved = window && window->grab().save(file);
    std::printf("%s %s\n", saved ? "wrote" : "FAILED", qPrintable(file));
    ok &= saved;
}

// The real question boxes for the tenth confirmation, saved with the window and answered
// Yes; every other question answered Yes at once.
class PictureDialogs final : public MessageOnlyDialogs {
public:
    QWidget* window = nullptr;
    QString out;
    int questions = 0;

    platform::Button message(const QString& caption, const QString& text, platform::Buttons buttons,
                             platform::Button defaultButton, platform::Icon icon) override
    {
        if (caption != QStringLiteral("Confirm") || ++questions != 10)
            return buttons.testFlag(platform::Button::Yes)
                       ? platform::Button::Yes
                       : m_scripted.message(caption, text, buttons, defaultButton, icon);
        QTimer::singleShot(400, [this] {
            save(window, out + QStringLiteral("/replace-running.png"));
            QWidget* box = QApplication::activeModalWidget();
            save(box, out + QStringLiteral("/replace-question.png"));
            if (box)
                QTest::keyClick(box, Qt::Key_Y);
        });
        return m_real.message(caption, text, buttons, defaultButton, icon);
    }

private:
    platform::QtDialogs m_real;
    platform::ScriptedDialogs m_scripted;
};

} // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    QApplication::setStyle(QStyleFactory::create(QStringLiteral("Fusion")));
    QApplication::setPalette(QApplication::style()->standardPalette());
    if (argc != 2) {
        std::fprintf(stderr, "usage: shelvano_replace_screenshot OUT_DIR\n");
        return 2;
    }
    const QString out = QString::fromLocal8Bit(argv[1]);
    QTemporaryDir dir;
    const std::string path = (dir.path() + QStringLiteral("/BOOKS.DBF")).toStdString();
    dbase::Table::create(path, db::bookFieldSpecs());
    {
        auto table = dbase::Table::open(path, dbase::Access::Exclusive);
        table->beginBatch();
        for (int n = 0; n < 3000; ++n) {
            table->append();
            table->setText(db::fields::Title, "Book number " + std::to_string(n + 1));
            table->setText(db::fields::Category, n % 7 ? "History" : "fiction");
            table->post();
        }
        table->endBatch();
    }
    db::BookTable books;
    books.adopt(dbase::Table::open(path));
    settings::Settings settings;
    settings::DateFormat dates;
    const settings::SharedFonts fonts = settings::makeSharedFonts(settings);
    PictureDialogs dialogs;
    dialogs.out = out;
    TSearchAndReplace window({books, dialogs, settings, dates, fonts, 1.0, {1280, 1024}, {}, {}});
    dialogs.window = &window;
    window.show();
    QTest::qWait(200);
    auto* field = window.findChild<QComboBox*>(QStringLiteral("FieldBox"));
    field->setCurrentIndex(db::fields::Category);
    window.findChild<QLineEdit*>(QStringLiteral("SearchText"))->setText(QStringLiteral("fiction"));
    window.findChild<QLineEdit*>(QStringLiteral("ReplaceText"))->setText(QStringLiteral("Fiction"));
    QTest::keyClick(&window, Qt::Key_B, Qt::AltModifier);
    QTest::qWait(200);
    save(&window, out + QStringLiteral("/replace-ready.png"));
    window.StartButtonClick();
    return ok ? 0 : 1;
}

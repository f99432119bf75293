#include "MaintenanceFixture.h"
#include "TestRegistry.h"

#include "app/TSearchAndReplace.h"
#include "db/BookDatabase.h"
#include "db/BookReplace.h"
#include "db/FieldText.h"

#include <QComboBox>
#include <QLineEdit>
#include <QtEndian>

namespace {

using db::BookReplace;
using platform::Button;
namespace f = db::fields;

struct Book {
    const char* title;
    const char* category;
    const char* cost; // "" blank
    int day;          // bought 2001-01-<day>
};
// Physical order; the search hides History.
const Book kBooks[] = {
    {"Alpha", "Fiction", "12.5", 2},     {"Bravo", "FICTION", "", 3}, {"Charlie", "fiction", "3", 4},
    {"Delta", "Science Fiction", "", 2}, {"Echo", "", "0", 5},        {"Foxtrot", "History", "7", 6}};
const QString kTitleOrder = QStringLiteral("Upper(Left(Title,80))");

// A DBF write into the record of `recno` fails once with a full disk, after the record was read.
class RecordFault final : public FillingFileSystem {
public:
    std::uint32_t recno = 0;
    std::uint64_t headerLength = 0, recordLength = 0;

    std::unique_ptr<dbase::File> open(const std::string& path, dbase::OpenMode mode) override;
};

class FaultyRecordFile final : public dbase::ForwardingFile {
public:
    FaultyRecordFile(RecordFault& owner, std::unique_ptr<dbase::File> inner)
        : ForwardingFile(std::move(inner)), m_owner(owner)
    {
    }
    void writeAt(std::uint64_t o, const void* b, std::size_t n) override
    {
        if (m_owner.recno && o == m_owner.headerLength + (m_owner.recno - 1) * m_owner.recordLength) {
            m_owner.recno = 0;
            throw dbase::IoError(path(), "write", ENOSPC);
        }
        ForwardingFile::writeAt(o, b, n);
    }

private:
    RecordFault& m_owner;
};

std::unique_ptr<dbase::File> RecordFault::open(const std::string& path, dbase::OpenMode mode)
{
    auto inner = dbase::defaultFileSystem().open(path, mode);
    if (!QString::fromStdString(path).endsWith(QStringLiteral(".DBF")))
        return inner;
    return std::make_unique<FaultyRecordFile>(*this, std::move(inner));
}

// The book table in its sort order with the search on, and the main window's side of a run.
struct Harness {
    explicit Harness(dbase::FileSystem& fs = dbase::defaultFileSystem(), QString order = kTitleOrder)
        : sort(std::move(order))
    {
        dbase::Table::create(path, db::bookFieldSpecs());
        {
            auto table = dbase::Table::open(path, dbase::Access::Exclusive);
            for (const Book& book : kBooks) {
                table->append();
                table->setText(f::Title, book.title);
                table->setText(f::Category, book.category);
                table->setText(f::Cost, book.cost);
                table->setWhole(f::YearPub, 1990);
                table->setDate(f::PurchDate, {2001, 1, book.day});
                table->post();
            }
            table->addTag(db::kOrderTag, sort.toStdString());
        }
        auto table = dbase::Table::open(path);
        table->setOrder(db::kOrderTag);
        books.adopt(std::move(table), [this](const dbase::RecordView& r) {
            return !searchOn || r.text(f::Category) != "History";
        });
        BookReplace::Hooks hooks;
        hooks.command.applyViewerOptions = [this] { ++viewerApplied; };
        hooks.sortString = [this] { return sort; };
        hooks.searchOn = [this] { return searchOn; };
        hooks.setSearchOn = [this](bool on) { searchOn = on; };
        // While the run holds the file, no other program may open it.
        hooks.showCounts = [this](const BookReplace::Counts&) {
            if (books.isOpen())
                return;
            ++triedOpens;
            try {
                dbase::Table::open(path);
            } catch (const dbase::DatabaseError&) {
                ++refusedOpens;
            }
        };
        replace = std::make_unique<BookReplace>(books, dialogs, dates, hooks, fs);
    }
    BookReplace::Outcome run(int field, const QString& search, const QString& with, bool confirm = false)
    {
        return replace->run({field, search, with, confirm, false});
    }
    QStringList rows()
    {
        QStringList titles;
        books.readRows(0, books.rowCount(), [&](int, const dbase::Table& t) { titles << t.text(0).c_str(); });
        return titles;
    }
    QStringList column(int field) { return columnOf(path, db::bookFields()[std::size_t(field)].name.data()); }
    QString tagExpression()
    {
        for (const dbase::TagInfo& tag : dbase::Table::open(path, dbase::Access::ReadOnly)->tags())
            if (QString::fromStdString(tag.name).compare(db::kOrderTag, Qt::CaseInsensitive) == 0)
                return QString::fromStdString(tag.expression);
        return QStringLiteral("none");
    }
    QStringList counts() const
    {
        const BookReplace::Counts& c = replace->counts();
        return {QString::number(c.processed), QString::number(c.found), QString::number(c.changed)};
    }
    // The order tag is back, the search is on again and the table shows its books shared.
    void verifyRestored()
    {
        QCOMPARE(tagExpression(), sort);
        QVERIFY(searchOn && books.isOpen());
        QCOMPARE(QString::fromStdString(books.order()).toUpper(), QString(db::kOrderTag).toUpper());
        QVERIFY(!rows().contains("Foxtrot") && rows().size() == 5);
        QVERIFY(viewerApplied > 0);
    }

    TempDir dir;
    std::string path = dir.path("BOOKS.DBF");
    platform::ScriptedDialogs dialogs;
    db::ShortDateText dates;
    db::BookTable books;
    QString sort;
    bool searchOn = true;
    int viewerApplied = 0, triedOpens = 0, refusedOpens = 0;
    std::unique_ptr<BookReplace> replace;
};

} // namespace

class SearchReplaceTest : public QObject {
    Q_OBJECT

private slots:
    void matching_data()
    {
        QTest::addColumn<int>("field");
        QTest::addColumn<QString>("search");
        QTest::addColumn<QString>("replacement");
        QTest::addColumn<QStringList>("after"); // the field in physical order
        QTest::newRow("whole text, any case")
            << f::Category << " fiction "
            << "Novel" << QStringList{"Novel", "Novel", "Novel", "Science Fiction", "", "History"};
        QTest::newRow("empty text hits empty fields")
            << f::Category << ""
            << "None" << QStringList{"Fiction", "FICTION", "fiction", "Science Fiction", "None", "History"};
        QTest::newRow("cost 0 hits empty costs")
            << f::Cost << "0"
            << "5" << QStringList{"12.5000", "5.0000", "3.0000", "5.0000", "5.0000", "7.0000"};
        QTest::newRow("number by value")
            << f::Cost << "12.50"
            << "1" << QStringList{"1.0000", "", "3.0000", "", "0.0000", "7.0000"};
        QTest::newRow("date equality")
            << f::PurchDate << "1/2/01"
            << "12/31/99"
            << QStringList{"19991231", "20010103", "20010104", "19991231", "20010105", "20010106"};
    }
    void matching()
    {
        QFETCH(int, field);
        QFETCH(QString, search);
        QFETCH(QString, replacement);
        QFETCH(QStringList, after);
        Harness h;
        const QStringList before = h.column(field);
        QCOMPARE(h.run(field, search, replacement), BookReplace::Outcome::Finished);
        QCOMPARE(h.column(field), after);
        qsizetype changed = 0;
        for (qsizetype i = 0; i < after.size(); ++i)
            changed += before[i] != after[i];
        // The whole file is walked, also the books the search hides.
        QCOMPARE(h.counts(), (QStringList{"6", QString::number(changed), QString::number(changed)}));
        QCOMPARE(h.dialogs.transcript().back().text, "Global Search and Replace Complete.");
        h.verifyRestored();
    }

    // Nothing is written when a text cannot be used; the user is sent to the control at fault.
    void refusals_data()
    {
        QTest::addColumn<int>("field");
        QTest::addColumn<QString>("search");
        QTest::addColumn<QString>("replacement");
        QTest::addColumn<int>("control");
        QTest::addColumn<QString>("message");
        const int search = int(BookReplace::Control::Search), with = int(BookReplace::Control::Replacement);
        QTest::newRow("no field") << -1 << "x"
                                  << "y" << int(BookReplace::Control::Field) << "No field has been selected.";
        QTest::newRow("no number") << f::YearPub << ""
                                   << "1991" << search << "Invalid search value entered.  Please correct.";
        QTest::newRow("comma is no point")
            << f::Cost << "12,5"
            << "1" << search << "Invalid search value entered.  Please correct.";
        QTest::newRow("fraction into a year") << f::YearPub << "1990"
                                              << "12.5" << with << "whole numbers";
        QTest::newRow("year too wide") << f::YearPub << "1990"
                                       << "99999" << with << "longer than the 4";
        QTest::newRow("untouched date box")
            << f::PurchDate << "//"
            << "1/1/01" << search << "Invalid search date entered.  Please correct.";
        QTest::newRow("no such date")
            << f::PurchDate << "1/2/01"
            << "2/30/01" << with << "Invalid replacement date entered.  Please correct.";
        QTest::newRow("text too long")
            << f::Category << "fiction" << QString(21, 'x') << with << "longer than the 20";
        QTest::newRow("outside the code page") << f::Category << "fiction"
                                               << "Ωmega" << with << "\"Ω\"";
    }
    void refusals()
    {
        QFETCH(int, field);
        QFETCH(QString, search);
        QFETCH(QString, replacement);
        QFETCH(int, control);
        QFETCH(QString, message);
        Harness h;
        const QByteArray before = fileBytes(h.path);
        QCOMPARE(h.run(field, search, replacement), BookReplace::Outcome::Refused);
        QCOMPARE(int(h.replace->lastRefusal()->control), control);
        const auto& transcript = h.dialogs.transcript();
        QCOMPARE(transcript.size(), 1u);
        QVERIFY2(transcript[0].text.contains(message), qPrintable(transcript[0].text));
        QCOMPARE(fileBytes(h.path), before);
        QVERIFY(h.books.isOpen() && h.searchOn);
    }

    // A write that fails at the k-th match: k - 1 books keep their change, order and search come back.
    void failureMidRun_data()
    {
        QTest::addColumn<int>("k");
        QTest::newRow("first match") << 1;
        QTest::newRow("third match") << 3;
    }
    void failureMidRun()
    {
        QFETCH(int, k);
        RecordFault fault;
        Harness h(fault);
        const QByteArray header = fileBytes(h.path).left(12);
        fault.headerLength = qFromLittleEndian<quint16>(header.constData() + 8);
        fault.recordLength = qFromLittleEndian<quint16>(header.constData() + 10);
        fault.recno = std::uint32_t(k); // the matches are records 1, 2 and 3
        QCOMPARE(h.run(f::Category, "fiction", "Novel"), BookReplace::Outcome::Failed);
        QCOMPARE(h.column(f::Category).count("Novel"), k - 1);
        QCOMPARE(h.replace->counts().changed, std::uint64_t(k - 1));
        const QString text = h.dialogs.transcript().back().text;
        QVERIFY2(text.startsWith("Error in running search and replace.") &&
                     text.contains(QStringLiteral("%1 records had already been changed").arg(k - 1)),
                 qPrintable(text));
        h.verifyRestored();
    }

    // With confirmation every match is asked about while the file is ours alone; Cancel ends
    // through the same end as a finished run.
    void confirmation_data()
    {
        QTest::addColumn<QList<int>>("answers");
        QTest::addColumn<QStringList>("counts");
        QTest::addColumn<QString>("last");
        const int yes = int(Button::Yes), no = int(Button::No), cancel = int(Button::Cancel);
        QTest::newRow("No to all") << QList<int>{no, no, no} << QStringList{"6", "3", "0"}
                                   << "Global Search and Replace Complete.";
        QTest::newRow("Yes, No, Yes") << QList<int>{yes, no, yes} << QStringList{"6", "3", "2"}
                                      << "Global Search and Replace Complete.";
        QTest::newRow("Yes, then Cancel") << QList<int>{yes, cancel} << QStringList{"1", "1", "1"}
                                          << "Search and replace was cancelled.  1 records had been changed.";
    }
    void confirmation()
    {
        QFETCH(QList<int>, answers);
        QFETCH(QStringList, counts);
        QFETCH(QString, last);
        Harness h;
        const char* titles[] = {"Alpha", "Bravo", "Charlie"};
        for (qsizetype i = 0; i < answers.size(); ++i)
            h.dialogs.expectQuestion(QStringLiteral("Item = \"%1\".  Change this record?").arg(titles[i]),
                                     Button(answers[i]));
        h.run(f::Category, "FICTION", "Novel", true);
        QCOMPARE(h.counts(), counts);
        QCOMPARE(h.column(f::Category).count("Novel"), counts[2].toInt());
        QVERIFY(h.triedOpens > answers.size()); // at the start and before each question
        QCOMPARE(h.refusedOpens, h.triedOpens);
        QCOMPARE(h.dialogs.transcript().back().text, last);
        QVERIFY(h.dialogs.problems().isEmpty());
        h.verifyRestored();
    }

    // Walked in the tag's order, a book moved by its new key would be met again or let others be missed.
    void sortFieldVisitedOnce()
    {
        Harness h(dbase::defaultFileSystem(), QStringLiteral("Upper(Left(Category,26))"));
        QCOMPARE(h.run(f::Category, "fiction", "ZZZ"), BookReplace::Outcome::Finished);
        QCOMPARE(h.counts(), (QStringList{"6", "3", "3"}));
        QCOMPARE(h.rows(), (QStringList{"Echo", "Delta", "Alpha", "Bravo", "Charlie"}));
    }

    void searchOnly()
    {
        Harness h;
        QCOMPARE(h.replace->run({f::Cost, "7", "8", false, true}), BookReplace::Outcome::Finished);
        QCOMPARE(h.counts(), (QStringList{"5", "0", "0"})); // Foxtrot is outside the search
        QCOMPARE(h.replace->run({f::Cost, "0", "1", false, true}), BookReplace::Outcome::Finished);
        QCOMPARE(h.counts(), (QStringList{"5", "3", "3"}));
        h.verifyRestored();
    }

    void heldByAnotherProgram()
    {
        Harness h;
        const QByteArray before = fileBytes(h.path);
        {
            HeldTable other(h.path, "shared");
            QCOMPARE(h.run(f::Category, "fiction", "Novel"), BookReplace::Outcome::InUse);
        }
        QVERIFY(h.dialogs.transcript().at(0).text.startsWith(
            "Search and Replace requires exclusive use of the DBase File."));
        QCOMPARE(fileBytes(h.path), before);
        h.verifyRestored();
    }

    // Keys alone: the field by its first letters, the texts, Alt+S to start; a refusal puts the focus back.
    void windowByKeyboard()
    {
        Harness h;
        settings::Settings settings;
        settings::DateFormat dates(QStringLiteral("M/d/yy"));
        BookReplace::Hooks hooks;
        hooks.searchOn = [&] { return h.searchOn; };
        hooks.setSearchOn = [&](bool on) { h.searchOn = on; };
        hooks.sortString = [&] { return h.sort; };
        const settings::SharedFonts fonts = settings::makeSharedFonts(settings);
        TSearchAndReplace window({h.books, h.dialogs, settings, dates, fonts, 1.0, {1280, 1024}, hooks, {}});
        window.show();
        QVERIFY(QTest::qWaitForWindowActive(&window));
        auto* fieldBox = window.findChild<QComboBox*>("FieldBox");
        auto* replaceText = window.findChild<QLineEdit*>("ReplaceText");
        QCOMPARE(QApplication::focusWidget(), fieldBox);
        QTest::keyClicks(fieldBox, "Year");
        QCOMPARE(fieldBox->currentIndex(), f::YearPub);
        QTest::keyClick(&window, Qt::Key_Tab);
        QTest::keyClicks(QApplication::focusWidget(), "1990");
        QTest::keyClick(&window, Qt::Key_Tab);
        QTest::keyClicks(QApplication::focusWidget(), "12x5");
        QCOMPARE(replaceText->text(), "125"); // a number box takes no letters
        QTest::keyClick(replaceText, Qt::Key_Home);
        QTest::keyClick(replaceText, Qt::Key_Right);
        QTest::keyClicks(replaceText, ".");
        QTest::keyClick(replaceText, Qt::Key_S, Qt::AltModifier);
        QTRY_COMPARE(h.dialogs.transcript().size(), 1u); // a mnemonic clicks a moment later
        QVERIFY(h.dialogs.transcript()[0].text.contains("whole numbers"));
        QCOMPARE(QApplication::focusWidget(), replaceText);
        QTest::keyClick(replaceText, Qt::Key_A, Qt::ControlModifier);
        QTest::keyClicks(replaceText, "1991");
        QTest::keyClick(&window, Qt::Key_S, Qt::AltModifier);
        QTRY_COMPARE(window.result(), int(QDialog::Accepted));
        QCOMPARE(h.column(f::YearPub), QStringList(6, "1991"));
    }
};

REGISTER_TEST(SearchReplaceTest)

#include "tst_searchreplace.moc"

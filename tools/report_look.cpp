// Developer tool, not run by CI: prints each of the eight built-in reports over
// 1,000 made-up books (in author order, grouped by author) to PDF files through
// the report list, as a user would, and saves the report list, the status
// window and the preview at 100 % and whole page as PNG files.
//
//   shelvano_report_look OUTPUT_DIR

#include "../tests/reports/ModalWindow.h"
#include "BookGenerator.h"
#include "db/BookTable.h"
#include "db/FieldText.h"
#include "dbase/Table.h"
#include "platform/ScriptedDialogs.h"
#include "reports/ReportFile.h"
#include "reports/TMyPreview.h"
#include "reports/TMyReport.h"
#include "reports/TReportForm.h"
#include "reports/definition/ReportDefinition.h"
#include "settings/NumberText.h"
#include "settings/Settings.h"

#include <QApplication>
#include <QDir>
#include <QLabel>
#include <QListWidget>
#include <QPrinter>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <QToolButton>
#include <algorithm>
#include <cstdio>
#include <functional>

using namespace reports;

namespace {

bool g_ok = true;

void writeBooks(const std::string& path, int count)
{
    const bench::BookGenerator generator;
    std::vector<bench::BookRecord> books(static_cast<std::size_t>(count));
    generator.generate(0, books);
    // Physical order = author order, as the report's grouping follows the table's order.
    std::stable_sort(books.begin(), books.end(), [](const bench::BookRecord& a, const bench::BookRecord& b) {
        return QString::fromStdString(a[1]).toUpper() < QString::fromStdString(b[1]).toUpper();
    });
    dbase::Table::create(path, db::bookFieldSpecs());
    auto table = dbase::Table::open(path, dbase::Access::Exclusive);
    for (const bench::BookRecord& book : books) {
        table->append();
        for (int field = 0; field < db::kBookFieldCount; ++field)
            table->setText(field, book[std::size_t(field)]);
        table->post();
    }
}

void save(QWidget* window, const QString& file)
{
    const bool saved = window->grab().save(file);
    g_ok &= saved;
    std::printf("%s %s\n", saved ? "wrote" : "FAILED", qPrintable(file));
}

void noWindow()
{
    std::printf("no window came up\n");
    g_ok = false;
}

// Waits for the status window's run to end, saves it when asked, and closes it.
void finishStatus(QWidget* modal, const QString& picture)
{
    auto* status = qobject_cast<TReportForm*>(modal);
    if (!status) {
        modal->close();
        return;
    }
    for (int i = 0; i < 6000 && status->BitBtn1->text() != "OK"; ++i)
        QTest::qWait(10);
    if (!picture.isEmpty())
        save(status, picture);
    status->BitBtn1Click();
}

} // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    if (argc < 2) {
        std::fprintf(stderr, "usage: shelvano_report_look OUTPUT_DIR\n");
        return 2;
    }
    const QDir out(QString::fromLocal8Bit(argv[1]));
    out.mkpath("data");
    const std::string books = out.filePath("data/BOOKS.DBF").toStdString();
    QFile::remove(QString::fromStdString(books));
    writeBooks(books, 1000);

    db::BookTable table;
    table.adopt(dbase::Table::open(books));
    settings::Settings settings;
    platform::ScriptedDialogs dialogs;
    settings::NumberText numbers;
    db::ShortDateText dates;
    QPrinter printer(QPrinter::HighResolution);
    printer.setOutputFormat(QPrinter::PdfFormat);
    ReportDefinition current;
    QFile::remove(out.filePath("data/SHVBOOK.URP"));
    const std::string urp = ensureReportFile(out.filePath("data").toStdString());
    QStringList titles;
    for (const db::BookField& field : db::bookFields())
        titles << QString::fromUtf8(field.title.data(), qsizetype(field.title.size()));
    ReportServices services{dialogs,
                            table,
                            settings,
                            numbers,
                            dates,
                            printer,
                            current,
                            urp,
                            [] { return false; },
                            [] {
                                return std::array<int, 4>{2, 0, 0, 0};
                            },
                            [titles] { return titles; },
                            nullptr,
                            nullptr};
    TMyReport list;
    list.setServices(services);
    list.show();
    if (!QTest::qWaitForWindowExposed(&list))
        qWarning("The report list was not shown on the screen in time; the picture may be blank.");
    list.ReportBox->setCurrentRow(0);
    QTest::qWait(100);
    save(&list, out.filePath("reportlist.png"));

    const QStringList names = [&] {
        QStringList all;
        for (const std::string& name : ReportFile(urp).list())
            all << QString::fromStdString(name);
        return all;
    }();
    for (int i = 0; i < names.size(); ++i) {
        list.ReportBox->setCurrentRow(i);
        const QString pdf = out.filePath(QString("report-%1.pdf").arg(i + 1));
        printer.setOutputFileName(pdf);
        whenShown(
            [&, i](QWidget* modal) { finishStatus(modal, i == 3 ? out.filePath("status.png") : QString()); },
            &list, 2000, noWindow);
        list.DoIt(OutputMode::Printer);
        std::printf("%s: %s\n", qPrintable(names[i]), qPrintable(pdf));
    }
    printer.setOutputFileName(QString());

    // The preview of the Short Narrow Report at 100 % and as a whole page.
    list.ReportBox->setCurrentRow(0);
    whenShown(
        [&](QWidget* modal) {
            finishStatus(modal, QString());
            whenShown(
                [&](QWidget* window) {
                    auto* preview = qobject_cast<TMyPreview*>(window);
                    if (!preview) {
                        window->close();
                        return;
                    }
                    preview->resize(1000, 760);
                    for (int i = 0; i < 500 && preview->StartCount() == 0; ++i)
                        QTest::qWait(10);
                    QTest::qWait(300);
                    save(preview, out.filePath("preview-100.png"));
                    preview->SBZoomPage->click();
                    QTest::qWait(300);
                    save(preview, out.filePath("preview-page.png"));
                    preview->close();
                },
                &list, 2000, noWindow);
        },
        &list, 2000, noWindow);
    list.DoIt(OutputMode::Preview);
    for (const auto& message : dialogs.transcript())
        std::printf("message: %s\n", qPrintable(message.text));
    return g_ok ? 0 : 1;
}

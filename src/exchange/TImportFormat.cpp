#include "TImportFormat.h"

#include "DelimitedImportSource.h"
#include "SameFile.h"
#include "TMyImport.h"
#include "settings/Scaling.h"
#include "settings/WindowLook.h"

#include <QGroupBox>
#include <QHBoxLayout>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

#include "db/BookImport.h"
#include "dbase/DatabaseError.h"

namespace {

using platform::Button;
using FirstLineError = exchange::DelimitedReader::FirstLineError;

template <class W> W* named(W* widget, const char* name)
{
    widget->setObjectName(QString::fromLatin1(name));
    return widget;
}

QString formatError(FirstLineError error)
{
    QString text = QStringLiteral("The file selected does not appear to be an ASCII delimited text file.  "
                                  "An ASCII delimited file requires a unique format of each field being "
                                  "surrounded by double quotes and separated by a comma.  ");
    switch (error) {
    case FirstLineError::FieldTooLong:
        return text + QStringLiteral("The selected file has a field that is greater than 255 characters.");
    case FirstLineError::UnmatchedQuote:
        return text + QStringLiteral("The selected file had an unexpected end of a line most likely due to "
                                     "an unmatched quote.");
    case FirstLineError::TooManyFields:
        return text + QStringLiteral("The selected file has too many fields.  "
                                     "There are at least 10 more fields than are required by Shelvano.");
    case FirstLineError::None:
        break;
    }
    return text;
}

} // namespace

TImportFormat::TImportFormat(exchange::ExchangeServices& services, QWidget* parent)
    : QDialog(parent), m_services(services)
{
    setObjectName(QStringLiteral("TImportFormat"));
    setWindowTitle(QStringLiteral("Import Format"));
    auto* panel = named(new QGroupBox(this), "MyPanel");
    m_asciiDelimited =
        named(new QRadioButton(QStringLiteral("Ascii Delimited File"), panel), "AsciiDelimited");
    m_dbfFormat = named(new QRadioButton(QStringLiteral("DBase File (DBF)"), panel), "DBFFormat");
    auto* choices = new QVBoxLayout(panel);
    choices->addWidget(m_asciiDelimited);
    choices->addWidget(m_dbfFormat);
    m_fileButton = named(new QPushButton(QStringLiteral("Select &File"), this), "FileButton");
    m_cancelButton = named(new QPushButton(QStringLiteral("&Cancel"), this), "CancelButton");
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(m_fileButton);
    buttons->addWidget(m_cancelButton);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(panel);
    layout->addLayout(buttons);
    m_fileButton->setDefault(true);
    connect(m_fileButton, &QPushButton::clicked, this, &TImportFormat::FileButtonClick);
    connect(m_cancelButton, &QPushButton::clicked, this, &TImportFormat::CancelButtonClick);
}

void TImportFormat::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    FormShow();
}

void TImportFormat::FormShow()
{
    (m_services.settings.importFileType == 2 ? m_dbfFormat : m_asciiDelimited)->setChecked(true);
    settings::applyColorScheme(this, m_services.settings.scheme(settings::WindowGroup::Configure),
                               {.pages = {findChild<QWidget*>(QStringLiteral("MyPanel"))},
                                .radios = {m_asciiDelimited, m_dbfFormat}});
    settings::scaleAndCentre(this, m_services.scale, m_services.screen, false);
}

void TImportFormat::done(int result)
{
    FormClose();
    QDialog::done(result);
}

void TImportFormat::FormClose()
{
    m_services.settings.importFileType = m_dbfFormat->isChecked() && !m_asciiDelimited->isChecked() ? 2 : 1;
}

void TImportFormat::FileButtonClick()
{
    m_services.settings.importFileType = m_asciiDelimited->isChecked() ? 1 : 2;
    if (m_services.settings.importFileType == 1)
        DoAscii();
    else
        DoDBF();
}

void TImportFormat::error(const QString& text)
{
    m_services.dialogs.message(QStringLiteral("Error"), text, Button::Ok, Button::None,
                               platform::Icon::Error);
}

// Reading the current database, its index or a file the program keeps into the book table is refused.
bool TImportFormat::refusedSource(const QString& path)
{
    const QStringList owned = m_services.ownedFiles ? m_services.ownedFiles() : QStringList();
    if (exchange::ownedFileReached(path, owned).isEmpty())
        return false;
    error(
        QStringLiteral("The file selected is the open database or a file that Shelvano keeps, and cannot be "
                       "imported."));
    return true;
}

void TImportFormat::DoAscii()
{
    platform::FileDialogOptions options;
    options.title = QStringLiteral("Import Data");
    options.filters = {QStringLiteral("Ascii Delimited Text (*.TXT *.txt *.CSV *.csv)")};
    options.defaultSuffix = QStringLiteral("TXT");
    options.fileName = m_services.settings.lastImportFile;
    options.mustExist = true;
    const QString path = m_services.dialogs.openFile(options);
    if (path.isEmpty() || refusedSource(path))
        return;
    exchange::DelimitedHeader header;
    try {
        exchange::FileByteSource bytes(path.toStdString());
        header = exchange::readDelimitedHeader(bytes);
    } catch (const std::runtime_error& failure) {
        error(QString::fromStdString(failure.what()));
        return;
    }
    if (header.error != FirstLineError::None) {
        error(formatError(header.error));
        return;
    }
    m_services.settings.lastImportFile = path;
    TMyImport window(m_services, TMyImport::Delimited, path, header.names, this);
    showModal(window);
    m_imported = window.imported();
    closeAfter();
}

void TImportFormat::DoDBF()
{
    platform::FileDialogOptions options;
    options.title = QStringLiteral("Import Data");
    options.filters = {QStringLiteral("DBase  (*.DBF *.dbf)")};
    options.defaultSuffix = QStringLiteral("DBF");
    options.mustExist = true;
    const QString path = m_services.dialogs.openFile(options);
    if (path.isEmpty())
        return;
    if (!path.right(4).toUpper().endsWith(QLatin1String(".DBF"))) {
        error(QStringLiteral("Invalid file type selected."));
        return;
    }
    if (refusedSource(path))
        return;
    QStringList names;
    try {
        db::DbfImportSource source(path.toStdString());
        for (const std::string& name : source.fieldNames())
            names << QString::fromStdString(name);
        if (source.droppedFields() > 0)
            m_services.dialogs.message(
                QStringLiteral("Import"),
                QStringLiteral(
                    "The selected table has %1 fields. Only the first %2 can be imported; the last %3 "
                    "are left out.")
                    .arg(source.fieldCount() + source.droppedFields())
                    .arg(source.fieldCount())
                    .arg(source.droppedFields()),
                Button::Ok, Button::None, platform::Icon::Information);
    } catch (const dbase::DatabaseError& failure) {
        error(QString::fromStdString(failure.what()));
        return;
    }
    TMyImport window(m_services, TMyImport::Dbase, path, names, this);
    showModal(window);
    m_imported = window.imported();
    closeAfter();
}

// The import window closing, by Exit or after an import, closes this one too.
void TImportFormat::closeAfter()
{
    done(m_imported >= 0 ? Accepted : Rejected);
}

void TImportFormat::CancelButtonClick()
{
    reject();
}

#pragma once

#include "reportengine/TFilePreview.h"
#include "reportengine/TFilePrinter.h"
#include "settings/Settings.h"

#include <QDialog>
#include <QScrollArea>
#include <optional>

class QAction;
class QIODevice;
class QLabel;
class QLineEdit;
class QPrinter;
class QToolButton;

namespace platform {
class Dialogs;
}
namespace settings {
struct WindowGeometry;
}

// Parses the zoom box: a decimal number with "." whatever the locale, and
// only when the whole text is one. Nothing for "abc", "" or "33,3".
std::optional<double> parseZoom(const QString& text);

// The preview window: a recorded report shown page by page at a zoom, printed
// whole, by page or by range. It reads the stream the owner gives (left open)
// and prints on the owner's printer, which printer setup changes for the
// main window too.
class TMyPreview : public QDialog {
    Q_OBJECT

public:
    TMyPreview(platform::Dialogs& dialogs, QPrinter& printer, QIODevice& stream, const QString& caption,
               settings::WindowGeometry& geometry, QWidget* parent = nullptr);
    ~TMyPreview() override;

    // Asked for the PDF file when there is no system printer; empty cancels.
    std::function<QString()> choosePdfFile;
    // The colours of the print range window, when it takes any; must outlive this window.
    const settings::ColorScheme* printRangeColors = nullptr;

    reportengine::TFilePreview MyFilePreview;
    reportengine::TFilePrinter MyFilePrinter;

    QScrollArea* ScrollBox1 = nullptr;
    QToolButton* SBZoomIn = nullptr;
    QToolButton* SBZoomOut = nullptr;
    QToolButton* SBZoomPageWidth = nullptr;
    QToolButton* SBZoomPage = nullptr;
    QToolButton* SBPrevPage = nullptr;
    QToolButton* SBNextPage = nullptr;
    QToolButton* SBPrint = nullptr;
    QToolButton* SBDone = nullptr;
    QLineEdit* ZoomEdit = nullptr;
    QLineEdit* PageEdit = nullptr;
    QLabel* PageLabel = nullptr;
    QAction* UseColor = nullptr;

    // Handlers.
    void ZoomEditDone();
    void PageEditDone();
    void PrintPage();
    void PrintReport();
    void PrintRange();
    void PrinterSetup();
    void FirstPage();
    void LastPage();
    void UseColorClick();
    void SetZoom(double percent);

    int StartCount() const { return m_starts; } // how many times the preview was started

protected:
    void showEvent(QShowEvent* event) override;
    void done(int result) override;

private:
    void buildControls();
    void buildMenus();
    void startPreview();
    void zoomChanged();
    void pageChanged();
    bool printerBusy();
    void print(int first, int last, int copies);
    void restoreGeometry();

    platform::Dialogs& m_dialogs;
    QPrinter& m_printer;
    settings::WindowGeometry& m_geometry;
    bool m_shown = false;
    int m_starts = 0;
};

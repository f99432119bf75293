#pragma once

// Shows a recorded report one page at a time in a scroll area the owner
// supplies, at a zoom factor. Only the page shown is rendered: onto an RGB
// image at the screen's resolution, converted afterwards when monochrome
// (Qt cannot paint on a one-bit image). The page has no unprintable borders.

#include "reportengine/StreamPlayer.h"

#include <QImage>
#include <QPalette>
#include <QPointer>
#include <functional>

class QScrollArea;
class QWidget;

namespace reportengine {

// mmFixed: the margin around the page is MarginPercent of the paper width at
// 100 %, whatever the zoom; mmScaled: it grows and shrinks with the page.
enum MarginMethod { mmScaled = 0, mmFixed = 1 };

inline constexpr const char* kNoScrollBox = "ScrollBox must be assigned for FilePreview component";

class TFilePreview : public StreamPlayer {
public:
    using Event = std::function<void(TFilePreview&)>;

    TFilePreview();
    ~TFilePreview() override;

    // Fires when ZoomFactor is set (and at Start); an owner that handles it
    // redraws the page itself.
    Event OnZoomChange;
    // Fires when a page is about to be shown; PageNumber() is already that page.
    Event OnPageChange;

    // Not owned; the preview puts its own page widget in it while running.
    QScrollArea* ScrollBox() const { return m_scrollBox; }
    void SetScrollBox(QScrollArea* scrollBox) { m_scrollBox = scrollBox; }
    double ZoomInc() const { return m_zoomInc; }
    void SetZoomInc(double percent) { m_zoomInc = percent; }
    double ZoomFactor() const { return m_zoom; }
    // Kept to 10..200; then OnZoomChange, or without one a running preview redraws.
    void SetZoomFactor(double percent);
    bool Monochrome() const { return m_monochrome; }
    void SetMonochrome(bool on) { m_monochrome = on; } // used from the next page shown
    reportengine::MarginMethod MarginMethod() const { return m_marginMethod; }
    void SetMarginMethod(reportengine::MarginMethod method) { m_marginMethod = method; }
    double MarginPercent() const { return m_marginPercent; } // of the paper width
    void SetMarginPercent(double percent) { m_marginPercent = percent; }

    // Reads the stream and shows its first page. Raises kAlreadyPrinting when
    // running, kNoScrollBox without a scroll area, StreamError for damage.
    void Start();
    // Frees the page and the stream (an owner's stream stays open).
    void Stop();
    bool IsRunning() const { return m_running; }

    // The page recorded with number n; numbers outside the report show its
    // first or last page. Raises kNotPrinting when not running.
    void GotoPage(int pageNumber);
    void PrevPage();   // only when there is a previous page
    void NextPage();   // only when there is a next page
    void RedrawPage(); // nothing when not running
    void ZoomIn();
    void ZoomOut();
    void ZoomPageWidth();
    void ZoomPage();

    int PageNumber() const { return m_pageNumber; } // of the page shown, 0 when none
    const QImage& PageImage() const { return m_image; }
    QWidget* PageWidget() const; // the page inside the scroll area, nullptr when not running

private:
    void showPage(int pageNumber);
    void requireRunning() const;
    int marginDots(double zoom) const;
    QSize shownSize(double zoom) const;
    double fitted(double zoom, double width, double height) const;
    double screenDpiX() const;
    double screenDpiY() const;
    double clientWidth() const;
    double clientHeight() const;

    QPointer<QScrollArea> m_scrollBox;
    QPointer<QWidget> m_container; // the scroll area's widget: the page and its margins
    QWidget* m_page = nullptr;     // child of m_container
    QPalette::ColorRole m_viewportRole = QPalette::NoRole; // the scroll area's own, restored by Stop
    double m_zoomInc = 10;
    double m_zoom = 100;
    bool m_monochrome = false;
    reportengine::MarginMethod m_marginMethod = mmFixed;
    double m_marginPercent = 0;
    bool m_running = false;
    int m_pageNumber = 0;
    stream::PageInfo m_current;
    QImage m_image;
};

} // namespace reportengine

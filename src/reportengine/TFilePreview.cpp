#include "reportengine/TFilePreview.h"

#include <QPaintEvent>
#include <QPainter>
#include <QScrollArea>
#include <QScrollBar>
#include <QStyle>
#include <cmath>
#include <limits>

namespace reportengine {

namespace {

// The page shown: its image, painted as it is.
class PageView : public QWidget {
public:
    explicit PageView(QWidget* parent) : QWidget(parent) { setAttribute(Qt::WA_OpaquePaintEvent); }

    void setImage(const QImage& image)
    {
        m_image = image;
        update();
    }

protected:
    void paintEvent(QPaintEvent* event) override
    {
        QPainter painter(this);
        painter.drawImage(event->rect(), m_image,
                          QRectF(QPointF(event->rect().topLeft()) * m_image.devicePixelRatio(),
                                 QSizeF(event->rect().size()) * m_image.devicePixelRatio()));
    }

private:
    QImage m_image;
};

constexpr double kMinZoom = 10;
constexpr double kMaxZoom = 200;

int rounded(double value)
{
    return static_cast<int>(std::nearbyint(value));
}

} // namespace

TFilePreview::TFilePreview() = default;

TFilePreview::~TFilePreview()
{
    Stop();
}

QWidget* TFilePreview::PageWidget() const
{
    return m_container ? m_page : nullptr;
}

void TFilePreview::SetZoomFactor(double percent)
{
    m_zoom = std::clamp(percent, kMinZoom, kMaxZoom);
    if (OnZoomChange)
        OnZoomChange(*this);
    else
        RedrawPage();
}

void TFilePreview::Start()
{
    if (m_running)
        throw ReportError(kAlreadyPrinting);
    if (!m_scrollBox)
        throw ReportError(kNoScrollBox);
    if (OnZoomChange)
        OnZoomChange(*this);
    openStream();
    auto* container = new QWidget;
    container->setObjectName(QStringLiteral("PreviewPages"));
    // The desk the page lies on, so that its edges show; the scroll area around it matches.
    container->setBackgroundRole(QPalette::Dark);
    container->setAutoFillBackground(true);
    m_viewportRole = m_scrollBox->viewport()->backgroundRole();
    m_scrollBox->viewport()->setBackgroundRole(QPalette::Dark);
    m_page = new PageView(container);
    m_page->setObjectName(QStringLiteral("PreviewPage"));
    m_scrollBox->setWidgetResizable(false);
    m_scrollBox->setWidget(container);
    m_container = container;
    m_running = true;
    try {
        showPage(1);
    } catch (...) {
        Stop();
        throw;
    }
}

void TFilePreview::Stop()
{
    if (m_container) {
        if (m_scrollBox && m_scrollBox->widget() == m_container) {
            m_scrollBox->takeWidget();
            m_scrollBox->viewport()->setBackgroundRole(m_viewportRole);
        }
        delete m_container;
    }
    m_page = nullptr;
    m_image = QImage();
    m_pageNumber = 0;
    m_current = {};
    m_running = false;
    closeStream();
}

void TFilePreview::requireRunning() const
{
    if (!m_running)
        throw ReportError(kNotPrinting);
}

void TFilePreview::GotoPage(int pageNumber)
{
    requireRunning();
    showPage(pageNumber);
}

void TFilePreview::PrevPage()
{
    requireRunning();
    if (m_current.start.previous != 0)
        showPage(m_pageNumber - 1);
}

void TFilePreview::NextPage()
{
    requireRunning();
    if (m_current.start.next != 0)
        showPage(m_pageNumber + 1);
}

void TFilePreview::RedrawPage()
{
    if (m_running)
        showPage(m_pageNumber);
}

void TFilePreview::ZoomIn()
{
    SetZoomFactor(m_zoom + m_zoomInc);
}

void TFilePreview::ZoomOut()
{
    SetZoomFactor(m_zoom - m_zoomInc);
}

double TFilePreview::screenDpiX() const
{
    return m_scrollBox ? m_scrollBox->logicalDpiX() : 96.0;
}

double TFilePreview::screenDpiY() const
{
    return m_scrollBox ? m_scrollBox->logicalDpiY() : 96.0;
}

// The room inside the scroll area's frame, scroll bars not counted.
double TFilePreview::clientWidth() const
{
    return m_scrollBox->width() - 2.0 * m_scrollBox->frameWidth();
}

double TFilePreview::clientHeight() const
{
    return m_scrollBox->height() - 2.0 * m_scrollBox->frameWidth();
}

int TFilePreview::marginDots(double zoom) const
{
    const int fixed = rounded(screenDpiX() * PaperWidth() * m_marginPercent / 100);
    return m_marginMethod == mmFixed ? fixed : rounded(fixed * zoom / 100);
}

// The scroll area's widget at a zoom: the page and its margin on every side.
QSize TFilePreview::shownSize(double zoom) const
{
    const int m = marginDots(zoom);
    return {rounded(screenDpiX() * PaperWidth() * zoom / 100) + 2 * m,
            rounded(screenDpiY() * PaperHeight() * zoom / 100) + 2 * m};
}

// A fitted zoom is cut to a tenth of a percent, so that the zoom shown with
// one decimal is the zoom used, and lowered while a rounded dot would spill over.
double TFilePreview::fitted(double zoom, double width, double height) const
{
    const auto spills = [&](int tenths) {
        const QSize size = shownSize(tenths / 10.0);
        return size.width() > width || size.height() > height;
    };
    int tenths = static_cast<int>(std::floor(std::clamp(zoom * 1000, 0.0, kMaxZoom * 10)));
    while (tenths > kMinZoom * 10 && spills(tenths))
        --tenths;
    return tenths / 10.0;
}

void TFilePreview::ZoomPage()
{
    requireRunning();
    if (!m_scrollBox)
        return;
    const double pageWidth = screenDpiX() * PaperWidth();
    const double pageHeight = screenDpiY() * PaperHeight();
    const double margin = pageWidth * m_marginPercent / 100;
    double zoom = 0;
    if (m_marginMethod == mmFixed) {
        const double m = rounded(margin);
        zoom = std::min((clientWidth() - 2 * m) / pageWidth, (clientHeight() - 2 * m) / pageHeight);
    } else {
        zoom = std::min(clientWidth() / (pageWidth + 2 * margin), clientHeight() / (pageHeight + 2 * margin));
    }
    SetZoomFactor(fitted(zoom, clientWidth(), clientHeight()));
}

// With a page taller than the room, the vertical scroll bar takes some of the width.
void TFilePreview::ZoomPageWidth()
{
    requireRunning();
    if (!m_scrollBox)
        return;
    const double pageWidth = screenDpiX() * PaperWidth();
    const double pageHeight = screenDpiY() * PaperHeight();
    const double margin = pageWidth * m_marginPercent / 100;
    const double scrollBar =
        m_scrollBox->style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, m_scrollBox);
    double width = clientWidth();
    double zoom = 0;
    if (m_marginMethod == mmFixed) {
        const double m = rounded(margin);
        zoom = (width - 2 * m) / pageWidth;
        if (pageHeight * zoom + 2 * m > clientHeight()) {
            width -= scrollBar;
            zoom = (width - 2 * m) / pageWidth;
        }
    } else {
        zoom = width / (pageWidth + 2 * margin);
        if ((pageHeight + 2 * margin) * zoom > clientHeight()) {
            width -= scrollBar;
            zoom = width / (pageWidth + 2 * margin);
        }
    }
    SetZoomFactor(fitted(zoom, width, std::numeric_limits<double>::infinity()));
}

void TFilePreview::showPage(int pageNumber)
{
    WaitCursor busy;
    const std::optional<stream::PageInfo> page = reader().page(pageNumber);
    m_current = page.value_or(stream::PageInfo{});
    m_pageNumber = page ? page->start.pageNumber : 0;
    if (OnPageChange)
        OnPageChange(*this);
    if (!m_scrollBox || !m_container)
        return;

    // Rendered at the screen's physical dots, shown at its logical size.
    const double ratio = m_scrollBox->devicePixelRatioF();
    PageDevice device;
    device.dpiX = screenDpiX() * ratio;
    device.dpiY = screenDpiY() * ratio;
    device.paperWidth = PaperWidth();
    device.paperHeight = PaperHeight();
    const int width = std::max(1, rounded(device.dpiX * device.paperWidth * m_zoom / 100));
    const int height = std::max(1, rounded(device.dpiY * device.paperHeight * m_zoom / 100));
    QImage image(width, height, QImage::Format_RGB32);
    if (image.isNull())
        throw ReportError("There is not enough memory to show the page.");
    {
        QPainter painter(&image);
        painter.fillRect(image.rect(), Qt::white);
        painter.setPen(QPen(Qt::black, 1));
        painter.drawRect(0, 0, width - 1, height - 1);
        canvas().keepGoing = nullptr;
        canvas().setTextAntialiasing(!m_monochrome);
        if (page)
            canvas().replay(reader().records(*page), &painter, device, m_zoom);
    }
    // Each colour goes to the nearer of black and white, as a one-bit printer
    // driver maps it: a 10 % shade is white, with no dither pattern.
    if (m_monochrome)
        image = image.convertToFormat(QImage::Format_Mono, Qt::MonoOnly | Qt::ThresholdDither);
    image.setDevicePixelRatio(ratio);
    m_image = image;

    const int m = marginDots(m_zoom);
    const QSize shown(rounded(width / ratio), rounded(height / ratio));
    const int x = m_scrollBox->horizontalScrollBar()->value();
    const int y = m_scrollBox->verticalScrollBar()->value();
    static_cast<PageView*>(m_page)->setImage(m_image);
    m_page->setGeometry(QRect(QPoint(m, m), shown));
    m_container->resize(shown + QSize(2 * m, 2 * m));
    m_scrollBox->horizontalScrollBar()->setValue(x);
    m_scrollBox->verticalScrollBar()->setValue(y);
}

} // namespace reportengine

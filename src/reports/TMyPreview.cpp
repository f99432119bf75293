#include "TMyPreview.h"

#include "TPrintRange.h"
#include "platform/Dialogs.h"
#include "platform/MenuShortcuts.h"
#include "settings/Settings.h"
#include "settings/WindowLook.h"

#include <QAction>
#include <QCloseEvent>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPrinter>
#include <QScreen>
#include <QScrollArea>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>
#include <QVBoxLayout>
#include <charconv>

std::optional<double> parseZoom(const QString& text)
{
    const QByteArray bytes = text.trimmed().toLatin1();
    if (bytes.isEmpty() || text.trimmed().size() != bytes.size())
        return std::nullopt;
    double value = 0;
    const auto [end, error] = std::from_chars(bytes.constData(), bytes.constData() + bytes.size(), value);
    if (error != std::errc() || end != bytes.constData() + bytes.size() || !std::isfinite(value))
        return std::nullopt;
    return value;
}

TMyPreview::TMyPreview(platform::Dialogs& dialogs, QPrinter& printer, QIODevice& stream,
                       const QString& caption, settings::WindowGeometry& geometry, QWidget* parent)
    : QDialog(parent), MyFilePrinter(printer), m_dialogs(dialogs), m_printer(printer), m_geometry(geometry)
{
    setObjectName(QStringLiteral("TMyPreview"));
    setWindowTitle(caption);
    buildControls();
    buildMenus();
    MyFilePreview.SetScrollBox(ScrollBox1);
    MyFilePreview.SetZoomFactor(100);
    MyFilePreview.SetMarginMethod(reportengine::mmFixed);
    MyFilePreview.SetMarginPercent(2.5);
    MyFilePreview.SetStreamMode(reportengine::smUser);
    MyFilePreview.SetStream(&stream);
    MyFilePreview.OnZoomChange = [this](reportengine::TFilePreview&) { zoomChanged(); };
    MyFilePreview.OnPageChange = [this](reportengine::TFilePreview&) { pageChanged(); };
    MyFilePrinter.SetStreamMode(reportengine::smUser);
    MyFilePrinter.SetStream(&stream);
    MyFilePrinter.SetTitle(caption);
    MyFilePrinter.SetPrinterChosen(true);
    MyFilePrinter.choosePdfFile = [this] { return choosePdfFile ? choosePdfFile() : QString(); };
    MyFilePrinter.showMessage = [this](const QString& text) {
        m_dialogs.message(QStringLiteral("Error"), text, platform::Button::Ok, platform::Button::Ok,
                          platform::Icon::Error);
    };
    new platform::MenuShortcuts(this);
    restoreGeometry();
}

TMyPreview::~TMyPreview() = default;

void TMyPreview::buildControls()
{
    // A tool bar rather than a row of widgets: on a narrow screen the controls that
    // do not fit go behind its extension button instead of widening the window.
    auto* bar = new QToolBar(this);
    bar->setObjectName(QStringLiteral("PreviewBar"));
    bar->setFloatable(false);
    bar->setMovable(false);
    const auto button = [&](QToolButton*& member, const char* name, const QString& hint) {
        member = new QToolButton(this);
        member->setObjectName(QString::fromLatin1(name));
        member->setText(hint);
        member->setToolTip(hint);
        bar->addWidget(member);
    };
    button(SBZoomIn, "SBZoomIn", QStringLiteral("Zoom In"));
    button(SBZoomOut, "SBZoomOut", QStringLiteral("Zoom Out"));
    button(SBZoomPageWidth, "SBZoomPageWidth", QStringLiteral("Zoom Page Width"));
    button(SBZoomPage, "SBZoomPage", QStringLiteral("Zoom Whole Page"));
    // Short faces keep the bar within a 1,024-pixel screen; the tips and menus say it in full.
    SBZoomPageWidth->setText(QStringLiteral("Page Width"));
    SBZoomPage->setText(QStringLiteral("Whole Page"));
    // Labels keep a little room from the boxes they name and the groups are set apart.
    const auto label = [&](QLabel* text) {
        text->setContentsMargins(6, 0, 4, 0);
        bar->addWidget(text);
        return text;
    };
    label(new QLabel(QStringLiteral("Zoom %"), this));
    ZoomEdit = new QLineEdit(this);
    ZoomEdit->setObjectName(QStringLiteral("ZoomEdit"));
    ZoomEdit->setMaxLength(10);
    ZoomEdit->setFixedWidth(ZoomEdit->fontMetrics().horizontalAdvance(QStringLiteral("0000.00")));
    bar->addWidget(ZoomEdit);
    bar->addSeparator();
    button(SBPrevPage, "SBPrevPage", QStringLiteral("Prev Page"));
    button(SBNextPage, "SBNextPage", QStringLiteral("Next Page"));
    label(new QLabel(QStringLiteral("Page #"), this));
    PageEdit = new QLineEdit(this);
    PageEdit->setObjectName(QStringLiteral("PageEdit"));
    bar->addWidget(PageEdit);
    PageLabel = label(new QLabel(QStringLiteral("Page 1 of 1"), this));
    PageLabel->setObjectName(QStringLiteral("PageLabel"));
    auto* stretch = new QWidget(this);
    stretch->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Preferred);
    bar->addWidget(stretch);
    button(SBPrint, "SBPrint", QStringLiteral("Print Page"));
    button(SBDone, "SBDone", QStringLiteral("Done"));
    ScrollBox1 = new QScrollArea(this);
    ScrollBox1->setObjectName(QStringLiteral("ScrollBox1"));
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(bar);
    layout->addWidget(ScrollBox1, 1);

    connect(SBZoomIn, &QToolButton::clicked, this, [this] { MyFilePreview.ZoomIn(); });
    connect(SBZoomOut, &QToolButton::clicked, this, [this] { MyFilePreview.ZoomOut(); });
    connect(SBZoomPageWidth, &QToolButton::clicked, this, [this] { MyFilePreview.ZoomPageWidth(); });
    connect(SBZoomPage, &QToolButton::clicked, this, [this] { MyFilePreview.ZoomPage(); });
    connect(SBPrevPage, &QToolButton::clicked, this, [this] { MyFilePreview.PrevPage(); });
    connect(SBNextPage, &QToolButton::clicked, this, [this] { MyFilePreview.NextPage(); });
    connect(SBPrint, &QToolButton::clicked, this, &TMyPreview::PrintPage);
    connect(SBDone, &QToolButton::clicked, this, &QDialog::close);
    connect(ZoomEdit, &QLineEdit::editingFinished, this, &TMyPreview::ZoomEditDone);
    connect(PageEdit, &QLineEdit::editingFinished, this, &TMyPreview::PageEditDone);
}

void TMyPreview::buildMenus()
{
    auto* bar = new QMenuBar(this);
    layout()->setMenuBar(bar);
    const auto item = [this](QMenu* menu, const QString& text, const QKeySequence& key, auto handler) {
        QAction* action = menu->addAction(text);
        action->setShortcut(key);
        action->setShortcutContext(Qt::WindowShortcut);
        connect(action, &QAction::triggered, this, handler);
        return action;
    };
    QMenu* file = bar->addMenu(QStringLiteral("&File"));
    item(file, QStringLiteral("&Print Page"), QKeySequence(Qt::CTRL | Qt::Key_P), &TMyPreview::PrintPage);
    item(file, QStringLiteral("Print &Report"), QKeySequence(Qt::CTRL | Qt::Key_R), &TMyPreview::PrintReport);
    item(file, QStringLiteral("Print Ran&ge"), QKeySequence(Qt::CTRL | Qt::Key_G), &TMyPreview::PrintRange);
    item(file, QStringLiteral("Printer &Setup"), QKeySequence(Qt::CTRL | Qt::Key_S),
         &TMyPreview::PrinterSetup);
    item(file, QStringLiteral("E&xit"), QKeySequence(Qt::CTRL | Qt::Key_X), &QDialog::close);
    QMenu* navigate = bar->addMenu(QStringLiteral("&Navigate"));
    item(navigate, QStringLiteral("&Previous Page"), QKeySequence(Qt::CTRL | Qt::Key_E),
         [this] { MyFilePreview.PrevPage(); });
    item(navigate, QStringLiteral("&Next Page"), QKeySequence(Qt::CTRL | Qt::Key_N),
         [this] { MyFilePreview.NextPage(); });
    item(navigate, QStringLiteral("&First Page"), QKeySequence(Qt::CTRL | Qt::Key_F), &TMyPreview::FirstPage);
    item(navigate, QStringLiteral("&Last Page"), QKeySequence(Qt::CTRL | Qt::Key_L), &TMyPreview::LastPage);
    QMenu* view = bar->addMenu(QStringLiteral("&View"));
    UseColor = item(view, QStringLiteral("Use Color"), QKeySequence(Qt::CTRL | Qt::Key_C),
                    &TMyPreview::UseColorClick);
    UseColor->setCheckable(true);
    UseColor->setChecked(true);
    QMenu* in = view->addMenu(QStringLiteral("Zoom &In"));
    in->menuAction()->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_I));
    connect(in->menuAction(), &QAction::triggered, this, [this] { MyFilePreview.ZoomIn(); });
    in->addAction(QStringLiteral("&1 : 1"), this, [this] { SetZoom(100); });
    in->addAction(QStringLiteral("&2 : 1"), this, [this] { SetZoom(200); });
    QMenu* out = view->addMenu(QStringLiteral("Zoom &Out"));
    out->menuAction()->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_O));
    connect(out->menuAction(), &QAction::triggered, this, [this] { MyFilePreview.ZoomOut(); });
    for (const auto& [text, zoom] : {std::pair{"1 : &1", 100.0},
                                     {"1 : &2", 50.0},
                                     {"1 : &3", 100.0 / 3},
                                     {"1 : &4", 25.0},
                                     {"1 : &5", 20.0}})
        out->addAction(QString::fromLatin1(text), this, [this, zoom = zoom] { SetZoom(zoom); });
    item(view, QStringLiteral("Zoom &Page Width"), QKeySequence(Qt::CTRL | Qt::Key_Z),
         [this] { MyFilePreview.ZoomPageWidth(); });
    item(view, QStringLiteral("Zoom &Whole Page"), QKeySequence(Qt::CTRL | Qt::Key_W),
         [this] { MyFilePreview.ZoomPage(); });
}

// A saved place on a monitor that is gone is pulled back onto a screen.
void TMyPreview::restoreGeometry()
{
    QRect rect = m_geometry.rect();
    rect.setSize(rect.size().expandedTo(QSize(320, 240)));
    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        const QRect room = screen->availableGeometry();
        rect.setSize(rect.size().boundedTo(room.size()));
        rect.moveLeft(std::clamp(rect.left(), room.left(), room.right() - rect.width() + 1));
        rect.moveTop(std::clamp(rect.top(), room.top(), room.bottom() - rect.height() + 1));
    }
    resize(rect.size());
    if (QGuiApplication::platformName() != QLatin1String("wayland"))
        move(rect.topLeft());
}

void TMyPreview::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    if (!m_shown) {
        m_shown = true;
        QTimer::singleShot(0, this, &TMyPreview::startPreview);
    }
}

void TMyPreview::startPreview()
{
    try {
        ++m_starts;
        MyFilePreview.Start();
    } catch (const std::exception& e) {
        m_dialogs.message(QStringLiteral("Error"), QString::fromUtf8(e.what()), platform::Button::Ok,
                          platform::Button::Ok, platform::Icon::Error);
    }
}

// Every way out ends here: Done, Exit, the window's close button and Escape.
void TMyPreview::done(int result)
{
    MyFilePreview.Stop();
    m_geometry.width = width();
    m_geometry.height = height();
    if (QGuiApplication::platformName() != QLatin1String("wayland")) {
        m_geometry.left = x();
        m_geometry.top = y();
    }
    QDialog::done(result);
}

void TMyPreview::zoomChanged()
{
    ZoomEdit->setText(QString::number(MyFilePreview.ZoomFactor(), 'f', 1));
    MyFilePreview.RedrawPage();
}

void TMyPreview::pageChanged()
{
    PageEdit->setText(QString::number(MyFilePreview.PageNumber()));
    const int first = MyFilePreview.FirstPage() > 0 ? MyFilePreview.FirstPage() : 1;
    PageLabel->setText(QStringLiteral("Page %1 of %2")
                           .arg(MyFilePreview.PageNumber() - first + 1)
                           .arg(MyFilePreview.PageCount()));
    const int digits = int(QString::number(std::max(MyFilePreview.PageCount(), 1)).size());
    PageEdit->setFixedWidth(
        PageEdit->fontMetrics().horizontalAdvance(QString(std::max(3, digits) + 2, u'0')));
}

void TMyPreview::SetZoom(double percent)
{
    MyFilePreview.SetZoomFactor(percent);
}

void TMyPreview::ZoomEditDone()
{
    const std::optional<double> zoom = parseZoom(ZoomEdit->text());
    if (zoom && *zoom != MyFilePreview.ZoomFactor())
        MyFilePreview.SetZoomFactor(*zoom);
    else
        ZoomEdit->setText(QString::number(MyFilePreview.ZoomFactor(), 'f', 1));
}

void TMyPreview::PageEditDone()
{
    bool ok = false;
    const qlonglong page = PageEdit->text().trimmed().toLongLong(&ok);
    if (!ok || !MyFilePreview.IsRunning())
        return;
    const int clamped =
        int(std::clamp<qlonglong>(page, std::numeric_limits<int>::min(), std::numeric_limits<int>::max()));
    if (clamped != MyFilePreview.PageNumber())
        MyFilePreview.GotoPage(clamped);
}

void TMyPreview::FirstPage()
{
    if (MyFilePreview.IsRunning())
        MyFilePreview.GotoPage(std::numeric_limits<int>::min());
}

// The last page recorded, whatever number the report began with.
void TMyPreview::LastPage()
{
    if (MyFilePreview.IsRunning())
        MyFilePreview.GotoPage(std::numeric_limits<int>::max());
}

void TMyPreview::UseColorClick()
{
    MyFilePreview.Stop();
    MyFilePreview.SetMonochrome(!MyFilePreview.Monochrome());
    UseColor->setChecked(!MyFilePreview.Monochrome());
    startPreview();
}

bool TMyPreview::printerBusy()
{
    if (!MyFilePrinter.IsRunning())
        return false;
    m_dialogs.message(QStringLiteral("Error"),
                      QStringLiteral("Previous print job has not yet finished.  Try again later."),
                      platform::Button::Ok, platform::Button::Ok, platform::Icon::Error);
    return true;
}

void TMyPreview::print(int first, int last, int copies)
{
    try {
        MyFilePrinter.Print(first, last, copies);
    } catch (const std::exception& e) {
        m_dialogs.message(QStringLiteral("Error"), QString::fromUtf8(e.what()), platform::Button::Ok,
                          platform::Button::Ok, platform::Icon::Error);
    }
}

void TMyPreview::PrintPage()
{
    if (!printerBusy())
        print(MyFilePreview.PageNumber(), MyFilePreview.PageNumber(), 1);
}

void TMyPreview::PrintReport()
{
    if (printerBusy())
        return;
    try {
        MyFilePrinter.Run();
    } catch (const std::exception& e) {
        m_dialogs.message(QStringLiteral("Error"), QString::fromUtf8(e.what()), platform::Button::Ok,
                          platform::Button::Ok, platform::Icon::Error);
    }
}

void TMyPreview::PrintRange()
{
    if (printerBusy())
        return;
    TPrintRange range(m_dialogs, MyFilePreview.PageCount(), this);
    if (printRangeColors)
        settings::colorOnEveryShow(&range, *printRangeColors);
    range.exec();
    if (range.Confirmed()) {
        const int first = std::max(MyFilePreview.FirstPage(), 1) - 1;
        print(range.StartValue() + first, range.EndValue() + first, 1);
    }
}

void TMyPreview::PrinterSetup()
{
    m_dialogs.printerSetup(m_printer);
}

#include "reports/design/TRepLayout.h"

#include "platform/FontNames.h"
#include "reports/design/TReportPart.h"

#include <QEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QMouseEvent>
#include <QPainter>
#include <QPushButton>
#include <QShortcut>
#include <QVBoxLayout>

#include <cmath>

using namespace reports;

namespace {

int scaled(int design, double factor)
{
    return int(std::floor(design * factor));
}

// The longest start of `text` no wider than `width`: cut from the end until it fits.
QString fitted(const QString& text, const QFontMetrics& metrics, int width)
{
    if (metrics.horizontalAdvance(text) <= width)
        return text;
    int low = 0;
    int high = int(text.size());
    while (low < high) {
        const int mid = (low + high + 1) / 2;
        if (metrics.horizontalAdvance(text.left(mid)) <= width)
            low = mid;
        else
            high = mid - 1;
    }
    return text.left(low);
}

// The canvas: the layout window draws on it and watches its mouse.
class LayoutCanvas : public QWidget {
public:
    LayoutCanvas(const TRepLayout& layout, QWidget* parent) : QWidget(parent), m_layout(layout) {}

protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter painter(this);
        m_layout.BuildLayout(painter);
    }

private:
    const TRepLayout& m_layout;
};

} // namespace

TRepLayout::TRepLayout(ReportServices& services, int width, bool useTotals, QWidget* parent)
    : QDialog(parent), m_services(services), m_look(designLook(services.settings)), m_geometry(m_look.factor),
      m_copy(services.current), m_titles(services.fieldTitles ? services.fieldTitles() : QStringList()),
      m_width(width), m_useTotals(useTotals)
{
    setObjectName(QStringLiteral("TRepLayout"));
    setWindowTitle(QStringLiteral("Specify Report Layout"));
    setModal(true);
    const double f = m_look.factor;
    LayoutArea = new LayoutCanvas(*this, this);
    LayoutArea->setObjectName(QStringLiteral("LayoutArea"));
    LayoutArea->setFixedSize(633, 380); // the design; scaled once the window has been
    LayoutArea->installEventFilter(this);
    const auto label = [&](QLabel*& member, const char* name, const QString& text, int y) {
        member = new QLabel(text, LayoutArea);
        member->setObjectName(QString::fromLatin1(name));
        member->move(m_geometry.left(), scaled(y, f));
    };
    label(ReportNameLabel, "ReportNameLabel",
          QStringLiteral("Report: ") + QString::fromStdString(m_copy.name).left(38), 10);
    label(BodyLabel, "BodyLabel", QStringLiteral("Report Body"), 52);
    label(TotalsLabel, "TotalsLabel", QStringLiteral("Report Totals"), 332);
    QFont bold = ReportNameLabel->font();
    bold.setBold(true);
    ReportNameLabel->setFont(bold);
    BodyLabel->setVisible(m_copy.lineCount >= 1);
    TotalsLabel->setVisible(m_useTotals);

    OkButton = new QPushButton(QStringLiteral("&Ok"), this);
    OkButton->setObjectName(QStringLiteral("OkButton"));
    OkButton->setDefault(true);
    CancelButton = new QPushButton(QStringLiteral("&Cancel"), this);
    CancelButton->setObjectName(QStringLiteral("CancelButton"));
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(OkButton);
    buttons->addWidget(CancelButton);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(LayoutArea);
    layout->addLayout(buttons);
    connect(OkButton, &QPushButton::clicked, this, &TRepLayout::OkButtonClick);
    connect(CancelButton, &QPushButton::clicked, this, &TRepLayout::CancelButtonClick);
    connect(new QShortcut(QKeySequence::HelpContents, this), &QShortcut::activated, this, [this] {
        if (m_services.showHelp)
            m_services.showHelp(QStringLiteral("Specify Report Layout"));
    });
}

void TRepLayout::showEvent(QShowEvent* event)
{
    if (!m_shown) {
        m_shown = true;
        applyLook(this, m_look);
        LayoutArea->setFixedSize(scaled(633, m_look.factor), scaled(380, m_look.factor));
        for (QLabel* label : {ReportNameLabel, BodyLabel, TotalsLabel})
            label->adjustSize();
    }
    QDialog::showEvent(event);
}

QString TRepLayout::boxText(const ReportItem& item, bool totals) const
{
    switch (item.kind()) {
    case ReportItem::Kind::Filler:
        return QStringLiteral("Filler");
    case ReportItem::Kind::Label:
        return QString::fromStdString(item.label);
    case ReportItem::Kind::Field:
        break;
    }
    if (!totals && item.number >= 1 && item.number <= m_titles.size())
        return m_titles[item.number - 1];
    return QString::fromStdString(item.name);
}

void TRepLayout::drawLine(QPainter& painter, const ReportLine& line, int top, bool totals) const
{
    const int height = m_geometry.rowHeight();
    const QFontMetrics metrics = painter.fontMetrics();
    for (const LayoutBox& box : m_geometry.boxes(line, m_width)) {
        const QRect rect(box.x0, top, box.x1 - box.x0, height);
        painter.setPen(Qt::black);
        painter.setBrush(Qt::white);
        painter.drawRect(rect.adjusted(0, 0, -1, -1));
        const ReportItem& item = line[std::size_t(box.item)];
        const QRect inside = rect.adjusted(2, 1, -2, -1);
        const QString text = boxText(item, totals);
        const QString shown = fitted(text, metrics, inside.width());
        Qt::Alignment align = Qt::AlignLeft;
        switch (item.kind()) {
        case ReportItem::Kind::Filler:
            painter.setPen(Qt::darkGreen);
            align = Qt::AlignHCenter;
            break;
        case ReportItem::Kind::Label:
            painter.setPen(Qt::red);
            align = Qt::AlignRight;
            break;
        case ReportItem::Kind::Field:
            painter.setPen(Qt::black);
            break;
        }
        // A text cut to fit starts at the box's left edge.
        if (shown.size() < text.size())
            align = Qt::AlignLeft;
        painter.drawText(inside, int(align | Qt::AlignVCenter), shown);
    }
}

void TRepLayout::BuildLayout(QPainter& painter) const
{
    QFont font(platform::qtFontFamily(QStringLiteral("Arial")));
    font.setPointSizeF(8 * m_look.factor);
    painter.setFont(font);
    const int lines = std::clamp(m_copy.lineCount, 0, kMaxLines);
    for (int k = 0; k < lines; ++k)
        drawLine(painter, m_copy.lines[std::size_t(k)], m_geometry.bodyTop() + k * m_geometry.rowHeight(),
                 false);
    if (m_useTotals)
        drawLine(painter, m_copy.totals, m_geometry.totalsTop(), true);
}

std::optional<LayoutPosition> TRepLayout::CalcPosition(QPoint point) const
{
    return m_geometry.position(point.x(), point.y(), m_copy, m_width, m_useTotals);
}

bool TRepLayout::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == LayoutArea && event->type() == QEvent::MouseButtonPress) {
        m_pressed = CalcPosition(static_cast<QMouseEvent*>(event)->position().toPoint());
        return true;
    }
    if (watched == LayoutArea && event->type() == QEvent::MouseButtonRelease) {
        const std::optional<LayoutPosition> released =
            CalcPosition(static_cast<QMouseEvent*>(event)->position().toPoint());
        const std::optional<LayoutPosition> pressed = std::exchange(m_pressed, std::nullopt);
        // Dragging from one box to another picks nothing.
        if (released && pressed == released)
            EditPart(*released);
        return true;
    }
    return QDialog::eventFilter(watched, event);
}

bool TRepLayout::EditPart(LayoutPosition position)
{
    const bool totals = position.line == kTotalsLine;
    ReportLine& line = totals ? m_copy.totals : m_copy.lines[std::size_t(position.line - 1)];
    TReportPart part(m_services, line, totals, position.line, position.item, m_width, m_titles, this);
    const bool confirmed = part.exec() == QDialog::Accepted;
    LayoutArea->update();
    return confirmed;
}

void TRepLayout::OkButtonClick()
{
    m_services.current = m_copy;
    accept();
}

void TRepLayout::CancelButtonClick()
{
    reject();
}

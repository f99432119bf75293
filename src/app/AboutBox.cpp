#include "app/AboutBox.h"

#include <QDialogButtonBox>
#include <QFrame>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

namespace {

QLabel* makeLabel(const QString& text, const QString& name, QWidget* parent)
{
    auto* label = new QLabel(text, parent);
    label->setObjectName(name);
    label->setWordWrap(true);
    return label;
}

} // namespace

AboutBox::AboutBox(QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("AboutBox"));
    setWindowTitle(QStringLiteral("About Shelvano Books 95"));
    setModal(true);

    auto* product = makeLabel(QStringLiteral("Shelvano Books 95"), QStringLiteral("ProductLabel"), this);
    QFont big = product->font();
    big.setPointSizeF(big.pointSizeF() * 1.6);
    big.setBold(true);
    product->setFont(big);
    auto* description = makeLabel(QStringLiteral("A catalogue for a private book collection."),
                                  QStringLiteral("DescriptionLabel"), this);
    auto* version = makeLabel(QStringLiteral("Version %1").arg(QLatin1String(kProductVersion)),
                              QStringLiteral("VersionLabel"), this);
    auto* line = new QFrame(this);
    line->setFrameShape(QFrame::HLine);
    line->setFrameShadow(QFrame::Sunken);
    auto* formats = makeLabel(QStringLiteral("Book databases are dBase IV tables (.DBF) with their "
                                             "production index files (.MDX), so other dBase programs "
                                             "can open them too."),
                              QStringLiteral("FormatsLabel"), this);
    auto* qt = makeLabel(QStringLiteral("Running on Qt %1.").arg(QLatin1String(qVersion())),
                         QStringLiteral("QtLabel"), this);

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok, this);
    buttons->button(QDialogButtonBox::Ok)->setObjectName(QStringLiteral("OkButton"));
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(24, 20, 24, 16);
    layout->addWidget(product);
    layout->addWidget(description);
    layout->addWidget(version);
    layout->addSpacing(6);
    layout->addWidget(line);
    layout->addSpacing(6);
    layout->addWidget(formats);
    layout->addWidget(qt);
    layout->addSpacing(10);
    layout->addWidget(buttons);
    // Wrapped labels take the width of the widest line they must not break.
    formats->setMinimumWidth(360);
    layout->setSizeConstraint(QLayout::SetFixedSize);
}

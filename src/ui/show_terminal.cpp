#include "ui/show_terminal.h"

#include "ui/product_icons.h"

#include <QGridLayout>
#include <QLabel>
#include <QPlainTextEdit>

namespace kestrix {

CShowTerminal::CShowTerminal(const ProductIcons& icons, QWidget* parent)
    : QWidget(parent), icons_(icons), icon_(new QLabel(this)), headline_(new QLabel(this)),
      addresses_(new QPlainTextEdit(this)) {
    icon_->setFixedSize(ProductIcons::kSize, ProductIcons::kSize);
    headline_->setObjectName(QStringLiteral("headline"));
    headline_->setTextFormat(Qt::PlainText);
    headline_->setTextInteractionFlags(Qt::TextSelectableByMouse);
    QFont headlineFont = headline_->font();
    headlineFont.setBold(true);
    headlineFont.setPointSizeF(headlineFont.pointSizeF() * 1.2);
    headline_->setFont(headlineFont);

    addresses_->setObjectName(QStringLiteral("addresses"));
    addresses_->setReadOnly(true);
    addresses_->setFrameShape(QFrame::NoFrame);
    addresses_->setLineWrapMode(QPlainTextEdit::NoWrap);
    addresses_->setTabStopDistance(addresses_->fontMetrics().horizontalAdvance(QLatin1Char('0')) * 30);
    QPalette palette = addresses_->palette();
    palette.setColor(QPalette::Base, palette.color(QPalette::Window));
    addresses_->setPalette(palette);

    auto* layout = new QGridLayout(this);
    layout->setContentsMargins(12, 14, 12, 12);
    layout->setHorizontalSpacing(10);
    layout->addWidget(icon_, 0, 0, Qt::AlignTop);
    layout->addWidget(headline_, 0, 1, Qt::AlignVCenter);
    layout->addWidget(addresses_, 1, 0, 1, 2);
    layout->setColumnStretch(1, 1);
    layout->setRowStretch(1, 1);
}

void CShowTerminal::showTerminal(const ShowTerminalText& text) {
    icon_->setPixmap(icons_.icon(text.iconIndex));
    headline_->setText(QString::fromStdString(text.headline));
    std::string addresses = text.ipv4Text;
    if (!addresses.empty() && !text.ipv6Text.empty())
        addresses += "\n\n";
    addresses += text.ipv6Text;
    addresses_->setPlainText(QString::fromStdString(addresses));
}

} // namespace kestrix

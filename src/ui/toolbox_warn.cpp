#include "ui/toolbox_warn.h"

#include "ui/plain_label.h"

#include "messages/product.h"

#include <QDialogButtonBox>
#include <QStyle>
#include <QVBoxLayout>

namespace kestrix {
namespace {

QLabel* centredLabel(const std::string& text, QWidget* parent) {
    QLabel* label = plainLabel(text, parent);
    label->setAlignment(Qt::AlignCenter);
    return label;
}

} // namespace

CToolBoxWarn::CToolBoxWarn(const StartWarningTexts& texts, QWidget* parent) : QDialog(parent) {
    setWindowTitle(QString::fromUtf8(kProductCaption));

    auto* icon = new QLabel(this);
    const int iconSize = style()->pixelMetric(QStyle::PM_MessageBoxIconSize, nullptr, this);
    icon->setPixmap(
        style()->standardIcon(QStyle::SP_MessageBoxWarning, nullptr, this).pixmap(iconSize, iconSize));
    icon->setAlignment(Qt::AlignCenter);

    QLabel* attention = centredLabel(texts.attention, this);
    QFont attentionFont = attention->font();
    attentionFont.setBold(true);
    attentionFont.setPointSizeF(attentionFont.pointSizeF() * 1.6);
    attention->setFont(attentionFont);
    attention->setStyleSheet(QStringLiteral("color: #b03a2e;"));

    QLabel* ownRisk = centredLabel(texts.ownRisk, this);
    QFont ownRiskFont = ownRisk->font();
    ownRiskFont.setBold(true);
    ownRisk->setFont(ownRiskFont);

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(24, 20, 24, 16);
    layout->setSpacing(14);
    layout->addWidget(icon);
    layout->addWidget(attention);
    layout->addWidget(centredLabel(texts.text, this));
    layout->addWidget(ownRisk);
    layout->addWidget(buttons);
    setFixedWidth(520);
}

} // namespace kestrix

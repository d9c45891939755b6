#include "ui/about_dialog.h"

#include "ui/local_page.h"
#include "ui/plain_label.h"
#include "ui/product_icons.h"

#include <QDialogButtonBox>
#include <QGridLayout>
#include <QPainter>
#include <QTextBrowser>

namespace kestrix {
namespace {

QPixmap aboutIcon() {
    QPixmap pixmap(48, 48);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    drawProductIcon(painter, QRectF(0, 0, 48, 48), 5);
    return pixmap;
}

} // namespace

CAboutDlg::CAboutDlg(const AboutTexts& texts, QWidget* parent) : QDialog(parent) {
    setWindowTitle(QString::fromStdString(texts.caption));

    auto* icon = new QLabel(this);
    icon->setPixmap(aboutIcon());
    QLabel* productLine = plainLabel(texts.productLine, this);
    productLine->setObjectName(QStringLiteral("productLine"));
    QFont productFont = productLine->font();
    productFont.setBold(true);
    productLine->setFont(productFont);
    QLabel* notice = plainLabel(texts.notice, this);
    notice->setObjectName(QStringLiteral("notice"));

    auto* licence = new QTextBrowser(this);
    licence->setObjectName(QStringLiteral("licence"));
    licence->setOpenExternalLinks(true);
    if (const std::optional<QUrl> page = existingLocalPage(texts.licenceUrl))
        licence->setSource(*page);

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);

    auto* layout = new QGridLayout(this);
    layout->setContentsMargins(16, 16, 16, 12);
    layout->setHorizontalSpacing(14);
    layout->addWidget(icon, 0, 0, 2, 1, Qt::AlignTop);
    layout->addWidget(productLine, 0, 1);
    layout->addWidget(notice, 1, 1);
    layout->addWidget(licence, 2, 0, 1, 2);
    layout->addWidget(buttons, 3, 0, 1, 2);
    layout->setColumnStretch(1, 1);
    layout->setRowStretch(2, 1);
    resize(560, 460);
}

} // namespace kestrix

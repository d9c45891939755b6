#include "ui/toolbox_wait.h"

#include "ui/plain_label.h"

#include <QProgressBar>
#include <QVBoxLayout>

namespace kestrix {
namespace {

QLabel* textLine(QWidget* parent, const char* name) {
    QLabel* label = plainLabel({}, parent);
    label->setObjectName(QString::fromLatin1(name));
    return label;
}

} // namespace

CToolBoxWait::CToolBoxWait(QWidget* parent)
    : QWidget(parent), title_(textLine(this, "waitTitle")), pleaseWait_(textLine(this, "pleaseWait")),
      progress_(textLine(this, "progressLine")) {
    QFont titleFont = title_->font();
    titleFont.setBold(true);
    title_->setFont(titleFont);
    auto* busy = new QProgressBar(this);
    busy->setRange(0, 0); // no known end: the bar moves while the search runs
    busy->setTextVisible(false);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(12, 14, 12, 12);
    layout->setSpacing(10);
    layout->addWidget(title_);
    layout->addWidget(pleaseWait_);
    layout->addWidget(busy);
    layout->addWidget(progress_);
    layout->addStretch(1);
}

void CToolBoxWait::setTexts(const std::string& title, const std::string& pleaseWait) {
    title_->setText(QString::fromStdString(title));
    pleaseWait_->setText(QString::fromStdString(pleaseWait));
    progress_->clear();
}

void CToolBoxWait::setProgressLine(const std::string& text) {
    progress_->setText(QString::fromStdString(text));
    progress_->repaint();
}

} // namespace kestrix

#include "ui/t7000ip_key_dialog.h"

#include "messages/toolbox_lang.h"
#include "ui/qt_message_boxes.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

namespace kestrix {

T7000ipKeyDialog::T7000ipKeyDialog(QWidget* parent)
    : QDialog(parent), groupLabel_(new QLabel(this)), groupField_(new QLineEdit(this)),
      searchAgainLabel_(new QLabel(this)), ok_(new QPushButton(QStringLiteral("OK"), this)),
      cancel_(new QPushButton(this)) {
    groupField_->setObjectName(QStringLiteral("groupField"));
    ok_->setObjectName(QStringLiteral("ok"));
    groupField_->setFixedWidth(groupField_->fontMetrics().horizontalAdvance(QStringLiteral("0000000")) + 12);
    groupLabel_->setTextFormat(Qt::PlainText);
    groupLabel_->setBuddy(groupField_);
    searchAgainLabel_->setTextFormat(Qt::PlainText);
    searchAgainLabel_->setWordWrap(true);
    ok_->setDefault(true);
    connect(ok_, &QPushButton::clicked, this, [this] {
        if (logic_ != nullptr)
            logic_->onOK();
    });
    connect(cancel_, &QPushButton::clicked, this, &T7000ipKeyDialog::reject);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(ok_);
    buttons->addWidget(cancel_);

    auto* layout = new QGridLayout(this);
    layout->setContentsMargins(16, 16, 16, 12);
    layout->setVerticalSpacing(12);
    layout->addWidget(groupLabel_, 0, 0);
    layout->addWidget(groupField_, 0, 1, Qt::AlignLeft);
    layout->addWidget(searchAgainLabel_, 1, 0, 1, 2);
    layout->addLayout(buttons, 2, 0, 1, 2);
    layout->setColumnStretch(1, 1);
    setMinimumWidth(420);
}

bool T7000ipKeyDialog::run(QWidget* parent, T7000ip& engine, const CToolBoxLang& language) {
    T7000ipKeyDialog dialog(parent);
    QtMessageBoxes messageBoxes(dialog);
    CT7000ipKey logic(engine, language, dialog, messageBoxes);
    dialog.setLogic(logic, language);
    logic.initDialog();
    dialog.groupField_->selectAll();
    return dialog.exec() == QDialog::Accepted;
}

void T7000ipKeyDialog::setLogic(CT7000ipKey& logic, const CToolBoxLang& language) {
    logic_ = &logic;
    cancel_->setText(QString::fromStdString(language.GetText(0)));
}

void T7000ipKeyDialog::setCaption(const std::string& caption) {
    setWindowTitle(QString::fromStdString(caption));
}

void T7000ipKeyDialog::setLabels(const std::string& groupLabel, const std::string& searchAgainLabel) {
    groupLabel_->setText(QString::fromStdString(groupLabel));
    searchAgainLabel_->setText(QString::fromStdString(searchAgainLabel));
}

void T7000ipKeyDialog::setGroupField(const std::string& text, int maximumLength) {
    groupField_->setMaxLength(maximumLength);
    groupField_->setText(QString::fromStdString(text));
}

std::string T7000ipKeyDialog::groupField() const {
    return groupField_->text().toStdString();
}

void T7000ipKeyDialog::close(bool accepted) {
    closing_ = true;
    if (accepted)
        accept();
    else
        QDialog::reject();
}

void T7000ipKeyDialog::reject() {
    if (closing_ || logic_ == nullptr) {
        QDialog::reject();
        return;
    }
    logic_->onCancel();
}

} // namespace kestrix

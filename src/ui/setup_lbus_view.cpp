#include "ui/setup_lbus_view.h"

#include "config/set_encrypt.h"
#include "ui/plain_label.h"
#include "ui/qt_message_boxes.h"
#include "ui/setup_encrypt_dialog.h"
#include "ui/setup_controls.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QPushButton>
#include <QVBoxLayout>

namespace kestrix {

namespace {

constexpr int kReaderType = 336;
constexpr int kCancel = 0;
constexpr int kReader = 368;
constexpr int kGenerateKey = 369;
constexpr int kReaderColumns = 4;

} // namespace

SetupLbusView::SetupLbusView(SetupPageLbus& page, CTerminalSetup& editor, const CToolBoxLang& language,
                             QWidget* parent)
    : SetupPageView(parent), page_(page), keys_(editor.pendingKeys()), language_(language) {
    auto* layout = new QVBoxLayout(this);
    if (page_.usability() != LbusUsability::Usable) {
        QLabel* text = plainLabel(page_.unusableText(), this);
        text->setObjectName(QStringLiteral("unusable"));
        layout->addWidget(text);
        layout->addStretch(1);
        return;
    }
    readerType_ = new QComboBox(this);
    readerType_->setObjectName(QStringLiteral("readerType"));
    for (const std::string& name : page_.readerTypeNames())
        readerType_->addItem(qtText(name));
    auto* type = new QGridLayout;
    addSetupRow(*type, setupText(language, kReaderType), readerType_);
    type->setColumnStretch(2, 1);

    auto* readers = new QGroupBox(this);
    readers->setObjectName(QStringLiteral("readers"));
    auto* grid = new QGridLayout(readers);
    for (std::size_t index = 0; index < readers_.size(); ++index) {
        const int number = page_.firstReader() + static_cast<int>(index);
        auto* box = new QCheckBox(setupText(language, kReader) + QLatin1Char(' ') + QString::number(number), readers);
        box->setObjectName(QStringLiteral("reader%1").arg(number));
        grid->addWidget(box, static_cast<int>(index) / kReaderColumns, static_cast<int>(index) % kReaderColumns);
        readers_[index] = box;
    }
    key_ = new QPushButton(setupText(language, kGenerateKey), this);
    key_->setObjectName(QStringLiteral("lbusKey"));
    key_->setAutoDefault(false);
    connect(key_, &QPushButton::clicked, this, &SetupLbusView::makeKey);
    auto* keyRow = new QHBoxLayout;
    keyRow->addWidget(key_);
    keyRow->addStretch(1);
    layout->addLayout(type);
    layout->addWidget(readers);
    layout->addLayout(keyRow);
    layout->addStretch(1);
}

void SetupLbusView::makeKey() {
    const int bus = page_.firstReader() == 1 ? 1 : 2;
    QtMessageBoxes boxes(*this);
    CSetEncrypt dialog = CSetEncrypt::forLbus(language_, boxes, bus);
    SetupEncryptDialog window(dialog, setupText(language_, kCancel), this);
    if (window.exec() == QDialog::Accepted)
        keys_.lbus[static_cast<std::size_t>(bus - 1)] = dialog.key();
}

void SetupLbusView::load() {
    if (!readerType_)
        return;
    readerType_->setCurrentIndex(page_.values.readerType);
    key_->setEnabled(page_.keyEnabled());
    for (std::size_t index = 0; index < readers_.size(); ++index)
        readers_[index]->setChecked(page_.values.readers[index]);
}

void SetupLbusView::store() {
    if (!readerType_)
        return;
    page_.values.readerType = readerType_->currentIndex();
    for (std::size_t index = 0; index < readers_.size(); ++index)
        page_.values.readers[index] = readers_[index]->isChecked();
}

} // namespace kestrix

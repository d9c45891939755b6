#include "ui/setup_lbus_view.h"

#include "ui/plain_label.h"
#include "ui/setup_controls.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QVBoxLayout>

namespace kestrix {

namespace {

constexpr int kReaderType = 336;
constexpr int kReader = 368;
constexpr int kReaderColumns = 4;

} // namespace

SetupLbusView::SetupLbusView(SetupPageLbus& page, const CToolBoxLang& language, QWidget* parent)
    : SetupPageView(parent), page_(page) {
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
    layout->addLayout(type);
    layout->addWidget(readers);
    layout->addStretch(1);
}

void SetupLbusView::load() {
    if (!readerType_)
        return;
    readerType_->setCurrentIndex(page_.values.readerType);
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

#include "ui/setup_reader_view.h"

#include "ui/setup_controls.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QSpinBox>
#include <QVBoxLayout>

namespace kestrix {

namespace {

constexpr int kReaderType = 336;
constexpr int kReaderMode = 337;
constexpr int kChipcardParameters = 344;

void fillList(QComboBox& list, const std::vector<std::string>& names) {
    const QSignalBlocker blocker(&list);
    list.clear();
    for (const std::string& name : names)
        list.addItem(qtText(name));
}

} // namespace

SetupReaderView::SetupReaderView(SetupPageReader& page, const CToolBoxLang& language, QWidget* parent)
    : SetupPageView(parent), page_(page), type_(new QComboBox(this)), mode_(new QComboBox(this)),
      furtherOption_(setupCheckBox(qtText(page.furtherOptionLabel()), "furtherOption", this)),
      chipcard1_(setupSpinBox(SetupPageReader::kChipcardParameter, "chipcard1", this)),
      chipcard2_(setupSpinBox(SetupPageReader::kChipcardParameter, "chipcard2", this)) {
    type_->setObjectName(QStringLiteral("readerType"));
    mode_->setObjectName(QStringLiteral("readerMode"));
    auto* chipcard = new QHBoxLayout;
    chipcard->addWidget(chipcard1_);
    chipcard->addWidget(chipcard2_);
    auto* chipcardRow = new QWidget(this);
    chipcard->setContentsMargins(0, 0, 0, 0);
    chipcardRow->setLayout(chipcard);
    chipcard1_->setParent(chipcardRow);
    chipcard2_->setParent(chipcardRow);

    auto* grid = new QGridLayout;
    addSetupRow(*grid, setupText(language, kReaderType), type_);
    grid->addWidget(furtherOption_, 0, 2);
    addSetupRow(*grid, setupText(language, kReaderMode), mode_);
    addSetupRow(*grid, setupText(language, kChipcardParameters), chipcardRow);
    grid->setColumnStretch(3, 1);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(grid);
    layout->addStretch(1);

    connect(type_, &QComboBox::currentIndexChanged, this, [this](int index) {
        if (loading_)
            return;
        page_.selectType(index);
        fillModes();
        enableChipcard();
    });
    connect(mode_, &QComboBox::currentIndexChanged, this, [this](int index) {
        if (loading_)
            return;
        page_.values.mode = index;
        enableChipcard();
    });
}

void SetupReaderView::fillModes() {
    fillList(*mode_, page_.modeNames());
    const QSignalBlocker blocker(mode_);
    mode_->setCurrentIndex(page_.values.mode);
}

void SetupReaderView::enableChipcard() {
    chipcard1_->setEnabled(page_.chipcardParametersEnabled());
    chipcard2_->setEnabled(page_.chipcardParametersEnabled());
}

void SetupReaderView::load() {
    loading_ = true;
    const ReaderPageValues& values = page_.values;
    fillList(*type_, page_.typeNames());
    type_->setCurrentIndex(values.type);
    fillModes();
    furtherOption_->setChecked(values.furtherOption);
    chipcard1_->setValue(values.chipcard1);
    chipcard2_->setValue(values.chipcard2);
    enableChipcard();
    loading_ = false;
}

void SetupReaderView::store() {
    ReaderPageValues& values = page_.values;
    values.type = type_->currentIndex();
    values.mode = mode_->currentIndex();
    values.furtherOption = furtherOption_->isChecked();
    values.chipcard1 = chipcard1_->value();
    values.chipcard2 = chipcard2_->value();
}

} // namespace kestrix

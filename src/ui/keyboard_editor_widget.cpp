#include "ui/keyboard_editor_widget.h"

#include "ui/plain_label.h"
#include "ui/setup_controls.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFileDialog>
#include <QFrame>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScrollArea>
#include <QSignalBlocker>
#include <QThread>
#include <QVBoxLayout>

#include <utility>

namespace kestrix {

namespace {

// The pane is narrow: the cells are smaller than the editor's 38 units, and
// the outline is scaled to them.
constexpr int kCellPixels = 30;
constexpr int kCellUnits = 38;
constexpr int kPaletteColumns = 12;
constexpr int kPaletteButtonWidth = 30;

int pixels(int units) {
    return units * kCellPixels / kCellUnits;
}

QPushButton* dialogButton(const std::string& text, const QString& name, QWidget* parent) {
    auto* button = new QPushButton(qtText(text), parent);
    button->setObjectName(name);
    button->setAutoDefault(false);
    return button;
}

} // namespace

KeyboardEditorWidget::KeyboardEditorWidget(Matrix_Win& editor, LongOperationRunner runLong, QWidget* parent)
    : QWidget(parent), editor_(editor), runLong_(std::move(runLong)) {
    setObjectName(QStringLiteral("keyboardEditor"));
    title_ = plainLabel(std::string(), this);
    title_->setObjectName(QStringLiteral("title"));
    QFont bold = title_->font();
    bold.setBold(true);
    title_->setFont(bold);

    auto* contents = new QWidget;
    auto* upper = new QHBoxLayout;
    upper->addWidget(buildSquare(), 0, Qt::AlignTop);
    upper->addWidget(buildButtons(), 1);
    auto* column = new QVBoxLayout(contents);
    column->setContentsMargins(4, 4, 4, 4);
    column->addWidget(title_);
    column->addLayout(upper);
    column->addWidget(buildInfoFields());
    column->addWidget(buildPalette());
    column->addStretch(1);

    auto* scroll = new QScrollArea(this);
    scroll->setFrameShape(QFrame::NoFrame);
    scroll->setWidgetResizable(true);
    scroll->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    scroll->setWidget(contents);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(scroll);
    editor_.attachView(*this);
}

KeyboardEditorWidget::~KeyboardEditorWidget() {
    editor_.detachView();
}

QWidget* KeyboardEditorWidget::buildSquare() {
    auto* frame = new QGroupBox(qtText(editor_.texts().keyboardArea));
    auto* square = new QWidget(frame);
    square->setObjectName(QStringLiteral("cells"));
    square->setFixedSize(kCellPixels * kMatrixColumns, kCellPixels * kMatrixRows);
    for (int row = 0; row < kMatrixRows; ++row)
        for (int column = 0; column < kMatrixColumns; ++column) {
            auto* cell = new QPushButton(square);
            cell->setObjectName(QStringLiteral("cell%1%2").arg(row).arg(column));
            cell->setAutoDefault(false);
            // Row 0 is the bottom row.
            cell->setGeometry(column * kCellPixels, (kMatrixRows - 1 - row) * kCellPixels, kCellPixels,
                              kCellPixels);
            connect(cell, &QPushButton::clicked, this, [this, row, column] { editor_.OnCell(row, column); });
            cells_[static_cast<std::size_t>(row)][static_cast<std::size_t>(column)] = cell;
        }
    outline_ = new QFrame(square);
    outline_->setObjectName(QStringLiteral("displayOutline"));
    outline_->setFrameShape(QFrame::Box);
    outline_->setLineWidth(2);
    outline_->setAttribute(Qt::WA_TransparentForMouseEvents);
    outline_->hide();
    auto* layout = new QVBoxLayout(frame);
    layout->addWidget(square);
    return frame;
}

QWidget* KeyboardEditorWidget::buildButtons() {
    const MatrixWinTexts& texts = editor_.texts();
    auto* controls = new QWidget;
    displayTypes_ = new QComboBox(controls);
    displayTypes_->setObjectName(QStringLiteral("displayType"));
    connect(displayTypes_, &QComboBox::activated, this, [this](int index) { editor_.OnDisplayType(index); });
    character_ = plainLabel(std::string(), controls);
    character_->setObjectName(QStringLiteral("character"));
    keyDescription_ = plainLabel(std::string(), controls);
    keyDescription_->setObjectName(QStringLiteral("keyDescription"));
    auto* characterRow = new QHBoxLayout;
    characterRow->addWidget(plainLabel(texts.character, controls));
    characterRow->addWidget(character_, 1);

    auto* layout = new QVBoxLayout(controls);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(displayTypes_);
    layout->addLayout(characterRow);
    layout->addWidget(keyDescription_);
    Matrix_Win& shown = editor_;
    const std::pair<const std::string*, std::function<void()>> buttons[] = {
        {&texts.loadFile, [this] { editor_.OnButtonFileLoad(); }},
        {&texts.saveAs, [this] { editor_.OnButtonFileSave(); }},
        {&texts.fetch, [this, &shown] { runLong_([&shown] { shown.OnButtonTermLoad(); }); }},
        {&texts.send, [this, &shown] { runLong_([&shown] { shown.OnButtonTermSave(); }); }},
        {&texts.help, [this] { editor_.OnButtonHelp(); }},
        {&texts.f17Notice, [this] { editor_.OnButtonKeyF17(); }},
        {&texts.ok, [this] { editor_.OnOK(); }},
        {&texts.cancel, [this] { editor_.OnCancel(); }},
    };
    static constexpr const char* kNames[] = {"loadFile", "saveFile",  "fetch", "send",
                                             "help",     "f17Notice", "ok",    "cancel"};
    for (std::size_t index = 0; index < std::size(buttons); ++index) {
        auto* button = dialogButton(*buttons[index].first, QString::fromLatin1(kNames[index]), controls);
        connect(button, &QPushButton::clicked, this, buttons[index].second);
        layout->addWidget(button);
    }
    progress_ = plainLabel(std::string(), controls);
    progress_->setObjectName(QStringLiteral("progress"));
    layout->addWidget(progress_);
    layout->addStretch(1);
    return controls;
}

QWidget* KeyboardEditorWidget::buildInfoFields() {
    const MatrixWinTexts& texts = editor_.texts();
    auto* fields = new QWidget;
    sideFields_ = new QCheckBox(qtText(texts.sideFields), fields);
    sideFields_->setObjectName(QStringLiteral("sideFields"));
    connect(sideFields_, &QCheckBox::toggled, this, [this](bool checked) { editor_.OnSideFields(checked); });
    id_ = new QLineEdit(fields);
    id_->setObjectName(QStringLiteral("id"));
    id_->setMaxLength(static_cast<int>(kKeybIdLength));
    revision_ = new QLineEdit(fields);
    revision_->setObjectName(QStringLiteral("revision"));
    revision_->setMaxLength(static_cast<int>(kKeybRevisionLength));
    revision_->setFixedWidth(48);
    description_ = new QLineEdit(fields);
    description_->setObjectName(QStringLiteral("description"));
    description_->setMaxLength(static_cast<int>(kKeybDescriptionLength));
    for (QLineEdit* field : {id_, revision_, description_})
        // Every keystroke reaches the editor: a text typed and left at once
        // (closing the pane, Cancel) is a change that asks before it is lost.
        connect(field, &QLineEdit::textEdited, this, [this] { textsEdited(); });
    auto* grid = new QGridLayout(fields);
    grid->setContentsMargins(0, 0, 0, 0);
    grid->addWidget(sideFields_, 0, 0, 1, 3);
    grid->addWidget(plainLabel(texts.idRevision, fields), 1, 0);
    grid->addWidget(id_, 1, 1);
    grid->addWidget(revision_, 1, 2);
    grid->addWidget(plainLabel(texts.description, fields), 2, 0);
    grid->addWidget(description_, 2, 1, 1, 2);
    grid->setColumnStretch(1, 1);
    return fields;
}

QWidget* KeyboardEditorWidget::buildPalette() {
    auto* frame = new QGroupBox(qtText(editor_.texts().keySelection));
    frame->setObjectName(QStringLiteral("palette"));
    auto* grid = new QGridLayout(frame);
    grid->setSpacing(1);
    int place = 0;
    for (const PaletteKey& key : Matrix_Win::paletteKeys()) {
        auto* button = dialogButton(key.label, QStringLiteral("key%1").arg(key.controlNumber), frame);
        button->setFixedWidth(kPaletteButtonWidth);
        const int control = key.controlNumber;
        connect(button, &QPushButton::clicked, this, [this, control] { editor_.OnPaletteKey(control); });
        grid->addWidget(button, place / kPaletteColumns, place % kPaletteColumns);
        ++place;
    }
    auto* clear = dialogButton(editor_.texts().clear, QStringLiteral("clear"), frame);
    connect(clear, &QPushButton::clicked, this, [this] { editor_.OnButtonClear(); });
    grid->addWidget(clear, place / kPaletteColumns + 1, 0, 1, 3);
    return frame;
}

template <typename Call> void KeyboardEditorWidget::queue(Call call) {
    if (QThread::currentThread() == thread())
        call();
    else
        QMetaObject::invokeMethod(this, std::move(call), Qt::QueuedConnection);
}

void KeyboardEditorWidget::textsEdited() {
    editor_.OnInfoTexts(plainText(id_->text()), plainText(revision_->text()),
                        plainText(description_->text()));
}

void KeyboardEditorWidget::showCells(const CellLabels& labels) {
    queue([this, labels] {
        for (std::size_t row = 0; row < labels.size(); ++row)
            for (std::size_t column = 0; column < labels[row].size(); ++column)
                cells_[row][column]->setText(qtText(labels[row][column]));
    });
}

void KeyboardEditorWidget::showSelectedKey(const std::string& character, const std::string& description) {
    queue([this, character, description] {
        character_->setText(qtText(character));
        keyDescription_->setText(qtText(description));
    });
}

void KeyboardEditorWidget::showTitle(const std::string& title) {
    queue([this, title] { title_->setText(qtText(title)); });
}

void KeyboardEditorWidget::showInfoTexts(const std::string& id, const std::string& revision,
                                         const std::string& description) {
    queue([this, id, revision, description] {
        id_->setText(qtText(id));
        revision_->setText(qtText(revision));
        description_->setText(qtText(description));
    });
}

void KeyboardEditorWidget::showDisplayTypes(const std::vector<std::string>& entries, int selected) {
    queue([this, entries, selected] {
        const QSignalBlocker blocker(displayTypes_);
        displayTypes_->clear();
        for (const std::string& entry : entries)
            displayTypes_->addItem(qtText(entry));
        displayTypes_->setCurrentIndex(selected);
    });
}

void KeyboardEditorWidget::showSideFields(SideFields state) {
    queue([this, state] {
        const QSignalBlocker blocker(sideFields_);
        sideFields_->setVisible(state != SideFields::NotOffered);
        sideFields_->setChecked(state == SideFields::Checked);
    });
}

void KeyboardEditorWidget::showDisplayOutline(const DisplayOutline& outline) {
    queue([this, outline] {
        outline_->setGeometry(pixels(outline.left), pixels(outline.top), pixels(outline.width),
                              pixels(outline.height));
        outline_->setVisible(outline.width > 0);
        outline_->raise();
    });
}

void KeyboardEditorWidget::showProgress(const std::string& text) {
    queue([this, text] { progress_->setText(qtText(text)); });
}

std::optional<std::string> KeyboardEditorWidget::chooseFileToLoad(const std::string& filter) {
    const QString path =
        QFileDialog::getOpenFileName(this, QString(), QString(), qtText(filter) + QStringLiteral(";;*"));
    if (path.isEmpty())
        return std::nullopt;
    return plainText(path);
}

std::optional<std::string> KeyboardEditorWidget::chooseFileToSave(const std::string& filter) {
    const QString path = QFileDialog::getSaveFileName(this, QString(), QString(), qtText(filter));
    if (path.isEmpty())
        return std::nullopt;
    return plainText(path);
}

} // namespace kestrix

// The keyboard editor: opening, the palette, the cells, the display outline,
// the texts, help and leaving. Files and the terminal: matrix_win_files.cpp.
#include "keyboard/matrix_win.h"

#include "keyboard/key_table.h"
#include "keyboard/keyb_file_xml.h"
#include "messages/product.h"
#include "messages/toolbox_lang.h"
#include "platform/trace.h"
#include "terminal/action_owner.h"
#include "terminal/product_table.h"
#include "terminal/terminal.h"

#include <new>

namespace kestrix {

namespace {

// Message table entries.
constexpr int kCancelText = 0;
constexpr int kHelpText = 27;
constexpr int kNoDisplay = 144;
constexpr int kSideFieldsText = 146;
constexpr int kNoMemory = 147; // "Zu wenig Speicher zur Verfügung!"
constexpr int kLoadFile = 148;
constexpr int kCharacter = 153;
constexpr int kFileName = 154; // "Name der Tastaturdatei "
constexpr int kInTerminal = 155;
constexpr int kVerified = 156;
constexpr int kNotVerified = 157;
constexpr int kDefaultLayout = 158;
constexpr int kIdRevision = 159;
constexpr int kDescription = 160;
constexpr int kNotSaved = 161; // "Die dargestellte Tastaturdatei ist nicht abgespeichert - ..."
constexpr int kKeySelection = 174;
constexpr int kKeyboardArea = 175;
constexpr int kHelpBody = 176;
constexpr int kF17Caption = 177;
constexpr int kF17Body = 178;

constexpr int kCellUnits = 38;

// The palette's control number of a scan code; nothing for a code the
// numbering cannot carry.
std::optional<int> paletteControlOf(std::uint16_t scanCode) {
    const int low = scanCode & 0xFF;
    const int high = scanCode >> 8;
    if (scanCode == 0 || low >= 100)
        return std::nullopt;
    if (high == 0)
        return low;
    if (high == 0xE0)
        return 100 + low;
    if (high == 0xE1)
        return 200 + low;
    return std::nullopt;
}

std::uint16_t scanCodeOfControl(int controlNumber) {
    auto scanCode = static_cast<std::uint16_t>(controlNumber % 100);
    if (controlNumber >= 200)
        scanCode += 0xE100;
    else if (controlNumber >= 100)
        scanCode += 0xE000;
    return scanCode;
}

std::string utf8FromLatin1(const std::string& latin1) {
    std::string utf8;
    convert_xml(XmlConversion::Latin1ToUtf8, latin1, utf8);
    return utf8;
}

// Nothing when the text holds a character ISO-8859-1 lacks.
std::optional<std::string> latin1FromUtf8(const std::string& utf8) {
    std::string latin1;
    if (!convert_xml(XmlConversion::Utf8ToLatin1, utf8, latin1))
        return std::nullopt;
    return latin1;
}

std::string eepromText(const Terminal& terminal, std::size_t byte) {
    if (terminal.Eeprom != EepromState::Read)
        return std::string();
    return std::string(1, static_cast<char>(terminal.EepromContents[byte]));
}

} // namespace

std::string keyDescription(const CToolBoxLang& language, KeyIndex key) {
    return language.GetText(keyTable()[key < kKeyTableRows ? key : kNoKey].descriptionId);
}

Matrix_Win::Matrix_Win(ActionOwner& owner, std::size_t terminalIndex, KeyboardKind kind)
    : owner_(owner), terminalIndex_(terminalIndex), kind_(kind) {
    const CToolBoxLang& language = owner_.language();
    texts_ = {language.GetText(kLoadFile),       language.GetText(kLoadFile + 1),
              language.GetText(kLoadFile + 2),   language.GetText(kLoadFile + 3),
              language.GetText(kLoadFile + 4),   language.GetText(kCharacter),
              language.GetText(kIdRevision),     language.GetText(kDescription),
              language.GetText(kSideFieldsText), language.GetText(kKeySelection),
              language.GetText(kKeyboardArea),   language.GetText(kHelpText),
              language.GetText(kF17Caption),     "OK",
              language.GetText(kCancelText)};
}

Matrix_Win::~Matrix_Win() = default;

void Matrix_Win::attachView(MatrixWinView& view) {
    view_ = &view;
}

void Matrix_Win::detachView() {
    view_ = nullptr;
}

Terminal& Matrix_Win::terminal() {
    return owner_.terminalAt(terminalIndex_);
}

const KeyboardLayout& Matrix_Win::layout() const {
    return file_->layout();
}

std::vector<PaletteKey> Matrix_Win::paletteKeys() {
    std::vector<PaletteKey> keys;
    const auto table = keyTable();
    for (std::size_t index = 0; index < table.size(); ++index) {
        const std::optional<int> control = paletteControlOf(table[index].scanCode);
        // A key whose scan code an earlier row has is never found by it.
        if (control && keyByScanCode(table[index].scanCode) == index)
            keys.push_back({*control, std::string(table[index].label)});
    }
    return keys;
}

MessageAnswer Matrix_Win::message(const std::string& text, MessageIcon icon, MessageButtons buttons) {
    return owner_.messageBoxes().show({kProductCaption, text, icon, buttons});
}

void Matrix_Win::OnInitDialog() {
    try {
        file_ = std::make_unique<KeybFile>();
    } catch (const std::bad_alloc&) {
        message(owner_.language().GetText(kNoMemory), MessageIcon::Error);
        owner_.postIdleMessage();
        return;
    }
    Terminal& shown = terminal();
    shown.T7000ipGetEeprom();
    trace("got EEPROM contents for KEYBOARD_TYPE: %s\n",
          eepromText(shown, Terminal::kKeyboardTypeByte).c_str());
    trace("got EEPROM contents for DISPLAY_TYPE: %s\n",
          eepromText(shown, Terminal::kDisplayTypeByte).c_str());
    sideFields_ = shown.ProductType == product::Talmo7450 ? SideFields::Unchecked : SideFields::NotOffered;
    showSelection();
    if (kind_ == KeyboardKind::Matrix) {
        displayType_ = shown.getDisplayType();
        if (sideFields_ == SideFields::Unchecked)
            sideFields_ = SideFields::Checked;
        showDisplay();
        OnButtonTermLoad();
        return;
    }
    displayType_ = 0;
    showDisplay();
    setDefaultLayout();
    showLayout();
}

void Matrix_Win::setDefaultLayout() {
    file_->layout() = defaultKeyboardLayout();
    titleSource_ = TitleSource::Default;
}

void Matrix_Win::showLayout() {
    showCells();
    const KeyboardLayout& shown = file_->layout();
    const std::string id = utf8FromLatin1(shown.id);
    const std::string revision = utf8FromLatin1(shown.revision);
    const std::string description = utf8FromLatin1(shown.description);
    toView([&](MatrixWinView& view) { view.showInfoTexts(id, revision, description); });
    showTitle();
}

void Matrix_Win::showCells() {
    CellLabels labels;
    const KeyboardLayout& shown = file_->layout();
    for (int row = 0; row < kMatrixRows; ++row)
        for (int column = 0; column < kMatrixColumns; ++column) {
            const KeyIndex key =
                shown.matrix[static_cast<std::size_t>(row)][static_cast<std::size_t>(column)];
            labels[static_cast<std::size_t>(row)][static_cast<std::size_t>(column)] =
                std::string(keyTable()[key < kKeyTableRows ? key : kNoKey].label);
        }
    toView([&](MatrixWinView& view) { view.showCells(labels); });
}

void Matrix_Win::showTitle() {
    const CToolBoxLang& language = owner_.language();
    std::string title;
    if (titleSource_ == TitleSource::Default) {
        title = language.GetText(kDefaultLayout);
    } else {
        title = language.GetText(kFileName) + titleFile_;
        if (titleSource_ == TitleSource::Terminal)
            title += " " + language.GetText(kInTerminal) + terminal().SerialNumber;
        title += language.GetText(file_->layout().verification == Verification::Verified ? kVerified
                                                                                         : kNotVerified);
    }
    toView([&](MatrixWinView& view) { view.showTitle(title); });
}

void Matrix_Win::showSelection() {
    const std::string label(keyTable()[selected_].label);
    const std::string description = keyDescription(owner_.language(), selected_);
    toView([&](MatrixWinView& view) { view.showSelectedKey(label, description); });
}

DisplayOutline Matrix_Win::displayOutline(int displayType, SideFields side) {
    // The display sits at the top of the square: beside the key fields in
    // the left five columns, else centred over six columns.
    const bool beside = side == SideFields::Checked;
    const int width = (beside ? 5 : 6) * kCellUnits;
    const int left = beside ? 0 : kCellUnits;
    switch (displayType) {
    case 1: // 240 x 64 pixels
        return {left, kCellUnits / 2, width, width * 64 / 240};
    case 2: // 320 x 240 pixels
        return {left, 0, width, width * 240 / 320};
    default:
        return {};
    }
}

void Matrix_Win::showDisplay() {
    const CToolBoxLang& language = owner_.language();
    std::vector<std::string> entries = {language.GetText(kNoDisplay), "240x64 Pixel"};
    const int product = terminal().ProductType;
    if (product != product::Talmo7400 && product != product::Talmo7450 && product != product::Talmo7460)
        entries.emplace_back("320x240 Pixel");
    if (displayType_ >= static_cast<int>(entries.size()))
        displayType_ = 0;
    const DisplayOutline outline = displayOutline(displayType_, sideFields_);
    toView([&](MatrixWinView& view) {
        view.showDisplayTypes(entries, displayType_);
        view.showSideFields(sideFields_);
        view.showDisplayOutline(outline);
    });
}

void Matrix_Win::OnPaletteKey(int controlNumber) {
    selected_ = keyByScanCode(scanCodeOfControl(controlNumber));
    showSelection();
}

void Matrix_Win::OnButtonClear() {
    selected_ = kNoKey;
    showSelection();
}

void Matrix_Win::OnCell(int row, int column) {
    if (row < 0 || row >= kMatrixRows || column < 0 || column >= kMatrixColumns)
        return;
    file_->layout().matrix[static_cast<std::size_t>(row)][static_cast<std::size_t>(column)] = selected_;
    changed_ = true;
    showCells();
    // A key over the display's rows redraws the outline above it.
    if (row >= kMatrixRows - 5)
        toView(
            [&](MatrixWinView& view) { view.showDisplayOutline(displayOutline(displayType_, sideFields_)); });
}

void Matrix_Win::OnDisplayType(int index) {
    displayType_ = index;
    showDisplay();
}

void Matrix_Win::OnSideFields(bool checked) {
    if (sideFields_ == SideFields::NotOffered)
        return;
    sideFields_ = checked ? SideFields::Checked : SideFields::Unchecked;
    showDisplay();
}

void Matrix_Win::OnInfoTexts(const std::string& id, const std::string& revision,
                             const std::string& description) {
    KeyboardLayout& shown = file_->layout();
    const std::optional<std::string> latinId = latin1FromUtf8(id);
    const std::optional<std::string> latinRevision = latin1FromUtf8(revision);
    const std::optional<std::string> latinDescription = latin1FromUtf8(description);
    if (!latinId || !latinRevision || !latinDescription) {
        message(owner_.language().languageIndex() == CToolBoxLang::kGerman
                    ? "Die Tastaturdatei kann nur Zeichen des Zeichensatzes ISO-8859-1 (Latin-1) aufnehmen."
                    : "The keyboard file can only hold characters of the ISO-8859-1 (Latin-1) character set.",
                MessageIcon::Exclamation);
        showLayout();
        return;
    }
    const std::string newId = latinId->substr(0, kKeybIdLength);
    const std::string newRevision = latinRevision->substr(0, kKeybRevisionLength);
    const std::string newDescription = latinDescription->substr(0, kKeybDescriptionLength);
    if (newId == shown.id && newRevision == shown.revision && newDescription == shown.description)
        return;
    shown.id = newId;
    shown.revision = newRevision;
    shown.description = newDescription;
    // A text typed is a change as a key placed is: leaving asks first.
    changed_ = true;
}

void Matrix_Win::OnButtonHelp() {
    const CToolBoxLang& language = owner_.language();
    owner_.messageBoxes().show(
        {language.GetText(kHelpText), language.GetText(kHelpBody), MessageIcon::Information});
}

void Matrix_Win::OnButtonKeyF17() {
    const CToolBoxLang& language = owner_.language();
    owner_.messageBoxes().show(
        {language.GetText(kF17Caption), language.GetText(kF17Body), MessageIcon::Information});
}

bool Matrix_Win::mayDiscardChanges() {
    if (!changed_)
        return true;
    return message(owner_.language().GetText(kNotSaved), MessageIcon::Question, MessageButtons::OkCancel) ==
           MessageAnswer::Ok;
}

bool Matrix_Win::QueryTerminate() {
    return mayDiscardChanges();
}

void Matrix_Win::OnOK() {
    if (mayDiscardChanges())
        owner_.postIdleMessage();
}

void Matrix_Win::OnCancel() {
    OnOK();
}

} // namespace kestrix

// The keyboard editor's logic with a recording view and owner; the terminal
// records know their EEPROM already, so opening the editor sends nothing
// (the engine binds the maintenance ports all the same).
#include "address_reset/recording_action_owner.h"
#include "keyboard/matrix_win.h"
#include "protocol/t7000ip.h"
#include "support/scratch_directory.h"
#include "terminal/product_table.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

namespace kestrix::test {
namespace {

class RecordingMatrixView : public MatrixWinView {
public:
    void showCells(const CellLabels& shown) override { cells = shown; }
    void showSelectedKey(const std::string& shownCharacter, const std::string& description) override {
        character = shownCharacter;
        keyText = description;
    }
    void showTitle(const std::string& shown) override { title = shown; }
    void showInfoTexts(const std::string& shownId, const std::string&, const std::string&) override {
        id = shownId;
    }
    void showDisplayTypes(const std::vector<std::string>& entries, int) override { displayTypes = entries; }
    void showSideFields(SideFields state) override { side = state; }
    void showDisplayOutline(const DisplayOutline&) override {}
    void showProgress(const std::string&) override {}
    std::optional<std::string> chooseFileToLoad(const std::string&) override {
        return ++filesAsked, fileToLoad;
    }
    std::optional<std::string> chooseFileToSave(const std::string&) override { return fileToSave; }

    CellLabels cells;
    std::string character, keyText, title, id;
    std::vector<std::string> displayTypes;
    SideFields side = SideFields::NotOffered;
    std::optional<std::string> fileToLoad, fileToSave;
    int filesAsked = 0;
};

class MatrixWinLogic : public ::testing::Test {
protected:
    ~MatrixWinLogic() override { T7000ip::releaseT7000ip(); }

    // An editor on a terminal without a matrix keyboard (it opens with the default layout).
    Matrix_Win& open(int productType = product::Talmo7000, int platformGroup = 1) {
        TerminalFields fields;
        fields.SerialNumber = "1234";
        fields.ProductType = productType;
        fields.PlatformGroup = platformGroup;
        auto terminal = std::make_unique<Terminal>(engine_, fields);
        terminal->Eeprom = EepromState::Read;
        terminal->EepromContents.fill(' ');
        owner_.terminals.push_back(std::move(terminal));
        editor_ = std::make_unique<Matrix_Win>(owner_, owner_.terminals.size() - 1, KeyboardKind::Other);
        editor_->attachView(view_);
        editor_->OnInitDialog();
        return *editor_;
    }
    std::string text(int id) const { return language_.GetText(id); }
    std::string lastBox() const { return owner_.boxes.shown.empty() ? "" : owner_.boxes.shown.back().text; }

    const CToolBoxLang language_{kLocaleIdEnglishUnitedStates};
    T7000ip& engine_ = T7000ip::getT7000ip(&language_);
    RecordingActionOwner owner_{engine_, language_};
    RecordingMatrixView view_;
    std::unique_ptr<Matrix_Win> editor_;
    ScratchDirectory directory_;
};

TEST_F(MatrixWinLogic, OpensWithTheDefaultLayoutAndEveryPaletteKeyFindsItsOwnRow) {
    Matrix_Win& editor = open();
    EXPECT_EQ(view_.title, text(158));
    EXPECT_EQ(view_.cells[0][0], std::string(keyTable()[13].label)); // BACKSPACE
    EXPECT_EQ(view_.cells[3][7], "F3 ");
    EXPECT_EQ(editor.displayType(), 0);
    EXPECT_FALSE(editor.changed());
    std::set<int> controls;
    // Every key but "no key" (Clear selects it) can be picked from the palette.
    EXPECT_EQ(Matrix_Win::paletteKeys().size(), kKeyTableRows - 1);
    for (const PaletteKey& key : Matrix_Win::paletteKeys()) {
        EXPECT_TRUE(controls.insert(key.controlNumber).second) << key.controlNumber;
        editor.OnPaletteKey(key.controlNumber);
        EXPECT_EQ(view_.character, key.label);
        EXPECT_EQ(view_.keyText, keyDescription(language_, editor.selectedKey()));
    }
    editor.OnButtonClear();
    EXPECT_EQ(editor.selectedKey(), kNoKey);
    EXPECT_EQ(view_.character, "---");
    EXPECT_EQ(view_.keyText, "no key defined");
}

TEST_F(MatrixWinLogic, DisplayListAndSideFieldsFollowTheProduct) {
    struct Case {
        int productType;
        std::size_t displayTypes;
        SideFields side;
    };
    for (const Case& c : {Case{product::Talmo7000, 3, SideFields::NotOffered},
                          Case{product::Talmo7400, 2, SideFields::NotOffered},
                          Case{product::Talmo7450, 2, SideFields::Unchecked},
                          Case{product::Talmo7460, 2, SideFields::NotOffered}}) {
        open(c.productType);
        EXPECT_EQ(view_.displayTypes.size(), c.displayTypes) << c.productType;
        EXPECT_EQ(view_.side, c.side) << c.productType;
    }
    for (int type : {1, 2})
        for (SideFields side : {SideFields::Unchecked, SideFields::Checked}) {
            const DisplayOutline outline = Matrix_Win::displayOutline(type, side);
            EXPECT_GT(outline.width, 0);
            EXPECT_LE(outline.left + outline.width, 8 * 38);
            EXPECT_LE(outline.top + outline.height, 5 * 38); // over the upper five rows
        }
    EXPECT_EQ(Matrix_Win::displayOutline(0, SideFields::Checked).width, 0);
}

TEST_F(MatrixWinLogic, AChangedLayoutIsLeftOnlyAfterTheQuestion) {
    Matrix_Win& editor = open();
    editor.OnPaletteKey(1); // ESC
    editor.OnCell(7, 7);
    EXPECT_EQ(view_.cells[7][7], "ESC");
    ASSERT_TRUE(editor.changed());
    owner_.boxes.answers = {MessageAnswer::Cancel};
    editor.OnCancel();
    EXPECT_EQ(lastBox(), text(161));
    EXPECT_EQ(owner_.idleMessages, 0);
    owner_.boxes.answers = {MessageAnswer::Cancel};
    editor.OnButtonFileLoad();
    EXPECT_EQ(view_.filesAsked, 0);
    owner_.boxes.answers = {MessageAnswer::Ok};
    EXPECT_TRUE(editor.QueryTerminate());
    editor.OnOK();
    EXPECT_EQ(owner_.idleMessages, 1);
}

TEST_F(MatrixWinLogic, LoadsFilesAndRefusesWhatItCannotRead) {
    Matrix_Win& editor = open();
    directory_.write("big.xml", std::string(8001, ' '));
    directory_.write("odd.bin", std::string(50, 'x'));
    // A FIFO would block the reader for ever: it is refused as a file that cannot be opened.
    ASSERT_EQ(mkfifo(directory_.file("fifo.xml").c_str(), 0600), 0);
    struct Case {
        std::string file;
        std::string message; // empty: none
        std::string title;
    };
    for (const Case& c : {Case{"missing.xml", text(163), text(158)}, Case{"big.xml", text(164), text(158)},
                          Case{"odd.bin", text(165), text(158)}, Case{"fifo.xml", text(163), text(158)}}) {
        owner_.boxes.shown.clear();
        view_.fileToLoad = directory_.file(c.file);
        editor.OnButtonFileLoad();
        EXPECT_EQ(lastBox(), c.message) << c.file;
        EXPECT_EQ(view_.title, c.title) << c.file;
    }
}

TEST_F(MatrixWinLogic, SavesTheXmlFormThatLoadsBackUnverified) {
    Matrix_Win& editor = open();
    editor.OnPaletteKey(30); // A
    editor.OnCell(5, 4);
    editor.OnInfoTexts("Größe", "1", "Kantine & Foyer");
    view_.fileToSave = directory_.file("layout.xml");
    editor.OnButtonFileSave();
    EXPECT_FALSE(editor.changed());
    EXPECT_NE(directory_.read("layout.xml").find("<key col=\"4\" row=\"5\">A</key>"), std::string::npos);
    const KeyMatrix saved = editor.layout().matrix;
    editor.OnButtonClear();
    editor.OnCell(5, 4);
    owner_.boxes.answers = {MessageAnswer::Ok};
    view_.fileToLoad = view_.fileToSave;
    editor.OnButtonFileLoad();
    EXPECT_EQ(editor.layout().matrix, saved);
    EXPECT_EQ(editor.layout().id, "Gr\xF6\xDF"
                                  "e");
    EXPECT_EQ(view_.id, "Größe");
    EXPECT_EQ(view_.title, text(154) + directory_.file("layout.xml") + text(157));

    // Neither a missing folder nor a FIFO (opening it to write would block) is written.
    ASSERT_EQ(mkfifo(directory_.file("fifo.xml").c_str(), 0600), 0);
    for (const char* target : {"no/such/folder.xml", "fifo.xml"}) {
        owner_.boxes.shown.clear();
        view_.fileToSave = directory_.file(target);
        editor.OnButtonFileSave();
        EXPECT_EQ(lastBox(), text(166)) << target;
    }
}

TEST_F(MatrixWinLogic, RefusesTextsOutsideLatin1AndCutsLongOnes) {
    Matrix_Win& editor = open();
    editor.OnInfoTexts("Preis in €", "1", "x");
    EXPECT_NE(lastBox().find("ISO-8859-1"), std::string::npos);
    EXPECT_EQ(editor.layout().id, "---");
    EXPECT_FALSE(editor.changed());
    editor.OnInfoTexts(std::string(40, 'i'), "12345", "x");
    EXPECT_EQ(editor.layout().id, std::string(34, 'i'));
    EXPECT_EQ(editor.layout().revision, "1234");
    EXPECT_TRUE(editor.changed());
}

TEST_F(MatrixWinLogic, APlatformWithoutAKeyboardFormatSaysSoInsteadOfSending) {
    Matrix_Win& editor = open(product::Talmo7200, 2);
    editor.OnButtonTermSave();
    EXPECT_EQ(lastBox(), "There is no keyboard file format for this terminal platform.");
}

} // namespace
} // namespace kestrix::test

// Round trips of a layout through the three file forms, the rows each form
// cannot tell apart, the COM image and the buffer's limits.
#include "keyboard/keyb_file.h"

#include <gtest/gtest.h>

#include <map>
#include <set>
#include <string>
#include <vector>

namespace kestrix {
namespace {

// Two layouts that together hold every key of the table once.
std::vector<KeyMatrix> everyKey() {
    std::vector<KeyMatrix> layouts(2);
    for (std::size_t key = 0; key < kKeyTableRows; ++key) {
        KeyMatrix& matrix = layouts[key / 64];
        const std::size_t cell = key % 64;
        matrix[cell / 8][cell % 8] = static_cast<KeyIndex>(key);
    }
    for (std::size_t cell = kKeyTableRows % 64; cell < 64; ++cell)
        layouts[1][cell / 8][cell % 8] = kNoKey;
    return layouts;
}

// The keys that come back as another row: key -> the row read back.
std::map<KeyIndex, KeyIndex> roundTripChanges(int platformGroup) {
    std::map<KeyIndex, KeyIndex> changes;
    for (const KeyMatrix& matrix : everyKey()) {
        KeybFile file;
        file.layout().matrix = matrix;
        const std::size_t length = file.SaveKeybFile(platformGroup);
        KeybFile reader;
        EXPECT_TRUE(reader.setContents(file.contents().first(length)));
        EXPECT_TRUE(reader.LoadKeybFile(length));
        for (int row = 0; row < kMatrixRows; ++row)
            for (int column = 0; column < kMatrixColumns; ++column)
                if (reader.layout().matrix[row][column] != matrix[row][column])
                    changes[matrix[row][column]] = reader.layout().matrix[row][column];
    }
    return changes;
}

TEST(KeybFileRoundTrip, EachFormLosesOnlyTheRowsItCannotTellApart) {
    std::map<KeyIndex, KeyIndex> xmlLosses;
    for (KeyIndex key = 0; key < kNoKey; ++key) {
        const std::string_view name = keyTable()[key].xmlName;
        if (name.empty())
            xmlLosses[key] = kNoKey;
        else if (keyByXmlName(name) != key)
            xmlLosses[key] = keyByXmlName(name);
    }
    const struct {
        int platformGroup;
        KeybFileForm form;
        std::size_t length;
        std::map<KeyIndex, KeyIndex> changes;
    } cases[] = {
        {1, KeybFileForm::Com, kComFileSize, {{84, 83}}},
        {3, KeybFileForm::Map, kMapFileSize,
         {{41, 28}, {53, 28}, {55, 28}, {57, 28}, {65, 64}, {69, 28}, {70, 28}, {71, 28}, {73, 28},
          {74, 28}, {86, 28}, {90, 11}, {92, 5}, {94, 12}, {95, 80}, {97, 82}, {98, 10}, {103, 27}}},
        {-1, KeybFileForm::Xml, 0, xmlLosses},
    };
    for (const auto& form : cases) {
        SCOPED_TRACE(form.platformGroup);
        EXPECT_EQ(roundTripChanges(form.platformGroup), form.changes);
        KeybFile file;
        const std::size_t length = file.SaveKeybFile(form.platformGroup);
        if (form.length != 0) {
            EXPECT_EQ(length, form.length);
        }
        ASSERT_TRUE(file.LoadKeybFile(length));
        EXPECT_EQ(file.loadedForm(), form.form);
        EXPECT_EQ(file.layout().verification, Verification::NotVerified);
        EXPECT_EQ(file.layout().matrix, defaultKeyboardLayout().matrix);
    }
    // The XML form names the rows of a shared name by the first of them:
    // the keypad's F13 (88) comes back as the arrow key's (76).
    EXPECT_EQ(xmlLosses.at(88), 76);
    EXPECT_EQ(xmlLosses.at(0), kNoKey); // ESC has no XML name
    EXPECT_EQ(xmlLosses.size(), 37u); // 24 nameless rows, 13 second rows of a name
}

TEST(KeyTable, EveryScanCodeFindsItsOwnRow) {
    for (KeyIndex key = 0; key < kKeyTableRows; ++key)
        if (keyTable()[key].scanCode != 0) {
            EXPECT_EQ(keyByScanCode(keyTable()[key].scanCode), key);
        }
}

TEST(KeybFileRoundTrip, GroupsWithoutAFormBuildNothing) {
    KeybFile file;
    for (const int group : {0, 2, 4, 5, 7, 8})
        EXPECT_EQ(file.SaveKeybFile(group), 0u) << group;
}

TEST(KeybFileComImage, TableAreaHoldsTheDefaultLayoutAndTheRestOfTheImageIsKept) {
    const auto image = keyboardDriverImage();
    std::set<std::size_t> layoutBytes;
    const KeyMatrix defaults = defaultKeyboardLayout().matrix;
    for (int row = 0; row < kMatrixRows; ++row)
        for (int column = 0; column < kMatrixColumns; ++column) {
            const std::size_t offset = 48 + 16 * (7 - row) + (7 - column);
            EXPECT_EQ(image[offset], keyTable()[defaults[row][column]].comCode);
            if (defaults[row][column] != kNoKey)
                layoutBytes.insert(offset);
        }
    for (std::size_t offset = 48; offset < 48 + 128; ++offset)
        if (!layoutBytes.contains(offset)) {
            EXPECT_EQ(image[offset], 0xBF) << offset;
        }

    KeybFile file;
    for (auto& row : file.layout().matrix)
        row.fill(0); // ESC everywhere
    ASSERT_EQ(file.SaveKeybFile(1), kComFileSize);
    for (std::size_t offset = 0; offset < kComFileSize; ++offset) {
        const bool cell = offset >= 48 && offset < 176 && (offset - 48) % 16 < 8;
        EXPECT_EQ(file.contents()[offset], cell ? 0x76 : image[offset]) << offset;
    }
}

TEST(KeybFileLimits, UnknownLengthsAndOversizedBuffersAreRefusedAndKeepTheLayout) {
    KeybFile file;
    file.layout().matrix[5][5] = 0;
    const KeyboardLayout before = file.layout();
    const std::vector<std::uint8_t> bytes(kKeybBufferSize + 1, 0x20);
    EXPECT_FALSE(file.setContents(bytes));
    for (const std::size_t length : {std::size_t{0}, std::size_t{127}, std::size_t{129}, std::size_t{740},
                                     std::size_t{742}, kKeybBufferSize, kKeybBufferSize + 1}) {
        ASSERT_TRUE(file.setContents(std::span(bytes).first(std::min(length, kKeybBufferSize))));
        EXPECT_FALSE(file.LoadKeybFile(length)) << length;
        EXPECT_EQ(file.layout().matrix, before.matrix);
        EXPECT_EQ(file.loadedForm(), KeybFileForm::None);
    }
}

} // namespace
} // namespace kestrix

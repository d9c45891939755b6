#include "messages/message_table_text.h"
#include "messages/toolbox_lang.h"

#include <gtest/gtest.h>

#include <climits>
#include <fstream>
#include <string>
#include <vector>

namespace kestrix {
namespace {

// One line of quoted_messages.tsv: the texts whose wording the dialogs must
// show exactly. An empty field is a language whose wording is free.
struct FixedMessage {
    int id = -1;
    std::string german;
    std::string english;
};

std::vector<FixedMessage> readFixedMessages() {
    std::ifstream file(KESTRIX_FIXED_MESSAGES_FILE, std::ios::binary);
    EXPECT_TRUE(file) << "cannot open " << KESTRIX_FIXED_MESSAGES_FILE;
    std::vector<FixedMessage> messages;
    std::string line;
    for (int lineNumber = 1; std::getline(file, line); ++lineNumber) {
        if (line.empty() || line.front() == '#')
            continue;
        const std::size_t firstTab = line.find('\t');
        const std::size_t secondTab = line.find('\t', firstTab + 1);
        if (firstTab == std::string::npos || secondTab == std::string::npos ||
            line.find('\t', secondTab + 1) != std::string::npos) {
            ADD_FAILURE() << "quoted_messages.tsv:" << lineNumber << ": expected id, German, English";
            continue;
        }
        const auto german =
            decodeMessageText(std::string_view(line).substr(firstTab + 1, secondTab - firstTab - 1));
        const auto english = decodeMessageText(std::string_view(line).substr(secondTab + 1));
        if (!german || !english || (german->empty() && english->empty())) {
            ADD_FAILURE() << "quoted_messages.tsv:" << lineNumber << ": bad or missing text";
            continue;
        }
        messages.push_back({std::stoi(line.substr(0, firstTab)), *german, *english});
    }
    return messages;
}

TEST(MessageTableTest, FixedTextsAreExactInBothLanguages) {
    const CToolBoxLang german(1031);
    const CToolBoxLang english(1033);
    const std::vector<FixedMessage> fixed = readFixedMessages();
    ASSERT_GE(fixed.size(), 140u) << "the known-answer file looks truncated";
    int previousId = -1;
    for (const FixedMessage& message : fixed) {
        EXPECT_GT(message.id, previousId) << "ids of the known-answer file must ascend";
        previousId = message.id;
        if (!message.german.empty()) {
            EXPECT_EQ(german.GetText(message.id), message.german) << "German text of id " << message.id;
        }
        if (!message.english.empty()) {
            EXPECT_EQ(english.GetText(message.id), message.english) << "English text of id " << message.id;
        }
    }
    EXPECT_LT(previousId, kMessageCount);
}

TEST(MessageTableTest, EveryIdHasAGermanAndAnEnglishText) {
    const MessageTableReading reading = readMessageTable(messageTableText(), kMessageCount);
    ASSERT_TRUE(reading.ok()) << "line " << reading.faultLine << ": " << reading.fault;
    ASSERT_EQ(reading.entries.size(), 582u);

    const CToolBoxLang german(1031);
    const CToolBoxLang english(1033);
    for (int id = 0; id < kMessageCount; ++id) {
        EXPECT_FALSE(german.GetText(id).empty()) << id;
        EXPECT_FALSE(english.GetText(id).empty()) << id;
        EXPECT_NE(german.GetText(id), "???") << id;
        EXPECT_NE(english.GetText(id), "???") << id;
    }
}

TEST(MessageTableTest, IdsOutsideTheTableGiveQuestionMarks) {
    for (const LocaleId localeId : {1031u, 1033u}) {
        const CToolBoxLang language(localeId);
        for (const int id : {-1, 582, 583, INT_MIN, INT_MAX})
            EXPECT_EQ(language.GetText(id), "???") << "locale " << localeId << ", id " << id;
    }
}

TEST(MessageTableTest, OnlyTheGermanLocalesChooseGerman) {
    struct Case {
        LocaleId localeId;
        int languageIndex;
    };
    const Case cases[] = {
        {1031, CToolBoxLang::kGerman},  {2055, CToolBoxLang::kGerman},  {3079, CToolBoxLang::kGerman},
        {4103, CToolBoxLang::kGerman},  {5127, CToolBoxLang::kGerman},  {1033, CToolBoxLang::kEnglish},
        {2057, CToolBoxLang::kEnglish}, {1036, CToolBoxLang::kEnglish}, {1030, CToolBoxLang::kEnglish},
        {7, CToolBoxLang::kEnglish},    {0, CToolBoxLang::kEnglish},    {0x10407, CToolBoxLang::kEnglish},
    };
    for (const Case& testCase : cases) {
        const CToolBoxLang language(testCase.localeId);
        EXPECT_EQ(language.languageIndex(), testCase.languageIndex) << testCase.localeId;
        EXPECT_EQ(language.GetText(0),
                  testCase.languageIndex == CToolBoxLang::kGerman ? "Abbrechen" : "Cancel");
    }
}

} // namespace
} // namespace kestrix

// The XML form: the reading rules, the validation of a file against its
// validate element, and the writer's escaping of the info texts.
#include "keyboard/keyb_file.h"

#include "support/trace_capture.h"

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <regex>
#include <string>

namespace kestrix {
namespace {

std::string validatedFile() {
    std::ifstream in(std::string(KESTRIX_TEST_DATA) + "/validated.xml", std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

struct Loaded {
    bool accepted = false;
    KeybFile file;
};

std::unique_ptr<Loaded> load(const std::string& text) {
    auto loaded = std::make_unique<Loaded>();
    const auto* bytes = reinterpret_cast<const std::uint8_t*>(text.data());
    EXPECT_TRUE(loaded->file.setContents({bytes, text.size()}));
    loaded->accepted = loaded->file.LoadKeybFile(text.size());
    return loaded;
}

std::string replaced(std::string text, const std::string& from, const std::string& to) {
    const auto at = text.find(from);
    EXPECT_NE(at, std::string::npos) << from;
    return text.replace(at, from.size(), to);
}

std::string document(const std::string& info, const std::string& keys) {
    return "<?xml version=\"1.0\"?>\n<!DOCTYPE terminal-ui SYSTEM \"terminal-ui.dtd\">\n"
           "<terminal-ui><info>" + info + "</info><keyboard>" + keys + "</keyboard></terminal-ui>\n";
}

TEST(KeybXmlValidation, TheValidatedFileIsVerifiedAndEveryChangeButWhitespaceBreaksIt) {
    const std::string file = validatedFile();
    test::TraceCapture trace;
    const auto original = load(file);
    ASSERT_TRUE(original->accepted);
    EXPECT_TRUE(trace.contains("Matrix_Win::parse_xml_mem(): Validierung OK\n"));
    const KeyboardLayout& layout = original->file.layout();
    EXPECT_EQ(layout.verification, Verification::Verified);
    EXPECT_EQ(layout.id, "Werk S\xFC" "d");
    EXPECT_EQ(layout.revision, "1.2");
    EXPECT_EQ(layout.description, "Pforte & Kantine");
    EXPECT_EQ(layout.matrix[7][0], 58);
    EXPECT_EQ(layout.matrix[4][3], 64);

    const struct {
        const char* change;
        std::string text;
        Verification expected;
    } cases[] = {
        {"element text", replaced(file, "1.2", "1.3"), Verification::NotVerified},
        {"attribute", replaced(file, "col=\"3\"", "col=\"2\""), Verification::NotVerified},
        {"element", replaced(file, "</keyboard>", "<key col=\"5\" row=\"5\">A</key></keyboard>"),
         Verification::NotVerified},
        {"validate text", replaced(file, "6ae5664c", "6ae5664d"), Verification::NotVerified},
        {"validate case", replaced(file, "6ae5664c", "6AE5664C"), Verification::NotVerified},
        {"empty validate", std::regex_replace(file, std::regex("<validate>.*</validate>"), "<validate/>"),
         Verification::NotVerified},
        {"whitespace between elements", std::regex_replace(file, std::regex(">\\s+<"), ">\n\t <"),
         Verification::Verified},
    };
    for (const auto& mutation : cases) {
        const auto loaded = load(mutation.text);
        ASSERT_TRUE(loaded->accepted) << mutation.change;
        EXPECT_EQ(loaded->file.layout().verification, mutation.expected) << mutation.change;
    }

    // A file the program writes carries no validate element.
    KeybFile rewritten;
    rewritten.layout() = layout;
    const std::size_t length = rewritten.SaveKeybFile(6);
    ASSERT_TRUE(rewritten.LoadKeybFile(length));
    EXPECT_EQ(rewritten.layout().verification, Verification::NotVerified);
    EXPECT_EQ(rewritten.layout().description, "Pforte & Kantine");
}

TEST(KeybXmlReading, KeysOutsideTheMatrixOrWithoutNumbersAreSkippedAndUnknownNamesAreNoKey) {
    const auto loaded = load(document("<id></id>",
                                      "<key col=\"0\" row=\"0\">Q</key>"
                                      "<key col=\"1\" row=\"8\">W</key>"
                                      "<key col=\"8\" row=\"1\">W</key>"
                                      "<key col=\"2\">W</key>"
                                      "<key col=\"0x3\" row=\"0\">W</key>"
                                      "<key col=\" 4\" row=\"0\">W</key>"
                                      "<key col=\"5\" row=\"0\">ESC</key>"
                                      "<key col=\"6\" row=\"0\">f1</key>"
                                      "<key col=\"7\" row=\"7\">??" "</key>"));
    ASSERT_TRUE(loaded->accepted);
    KeyMatrix expected;
    for (auto& row : expected)
        row.fill(kNoKey);
    expected[0][0] = 15;
    expected[7][7] = 38; // the first of the three rows named "??"
    EXPECT_EQ(loaded->file.layout().matrix, expected);
    EXPECT_EQ(loaded->file.layout().id, "---");
    EXPECT_EQ(loaded->file.layout().revision, "-");
    EXPECT_EQ(loaded->file.layout().description, "---");
    EXPECT_EQ(loaded->file.layout().verification, Verification::NotVerified);
}

TEST(KeybXmlReading, TextsAreCutAndATextOutsideLatin1GivesThePlaceholder) {
    const auto loaded = load(document("<id>" + std::string(40, 'x') + "</id><revision>12345</revision>"
                                      "<description>\xE2\x82\xAC 5</description>",
                                      ""));
    ASSERT_TRUE(loaded->accepted);
    EXPECT_EQ(loaded->file.layout().id, std::string(34, 'x'));
    EXPECT_EQ(loaded->file.layout().revision, "1234");
    EXPECT_EQ(loaded->file.layout().description, "---");
}

TEST(KeybXmlReading, A128ByteDocumentIsXmlAndAnInvalidDocumentIsNotTriedAsMap) {
    std::string small = "<?xml version=\"1.0\"?><terminal-ui><keyboard><key col=\"1\" row=\"1\">A</key>"
                        "</keyboard></terminal-ui>";
    small += std::string(128 - small.size(), ' ');
    const auto loaded = load(small);
    ASSERT_TRUE(loaded->accepted);
    EXPECT_EQ(loaded->file.loadedForm(), KeybFileForm::Xml);
    EXPECT_EQ(loaded->file.layout().matrix[1][1], 29);

    // An undeclared entity leaves the document well-formed (its DTD is
    // external) but not valid.
    std::string invalid = "<?xml version=\"1.0\"?><!DOCTYPE terminal-ui SYSTEM \"t.dtd\">"
                          "<terminal-ui><info><id>&unknown;</id></info></terminal-ui>";
    invalid += std::string(128 - invalid.size(), ' ');
    test::TraceCapture trace;
    const auto refused = load(invalid);
    EXPECT_FALSE(refused->accepted);
    EXPECT_EQ(refused->file.loadedForm(), KeybFileForm::None);
    EXPECT_TRUE(trace.contains("failed: XML file does not validate (XML_DOC_DTDVALID)\n"));
    EXPECT_FALSE(trace.contains("altes Format"));
}

TEST(KeybXmlWriting, PlainTextsKeepTheLineLayoutAndSpecialCharactersAreEscaped) {
    KeybFile file;
    for (auto& row : file.layout().matrix)
        row.fill(kNoKey);
    file.layout().matrix[7][1] = 13;
    file.layout().matrix[7][2] = 0; // ESC: no XML name
    file.layout().matrix[0][7] = 65; // the second F7
    file.layout().id = "Halle 3";
    file.layout().revision = "";
    file.layout().description = "Tor \xC4 & <Lager>";
    const std::size_t length = file.SaveKeybFile(-1);
    const std::string written(reinterpret_cast<const char*>(file.contents().data()), length);
    EXPECT_EQ(written, "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"no\"?>\n"
                       "<!DOCTYPE terminal-ui SYSTEM \"terminal-ui.dtd\">\n"
                       "<terminal-ui>\n"
                       "  <info>\n"
                       "    <id>Halle 3</id>\n"
                       "    <revision>-</revision>\n"
                       "    <description>Tor \xC3\x84 &amp; &lt;Lager&gt;</description>\n"
                       "  </info>\n"
                       "  <keyboard>\n"
                       "    <key col=\"1\" row=\"7\">BACKSPACE</key>\n"
                       "    <key col=\"7\" row=\"0\">F7</key>\n"
                       "  </keyboard>\n"
                       "</terminal-ui>\n");
    ASSERT_TRUE(file.LoadKeybFile(length));
    EXPECT_EQ(file.layout().description, "Tor \xC4 & <Lager>");
    EXPECT_EQ(file.layout().revision, "-");
}

} // namespace
} // namespace kestrix

#include "platform/record_text.h"
#include "support/scratch_directory.h"
#include "support/table_reader.h"

#include <gtest/gtest.h>

// What csvLine and jsonString write, read back by python's csv and json
// modules: every field comes back as it went in.

namespace kestrix {
namespace {

using Table = std::vector<std::vector<std::string>>;

const std::vector<std::string> kFields = {"plain", "",         "a,b",    "say \"hi\"", "two\r\nlines",
                                          "end\n", " spaced ", "Müller", "tab\there",  "back\\slash"};

TEST(RecordText, CsvAndJsonReadBackAsWritten) {
    test::ScratchDirectory files;
    std::vector<std::string> names;
    for (std::size_t index = 0; index < kFields.size(); ++index)
        names.push_back("f" + std::to_string(index));
    files.write("table.csv", csvLine(names) + csvLine(kFields) + csvLine(kFields));
    EXPECT_EQ(test::tableReadByPython(files.path() / "table.csv"), (Table{names, kFields, kFields}));

    std::string object = "{";
    for (std::size_t index = 0; index < kFields.size(); ++index)
        object += (index == 0 ? "" : ",") + jsonString(names[index]) + ":" + jsonString(kFields[index]);
    files.write("table.json", "[" + object + "}," + object + "}]");
    EXPECT_EQ(test::tableReadByPython(files.path() / "table.json"), (Table{names, kFields, kFields}));
}

TEST(RecordText, JsonStringEscapesControlsAndReplacesBrokenUtf8) {
    const struct {
        std::string text;
        std::string json;
    } cases[] = {
        {std::string("\x01\x1f\x7f", 3), "\"\\u0001\\u001f\\u007f\""},
        {"\xff", "\"\xEF\xBF\xBD\""},                                 // no UTF-8 lead byte
        {"\xC3", "\"\xEF\xBF\xBD\""},                                 // a sequence cut short
        {"\xC0\xAF", "\"\xEF\xBF\xBD\xEF\xBF\xBD\""},                 // an overlong form
        {"\xED\xA0\x80", "\"\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD\""}, // a surrogate
        {"\xF0\x9F\x94\x91", "\"\xF0\x9F\x94\x91\""},                 // four bytes pass
    };
    for (const auto& entry : cases)
        EXPECT_EQ(jsonString(entry.text), entry.json);
}

} // namespace
} // namespace kestrix

// The rules of single conversion steps beyond moving bytes: the rows of
// conversion_rules.tsv, and the internal reader's codes.
#include "config/block_layouts.h"
#include "support/trace_capture.h"
#include "support/tsv_rows.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <sstream>

namespace kestrix {
namespace {

// The OFFSET=BYTES items of a block or expected field of the table.
std::vector<std::pair<std::size_t, std::string>> byteItems(const std::string& text) {
    std::vector<std::pair<std::size_t, std::string>> items;
    std::istringstream words(text);
    for (std::string word; words >> word && word != "-";) {
        const std::size_t equals = word.find('=');
        std::string bytes;
        std::istringstream pieces(word.substr(equals + 1));
        for (std::string piece; std::getline(pieces, piece, '+');) {
            const auto hex = [](const std::string& digits) { return std::stoul(digits, nullptr, 16); };
            if (piece.front() == '\'')
                bytes += piece.substr(1, piece.size() - 2);
            else if (const std::size_t star = piece.find('*'); star != std::string::npos)
                bytes += std::string(std::stoul(piece.substr(0, star)),
                                     static_cast<char>(hex(piece.substr(star + 1))));
            else if (const std::size_t dots = piece.find(".."); dots != std::string::npos)
                for (unsigned long byte = hex(piece.substr(0, dots)); byte <= hex(piece.substr(dots + 2));
                     ++byte)
                    bytes += static_cast<char>(byte);
            else
                for (std::size_t at = 0; at < piece.size(); at += 2)
                    bytes += static_cast<char>(hex(piece.substr(at, 2)));
        }
        items.emplace_back(std::stoul(word.substr(0, equals)), bytes);
    }
    return items;
}

BlockOwner ownerOf(const std::string& text, bool& swap) {
    std::istringstream words(text);
    std::string word;
    words >> word;
    BlockOwner owner = word == "tcl" ? test::tclOwner() : test::serverOwner();
    while (words >> word) {
        const std::string value = word.substr(word.find('=') + 1);
        if (word == "swap")
            swap = true;
        else if (word.starts_with("group="))
            owner.platformGroup = std::stoi(value);
        else if (word.starts_with("product="))
            owner.productType = std::stoi(value);
        else if (word.starts_with("serial="))
            owner.serialNumber = value;
        else if (word.starts_with("key="))
            owner.versionKey = value;
        else
            ADD_FAILURE() << "unknown owner word " << word;
    }
    return owner;
}

TEST(ConversionRules, TheRowsOfTheTable) {
    const auto rows = test::readTsvRows(KESTRIX_CONVERSION_RULES_FILE, 5);
    ASSERT_GE(rows.size(), 110u) << "the known-answer file looks truncated";
    for (const auto& row : rows) {
        SCOPED_TRACE(row[0] + " " + row[1] + " " + row[2]);
        std::vector<int> steps;
        std::istringstream versions(row[0]);
        for (std::string version; std::getline(versions, version, '>');)
            steps.push_back(configVersionIndex(version).value());
        bool swap = false;
        const BlockOwner owner = ownerOf(row[1], swap);
        UserParamBlock block = test::emptyBlock(steps[0]);
        for (const auto& [offset, bytes] : byteItems(row[2]))
            std::ranges::copy(bytes, block.begin() + static_cast<std::ptrdiff_t>(offset));
        test::TraceCapture trace;
        for (std::size_t step = 1; step < steps.size(); ++step)
            block = test::converted(block, steps[step - 1], steps[step], owner, swap);
        for (const auto& [offset, bytes] : byteItems(row[3]))
            EXPECT_EQ(std::string(block.begin() + static_cast<std::ptrdiff_t>(offset),
                                  block.begin() + static_cast<std::ptrdiff_t>(offset + bytes.size())),
                      bytes)
                << "at " << offset;
        std::istringstream texts(row[4]);
        for (std::string text; std::getline(texts, text, '|') && text != "-";)
            EXPECT_EQ(trace.contains(text.substr(text.front() == '!' ? 1 : 0)), text.front() != '!') << text;
    }
}

// Old reader codes with a type and mode of their own; every other code
// becomes type 0, mode 1, and comes back as 1, as does the Hitag code 7.
constexpr std::uint8_t kReaderPairs[][3] = {
    {0, 0, 0},   {2, 0, 2},    {3, 0, 3},    {4, 0, 4},    {5, 1, 5},    {7, 2, 7},  {8, 128, 0},
    {9, 128, 1}, {10, 128, 2}, {11, 128, 3}, {12, 128, 4}, {13, 129, 5}, {16, 1, 6},
};

TEST(ConversionRules, InternalReaderCodeBecomesTypeAndModeAndComesBack) {
    const int v603 = configVersionIndex("6.03").value(), v610 = configVersionIndex("6.10").value();
    for (int code = 0; code < 256; ++code) {
        std::array<std::uint8_t, 3> expected{static_cast<std::uint8_t>(code), 0, 1};
        bool paired = false;
        for (const auto& pair : kReaderPairs)
            if (pair[0] == code) {
                std::ranges::copy(pair, expected.begin());
                paired = true;
            }
        UserParamBlock block = test::emptyBlock(v603);
        block[974] = static_cast<std::uint8_t>(code);
        block[975] = 0x77;
        const UserParamBlock upper = test::converted(block, v603, v610, test::serverOwner());
        EXPECT_EQ(upper[974], expected[1]) << code;
        EXPECT_EQ(upper[975], expected[2]) << code;
        EXPECT_EQ(test::converted(upper, v610, v603, test::serverOwner())[974],
                  paired && code != 7 ? code : 1)
            << code;
    }
}

} // namespace
} // namespace kestrix

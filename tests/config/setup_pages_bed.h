#pragma once

// What the setup page tests share: a context with a recording message box,
// blocks built byte by byte at literal offsets, and a comparison of a whole
// block that names every byte a page wrote where it should not have.
#include "config/setup_page.h"
#include "lan/lan_interfaces.h"
#include "mainwindow/recording_view.h"
#include "messages/toolbox_lang.h"
#include "terminal/terminal_fields.h"

#include <bit>
#include <cstdint>
#include <gtest/gtest.h>
#include <initializer_list>
#include <string>
#include <vector>

namespace kestrix::test {

// The working copy holds numbers in this machine's order; the literal bytes
// of these tests are little-endian.
static_assert(std::endian::native == std::endian::little);

struct PageBed {
    explicit PageBed(int grade = 3, std::string version = "6.20", int platformGroup = 1) {
        terminal.SerialNumber = "100101";
        terminal.PlatformGroup = platformGroup;
        terminal.ProductName = "TALMO 7000 ACM";
        context.grade = grade;
        context.actualVersion = std::move(version);
    }

    CToolBoxLang language{kLocaleIdEnglishUnitedStates};
    RecordingMessageBoxes boxes;
    TerminalFields terminal;
    LanInterfaces lan;
    SetupContext context{language, boxes, terminal, 3, "6.20", lan};
};

struct Bytes {
    std::size_t offset;
    std::vector<std::uint8_t> bytes;
};

// The bytes of a text, with as many zero bytes after it as asked.
inline std::vector<std::uint8_t> text(std::string_view characters, std::size_t zeros = 0) {
    std::vector<std::uint8_t> bytes(characters.begin(), characters.end());
    bytes.resize(bytes.size() + zeros, 0);
    return bytes;
}

inline void put(UserParamBlock& block, const std::vector<Bytes>& changes) {
    for (const Bytes& change : changes)
        std::copy(change.bytes.begin(), change.bytes.end(),
                  block.begin() + static_cast<std::ptrdiff_t>(change.offset));
}

// Every byte 0x5A, then the given bytes.
inline UserParamBlock patternBlock(const std::vector<Bytes>& bytes) {
    UserParamBlock block;
    block.fill(0x5A);
    put(block, bytes);
    return block;
}

// Fails with the offsets where the block differs from the expected one.
inline void expectBlock(const UserParamBlock& actual, const UserParamBlock& expected) {
    std::string differences;
    for (std::size_t offset = 0; offset < actual.size(); ++offset) {
        if (actual[offset] != expected[offset])
            differences += " " + std::to_string(offset) + ":" + std::to_string(actual[offset]) +
                           "!=" + std::to_string(expected[offset]);
    }
    EXPECT_EQ(differences, "") << "bytes that differ (offset:actual!=expected)";
}

// Fills a page from the block, lets edit change it, puts it back (which must
// not stop OK) and fails unless exactly the written bytes changed.
template <typename Page, typename Edit>
void expectPutChanges(Page& page, const UserParamBlock& original, Edit&& edit,
                      const std::vector<Bytes>& written) {
    SetupBlock block(original);
    page.Get(block);
    edit(page);
    EXPECT_TRUE(page.Put(block));
    UserParamBlock expected = original;
    put(expected, written);
    expectBlock(block.bytes(), expected);
}

} // namespace kestrix::test

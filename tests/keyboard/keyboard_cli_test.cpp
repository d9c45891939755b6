// kestrix-cli keyboard show and convert on local files: the grid and the
// verification a file shows, conversions between the forms, and the files
// the editor refuses.
#include "cli_keyboard.h"

#include "support/scratch_directory.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>

namespace kestrix::cli {
namespace {

std::string showOutput(const std::string& path, int& exitCode) {
    Invocation invocation;
    invocation.arguments = {path};
    testing::internal::CaptureStdout();
    exitCode = keyboardShow(invocation);
    std::fflush(stdout);
    return testing::internal::GetCapturedStdout();
}

int convert(std::vector<std::string> words) {
    Invocation invocation;
    invocation.arguments = std::move(words);
    testing::internal::CaptureStdout();
    const int exitCode = keyboardConvert(invocation);
    std::fflush(stdout);
    testing::internal::GetCapturedStdout();
    return exitCode;
}

const std::string kValidated = std::string(KESTRIX_TEST_DATA) + "/validated.xml";
const std::string kEmptyRow = ".   .   .   .   .   .   .   .\n";
const std::string kGrid = "F1  .   .   .   .   .   .    E\n" + kEmptyRow + kEmptyRow +
                          ".   .   .   F7  .   .   .   .\n" + kEmptyRow + kEmptyRow + kEmptyRow +
                          ".    C  .   .   .   .   .   .\n";

TEST(KeyboardCli, ShowPrintsTheGridTopRowFirstWithTheFormAndVerification) {
    int exitCode = -1;
    EXPECT_EQ(showOutput(kValidated, exitCode), kGrid + "XML form, verified\n");
    EXPECT_EQ(exitCode, 0);
}

TEST(KeyboardCli, ConvertedFilesKeepTheLayoutButNotTheVerification) {
    const test::ScratchDirectory directory;
    const struct {
        const char* format;
        const char* shown;
    } cases[] = {{"map", "MAP form, not XML\n"}, {"com", "COM form, not XML\n"}, {"xml", "XML form, not verified\n"}};
    for (const auto& target : cases) {
        const std::string out = directory.file(std::string("out.") + target.format);
        ASSERT_EQ(convert({kValidated, out, "--format", target.format}), 0) << target.format;
        int exitCode = -1;
        EXPECT_EQ(showOutput(out, exitCode), kGrid + target.shown);
    }
    // XML made from the MAP form gets the placeholder texts.
    ASSERT_EQ(convert({directory.file("out.map"), directory.file("back.xml"), "--format", "xml"}), 0);
    const std::string back = directory.read("back.xml");
    EXPECT_NE(back.find("<id>---</id>\n    <revision>-</revision>\n    <description>---</description>"),
              std::string::npos);
}

TEST(KeyboardCli, RefusedFilesAndWrongCommandLinesWriteNothing) {
    const test::ScratchDirectory directory;
    directory.write("odd.bin", std::string(100, 'x'));
    directory.write("long.xml", std::string(8001, ' '));
    const std::string out = directory.file("out.xml");
    EXPECT_EQ(convert({directory.file("missing.xml"), out, "--format", "xml"}), 1);
    EXPECT_EQ(convert({directory.file("odd.bin"), out, "--format", "xml"}), 1);
    EXPECT_EQ(convert({directory.file("long.xml"), out, "--format", "xml"}), 1);
    EXPECT_EQ(convert({kValidated, out}), 2);
    EXPECT_EQ(convert({kValidated, out, "--format", "exe"}), 2);
    EXPECT_EQ(directory.entries(), (std::vector<std::string>{"long.xml", "odd.bin"}));
}

} // namespace
} // namespace kestrix::cli

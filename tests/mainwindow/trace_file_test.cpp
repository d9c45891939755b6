#include "mainwindow/start_directory.h"
#include "messages/toolbox_lang.h"
#include "mainwindow/trace_file.h"
#include "platform/trace.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

namespace kestrix {
namespace {

namespace fs = std::filesystem;

std::string readFile(const fs::path& path) {
    std::ifstream in(path);
    std::stringstream content;
    content << in.rdbuf();
    return content.str();
}

class TraceFileStart : public ::testing::Test {
protected:
    void SetUp() override {
        directory_ =
            fs::temp_directory_path() / ("kestrix-trace-" + std::to_string(::getpid()) + "-" +
                                         ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(directory_);
        fs::create_directories(directory_);
    }
    void TearDown() override {
        closeTraceFile();
        fs::remove_all(directory_);
    }
    fs::path directory_;
    CToolBoxLang english_{1033};
};

TEST_F(TraceFileStart, WithoutTheFileNothingIsTracedOrCreated) {
    auto outcome = openTraceFile(directory_.string(), english_);
    EXPECT_EQ(outcome.state, TraceFileState::Off);
    EXPECT_FALSE(traceOn());
    trace("nothing %d\n", 1);
    EXPECT_FALSE(fs::exists(directory_ / "KestrixTrace.txt"));
}

TEST_F(TraceFileStart, AnExistingFileIsEmptiedAndStartsWithProductAndVersion) {
    std::ofstream(directory_ / "KestrixTrace.txt") << "old run\nmore of it\n";
    auto outcome = openTraceFile(directory_.string(), english_);
    EXPECT_EQ(outcome.state, TraceFileState::On);
    trace("CToolBoxDlg::OnCancel()\n");
    EXPECT_EQ(readFile(directory_ / "KestrixTrace.txt"),
              "Kestrix IPv4+IPv6 V4.00.00\nCToolBoxDlg::OnCancel()\n");
    closeTraceFile();
    EXPECT_FALSE(traceOn());
}

TEST_F(TraceFileStart, AFileThatCannotBeRewrittenGivesTheWarningAndNoTrace) {
    // A directory of that name can be opened for reading but not rewritten.
    fs::create_directory(directory_ / "KestrixTrace.txt");
    auto outcome = openTraceFile(directory_.string(), english_);
    EXPECT_EQ(outcome.state, TraceFileState::NotWritable);
    EXPECT_EQ(outcome.warning,
              "Trace file " + (directory_ / "KestrixTrace.txt").string() + " can not be written.");
    EXPECT_FALSE(traceOn());
    CToolBoxLang german(1031);
    EXPECT_EQ(openTraceFile(directory_.string(), german).warning,
              "Die Tracedatei " + (directory_ / "KestrixTrace.txt").string() +
                  " kann nicht beschrieben werden.");
}

TEST(StartDirectory, IsTheCurrentDirectoryAtStart) {
    auto previous = fs::current_path();
    fs::current_path("/tmp");
    ASSERT_TRUE(initStartDirectory());
    fs::current_path(previous);
    EXPECT_EQ(startDirectory(), "/tmp");
    EXPECT_EQ(startDirectoryFile("Kestrix.ini"), "/tmp/Kestrix.ini");
}

} // namespace
} // namespace kestrix

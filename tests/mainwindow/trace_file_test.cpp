#include "mainwindow/start_directory.h"
#include "messages/toolbox_lang.h"
#include "mainwindow/trace_file.h"
#include "platform/trace.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <unistd.h>

namespace kestrix {
namespace {

namespace fs = std::filesystem;

// The trace file of a start directory: none without the file, the product line
// first in an emptied one, a warning for one that cannot be rewritten.
TEST(TraceFile, IsOpenedOnlyWhenItExistsAndCanBeRewritten) {
    const fs::path directory = fs::temp_directory_path() / ("kestrix-trace-" + std::to_string(::getpid()));
    fs::remove_all(directory);
    fs::create_directories(directory);
    const fs::path file = directory / "KestrixTrace.txt";
    const CToolBoxLang english(1033), german(1031);
    EXPECT_EQ(openTraceFile(directory.string(), english).state, TraceFileState::Off);
    EXPECT_FALSE(traceOn());
    trace("nothing %d\n", 1);
    EXPECT_FALSE(fs::exists(file));

    std::ofstream(file) << "old run\nmore of it\n";
    EXPECT_EQ(openTraceFile(directory.string(), english).state, TraceFileState::On);
    trace("CToolBoxDlg::OnCancel()\n");
    std::ostringstream text;
    text << std::ifstream(file).rdbuf();
    EXPECT_EQ(text.str(), "Kestrix IPv4+IPv6 V4.00.00\nCToolBoxDlg::OnCancel()\n");
    closeTraceFile();
    EXPECT_FALSE(traceOn());

    // A directory of that name can be opened for reading but not rewritten.
    fs::remove(file);
    fs::create_directory(file);
    const TraceFileOutcome opening = openTraceFile(directory.string(), english);
    EXPECT_EQ(opening.state, TraceFileState::NotWritable);
    EXPECT_EQ(opening.warning, "Trace file " + file.string() + " can not be written.");
    EXPECT_FALSE(traceOn());
    EXPECT_EQ(openTraceFile(directory.string(), german).warning,
              "Die Tracedatei " + file.string() + " kann nicht beschrieben werden.");
    fs::remove_all(directory);
}

TEST(StartDirectory, IsTheCurrentDirectoryAtStart) {
    const auto previous = fs::current_path();
    fs::current_path("/tmp");
    ASSERT_TRUE(initStartDirectory());
    fs::current_path(previous);
    EXPECT_EQ(startDirectory(), "/tmp");
    EXPECT_EQ(startDirectoryFile("Kestrix.ini"), "/tmp/Kestrix.ini");
}

} // namespace
} // namespace kestrix

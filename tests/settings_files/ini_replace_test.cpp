#include "settings_files/ini_file.h"
#include "settings_files/ini_test_files.h"
#include "support/trace_capture.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <filesystem>

namespace kestrix {
namespace {

using test::readBytes;
using test::TemporaryDirectory;
using test::thrownText;
using test::writeBytes;

const char* const kPrevious = "[S]\nk=old\n";

class IniFileReplace : public ::testing::Test {
protected:
    IniFileReplace() { writeBytes(fileName_, kPrevious); }

    // The file as read, with a changed value.
    IniFile changed() const {
        IniFile file(fileName_, "");
        file.setValue("S", "k", "new");
        return file;
    }

    TemporaryDirectory directory_;
    const std::string fileName_ = directory_.file("Kestrix.ini");
    const std::string temporary_ = fileName_ + ".tmp";
    const std::string previous_ = fileName_ + ".old";
};

TEST_F(IniFileReplace, KeepsThePreviousVersion) {
    writeBytes(previous_, "older");
    changed().writeToFile();
    EXPECT_EQ(readBytes(fileName_), "\n[S]\nk=new\n");
    EXPECT_EQ(readBytes(previous_), kPrevious);
    EXPECT_FALSE(std::filesystem::exists(temporary_));
}

TEST_F(IniFileReplace, AFileGoneMeanwhileIsWrittenAnew) {
    const IniFile file = changed();
    std::filesystem::remove(fileName_);
    file.writeToFile();
    EXPECT_EQ(readBytes(fileName_), "\n[S]\nk=new\n");
    EXPECT_FALSE(std::filesystem::exists(previous_));
}

// Passes every call to the system except the chosen one, which fails.
class FailingCalls : public FileSystemCalls {
public:
    FailingCalls(std::string failingCall, int error) : failingCall_(std::move(failingCall)), error_(error) {}
    int removeFile(const std::string& name) override {
        return fails("remove " + name) ? error_ : FileSystemCalls::removeFile(name);
    }
    int renameFile(const std::string& from, const std::string& to) override {
        return fails("rename " + from + " " + to) ? error_ : FileSystemCalls::renameFile(from, to);
    }

private:
    bool fails(const std::string& call) const { return call.ends_with(failingCall_); }
    std::string failingCall_;
    int error_;
};

TEST_F(IniFileReplace, AFailingStepLeavesThePreviousContentInPlace) {
    struct Case {
        std::string failingCall;
        int error;
        std::string message;
    } cases[] = {
        {"remove " + previous_, EIO, "remove: file " + previous_ + " in IniFile::writeToFile"},
        {"rename " + fileName_ + " " + previous_, EBUSY,
         "rename: " + fileName_ + " to " + previous_ + " in IniFile::writeToFile"},
        {"rename " + temporary_ + " " + fileName_, EXDEV,
         "rename: " + temporary_ + " to " + fileName_ + " in IniFile::writeToFile"},
    };
    for (const auto& c : cases) {
        FailingCalls calls(c.failingCall, c.error);
        EXPECT_EQ(thrownText([&] { changed().writeToFile(calls); }), c.message);
        EXPECT_EQ(readBytes(fileName_), kPrevious) << c.failingCall;
        EXPECT_EQ(readBytes(temporary_), "\n[S]\nk=new\n") << c.failingCall;
    }
}

TEST_F(IniFileReplace, ADirectoryInTheWayStopsItBeforeTheFileIsTouched) {
    std::filesystem::create_directories(std::filesystem::path(previous_) / "inside");
    EXPECT_EQ(thrownText([&] { changed().writeToFile(); }),
              "remove: file " + previous_ + " in IniFile::writeToFile");
    EXPECT_EQ(readBytes(fileName_), kPrevious);
    std::filesystem::remove_all(previous_);

    std::filesystem::remove(temporary_);
    std::filesystem::create_directory(temporary_);
    EXPECT_EQ(thrownText([&] { changed().writeToFile(); }),
              "fopen: file " + temporary_ + " in IniData::writeToFile");
    EXPECT_EQ(readBytes(fileName_), kPrevious);
}

TEST_F(IniFileReplace, AFailedSyncOfTheDirectoryAfterTheRenameIsTracedNotAFailure) {
    struct FailingSync : FileSystemCalls {
        int syncDirectoryOf(const std::string&) override { return EIO; }
    } calls;
    test::TraceCapture trace;
    changed().writeToFile(calls);
    EXPECT_EQ(readBytes(fileName_), "\n[S]\nk=new\n");
    EXPECT_TRUE(trace.contains("IniFile::writeToFile(): fsync of the directory of " + fileName_ + " failed, error=" +
                               std::to_string(EIO) + ": "));
}

} // namespace
} // namespace kestrix

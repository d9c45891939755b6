#include "platform/file_replacement.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

// Every output file goes through FileReplacement: what it does to each kind of
// target, run as root (as the program runs for its host routes).

namespace kestrix {
namespace {

namespace fs = std::filesystem;

std::string contents(const fs::path& path) {
    std::ifstream file(path, std::ios::binary);
    std::ostringstream text;
    text << file.rdbuf();
    return text.str();
}

void writeText(const fs::path& path, const std::string& text) { std::ofstream(path, std::ios::binary) << text; }

std::span<const std::uint8_t> bytesOf(const std::string& text) {
    return {reinterpret_cast<const std::uint8_t*>(text.data()), text.size()};
}

class FileReplacementTest : public ::testing::Test {
protected:
    void SetUp() override {
        directory_ = fs::temp_directory_path() / ("kestrix-replace-" + std::to_string(::getpid()));
        fs::create_directories(directory_);
    }
    void TearDown() override { fs::remove_all(directory_); }
    // Only the names the test made: no temporary file left beside them.
    std::vector<std::string> names() const {
        std::vector<std::string> found;
        for (const auto& entry : fs::directory_iterator(directory_))
            found.push_back(entry.path().filename().string());
        std::sort(found.begin(), found.end());
        return found;
    }
    fs::path directory_;
};

struct Row {
    const char* what;
    std::function<fs::path(const fs::path& directory)> prepare; // answers the path to write to
    bool replaced;
    std::function<void(const fs::path& directory)> check; // afterwards
};

TEST_F(FileReplacementTest, EachKindOfTarget) {
    const std::vector<Row> rows = {
        {"a regular file keeps its mode and, as root, its owner",
         [](const fs::path& d) {
             writeText(d / "list.rch", "old");
             ::chmod((d / "list.rch").c_str(), 0640);
             EXPECT_EQ(::chown((d / "list.rch").c_str(), 1234, 5678), 0);
             return d / "list.rch";
         },
         true,
         [](const fs::path& d) {
             struct stat status {};
             ASSERT_EQ(::stat((d / "list.rch").c_str(), &status), 0);
             EXPECT_EQ(status.st_mode & 07777, 0640u);
             EXPECT_EQ(status.st_uid, 1234u);
             EXPECT_EQ(status.st_gid, 5678u);
             EXPECT_EQ(contents(d / "list.rch"), "new");
         }},
        {"a secret file of mode 0600 stays 0600",
         [](const fs::path& d) {
             writeText(d / "t.cfg", "old");
             ::chmod((d / "t.cfg").c_str(), 0600);
             return d / "t.cfg";
         },
         true,
         [](const fs::path& d) {
             struct stat status {};
             ASSERT_EQ(::stat((d / "t.cfg").c_str(), &status), 0);
             EXPECT_EQ(status.st_mode & 07777, 0600u);
         }},
        {"a symbolic link to a file: the link stays, the file it leads to is replaced",
         [](const fs::path& d) {
             writeText(d / "real", "old");
             fs::create_symlink("real", d / "link");
             return d / "link";
         },
         true,
         [](const fs::path& d) {
             EXPECT_TRUE(fs::is_symlink(d / "link"));
             EXPECT_EQ(contents(d / "real"), "new");
         }},
        {"a symbolic link to a device is refused", [](const fs::path& d) {
             fs::create_symlink("/dev/null", d / "null");
             return d / "null";
         },
         false, [](const fs::path& d) {
             EXPECT_TRUE(fs::is_symlink(d / "null"));
             EXPECT_TRUE(fs::is_character_file("/dev/null"));
         }},
        {"a link that leads nowhere is refused", [](const fs::path& d) {
             fs::create_symlink("missing", d / "dangling");
             return d / "dangling";
         },
         false, [](const fs::path& d) { EXPECT_FALSE(fs::exists(d / "missing")); }},
        {"a device is refused", [](const fs::path&) { return fs::path("/dev/null"); }, false,
         [](const fs::path&) { EXPECT_TRUE(fs::is_character_file("/dev/null")); }},
        {"a FIFO is refused", [](const fs::path& d) {
             EXPECT_EQ(::mkfifo((d / "fifo").c_str(), 0600), 0);
             return d / "fifo";
         },
         false, [](const fs::path& d) { EXPECT_TRUE(fs::is_fifo(d / "fifo")); }},
        {"a directory is refused", [](const fs::path& d) {
             fs::create_directory(d / "folder");
             return d / "folder";
         },
         false, [](const fs::path& d) { EXPECT_TRUE(fs::is_directory(d / "folder")); }},
        {"a file with a second hard link is written in place: both names see the new contents",
         [](const fs::path& d) {
             writeText(d / "first", "old");
             fs::create_hard_link(d / "first", d / "second");
             return d / "first";
         },
         true,
         [](const fs::path& d) {
             EXPECT_EQ(contents(d / "second"), "new");
             EXPECT_EQ(fs::hard_link_count(d / "first"), 2u);
         }},
        {"a missing folder: nothing can be made", [](const fs::path& d) { return d / "no" / "file"; }, false,
         [](const fs::path&) {}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        const fs::path target = row.prepare(directory_);
        const std::vector<std::string> before = names();
        const std::string refusal = checkReplaceableTarget(target);
        const std::string error = replaceFileContents(target, bytesOf("new"), FileSecrecy::FollowUmask);
        EXPECT_EQ(error.empty(), row.replaced) << error;
        // The check refuses by kind; a missing folder shows only when writing.
        EXPECT_EQ(refusal.empty(), row.replaced || !fs::exists(target.parent_path())) << refusal;
        EXPECT_EQ(names(), before) << "a temporary file was left, or a name went";
        row.check(directory_);
        fs::remove_all(directory_);
        fs::create_directories(directory_);
    }
}

TEST_F(FileReplacementTest, AsAnotherUserTheModeIsKeptAndTheOwnerBecomesThatUser) {
    ::chmod(directory_.c_str(), 0777);
    writeText(directory_ / "shared.rch", "old");
    ::chmod((directory_ / "shared.rch").c_str(), 0666);
    const pid_t child = ::fork();
    if (child == 0) {
        // nobody: may write the folder, may not give a file to root.
        const bool replaced = ::setgid(65534) == 0 && ::setuid(65534) == 0 &&
                              replaceFileContents(directory_ / "shared.rch", bytesOf("new"),
                                                  FileSecrecy::FollowUmask)
                                  .empty();
        ::_exit(replaced ? 0 : 1);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    struct stat replaced {};
    ASSERT_EQ(::stat((directory_ / "shared.rch").c_str(), &replaced), 0);
    EXPECT_EQ(replaced.st_mode & 07777, 0666u);
    EXPECT_EQ(replaced.st_uid, 65534u);
    EXPECT_EQ(contents(directory_ / "shared.rch"), "new");
}

TEST_F(FileReplacementTest, NewFilesFollowTheUmaskOrAreTheOwnersOnly) {
    const mode_t mask = ::umask(022);
    EXPECT_TRUE(replaceFileContents(directory_ / "plain", bytesOf("x"), FileSecrecy::FollowUmask).empty());
    EXPECT_TRUE(replaceFileContents(directory_ / "secret", bytesOf("x"), FileSecrecy::OwnerOnly).empty());
    ::umask(mask);
    EXPECT_EQ(fs::status(directory_ / "plain").permissions(), fs::perms(0644));
    EXPECT_EQ(fs::status(directory_ / "secret").permissions(), fs::perms(0600));
}

TEST_F(FileReplacementTest, AnUnfinishedReplacementLeavesTheTargetAndRemovesItsTemporaryFile) {
    writeText(directory_ / "list.rch", "old");
    {
        FileReplacement replacement((directory_ / "list.rch").string(), FileSecrecy::FollowUmask);
        ASSERT_TRUE(replacement.write(bytesOf("half")));
        EXPECT_TRUE(fs::exists(replacement.temporaryPath()));
        // The interrupt's clean-up finds it.
        removeAllTemporaryFiles();
        EXPECT_FALSE(fs::exists(replacement.temporaryPath()));
    }
    EXPECT_EQ(contents(directory_ / "list.rch"), "old");
    EXPECT_EQ(names(), std::vector<std::string>{"list.rch"});
}

TEST_F(FileReplacementTest, InputsMustBeRegularFiles) {
    writeText(directory_ / "list.rch", "x");
    EXPECT_EQ(checkRegularInput((directory_ / "list.rch").string()), "");
    EXPECT_EQ(checkRegularInput("/dev/zero"), "/dev/zero is a character device, not a regular file");
    EXPECT_EQ(checkRegularInput(directory_.string()), directory_.string() + " is a directory, not a regular file");
    EXPECT_NE(checkRegularInput((directory_ / "missing").string()).find("cannot read"), std::string::npos);
}

} // namespace
} // namespace kestrix

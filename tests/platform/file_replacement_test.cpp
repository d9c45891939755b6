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

// The shell prepares each target in the directory and checks it afterwards
// (exit status 0), so that what is expected is not worked out by this program.
struct Row {
    const char* what;
    const char* prepare; // shell commands
    const char* target;  // relative to the directory, or absolute
    bool replaced;
    const char* check; // shell commands
};

int shell(const fs::path& directory, const std::string& commands) {
    return std::system(("cd '" + directory.string() + "' && " + commands).c_str());
}

TEST_F(FileReplacementTest, EachKindOfTarget) {
    const Row rows[] = {
        {"a regular file keeps its mode and, as root, its owner",
         "echo -n old >f && chmod 0640 f && chown 1234:5678 f", "f", true,
         "test \"$(stat -c %a:%u:%g f)$(cat f)\" = 640:1234:5678new"},
        {"a secret file of mode 0600 stays 0600", "echo -n old >f && chmod 0600 f", "f", true,
         "test \"$(stat -c %a f)\" = 600"},
        {"a symbolic link to a file: the link stays, the file it leads to is replaced",
         "echo -n old >real && ln -s real link", "link", true, "test -L link && test \"$(cat real)\" = new"},
        {"a symbolic link to a device is refused", "ln -s /dev/null null", "null", false,
         "test -L null && test -c /dev/null"},
        {"a link that leads nowhere is refused", "ln -s missing dangling", "dangling", false, "test ! -e missing"},
        {"a device is refused", "true", "/dev/null", false, "test -c /dev/null"},
        {"a FIFO is refused", "mkfifo fifo", "fifo", false, "test -p fifo"},
        {"a directory is refused", "mkdir folder", "folder", false, "test -d folder"},
        {"a file with a second hard link is written in place: both names see the new contents",
         "echo -n old >first && ln first second", "first", true,
         "test \"$(cat second)$(stat -c %h first)\" = new2"},
        {"a missing folder: nothing can be made", "true", "no/file", false, "true"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        ASSERT_EQ(shell(directory_, row.prepare), 0);
        const fs::path target = directory_ / row.target;
        const std::vector<std::string> before = names();
        const std::string refusal = checkReplaceableTarget(target);
        const std::string error = replaceFileContents(target, bytesOf("new"), FileSecrecy::FollowUmask);
        EXPECT_EQ(error.empty(), row.replaced) << error;
        // The check refuses by kind; a missing folder shows only when writing.
        EXPECT_EQ(refusal.empty(), row.replaced || !fs::exists(target.parent_path())) << refusal;
        EXPECT_EQ(names(), before) << "a temporary file was left, or a name went";
        EXPECT_EQ(shell(directory_, row.check), 0) << row.check;
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

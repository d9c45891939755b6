#include "platform/file_replacement.h"
#include "support/scratch_directory.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

// Every output file goes through FileReplacement: what it does to each kind of
// target, run as root (as the program runs for its host routes).

namespace kestrix {
namespace {

namespace fs = std::filesystem;
using test::ScratchDirectory;

std::span<const std::uint8_t> bytesOf(const std::string& text) {
    return {reinterpret_cast<const std::uint8_t*>(text.data()), text.size()};
}

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

TEST(FileReplacement, EachKindOfTarget) {
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
        const ScratchDirectory directory;
        ASSERT_EQ(shell(directory.path(), row.prepare), 0);
        const fs::path target = directory.path() / row.target;
        const std::vector<std::string> before = directory.entries();
        const std::string refusal = checkReplaceableTarget(target);
        const std::string error = replaceFileContents(target, bytesOf("new"), FileSecrecy::FollowUmask);
        EXPECT_EQ(error.empty(), row.replaced) << error;
        // The check refuses by kind; a missing folder shows only when writing.
        EXPECT_EQ(refusal.empty(), row.replaced || !fs::exists(target.parent_path())) << refusal;
        EXPECT_EQ(directory.entries(), before) << "a temporary file was left, or a name went";
        EXPECT_EQ(shell(directory.path(), row.check), 0) << row.check;
    }
}

TEST(FileReplacement, AsAnotherUserTheModeIsKeptAndTheOwnerBecomesThatUser) {
    const ScratchDirectory directory;
    ::chmod(directory.path().c_str(), 0777);
    directory.write("shared.rch", "old");
    ::chmod(directory.file("shared.rch").c_str(), 0666);
    const pid_t child = ::fork();
    if (child == 0) {
        // nobody: may write the folder, may not give a file to root.
        const bool replaced = ::setgid(65534) == 0 && ::setuid(65534) == 0 &&
                              replaceFileContents(directory.file("shared.rch"), bytesOf("new"),
                                                  FileSecrecy::FollowUmask)
                                  .empty();
        ::_exit(replaced ? 0 : 1);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    struct stat replaced {};
    ASSERT_EQ(::stat(directory.file("shared.rch").c_str(), &replaced), 0);
    EXPECT_EQ(replaced.st_mode & 07777, 0666u);
    EXPECT_EQ(replaced.st_uid, 65534u);
    EXPECT_EQ(directory.read("shared.rch"), "new");
}

TEST(FileReplacement, NewFilesFollowTheUmaskOrAreTheOwnersOnly) {
    const ScratchDirectory directory;
    const mode_t mask = ::umask(022);
    EXPECT_TRUE(replaceFileContents(directory.file("plain"), bytesOf("x"), FileSecrecy::FollowUmask).empty());
    EXPECT_TRUE(replaceFileContents(directory.file("secret"), bytesOf("x"), FileSecrecy::OwnerOnly).empty());
    ::umask(mask);
    EXPECT_EQ(fs::status(directory.file("plain")).permissions(), fs::perms(0644));
    EXPECT_EQ(fs::status(directory.file("secret")).permissions(), fs::perms(0600));
}

TEST(FileReplacement, AnUnfinishedReplacementLeavesTheTargetAndRemovesItsTemporaryFile) {
    const ScratchDirectory directory;
    directory.write("list.rch", "old");
    {
        FileReplacement replacement(directory.file("list.rch"), FileSecrecy::FollowUmask);
        ASSERT_TRUE(replacement.write(bytesOf("half")));
        EXPECT_TRUE(fs::exists(replacement.temporaryPath()));
        // The interrupt's clean-up finds it.
        removeAllTemporaryFiles();
        EXPECT_FALSE(fs::exists(replacement.temporaryPath()));
    }
    EXPECT_EQ(directory.read("list.rch"), "old");
    EXPECT_EQ(directory.entries(), std::vector<std::string>{"list.rch"});
}

TEST(FileReplacement, InputsMustBeRegularFiles) {
    const ScratchDirectory directory;
    directory.write("list.rch", "x");
    const std::string folder = directory.path().string();
    EXPECT_EQ(checkRegularInput(directory.file("list.rch")), "");
    EXPECT_EQ(checkRegularInput("/dev/zero"), "/dev/zero is a character device, not a regular file");
    EXPECT_EQ(checkRegularInput(folder), folder + " is a directory, not a regular file");
    EXPECT_NE(checkRegularInput(directory.file("missing")).find("cannot read"), std::string::npos);
}

} // namespace
} // namespace kestrix

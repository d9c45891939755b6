#pragma once

// Replacing a local file by new contents without ever leaving it half written,
// and without harming what the path points at. Every file the program writes
// for the user goes through here.
//
// The rule: the new bytes go into a temporary file beside the target, which
// takes the target's place only once it is complete and on disk. A target
// that is a symbolic link is followed; what it leads to is replaced when it is
// a regular file. A target that exists and is not a regular file (a device, a
// FIFO, a directory, a socket) or a link that leads nowhere is refused and
// left alone. A replaced file keeps its mode, and its owner and group where
// the process may set them (as root). A file with more than one hard link or
// with an access control list is overwritten in place once the new contents
// are complete, so that every name and every right stays as it was.
//
// It does not decide what a failure means to the user: callers report it.
#include <cstdint>
#include <span>
#include <string>

namespace kestrix {

enum class FileSecrecy {
    FollowUmask, // a new file gets 0666 less the umask
    OwnerOnly,   // a new file gets 0600: it holds passwords or keys
};

// One replacement in progress. While it exists its temporary file is known to
// removeAllTemporaryFiles(), so that an interrupted process leaves none behind.
class FileReplacement {
public:
    FileReplacement(const std::string& target, FileSecrecy secrecy);
    ~FileReplacement(); // removes the temporary file unless committed
    FileReplacement(const FileReplacement&) = delete;
    FileReplacement& operator=(const FileReplacement&) = delete;

    // False when the target was refused or no temporary file could be made;
    // error() then says why.
    bool isOpen() const { return descriptor_ >= 0; }
    const std::string& error() const { return error_; }
    // The file the new contents are written to (by write() or by name).
    const std::string& temporaryPath() const { return temporary_; }

    bool write(std::span<const std::uint8_t> bytes);
    // Puts the temporary file's contents in the target's place. On failure the
    // target is as it was and error() says why.
    bool commit();

private:
    bool fail(const std::string& what, int errorNumber);
    bool overwriteInPlace();

    std::string target_;    // the path written: a symbolic link already followed
    std::string temporary_; // empty when none was made
    std::string error_;
    int descriptor_ = -1;
    bool targetExists_ = false;
    bool committed_ = false;
};

// Writes the bytes as the file at path by the rule above. Empty on success,
// else the reason.
std::string replaceFileContents(const std::string& path, std::span<const std::uint8_t> bytes, FileSecrecy secrecy);

// Empty when path names a regular file that may be read (a symbolic link
// followed), else the reason: inputs that are devices, FIFOs or directories
// would hang, stream without end or fail late.
std::string checkRegularInput(const std::string& path);

// Empty when path may be replaced by the rule above (or names no file yet),
// else the reason: lets a caller refuse a target before any network traffic.
std::string checkReplaceableTarget(const std::string& path);

// Removes every temporary file of a replacement still in progress. Meant for
// the thread that handles an interrupt just before the process ends.
void removeAllTemporaryFiles();

} // namespace kestrix

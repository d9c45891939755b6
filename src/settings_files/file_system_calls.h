#pragma once

#include <string>

namespace kestrix {

// The file-system calls that replacing a file is made of, each answering 0 or
// the errno value of its failure. The base class makes the system's calls;
// tests derive from it to make one chosen call fail. It does not decide which
// failures matter: IniFile::writeToFile does.
class FileSystemCalls {
public:
    FileSystemCalls() = default;
    FileSystemCalls(const FileSystemCalls&) = delete;
    FileSystemCalls& operator=(const FileSystemCalls&) = delete;
    virtual ~FileSystemCalls() = default;

    // unlink()
    virtual int removeFile(const std::string& name);
    // rename(): replaces an existing target
    virtual int renameFile(const std::string& from, const std::string& to);
    // fsync() of the directory that holds the named file, so that renames in it
    // survive a crash
    virtual int syncDirectoryOf(const std::string& name);
};

} // namespace kestrix

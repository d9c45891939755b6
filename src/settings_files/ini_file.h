#pragma once

#include "settings_files/file_system_calls.h"
#include "settings_files/ini_data.h"

#include <string>
#include <string_view>

namespace kestrix {

// An ini file read completely and strictly when the object is built: a
// malformed line, a repeated section or a repeated key makes the whole file
// unusable, and the constructor throws std::runtime_error with the reason as
// its text, so an IniFile that exists holds the whole file. It can replace the
// file with its content, keeping the previous version as name + ".old".
//
// It does not keep the file open, notice later changes on disk, or keep
// comments and blank lines when it writes.
class IniFile : public IniData {
public:
    // Reads the named file (a relative name is taken from the current
    // directory now). When the file does not exist, the error text is the file
    // name followed directly by notFoundText.
    IniFile(const std::string& fileName, std::string_view notFoundText);

    // The file name as given to the constructor.
    const std::string& fileName() const { return fileName_; }

    using IniData::writeToFile;
    // Replaces the file: writes name + ".tmp" and forces it to disk, removes
    // name + ".old", renames the file to name + ".old" and the new one to the
    // name. When a step fails, the previous content stays under the name (or,
    // only if even putting it back fails, under name + ".old"). A directory
    // that cannot be forced to disk after the last rename is only traced: the
    // new content is in place.
    void writeToFile() const;
    // The same through the given calls (tests make single steps fail).
    void writeToFile(FileSystemCalls& calls) const;

private:
    std::string fileName_;
};

} // namespace kestrix

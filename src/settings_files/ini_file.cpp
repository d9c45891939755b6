#include "settings_files/ini_file.h"

#include "platform/error_text.h"
#include "platform/trace.h"
#include "settings_files/ini_line.h"

#include <array>
#include <cerrno>
#include <cstdio>
#include <stdexcept>

namespace kestrix {

namespace {

// Takes the bytes of a file block by block, cuts them into lines at line feeds
// (joining a line that runs over block ends) and enters each line into the
// content, failing on the first line that breaks the rules.
class IniParser {
public:
    IniParser(IniData& content, const std::string& fileName) : content_(content), fileName_(fileName) {}

    void addBlock(std::string_view block) {
        for (auto lineFeed = block.find('\n'); lineFeed != std::string_view::npos;
             lineFeed = block.find('\n')) {
            if (pending_.empty()) {
                takeLine(block.substr(0, lineFeed));
            } else {
                pending_.append(block.substr(0, lineFeed));
                takeLine(pending_);
                pending_.clear();
            }
            block.remove_prefix(lineFeed + 1);
        }
        pending_.append(block);
    }

    // The last line needs no line feed.
    void finish() {
        takeLine(pending_);
        pending_.clear();
    }

private:
    void takeLine(std::string_view text) {
        const IniLine line = classifyIniLine(text);
        switch (line.kind) {
        case IniLineKind::Empty:
            return;
        case IniLineKind::Header:
            if (content_.hasSection(line.name))
                throw std::runtime_error("double definition for section " + std::string(line.name) +
                                         " in file " + fileName_);
            content_.addSection(line.name);
            section_ = line.name;
            return;
        case IniLineKind::Entry:
            if (!content_.addSection(section_).try_emplace(std::string(line.name), line.value).second)
                throw std::runtime_error("double definition of " + std::string(line.name) + " in section " +
                                         section_ + " in file " + fileName_);
            return;
        case IniLineKind::Wrong:
            throw std::runtime_error("wrong line in section " + section_ + " in file " + fileName_);
        }
    }

    IniData& content_;
    const std::string& fileName_;
    std::string section_; // keys before the first header go to the section ""
    std::string pending_; // the start of a line that a block end cut
};

void readBlocks(std::FILE* file, IniParser& parser, const std::string& fileName) {
    std::array<char, 1024> block;
    for (;;) {
        const std::size_t got = std::fread(block.data(), 1, block.size(), file);
        if (std::ferror(file))
            throw std::runtime_error("fread: file " + fileName + " in IniFile::IniFile");
        parser.addBlock(std::string_view(block.data(), got));
        if (got < block.size())
            break;
    }
    parser.finish();
}

} // namespace

IniFile::IniFile(const std::string& fileName, std::string_view notFoundText) : fileName_(fileName) {
    std::FILE* file = std::fopen(fileName.c_str(), "rb");
    if (file == nullptr) {
        const int error = errno;
        trace("Dep-File -%s- not open\n", fileName.c_str());
        if (error == ENOENT || error == ENOTDIR)
            throw std::runtime_error(fileName + std::string(notFoundText));
        throw std::runtime_error("fopen: file " + fileName + " in IniFile::IniFile");
    }
    try {
        IniParser parser(*this, fileName_);
        readBlocks(file, parser, fileName_);
    } catch (...) {
        std::fclose(file);
        throw;
    }
    if (std::fclose(file) != 0)
        throw std::runtime_error("fclose: file " + fileName + " in IniFile::IniFile");
}

void IniFile::writeToFile() const {
    FileSystemCalls system;
    writeToFile(system);
}

void IniFile::writeToFile(FileSystemCalls& calls) const {
    const std::string temporary = fileName_ + ".tmp";
    const std::string previous = fileName_ + ".old";
    IniData::writeToFile(temporary); // on disk before any rename
    const int removed = calls.removeFile(previous);
    if (removed != 0 && removed != ENOENT)
        throw std::runtime_error("remove: file " + previous + " in IniFile::writeToFile");
    const int moved = calls.renameFile(fileName_, previous);
    if (moved != 0 && moved != ENOENT)
        throw std::runtime_error("rename: " + fileName_ + " to " + previous + " in IniFile::writeToFile");
    if (calls.renameFile(temporary, fileName_) != 0) {
        // Put the previous version back, or the next reader would find no file.
        if (moved == 0)
            calls.renameFile(previous, fileName_);
        throw std::runtime_error("rename: " + temporary + " to " + fileName_ + " in IniFile::writeToFile");
    }
    // The new content is in place: a directory that cannot be forced to disk
    // only makes the rename less sure to survive a crash.
    const int synced = calls.syncDirectoryOf(fileName_);
    if (synced != 0 && synced != EINVAL)
        trace("IniFile::writeToFile(): fsync of the directory of %s failed, error=%d: %s\n", fileName_.c_str(),
              synced, errorText(synced).c_str());
}

} // namespace kestrix

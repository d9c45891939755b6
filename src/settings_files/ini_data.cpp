#include "settings_files/ini_data.h"

#include "settings_files/ini_line.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <stdexcept>
#include <unistd.h>

namespace kestrix {

namespace {

// The line that holds an entry. A key that begins with a comment mark gets a
// blank in front, which the reader drops again: at the start of the line the
// mark would turn the entry into a comment.
std::string entryLine(const std::string& key, const std::string& value) {
    const bool commentMark = !key.empty() && (key.front() == ';' || key.front() == '#');
    return (commentMark ? " " : "") + key + "=" + value;
}

// A line feed would split the line; the rest is what the reader would make of
// the line the writer writes.
bool readsBackAs(const std::string& line, IniLineKind kind, std::string_view name, std::string_view value) {
    if (line.find('\n') != std::string::npos)
        return false;
    const IniLine read = classifyIniLine(line);
    return read.kind == kind && read.name == name && read.value == value;
}

void refuseUnreadableContent(const std::map<std::string, IniSection, ByteOrder>& sections,
                             const std::string& fileName) {
    for (const auto& [name, section] : sections) {
        if (!readsBackAs("[" + name + "]", IniLineKind::Header, name, {}))
            throw std::runtime_error("wrong section name " + name + " for file " + fileName +
                                     " in IniData::writeToFile");
        for (const auto& [key, value] : section)
            if (!readsBackAs(entryLine(key, value), IniLineKind::Entry, key, value))
                throw std::runtime_error("wrong entry " + key + " in section " + name + " for file " +
                                         fileName + " in IniData::writeToFile");
    }
}

// Flushes the stream and forces the file to disk; files that cannot be synced
// (devices, pipes) count as synced.
bool flushToDisk(std::FILE* file) {
    if (std::fflush(file) != 0)
        return false;
    return ::fsync(::fileno(file)) == 0 || errno == EINVAL || errno == EROFS;
}

} // namespace

bool ByteOrder::operator()(std::string_view left, std::string_view right) const noexcept {
    const std::size_t common = std::min(left.size(), right.size());
    if (common != 0) {
        const int order = std::memcmp(left.data(), right.data(), common); // compares unsigned bytes
        if (order != 0)
            return order < 0;
    }
    return left.size() < right.size();
}

std::vector<std::string> IniData::getSections() const {
    std::vector<std::string> names;
    names.reserve(sections_.size());
    for (const auto& entry : sections_)
        names.push_back(entry.first);
    return names;
}

std::vector<std::string> IniData::getKeys(std::string_view section) const {
    std::vector<std::string> keys;
    const auto found = sections_.find(section);
    if (found == sections_.end())
        return keys;
    keys.reserve(found->second.size());
    for (const auto& entry : found->second)
        keys.push_back(entry.first);
    return keys;
}

bool IniData::hasSection(std::string_view section) const {
    return sections_.find(section) != sections_.end();
}

bool IniData::hasKey(std::string_view section, std::string_view key) const {
    const auto found = sections_.find(section);
    return found != sections_.end() && found->second.find(key) != found->second.end();
}

IniSection& IniData::addSection(std::string_view section) {
    const auto found = sections_.find(section);
    if (found != sections_.end())
        return found->second;
    return sections_.emplace(std::string(section), IniSection{}).first->second;
}

std::size_t IniData::removeSection(std::string_view section) {
    const auto found = sections_.find(section);
    if (found == sections_.end())
        return 0;
    sections_.erase(found);
    return 1;
}

void IniData::setValue(std::string_view section, std::string_view key, std::string_view value) {
    IniSection& keys = addSection(section);
    const auto found = keys.find(key);
    if (found != keys.end())
        found->second = value;
    else
        keys.emplace(std::string(key), std::string(value));
}

std::size_t IniData::removeKey(std::string_view section, std::string_view key) {
    const auto found = sections_.find(section);
    if (found == sections_.end())
        return 0;
    const auto entry = found->second.find(key);
    if (entry == found->second.end())
        return 0;
    found->second.erase(entry);
    return 1;
}

std::string IniData::getValue(std::string_view section, std::string_view key,
                              std::string_view defaultValue) const {
    const auto found = sections_.find(section);
    if (found != sections_.end()) {
        const auto entry = found->second.find(key);
        if (entry != found->second.end())
            return entry->second;
    }
    return std::string(defaultValue);
}

void IniData::writeToFile(const std::string& fileName) const {
    refuseUnreadableContent(sections_, fileName);
    std::FILE* file = std::fopen(fileName.c_str(), "w");
    if (file == nullptr)
        throw std::runtime_error("fopen: file " + fileName + " in IniData::writeToFile");
    // fwrite, not fputs: names and values may hold zero bytes.
    bool written = true;
    const auto put = [&](std::string_view text) {
        written = written && std::fwrite(text.data(), 1, text.size(), file) == text.size();
    };
    for (const auto& [name, section] : sections_) {
        put("\n[");
        put(name);
        put("]\n");
        for (const auto& [key, value] : section) {
            put(entryLine(key, value));
            put("\n");
        }
    }
    if (!written) {
        std::fclose(file);
        throw std::runtime_error("fputs: file " + fileName + " in IniData::writeToFile");
    }
    // What stdio still buffers reaches the file while closing, so a failure
    // there (a full disk) is a failed close.
    const bool onDisk = flushToDisk(file);
    if (std::fclose(file) != 0 || !onDisk)
        throw std::runtime_error("fclose: file " + fileName + " in IniData::writeToFile");
}

} // namespace kestrix

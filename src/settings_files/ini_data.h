#pragma once

#include <cstddef>
#include <map>
#include <string>
#include <string_view>
#include <vector>

namespace kestrix {

// Orders names by their bytes taken as unsigned values: case-sensitive, no
// locale, "Z" before "a" and "a" before "\xC4".
struct ByteOrder {
    using is_transparent = void;
    bool operator()(std::string_view left, std::string_view right) const noexcept;
};

// One section of an ini file: key to value, in byte order.
using IniSection = std::map<std::string, std::string, ByteOrder>;

// The content of an ini file in memory: section name to section, both maps in
// byte order. Keys that stand before the first header of a file belong to the
// section with the empty name. Names and values are byte strings without any
// quoting.
//
// It writes itself to a file (errors are thrown as std::runtime_error with the
// message text the callers show), but it neither reads files nor keeps the
// previous version of a file it overwrites: IniFile does both.
class IniData {
public:
    IniData() = default;
    IniData(const IniData&) = default;
    IniData& operator=(const IniData&) = default;
    virtual ~IniData() = default;

    // All section names, ascending.
    std::vector<std::string> getSections() const;
    // The keys of a section, ascending; empty when the section does not exist.
    std::vector<std::string> getKeys(std::string_view section) const;
    bool hasSection(std::string_view section) const;
    bool hasKey(std::string_view section, std::string_view key) const;

    // Creates the section if it is absent.
    IniSection& addSection(std::string_view section);
    // Deletes the section with its keys; the number of sections removed (0 or 1).
    std::size_t removeSection(std::string_view section);
    // Creates section and key as needed; an existing value is overwritten.
    void setValue(std::string_view section, std::string_view key, std::string_view value);
    // The number of keys removed (0 or 1).
    std::size_t removeKey(std::string_view section, std::string_view key);
    // The value when hasKey(), else the default.
    std::string getValue(std::string_view section, std::string_view key, std::string_view defaultValue) const;

    // Creates or truncates the file and writes every section in ascending order
    // as an empty line and "[name]", each followed by its "key=value" lines in
    // ascending order, then forces the file to disk. A key that begins with ";"
    // or "#" is written after a blank, so that it does not read as a comment.
    // Content that would not read back the same (a line feed in a name or
    // value, white space at their ends, "=" in a key, an entry that reads as a
    // header) is refused before the file is touched.
    void writeToFile(const std::string& fileName) const;

    friend bool operator==(const IniData&, const IniData&) = default;

private:
    std::map<std::string, IniSection, ByteOrder> sections_;
};

} // namespace kestrix

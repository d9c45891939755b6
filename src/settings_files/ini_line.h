#pragma once

#include <string_view>

namespace kestrix {

// What one line of an ini file is. The reader and the writer share it: the
// writer only writes lines that read back as what it meant to write.
enum class IniLineKind {
    Empty,  // blank, or a comment (";" or "#" as its very first byte)
    Header, // "[name]"
    Entry,  // "key=value"
    Wrong,  // none of these
};

struct IniLine {
    IniLineKind kind = IniLineKind::Empty;
    std::string_view name;  // section name of a header, key of an entry
    std::string_view value; // value of an entry
};

// Classifies one line without its line feed (a carriage return at its end is
// dropped). Names and values are trimmed of blanks, tabs, CR, LF, VT and FF and
// refer into the given text. It does not know sections or detect repeats.
IniLine classifyIniLine(std::string_view line);

} // namespace kestrix

#include "firmware/firmware_version_readers.h"

#include "platform/trace.h"
#include "terminal/version_key.h"

#include <array>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <memory>
#include <optional>
#include <span>
#include <sys/types.h>
#include <utility>

namespace kestrix {

namespace {

// What a reader calls its file in its trace lines: the TCL readers say "TCL",
// the monitor readers "MONITOR"; the success line of a TCL reader adds its model.
struct ReaderWords {
    const char* name;  // "init_tcl_7450_version"
    const char* file;  // "TCL-Firmware Datei"
    const char* plain; // "TCL-Firmware-Datei"
    const char* found; // "TCL 7450 Firmware"
};

constexpr ReaderWords tclWords(const char* name, const char* found) {
    return {name, "TCL-Firmware Datei", "TCL-Firmware-Datei", found};
}

constexpr ReaderWords monitorWords(const char* name) {
    return {name, "MONITOR-Firmware Datei", "MONITOR-Firmware-Datei", "MONITOR Firmware"};
}

void traceOpenFailed(const ReaderWords& words, const std::string& path) {
    trace("%s(): I/O-Fehler (open failed) bei der %s '%s'\n", words.name, words.file, path.c_str());
}

void traceReadFailed(const ReaderWords& words, const std::string& path) {
    trace("%s(): I/O-Fehler (read failed) bei der %s '%s'\n", words.name, words.file, path.c_str());
}

void tracePlausibility(const ReaderWords& words, const std::string& path) {
    trace("%s(): Plausibilitäts-Fehler bei der %s '%s'\n", words.name, words.plain, path.c_str());
}

void traceFound(const ReaderWords& words, const std::string& path, const std::string& version) {
    trace("%s(): %s '%s' has Version '%s'\n", words.name, words.found, path.c_str(), version.c_str());
}

struct FileCloser {
    void operator()(std::FILE* file) const { std::fclose(file); }
};
using FileHandle = std::unique_ptr<std::FILE, FileCloser>;

// Reads exactly out.size() bytes at a file offset; false when the offset lies
// beyond the file or the file ends before the bytes do.
bool readAt(std::FILE* file, std::uint64_t offset, std::span<std::uint8_t> out) {
    if (offset > static_cast<std::uint64_t>(INT64_MAX) ||
        fseeko(file, static_cast<off_t>(offset), SEEK_SET) != 0)
        return false;
    return std::fread(out.data(), 1, out.size(), file) == out.size();
}

std::uint16_t littleEndian16(std::span<const std::uint8_t> bytes, std::size_t at) {
    return static_cast<std::uint16_t>(bytes[at] | bytes[at + 1] << 8);
}

std::uint32_t bigEndian32(std::span<const std::uint8_t> bytes, std::size_t at) {
    return std::uint32_t{bytes[at]} << 24 | std::uint32_t{bytes[at + 1]} << 16 |
           std::uint32_t{bytes[at + 2]} << 8 | std::uint32_t{bytes[at + 3]};
}

bool hasText(std::span<const std::uint8_t> bytes, std::size_t at, const char* text) {
    return std::memcmp(bytes.data() + at, text, std::strlen(text)) == 0;
}

// The four characters and the terminator of a version as they stand in a file.
using VersionBytes = std::array<std::uint8_t, 5>;

// The version text: the four characters up to a zero byte among them.
std::string versionText(const VersionBytes& bytes) {
    std::string text(reinterpret_cast<const char*>(bytes.data()), 4);
    return text.substr(0, text.find('\0'));
}

// Whether the version must end with a zero byte.
enum class Terminator { Checked, NotChecked };

// Where a file format keeps its version, taken from its header; nothing when
// the header fails the format's check.
template <std::size_t HeaderSize>
using VersionPlace = std::optional<std::uint64_t> (*)(const std::array<std::uint8_t, HeaderSize>& header);

// The common course of the readers but the 7000 one: open, read the header at
// its offset, check it, read the version where the header says.
template <std::size_t HeaderSize>
std::optional<std::string> readVersion(const std::string& path, const ReaderWords& words,
                                       std::uint64_t headerOffset, VersionPlace<HeaderSize> place,
                                       Terminator terminator) {
    FileHandle file(std::fopen(path.c_str(), "rb"));
    if (!file) {
        traceOpenFailed(words, path);
        return std::nullopt;
    }
    std::array<std::uint8_t, HeaderSize> header{};
    if (!readAt(file.get(), headerOffset, header)) {
        traceReadFailed(words, path);
        return std::nullopt;
    }
    const std::optional<std::uint64_t> at = place(header);
    if (!at) {
        tracePlausibility(words, path);
        return std::nullopt;
    }
    VersionBytes version{};
    if (!readAt(file.get(), *at, version)) {
        traceReadFailed(words, path);
        return std::nullopt;
    }
    if (terminator == Terminator::Checked && version[4] != 0) {
        tracePlausibility(words, path);
        return std::nullopt;
    }
    std::string text = versionText(version);
    traceFound(words, path, text);
    return text;
}

std::optional<std::uint64_t> tcl7450Place(const std::array<std::uint8_t, 32>& header) {
    if (!hasText(header, 4, "TALMO 7450"))
        return std::nullopt;
    const std::uint32_t address = bigEndian32(header, 16) & 0xFFFFFF;
    // The file is loaded at 0x100000: an address below it is not in the file.
    if (address < 0x100000)
        return std::nullopt;
    return address - 0x100000;
}

std::optional<std::uint64_t> monitor7450Place(const std::array<std::uint8_t, 240>& header) {
    if (!hasText(header, 224, "TALMO 7450"))
        return std::nullopt;
    return bigEndian32(header, 236) & 0xFFFFFF;
}

std::optional<std::uint64_t> tcl7200Place(const std::array<std::uint8_t, 18>& header) {
    const std::uint16_t segment = littleEndian16(header, 6);
    if (littleEndian16(header, 2) != 0xAA55 || segment < 0x8000)
        return std::nullopt;
    return std::uint64_t{segment - 0x7FFFu} * 16 + littleEndian16(header, 16);
}

std::optional<std::uint64_t> monitor7200Place(const std::array<std::uint8_t, 14>& header) {
    if (!hasText(header, 2, "TALMO 7200"))
        return std::nullopt;
    return littleEndian16(header, 12);
}

constexpr std::uint64_t k9300MonitorOffset = 0x10000;

std::optional<std::uint64_t> monitor9300Place(const std::array<std::uint8_t, 14>& header) {
    if (!hasText(header, 2, "TALMO 9300"))
        return std::nullopt;
    return k9300MonitorOffset + littleEndian16(header, 12);
}

// The result codes of the 7000 reader's trace line.
enum class ExecutableVersion { Found = 0, PointerUnreadable = -1, VersionUnreadable = -2, Malformed = -3 };

// The version a 7000 TCL file names through the far pointer at the start of
// its load module; "5.01" when it names none that can be read.
std::pair<std::string, ExecutableVersion> executableVersion(std::FILE* file,
                                                            const std::array<std::uint8_t, 28>& header) {
    const std::uint64_t headerSize = std::uint64_t{littleEndian16(header, 8)} * 16;
    std::array<std::uint8_t, 4> pointer{};
    if (!readAt(file, headerSize, pointer))
        return {"5.01", ExecutableVersion::PointerUnreadable};
    const std::uint64_t at =
        headerSize + std::uint64_t{littleEndian16(pointer, 2)} * 16 + littleEndian16(pointer, 0);
    VersionBytes version{};
    if (!readAt(file, at, version))
        return {"5.01", ExecutableVersion::VersionUnreadable};
    if (version[1] != '.' || version[4] != 0)
        return {"5.01", ExecutableVersion::Malformed};
    return {versionText(version), ExecutableVersion::Found};
}

} // namespace

std::optional<std::string> init_tcl_7450_version(const std::string& path) {
    static constexpr ReaderWords words = tclWords("init_tcl_7450_version", "TCL 7450 Firmware");
    return readVersion<32>(path, words, 0, tcl7450Place, Terminator::Checked);
}

std::optional<std::string> init_monitor_7450_version(const std::string& path) {
    static constexpr ReaderWords words = monitorWords("init_monitor_7450_version");
    return readVersion<240>(path, words, 0, monitor7450Place, Terminator::Checked);
}

std::optional<std::string> init_tcl_7200_version(const std::string& path) {
    static constexpr ReaderWords words = tclWords("init_tcl_7200_version", "TCL 7200 Firmware");
    return readVersion<18>(path, words, 0, tcl7200Place, Terminator::Checked);
}

std::optional<std::string> init_monitor_7200_version(const std::string& path) {
    static constexpr ReaderWords words = monitorWords("init_monitor_7200_version");
    return readVersion<14>(path, words, 0, monitor7200Place, Terminator::NotChecked);
}

std::optional<std::string> init_monitor_9300_version(const std::string& path) {
    static constexpr ReaderWords words = monitorWords("init_monitor_9300_version");
    return readVersion<14>(path, words, k9300MonitorOffset, monitor9300Place, Terminator::NotChecked);
}

std::optional<std::string> init_tcl_7000_version(const std::string& path) {
    static constexpr ReaderWords words = tclWords("init_tcl_7000_version", "TCL 7000 Firmware");
    FileHandle file(std::fopen(path.c_str(), "rb"));
    if (!file) {
        traceOpenFailed(words, path);
        return std::nullopt;
    }
    std::array<std::uint8_t, 28> header{};
    if (!readAt(file.get(), 0, header)) {
        traceReadFailed(words, path);
        return std::nullopt;
    }
    if (!hasText(header, 0, "MZ") && !hasText(header, 0, "ZM")) {
        trace("init_tcl_7000_version(): %s not an .EXE file\n", path.c_str());
        return std::nullopt;
    }
    auto [version, result] = executableVersion(file.get(), header);
    trace("init_tcl_7000_version(): TCL 7000 Firmware '%s' has Version '%s' (res=%d)\n", path.c_str(),
          version.c_str(), static_cast<int>(result));
    return version;
}

std::string BuildSortMonitorVersion(std::string_view version) {
    std::string key = versionSortKey(version);
    trace("BuildSortMonitorVersion(): %s\n", key.c_str());
    return key;
}

} // namespace kestrix

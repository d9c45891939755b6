// kestrix-cli config info: what a configuration block file holds, in
// readable form: its framing, whether the program accepts it, and the named
// parameters of the 6.xx layouts.
#include "cli_common.h"
#include "cli_config.h"

#include "config/block_bytes.h"
#include "config/block_diff.h"
#include "crypto/hex_text.h"
#include "config/secret_fields.h"
#include "config/setup_fields.h"
#include "config/user_param.h"
#include "crypto/crc16_arc.h"
#include "platform/date_time_1980.h"
#include "platform/file_replacement.h"
#include "platform/ip_address.h"

#include <array>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <optional>

namespace kestrix::cli {
namespace {

// Version indexes of the layouts the fields are read from.
constexpr int kIndex600 = 7;  // "6.00": the 6.xx layout begins
constexpr int kIndex602 = 9;  // "6.02": summer time as texts
constexpr int kIndex610 = 11; // "6.10": IPv6 host address, reader type and mode, time of last write
constexpr int kIndex620 = 13; // "6.20": the time of last write at its newest place

// The places of the older 6.xx layouts that the newest one holds elsewhere or in another form.
constexpr std::size_t kSummerTimeStartOffset601 = 828; // seconds since 1980, up to "6.01"
constexpr std::size_t kSummerTimeEndOffset601 = 832;
constexpr std::size_t kReaderCodeOffset600 = 958; // one code, "6.00" and "6.01"
constexpr std::size_t kReaderCodeOffset602 = 974; // one code, "6.02" and "6.03"
constexpr std::size_t kLastWriteOffset610 = 1116; // "6.10" and "6.11"

void line(const char* label, const std::string& value) {
    std::printf("%-18s%s\n", label, value.c_str());
}

// The parameters of a deciphered block, read in the block's byte order.
class BlockFields {
public:
    BlockFields(const UserParamBlock& block, BlockByteOrder order) : block_(block), order_(order) {}

    std::uint8_t byte(std::size_t offset) const { return block_[offset]; }
    std::uint16_t unsigned16(std::size_t offset) const { return *readUnsigned16(block_, offset, order_); }
    std::uint32_t unsigned32(std::size_t offset) const { return *readUnsigned32(block_, offset, order_); }
    std::span<const std::uint8_t> bytes(std::size_t offset, std::size_t width) const {
        return std::span<const std::uint8_t>(block_).subspan(offset, width);
    }
    std::span<const std::uint8_t> bytes(const BlockField& field) const {
        return bytes(field.offset, field.width);
    }
    // An IPv4 address stored as a 32-bit number least significant byte first.
    std::string ipv4(std::size_t offset) const {
        return addressToText(Ip6Address::fromIPv4Bytes(block_[offset + 3], block_[offset + 2],
                                                       block_[offset + 1], block_[offset]),
                             MappedForm::DottedOnly);
    }
    // A 16-byte address in network order.
    std::string ipv6(std::size_t offset, MappedForm form) const {
        Ip6Address address;
        std::copy_n(block_.begin() + static_cast<std::ptrdiff_t>(offset), 16, address.bytes.begin());
        return addressToText(address, form);
    }

private:
    const UserParamBlock& block_;
    BlockByteOrder order_;
};

std::string numbered(const char* name, unsigned value) {
    return std::string(name) + " (" + std::to_string(value) + ")";
}

std::string ipStackText(std::uint8_t value) {
    static constexpr std::array<const char*, 3> kStacks{"IPv4", "IPv4 and IPv6", "IPv6"};
    std::string text = (value & 3) < 3 ? kStacks[value & 3] : "unknown stack 3";
    if ((value & 0x40) != 0)
        text += ", option bit 6";
    if ((value & 0x80) != 0)
        text += ", option bit 7";
    return text;
}

std::string linkSpeedText(std::uint8_t value) {
    static constexpr std::array<const char*, 5> kSpeeds{"auto negotiation", "10Base-T half duplex",
                                                        "10Base-T full duplex", "100Base-TX half duplex",
                                                        "100Base-TX full duplex"};
    return value >= 1 && value <= kSpeeds.size() ? kSpeeds[value - 1u] : numbered("unknown", value);
}

std::string onOffText(std::uint8_t value) {
    return value == 1 ? "on" : value == 0 ? "off" : numbered("unknown", value);
}

std::string summerModeText(std::uint8_t value) {
    return value == 2 ? "automatic change-over" : value == 0 ? "none" : numbered("mode", value);
}

// A summer-time point of "6.02" and later: 11 digits or a POSIX rule.
std::string summerPointText(std::span<const std::uint8_t> field) {
    const std::string shown = readableBlockText(field);
    if (field[0] == 0)
        return "none";
    if (field[0] == 'M')
        return shown + " (POSIX rule)";
    char text[13] = {};
    std::copy_n(field.begin(), 12, text);
    unsigned month = 0, day = 0, weekday = 0, year = 0, hour = 0;
    if (std::sscanf(text, "%2u%2u%1u%4u%2u", &month, &day, &weekday, &year, &hour) != 5)
        return shown + " (not readable)";
    char date[64];
    std::snprintf(date, sizeof date, " (%04u-%02u-%02u %02u:00, weekday %u)", year, month, day, hour,
                  weekday);
    return shown + date;
}

// A summer-time point before "6.02": seconds since 1980-01-01.
std::string summerTimeText(std::uint32_t seconds) {
    if (seconds == 0)
        return "none";
    const std::optional<DateTime1980> time = dateTimeFromSecondsSince1980(seconds);
    if (!time)
        return numbered("beyond 2099", seconds);
    char text[64];
    std::snprintf(text, sizeof text, "%04d-%02d-%02d %02d:%02d, weekday %d", time->year, time->month,
                  time->day, time->hour, time->minute, time->weekday);
    return text;
}

std::string deviationText(std::uint16_t stored) {
    const int minutes = stored < 0x8000 ? stored : static_cast<int>(stored) - 0x10000;
    const std::string side = minutes < 0 ? " (east of Greenwich)" : minutes > 0 ? " (west of Greenwich)" : "";
    return std::to_string(minutes) + " minutes" + side;
}

std::string readerText(std::uint8_t type, std::uint8_t mode) {
    static constexpr std::array<const char*, 3> kTypes{"clock-data", "serial standard", "serial Hitag"};
    static constexpr std::array<const char*, 13> kModes{
        "track 1", "track 2", "track 3", "Wiegand", "barcode", "Standard/Chipcard", "DNCIN", "ID/SN",
        "SN",      "ID",      "SN+ID",   "BLOCK",   "SN+CS"};
    std::string text = (type & 0x0F) < kTypes.size() ? kTypes[type & 0x0F] : numbered("type", type & 0x0Fu);
    text += mode < kModes.size() ? std::string(", ") + kModes[mode] : ", " + numbered("mode", mode);
    if ((type & 0x80) != 0)
        text += ", option bit 7";
    return text;
}

std::string lastWriteText(std::uint32_t seconds) {
    if (seconds == 0)
        return "never";
    const std::time_t time = seconds;
    std::tm parts{};
    gmtime_r(&time, &parts);
    char text[64];
    std::strftime(text, sizeof text, "%Y-%m-%d %H:%M:%S UTC", &parts);
    return text;
}

void printFields(const UserParam& param) {
    namespace field = setup_field;
    const int index = param.actualVersionIndex();
    const BlockFields fields(param.block(), param.byteOrder());
    line("IPv4 address", fields.ipv4(field::Ipv4Address.offset));
    line("IPv4 router", fields.ipv4(field::Ipv4Router.offset));
    line("IPv4 net mask", fields.ipv4(field::Ipv4Mask.offset));
    line("IPv6 address", fields.ipv6(field::Ipv6Address.offset, MappedForm::WithPrefix));
    line("IPv6 router", fields.ipv6(field::Ipv6Router.offset, MappedForm::WithPrefix));
    line("IPv6 prefix", std::to_string(fields.byte(field::Ipv6PrefixLength.offset)));
    line("IP stack", ipStackText(fields.byte(field::IpStackOption.offset)));
    line("link speed", linkSpeedText(fields.byte(field::LinkSpeed.offset)));
    line("maintenance group", std::to_string(fields.unsigned16(field::MaintenanceGroup.offset)));
    line("DHCP host name", readableBlockText(fields.bytes(field::DhcpHostName)));
    line("host address A", index >= kIndex610 ? fields.ipv6(field::HostAddress.offset, MappedForm::DottedOnly)
                                              : fields.ipv4(field::HostIpv4Before610.offset));
    line("TCP port", std::to_string(fields.unsigned16(field::HostPort.offset)));
    line("firewall", onOffText(fields.byte(field::FirewallInUse.offset)));
    line("summer time", summerModeText(fields.byte(field::SummerTimeMode.offset)));
    if (index >= kIndex602) {
        line("summer time start", summerPointText(fields.bytes(field::SummerTimeStart)));
        line("summer time end", summerPointText(fields.bytes(field::SummerTimeEnd)));
    } else {
        line("summer time start", summerTimeText(fields.unsigned32(kSummerTimeStartOffset601)));
        line("summer time end", summerTimeText(fields.unsigned32(kSummerTimeEndOffset601)));
    }
    line("GMT deviation", deviationText(fields.unsigned16(field::GmtDeviation.offset)));
    if (index >= kIndex610)
        line("internal reader", readerText(fields.byte(field::InternalReaderType.offset),
                                           fields.byte(field::InternalReaderMode.offset)));
    else
        line("internal reader",
             numbered("code of the older layout",
                      fields.byte(index >= kIndex602 ? kReaderCodeOffset602 : kReaderCodeOffset600)));
    if (index >= kIndex610)
        line("last write", lastWriteText(fields.unsigned32(index >= kIndex620 ? field::LastWrite.offset
                                                                              : kLastWriteOffset610)));
    else
        line("last write", "not held before 6.10");
}

void printSecrets(const UserParam& param, const BlockOwner& owner) {
    const SecretFieldLayout* layout = secretFieldLayout(param.actualVersionIndex());
    if (layout == nullptr) {
        line("secrets", "none in this version");
        return;
    }
    const BlockFields fields(param.block(), param.byteOrder());
    const auto field = [&](const SecretField& where) { return fields.bytes(where.offset, where.width); };
    line("setup password 1", readableBlockText(field(layout->always[0])));
    line("setup password 2", readableBlockText(field(layout->always[1])));
    line("setup password 3", readableBlockText(field(layout->always[2])));
    if (!owner.hasTclApplicationArea()) {
        line("TCL area", "a server's: no TCL passwords or data key");
        return;
    }
    line("simple password", readableBlockText(field(layout->tclArea[0])));
    line("admin password", readableBlockText(field(layout->tclArea[1])));
    line("TCL data key", hexText(field(layout->tclArea[2])));
}

// The first bytes of the file, as many as a block can have, and its size.
struct FileStart {
    std::vector<std::uint8_t> bytes;
    std::uintmax_t size = 0;
};

std::optional<FileStart> readFileStart(const std::string& path, std::string& error) {
    std::ifstream file(path, std::ios::binary);
    std::error_code sizeError;
    FileStart start;
    start.size = std::filesystem::file_size(path, sizeError);
    if (!file || sizeError) {
        error = "cannot read " + path + ": " + (sizeError ? sizeError.message() : std::strerror(errno));
        return std::nullopt;
    }
    start.bytes.resize(kUserParamSize);
    file.read(reinterpret_cast<char*>(start.bytes.data()), static_cast<std::streamsize>(kUserParamSize));
    start.bytes.resize(static_cast<std::size_t>(file.gcount()));
    return start;
}

// Version, length, byte order and CRC as the file holds them; false when the
// version is not known.
bool printFraming(const FileStart& start) {
    const VersionCharacters version = versionCharacters(start.bytes);
    const std::optional<int> index = configVersionIndex(version.view());
    if (!index) {
        line("version",
             readableBlockText(std::span(reinterpret_cast<const std::uint8_t*>(version.text.data()), 4)) +
                 " is no known version");
        return false;
    }
    const std::size_t length = kConfigVersions[static_cast<std::size_t>(*index)].length;
    const bool bigEndian = isBigEndianVersion(version.view());
    line("version", std::string(version.view()));
    line("length", std::to_string(start.size) + " bytes" +
                       (start.size == length ? "" : ", the version's length is " + std::to_string(length)));
    line("byte order", bigEndian ? "big-endian" : "little-endian");
    const std::optional<std::uint16_t> stored = readUnsigned16(
        start.bytes, length - 2, bigEndian ? BlockByteOrder::BigEndian : BlockByteOrder::LittleEndian);
    char text[96];
    if (!stored) {
        std::snprintf(text, sizeof text, "missing: the file ends before byte %zu", length - 2);
    } else {
        const std::uint16_t computed = crc16Arc(std::span(start.bytes).first(length - 2));
        if (bigEndian)
            std::snprintf(text, sizeof text,
                          "0x%04x, not checked for a big-endian block (the bytes give 0x%04x)", *stored,
                          computed);
        else if (*stored == computed)
            std::snprintf(text, sizeof text, "0x%04x, right", *stored);
        else
            std::snprintf(text, sizeof text, "0x%04x, wrong (the bytes give 0x%04x)", *stored, computed);
    }
    line("CRC", text);
    return true;
}

} // namespace

std::string readBlockFileArguments(const std::vector<std::string>& words, BlockFileArguments& arguments) {
    for (const std::string& word : words) {
        if (word == "--show-secrets")
            arguments.secrets = SecretDisplay::Shown;
        else if (word == "--server")
            arguments.owner.isServer = true;
        else if (word.starts_with("--"))
            return "unknown option " + word;
        else
            arguments.files.push_back(word);
    }
    return {};
}

int configInfo(const Invocation& invocation) {
    BlockFileArguments arguments;
    if (const std::string wrong = readBlockFileArguments(invocation.arguments, arguments); !wrong.empty())
        return usageError(invocation, wrong);
    const std::vector<std::string>& files = arguments.files;
    const BlockOwner& owner = arguments.owner;
    if (files.size() != 1)
        return usageError(invocation, "config info needs one FILE.cfg");
    if (const std::string refusal = checkRegularInput(files[0]); !refusal.empty())
        return fail(refusal);
    std::string error;
    const std::optional<FileStart> start = readFileStart(files[0], error);
    if (!start)
        return fail(error);
    line("file", files[0]);
    const bool known = printFraming(*start);
    UserParam param;
    const bool accepted = known && param.getFileUserParam(files[0], owner);
    line("accepted", accepted ? "yes" : "no, the program refuses this block");
    if (!accepted)
        return kExitFailure;
    if (param.actualVersionIndex() >= kIndex600)
        printFields(param);
    else
        line("fields", "named from version 6.00 on; config convert brings the block there");
    if (arguments.secrets == SecretDisplay::Shown)
        printSecrets(param, owner);
    else
        line("secrets", "hidden (--show-secrets shows them)");
    return kExitSuccess;
}

} // namespace kestrix::cli

#include "config/blocks.h"

#include "config/secret_fields.h"
#include "config/version_conversion.h"
#include "netbed/child_process.h"

#include <algorithm>
#include <sstream>
#include <sys/wait.h>

namespace kestrix::test {

namespace {

constexpr int no = kAbsent;

// Offsets in "4.10", "5.00", "5.10", "5.50", "5.9x", "6.00", "6.02", "6.10", "6.20".
// Fields are named by what they hold in the newest layout.
const BlockField kNamedFields[] = {
    {"mode byte", 1, {4, 4, 4, 344, 512, 792, 792, 792, 792}},
    {"byte after the mode byte", 1, {5, 5, 5, 345, 513, 793, 793, 793, 793}},
    {"setup password 1", 6, {6, 6, 6, 346, 514, 794, 794, 794, 794}},
    {"bytes 4-11 kept from 5.10", 8, {no, no, no, 4, 4, 4, 4, 4, 4}},
    {"own IPv4 address", 4, {12, 12, 12, 12, 12, 12, 12, 12, 12}},
    {"host IPv4 address", 4, {16, 16, 16, 16, 16, 84, 84, 84, 84}},
    {"IPv4 router", 4, {20, 20, 20, 20, 20, 16, 16, 16, 16}},
    {"IPv4 net mask", 4, {24, 24, 24, 24, 24, 20, 20, 20, 20}},
    {"byte before the host port", 1, {28, 28, 28, 28, 28, 144, 144, 144, 144}},
    {"byte 29 up to 5.93", 1, {29, 29, 29, 29, 29, no, no, no, no}},
    {"host TCP port", 2, {30, 30, 30, 30, 30, 146, 146, 146, 146}},
    {"internal reader code", 1, {344, 344, 344, 368, 536, 958, 974, no, no}},
    {"byte after the reader code", 1, {345, 345, 345, 369, 537, 959, 975, no, no}},
    {"chipcard parameter 1", 2, {346, 346, 346, 370, 538, 962, 978, 978, 978}},
    {"chipcard parameter 2", 2, {348, 348, 348, 372, 540, 964, 980, 980, 980}},
    {"byte before MUX table 0", 1, {350, 350, 350, 374, 542, 818, 818, 818, 818}},
    {"MUX table 0", 17, {351, 351, 351, 375, 543, 836, 852, 852, 852}},
    {"application area", 80, {368, 398, 400, 564, 744, 1018, 1034, 1036, 1036}},
    {"MUX setup table", 17, {no, 368, 368, 392, 560, 887, 903, 903, 903}},
    {"flag 1 or 6", 1, {no, 385, 385, 409, 577, 952, 968, 968, 968}},
    {"summer-time mode and GMT deviation", 4, {no, 386, 388, 552, 732, 824, 824, 824, 824}},
    {"summer-time times", 8, {no, 390, 392, 556, 736, 828, no, no, no}},
    {"summer-time texts", 24, {no, no, no, no, no, no, 828, 828, 828}},
    {"bytes 386-387 of 5.10", 2, {no, no, 386, no, no, no, no, no, no}},
    {"setup passwords 2 and 3", 16, {no, no, no, 352, 520, 800, 800, 800, 800}},
    {"destination MAC address of replies", 1, {no, no, no, 410, 578, 816, 816, 816, 816}},
    {"MUX table 2", 17, {no, no, no, 411, 579, 870, 886, 886, 886}},
    {"secret field", 48, {no, no, no, 428, 596, 904, 920, 920, 920}},
    {"LBus byte", 1, {no, no, no, 476, 644, 953, 969, 969, 969}},
    {"blue LED intensity", 1, {no, no, no, 477, 645, 820, 820, 820, 820}},
    {"maintenance group", 2, {no, no, no, 478, 646, 60, 60, 60, 60}},
    {"backlight", 1, {no, no, no, 480, 648, 817, 817, 817, 817}},
    {"bytes 481-499 of 5.50", 19, {no, no, no, 481, 649, no, no, no, no}},
    {"firewall in use", 2, {no, no, no, 500, 668, 148, 148, 148, 148}},
    {"bytes 670-671 of 5.91", 2, {no, no, no, no, 670, no, no, no, no}},
    {"IPv6 address, router and prefix length", 33, {no, no, no, no, no, 24, 24, 24, 24}},
    {"IP stack option", 1, {no, no, no, no, no, 57, 57, 57, 57}},
    {"link speed", 1, {no, no, no, no, no, 58, 58, 58, 58}},
    {"byte 59", 1, {no, no, no, no, no, 59, 59, 59, 59}},
    {"bytes 62-63", 2, {no, no, no, no, no, 62, 62, 62, 62}},
    {"DHCP host name", 20, {no, no, no, no, no, 64, 64, 64, 64}},
    {"host address of channel A", 16, {no, no, no, no, no, 88, 88, 88, 88}},
    {"bytes 104-143", 40, {no, no, no, no, no, 104, 104, 104, 104}},
    {"byte 145", 1, {no, no, no, no, no, 145, 145, 145, 145}},
    {"bytes 150-151", 2, {no, no, no, no, no, 150, 150, 150, 150}},
    {"IPv6 firewall rules", 100, {no, no, no, no, no, 212, 212, 212, 212}},
    {"byte 819", 1, {no, no, no, no, no, 819, 819, 819, 819}},
    {"bytes 821-823", 3, {no, no, no, no, no, 821, 821, 821, 821}},
    {"MUX table 1", 17, {no, no, no, no, no, 853, 869, 869, 869}},
    {"bytes after the LBus byte", 4, {no, no, no, no, no, 954, 970, 970, 970}},
    {"bytes before chipcard parameter 1", 2, {no, no, no, no, no, 960, 976, 976, 976}},
    {"bytes 966-1017 of 6.00", 52, {no, no, no, no, no, 966, no, no, no}},
    {"bytes 982-1033 of 6.02", 52, {no, no, no, no, no, no, 982, no, no}},
    {"internal reader type and mode", 2, {no, no, no, no, no, no, no, 974, 974}},
    {"bytes 982-1035 of 6.10", 54, {no, no, no, no, no, no, no, 982, no}},
    {"time of the last write", 4, {no, no, no, no, no, no, no, 1116, 1236}},
    {"bytes 982-1035 of 6.20", 54, {no, no, no, no, no, no, no, no, 982}},
    {"parameters added in 6.20", 120, {no, no, no, no, no, no, no, no, 1116}},
};

// Channel records: four of 78 bytes up to "5.50", six of 80 from "5.91" on
// (at 32, from "6.00" on at 312), the 32-bit value moving from +22 to +24
// behind two new pad bytes.
void addChannelRecords(std::vector<BlockField>& fields) {
    for (int record = 0; record < 6; ++record) {
        const int old = 32 + 78 * record;
        const int wide = 32 + 80 * record;
        const int newest = 312 + 80 * record;
        const std::string_view name = "channel record";
        if (record >= 4) {
            fields.push_back({name, 80, {no, no, no, no, wide, newest, newest, newest, newest}});
            continue;
        }
        const auto at = [&](int oldPart, int widePart) {
            return std::array<int, kLayoutCount>{old + oldPart,     old + oldPart,     old + oldPart,
                                                 old + oldPart,     wide + widePart,   newest + widePart,
                                                 newest + widePart, newest + widePart, newest + widePart};
        };
        fields.push_back({name, 22, at(0, 0)});
        fields.push_back({name, 4, at(22, 24)});
        fields.push_back({name, 52, at(26, 28)});
        const int pad = 22;
        fields.push_back(
            {name, 2, {no, no, no, no, wide + pad, newest + pad, newest + pad, newest + pad, newest + pad}});
    }
}

// IPv4 firewall rules: five of 10 bytes from "5.50" on, of 12 from "5.91" on.
void addFirewallRules(std::vector<BlockField>& fields) {
    for (int rule = 0; rule < 5; ++rule) {
        const int old = 502 + 10 * rule;
        const int wide = 672 + 12 * rule;
        const int newest = 152 + 12 * rule;
        fields.push_back({"IPv4 firewall rule", 10, {no, no, no, old, wide, newest, newest, newest, newest}});
        fields.push_back({"IPv4 firewall rule pad",
                          2,
                          {no, no, no, no, wide + 10, newest + 10, newest + 10, newest + 10, newest + 10}});
    }
}

// Never 0, 1, 2 or 6, and different from its neighbours within the field and across fields.
std::uint8_t patternByte(std::size_t fieldNumber, std::size_t position) {
    return static_cast<std::uint8_t>(0x10 + (fieldNumber * 29 + position * 7) % 0xE0);
}

std::vector<BlockField> allFields() {
    std::vector<BlockField> fields(std::begin(kNamedFields), std::end(kNamedFields));
    addChannelRecords(fields);
    addFirewallRules(fields);
    return fields;
}

} // namespace

int versionIndex(std::string_view version) {
    return configVersionIndex(version).value();
}

std::size_t versionLength(int index) {
    return kConfigVersions.at(static_cast<std::size_t>(index)).length;
}

bool bigEndianVersion(int index) {
    return std::string_view("5.91 5.93 6.01 6.03 6.11 6.21")
               .find(kConfigVersions.at(static_cast<std::size_t>(index)).text) != std::string_view::npos;
}

std::string versionName(const ::testing::TestParamInfo<int>& info) {
    std::string name(kConfigVersions.at(static_cast<std::size_t>(info.param)).text);
    name[1] = '_';
    return "v" + name;
}

std::size_t layoutOfVersion(int versionIndex) {
    constexpr std::array<std::size_t, 15> kLayouts{0, 1, 2, 3, 4, 4, 4, 5, 5, 6, 6, 7, 7, 8, 8};
    return kLayouts.at(static_cast<std::size_t>(versionIndex));
}

std::span<const BlockField> blockFields() {
    static const std::vector<BlockField> fields = allFields();
    return fields;
}

UserParamBlock emptyBlock(int versionIndex) {
    UserParamBlock block{};
    std::ranges::copy(kConfigVersions.at(static_cast<std::size_t>(versionIndex)).text, block.begin());
    return block;
}

UserParamBlock patternBlock(int versionIndex) {
    UserParamBlock block = emptyBlock(versionIndex);
    const std::span<const BlockField> fields = blockFields();
    for (std::size_t number = 0; number < fields.size(); ++number) {
        const int offset = fields[number].offsets[layoutOfVersion(versionIndex)];
        for (std::size_t position = 0; offset != kAbsent && position < fields[number].width; ++position)
            block.at(static_cast<std::size_t>(offset) + position) = patternByte(number, position);
    }
    return block;
}

std::uint16_t bitwiseCrc16(std::span<const std::uint8_t> bytes) {
    unsigned crc = 0;
    for (std::uint8_t byte : bytes) {
        crc ^= byte;
        for (int bit = 0; bit < 8; ++bit)
            crc = (crc & 1) != 0 ? (crc >> 1) ^ 0xA001 : crc >> 1;
    }
    return static_cast<std::uint16_t>(crc);
}

UserParamBlock withCrc(UserParamBlock block, int versionIndex) {
    const std::size_t length = versionLength(versionIndex);
    const std::uint16_t crc = bitwiseCrc16(std::span(block).first(length - 2));
    const bool big = bigEndianVersion(versionIndex);
    block[length - 2] = static_cast<std::uint8_t>(big ? crc >> 8 : crc & 0xFF);
    block[length - 1] = static_cast<std::uint8_t>(big ? crc & 0xFF : crc >> 8);
    return block;
}

std::vector<std::uint8_t> firstBytes(const UserParamBlock& block, std::size_t length) {
    return {block.begin(), block.begin() + static_cast<std::ptrdiff_t>(length)};
}

std::vector<std::uint8_t> patternFile(int versionIndex) {
    return firstBytes(withCrc(patternBlock(versionIndex), versionIndex), versionLength(versionIndex));
}

std::vector<std::uint8_t> fileWithPasswords(std::string_view version, const std::array<std::string, 3>& passwords) {
    const int index = versionIndex(version);
    UserParamBlock block = emptyBlock(index);
    const std::size_t offsets[] = {794, 800, 808};
    for (std::size_t grade = 0; grade < passwords.size(); ++grade)
        std::ranges::copy(passwords[grade], block.begin() + static_cast<std::ptrdiff_t>(offsets[grade]));
    cryptSecretFields(block, index, BlockOwner{});
    return firstBytes(withCrc(block, index), versionLength(index));
}

std::vector<std::pair<std::size_t, std::string>> byteItems(const std::string& text) {
    std::vector<std::pair<std::size_t, std::string>> items;
    std::istringstream words(text);
    const auto hex = [](const std::string& digits) { return std::stoul(digits, nullptr, 16); };
    for (std::string word; words >> word && word != "-";) {
        const std::size_t equals = word.find('=');
        std::string bytes;
        std::istringstream pieces(word.substr(equals + 1));
        for (std::string piece; std::getline(pieces, piece, '+');) {
            if (piece.front() == '\'')
                bytes += piece.substr(1, piece.size() - 2);
            else if (const std::size_t star = piece.find('*'); star != std::string::npos)
                bytes += std::string(std::stoul(piece.substr(0, star)),
                                     static_cast<char>(hex(piece.substr(star + 1))));
            else if (const std::size_t dots = piece.find(".."); dots != std::string::npos)
                for (unsigned long byte = hex(piece.substr(0, dots)); byte <= hex(piece.substr(dots + 2));
                     ++byte)
                    bytes += static_cast<char>(byte);
            else
                for (std::size_t at = 0; at < piece.size(); at += 2)
                    bytes += static_cast<char>(hex(piece.substr(at, 2)));
        }
        items.emplace_back(std::stoul(word.substr(0, equals)), bytes);
    }
    return items;
}

void putItems(UserParamBlock& block, const std::string& items) {
    for (const auto& [offset, bytes] : byteItems(items))
        std::ranges::copy(bytes, block.begin() + static_cast<std::ptrdiff_t>(offset));
}

BlockOwner serverOwner() {
    return {.isServer = true,
            .platformGroup = 1,
            .productType = 1,
            .serialNumber = "12345678",
            .versionKey = "6_20~"};
}

BlockOwner tclOwner() {
    BlockOwner owner = serverOwner();
    owner.isServer = false;
    return owner;
}

UserParamBlock converted(UserParamBlock block, int fromIndex, int toIndex, const BlockOwner& owner,
                         bool doSwap) {
    int index = fromIndex;
    const std::string_view to = kConfigVersions.at(static_cast<std::size_t>(toIndex)).text;
    EXPECT_TRUE(setBlockVersion(block, index, to, owner, doSwap)) << fromIndex << " -> " << to;
    EXPECT_EQ(index, toIndex);
    return block;
}

std::string cliCommandLine(const std::filesystem::path& directory, const std::vector<std::string>& words) {
    std::string line = "cd '" + directory.string() + "' && " + KESTRIX_CLI; // no word holds a quote
    for (const std::string& word : words)
        line += " '" + word + "'";
    return line;
}

CliRun runCli(const ScratchDirectory& directory, const std::vector<std::string>& words) {
    const CommandResult result = runCommand({"sh", "-c", cliCommandLine(directory.path(), words)});
    return {WIFEXITED(result.waitStatus) ? WEXITSTATUS(result.waitStatus) : -1, result.output};
}

} // namespace kestrix::test

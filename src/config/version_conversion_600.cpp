// The steps between "5.93" (826 bytes) and "6.00" (1100 bytes), where the
// block takes the layout that "6.20" still has.
#include "config/block_rewrite.h"
#include "config/version_conversion_steps.h"

#include <algorithm>
#include <array>

namespace kestrix {

namespace {

// Where the parameters of "5.93" go in "6.00". Everything of "6.00" that is
// not listed is new there and zero coming from "5.93" (the IPv6 parameters
// at 24-56, the IPv6 firewall rules at 212-311, the second MUX table at
// 853-869, ...); everything of "5.93" that is not listed (29, 649-667,
// 670-671 and the pad bytes of the firewall records) is dropped.
constexpr FieldMove kMoves593And600[] = {
    {4, 4, 12},     // bytes 4-15, the own IPv4 address at 12
    {20, 16, 4},    // IPv4 router
    {24, 20, 4},    // IPv4 net mask
    {646, 60, 2},   // maintenance group
    {16, 84, 4},    // host address of channel A, IPv4
    {28, 144, 1},   // byte parameter
    {30, 146, 2},   // TCP port of the host channel
    {668, 148, 2},  // firewall in use, byte parameter
    {672, 152, 60}, // five IPv4 firewall rules of 12 bytes
    {32, 312, 480}, // six channel records of 80 bytes
    {512, 792, 24}, // mode byte, byte, setup passwords 1, 2 and 3
    {578, 816, 1},  // destination MAC address of replies
    {648, 817, 1},  // backlight
    {542, 818, 1},  // byte parameter
    {645, 820, 1},  // blue LED intensity
    {732, 824, 12}, // summer-time mode, byte, GMT deviation, start and end times
    {543, 836, 17}, // MUX table 0
    {579, 870, 17}, // MUX table 2
    {560, 887, 17}, // MUX table 3 (the MUX setup table of "5.00")
    {596, 904, 48}, // secret field
    {577, 952, 1},  // flag (1 or 6)
    {644, 953, 1},  // LBus byte
    {536, 958, 2},  // internal reader code, byte
    {538, 962, 2},  // first chipcard parameter of the internal reader
    {540, 964, 2},  // second chipcard parameter of the internal reader
};
static_assert(movesFitLayouts(kMoves593And600, 826, 1100));

// The application area, 744-823 in "5.93" and 1018-1097 in "6.00".
constexpr FieldMove kApplicationArea593And600[] = {{744, 1018, 80}};
// A TCL terminal's application area is rebuilt. "5.93" (from +0 = 744): 11
// bytes of options (the two group sizes first), the 8-byte login formatting
// text at +11, the record-number character at +19, the passwords for simple
// and for administrative access at +20 and +28 (8 bytes each), the host
// encryption flag at +36, the 16-byte data key at +37 and at +53 a byte that
// is the character "0". "6.00" (from +0 = 1018) holds the same options at +0,
// the record-number character at +11, the login formatting text at +12, the
// passwords at +20 and +28, the data key at +36 and the encryption flag at
// +52; +53-79 are zero.
constexpr FieldMove kTclArea593And600[] = {
    {744, 1018, 11}, // options, np_gr and tf_gr first
    {763, 1029, 1},  // record-number character for login messages
    {755, 1030, 8},  // login formatting text
    {764, 1038, 8},  // password for simple access
    {772, 1046, 8},  // password for administrative access
    {781, 1054, 16}, // TCL data key
    {780, 1070, 1},  // encryption of the host interface in use
};
static_assert(movesFitLayouts(kApplicationArea593And600, 826, 1100));
static_assert(movesFitLayouts(kTclArea593And600, 826, 1100));
constexpr std::size_t kTclAreaCharacterOffset593 = 797;

constexpr std::size_t kIpStackOptionOffset = 57;
constexpr std::size_t kLinkSpeedOffset = 58;
constexpr std::uint8_t kIpStackIPv4AndIPv6 = 1;
constexpr std::uint8_t kLinkSpeedAutoNegotiation = 1;
constexpr std::uint8_t kLinkSpeed10BaseTHalfDuplex = 2;

// The mode byte: 6 in the layout of "6.00", 2 in the older ones.
constexpr std::size_t kModeByteOffset593 = 512;

// The DHCP host name: a zero-terminated text of at most 19 characters.
constexpr std::size_t kDhcpHostNameOffset = 64;
constexpr std::size_t kDhcpHostNameSize = 20;
constexpr std::string_view kDhcpHostNamePrefix = "talmo-";
// Terminals from this version on answer to the DHCP host name.
constexpr std::string_view kFirstVersionWithDhcpHostName = "5_16~";

std::span<const FieldMove> applicationArea593And600(const BlockOwner& owner) {
    if (owner.hasTclApplicationArea())
        return kTclArea593And600;
    return kApplicationArea593And600;
}

void writeDhcpHostName(BlockRewrite& rewrite, const BlockOwner& owner) {
    if (owner.versionKey < kFirstVersionWithDhcpHostName)
        return;
    const std::string name = std::string(kDhcpHostNamePrefix) + owner.serialNumber;
    const std::size_t length = std::min(name.size(), kDhcpHostNameSize - 1);
    std::span<std::uint8_t> field = rewrite.newBytes(kDhcpHostNameOffset, kDhcpHostNameSize);
    std::copy_n(name.begin(), length, field.begin());
}

} // namespace

void conv_600_from_593(UserParamBlock& block, const StepContext& context) {
    BlockRewrite rewrite(block, context.byteOrder);
    rewrite.moveAll(kMoves593And600, StepDirection::Up);
    rewrite.moveAll(applicationArea593And600(context.owner), StepDirection::Up);
    rewrite.setByte(kIpStackOptionOffset, kIpStackIPv4AndIPv6);
    rewrite.setByte(kLinkSpeedOffset, context.owner.negotiatesLinkSpeed() ? kLinkSpeedAutoNegotiation
                                                                               : kLinkSpeed10BaseTHalfDuplex);
    writeDhcpHostName(rewrite, context.owner);
    rewrite.writeVersion("6.00");
}

void conv_593_from_600(UserParamBlock& block, const StepContext& context) {
    BlockRewrite rewrite(block, context.byteOrder);
    rewrite.moveAll(kMoves593And600, StepDirection::Down);
    rewrite.moveAll(applicationArea593And600(context.owner), StepDirection::Down);
    if (rewrite.newByte(kModeByteOffset593) == 6)
        rewrite.setByte(kModeByteOffset593, 2);
    if (context.owner.hasTclApplicationArea())
        rewrite.setByte(kTclAreaCharacterOffset593, '0');
    rewrite.writeVersion("5.93");
}

} // namespace kestrix

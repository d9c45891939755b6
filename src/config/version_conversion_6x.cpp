// The steps between "6.01", "6.02", "6.03", "6.10", "6.11" and "6.20".
#include "config/block_bytes.h"
#include "config/block_rewrite.h"
#include "config/reader_code_conversion.h"
#include "config/summer_time_conversion.h"
#include "config/version_conversion_steps.h"
#include "platform/ip_address.h"
#include "platform/trace.h"

#include <algorithm>

namespace kestrix {

namespace {

// --- "6.01" (1100 bytes) <-> "6.02" (1116 bytes) ---
//
// "6.02" keeps 4-827. The start and end of summer time, two 32-bit times at
// 828 and 832 in "6.01", become 12-byte texts at 828 and 840. 836-965 move to
// 852-981 and the application area from 1018 to 1034; 966-1017 of "6.01" are
// dropped and 982-1033 of "6.02" are new.
constexpr FieldMove kMoves601And602[] = {{4, 4, 824}, {836, 852, 130}, {1018, 1034, 80}};
static_assert(movesFitLayouts(kMoves601And602, 1100, 1116));

constexpr std::size_t kSummerTimeModeOffset = 824;
constexpr std::uint8_t kAutomaticChangeOver = 2;
constexpr std::uint8_t kNoChangeOver = 0;
constexpr std::size_t kSummerTimeStartOffset601 = 828;
constexpr std::size_t kSummerTimeEndOffset601 = 832;
constexpr std::size_t kSummerTimeStartOffset602 = 828;
constexpr std::size_t kSummerTimeEndOffset602 = 840;

// --- "6.03" (1116 bytes) <-> "6.10" (1122 bytes) ---
//
// "6.10" keeps 4-981, the application area moves from 1034 to 1036, and
// 1116-1119 are new; 982-1033 of "6.03" are dropped. Three fields change
// form: the host address of channel A (an IPv4 number at 84-87, least
// significant byte first, in "6.03"; a 16-byte address in network order at
// 88-103 in "6.10", the old 84-87 staying where they are), the internal
// reader's setting at 974-975, and the IP stack option at 57.
constexpr FieldMove kMoves603And610[] = {{4, 4, 978}, {1034, 1036, 80}};
static_assert(movesFitLayouts(kMoves603And610, 1116, 1122));

constexpr std::size_t kIpStackOptionOffset = 57;
constexpr std::size_t kLinkSpeedOffset = 58;
constexpr std::uint8_t kIpStackIPv4Only = 0;
constexpr std::uint8_t kIpStackIPv4AndIPv6 = 1;
constexpr std::uint8_t kLinkSpeed10BaseTHalfDuplex = 2;
constexpr std::size_t kHostIPv4Offset = 84;
constexpr std::size_t kHostAddressOffset610 = 88;
constexpr std::size_t kHostAddressSize = 16;
constexpr std::size_t kReaderTypeOffset = 974;
constexpr std::size_t kReaderModeOffset = 975;

// --- "6.11" (1122 bytes) <-> "6.20" (1242 bytes) ---
//
// "6.20" keeps 4-981 and the application area at 1036-1115, adds 120 bytes of
// parameters at 1116-1235 and moves the time of the last write by the setup
// editor (32-bit) from 1116 to 1236. 982-1035 are carried by neither
// direction.
constexpr FieldMove kMoves611And620[] = {{4, 4, 978}, {1036, 1036, 80}, {1116, 1236, 4}};
static_assert(movesFitLayouts(kMoves611And620, 1122, 1242));

std::uint32_t readTime(const BlockRewrite& rewrite, std::size_t offset) {
    return *readUnsigned32(rewrite.oldBytes(offset, 4), 0, rewrite.byteOrder());
}

void writeTime(BlockRewrite& rewrite, std::size_t offset, std::uint32_t value) {
    writeUnsigned32(rewrite.newBytes(offset, 4), 0, value, rewrite.byteOrder());
}

std::span<const std::uint8_t, kSummerTimeTextSize> oldSummerTimeText(const BlockRewrite& rewrite,
                                                                     std::size_t offset) {
    return rewrite.oldBytes(offset, kSummerTimeTextSize).first<kSummerTimeTextSize>();
}

} // namespace

void conv_602_from_601(UserParamBlock& block, const StepContext& context) {
    BlockRewrite rewrite(block, context.byteOrder);
    rewrite.moveAll(kMoves601And602, StepDirection::Up);
    rewrite.setBytes(kSummerTimeStartOffset602, summerTimeText(readTime(rewrite, kSummerTimeStartOffset601)));
    rewrite.setBytes(kSummerTimeEndOffset602, summerTimeText(readTime(rewrite, kSummerTimeEndOffset601)));
    rewrite.writeVersion("6.02");
}

void conv_601_from_602(UserParamBlock& block, const StepContext& context) {
    BlockRewrite rewrite(block, context.byteOrder);
    rewrite.moveAll(kMoves601And602, StepDirection::Down);
    if (rewrite.oldByte(kSummerTimeModeOffset) == kAutomaticChangeOver) {
        trace("conv_601_from_602(): autom. SoWi\n");
        const auto start = oldSummerTimeText(rewrite, kSummerTimeStartOffset602);
        const auto end = oldSummerTimeText(rewrite, kSummerTimeEndOffset602);
        if (isPosixRule(start) || isPosixRule(end)) {
            // "6.01" holds no rules, only the times of one year.
            rewrite.setByte(kSummerTimeModeOffset, kNoChangeOver);
            trace("conv_601_from_602(): Umwandlungsfehler auf Version 6.01: keine automatische "
                  "SoWi-Zeitumschaltung möglich.\n");
        } else {
            trace("conv_601_from_602(): start conv_summer_time\n");
            writeTime(rewrite, kSummerTimeStartOffset601, summerTimeSeconds(start));
            writeTime(rewrite, kSummerTimeEndOffset601, summerTimeSeconds(end));
        }
    }
    rewrite.writeVersion("6.01");
}

void conv_610_from_603(UserParamBlock& block, const StepContext& context) {
    BlockRewrite rewrite(block, context.byteOrder);
    rewrite.moveAll(kMoves603And610, StepDirection::Up);
    rewrite.setByte(kIpStackOptionOffset,
                    context.owner.runsLinux() ? kIpStackIPv4AndIPv6 : kIpStackIPv4Only);
    if (!context.owner.negotiatesLinkSpeed())
        rewrite.setByte(kLinkSpeedOffset, kLinkSpeed10BaseTHalfDuplex);
    // The whole 16-byte address is written, so it is ::ffff:a.b.c.d whatever
    // "6.03" held at 88-97.
    std::span<const std::uint8_t> ipv4 = rewrite.oldBytes(kHostIPv4Offset, 4);
    const Ip6Address host = Ip6Address::fromIPv4Bytes(ipv4[3], ipv4[2], ipv4[1], ipv4[0]);
    rewrite.setBytes(kHostAddressOffset610, host.bytes);
    const InternalReaderSetting reader = readerSettingFromCode(rewrite.oldByte(kReaderTypeOffset));
    rewrite.setByte(kReaderTypeOffset, reader.type);
    rewrite.setByte(kReaderModeOffset, reader.mode);
    rewrite.writeVersion("6.10");
}

void conv_603_from_610(UserParamBlock& block, const StepContext& context) {
    BlockRewrite rewrite(block, context.byteOrder);
    rewrite.moveAll(kMoves603And610, StepDirection::Down);
    rewrite.setByte(kIpStackOptionOffset, kIpStackIPv4AndIPv6);
    Ip6Address host;
    std::ranges::copy(rewrite.oldBytes(kHostAddressOffset610, kHostAddressSize), host.bytes.begin());
    std::span<std::uint8_t> ipv4 = rewrite.newBytes(kHostIPv4Offset, 4);
    if (host.isIPv4Mapped())
        std::ranges::copy(std::span(host.bytes).last<4>(), ipv4.rbegin());
    else
        std::ranges::fill(ipv4, 0);
    const InternalReaderSetting reader{rewrite.oldByte(kReaderTypeOffset),
                                       rewrite.oldByte(kReaderModeOffset)};
    rewrite.setByte(kReaderTypeOffset, readerCodeFromSetting(reader));
    rewrite.setByte(kReaderModeOffset, 0);
    rewrite.writeVersion("6.03");
}

void conv_620_from_611(UserParamBlock& block, const StepContext& context) {
    BlockRewrite rewrite(block, context.byteOrder);
    rewrite.moveAll(kMoves611And620, StepDirection::Up);
    rewrite.writeVersion("6.20");
}

void conv_611_from_620(UserParamBlock& block, const StepContext& context) {
    BlockRewrite rewrite(block, context.byteOrder);
    rewrite.moveAll(kMoves611And620, StepDirection::Down);
    rewrite.writeVersion("6.11");
}

} // namespace kestrix

// The steps between "4.10", "5.00", "5.10", "5.50" and "5.91".
#include "config/block_bytes.h"
#include "config/block_rewrite.h"
#include "config/version_conversion_steps.h"
#include "platform/trace.h"

#include <algorithm>
#include <array>

namespace kestrix {

namespace {

// --- "4.10" (450 bytes) <-> "5.00" (480 bytes) ---
//
// Both share bytes 4-367. "5.00" adds the DCU MUX setup table at 368 (one
// byte, then 16 one-byte entries at 369-384), a byte at 385 and the
// summer-time fields at 386-397, none of which "4.10" holds, and moves the
// application area from 368 to 398 (80 bytes).
constexpr FieldMove kMoves410And500[] = {{4, 4, 364}};
constexpr FieldMove kApplicationArea410And500[] = {{368, 398, 80}};
// A TCL terminal's application area. In "4.10" the NP and TF group sizes are
// single bytes at 368 and 369, followed by 6 bytes. In "5.00" they are 16-bit
// values at 398 and 400, followed by the same 6 bytes at 402-407. These
// versions run on little-endian terminals only, so the low byte of each size
// is the first one; the high byte is 0 when coming from "4.10".
constexpr FieldMove kTclArea410And500[] = {{368, 398, 1}, {369, 400, 1}, {370, 402, 6}};
static_assert(movesFitLayouts(kMoves410And500, 450, 480));
static_assert(movesFitLayouts(kApplicationArea410And500, 450, 480));
static_assert(movesFitLayouts(kTclArea410And500, 450, 480));

constexpr std::size_t kMuxSetupOffset500 = 368;
// The entries of the MUX setup that a "4.10" terminal works with.
constexpr std::array<std::uint8_t, 16> kDefaultMuxEntries{1, 2, 3, 4, 5, 6, 7, 8, 1, 2, 3, 4, 5, 6, 7, 8};

constexpr std::size_t kNpGroupSizeOffset500 = 398;
constexpr std::size_t kTfGroupSizeOffset500 = 400;

std::uint16_t groupSize500(const BlockRewrite& rewrite, std::size_t offset) {
    return readUnsigned16(rewrite.oldBytes(offset, 2), 0, BlockByteOrder::LittleEndian).value_or(0);
}

std::span<const FieldMove> applicationArea410And500(const BlockOwner& owner) {
    if (owner.hasTclApplicationArea())
        return kTclArea410And500;
    return kApplicationArea410And500;
}

// --- "5.00" (480 bytes) <-> "5.10" (482 bytes) ---
//
// "5.10" inserts two bytes at 386-387 (zero coming from "5.00", dropped going
// back): the summer-time fields move from 386 to 388 (12 bytes) and the
// application area from 398 to 400.
constexpr FieldMove kMoves500And510[] = {{4, 4, 382}, {386, 388, 12}, {398, 400, 80}};
static_assert(movesFitLayouts(kMoves500And510, 480, 482));

// --- "5.10" (482 bytes) <-> "5.50" (646 bytes) ---
//
// "5.50" keeps 4-343 and puts a block of its own at 344-367: a mode byte
// (344), a byte (345) and setup password 1 (346-351, 6 characters), all three
// taken from 4-11 of "5.10" (which also stay where they are), then setup
// passwords 2 (352-359) and 3 (360-367). The parameters at 344-385 of
// "5.10" (the internal reader's code and parameters, the MUX setup table
// and at 385 a flag) follow at 368-409; 410-551 are new, the summer-time
// fields move to 552-563 and the application area to 564-643. Going back,
// 344-351 of "5.50" are the ones that land at 4-11.
constexpr FieldMove kMoves510And550[] = {
    {4, 4, 340}, {4, 344, 8}, {344, 368, 42}, {388, 552, 12}, {400, 564, 80},
};
static_assert(movesFitLayouts(kMoves510And550, 482, 646));

constexpr std::size_t kPassword2Offset550 = 352;
constexpr std::size_t kPassword3Offset550 = 360;
constexpr std::string_view kDefaultPassword2 = "39174025";
constexpr std::string_view kDefaultPassword3 = "52803617";
// The flag at 385 of "5.10" is a byte with the values 1 and 6 at 409 of "5.50";
// bit 1 or bit 2 set there stands for 1 in "5.10".
constexpr std::size_t kFlagOffset510 = 385;
constexpr std::size_t kFlagOffset550 = 409;
// The LBus byte of "5.50": 6 on terminals whose LBus is of the DCU4 kind.
constexpr std::size_t kLbusOffset550 = 476;
constexpr std::uint8_t kDcu4Lbus = 6;

void setText(BlockRewrite& rewrite, std::size_t offset, std::string_view text) {
    std::span<std::uint8_t> field = rewrite.newBytes(offset, text.size());
    std::ranges::copy(text, field.begin());
}

// --- "5.50" (646 bytes) <-> "5.91" (826 bytes) ---
//
// "5.91" keeps 4-31. The four channel records of 78 bytes at 32 + 78 * i
// become records of 80 bytes at 32 + 80 * i: bytes +0-21 stay, +22-23 are two
// new pad bytes, the 32-bit value at +22 moves to +24 and +26-77 move to
// +28-79; records 4 and 5 (352-511) are new. 344-499 move to 512-667 (the
// byte from 410 at 578 is forced to 1), 500-501 to 668-669, and the five
// 10-byte records at 502 + 10 * i (net, mask, service) become 12-byte records
// at 672 + 12 * i whose last two bytes are new. The summer-time fields move
// to 732-743 and the application area to 744-823.
constexpr std::size_t kChannelRecords550 = 4;
constexpr std::size_t kFirewallRecords550 = 5;

constexpr std::array<FieldMove, 22> movesBetween550And591() {
    std::array<FieldMove, 22> moves{};
    std::size_t next = 0;
    moves[next++] = {4, 4, 28};
    for (std::size_t record = 0; record < kChannelRecords550; ++record) {
        const std::size_t lower = 32 + 78 * record;
        const std::size_t upper = 32 + 80 * record;
        moves[next++] = {lower, upper, 22};
        moves[next++] = {lower + 22, upper + 24, 4};
        moves[next++] = {lower + 26, upper + 28, 52};
    }
    moves[next++] = {344, 512, 156};
    moves[next++] = {500, 668, 2};
    for (std::size_t record = 0; record < kFirewallRecords550; ++record)
        moves[next++] = {502 + 10 * record, 672 + 12 * record, 10};
    moves[next++] = {552, 732, 12};
    moves[next++] = {564, 744, 80};
    return moves;
}

constexpr std::array<FieldMove, 22> kMoves550And591 = movesBetween550And591();
static_assert(movesFitLayouts(kMoves550And591, 646, 826));

constexpr std::size_t kForcedOneOffset591 = 578;

} // namespace

void conv_500_from_410(UserParamBlock& block, const StepContext& context) {
    BlockRewrite rewrite(block, context.byteOrder);
    rewrite.moveAll(kMoves410And500, StepDirection::Up);
    rewrite.moveAll(applicationArea410And500(context.owner), StepDirection::Up);
    rewrite.setByte(kMuxSetupOffset500, 0);
    rewrite.setBytes(kMuxSetupOffset500 + 1, kDefaultMuxEntries);
    rewrite.writeVersion("5.00");
}

void conv_410_from_500(UserParamBlock& block, const StepContext& context) {
    BlockRewrite rewrite(block, context.byteOrder);
    if (!std::ranges::equal(rewrite.oldBytes(kMuxSetupOffset500 + 1, kDefaultMuxEntries.size()),
                            kDefaultMuxEntries))
        trace("conv_410_from_500(): Umwandlungsfehler auf Version 4.10: kein DCU MUX Setup vorhanden.\n");
    rewrite.moveAll(kMoves410And500, StepDirection::Down);
    rewrite.moveAll(applicationArea410And500(context.owner), StepDirection::Down);
    if (context.owner.hasTclApplicationArea() && (groupSize500(rewrite, kNpGroupSizeOffset500) > 0xFF ||
                                                  groupSize500(rewrite, kTfGroupSizeOffset500) > 0xFF))
        trace("conv_410_from_500(): Umwandlungsfehler auf Version 4.10: NP/TF Groesse zu gross\n");
    rewrite.writeVersion("4.10");
}

void conv_510_from_500(UserParamBlock& block, const StepContext& context) {
    BlockRewrite rewrite(block, context.byteOrder);
    rewrite.moveAll(kMoves500And510, StepDirection::Up);
    rewrite.writeVersion("5.10");
}

void conv_500_from_510(UserParamBlock& block, const StepContext& context) {
    BlockRewrite rewrite(block, context.byteOrder);
    rewrite.moveAll(kMoves500And510, StepDirection::Down);
    rewrite.writeVersion("5.00");
}

void conv_550_from_510(UserParamBlock& block, const StepContext& context) {
    BlockRewrite rewrite(block, context.byteOrder);
    rewrite.moveAll(kMoves510And550, StepDirection::Up);
    setText(rewrite, kPassword2Offset550, kDefaultPassword2);
    setText(rewrite, kPassword3Offset550, kDefaultPassword3);
    if (rewrite.newByte(kFlagOffset550) == 1)
        rewrite.setByte(kFlagOffset550, 6);
    if (context.owner.hasDcu4Lbus())
        rewrite.setByte(kLbusOffset550, kDcu4Lbus);
    rewrite.writeVersion("5.50");
}

void conv_510_from_550(UserParamBlock& block, const StepContext& context) {
    BlockRewrite rewrite(block, context.byteOrder);
    rewrite.moveAll(kMoves510And550, StepDirection::Down);
    const bool flagSet = (rewrite.oldByte(kFlagOffset550) & 0x06) != 0;
    rewrite.setByte(kFlagOffset510, flagSet ? 1 : 0);
    rewrite.writeVersion("5.10");
}

void conv_591_from_550(UserParamBlock& block, const StepContext& context) {
    BlockRewrite rewrite(block, context.byteOrder);
    rewrite.moveAll(kMoves550And591, StepDirection::Up);
    rewrite.setByte(kForcedOneOffset591, 1);
    rewrite.writeVersion("5.91");
}

void conv_550_from_591(UserParamBlock& block, const StepContext& context) {
    BlockRewrite rewrite(block, context.byteOrder);
    rewrite.moveAll(kMoves550And591, StepDirection::Down);
    rewrite.writeVersion("5.50");
}

} // namespace kestrix

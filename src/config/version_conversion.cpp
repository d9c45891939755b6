#include "config/version_conversion.h"

#include "config/block_bytes.h"
#include "config/block_rewrite.h"
#include "config/version_conversion_steps.h"
#include "platform/trace.h"

#include <algorithm>
#include <array>
#include <optional>

namespace kestrix {

namespace {

// The steps between the rows index and index + 1 of the version table, up
// and down; none for two rows of the same length, which share a layout and
// are relabelled.
struct StepPair {
    ConversionStep up;
    ConversionStep down;
};

constexpr std::array<StepPair, kConfigVersions.size() - 1> kStepPairs{{
    {conv_500_from_410, conv_410_from_500}, // "4.10" - "5.00"
    {conv_510_from_500, conv_500_from_510}, // "5.00" - "5.10"
    {conv_550_from_510, conv_510_from_550}, // "5.10" - "5.50"
    {conv_591_from_550, conv_550_from_591}, // "5.50" - "5.91"
    {nullptr, nullptr},                     // "5.91" - "5.92"
    {nullptr, nullptr},                     // "5.92" - "5.93"
    {conv_600_from_593, conv_593_from_600}, // "5.93" - "6.00"
    {nullptr, nullptr},                     // "6.00" - "6.01"
    {conv_602_from_601, conv_601_from_602}, // "6.01" - "6.02"
    {nullptr, nullptr},                     // "6.02" - "6.03"
    {conv_610_from_603, conv_603_from_610}, // "6.03" - "6.10"
    {nullptr, nullptr},                     // "6.10" - "6.11"
    {conv_620_from_611, conv_611_from_620}, // "6.11" - "6.20"
    {nullptr, nullptr},                     // "6.20" - "6.21"
}};

// Both versions have the same layout: the block is carried whole.
void relabelVersion(UserParamBlock& block, std::size_t length, std::string_view newVersion) {
    BlockRewrite rewrite(block, BlockByteOrder::LittleEndian);
    rewrite.move(4, 4, length - 4);
    rewrite.writeVersion(newVersion);
}

// One step from the row `reached` toward the target; the row now reached, or
// nothing when the block's characters are not the version of that row.
std::optional<int> applyStep(UserParamBlock& block, int reached, StepDirection direction,
                             const StepContext& context) {
    const std::optional<int> current = configVersionIndex(versionCharacters(block).view());
    if (!current || *current != reached)
        return std::nullopt;
    const int next = direction == StepDirection::Up ? reached + 1 : reached - 1;
    if (next < 0 || next >= static_cast<int>(kConfigVersions.size()))
        return std::nullopt;
    const StepPair& pair = kStepPairs[static_cast<std::size_t>(std::min(reached, next))];
    const ConversionStep step = direction == StepDirection::Up ? pair.up : pair.down;
    const ConfigVersion& target = kConfigVersions[static_cast<std::size_t>(next)];
    if (target.length == kConfigVersions[static_cast<std::size_t>(reached)].length)
        relabelVersion(block, target.length, target.text);
    else if (step != nullptr)
        step(block, context);
    else
        return std::nullopt;
    return next;
}

const char* versionTextOfIndex(int index) {
    if (index < 0 || index >= static_cast<int>(kConfigVersions.size()))
        return "?";
    return kConfigVersions[static_cast<std::size_t>(index)].text.data();
}

} // namespace

bool setBlockVersion(UserParamBlock& block, int& versionIndex, std::string_view newVersion,
                     const BlockOwner& owner, bool doSwap) {
    // The requested text as given, which need not be terminated.
    const int newVersionLength = static_cast<int>(std::min<std::size_t>(newVersion.size(), 64));
    const char* newVersionText = newVersion.empty() ? "" : newVersion.data();
    trace("setUserParamVersion() startet mit AktVersion %s und NewVersion %.*s\n",
          versionTextOfIndex(versionIndex), newVersionLength, newVersionText);
    const std::optional<int> target = configVersionIndex(newVersion);
    if (!target) {
        trace("setUserParamVersion() NewVersion %.*s ist eine unbekannte Version\n", newVersionLength,
              newVersionText);
        return false;
    }
    if (*target == versionIndex) {
        trace("setUserParamVersion(): Version bleibt gleich\n");
        return true;
    }
    const StepDirection direction = *target > versionIndex ? StepDirection::Up : StepDirection::Down;
    if (direction == StepDirection::Up)
        trace("setUserParamVersion() Konvertierung auf neuere Version (Index: %d)\n", *target);
    else
        trace("setUserParamVersion() Konvertierung auf ältere Version (Index: %d)\n", *target);

    const StepContext context{owner, doSwap ? BlockByteOrder::BigEndian : BlockByteOrder::LittleEndian};
    int reached = versionIndex;
    while (reached != *target) {
        const std::optional<int> next = applyStep(block, reached, direction, context);
        if (!next)
            break;
        reached = *next;
    }
    if (reached != *target) {
        trace("setUserParamVersion(): user_params hat eine unbekannte Version, die nicht konvertiert werden "
              "konnte.\n");
        return false;
    }
    versionIndex = reached;
    trace("setUserParamVersion(): Ok, Version wunschgemäß konvertiert\n");
    return true;
}

} // namespace kestrix

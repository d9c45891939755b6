#include "config/secret_fields.h"

#include "config/setup_fields.h"
#include "crypto/aes_ofb.h"

#include <span>

namespace kestrix {

namespace {

// "5.50": the passwords follow the two bytes moved to 344 and 345; the TCL
// area lies at 564 with the 5.xx inner layout (key at +37).
constexpr SecretFieldLayout kLayout550{
    {{{346, 6}, {352, 8}, {360, 8}, {428, 48}}}, {{{584, 8}, {592, 8}, {601, 16}, {}}}, 3};
// "5.91" to "5.93": the TCL area at 744.
constexpr SecretFieldLayout kLayout591{
    {{{514, 6}, {520, 8}, {528, 8}, {596, 48}}}, {{{764, 8}, {772, 8}, {781, 16}, {}}}, 3};
// "6.00", "6.01": the TCL area at 1018 with the 6.xx inner layout (key at +36).
constexpr SecretFieldLayout kLayout600{
    {{{794, 6}, {800, 8}, {808, 8}, {904, 48}}}, {{{1038, 8}, {1046, 8}, {1054, 16}, {}}}, 3};
// "6.02", "6.03": the summer-time strings moved the 48-byte field to 920 and the area to 1034.
constexpr SecretFieldLayout kLayout602{
    {{{794, 6}, {800, 8}, {808, 8}, {920, 48}}}, {{{1054, 8}, {1062, 8}, {1070, 16}, {}}}, 3};
constexpr SecretField secret(const BlockField& field) {
    return {field.offset, field.width};
}

// "6.20", "6.21": a further 32-byte field after the key's area.
constexpr SecretFieldLayout kLayout620{
    {{secret(setup_field::Password1), secret(setup_field::Password2), secret(setup_field::Password3),
      secret(setup_field::SecretArea)}},
    {{secret(setup_field::SimpleAccessPassword), secret(setup_field::AdministrativePassword),
      secret(setup_field::TclDataKey), secret(setup_field::PinCodeKey)}},
    4};
// "6.10", "6.11": the places of "6.20" (the area at 1036), without that field.
constexpr SecretFieldLayout kLayout610{
    kLayout620.always, {{kLayout620.tclArea[0], kLayout620.tclArea[1], kLayout620.tclArea[2], {}}}, 3};

// The layouts by version index ("4.10" ... "6.21").
constexpr std::array<const SecretFieldLayout*, kConfigVersions.size()> kLayouts{
    nullptr,     nullptr,     nullptr,     &kLayout550, &kLayout591, &kLayout591, &kLayout591, &kLayout600,
    &kLayout600, &kLayout602, &kLayout602, &kLayout610, &kLayout610, &kLayout620, &kLayout620,
};

constexpr int kFirstStandardModeIndex = 5; // "5.92"

} // namespace

const SecretFieldLayout* secretFieldLayout(int versionIndex) {
    if (versionIndex < 0 || static_cast<std::size_t>(versionIndex) >= kLayouts.size())
        return nullptr;
    return kLayouts[static_cast<std::size_t>(versionIndex)];
}

AesMode secretFieldMode(int versionIndex) {
    return versionIndex >= kFirstStandardModeIndex ? AesMode::Standard : AesMode::Legacy;
}

void cryptSecretFields(UserParamBlock& block, int versionIndex, const BlockOwner& owner) {
    const SecretFieldLayout* layout = secretFieldLayout(versionIndex);
    if (layout == nullptr)
        return;
    const AesMode mode = secretFieldMode(versionIndex);
    AesContext context;
    aesKeySetup(mode, &kSecretFieldKey, &context);
    const std::span<std::uint8_t> bytes(block);
    for (const SecretField& field : layout->always)
        aesOfbStream(mode, bytes.subspan(field.offset, field.width), context);
    if (!owner.hasTclApplicationArea())
        return;
    for (std::size_t index = 0; index < layout->tclAreaCount; ++index)
        aesOfbStream(mode, bytes.subspan(layout->tclArea[index].offset, layout->tclArea[index].width),
                     context);
}

} // namespace kestrix

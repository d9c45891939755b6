// Any 0 to 1300 bytes as a configuration block: validated on exactly the
// bytes given, read as a local file the way the program reads one (at most
// 1242 bytes, the byte order taken from the version), and every block whose
// version is known converted to every version of the table, whether its CRC
// fits or not, with the secret fields deciphered before and enciphered after.
// The owner's properties come from the last byte, so that the conversions'
// branches for servers, platform groups and products are taken.
#include "config/config_block.h"
#include "config/secret_fields.h"
#include "config/user_param.h"
#include "config/version_conversion.h"

#include "memory_file.h"
#include <algorithm>

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace {

using namespace kestrix;

constexpr std::size_t kLargestInput = 1300;

BlockOwner ownerFrom(const std::vector<std::uint8_t>& bytes) {
    const unsigned choice = bytes.empty() ? 0 : bytes.back();
    BlockOwner owner;
    owner.isServer = (choice & 1) != 0;
    owner.platformGroup = static_cast<int>((choice >> 1) % 8) - 1; // -1, 0 .. 6
    owner.productType = static_cast<int>(choice % 19);
    owner.serialNumber = "100101";
    owner.versionKey = (choice & 0x80) != 0 ? "6_20~" : "5_10~";
    return owner;
}

int targetIndex(const ConfigVersion& target) {
    return *configVersionIndex(target.text);
}

// Through the object, as a file reaches the program.
void convertThroughFile(const MemoryFile& file, const std::vector<std::uint8_t>& bytes,
                        const BlockOwner& owner) {
    file.fill(bytes);
    UserParam param;
    if (!param.getFileUserParam(file.name(), owner))
        return;
    for (const ConfigVersion& target : kConfigVersions) {
        UserParam converted = param;
        if (!converted.setUserParamVersion(target.text, owner))
            continue;
        if (converted.actualVersionIndex() != targetIndex(target))
            __builtin_trap();
        UserParamBlock native{};
        converted.copyUserParamOut(native);
        converted.copyUserParamIn(native);
    }
}

// Directly, for blocks of a known version whatever their CRC.
void convertDirectly(const std::vector<std::uint8_t>& bytes, const BlockOwner& owner) {
    std::string version(4, '\0');
    std::copy_n(bytes.begin(), std::min<std::size_t>(bytes.size(), 4), version.begin());
    const std::optional<int> index = configVersionIndex(version);
    if (!index)
        return;
    UserParamBlock block{};
    std::copy_n(bytes.begin(), std::min(bytes.size(), kUserParamSize), block.begin());
    cryptSecretFields(block, *index, owner);
    for (const ConfigVersion& target : kConfigVersions) {
        UserParamBlock converted = block;
        int convertedIndex = *index;
        if (!setBlockVersion(converted, convertedIndex, target.text, owner, isBigEndianVersion(version)))
            continue;
        if (convertedIndex != targetIndex(target))
            __builtin_trap();
        // A conversion writes nothing beyond the target version's length.
        if (convertedIndex != *index &&
            !std::all_of(converted.begin() + static_cast<std::ptrdiff_t>(target.length), converted.end(),
                         [](std::uint8_t byte) { return byte == 0; }))
            __builtin_trap();
        cryptSecretFields(converted, convertedIndex, owner);
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size > kLargestInput)
        return 0;
    static const MemoryFile file;
    // A buffer of exactly the input's size: a read past it shows.
    const std::vector<std::uint8_t> bytes(data, data + size);
    const BlockOwner owner = ownerFrom(bytes);
    UserParam checker;
    checker.checkUserParamVersion(bytes);
    convertThroughFile(file, bytes, owner);
    convertDirectly(bytes, owner);
    return 0;
}

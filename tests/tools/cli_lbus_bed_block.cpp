// The configuration block of the lbus bed test, apart from its test file
// (config/blocks.h has a CliRun of its own).
#include "config/blocks.h"

namespace kestrix {

// Setup passwords for grades 2 and 3, card readers 1-3 on LBus1 and the
// internal reader as a serial standard reader in Standard/Chipcard mode.
std::vector<std::uint8_t> lbusTestBlock() {
    const int index = test::versionIndex("6.20");
    const std::vector<std::uint8_t> file = test::fileWithPasswords("6.20", {"", "grade2pw", "grade3pw"});
    UserParamBlock block{};
    std::copy(file.begin(), file.end(), block.begin());
    test::putItems(block, "970=010700002105");
    return test::firstBytes(test::withCrc(block, index), file.size());
}

} // namespace kestrix

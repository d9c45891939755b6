// The configuration block the firmware bed test's terminals keep (apart from
// the test, whose command runner has a CliRun of its own).
#include "config/blocks.h"

namespace kestrix {

std::vector<std::uint8_t> firmwareTestBlock() {
    // Little-endian "6.20", the version the sample depot's firmware needs:
    // group 4711, TCL port 3001.
    const int index = test::versionIndex("6.20");
    UserParamBlock block = test::emptyBlock(index);
    test::putItems(block, "60=6712 146=b90b");
    return test::firstBytes(test::withCrc(block, index), 1242);
}

} // namespace kestrix

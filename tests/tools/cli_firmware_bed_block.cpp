// The configuration block the firmware bed test's terminals keep (apart from
// the test, whose command runner has a CliRun of its own).
#include "config/blocks.h"

namespace kestrix {

std::vector<std::uint8_t> firmwareTestBlock() {
    // Big-endian, as the sample depot's V6.21 expects: "6.20" would be
    // relabelled "6.21" and then read in the other byte order.
    const int index = test::versionIndex("6.21");
    UserParamBlock block = test::emptyBlock(index);
    test::putItems(block, "60=1267 146=0bb9");
    return test::firstBytes(test::withCrc(block, index), 1242);
}

} // namespace kestrix

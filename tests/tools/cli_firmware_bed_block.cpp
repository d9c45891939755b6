// The configuration block the firmware bed test's terminals keep (apart from
// the test, whose command runner has a CliRun of its own).
#include "config/blocks.h"

namespace kestrix {

std::vector<std::uint8_t> firmwareTestBlock(const std::string& version) {
    // Group 4711 and TCL port 3001 in the version's byte order ("6.20" is
    // little-endian, the version the sample depot's firmware needs; "6.21"
    // big-endian).
    const int index = test::versionIndex(version);
    UserParamBlock block = test::emptyBlock(index);
    test::putItems(block, version == "6.21" ? "60=1267 146=0bb9" : "60=6712 146=b90b");
    return test::firstBytes(test::withCrc(block, index), 1242);
}

} // namespace kestrix

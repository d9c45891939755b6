// kestrix-cli config diff: two block files compared field by field.
#include "cli_common.h"
#include "cli_config.h"

#include "config/block_diff.h"
#include "config/user_param.h"
#include "platform/file_replacement.h"

#include <cstdio>
#include <optional>

namespace kestrix::cli {
namespace {

// The exit code of a diff that could not compare.
constexpr int kExitDiffError = 2;

// The block of a file in the newest layout of its byte order, in this
// machine's byte order; nothing when it cannot be had (reported).
std::optional<UserParamBlock> newestBlock(const std::string& path, const BlockOwner& owner) {
    if (const std::string refusal = checkRegularInput(path); !refusal.empty()) {
        fail(refusal);
        return std::nullopt;
    }
    UserParam param;
    if (!param.getFileUserParam(path, owner)) {
        fail(path + " is no block the program accepts (config info tells why)");
        return std::nullopt;
    }
    const std::string version = versionOf(param);
    if (!param.setUserParamVersion(param.getNewestVersion(), owner)) {
        fail("the block of " + path + " (version " + version + ") cannot be converted to " +
             param.getNewestVersion());
        return std::nullopt;
    }
    UserParamBlock block{};
    param.copyUserParamOut(block);
    return block;
}

} // namespace

int configDiff(const Invocation& invocation) {
    BlockFileArguments arguments;
    if (const std::string wrong = readBlockFileArguments(invocation.arguments, arguments); !wrong.empty())
        return usageError(invocation, wrong);
    const std::vector<std::string>& files = arguments.files;
    if (files.size() != 2)
        return usageError(invocation, "config diff needs A.cfg and B.cfg");
    const std::optional<UserParamBlock> first = newestBlock(files[0], arguments.owner);
    if (!first)
        return kExitDiffError;
    const std::optional<UserParamBlock> second = newestBlock(files[1], arguments.owner);
    if (!second)
        return kExitDiffError;
    const std::vector<BlockDifference> differences = blockDifferences(*first, *second, arguments.secrets);
    for (const BlockDifference& difference : differences)
        std::printf("%s: %s -> %s\n", difference.name.c_str(), difference.first.c_str(),
                    difference.second.c_str());
    std::fflush(stdout);
    return differences.empty() ? kExitSuccess : kExitFailure;
}

} // namespace kestrix::cli

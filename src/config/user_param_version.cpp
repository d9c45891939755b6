// Converting the block held to another version: the steps themselves are
// version_conversion's; the block keeps its byte-order flag.
#include "config/user_param.h"
#include "config/version_conversion.h"

namespace kestrix {

bool UserParam::setUserParamVersion(std::string_view newVersion, const TerminalFields& terminal) {
    return setUserParamVersion(newVersion, blockOwnerOf(terminal));
}

bool UserParam::setUserParamVersion(std::string_view newVersion, const BlockOwner& owner) {
    return setBlockVersion(m_Block, m_Actual_VersionIndex, newVersion, owner, m_Do_Swap);
}

} // namespace kestrix

#include "terminal/version_key.h"

namespace kestrix {

std::string versionSortKey(std::string_view version) {
    if (version.size() < 4)
        return std::string();
    const char separator = version[1] == '.' ? '~' : version[1];
    return {version[0], '_', version[2], version[3], separator};
}

} // namespace kestrix

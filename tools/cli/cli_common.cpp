#include "cli_common.h"

#include "platform/ip_address.h"

#include <cstdio>

namespace kestrix::cli {

int fail(const std::string& text) {
    std::fprintf(stderr, "kestrix-cli: %s\n", text.c_str());
    return kExitFailure;
}

int usageError(const Invocation& invocation, const std::string& text) {
    std::fprintf(stderr, "kestrix-cli: %s\nusage: kestrix-cli %s\n", text.c_str(), invocation.usage.c_str());
    return kExitUsage;
}

bool tftpServerAddress(const std::string& text, std::string& result) {
    const std::optional<Ip6Address> address = addressFromText(text);
    if (!address)
        return false;
    result = addressToText(*address);
    if (address->scopeId != 0 && text.find('%') != std::string::npos)
        result += text.substr(text.find('%'));
    return true;
}

} // namespace kestrix::cli

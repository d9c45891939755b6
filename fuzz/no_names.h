#pragma once

// A name resolver that answers every look-up with no name, so that a fuzz
// target never asks a name server.
#include "terminal/name_resolver.h"

class NoNames : public kestrix::NameResolver {
public:
    std::optional<kestrix::ResolvedAddress> DNSNameResolution(const std::string&) const override {
        return std::nullopt;
    }
    std::optional<std::string> IPAddrResolution(const std::string&) const override { return std::nullopt; }
};

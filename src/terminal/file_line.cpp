// The record as one line of a terminal list file.
#include "terminal/terminal_fields.h"

namespace kestrix {

namespace {

// A field that holds ";", CR or LF would break the line apart: it is written empty.
std::string_view storable(std::string_view field) {
    return field.find_first_of(";\r\n") == std::string_view::npos ? field : std::string_view();
}

} // namespace

std::string TerminalFields::fileLine() {
    if (!IPv4Addr.empty() && IPv4DNSName.empty())
        IPv4DNSName = resolver_->lookupConfirmedName(IPv4Addr);
    std::string globalAddress;
    std::string globalName;
    if (!IPv6Addresses.empty()) {
        IPv6AddrEntry& first = IPv6Addresses.front();
        if (first.Name.empty())
            first.Name = resolver_->lookupConfirmedName(first.Address);
        globalAddress = first.Address;
        globalName = first.Name;
    }
    std::string line;
    for (std::string_view field :
         {std::string_view(SerialNumber), std::string_view(IPv4Addr), std::string_view(HostIfAddr),
          std::string_view(IPv4DNSName), std::string_view(globalAddress), std::string_view(IPv6LinkLocal),
          std::string_view(globalName)}) {
        line += storable(field);
        line += ';';
    }
    return line;
}

} // namespace kestrix

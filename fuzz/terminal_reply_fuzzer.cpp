// Feeds any bytes to the terminal record's reply parsers, as a datagram from
// the network would reach them, and checks what a parsed record must hold.
#include "terminal/terminal_fields.h"

#include "check.h"
#include "no_names.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string_view>

namespace {

using kestrix::TerminalFields;

// What every record that accepted a reply holds.
void checkAccepted(TerminalFields& record, std::string_view reply) {
    check(kestrix::isValidSerialNumber(record.SerialNumber));
    check(record.ProductType != kestrix::product::None);
    check(record.PlatformGroup == kestrix::productPlatformGroup(record.ProductType));
    check(record.FirmwareVersion.empty() != record.MonitorVersion.empty());
    check(record.isMonitorMode() == !record.MonitorVersion.empty());
    check(record.checkReplyIdent(reply).has_value());
    const std::string key = record.sortVersion();
    check(key.empty() || key.size() == 5);
    static const NoNames noNames;
    record.setNameResolver(noNames);
    const std::string line = record.fileLine();
    check(std::count(line.begin(), line.end(), ';') == 7);
    check(line.find_first_of("\r\n") == std::string::npos);
}

enum class Parser { Ident, Find, Echo };

void parse(Parser parser, std::string_view reply, std::string_view expected, bool idBased) {
    TerminalFields record;
    record.IDBasedAuth = idBased;
    record.TerminalId = 0x0A1B2C3D;
    const TerminalFields before = record;
    bool accepted = false;
    switch (parser) {
    case Parser::Ident:
        accepted = record.parseIdent(reply, expected).has_value();
        break;
    case Parser::Find:
        accepted = record.parseFindReply(reply, expected);
        break;
    case Parser::Echo:
        accepted = record.parseEchoReply(reply, expected);
        break;
    }
    if (!accepted) {
        check(record == before);
        return;
    }
    check(expected.empty() || record.SerialNumber == expected);
    checkAccepted(record, reply);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view reply(reinterpret_cast<const char*>(data), size);
    const bool idBased = size > 0 && (data[size - 1] & 1) != 0;
    for (Parser parser : {Parser::Ident, Parser::Find, Parser::Echo}) {
        parse(parser, reply, "", idBased);
        parse(parser, reply, "100200", idBased);
    }
    return 0;
}

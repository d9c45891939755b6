// The named values of an "echo" reply, after its identification line:
// port=n, connect=passive|active, auth=OK|..., encrypt=YES|NO, and the IPv4
// settings addr=, mask=, gateway=, each value preceded by the word "DHCP:"
// when the terminal takes them from DHCP, and the security id ID=xxxxxxxx.
#include "terminal/reply_words.h"
#include "terminal/terminal_fields.h"

#include <charconv>
#include <string_view>

namespace kestrix {

namespace {

using reply_words::beginsWith;
using reply_words::readAssignedValue;
using reply_words::readSecurityId;

constexpr std::string_view kNoIPv4Address = "0.0.0.0";

enum class EchoName { None, Port, Connect, Auth, Encrypt, Address, Mask, Gateway, SecurityId };

EchoName echoNameOf(std::string_view word) {
    if (beginsWith(word, "port"))
        return EchoName::Port;
    if (beginsWith(word, "connect"))
        return EchoName::Connect;
    if (beginsWith(word, "auth"))
        return EchoName::Auth;
    if (beginsWith(word, "encrypt"))
        return EchoName::Encrypt;
    if (beginsWith(word, "addr"))
        return EchoName::Address;
    if (beginsWith(word, "mask"))
        return EchoName::Mask;
    if (beginsWith(word, "gateway"))
        return EchoName::Gateway;
    if (beginsWith(word, "ID"))
        return EchoName::SecurityId;
    return EchoName::None;
}

std::optional<std::uint16_t> readPort(std::string_view text) {
    std::uint16_t value = 0;
    auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value, 10);
    if (error != std::errc() || end != text.data() + text.size())
        return std::nullopt;
    return value;
}

} // namespace

bool TerminalFields::parseEchoReply(std::string_view reply, std::string_view expectedSerialNumber) {
    std::optional<std::string> rest = parseIdent(reply, expectedSerialNumber);
    if (!rest)
        return false;
    if (IDBasedAuth)
        AuthOK = false;
    IPv4Dhcp = reply.find("DHCP: ") != std::string_view::npos;

    WordReader reader(*rest);
    while (auto word = reader.next()) {
        const EchoName name = echoNameOf(*word);
        if (name == EchoName::None)
            continue;
        std::optional<std::string> value = readAssignedValue(reader);
        if (!value || value->empty())
            break;
        switch (name) {
        case EchoName::None:
            break;
        case EchoName::Port:
            if (auto port = readPort(*value))
                TclPort = *port;
            break;
        case EchoName::Connect:
            PassiveConnect = beginsWith(*value, "passive");
            break;
        case EchoName::Auth:
            AuthOK = beginsWith(*value, "OK");
            break;
        case EchoName::Encrypt:
            Encrypt = beginsWith(*value, "YES");
            break;
        case EchoName::SecurityId:
            takeSecurityId(readSecurityId(*value));
            break;
        case EchoName::Address:
        case EchoName::Mask:
        case EchoName::Gateway: {
            if (IPv4Dhcp) {
                if (!beginsWith(*value, "DHCP:"))
                    return true;
                value = reader.next();
                if (!value || value->empty())
                    return true;
            }
            std::string& field = name == EchoName::Address ? IPv4Addr
                                 : name == EchoName::Mask  ? IPv4Mask
                                                           : IPv4Gateway;
            // A terminal without an IPv4 address reports it as 0.0.0.0: the
            // record then holds none (nothing to save, show or route to).
            if (name == EchoName::Address && *value == kNoIPv4Address)
                value->clear();
            field = std::move(*value);
            break;
        }
        }
    }
    return true;
}

} // namespace kestrix

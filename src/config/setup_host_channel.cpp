#include "config/setup_host_channel.h"

#include "config/setup_address_text.h"
#include "messages/product.h"
#include "messages/toolbox_lang.h"
#include "platform/ip_address.h"
#include "terminal/normalize_address.h"
#include "terminal/terminal_fields.h"

#include <algorithm>
#include <arpa/inet.h>

namespace kestrix {

namespace {

// Message table entries of the two controls.
constexpr int kAddressFormatMessage = 13; // "Das Format der IP-Adresse ... ist fehlerhaft."
constexpr int kValueOutOfRange = 401;   // "Der Wert liegt außerhalb des erlaubten Bereichs."
constexpr int kHttpPortWarning = 443;    // "80 ist die Portnummer für http."
constexpr int kDefaultPortWarning = 444; // "Da die Portnummer fehlt, ..."
constexpr int kHostAddressError = 445;  // "Konvertierungsfehler bei der IPv6-Adresse des Hosts"

constexpr unsigned kHighestPort = 65535;

} // namespace

bool HostChannelSettings::hostAddressIsText() const {
    return context_.terminal.runsLinux();
}

PortText HostChannelSettings::readPort(std::string_view text) {
    if (text.empty())
        return {PortReading::Empty, kDefaultPort};
    const std::optional<unsigned> number =
        text.size() <= kPortTextLimit ? decimalNumber(text, kHighestPort) : std::nullopt;
    if (!number || *number == 0)
        return {PortReading::OutOfRange, 0};
    const auto port = static_cast<std::uint16_t>(*number);
    return {port == kHttpPort ? PortReading::Http : PortReading::Number, port};
}

void HostChannelSettings::Get(const SetupBlock& block) {
    values.port = std::to_string(block.number(setup_field::HostPort));
    shownPort_ = values.port;
    Ip6Address host;
    std::ranges::copy(block.span(setup_field::HostAddress.offset, setup_field::HostAddress.width), host.bytes.begin());
    if (hostAddressIsText())
        values.hostAddress = addressToText(host, MappedForm::DottedOnly);
    else
        values.hostAddress = ipv4NumberToText(ntohl(host.ipv4NetworkOrder()));
}

void HostChannelSettings::Put(SetupBlock& block) {
    putPort(block);
    putHostAddress(block);
}

void HostChannelSettings::putPort(SetupBlock& block) {
    const PortText port = readPort(values.port);
    switch (port.reading) {
    case PortReading::OutOfRange:
        // A port the block already held (0 in a block never set up) stays as
        // it was without a word; only a typed one is refused.
        if (values.port != shownPort_)
            showMessage(kValueOutOfRange, MessageIcon::Exclamation);
        return;
    case PortReading::Http:
        showMessage(kHttpPortWarning, MessageIcon::Exclamation);
        break;
    case PortReading::Empty:
        showMessage(kDefaultPortWarning, MessageIcon::Exclamation);
        break;
    case PortReading::Number:
        break;
    }
    block.setNumber(setup_field::HostPort, port.port);
}

void HostChannelSettings::putHostAddress(SetupBlock& block) {
    const std::span<std::uint8_t> field = block.span(setup_field::HostAddress.offset, setup_field::HostAddress.width);
    if (!hostAddressIsText()) {
        const std::optional<std::uint32_t> number = ipv4NumberFromText(values.hostAddress);
        if (!number)
            return showMessage(kAddressFormatMessage, MessageIcon::Error);
        std::ranges::copy(Ip6Address::fromIPv4(htonl(*number)).bytes, field.begin());
        return;
    }
    // An empty field is "::", like every IPv6 field of the editor; any other
    // text goes through the terminal record's address form ("[...]", an IPv4
    // text as ::ffff:a.b.c.d), and a DNS name is no address.
    std::optional<Ipv6Bytes> bytes;
    if (values.hostAddress.empty()) {
        bytes = Ipv6Bytes{};
    } else if (values.hostAddress.size() <= kAddressTextLimit) {
        const std::string normalized = normalizeAddress(values.hostAddress);
        if (!normalized.empty())
            bytes = ipv6BytesFromText(normalized);
    }
    if (!bytes)
        return showMessage(kHostAddressError, MessageIcon::Error);
    std::ranges::copy(*bytes, field.begin());
}

void HostChannelSettings::showMessage(int messageId, MessageIcon icon) {
    context_.messageBoxes.show({kProductCaption, context_.language.GetText(messageId), icon});
}

} // namespace kestrix

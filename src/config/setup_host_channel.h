#pragma once

#include "config/setup_page.h"
#include "platform/message_box.h"

#include <cstdint>
#include <string>
#include <string_view>

namespace kestrix {

// The two controls of host channel A that the channel A page embeds.
struct HostChannelValues {
    // Platform groups 6 and 7: an IPv6 text, an IPv4 text or "[address]"
    // (up to 64 characters); other groups: a dotted IPv4 text.
    std::string hostAddress;
    std::string port; // up to 5 characters
};

// How a port text reads.
enum class PortReading {
    Number,       // a port other than 80
    Http,         // 80: stored after a warning
    Empty,        // the default 3001 is stored after a warning
    OutOfRange,   // no number from 1 to 65535: the port stays as it was
};

// A port text read: how, and the port it gives (3001 when Empty, 0 when OutOfRange).
struct PortText {
    PortReading reading = PortReading::OutOfRange;
    std::uint16_t port = 0;
};

// The host address and TCP port of channel A, the host the terminal's host
// interface talks to. Put stores what it can read and reports the rest; it
// never stops OK: a port of 80 and an empty port are stored after a warning,
// a port text that is no number from 1 to 65535 and a host address that does
// not read are reported and keep their previous values.
//
// The channel record itself (buffers, baud rate, timeouts) is the channel
// page's.
class HostChannelSettings {
public:
    static constexpr std::uint16_t kDefaultPort = 3001;
    static constexpr std::uint16_t kHttpPort = 80;
    static constexpr std::size_t kPortTextLimit = 5;
    static constexpr std::size_t kAddressTextLimit = 64;

    explicit HostChannelSettings(const SetupContext& context) : context_(context) {}

    void Get(const SetupBlock& block);
    void Put(SetupBlock& block);

    // Whether the host address is an address text (platform groups 6 and 7)
    // rather than an IPv4 address control.
    bool hostAddressIsText() const;
    // How a port text reads: digits only, at most five of them.
    static PortText readPort(std::string_view text);

    HostChannelValues values;

private:
    std::string shownPort_; // the port text Get showed
    void putPort(SetupBlock& block);
    void putHostAddress(SetupBlock& block);
    void showMessage(int messageId, MessageIcon icon);

    const SetupContext& context_;
};

} // namespace kestrix

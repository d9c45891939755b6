// Feeds any datagrams to the maintenance engine as terminals' replies, the
// way they come from the network: each group of the input answers one
// request. A directed request (with or without a serial number) or a search
// by serial number must get the first datagram of the group that begins with
// "TALMO" and carries the serial number asked for, its zero bytes read as
// blanks, or nothing; a broadcast every datagram that begins with "TALMO",
// as "[sender];serial number" or the bare sender.
//
// Input: groups separated by 0xFE, the datagrams of a group by 0xFF.
#include "protocol/t7000ip.h"
#include "protocol/word_reader.h"

#include "answering_network.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace {

using namespace kestrix;
using Kind = T7000ip::RequestKind;

struct Request {
    Kind kind;
    const char* serialNumber;
};
constexpr Request kRequests[] = {
    {Kind::Directed, "100200"},
    {Kind::Directed, ""},
    {Kind::SearchBySerialNumber, "100200"},
    {Kind::Broadcast, ""},
};

// Long enough never to expire while the answer is under way (the terminals
// end a request that has no answer by moving the clock on).
constexpr std::int64_t kTimeoutSeconds = 5;

std::string asLine(std::string datagram) {
    std::replace(datagram.begin(), datagram.end(), '\0', ' ');
    return datagram;
}

std::vector<std::string> expectedReplies(const fuzz::AnsweringTerminals::Group& group,
                                         const Request& request) {
    std::vector<std::string> replies;
    if (request.kind != Kind::Broadcast) {
        for (const std::string& datagram : group)
            if (fuzz::engineTakes(datagram, request.serialNumber))
                return {asLine(datagram)};
        return replies;
    }
    for (std::size_t index = 0; index < group.size(); ++index) {
        if (!group[index].starts_with("TALMO"))
            continue;
        const std::string sender = "::ffff:" + fuzz::broadcastSender(index);
        const std::string serialNumber = replySerialNumber(asLine(group[index]));
        replies.push_back(serialNumber.empty() ? sender : "[" + sender + "];" + serialNumber);
    }
    return replies;
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    fuzz::terminalsAndEngine();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    fuzz::TerminalsAndEngine& network = fuzz::terminalsAndEngine();
    const auto script = fuzz::scriptOf({reinterpret_cast<const char*>(data), size});
    network.terminals.setScript(script);
    for (std::size_t index = 0; index < script.size(); ++index) {
        const Request& request = kRequests[index % std::size(kRequests)];
        const std::string serialNumber = request.serialNumber;
        // Another address for every request: a reply that came late cannot be taken for the next.
        const Ip6Address address =
            request.kind == Kind::Broadcast
                ? Ip6Address::fromIPv4Bytes(10, 66, 0, 255)
                : Ip6Address::fromIPv4Bytes(127, 0, 1, static_cast<std::uint8_t>(index));
        const std::vector<std::string> replies =
            network.engine.request(address, serialNumber, request.kind, kTimeoutSeconds,
                                   "echo " + (serialNumber.empty() ? std::string("*") : serialNumber));
        if (replies != expectedReplies(script[index], request))
            __builtin_trap();
    }
    return 0;
}

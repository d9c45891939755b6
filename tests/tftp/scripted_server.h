#pragma once

// A TFTP server on 127.0.0.1 played packet by packet, for the tests of the
// exact packets the client sends.
#include "support/scripted_peer.h"
#include "tftp/tftp_connection.h"
#include "tftp/tftp_packets.h"

#include <gtest/gtest.h>
#include <map>
#include <string>
#include <thread>
#include <vector>

namespace kestrix::test {

using Script = std::map<std::size_t, std::vector<std::string>>;

// How a call ends: the TFTPError's id and text, or 0 and "succeeded".
using Failure = std::pair<int, std::string>;
template <typename Call> Failure failureOf(Call call) {
    try {
        call();
    } catch (const TFTPConnection::TFTPError& error) {
        return {error.id(), error.text};
    }
    return {0, "succeeded"};
}

// Answers the client's Nth packet (counted from 0) with the packets the script
// gives for N (an empty packet stands for a pause of 50 ms); packets the
// script does not name go unanswered.
class ScriptedServer {
public:
    explicit ScriptedServer(Script script, std::uint16_t port = 6969)
        : script_(std::move(script)),
          peer_("127.0.0.1", port, [this](const PeerRequest& request, ScriptedPeer& peer) {
              const auto answers = script_.find(count_++);
              if (answers != script_.end())
                  for (const std::string& packet : answers->second) {
                      if (packet.empty())
                          std::this_thread::sleep_for(std::chrono::milliseconds(50));
                      else
                          peer.reply(request, packet);
                  }
          }) {}

    std::vector<std::string> received() {
        std::vector<std::string> packets;
        for (const PeerRequest& request : peer_.requests())
            packets.push_back(request.bytes);
        return packets;
    }

    // Every packet the connection has sent to this server, late ones too: an
    // ERROR packet sent last from the connection's socket arrives after all
    // of them, since loopback keeps the order of one socket's datagrams.
    std::vector<std::string> everythingSentBy(TFTPConnection& connection) {
        const std::string marker = errorPacket(7, "No such user");
        connection.tftp_nak(7);
        for (std::size_t count = 1; peer_.waitForRequests(count, std::chrono::seconds(2)); ++count) {
            std::vector<std::string> packets = received();
            if (packets.back() == marker) {
                packets.pop_back();
                return packets;
            }
        }
        ADD_FAILURE() << "the marker packet did not arrive";
        return received();
    }
    ScriptedPeer& peer() { return peer_; }

private:
    Script script_;
    std::size_t count_ = 0;
    ScriptedPeer peer_;
};

} // namespace kestrix::test

#pragma once

// The network of the fuzz targets that talk to terminals: the fuzzer plays
// every terminal, whatever address the program sends to, and ends each
// request at once, so that no input waits out the program's time-outs.
#include <cstdint>
#include <deque>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

namespace kestrix {
class T7000ip;
}

namespace kestrix::fuzz {

// Moves the process (call it before any thread starts) into a network
// namespace of its own, as root or else in a user namespace of its own:
// loopback up, one LAN interface (veth "fuzz0", 10.66.0.1/24, so that the
// program's LAN interface table has a row) and every other IPv4 and IPv6
// address local, so that a datagram to any address reaches the terminals
// below. Nothing the fuzzer sends leaves the machine, and the maintenance
// ports and port 69 are free. The program's pauses are cut to a thousandth
// (KESTRIX_TIME_SCALE, unless set); with KESTRIX_FUZZ_TRACE set, the program
// traces to standard error (to follow what an input does). Aborts when the
// namespace cannot be made.
void enterAnsweringNetwork();

// Whether the engine takes a reply datagram for a job that asks for the
// serial number (empty: any): it begins with "TALMO" and its fourth word is
// that serial number. Datagrams are at most 1024 bytes here.
bool engineTakes(std::string_view datagram, std::string_view jobSerialNumber);

// The sender of the datagram at an index of a broadcast's replies: pairs of
// replies share an address, so that a search sees one address answer twice.
std::string broadcastSender(std::size_t index);

// The terminals: one listener on port 0xdead of every address (bound before
// the engine starts, which then takes 0xbeef). Each request takes the next
// group of the script, which is sent back from the address the request went
// to:
//   - a broadcast ("*" to a broadcast or multicast address) gets every
//     datagram of the group, each IPv4 one from broadcastSender(index);
//   - any other request gets the datagrams up to the first the engine takes.
// When the request is not answered by then (a broadcast never is), the
// engine's wall clock moves past every deadline once the engine has read
// those datagrams, and a datagram "TALMO" wakes it: the request ends at once
// as one that timed out. Requests beyond the script get no reply that way.
// Empty datagrams are left out (the engine passes over them anyway).
//
// The engine's wall clock is time(): this object holds the offset that the
// fuzz targets add to the system's. It does not parse requests beyond their
// second word and knows nothing of authentication.
class AnsweringTerminals {
public:
    AnsweringTerminals();
    ~AnsweringTerminals();
    AnsweringTerminals(const AnsweringTerminals&) = delete;
    AnsweringTerminals& operator=(const AnsweringTerminals&) = delete;

    using Group = std::vector<std::string>;
    void setScript(std::vector<Group> groups);

private:
    void serve();
    void answer(int socket);

    int sockets_[2] = {-1, -1}; // IPv4, IPv6
    int wakeDescriptor_ = -1;
    std::mutex mutex_;
    std::deque<Group> script_;
    bool stopping_ = false;
    std::thread thread_;
};

// The answering network, its terminals and the maintenance engine beside
// them, made by the first call (before any other thread of the process
// starts) and kept for the process's life.
struct TerminalsAndEngine {
    AnsweringTerminals terminals;
    T7000ip& engine;
};
TerminalsAndEngine& terminalsAndEngine();

// The groups of a script from fuzz input: groups separated by 0xFE, the
// datagrams of a group by 0xFF, each cut to 1024 bytes.
std::vector<AnsweringTerminals::Group> scriptOf(std::string_view bytes);

} // namespace kestrix::fuzz

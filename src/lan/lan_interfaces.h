#pragma once

#include "lan/friendly_name.h"
#include "lan/lan_system.h"
#include "platform/ip_address.h"

#include <array>
#include <cstdint>
#include <span>

namespace kestrix {

// One row of the LAN interface table: one IPv4 address of an adapter, or an
// adapter that has IPv6 addresses only. Text fields are fixed-size and always
// terminated.
struct LanInterface {
    FriendlyNameBuffer FriendlyName{};    // the interface name
    std::array<char, 16> IPv4Addr{};      // dotted IPv4 address, or "none"
    std::uint32_t UIPv4Addr = 0;          // network byte order, 0 for none
    std::uint32_t UIPv4MaskAddr = 0;      // network byte order
    Ip6Address UIPv4BroadcastAddr_AsIPv6; // IPv4-mapped subnet broadcast, zero for none
    std::uint32_t IPv4IfIndex = 0;        // interface index, 0 without IPv4 address
    std::uint32_t IPv6IfIndex = 0;        // interface index, 0 without IPv6 address
    std::array<char, 65> IPv6Addr{};      // first IPv6 unicast address, empty for none
    bool bUp = false;                     // up and running (IFF_UP and IFF_RUNNING)
};

// The PC's LAN interfaces: Ethernet-type interfaces (physical, bridges, veth,
// tap) and IEEE 802.11 wireless ones, without loopback; tunnels (tun/tap) get
// no IPv6 data. At most ten rows, adapters in interface-index order, first
// every IPv4 address, then the adapters that only have IPv6. Built in three
// passes over one snapshot of the system (IPv4 addresses, their masks, IPv6
// data) and traced when tracing is on, unless the table is full.
//
// It does not watch the system: interfaces that change later are seen only by
// a new enumeration. The process-wide table (lanInterfaces()) is written once
// at start-up and read without locks afterwards.
class LanInterfaces {
public:
    static constexpr int kMaxEntries = 10;

    // Builds the table from a description of the system's interfaces.
    static LanInterfaces build(const SystemInterfaces& system);
    // Reads the system's interfaces and builds the table from them.
    static LanInterfaces enumerate();

    int count() const { return count_; }
    std::span<const LanInterface> entries() const {
        return {entries_.data(), static_cast<std::size_t>(count_)};
    }

    // The row through which an address is reached: 0 when the table has
    // exactly one row (whatever the address); -1 when the address is not
    // IPv4-mapped; else the first row that is up, has an IPv4 address and whose
    // subnet holds the address; -1 when there is none.
    int findLanIfForIPv4(const Ip6Address& address) const;

private:
    LanInterface* append();
    void addIPv4Addresses(const std::vector<SystemAdapter>& adapters);
    void applyMasks(const std::vector<SystemAdapter>& adapters);
    void addIPv6Data(const std::vector<SystemAdapter>& adapters);
    void traceTable() const;

    std::array<LanInterface, kMaxEntries> entries_{};
    int count_ = 0;
};

// The process-wide table; empty until enumerateLanInterfaces() ran.
const LanInterfaces& lanInterfaces();

// Start-up: fills the process-wide table from the system. Call it once, before
// any other thread reads the table.
void enumerateLanInterfaces();

} // namespace kestrix

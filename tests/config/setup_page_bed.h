#pragma once

// What the network and firewall page tests share: a context with recorded
// message boxes, a block of 0x5a bytes, the check that a Put changed only the
// bytes it may, and LAN interface tables.
#include "config/setup_page.h"
#include "lan/lan_interfaces.h"
#include "mainwindow/recording_view.h"
#include "messages/toolbox_lang.h"
#include "support/data_file.h"
#include "terminal/terminal_fields.h"

#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <net/if.h>
#include <net/if_arp.h>

namespace kestrix::test {

// Bytes (hexadecimal) from an offset on.
struct Change {
    std::size_t offset;
    std::string hex;
};

inline void setBytes(SetupBlock& block, const std::vector<Change>& changes) {
    for (const Change& change : changes) {
        const std::vector<std::uint8_t> bytes = fromHex(change.hex);
        std::copy(bytes.begin(), bytes.end(), block.span(change.offset, bytes.size()).begin());
    }
}

struct PageBed {
    explicit PageBed(std::string version = "6.20", int platformGroup = 7) {
        context.actualVersion = std::move(version);
        terminal.PlatformGroup = platformGroup;
        block.bytes().fill(0x5a);
    }
    CToolBoxLang language{kLocaleIdEnglishUnitedStates};
    RecordingMessageBoxes boxes;
    TerminalFields terminal;
    LanInterfaces interfaces;
    SetupContext context{language, boxes, terminal, 3, "6.20", interfaces};
    SetupBlock block;
};

// Every byte of the block is 0x5a but for the changes.
inline void expectOnlyChanges(const SetupBlock& block, const std::vector<Change>& changes) {
    SetupBlock expected;
    expected.bytes().fill(0x5a);
    setBytes(expected, changes);
    for (std::size_t offset = 0; offset < expected.bytes().size(); ++offset)
        EXPECT_EQ(block.bytes()[offset], expected.bytes()[offset]) << "offset " << offset;
}

// One adapter of a LAN interface table ("" for no address of a family).
struct Adapter {
    const char* ipv4 = "";
    int prefix = 24;
    const char* ipv6 = "";
    bool up = true;
};

inline LanInterfaces lanTable(const std::vector<Adapter>& adapters) {
    SystemInterfaces system;
    for (const Adapter& adapter : adapters) {
        const auto index = static_cast<std::uint32_t>(system.adapters.size() + 1);
        SystemAdapter& row = system.adapters.emplace_back();
        row.name = "eth" + std::to_string(index), row.index = index, row.hardwareType = ARPHRD_ETHER;
        row.flags = adapter.up ? unsigned{IFF_UP | IFF_RUNNING} : 0u;
        if (*adapter.ipv4 != '\0')
            row.ipv4Addresses.push_back({addressFromText(adapter.ipv4).value().ipv4NetworkOrder(),
                                         htonl(~0u << (32 - adapter.prefix))});
        if (*adapter.ipv6 != '\0')
            row.ipv6Addresses.push_back(addressFromText(adapter.ipv6).value());
    }
    return LanInterfaces::build(system);
}

} // namespace kestrix::test

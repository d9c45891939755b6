#include "config/setup_defaults.h"

#include "config/setup_block.h"
#include "terminal/product_rules.h"
#include "terminal/terminal_fields.h"

#include <algorithm>

#include <arpa/inet.h>

namespace kestrix {

namespace {

// Zeroes the bytes from the first field's offset up to the last one's end.
void zero(SetupBlock& block, std::size_t from, std::size_t end) {
    const auto bytes = block.span(from, end - from);
    std::fill(bytes.begin(), bytes.end(), std::uint8_t{0});
}

std::size_t endOf(const BlockField& field) {
    return field.offset + field.width;
}

// A channel record: receive 512 and transmit 256 bytes, 9600 baud 8N1
// (list index 13, format bits 0x030), one PAD, poll and data timeouts of
// 10 (1 s for the data), a quit timeout of 100 ms.
void channelDefaults(SetupBlock& block, std::size_t record) {
    const std::size_t base = setup_field::kChannelRecordsOffset + record * setup_field::kChannelRecordWidth;
    zero(block, base, base + setup_field::kChannelRecordWidth);
    const auto set = [&](const BlockField& field, std::uint32_t value) {
        block.setNumber(BlockField{field.key, base + field.offset, field.width, field.format, field.meaning},
                        value);
    };
    set(channel_field::ReceiveBuffer, 4);
    set(channel_field::TransmitBuffer, 2);
    set(channel_field::LineFormat, 0x030 | 13);
    set(channel_field::PadNumber, 1);
    set(channel_field::PollTimeout, 10);
    set(channel_field::DataTimeout, 10);
    set(channel_field::QuitTimeout, 10);
}

void muxDefaults(SetupBlock& block, const TerminalFields& terminal) {
    const BlockField& table = setup_field::MuxTable0;
    const bool twoCells = terminal.TclKind == tcl_kind::Acm && productHasDcu4Lbus(terminal.ProductType);
    const std::size_t cycle = twoCells ? 2 : 8;
    block.setByte(table.offset, 0);
    for (std::size_t cell = 1; cell < table.width; ++cell)
        block.setByte(table.offset + cell, static_cast<std::uint8_t>((cell - 1) % cycle + 1));
}

} // namespace

void applySetupDefaults(SetupBlock& block, const TerminalFields& terminal) {
    using namespace setup_field;
    block.setText(DefaultCode, setup_defaults::kCode);

    zero(block, Ipv4Address.offset, endOf(DhcpHostName));
    const std::uint32_t addressInUse = ntohl(terminal.AddrInUse.ipv4NetworkOrder());
    block.setNumber(Ipv4Address, addressInUse != 0 ? addressInUse : setup_defaults::kIpv4Address);
    block.setNumber(Ipv4Mask, setup_defaults::kIpv4Mask);
    block.setByte(IpStackOption.offset, platformRunsLinux(terminal.PlatformGroup) ? 1 : 0);
    block.setByte(LinkSpeed.offset, platformNegotiatesLinkSpeed(terminal.PlatformGroup) ? 1 : 2);
    block.setText(DhcpHostName, "talmo-" + terminal.SerialNumber);

    zero(block, HostIpv4Before610.offset, endOf(HostPort));
    block.setNumber(HostPort, setup_defaults::kHostPort);
    zero(block, FirewallInUse.offset, kChannelRecordsOffset);
    for (std::size_t record = 0; record < kChannelRecords; ++record)
        channelDefaults(block, record);

    block.setByte(DisplayCharacterSet.offset, 2);
    block.setByte(Byte793.offset, 2);
    block.setText(Password1, setup_defaults::kPassword1);
    block.setText(Password2, setup_defaults::kPassword2);
    block.setText(Password3, setup_defaults::kPassword3);
    block.setByte(DestinationMac.offset, 1);
    block.setByte(BacklightAlwaysOn.offset, 0);
    block.setByte(Byte818.offset, '@');
    block.setByte(KeyClicks.offset, 0);
    block.setByte(BlueLed.offset, 9);
    zero(block, SummerTimeMode.offset, endOf(SummerTimeEnd));
    muxDefaults(block, terminal);
}

} // namespace kestrix

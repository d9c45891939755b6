#pragma once

// The named fields of the newest block layout ("6.20" and its big-endian
// twin "6.21"): offset, width and meaning, written once here. The setup
// editor's pages, `config info`, the secret-field code and the block diff
// read their offsets from this map; the conversion tables of the older
// layouts keep their own moves.
//
// Offsets are block offsets. Multi-byte numbers marked Native are stored in
// the terminal's byte order (the editor's working copy holds them in this
// machine's order): they are exactly the fields the byte-order swap reverses,
// which reads them from here. The IPv4 numbers are always least significant
// byte first. Named fields do not overlap, except the two LBus keys inside
// the 48-byte secret area. Bytes without a known meaning stay unnamed.

#include <array>
#include <cstddef>
#include <span>
#include <string_view>

namespace kestrix {

// How a field's bytes are read.
enum class FieldFormat {
    Byte,       // one unsigned byte (a number, a flag or a list index)
    Native16,   // 16-bit number in the terminal's byte order
    Native32,   // 32-bit number in the terminal's byte order
    Ipv4Number, // 32-bit IPv4 address, first octet most significant, least significant byte first
    Ipv6,       // 16 bytes in network order (IPv4 as ::ffff:a.b.c.d)
    Text,       // characters up to the first zero byte
    Secret,     // kept enciphered on the terminal (passwords, keys): shown masked
    Bytes,      // raw bytes of a known place whose meaning is the terminal's
};

// One field of the map.
struct BlockField {
    std::string_view key;     // a short lower-case name ("ipv4-address"), unique in the map
    std::size_t offset;
    std::size_t width;        // in bytes
    FieldFormat format;
    std::string_view meaning; // one line in English
};

// The fields of one record of a run of equal records; offsets are relative
// to the record's start.
namespace ipv4_rule_field { // +10 and +11 unnamed
inline constexpr BlockField Net{"net", 0, 4, FieldFormat::Ipv4Number, "net of the rule"};
inline constexpr BlockField Mask{"mask", 4, 4, FieldFormat::Ipv4Number, "net mask of the rule"};
inline constexpr BlockField Service{"service", 8, 2, FieldFormat::Native16,
                                    "services: 0x0001 data, 0x0700 maintenance, 0x0080 state, 0x3000 always"};
inline constexpr std::array kFields{Net, Mask, Service};
} // namespace ipv4_rule_field

namespace ipv6_rule_field { // +17 unnamed
inline constexpr BlockField Prefix{"prefix", 0, 16, FieldFormat::Ipv6, "prefix of the rule"};
inline constexpr BlockField PrefixLength{"prefix-length", 16, 1, FieldFormat::Byte, "prefix length"};
inline constexpr BlockField Service{"service", 18, 2, FieldFormat::Native16, "services, as for an IPv4 rule"};
inline constexpr std::array kFields{Prefix, PrefixLength, Service};
} // namespace ipv6_rule_field

namespace channel_field { // +0, +3, +12-15, +18-23 and +35-79 unnamed
inline constexpr BlockField ReceiveBuffer{"receive-buffer", 1, 1, FieldFormat::Byte,
                                          "receive buffer size / 128"};
inline constexpr BlockField TransmitBuffer{"transmit-buffer", 2, 1, FieldFormat::Byte,
                                           "transmit buffer size / 128"};
inline constexpr BlockField Flags{"flags", 4, 2, FieldFormat::Native16,
                                  "bit 7 ignore EOL, bit 13 suppress characters"};
inline constexpr BlockField Processing{"processing", 6, 2, FieldFormat::Native16, "bit 0 processing"};
inline constexpr BlockField LineFormat{"line-format", 8, 2, FieldFormat::Native16,
                                       "bits 0-3 baud rate list index, bits 4-9 data format"};
inline constexpr BlockField Word10{"word-10", 10, 2, FieldFormat::Native16, "16-bit value"};
inline constexpr BlockField EofCounter{"eof-counter", 16, 1, FieldFormat::Byte, "EOF / counter"};
inline constexpr BlockField DelayTime{"delay-time", 17, 1, FieldFormat::Byte, "delay time / 100"};
inline constexpr BlockField Value24{"value-24", 24, 4, FieldFormat::Native32, "32-bit value"};
inline constexpr BlockField GroupId{"group-id", 28, 1, FieldFormat::Byte, "group id (0-31)"};
inline constexpr BlockField DeviceId{"device-id", 29, 1, FieldFormat::Byte, "device id (0-31)"};
inline constexpr BlockField PadNumber{"pad-number", 30, 1, FieldFormat::Byte, "PAD number (0-9)"};
inline constexpr BlockField PollTimeout{"poll-timeout", 31, 1, FieldFormat::Byte, "poll timeout (1-255)"};
inline constexpr BlockField DataTimeout{"data-timeout", 32, 1, FieldFormat::Byte, "data timeout / 100"};
inline constexpr BlockField TransmitDelay{"transmit-delay", 33, 1, FieldFormat::Byte,
                                          "transmit delay (0-255)"};
inline constexpr BlockField QuitTimeout{"quit-timeout", 34, 1, FieldFormat::Byte, "quit timeout / 10"};
inline constexpr std::array kFields{ReceiveBuffer, TransmitBuffer, Flags,         Processing,
                                    LineFormat,    Word10,         EofCounter,    DelayTime,
                                    Value24,       GroupId,        DeviceId,      PadNumber,
                                    PollTimeout,   DataTimeout,    TransmitDelay, QuitTimeout};
} // namespace channel_field

// A run of count records of width bytes from offset, each with the fields of
// its record table.
struct BlockRecordRun {
    std::string_view key; // the record's name ("channel"), unique among the runs
    std::size_t offset;
    std::size_t count;
    std::size_t width;
    std::span<const BlockField> fields;
};

namespace setup_field {

inline constexpr BlockField Version{"version", 0, 4, FieldFormat::Text, "layout version (driver_version)"};
inline constexpr BlockField DefaultCode{"default-code", 4, 8, FieldFormat::Bytes,
                                        "eight characters the defaults set"};
inline constexpr BlockField Ipv4Address{"ipv4-address", 12, 4, FieldFormat::Ipv4Number, "IPv4 address"};
inline constexpr BlockField Ipv4Router{"ipv4-router", 16, 4, FieldFormat::Ipv4Number, "IPv4 router"};
inline constexpr BlockField Ipv4Mask{"ipv4-mask", 20, 4, FieldFormat::Ipv4Number, "IPv4 net mask"};
inline constexpr BlockField Ipv6Address{"ipv6-address", 24, 16, FieldFormat::Ipv6, "IPv6 address"};
inline constexpr BlockField Ipv6Router{"ipv6-router", 40, 16, FieldFormat::Ipv6, "IPv6 router"};
inline constexpr BlockField Ipv6PrefixLength{"ipv6-prefix-length", 56, 1, FieldFormat::Byte,
                                             "IPv6 prefix length"};
inline constexpr BlockField IpStackOption{"ip-stack", 57, 1, FieldFormat::Byte,
                                          "ip_stack_option: bits 0-1 0 IPv4, 1 both, 2 IPv6; bits 6 and 7"};
inline constexpr BlockField LinkSpeed{"link-speed", 58, 1, FieldFormat::Byte,
                                      "Ethernet link speed: 1 + list index (1 auto negotiation)"};
inline constexpr BlockField MaintenanceGroup{"group", 60, 2, FieldFormat::Native16, "maintenance group"};
inline constexpr BlockField DhcpHostName{"dhcp-name", 64, 20, FieldFormat::Text,
                                         "DHCP host name (up to 19 characters)"};
inline constexpr BlockField HostIpv4Before610{"host-ipv4", 84, 4, FieldFormat::Ipv4Number,
                                              "host address of channel A before 6.10, as converted"};
inline constexpr BlockField HostAddress{"host-address", 88, 16, FieldFormat::Ipv6, "host address of channel A"};
inline constexpr BlockField Byte144{"byte-144", 144, 1, FieldFormat::Byte, "byte parameter"};
inline constexpr BlockField HostPort{"host-port", 146, 2, FieldFormat::Native16, "TCP port of host channel A"};
inline constexpr BlockField FirewallInUse{"firewall", 148, 1, FieldFormat::Byte, "firewall in use (1)"};
inline constexpr BlockField FirewallReserved{"firewall-reserved", 149, 1, FieldFormat::Byte,
                                             "set to 0 with the firewall"};

// Five IPv4 rules of 12 bytes from 152, five IPv6 rules of 20 bytes from 212.
inline constexpr std::size_t kFirewallRules = 5;
inline constexpr std::size_t kIpv4RulesOffset = 152;
inline constexpr std::size_t kIpv4RuleWidth = 12;
inline constexpr std::size_t kIpv4RuleNetOffset = ipv4_rule_field::Net.offset;
inline constexpr std::size_t kIpv4RuleMaskOffset = ipv4_rule_field::Mask.offset;
inline constexpr std::size_t kIpv4RuleServiceOffset = ipv4_rule_field::Service.offset;
inline constexpr std::size_t kIpv6RulesOffset = 212;
inline constexpr std::size_t kIpv6RuleWidth = 20;
inline constexpr std::size_t kIpv6RulePrefixOffset = ipv6_rule_field::Prefix.offset;
inline constexpr std::size_t kIpv6RulePrefixLengthOffset = ipv6_rule_field::PrefixLength.offset;
inline constexpr std::size_t kIpv6RuleServiceOffset = ipv6_rule_field::Service.offset;
inline constexpr BlockRecordRun Ipv4Rules{"ipv4-rule", kIpv4RulesOffset, kFirewallRules, kIpv4RuleWidth,
                                          ipv4_rule_field::kFields};
inline constexpr BlockRecordRun Ipv6Rules{"ipv6-rule", kIpv6RulesOffset, kFirewallRules, kIpv6RuleWidth,
                                          ipv6_rule_field::kFields};

// Six channel records of 80 bytes from 312 (channels A-D on the channel pages).
inline constexpr std::size_t kChannelRecords = 6;
inline constexpr std::size_t kChannelRecordsOffset = 312;
inline constexpr std::size_t kChannelRecordWidth = 80;
inline constexpr BlockRecordRun Channels{"channel", kChannelRecordsOffset, kChannelRecords,
                                         kChannelRecordWidth, channel_field::kFields};

inline constexpr BlockField DisplayCharacterSet{"character-set", 792, 1, FieldFormat::Byte,
                                                "display character set (list index)"};
inline constexpr BlockField Byte793{"byte-793", 793, 1, FieldFormat::Byte, "set to 2 by the defaults"};
inline constexpr BlockField Password1{"password1", 794, 6, FieldFormat::Secret, "setup password of grade 1"};
inline constexpr BlockField Password2{"password2", 800, 8, FieldFormat::Secret, "setup password of grade 2"};
inline constexpr BlockField Password3{"password3", 808, 8, FieldFormat::Secret, "setup password of grade 3"};
inline constexpr BlockField DestinationMac{"destination-mac", 816, 1, FieldFormat::Byte,
                                           "destination MAC: 0 from the incoming packet, 1 by ARP request"};
inline constexpr BlockField BacklightAlwaysOn{"backlight", 817, 1, FieldFormat::Byte,
                                              "1: the backlight does not dim after an hour"};
inline constexpr BlockField Byte818{"byte-818", 818, 1, FieldFormat::Byte, "set to 64 ('@') by the defaults"};
inline constexpr BlockField KeyClicks{"key-clicks", 819, 1, FieldFormat::Byte,
                                      "bit 0 function key clicks, bit 1 other key clicks, bit 4 no buzzer"};
inline constexpr BlockField BlueLed{"blue-led", 820, 1, FieldFormat::Byte, "blue LED intensity"};
inline constexpr BlockField Dcu4Button{"dcu4-button", 821, 1, FieldFormat::Byte,
                                       "1: the DCU4 AKKU button is a TCL function key"};
inline constexpr BlockField SummerTimeMode{"summer", 824, 1, FieldFormat::Byte,
                                           "summer time: 2 automatic change-over, 0 none"};
inline constexpr BlockField GmtDeviation{"gmt-deviation", 826, 2, FieldFormat::Native16,
                                         "minutes from GMT, signed, positive west"};
inline constexpr BlockField SummerTimeStart{"summer-start", 828, 12, FieldFormat::Text,
                                            "start of summer time (MMDDwYYYYhh or POSIX Mm.w.d[/h])"};
inline constexpr BlockField SummerTimeEnd{"summer-end", 840, 12, FieldFormat::Text,
                                          "end of summer time (MMDDwYYYYhh or POSIX Mm.w.d[/h])"};
// Four tables of one byte and 16 one-byte entries; the last is the DCU MUX
// setup table of the older blocks.
inline constexpr BlockField MuxTable0{"mux-table-0", 852, 17, FieldFormat::Bytes, "MUX table 0"};
inline constexpr BlockField MuxTable1{"mux-table-1", 869, 17, FieldFormat::Bytes, "MUX table 1"};
inline constexpr BlockField MuxTable2{"mux-table-2", 886, 17, FieldFormat::Bytes, "MUX table 2"};
inline constexpr BlockField MuxSetupTable{"mux-setup", 903, 17, FieldFormat::Bytes,
                                          "DCU MUX setup table (cells 1-16)"};
inline constexpr BlockField SecretArea{"secret-area", 920, 48, FieldFormat::Secret,
                                       "48 bytes the terminal keeps enciphered"};
// The LBus settings (our choice of places: the keys inside the secret area,
// the reader settings in bytes no conversion fills before "6.00").
inline constexpr BlockField Lbus1Key{"lbus1-key", 920, 16, FieldFormat::Secret, "LBus1 key"};
inline constexpr BlockField Lbus2Key{"lbus2-key", 936, 16, FieldFormat::Secret, "LBus2 key"};
inline constexpr BlockField Byte968{"byte-968", 968, 1, FieldFormat::Byte, "a flag: 6, or 1 in older blocks"};
inline constexpr BlockField LbusByte{"lbus-byte", 969, 1, FieldFormat::Byte,
                                     "6 on terminals whose LBus is of the DCU4 kind"};
inline constexpr BlockField Lbus1ReaderType{"lbus1-reader-type", 970, 1, FieldFormat::Byte,
                                            "reader type on LBus1 (code, 0 none)"};
inline constexpr BlockField Lbus1Readers{"lbus1-readers", 971, 1, FieldFormat::Byte,
                                         "readers on LBus1: bit n-1 for reader n (1-8)"};
inline constexpr BlockField Lbus2ReaderType{"lbus2-reader-type", 972, 1, FieldFormat::Byte,
                                            "reader type on LBus2 (code, 0 none)"};
inline constexpr BlockField Lbus2Readers{"lbus2-readers", 973, 1, FieldFormat::Byte,
                                         "readers on LBus2: bit n-9 for reader n (9-16)"};
inline constexpr BlockField InternalReaderType{"reader-type", 974, 1, FieldFormat::Byte,
                                               "internal reader type (+128 with the page's check box)"};
inline constexpr BlockField InternalReaderMode{"reader-mode", 975, 1, FieldFormat::Byte, "internal reader mode"};
inline constexpr BlockField ChipcardParameter1{"chipcard-1", 978, 2, FieldFormat::Native16,
                                               "first chipcard parameter of the internal reader"};
inline constexpr BlockField ChipcardParameter2{"chipcard-2", 980, 2, FieldFormat::Native16,
                                               "second chipcard parameter of the internal reader"};

// The TCL application area (`appl_par`, 80 bytes from 1036; a server keeps
// other parameters there). Its fields below are block offsets.
inline constexpr std::size_t kApplicationAreaOffset = 1036;
inline constexpr std::size_t kApplicationAreaWidth = 80;
inline constexpr BlockField SaveBuffer{"save-buffer", 1036, 2, FieldFormat::Native16, "np_gr: save buffer / 3"};
inline constexpr BlockField TableField{"table-field", 1038, 2, FieldFormat::Native16, "tf_gr: table field / 3"};
inline constexpr BlockField LogicalRecordNumber{"log-record-number", 1040, 1, FieldFormat::Byte,
                                                "logical record number (1)"};
inline constexpr BlockField AcknowledgeTime{"ack-time", 1041, 1, FieldFormat::Byte, "acknowledge time / 2"};
inline constexpr BlockField BmiField88{"bmi-88", 1042, 1, FieldFormat::Byte, "88-byte BMI field (1)"};
inline constexpr BlockField LabelCount{"labels", 1043, 1, FieldFormat::Byte,
                                       "high nibble: (total labels - 512) / 256"};
inline constexpr BlockField TerminalAddress{"terminal-address", 1044, 1, FieldFormat::Byte, "terminal address"};
inline constexpr BlockField ApplicationFlag9{"tcl-flag-9", 1045, 1, FieldFormat::Byte, "third check box (1)"};
inline constexpr BlockField HostLoginMode{"login-mode", 1046, 1, FieldFormat::Byte,
                                          "host login: 0 off, 1 record structure, 2 routing bytes"};
inline constexpr BlockField LoginRecordCharacter{"login-record-char", 1047, 1, FieldFormat::Byte,
                                                 "record-number character of login messages"};
inline constexpr BlockField LoginFormat{"login-format", 1048, 8, FieldFormat::Text, "login formatting text"};
inline constexpr BlockField SimpleAccessPassword{"host-password", 1056, 8, FieldFormat::Secret,
                                                 "host password for simple access"};
inline constexpr BlockField AdministrativePassword{"host-admin-password", 1064, 8, FieldFormat::Secret,
                                                   "host password for administrative access"};
inline constexpr BlockField TclDataKey{"tcl-key", 1072, 16, FieldFormat::Secret, "TCL data key (host encryption)"};
inline constexpr BlockField HostEncryption{"host-encrypt", 1088, 1, FieldFormat::Byte,
                                           "encryption on the host interface (1)"};
inline constexpr BlockField PinKeyMark{"pin-key-mark", 1089, 1, FieldFormat::Byte, "0 once a PIN-code key is set"};
inline constexpr BlockField PinCodeKey{"pin-key", 1090, 32, FieldFormat::Secret, "PIN-code verification key"};
inline constexpr BlockField LastWrite{"last-write", 1236, 4, FieldFormat::Native32,
                                      "time of the last write (seconds since 1970, low 32 bits)"};

} // namespace setup_field

// Every named field, ordered by offset (a field that holds others before them).
std::span<const BlockField> setupFieldMap();
// The runs of records: the IPv4 and IPv6 firewall rules and the channel records.
std::span<const BlockRecordRun> setupRecordRuns();
// The field of a key, or nullptr.
const BlockField* setupFieldByKey(std::string_view key);

} // namespace kestrix

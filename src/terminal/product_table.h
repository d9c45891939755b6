#pragma once

#include <string>
#include <string_view>

namespace kestrix {

// Product codes of the terminal family (`ProductType` of a terminal record).
namespace product {
inline constexpr int None = -1;
inline constexpr int Talmo7000 = 1;
inline constexpr int Talmo7200 = 2;
inline constexpr int Talmo7100 = 3;
inline constexpr int Dcu4 = 4;
inline constexpr int Talmo7400 = 5;
inline constexpr int Dcu8 = 6;
inline constexpr int Dcu4II = 7;
inline constexpr int Talmo7450 = 8;
inline constexpr int Talmo7600 = 9;
inline constexpr int Dcu8eR = 10;
inline constexpr int Dcu8eW = 11;
inline constexpr int Talmo9300 = 12;
inline constexpr int Talmo7105 = 13;
inline constexpr int Dcu40 = 14;
inline constexpr int Talmo7460 = 15;
inline constexpr int Talmo7660 = 16;
inline constexpr int Dcu8iR = 17;
inline constexpr int Dcu8iW = 18;
} // namespace product

// What a terminal runs (`TclKind` of a terminal record).
namespace tcl_kind {
inline constexpr int Unknown = -1;
inline constexpr int Pze = 0;
inline constexpr int Acm = 1;
inline constexpr int Et = 2;
inline constexpr int Server = 3; // "BSM"
inline constexpr int Bde = 4;
inline constexpr int Monitor = 10;
inline constexpr int ServerMonitor = 11;
} // namespace tcl_kind

// Which form of a CPU name is asked for: the long form carries the sub-type
// suffix everywhere; the short form leaves it off for a DCU40 of sub-type 1.
enum class CpuNameForm { Long, Short };

// The product table: for each product code the model text that begins its
// identification line, the display name, the CPU name, the hardware platform
// group and the terminal list's icon index. Model texts are matched as
// prefixes in table order, so a longer model comes before the shorter one it
// begins with ("TALMO DCU8eR" before "TALMO DCU8").
//
// The table does not read replies beyond the model prefix; the kind and its
// token come from the identification line parser.

// The product code whose model text begins the line; product::None when none does.
int productFromIdentLine(std::string_view line);

// The display name of a product run as the given kind; text is the kind
// token of the identification line. "?" for a code without a row.
std::string productDisplayName(int code, int kind, std::string_view text);

// The CPU name ("CPU7460.2"); "?" for a code without a row.
std::string productCpuName(int code, int cpuSubtype, CpuNameForm form);

// The platform group 1..6; -1 for a code without a group.
int productPlatformGroup(int code);

// The terminal list's icon index; 0 for a code without a row.
int productIconIndex(int code, int kind);

} // namespace kestrix

#include "terminal/product_table.h"

#include <array>

namespace kestrix {

namespace {

// The kinds for which a product has its server name and icon.
enum class ServerKinds {
    Never,
    Kind3,     // the server
    Kind3Or11, // the server, also in its monitor
};

// The CPU name's sub-type suffix ".%d".
enum class CpuSuffix {
    None,
    Always,
    NotShortForSubtypeOne, // left off in the short form when the sub-type is 1
};

struct ProductRow {
    int code;
    std::string_view modelPrefix; // empty: the product is never recognised in a reply
    std::string_view name;
    int icon;
    std::string_view cpuName;
    CpuSuffix cpuSuffix;
    int platformGroup;
};

// How the kind changes a product's display name and icon. Products without a
// row here keep their name and icon whatever they run.
struct KindNaming {
    int code;
    std::string_view acmName; // kind 1, when not empty
    int acmIcon;
    ServerKinds serverKinds;
    std::string_view serverName;
    int serverIcon;
    // Otherwise the kind token follows the name after this separator, unless
    // it begins with a digit or equals the plain word.
    std::string_view textSeparator;
    std::string_view plainWord;
};

using namespace product;

// In matching order: a model text that begins with another one comes first.
constexpr std::array<ProductRow, 18> kProducts = {{
    // clang-format off
    // code      model prefix    display name      icon  CPU name    CPU suffix                      group
    {Talmo7000, "TALMO 7000",    "TALMO 7300/7500", 3,  "CPU7000",  CpuSuffix::None,                  1},
    {Talmo7400, "TALMO 7400",    "TALMO 7400",      4,  "CPU7400",  CpuSuffix::None,                  1},
    {Talmo7450, "TALMO 7450",    "TALMO 7450",      5,  "CPU7450",  CpuSuffix::None,                  3},
    {Talmo7600, "TALMO 7600",    "TALMO 7600",      6,  "CPU7450",  CpuSuffix::None,                  3},
    {Talmo7460, "TALMO 7460",    "TALMO 7460",      5,  "CPU7460",  CpuSuffix::Always,                6},
    {Talmo7660, "TALMO 7660",    "TALMO 7660",      6,  "CPU7460",  CpuSuffix::Always,                6},
    {Talmo9300, "TALMO 9300",    "TALMO 9300",      7,  "CPU9300",  CpuSuffix::None,                  5},
    {Talmo7100, "TALMO 7100",    "TALMO 7100",      1,  "CPU7100",  CpuSuffix::None,                  2},
    {Talmo7105, "TALMO 7105",    "TALMO 7105",      1,  "CPU7100",  CpuSuffix::None,                  2},
    {Talmo7200, "TALMO 7200",    "TALMO 7200",      2,  "CPU7200",  CpuSuffix::None,                  2},
    {Dcu8eR,    "TALMO DCU8eR",  "TALMO DCU8e R",   10, "CPU7ETX",  CpuSuffix::None,                  4},
    {Dcu8eW,    "TALMO DCU8eW",  "TALMO DCU8e W",   11, "CPU7ETX",  CpuSuffix::None,                  4},
    {Dcu8,      "TALMO DCU8",    "TALMO DCU8",      10, "CPUDCU8",  CpuSuffix::None,                  1},
    {Dcu4II,    "TALMO DCU4-II", "TALMO DCU4-II",   9,  "CPUDCU4",  CpuSuffix::None,                  2},
    {Dcu40,     "TALMO DCU40",   "TALMO DCU40",     9,  "CPUDCU40", CpuSuffix::NotShortForSubtypeOne, 6},
    {Dcu4,      "TALMO DCU4",    "TALMO DCU4",      9,  "CPUDCU4",  CpuSuffix::None,                  2},
    {Dcu8iR,    "",              "TALMO DCU8i R",   10, "CPUDCU8I", CpuSuffix::None,                  -1},
    {Dcu8iW,    "",              "TALMO DCU8i W",   11, "CPUDCU8I", CpuSuffix::None,                  -1},
    // clang-format on
}};

constexpr std::array<KindNaming, 4> kKindNamings = {{
    // clang-format off
    // code      ACM name          icon  server kinds             server name          icon  sep  plain word
    {Talmo7000, "TALMO 7000 ACM", 8,    ServerKinds::Kind3,     "TALMO 7000 Server", 12,  "",  ""},
    {Talmo7450, "",               0,    ServerKinds::Kind3Or11, "TALMO 7450 Server", 13,  "-", "MONITOR"},
    {Talmo7460, "",               0,    ServerKinds::Kind3Or11, "TALMO 7460 Server", 13,  "-", ""},
    {Talmo9300, "",               0,    ServerKinds::Never,     "",                  0,   " ", "PZE"},
    // clang-format on
}};

const ProductRow* findRow(int code) {
    for (const ProductRow& row : kProducts)
        if (row.code == code)
            return &row;
    return nullptr;
}

const KindNaming* findKindNaming(int code) {
    for (const KindNaming& naming : kKindNamings)
        if (naming.code == code)
            return &naming;
    return nullptr;
}

bool runsAsServer(const KindNaming& naming, int kind) {
    switch (naming.serverKinds) {
    case ServerKinds::Never:
        return false;
    case ServerKinds::Kind3:
        return kind == tcl_kind::Server;
    case ServerKinds::Kind3Or11:
        return kind == tcl_kind::Server || kind == tcl_kind::ServerMonitor;
    }
    return false;
}

bool runsAsAcm(const KindNaming& naming, int kind) {
    return !naming.acmName.empty() && kind == tcl_kind::Acm;
}

bool keepsPlainName(const KindNaming& naming, std::string_view text) {
    if (naming.textSeparator.empty())
        return true;
    if (!text.empty() && text.front() >= '0' && text.front() <= '9')
        return true;
    return !naming.plainWord.empty() && text == naming.plainWord;
}

} // namespace

int productFromIdentLine(std::string_view line) {
    for (const ProductRow& row : kProducts)
        if (!row.modelPrefix.empty() && line.starts_with(row.modelPrefix))
            return row.code;
    return product::None;
}

std::string productDisplayName(int code, int kind, std::string_view text) {
    const ProductRow* row = findRow(code);
    if (row == nullptr)
        return "?";
    const KindNaming* naming = findKindNaming(code);
    if (naming == nullptr)
        return std::string(row->name);
    if (runsAsServer(*naming, kind))
        return std::string(naming->serverName);
    if (runsAsAcm(*naming, kind))
        return std::string(naming->acmName);
    if (keepsPlainName(*naming, text))
        return std::string(row->name);
    return std::string(row->name) + std::string(naming->textSeparator) + std::string(text);
}

std::string productCpuName(int code, int cpuSubtype, CpuNameForm form) {
    const ProductRow* row = findRow(code);
    if (row == nullptr)
        return "?";
    std::string name(row->cpuName);
    bool withSuffix =
        row->cpuSuffix == CpuSuffix::Always || (row->cpuSuffix == CpuSuffix::NotShortForSubtypeOne &&
                                                !(form == CpuNameForm::Short && cpuSubtype == 1));
    if (withSuffix)
        name += "." + std::to_string(cpuSubtype);
    return name;
}

int productPlatformGroup(int code) {
    const ProductRow* row = findRow(code);
    return row == nullptr ? -1 : row->platformGroup;
}

int productIconIndex(int code, int kind) {
    const ProductRow* row = findRow(code);
    if (row == nullptr)
        return 0;
    const KindNaming* naming = findKindNaming(code);
    if (naming != nullptr && runsAsServer(*naming, kind))
        return naming->serverIcon;
    if (naming != nullptr && runsAsAcm(*naming, kind))
        return naming->acmIcon;
    return row->icon;
}

} // namespace kestrix

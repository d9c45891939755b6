// kestrix-cli config info and convert on local files: what they print, their
// exit codes, and that nothing is written on failure.
#include "config/blocks.h"
#include "config/secret_fields.h"
#include "support/data_file.h"

#include <gtest/gtest.h>

#include <sstream>

namespace kestrix {
namespace {

using test::CliRun;

// A "6.20" block as a terminal keeps it: the secret fields enciphered for a
// TCL terminal, a right CRC, and the values config info shows below.
std::vector<std::uint8_t> namedBlock620() {
    const int index = test::versionIndex("6.20");
    UserParamBlock block = test::patternBlock(index);
    test::putItems(block,
                   "12=0500000a 16=0100000a 20=00ffffff 24=20010db8+11*00+05 40=fe80+13*00+01 56=400105 "
                   "60=6712 64='talmo-100101'+8*00 88=10*00+ffff0a000001 146=b90b01 824=02 826=c4ff "
                   "828='M3.5.0/2'+4*00 840='10270202402'+00 974=0207 1236=c02e3266 794='abc123' "
                   "800='PASSWD12' 808='pw3'+5*00 1056='simple1'+00 1064='admin123' 1072=00..0f");
    cryptSecretFields(block, index, BlockOwner{});
    return test::firstBytes(test::withCrc(block, index), 1242);
}

class ConfigCli : public ::testing::Test {
protected:
    void SetUp() override { directory.write("good.cfg", namedBlock620()); }
    CliRun run(const std::vector<std::string>& words) { return test::runCli(directory, words); }

    test::ScratchDirectory directory;
};

// The named block as info shows it: framing and named fields, then the
// secrets only when asked (a server's TCL area holds none).
TEST_F(ConfigCli, InfoShowsTheNamedFieldsAndOnlyTheAskedSecrets) {
    const std::string fields = R"(file              good.cfg
version           6.20
length            1242 bytes
byte order        little-endian
CRC               0x36f0, right
accepted          yes
IPv4 address      10.0.0.5
IPv4 router       10.0.0.1
IPv4 net mask     255.255.255.0
IPv6 address      2001:db8::5
IPv6 router       fe80::1
IPv6 prefix       64
IP stack          IPv4 and IPv6
link speed        100Base-TX full duplex
maintenance group 4711
DHCP host name    'talmo-100101'
host address A    10.0.0.1
TCP port          3001
firewall          on
summer time       automatic change-over
summer time start 'M3.5.0/2' (POSIX rule)
summer time end   '10270202402' (2024-10-27 02:00, weekday 0)
GMT deviation     -60 minutes (east of Greenwich)
internal reader   serial Hitag, ID/SN
last write        2024-05-01 12:00:00 UTC
)";
    const std::string setup =
        "setup password 1  'abc123'\nsetup password 2  'PASSWD12'\nsetup password 3  'pw3'\n";
    const std::pair<std::vector<std::string>, std::string> runs[] = {
        {{"config", "info", "good.cfg"}, fields + "secrets           hidden (--show-secrets shows them)\n"},
        {{"config", "info", "good.cfg", "--show-secrets"},
         fields + setup +
             "simple password   'simple1'\nadmin password    'admin123'\n"
             "TCL data key      000102030405060708090a0b0c0d0e0f\n"},
        {{"config", "info", "good.cfg", "--show-secrets", "--server"},
         fields + setup + "TCL area          a server's: no TCL passwords or data key\n"},
    };
    for (const auto& [words, expected] : runs) {
        const CliRun info = run(words);
        EXPECT_EQ(info.exitCode, 0);
        EXPECT_EQ(info.output, expected);
    }
}

// The rows of cli_config.tsv; an existing out.cfg stays as it was.
TEST_F(ConfigCli, RunsOfTheTableAndFailuresWriteNothing) {
    std::vector<std::uint8_t> wrongCrc = namedBlock620(), unknown = wrongCrc, cut = wrongCrc;
    wrongCrc[1241] ^= 1;
    unknown[3] = '2';
    cut.resize(1000);
    std::vector<std::uint8_t> longer = test::patternFile(test::versionIndex("6.10"));
    longer.resize(1200, 0xAA);
    std::vector<std::uint8_t> bigEndian = test::patternFile(test::versionIndex("6.21"));
    bigEndian[1240] ^= 1;
    for (const auto& [name, bytes] : {std::pair{"wrong-crc.cfg", wrongCrc},
                                      {"unknown.cfg", unknown},
                                      {"cut.cfg", cut},
                                      {"longer.cfg", longer},
                                      {"big-endian.cfg", bigEndian},
                                      {"older.cfg", test::patternFile(test::versionIndex("5.93"))},
                                      {"out.cfg", std::vector<std::uint8_t>(100, 0x42)}})
        directory.write(name, bytes);
    const std::vector<std::string> files = directory.entries();
    for (const test::DataRow& row : test::readDataFile(KESTRIX_CONFIG_TEST_DATA "/cli_config.tsv")) {
        std::vector<std::string> words;
        std::istringstream text(row.fields.at(0));
        for (std::string word; text >> word;)
            words.push_back(word);
        const CliRun result = run(words);
        EXPECT_EQ(result.exitCode, std::stoi(row.fields.at(1))) << "line " << row.line << "\n"
                                                                << result.output;
        for (std::size_t field = 2; field < row.fields.size(); ++field)
            EXPECT_NE(result.output.find(row.fields[field]), std::string::npos)
                << "line " << row.line << ": " << row.fields[field] << "\n"
                << result.output;
        EXPECT_EQ(result.output.find("\nusage: kestrix-cli ") != std::string::npos, result.exitCode == 2)
            << result.output;
    }
    EXPECT_EQ(directory.bytes("out.cfg"), std::vector<std::uint8_t>(100, 0x42));
    EXPECT_EQ(directory.entries(), files);
}

// good.cfg converted down to "6.10" for a TCL terminal is a block the program
// accepts, with the parameters and secrets where the "6.10" layout has them,
// enciphered again.
TEST_F(ConfigCli, ConvertWritesAValidBlockOfTheTargetVersion) {
    const auto convert = [&](const std::string& from, const std::string& version, const std::string& to) {
        return run({"config", "convert", from, "--to", version, to, "--product", "15", "--kind", "0",
                    "--serial", "100101", "--firmware", "6.20"});
    };
    const CliRun down = convert("good.cfg", "6.10", "out.cfg");
    EXPECT_EQ(down.exitCode, 0) << down.output;
    EXPECT_EQ(down.output, "out.cfg: version 6.20 converted to 6.10, 1122 bytes\n");
    const CliRun info = run({"config", "info", "out.cfg", "--show-secrets"});
    EXPECT_EQ(info.exitCode, 0) << info.output;
    for (const char* expected :
         {"version           6.10\n", "length            1122 bytes\n", "maintenance group 4711\n",
          "setup password 2  'PASSWD12'\n", "admin password    'admin123'\n",
          "TCL data key      000102030405060708090a0b0c0d0e0f\n"})
        EXPECT_NE(info.output.find(expected), std::string::npos) << expected << "\n" << info.output;
}

// A block of the version with the items over zeros, its secret fields
// enciphered for a TCL terminal, with its CRC.
std::vector<std::uint8_t> blockWith(std::string_view version, const std::string& items) {
    const int index = test::versionIndex(version);
    UserParamBlock block = test::emptyBlock(index);
    test::putItems(block, items);
    cryptSecretFields(block, index, BlockOwner{});
    return test::firstBytes(test::withCrc(block, index), test::versionLength(index));
}

// config diff on pairs of blocks: the fields named by the map, secrets masked
// unless asked, unnamed bytes by offset; an older block converted first, a
// big-endian one compared by its values.
TEST_F(ConfigCli, DiffNamesEachDifferingFieldAndExitsByTheResult) {
    const std::string base = "60=6712 146=b90b 794='111111' ";
    directory.write("a.cfg", blockWith("6.20", base));
    directory.write("broken.cfg", std::string(1242, 'x'));
    // The same values from a big-endian terminal.
    directory.write("big.cfg", blockWith("6.21", "60=1267 146=0bb9 794='111111'"));
    const int index610 = test::versionIndex("6.10");
    UserParamBlock older = test::emptyBlock(index610);
    test::putItems(older, base);
    const UserParamBlock newer = test::converted(older, index610, test::versionIndex("6.20"), BlockOwner{});
    directory.write("older.cfg", blockWith("6.10", base));
    directory.write("newer.cfg", blockWith("6.20", "0=" + test::toHex(std::span(newer).first(1240))));
    const struct {
        std::string items; // of b.cfg, after those of a.cfg
        std::vector<std::string> words;
        int exitCode;
        std::string output;
    } cases[] = {
        {"", {"a.cfg", "b.cfg"}, 0, ""},
        {"12=05004d0a 60=6812 146=ba0b",
         {"a.cfg", "b.cfg"},
         1,
         "ipv4-address: 0.0.0.0 -> 10.77.0.5\ngroup: 4711 -> 4712\nhost-port: 3001 -> 3002\n"},
        {"794='222222' 925=01 960=02",
         {"a.cfg", "b.cfg"},
         1,
         "password1: (hidden) -> (hidden)\nlbus1-key: (hidden) -> (hidden)\nsecret-area: (hidden) -> "
         "(hidden)\n"},
        {"794='222222' 925=01",
         {"b.cfg", "a.cfg", "--show-secrets"},
         1,
         "password1: '222222' -> '111111'\nlbus1-key: 00000000000100000000000000000000 -> ''\n"},
        {"396=0001 990=ff01 1239=01",
         {"a.cfg", "b.cfg"},
         1,
         "channel[2].flags: 0 -> 256\noffset 990-991: 0000 -> ff01\nlast-write: 0 -> 16777216\n"},
        {"", {"older.cfg", "newer.cfg"}, 0, ""},
        {"", {"a.cfg", "big.cfg"}, 1, "version: '6.20' -> '6.21'\n"},
        {"", {"a.cfg"}, 2, "kestrix-cli: config diff needs A.cfg and B.cfg\nusage: kestrix-cli config diff"},
        {"", {"a.cfg", "missing.cfg"}, 2, "kestrix-cli: cannot read missing.cfg"},
        {"", {"broken.cfg", "a.cfg"}, 2, "kestrix-cli: broken.cfg is no block the program accepts"},
    };
    for (const auto& entry : cases) {
        SCOPED_TRACE(entry.items);
        directory.write("b.cfg", blockWith("6.20", base + entry.items));
        std::vector<std::string> words = {"config", "diff"};
        words.insert(words.end(), entry.words.begin(), entry.words.end());
        const CliRun diff = run(words);
        EXPECT_EQ(diff.exitCode, entry.exitCode) << diff.output;
        if (entry.exitCode == 2)
            EXPECT_TRUE(diff.output.starts_with(entry.output)) << diff.output;
        else
            EXPECT_EQ(diff.output, entry.output);
    }
}

} // namespace
} // namespace kestrix

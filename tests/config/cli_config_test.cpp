#include "block_files.h"
#include "cli_run.h"
#include "config/secret_fields.h"
#include "config/user_param.h"

#include <gtest/gtest.h>

#include <cstring>

// kestrix-cli config info and convert on local files: what they print, their
// exit codes, and that nothing is written on failure.

namespace kestrix {
namespace {

using test::CliRun;
using test::ScratchDirectory;

void put(UserParamBlock& block, std::size_t offset, std::initializer_list<std::uint8_t> bytes) {
    std::copy(bytes.begin(), bytes.end(), block.begin() + static_cast<std::ptrdiff_t>(offset));
}

void putText(UserParamBlock& block, std::size_t offset, std::size_t width, const char* text) {
    std::fill_n(block.begin() + static_cast<std::ptrdiff_t>(offset), width, 0);
    std::memcpy(block.data() + offset, text, std::min(width, std::strlen(text)));
}

// A "6.20" block as a terminal keeps it: the secret fields enciphered for a
// TCL terminal, a right CRC, and the values config info shows below.
UserParamBlock namedBlock620() {
    const int index = test::versionIndex("6.20");
    UserParamBlock block = test::patternBlock(index, 5);
    put(block, 12, {5, 0, 0, 10});
    put(block, 16, {1, 0, 0, 10});
    put(block, 20, {0, 255, 255, 255});
    put(block, 24, {0x20, 0x01, 0x0d, 0xb8, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 5});
    put(block, 40, {0xfe, 0x80, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1});
    put(block, 56, {64, 1, 5});
    put(block, 60, {0x67, 0x12});
    putText(block, 64, 20, "talmo-100101");
    put(block, 88, {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0xff, 0xff, 10, 0, 0, 1});
    put(block, 146, {0xb9, 0x0b, 1});
    put(block, 824, {2});
    put(block, 826, {0xc4, 0xff});
    putText(block, 828, 12, "M3.5.0/2");
    putText(block, 840, 12, "10270202402");
    put(block, 974, {2, 7});
    put(block, 1236, {0xc0, 0x2e, 0x32, 0x66}); // 1714564800
    putText(block, 794, 6, "abc123");
    putText(block, 800, 8, "PASSWD12");
    putText(block, 808, 8, "pw3");
    putText(block, 1056, 8, "simple1");
    putText(block, 1064, 8, "admin123");
    for (std::uint8_t offset = 0; offset < 16; ++offset)
        block[1072 + offset] = offset;
    cryptSecretFields(block, index, BlockOwner{});
    test::storeCrc(block, index);
    return block;
}

bool contains(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
}

class ConfigCli : public ::testing::Test {
protected:
    void SetUp() override { test::writeBytes(directory.file("good.cfg"), named()); }
    static std::vector<std::uint8_t> named() { return test::firstBytes(namedBlock620(), 1242); }
    CliRun run(const std::vector<std::string>& words) { return test::runCli(directory, words); }

    ScratchDirectory directory;
};

// The named block as info shows it: framing and named fields, then the
// secrets only when asked (a server's TCL area holds none).
TEST_F(ConfigCli, InfoShowsTheNamedFieldsAndOnlyTheAskedSecrets) {
    const std::string fields = R"(file              good.cfg
version           6.20
length            1242 bytes
byte order        little-endian
CRC               0x201b, right
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
        {{}, fields + "secrets           hidden (--show-secrets shows them)\n"},
        {{"--show-secrets"},
         fields + setup +
             "simple password   'simple1'\nadmin password    'admin123'\n"
             "TCL data key      000102030405060708090a0b0c0d0e0f\n"},
        {{"--show-secrets", "--server"},
         fields + setup + "TCL area          a server's: no TCL passwords or data key\n"},
    };
    for (const auto& [options, expected] : runs) {
        std::vector<std::string> words = {"config", "info", "good.cfg"};
        words.insert(words.end(), options.begin(), options.end());
        const CliRun info = run(words);
        EXPECT_EQ(info.exitCode, 0);
        EXPECT_EQ(info.output, expected);
    }
}

// The exit code says whether the program accepts the block.
TEST_F(ConfigCli, InfoSaysWhetherTheProgramAcceptsTheBlock) {
    std::vector<std::uint8_t> wrongCrc = named();
    wrongCrc[1241] ^= 1;
    std::vector<std::uint8_t> unknown = named();
    unknown[3] = '2';
    std::vector<std::uint8_t> cut = named();
    cut.resize(1000);
    std::vector<std::uint8_t> longer = test::patternFile(test::versionIndex("6.10"));
    longer.resize(1200, 0xAA);
    std::vector<std::uint8_t> bigEndian = test::patternFile(test::versionIndex("6.21"));
    bigEndian[1240] ^= 1;
    const std::vector<std::uint8_t> older = test::patternFile(test::versionIndex("5.93"));
    struct Case {
        const std::vector<std::uint8_t>& bytes;
        int exitCode;
        std::vector<std::string> shown;
    };
    const Case cases[] = {
        {wrongCrc, 1, {", wrong (the bytes give 0x", "accepted          no, the program refuses"}},
        {unknown, 1, {"version           '6.22' is no known version", "accepted          no"}},
        {cut,
         1,
         {"length            1000 bytes, the version's length is 1242",
          "missing: the file ends before byte 1240"}},
        {longer,
         0,
         {"length            1200 bytes, the version's length is 1122", ", right\n",
          "accepted          yes"}},
        {bigEndian,
         0,
         {"byte order        big-endian", "not checked for a big-endian block", "accepted          yes"}},
        {older, 0, {"version           5.93", "fields            named from version 6.00 on"}},
    };
    for (const Case& c : cases) {
        test::writeBytes(directory.file("case.cfg"), c.bytes);
        const CliRun info = run({"config", "info", "case.cfg"});
        EXPECT_EQ(info.exitCode, c.exitCode) << info.output;
        for (const std::string& expected : c.shown)
            EXPECT_TRUE(contains(info.output, expected)) << expected << "\n" << info.output;
    }
}

// config convert of good.cfg into a file, for a TCL terminal given by its properties.
std::vector<std::string> convertWords(const std::string& input, const std::string& version,
                                      const std::string& output) {
    return {"config", "convert", input, "--to",     version,  output,       "--product",
            "15",     "--kind",  "0",   "--serial", "100101", "--firmware", "6.20"};
}

// good.cfg converted down to "6.10" is a block the program accepts, with the
// parameters and secrets where the "6.10" layout has them, enciphered again;
// converted back up, it shows them as good.cfg does.
TEST_F(ConfigCli, ConvertWritesAValidBlockOfTheTargetVersion) {
    const CliRun down = run(convertWords("good.cfg", "6.10", "out.cfg"));
    EXPECT_EQ(down.exitCode, 0) << down.output;
    EXPECT_EQ(down.output, "out.cfg: version 6.20 converted to 6.10, 1122 bytes\n");
    const CliRun info = run({"config", "info", "out.cfg", "--show-secrets"});
    EXPECT_EQ(info.exitCode, 0) << info.output;
    for (const char* expected :
         {"version           6.10\n", "length            1122 bytes\n", "maintenance group 4711\n",
          "setup password 2  'PASSWD12'\n", "admin password    'admin123'\n",
          "TCL data key      000102030405060708090a0b0c0d0e0f\n"})
        EXPECT_TRUE(contains(info.output, expected)) << expected << "\n" << info.output;

    EXPECT_EQ(run(convertWords("out.cfg", "6.20", "back.cfg")).exitCode, 0);
    const CliRun back = run({"config", "info", "back.cfg", "--show-secrets"});
    const CliRun good = run({"config", "info", "good.cfg", "--show-secrets"});
    // Only the CRC differs: bytes that "6.10" does not hold are lost.
    EXPECT_EQ(back.output.substr(back.output.find("accepted")),
              good.output.substr(good.output.find("accepted")));
}

struct FailureCase {
    std::vector<std::string> words;
    int exitCode; // 2: a usage error
    std::string message;
};

// A wrong command line is a usage error (exit code 2); a block the program
// refuses or cannot write fails (exit code 1). Neither writes anything: an
// existing out.cfg stays as it was.
TEST_F(ConfigCli, FailuresWriteNothing) {
    const std::vector<std::uint8_t> old(100, 0x42);
    test::writeBytes(directory.file("out.cfg"), old);
    std::vector<std::uint8_t> bad = named();
    bad[500] ^= 1;
    test::writeBytes(directory.file("bad.cfg"), bad);
    const std::vector<std::string> noTerminal = {"config", "convert", "good.cfg", "--to", "6.10", "out.cfg"};
    const auto with = [&](std::vector<std::string> words, const std::vector<std::string>& extra) {
        words.insert(words.end(), extra.begin(), extra.end());
        return words;
    };
    const auto changed = [](std::vector<std::string> words, std::size_t at, const std::string& word) {
        words.at(at) = word;
        return words;
    };
    const std::vector<std::string> good = convertWords("good.cfg", "6.10", "out.cfg");
    const FailureCase cases[] = {
        {noTerminal, 2,
         "kestrix-cli: the conversion needs the terminal the block belongs to: --terminal TERMINAL, or "
         "--product CODE --kind KIND --serial SN --firmware VERSION\n"
         "usage: kestrix-cli [--group N] config convert"},
        {with(noTerminal, {"--product", "15"}), 2, "missing: --kind --serial --firmware\n"},
        {with(noTerminal, {"--terminal", "10.0.0.5", "--serial", "1"}), 2,
         "give either --terminal or the terminal's properties"},
        {changed(good, 4, "6.22"), 2, "unknown version 6.22"},
        {{"config", "convert", "good.cfg", "out.cfg", "--terminal", "x"}, 2, "needs --to VERSION"},
        {{"config", "convert", "good.cfg", "--to", "6.10", "--terminal", "x"}, 2, "needs IN.cfg and OUT.cfg"},
        {changed(good, 9, "7"), 2, "--kind must be"},
        {changed(good, 7, "99"), 2, "--product must be"},
        {changed(good, 13, "6.2"), 2, "--firmware must be"},
        {changed(good, 11, "a;b"), 2, "--serial must be"},
        {with(good, {"--force"}), 2, "unknown option --force"},
        {changed(good, 4, "6.21"), 1,
         "kestrix-cli: good.cfg is a little-endian block and 6.21 a big-endian version: a conversion keeps "
         "the byte order; nothing written\n"},
        {changed(good, 2, "bad.cfg"), 1, "kestrix-cli: bad.cfg is no block the program accepts"},
        {changed(good, 5, "no-folder/out.cfg"), 1, "kestrix-cli: cannot create a file beside no-folder/out.cfg: No such file or directory; nothing written\n"},
        {{"config", "info"}, 2, "config info needs one FILE.cfg"},
        {{"config", "info", "good.cfg", "--secrets"}, 2, "unknown option --secrets"},
        {{"config", "info", "missing.cfg"}, 1, "kestrix-cli: cannot read missing.cfg: "},
    };
    for (const FailureCase& c : cases) {
        const CliRun failed = run(c.words);
        EXPECT_EQ(failed.exitCode, c.exitCode) << c.message << "\n" << failed.output;
        EXPECT_TRUE(contains(failed.output, c.message)) << c.message << "\n" << failed.output;
        EXPECT_EQ(contains(failed.output, "\nusage: kestrix-cli "), c.exitCode == 2) << failed.output;
    }
    EXPECT_EQ(test::readBytes(directory.file("out.cfg")), old);
    EXPECT_EQ(directory.entries(), (std::vector<std::string>{"bad.cfg", "good.cfg", "out.cfg"}));
}

} // namespace
} // namespace kestrix

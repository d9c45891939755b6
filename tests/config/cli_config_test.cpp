#include "block_files.h"
#include "cli_run.h"
#include "config/user_param.h"

#include <gtest/gtest.h>

// kestrix-cli config info and convert on local files: what they print, their
// exit codes, and that nothing is written on failure.

namespace kestrix {
namespace {

using test::CliRun;
using test::firstBytes;
using test::ScratchDirectory;

bool contains(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
}

class ConfigCli : public ::testing::Test {
protected:
    void SetUp() override {
        test::writeBytes(directory.file("good.cfg"), firstBytes(test::namedBlock620(), 1242));
    }
    CliRun run(const std::vector<std::string>& words) { return test::runCli(directory, words); }

    ScratchDirectory directory;
};

TEST_F(ConfigCli, InfoShowsTheNamedFieldsAndNoSecrets) {
    const CliRun info = run({"config", "info", "good.cfg"});
    EXPECT_EQ(info.exitCode, 0) << info.output;
    for (const char* expected : {"version           6.20\n",
                                 "length            1242 bytes\n",
                                 "byte order        little-endian\n",
                                 ", right\n",
                                 "accepted          yes\n",
                                 "IPv4 address      10.0.0.5\n",
                                 "IPv4 router       10.0.0.1\n",
                                 "IPv4 net mask     255.255.255.0\n",
                                 "IPv6 address      2001:db8::5\n",
                                 "IPv6 router       fe80::1\n",
                                 "IPv6 prefix       64\n",
                                 "IP stack          IPv4 and IPv6\n",
                                 "link speed        100Base-TX full duplex\n",
                                 "maintenance group 4711\n",
                                 "DHCP host name    'talmo-100101'\n",
                                 "host address A    10.0.0.1\n",
                                 "TCP port          3001\n",
                                 "firewall          on\n",
                                 "summer time       automatic change-over\n",
                                 "summer time start 'M3.5.0/2' (POSIX rule)\n",
                                 "summer time end   '10270202402' (2024-10-27 02:00, weekday 0)\n",
                                 "GMT deviation     -60 minutes (east of Greenwich)\n",
                                 "internal reader   serial Hitag, ID/SN\n",
                                 "last write        2024-05-01 12:00:00 UTC\n",
                                 "secrets           hidden"})
        EXPECT_TRUE(contains(info.output, expected)) << expected << "\n" << info.output;
    for (const char* secret : {"abc123", "PASSWD12", "simple1", "admin123", "000102030405", "password"})
        EXPECT_FALSE(contains(info.output, secret)) << secret;
}

TEST_F(ConfigCli, InfoShowsTheSecretsOnlyWhenAsked) {
    const CliRun info = run({"config", "info", "--show-secrets", "good.cfg"});
    EXPECT_EQ(info.exitCode, 0) << info.output;
    for (const char* expected :
         {"setup password 1  'abc123'\n", "setup password 2  'PASSWD12'\n", "setup password 3  'pw3'\n",
          "simple password   'simple1'\n", "admin password    'admin123'\n",
          "TCL data key      000102030405060708090a0b0c0d0e0f\n"})
        EXPECT_TRUE(contains(info.output, expected)) << expected << "\n" << info.output;
    // Read as a server's block, the TCL area is not deciphered and not shown.
    const CliRun server = run({"config", "info", "good.cfg", "--show-secrets", "--server"});
    EXPECT_TRUE(contains(server.output, "setup password 1  'abc123'\n")) << server.output;
    EXPECT_TRUE(contains(server.output, "TCL area          a server's")) << server.output;
    EXPECT_FALSE(contains(server.output, "simple password")) << server.output;
}

struct InfoCase {
    const char* name;
    std::function<std::vector<std::uint8_t>()> bytes; // the file; none: no file
    int exitCode;
    std::vector<std::string> expected;
};

std::vector<std::uint8_t> named() {
    return firstBytes(test::namedBlock620(), 1242);
}

TEST_F(ConfigCli, InfoExitCodeSaysWhetherTheProgramAcceptsTheBlock) {
    const InfoCase cases[] = {
        {"wrong CRC",
         [] {
             auto b = named();
             b[1241] ^= 1;
             return b;
         },
         1,
         {"CRC               0x", ", wrong (the bytes give 0x", "accepted          no, the program refuses"}},
        {"unknown version",
         [] {
             auto b = named();
             b[3] = '2';
             return b;
         },
         1,
         {"version           '6.22' is no known version", "accepted          no"}},
        {"cut short",
         [] {
             auto b = named();
             b.resize(1000);
             return b;
         },
         1,
         {"length            1000 bytes, the version's length is 1242",
          "missing: the file ends before byte 1240"}},
        {"longer, CRC at the version's length",
         [] {
             auto b = firstBytes(test::patternBlock(test::versionIndex("6.10")), 1122);
             b.resize(1200, 0xAA);
             return b;
         },
         0,
         {"length            1200 bytes, the version's length is 1122", ", right\n",
          "accepted          yes"}},
        {"big-endian with a wrong CRC",
         [] {
             auto b = firstBytes(test::patternBlock(test::versionIndex("6.21")), 1242);
             b[1240] ^= 1;
             return b;
         },
         0,
         {"byte order        big-endian", "not checked for a big-endian block", "accepted          yes"}},
        {"older layout",
         [] { return firstBytes(test::patternBlock(test::versionIndex("5.93")), 826); },
         0,
         {"version           5.93", "fields            named from version 6.00 on"}},
    };
    for (const InfoCase& c : cases) {
        test::writeBytes(directory.file("case.cfg"), c.bytes());
        const CliRun info = run({"config", "info", "case.cfg"});
        EXPECT_EQ(info.exitCode, c.exitCode) << c.name << "\n" << info.output;
        for (const std::string& expected : c.expected)
            EXPECT_TRUE(contains(info.output, expected)) << c.name << ": " << expected << "\n" << info.output;
    }
    const CliRun missing = run({"config", "info", "missing.cfg"});
    EXPECT_EQ(missing.exitCode, 1);
    EXPECT_TRUE(contains(missing.output, "kestrix-cli: cannot read missing.cfg: ")) << missing.output;
    EXPECT_EQ(run({"config", "info"}).exitCode, 2);
    EXPECT_EQ(run({"config", "info", "good.cfg", "--secrets"}).exitCode, 2);
}

struct UsageCase {
    std::vector<std::string> words;
    std::string message;
};

TEST_F(ConfigCli, ConvertRefusesAnIncompleteCommandLine) {
    const std::vector<std::string> base = {"config", "convert", "good.cfg", "--to", "6.10", "out.cfg"};
    const auto with = [&](std::vector<std::string> extra) {
        std::vector<std::string> words = base;
        words.insert(words.end(), extra.begin(), extra.end());
        return words;
    };
    const UsageCase cases[] = {
        {base, "kestrix-cli: the conversion needs the terminal the block belongs to: --terminal TERMINAL, or "
               "--product CODE --kind KIND --serial SN --firmware VERSION\n"},
        {with({"--product", "15"}), "missing: --kind --serial --firmware\n"},
        {with({"--terminal", "10.0.0.5", "--serial", "1"}),
         "give either --terminal or the terminal's properties"},
        {{"config", "convert", "good.cfg", "--to", "6.22", "out.cfg", "--terminal", "x"},
         "unknown version 6.22"},
        {{"config", "convert", "good.cfg", "out.cfg", "--terminal", "x"}, "needs --to VERSION"},
        {{"config", "convert", "good.cfg", "--to", "6.10", "--terminal", "x"}, "needs IN.cfg and OUT.cfg"},
        {with({"--product", "15", "--kind", "7", "--serial", "100101", "--firmware", "6.20"}),
         "--kind must be"},
        {with({"--product", "99", "--kind", "0", "--serial", "100101", "--firmware", "6.20"}),
         "--product must be"},
        {with({"--product", "15", "--kind", "0", "--serial", "100101", "--firmware", "6.2"}),
         "--firmware must be"},
        {with({"--product", "15", "--kind", "0", "--serial", "a;b", "--firmware", "6.20"}),
         "--serial must be"},
        {with({"--force"}), "unknown option --force"},
    };
    for (const UsageCase& c : cases) {
        const CliRun convert = run(c.words);
        EXPECT_EQ(convert.exitCode, 2) << c.message << "\n" << convert.output;
        EXPECT_TRUE(contains(convert.output, c.message)) << c.message << "\n" << convert.output;
        EXPECT_TRUE(contains(convert.output, "usage: kestrix-cli [--group N] config convert"))
            << convert.output;
    }
    EXPECT_EQ(directory.entries(), (std::vector<std::string>{"good.cfg"}));
}

const std::vector<std::string> kTclTerminal = {"--product", "15",     "--kind",     "0",
                                               "--serial",  "100101", "--firmware", "6.20"};

std::vector<std::string> convertWords(const std::string& input, const std::string& version,
                                      const std::string& output) {
    std::vector<std::string> words = {"config", "convert", input, "--to", version, output};
    words.insert(words.end(), kTclTerminal.begin(), kTclTerminal.end());
    return words;
}

// The block of good.cfg, converted down to "6.10", keeps its parameters and
// secrets where the "6.10" layout has them, enciphered again and with a right CRC.
TEST_F(ConfigCli, ConvertWritesAValidBlockOfTheTargetVersion) {
    const CliRun convert = run(convertWords("good.cfg", "6.10", "out.cfg"));
    EXPECT_EQ(convert.exitCode, 0) << convert.output;
    EXPECT_TRUE(contains(convert.output, "out.cfg: version 6.20 converted to 6.10, 1122 bytes"))
        << convert.output;
    UserParam param;
    ASSERT_TRUE(param.getFileUserParam(directory.file("out.cfg"), BlockOwner{}));
    EXPECT_EQ(param.actualVersionIndex(), test::versionIndex("6.10"));
    EXPECT_EQ(test::readBytes(directory.file("out.cfg")).size(), 1122u);
    EXPECT_EQ(param.getPassword(1), "abc123");
    EXPECT_EQ(param.getPassword(2), "PASSWD12");
    std::array<std::uint8_t, 16> key{};
    ASSERT_TRUE(param.getDataKey(key));
    EXPECT_EQ(key[15], 15);
    EXPECT_EQ(param.block()[60], 0x67);
    EXPECT_EQ(param.block()[61], 0x12);

    // And back up again to the newest version: a valid block once more.
    EXPECT_EQ(run(convertWords("out.cfg", "6.20", "back.cfg")).exitCode, 0);
    const CliRun info = run({"config", "info", "back.cfg", "--show-secrets"});
    EXPECT_EQ(info.exitCode, 0) << info.output;
    EXPECT_TRUE(contains(info.output, "admin password    'admin123'")) << info.output;
}

TEST_F(ConfigCli, ConvertWritesNothingOnFailure) {
    const std::vector<std::uint8_t> old(100, 0x42);
    test::writeBytes(directory.file("out.cfg"), old);

    // Another byte order.
    CliRun convert = run(convertWords("good.cfg", "6.21", "out.cfg"));
    EXPECT_EQ(convert.exitCode, 1) << convert.output;
    EXPECT_TRUE(contains(convert.output,
                         "kestrix-cli: good.cfg is a little-endian block and 6.21 a big-endian "
                         "version: a conversion keeps the byte order; nothing written\n"))
        << convert.output;

    // A block the program refuses.
    auto bad = firstBytes(test::namedBlock620(), 1242);
    bad[500] ^= 1;
    test::writeBytes(directory.file("bad.cfg"), bad);
    convert = run(convertWords("bad.cfg", "6.10", "out.cfg"));
    EXPECT_EQ(convert.exitCode, 1) << convert.output;
    EXPECT_TRUE(contains(convert.output, "kestrix-cli: bad.cfg is no block the program accepts"))
        << convert.output;

    // A place that cannot be written.
    convert = run(convertWords("good.cfg", "6.10", "no-folder/out.cfg"));
    EXPECT_EQ(convert.exitCode, 1) << convert.output;
    EXPECT_TRUE(contains(convert.output, "kestrix-cli: cannot write no-folder/out.cfg\n")) << convert.output;

    EXPECT_EQ(test::readBytes(directory.file("out.cfg")), old);
    EXPECT_EQ(directory.entries(), (std::vector<std::string>{"bad.cfg", "good.cfg", "out.cfg"}));
}

} // namespace
} // namespace kestrix

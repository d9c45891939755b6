#include "sim/tftp/terminal_file_name.h"

#include <gtest/gtest.h>

namespace kestrix::sim {
namespace {

constexpr auto Read = TransferDirection::Read;
constexpr auto Write = TransferDirection::Write;

struct NameCase {
    const char* name;
    TransferDirection direction;
    const char* mapped; // nullptr: refused with "Access violation"
    const char* serialNumber = "100101";
};

class TerminalFileNameTest : public testing::TestWithParam<NameCase> {};

TEST_P(TerminalFileNameTest, MapsOrRefuses) {
    const NameCase& sample = GetParam();
    auto result = mapTerminalFileName(sample.name, sample.direction, sample.serialNumber);
    if (sample.mapped != nullptr) {
        ASSERT_TRUE(std::holds_alternative<MappedFileName>(result)) << std::get<RequestRefusal>(result).text;
        EXPECT_EQ(std::get<MappedFileName>(result).relativePath, sample.mapped);
    } else {
        ASSERT_TRUE(std::holds_alternative<RequestRefusal>(result))
            << std::get<MappedFileName>(result).relativePath;
        EXPECT_EQ(std::get<RequestRefusal>(result).code, TftpErrorCode::AccessViolation);
        EXPECT_EQ(std::get<RequestRefusal>(result).text, "Access violation");
    }
}

const NameCase kNames[] = {
    // The program's names.
    {"C@\\t7000\\talmo.cfg", Read, "talmo.cfg"},
    {"talmo.cfg", Read, "talmo.cfg"},
    {"[100101]C@\\t7000\\talmo.cfg", Write, "talmo.cfg"},
    {"[100101]talmo.cfg", Write, "talmo.cfg"},
    {"C:\\\\autoexec.bat", Read, "autoexec.bat"},
    {"C:\\autoexec.bat", Read, "autoexec.bat"},
    {"[100101]C@\\autoexec.bat", Write, "autoexec.bat"},
    {"[100101]C@\\packet.ini", Write, "packet.ini"},
    {"/talmo/terminal-ui.xml", Read, "talmo/terminal-ui.xml"},
    {"[100101]/talmo/terminal-ui.xml", Write, "talmo/terminal-ui.xml"},
    {"[100101]/talmo/rfwdownload.trfw", Write, "talmo/rfwdownload.trfw"},
    {"C@\\t7000\\sub\\file.bin", Read, "sub/file.bin"},
    // A bracket prefix on a read is a file name of its own, which no terminal has.
    {"[100101]talmo.cfg", Read, "[100101]talmo.cfg"},
    // Refused.
    {"talmo.cfg", Write, nullptr},                    // no serial number prefix
    {"[100102]C@\\t7000\\talmo.cfg", Write, nullptr}, // another terminal's
    {"[1001011]talmo.cfg", Write, nullptr},           // a longer number
    {"[]talmo.cfg", Write, nullptr},
    {"[]talmo.cfg", Write, nullptr, ""}, // a terminal without serial number accepts no write
    {"../etc/passwd", Read, nullptr},
    {"C@\\t7000\\..\\..\\secret", Read, nullptr},
    {"/talmo/../../x", Read, nullptr},
    {"/etc/passwd", Read, nullptr}, // a host path
    {"[100101]/tmp/x", Write, nullptr},
    {"\\windows\\x", Read, nullptr},
    {"/talmo/", Read, nullptr}, // no file name
    {"C@\\t7000\\", Read, nullptr},
    {"talmo//x", Read, nullptr},
    {".tftp-abcdef", Read, nullptr},  // the server's temporary files
    {"C@\ttalmo.cfg", Read, nullptr}, // a tab instead of "\\t"
    {"name\x7f", Read, nullptr},
};
INSTANTIATE_TEST_SUITE_P(Names, TerminalFileNameTest, testing::ValuesIn(kNames));

} // namespace
} // namespace kestrix::sim

#include "messages/toolbox_lang.h"
#include "protocol/t7000ip.h"
#include "support/trace_capture.h"
#include "terminal/terminal.h"

#include <gtest/gtest.h>

// Creates the maintenance engine, which binds the maintenance ports: runs in a
// network namespace of its own.

namespace kestrix {
namespace {

TEST(Terminal, RecordOfKnownValuesUsesTheEngineAndTracesItsEnd) {
    static const CToolBoxLang language(kLocaleIdEnglishUnitedStates);
    T7000ip& engine = T7000ip::getT7000ip(&language);
    {
        TerminalFields known;
        ASSERT_TRUE(known.parseFindReply("TALMO 7460 1 100200 PZE 6.20 IPv4=10.0.0.5/8", ""));
        test::TraceCapture capture;
        {
            Terminal terminal(engine, known);
            EXPECT_EQ(&terminal.Engine, &engine);
            EXPECT_EQ(static_cast<const TerminalFields&>(terminal), known);
            EXPECT_EQ(capture.text(), "");
        }
        EXPECT_EQ(capture.text(), "~Terminal(100200)\n");
    }
    T7000ip::releaseT7000ip();
}

TEST(Terminal, IDBasedSuffixFromSerialNumberGroupAndSecurityId) {
    static const CToolBoxLang language(kLocaleIdEnglishUnitedStates);
    T7000ip& engine = T7000ip::getT7000ip(&language);
    engine.setT7000ipMaintGroup(0x1234);
    TerminalFields known;
    known.SerialNumber = "1234567";
    known.TerminalId = 0xA1B2C3D4;
    {
        Terminal terminal(engine, known);
        test::TraceCapture capture;
        // Worked out with the openssl command line: key 31 34 32 33 A1 34 12 35
        // 36 D4 37 B2 00 00 C3 00, nine-byte message "echo\0" "123\0".
        EXPECT_EQ(terminal.addIDBasedAuth("echo 123"), "echo 123 sid=AEEB34B0");
        terminal.TerminalId = 0;
        EXPECT_EQ(terminal.addIDBasedAuth("echo 123"), "echo 123");
        EXPECT_EQ(capture.text(),
                  "Terminal::addIDBasedAuth(key: 4660, id: A1B2C3D4, sn: 1234567): returns 'echo 123 sid=AEEB34B0'\n"
                  "Terminal::addIDBasedAuth(): konnte keinen sid=... String anhängen, da SecID == 0\n");
    }
    T7000ip::releaseT7000ip();
}

} // namespace
} // namespace kestrix

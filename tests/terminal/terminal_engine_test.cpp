#include "mainwindow/toolbox_lang.h"
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

} // namespace
} // namespace kestrix

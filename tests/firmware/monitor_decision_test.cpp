#include "firmware/monitor_decision.h"

#include <gtest/gtest.h>

namespace kestrix {
namespace {

TEST(MonitorDecision, ByPlatformVersionsAndOption) {
    constexpr auto Older = MonitorReplacement::WhenOlder;
    constexpr auto Always = MonitorReplacement::Always;
    struct Row {
        int group;
        std::string terminalKey, fileKey, minimumKey;
        MonitorReplacement option;
        MonitorChoice expected;
    };
    const Row rows[] = {
        {3, "1_05~", "1_06~", "1_00~", Older, MonitorChoice::Replace},
        {3, "1_06a", "1_06~", "1_00~", Older,
         MonitorChoice::Replace}, // a lettered version sorts before the release
        {3, "", "1_06~", "1_00~", Older, MonitorChoice::Replace}, // monitor version unknown
        {2, "2_10~", "2_10~", "2_00~", Always, MonitorChoice::Keep},
        {2, "2_20~", "2_10~", "2_00~", Older, MonitorChoice::Keep},
        {5, "2_20~", "2_10~", "2_00~", Always, MonitorChoice::Replace},
        {5, "2_20~", "2_10~", "2_10~", Always, MonitorChoice::KeepAtMinimum},
        {5, "2_20~", "2_10~", "9_99~", Always, MonitorChoice::KeepAtMinimum}, // no minimum given
        {6, "9_99~", "0_01~", "1_00~", Older, MonitorChoice::ReplaceOnLinux},
        {7, "", "0_01~", "9_99~", Older, MonitorChoice::ReplaceOnLinux},
        {1, "", "-", "9_99~", Always, MonitorChoice::NoMonitorFiles},
        {4, "1_00~", "2_00~", "9_99~", Older, MonitorChoice::NoMonitorFiles},
        {3, "2_05~", "-", "9_99~", Older, MonitorChoice::NoMonitorFiles}, // the section names no monitor
    };
    for (const Row& row : rows)
        EXPECT_EQ(decideMonitor(row.group, row.terminalKey, row.fileKey, row.minimumKey, row.option),
                  row.expected)
            << "group " << row.group << ", terminal " << row.terminalKey << ", file " << row.fileKey;

    const int files[] = {0, 0, 2, 1, 0, 1, 1, 1};
    for (int group = 0; group < 8; ++group)
        EXPECT_EQ(monitorFileCount(group), files[group]) << group;
    EXPECT_TRUE(monitorVersionDecides(2));
    EXPECT_FALSE(monitorVersionDecides(6));
    EXPECT_FALSE(monitorVersionDecides(4));
    EXPECT_FALSE(replacesMonitor(MonitorChoice::KeepAtMinimum));
    EXPECT_FALSE(replacesMonitor(MonitorChoice::NoMonitorFiles)); // no restart to wait for
    EXPECT_TRUE(replacesMonitor(MonitorChoice::ReplaceOnLinux));
}

} // namespace
} // namespace kestrix

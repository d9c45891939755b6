#include "firmware/update_list_edits.h"

#include <gtest/gtest.h>

namespace kestrix {
namespace {

using Files = std::vector<std::string>;

TEST(UpdateListEdits, OnlyTheDefaultProgramGoesAndItsIndexFollowsDroppedMonitorFiles) {
    UpdateFileList list;
    list.files = {"bios.bin", "mon.bin", "tcl.bin", "deutsch.txt", "default.tcl"};
    list.defaultProgram = 4;
    dropLeadingFiles(list, 2);
    EXPECT_EQ(list.files, (Files{"tcl.bin", "deutsch.txt", "default.tcl"}));
    EXPECT_EQ(list.defaultProgram, 2U);
    dropDefaultProgramFile(list);
    EXPECT_EQ(list.files, (Files{"tcl.bin", "deutsch.txt"}));

    // Without a default program (server depot, or no entry for the language)
    // the language file at the end stays.
    dropDefaultProgramFile(list);
    EXPECT_EQ(list.files, (Files{"tcl.bin", "deutsch.txt"}));
    dropLeadingFiles(list, 5);
    EXPECT_TRUE(list.files.empty());
}

} // namespace
} // namespace kestrix

#include "settings_files/ini_file.h"
#include "settings_files/ini_test_files.h"

#include <gtest/gtest.h>

namespace kestrix {
namespace {

using test::readBytes;
using test::TemporaryDirectory;
using test::thrownText;
using test::writeBytes;

TEST(IniData, RemovingCountsWhatWasThere) {
    IniData content;
    content.setValue("S", "k", "1");
    content.setValue("S", "k", "2");
    EXPECT_EQ(content.getValue("S", "k", "none"), "2");
    EXPECT_EQ(content.getValue("S", "K", "none"), "none");
    EXPECT_EQ(content.removeKey("T", "k"), 0u);
    EXPECT_EQ(content.removeKey("S", "k"), 1u);
    EXPECT_EQ(content.removeKey("S", "k"), 0u);
    EXPECT_TRUE(content.hasSection("S"));
    EXPECT_EQ(content.removeSection("S"), 1u);
    EXPECT_EQ(content.removeSection("S"), 0u);
}

TEST(IniDataWrite, SectionsAndKeysInByteOrder) {
    IniData content;
    content.setValue("b", "x", "1");
    content.setValue("\xC4rger", "y", "2");
    content.setValue("B", "z", "3");
    content.setValue("", "top", "4");
    content.setValue("B", "Z", "5");
    content.setValue("B", "", "");
    content.setValue("b", "#h", "6");
    content.addSection("a");
    TemporaryDirectory directory;
    const std::string fileName = directory.file("out.ini");
    content.writeToFile(fileName);
    EXPECT_EQ(readBytes(fileName),
              "\n[]\ntop=4\n\n[B]\n=\nZ=5\nz=3\n\n[a]\n\n[b]\n #h=6\nx=1\n\n[\xC4rger]\ny=2\n");
}

TEST(IniDataWrite, ContentThatWouldNotReadBackIsRefusedBeforeTheFileIsTouched) {
    struct Case {
        const char* section;
        const char* key;
        const char* value;
        const char* message; // N stands for the file name
    } cases[] = {
        {"S", "k", "line\n[T]", "wrong entry k in section S for file N in IniData::writeToFile"},
        {"S", "k", "v ", "wrong entry k in section S for file N in IniData::writeToFile"},
        {"S", "k\r", "v", "wrong entry k\r in section S for file N in IniData::writeToFile"},
        {"S", " k", "v", "wrong entry  k in section S for file N in IniData::writeToFile"},
        {"S", "a=b", "c", "wrong entry a=b in section S for file N in IniData::writeToFile"},
        {"S", "[k", "v]", "wrong entry [k in section S for file N in IniData::writeToFile"},
        {" S", "k", "v", "wrong section name  S for file N in IniData::writeToFile"},
        {"S\nk=v", "k", "v", "wrong section name S\nk=v for file N in IniData::writeToFile"},
    };
    TemporaryDirectory directory;
    const std::string fileName = directory.file("out.ini");
    writeBytes(fileName, "[S]\nk=old\n");
    for (const auto& c : cases) {
        IniData content;
        content.setValue(c.section, c.key, c.value);
        std::string message = c.message;
        message.replace(message.find(" N "), 3, " " + fileName + " ");
        EXPECT_EQ(thrownText([&] { content.writeToFile(fileName); }), message) << c.key << c.value;
        EXPECT_EQ(readBytes(fileName), "[S]\nk=old\n");
    }
}

TEST(IniDataWrite, FailuresNameTheCall) {
    IniData small;
    small.setValue("S", "k", "v");
    IniData large;
    large.setValue("S", "k", std::string(100000, 'v'));
    TemporaryDirectory directory;
    const std::string aDirectory = directory.file("");

    EXPECT_EQ(thrownText([&] { small.writeToFile(aDirectory); }),
              "fopen: file " + aDirectory + " in IniData::writeToFile");
    // A full disk shows while writing, or for what stdio still buffered, while closing.
    EXPECT_EQ(thrownText([&] { large.writeToFile("/dev/full"); }),
              "fputs: file /dev/full in IniData::writeToFile");
    EXPECT_EQ(thrownText([&] { small.writeToFile("/dev/full"); }),
              "fclose: file /dev/full in IniData::writeToFile");
}

TEST(IniFileWrite, ReadWriteReadGivesTheSameContent) {
    TemporaryDirectory directory;
    const std::string fileName = directory.file("round.ini");
    writeBytes(fileName, "; settings\r\ntop = 1\r\n[TFTP]\r\nminPort=2000\r\nmaxPort = 3000 \r\n[ Empty ]\r\n"
                         "[Terminallist]\nOrder=IPADDR\nx = a = b\n=\n ;k=v\n[\xE4]\nlong=" +
                             std::string(3000, 'L'));
    const IniFile first(fileName, "");
    first.writeToFile();
    const IniFile second(fileName, "");
    EXPECT_EQ(second, first);
    EXPECT_EQ(second.getValue("Terminallist", "x", ""), "a = b");
    EXPECT_EQ(second.getValue("Terminallist", ";k", ""), "v");
    EXPECT_TRUE(second.hasSection("Empty"));
}

} // namespace
} // namespace kestrix

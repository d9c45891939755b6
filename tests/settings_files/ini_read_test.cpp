#include "settings_files/ini_file.h"
#include "settings_files/ini_test_files.h"
#include "support/trace_capture.h"

#include <gtest/gtest.h>

namespace kestrix {
namespace {

using test::dump;
using test::TemporaryDirectory;
using test::writeBytes;

// The outcome of reading a text: the dump of the content, or "error: " and the
// message with the file name replaced by "N".
std::string readText(const std::string& text) {
    TemporaryDirectory directory;
    const std::string fileName = directory.file("test.ini");
    writeBytes(fileName, text);
    try {
        return dump(IniFile(fileName, " missing"));
    } catch (const std::runtime_error& error) {
        std::string message = error.what();
        for (auto at = message.find(fileName); at != std::string::npos; at = message.find(fileName))
            message.replace(at, fileName.size(), "N");
        return "error: " + message;
    }
}

TEST(IniFileRead, LinesAsTheReaderSeesThem) {
    struct Case {
        const char* text;
        const char* content;
    } cases[] = {
        {"", ""},
        {"a=1\n[S]\nb=2\n", "[]a=1|[S]b=2"},
        {"[]\nx=1\n", "[]x=1"},
        {"a=1\n[  ]\n", "error: double definition for section  in file N"},
        {"[ TFTP ]\n[Terminallist]\n", "[TFTP]|[Terminallist]"},
        {"[S]\nk=1\n[S]\n", "error: double definition for section S in file N"},
        {"[S\n", "error: wrong line in section  in file N"},
        {"[S]\nplain text\n", "error: wrong line in section S in file N"},
        {"[a=b]\n", "[a=b]"},
        {"[x] = 5\n", "[][x]=5"},
        {"[S]\n  ;comment\n", "error: wrong line in section S in file N"},
        {"  ;k = v\n", "[];k=v"},
        {";k=v\n#[S]\n[T]\n#x\n", "[T]"},
        {"k=a=b\n=v\nempty=\n", "[]=v,empty=,k=a=b"},
        {" \t k \t=\v v \f\r\n", "[]k=v"},
        {"k=1\nk=2\n", "error: double definition of k in section  in file N"},
        {"[S]\nk = 1\n k=2", "error: double definition of k in section S in file N"},
        {"[S]\nKey=1\nkey=2\n", "[S]Key=1,key=2"},
        {"[b]\n[a]\n[\xC4]\n[B]\n[]\n", "[]|[B]|[a]|[b]|[\xC4]"},
        {"[S]\r\nk=v\r\n", "[S]k=v"},
        {"[S]\nk=v\n", "[S]k=v"},
        {"[S]\nk=v", "[S]k=v"},
        {"[S]\r\nk=v\r", "[S]k=v"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(readText(c.text), c.content) << c.text;
}

TEST(IniFileRead, ZeroBytesAreBytesLikeAnyOther) {
    EXPECT_EQ(readText(std::string("k=a\0b\n", 6)), std::string("[]k=a\0b", 7));
}

// A file of the given size that ends in "last=yes" without a line feed; its
// second line is as long as needed.
std::string fileOfSize(std::size_t size, const std::string& lineEnd) {
    const std::string start = "[S]" + lineEnd + "long=";
    const std::string end = lineEnd + "last=yes";
    return start + std::string(size - start.size() - end.size(), 'x') + end;
}

TEST(IniFileRead, LinesRunOverBlockEnds) {
    for (std::size_t size : {1023u, 1024u, 1025u, 2047u, 2048u, 2049u, 5000u})
        for (const std::string lineEnd : {"\n", "\r\n"}) {
            const std::string text = fileOfSize(size, lineEnd);
            ASSERT_EQ(text.size(), size);
            const std::string longValue(size - 16 - 2 * lineEnd.size(), 'x');
            EXPECT_EQ(readText(text), "[S]last=yes,long=" + longValue) << size << " " << lineEnd.size();
        }
}

TEST(IniFileRead, CarriageReturnAndLineFeedInDifferentBlocks) {
    std::string text = "[S]\nk=" + std::string(1023 - 6, 'v') + "\r\nnext=1\n";
    ASSERT_EQ(text[1023], '\r');
    EXPECT_EQ(readText(text), "[S]k=" + std::string(1017, 'v') + ",next=1");
}

TEST(IniFileRead, MissingFileGivesTheNameAndTheCallersTextAndTraces) {
    TemporaryDirectory directory;
    const std::string fileName = directory.file("Firmware.dep");
    test::TraceCapture trace;
    EXPECT_EQ(test::thrownText([&] { IniFile(fileName, " für V6.12 ist nicht zu finden!"); }),
              fileName + " für V6.12 ist nicht zu finden!");
    EXPECT_EQ(trace.text(), "Dep-File -" + fileName + "- not open\n");
}

TEST(IniFileRead, OtherFailuresNameTheCall) {
    TemporaryDirectory directory;
    const std::string tooLong = directory.file(std::string(300, 'n'));
    test::TraceCapture trace;
    EXPECT_EQ(test::thrownText([&] { IniFile(tooLong, ""); }),
              "fopen: file " + tooLong + " in IniFile::IniFile");
    EXPECT_EQ(trace.text(), "Dep-File -" + tooLong + "- not open\n");

    const std::string aDirectory = directory.file("");
    EXPECT_EQ(test::thrownText([&] { IniFile(aDirectory, ""); }),
              "fread: file " + aDirectory + " in IniFile::IniFile");
}

} // namespace
} // namespace kestrix

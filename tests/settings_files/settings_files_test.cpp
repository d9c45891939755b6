// Ini files: read strictly line by line, written in byte order, and replaced
// so that a failing step leaves the previous content in place.
#include "settings_files/ini_file.h"
#include "support/scratch_directory.h"
#include "support/trace_capture.h"

#include <gtest/gtest.h>

#include <cerrno>

namespace kestrix {
namespace {

using namespace std::string_literals;
using test::ScratchDirectory;

// The content in one line, sections in their order: "[]a=1|[S]b=2,c=3|[E]".
std::string dump(const IniData& content) {
    std::string text;
    for (const auto& section : content.getSections()) {
        text += (text.empty() ? "[" : "|[") + section + "]";
        std::string separator;
        for (const auto& key : content.getKeys(section)) {
            text += separator + key + "=" + content.getValue(section, key, "?");
            separator = ",";
        }
    }
    return text;
}

// The text of the std::runtime_error that the call throws, "no error" when it returns.
template <typename Call> std::string thrownText(Call call) {
    try {
        call();
    } catch (const std::runtime_error& error) {
        return error.what();
    }
    return "no error";
}

// The dump of a text read as a file, or "error: " and the message with the file name as "N".
std::string readText(const std::string& text) {
    ScratchDirectory directory;
    directory.write("t.ini", text);
    const std::string fileName = directory.file("t.ini");
    std::string content;
    std::string message = thrownText([&] { content = dump(IniFile(fileName, "")); });
    if (message == "no error")
        return content;
    return "error: " + message.replace(message.find(fileName), fileName.size(), "N");
}

TEST(IniFileRead, LinesAsTheReaderSeesThem) {
    const std::pair<std::string, std::string> cases[] = {
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
        {"[S]\nk=v", "[S]k=v"},
        {"[S]\r\nk=v\r", "[S]k=v"},
        {"k=a\0b\n"s, "[]k=a\0b"s},
    };
    for (const auto& [text, content] : cases)
        EXPECT_EQ(readText(text), content) << text;
}

// The reader takes 1024 bytes at a time; at 1033 bytes the last carriage
// return is byte 1023 and its line feed the first of the next block.
TEST(IniFileRead, LinesRunOverBlockEnds) {
    for (std::size_t size : {1023u, 1024u, 1025u, 1033u, 2047u, 2048u, 2049u, 5000u})
        for (const std::string lineEnd : {"\n", "\r\n"}) {
            const std::string value(size - 16 - 2 * lineEnd.size(), 'x');
            EXPECT_EQ(readText("[S]" + lineEnd + "long=" + value + lineEnd + "last=yes"),
                      "[S]last=yes,long=" + value)
                << size << " " << lineEnd.size();
        }
}

TEST(IniFileRead, FailuresNameTheFileAndTheCall) {
    ScratchDirectory directory;
    const std::string missing = directory.file("Firmware.dep"),
                      tooLong = directory.file(std::string(300, 'n'));
    test::TraceCapture trace;
    EXPECT_EQ(thrownText([&] { IniFile(missing, " für V6.12 ist nicht zu finden!"); }),
              missing + " für V6.12 ist nicht zu finden!");
    EXPECT_EQ(thrownText([&] { IniFile(tooLong, ""); }), "fopen: file " + tooLong + " in IniFile::IniFile");
    EXPECT_EQ(trace.text(), "Dep-File -" + missing + "- not open\nDep-File -" + tooLong + "- not open\n");
    EXPECT_EQ(thrownText([&] { IniFile(directory.file(""), ""); }),
              "fread: file " + directory.file("") + " in IniFile::IniFile");
}

TEST(IniDataWrite, SectionsAndKeysInByteOrder) {
    IniData content;
    const char* const entries[][3] = {
        {"b", "x", "1"}, {"\xC4rger", "y", "2"}, {"B", "z", "3"},  {"", "top", "4"}, {"B", "Z", "5"},
        {"B", "", ""},   {"b", "#h", "6"},       {"b", ";c", "7"}, {"T", "k", "8"},  {"T", "k", "9"}};
    for (const auto& [section, key, value] : entries)
        content.setValue(section, key, value);
    content.addSection("a");
    content.removeSection("T");
    ScratchDirectory directory;
    content.writeToFile(directory.file("out.ini"));
    EXPECT_EQ(directory.read("out.ini"),
              "\n[]\ntop=4\n\n[B]\n=\nZ=5\nz=3\n\n[a]\n\n[b]\n #h=6\n ;c=7\nx=1\n\n[\xC4rger]\ny=2\n");
}

TEST(IniDataWrite, ContentThatWouldNotReadBackIsRefusedBeforeTheFileIsTouched) {
    const struct {
        const char* section;
        const char* key;
        const char* value;
        std::string wrong; // the message's start
    } cases[] = {
        {"S", "k", "line\n[T]", "wrong entry k in section S"},
        {"S", "k", "v ", "wrong entry k in section S"},
        {"S", "k\r", "v", "wrong entry k\r in section S"},
        {"S", " k", "v", "wrong entry  k in section S"},
        {"S", "a=b", "c", "wrong entry a=b in section S"},
        {"S", "[k", "v]", "wrong entry [k in section S"},
        {" S", "k", "v", "wrong section name  S"},
        {"S\nk=v", "k", "v", "wrong section name S\nk=v"},
    };
    ScratchDirectory directory;
    const std::string fileName = directory.file("out.ini");
    directory.write("out.ini", "[S]\nk=old\n"s);
    for (const auto& c : cases) {
        IniData content;
        content.setValue(c.section, c.key, c.value);
        EXPECT_EQ(thrownText([&] { content.writeToFile(fileName); }),
                  c.wrong + " for file " + fileName + " in IniData::writeToFile");
        EXPECT_EQ(directory.read("out.ini"), "[S]\nk=old\n");
    }
}

TEST(IniDataWrite, FailuresNameTheCall) {
    IniData small, large;
    small.setValue("S", "k", "v");
    large.setValue("S", "k", std::string(100000, 'v'));
    ScratchDirectory directory;
    EXPECT_EQ(thrownText([&] { small.writeToFile(directory.file("")); }),
              "fopen: file " + directory.file("") + " in IniData::writeToFile");
    // A full disk shows while writing, or for what stdio still buffered, while closing.
    EXPECT_EQ(thrownText([&] { large.writeToFile("/dev/full"); }),
              "fputs: file /dev/full in IniData::writeToFile");
    EXPECT_EQ(thrownText([&] { small.writeToFile("/dev/full"); }),
              "fclose: file /dev/full in IniData::writeToFile");
}

TEST(IniFileWrite, ReadWriteReadGivesTheSameContent) {
    ScratchDirectory directory;
    directory.write("round.ini",
                    "; settings\r\ntop = 1\r\n[TFTP]\r\nminPort=2000\r\nmaxPort = 3000 \r\n[ Empty ]\r\n"
                    "[Terminallist]\nOrder=IPADDR\nx = a = b\n=\n ;k=v\n[\xE4]\nlong=" +
                        std::string(3000, 'L'));
    const IniFile first(directory.file("round.ini"), "");
    first.writeToFile();
    const IniFile second(directory.file("round.ini"), "");
    EXPECT_EQ(second, first);
}

// Passes every call to the system except the one named, which fails with the error.
class FailingCalls : public FileSystemCalls {
public:
    FailingCalls(std::string failing, int error) : failing_(std::move(failing)), error_(error) {}
    int removeFile(const std::string& name) override {
        return "remove " + name == failing_ ? error_ : FileSystemCalls::removeFile(name);
    }
    int renameFile(const std::string& from, const std::string& to) override {
        return "rename " + from + " " + to == failing_ ? error_ : FileSystemCalls::renameFile(from, to);
    }
    int syncDirectoryOf(const std::string& name) override {
        return "sync" == failing_ ? error_ : FileSystemCalls::syncDirectoryOf(name);
    }

private:
    std::string failing_;
    int error_;
};

class IniFileReplace : public ::testing::Test {
protected:
    IniFileReplace() { directory_.write("Kestrix.ini", kPrevious); }
    // Changes the value of the file as read and replaces the file.
    void replace(FileSystemCalls&& calls = FileSystemCalls()) const {
        IniFile file(fileName_, "");
        file.setValue("S", "k", "new");
        file.writeToFile(calls);
    }

    const std::string kPrevious = "[S]\nk=old\n", kNew = "\n[S]\nk=new\n";
    ScratchDirectory directory_;
    const std::string fileName_ = directory_.file("Kestrix.ini");
    const std::string temporary_ = fileName_ + ".tmp", previous_ = fileName_ + ".old";
};

TEST_F(IniFileReplace, KeepsThePreviousVersionAndFindsAFileGoneMeanwhile) {
    directory_.write("Kestrix.ini.old", "older"s);
    replace();
    EXPECT_EQ(directory_.entries(), (std::vector<std::string>{"Kestrix.ini", "Kestrix.ini.old"}));
    EXPECT_EQ(directory_.read("Kestrix.ini.old"), kPrevious);
    EXPECT_EQ(directory_.read("Kestrix.ini"), kNew);

    IniFile file(fileName_, "");
    std::filesystem::remove(fileName_);
    file.writeToFile();
    EXPECT_EQ(directory_.read("Kestrix.ini"), kNew);
    EXPECT_EQ(directory_.entries(), (std::vector<std::string>{"Kestrix.ini"}));
}

// A failed fsync of the directory after the last rename is traced: the new content is in place.
TEST_F(IniFileReplace, AFailingStepLeavesThePreviousContentInPlace) {
    const struct {
        std::string failing;
        int error;
        std::string message;
    } cases[] = {
        {"remove " + previous_, EIO, "remove: file " + previous_},
        {"rename " + fileName_ + " " + previous_, EBUSY, "rename: " + fileName_ + " to " + previous_},
        {"rename " + temporary_ + " " + fileName_, EXDEV, "rename: " + temporary_ + " to " + fileName_},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(thrownText([&] { replace(FailingCalls(c.failing, c.error)); }),
                  c.message + " in IniFile::writeToFile");
        EXPECT_EQ(directory_.read("Kestrix.ini"), kPrevious) << c.failing;
        EXPECT_EQ(directory_.read("Kestrix.ini.tmp"), kNew) << c.failing;
    }
    test::TraceCapture trace;
    replace(FailingCalls("sync", EIO));
    EXPECT_EQ(directory_.read("Kestrix.ini"), kNew);
    EXPECT_TRUE(trace.contains("IniFile::writeToFile(): fsync of the directory of " + fileName_ +
                               " failed, error=" + std::to_string(EIO) + ": "));
}

TEST_F(IniFileReplace, ADirectoryInTheWayStopsItBeforeTheFileIsTouched) {
    std::filesystem::create_directories(std::filesystem::path(previous_) / "inside");
    EXPECT_EQ(thrownText([&] { replace(); }), "remove: file " + previous_ + " in IniFile::writeToFile");
    EXPECT_EQ(directory_.read("Kestrix.ini"), kPrevious);
    std::filesystem::remove_all(previous_);
    std::filesystem::remove(temporary_);
    std::filesystem::create_directory(temporary_);
    EXPECT_EQ(thrownText([&] { replace(); }), "fopen: file " + temporary_ + " in IniData::writeToFile");
    EXPECT_EQ(directory_.read("Kestrix.ini"), kPrevious);
}

} // namespace
} // namespace kestrix

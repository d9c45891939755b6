#include "mainwindow/main_dialog.h"
#include "mainwindow/recording_view.h"
#include "netbed/bed_availability.h"
#include "netbed/network_bed.h"
#include "protocol/t7000ip.h"
#include "support/trace_capture.h"
#include "terminal/terminal.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <set>
#include <sstream>
#include <sys/mount.h>
#include <sys/stat.h>
#include <unistd.h>

// Terminal list files: saving the list and reading it back, against talmo-sim
// terminals on the test bed (br0 10.77.0.1/24, fe80::1). The dialog runs in
// the PC's namespace, whose mounts are its own (a full file system is made
// there).

namespace kestrix {
namespace {

namespace fs = std::filesystem;
using test::BedLayout;
using test::NetworkBed;
using test::RecordingMessageBoxes;
using test::RecordingView;
using test::TerminalSetup;
using test::TraceCapture;

TerminalSetup simulated(const std::string& serialNumber, const std::string& ipv4,
                        const std::string& linkLocal) {
    TerminalSetup terminal;
    terminal.ipv4 = ipv4;
    terminal.ipv6LinkLocal = linkLocal;
    terminal.terminalSection = {
        {"serial_number", serialNumber}, {"security_id", "A1B2C3D4"}, {"maintenance_group", "4711"}};
    return terminal;
}

struct Program {
    RecordingView view;
    RecordingMessageBoxes boxes;
    CToolBoxDlg dialog{view, boxes, {StartWarning::Suppressed, AddingMode::Normal}};

    std::vector<std::string> serialNumbers() const {
        std::vector<std::string> result;
        for (std::size_t index = 0; index < dialog.terminalList().size(); ++index)
            result.push_back(dialog.terminalList().at(index).SerialNumber);
        return result;
    }
    const std::string& text(int id) const { return dialog.language().GetText(id); }
};

// Runs body as the program in the PC's namespace, started in the directory.
void asTheProgram(const NetworkBed& bed, const fs::path& directory,
                  const std::function<void(Program&)>& body) {
    EXPECT_TRUE(bed.runOnPc([&] {
        fs::create_directories(directory);
        ASSERT_EQ(::chdir(directory.c_str()), 0);
        ::setenv("LC_ALL", "en_US.UTF-8", 1);
        auto program = std::make_unique<Program>();
        ASSERT_TRUE(program->dialog.OnInitDialog());
        program->dialog.engine().setT7000ipMaintGroup(4711);
        body(*program);
    }));
}

std::string contents(const fs::path& path) {
    std::ifstream file(path, std::ios::binary);
    std::ostringstream text;
    text << file.rdbuf();
    return text.str();
}

void writeFile(const fs::path& path, const std::string& text) {
    std::ofstream file(path, std::ios::binary);
    file << text;
}

std::set<std::string> namesIn(const fs::path& directory) {
    std::set<std::string> names;
    for (const auto& entry : fs::directory_iterator(directory))
        names.insert(entry.path().filename().string());
    return names;
}

class ListFiles : public test::NetworkBedTest {};

TEST_F(ListFiles, SavedAndReadBackThroughTheSelector) {
    BedLayout layout;
    TerminalSetup dualStack = simulated("100801", "10.77.0.81/24", "fe80::81");
    dualStack.ipv6Global = "2001:db8:77::81";
    layout.terminals = {dualStack, simulated("100802", "10.77.0.82/24", ""),
                        simulated("100803", "", "fe80::83")};
    layout.pcHostsLines = {"10.77.0.81 t81.bed.test", "2001:db8:77::81 g81.bed.test",
                           "10.77.0.82 t82.bed.test"};
    NetworkBed bed(layout);
    const fs::path directory = bed.runDirectory() / "start";

    asTheProgram(bed, directory, [&](Program& program) {
        program.dialog.OnNewTerminalList();
        ASSERT_EQ(program.serialNumbers().size(), 3u);
        program.view.listFileAnswer = (directory / "bed.rch").string();
        TraceCapture trace;
        program.dialog.WriteFile();
        EXPECT_EQ(program.view.listFileDirectory, directory.string());
        EXPECT_EQ(program.view.listFileFilter, "RCH files (*.rch)");
        EXPECT_TRUE(trace.contains("CToolBoxDlg::WriteFile(): write done\n"));
        EXPECT_TRUE(program.boxes.shown.empty());
    });

    // One CR LF line per terminal, in list order, no header.
    const std::string saved = contents(directory / "bed.rch");
    std::vector<std::string> lines;
    for (std::size_t start = 0, end; (end = saved.find("\r\n", start)) != std::string::npos; start = end + 2)
        lines.push_back(saved.substr(start, end - start));
    ASSERT_EQ(lines.size(), 3u) << saved;
    EXPECT_EQ(std::count(saved.begin(), saved.end(), '\n'), 3);
    EXPECT_EQ(saved.substr(saved.size() - 2), "\r\n");
    std::set<std::string> found(lines.begin(), lines.end());
    EXPECT_TRUE(found.count("100801;10.77.0.81;;t81.bed.test;2001:db8:77::81;fe80::81;g81.bed.test;"))
        << saved;
    EXPECT_TRUE(found.count("100802;10.77.0.82;;t82.bed.test;;;;")) << saved;
    // A terminal without IPv4 reports the address 0.0.0.0 in its echo: it is
    // saved without one and read back by its link-local address.
    EXPECT_TRUE(found.count("100803;;;;;fe80::83;;")) << saved;

    // A later start offers the file in its selector; the search there reads it.
    asTheProgram(bed, directory, [&](Program& program) {
        const std::vector<std::string>& entries = program.dialog.selectorEntries();
        auto listed = std::find(entries.begin() + program.dialog.listFileIndex(), entries.end(), "bed.rch");
        ASSERT_NE(listed, entries.end());
        program.dialog.OnSelectorChange(static_cast<int>(listed - entries.begin()));
        program.dialog.OnNewTerminalList();
        std::vector<std::string> expected;
        for (const std::string& line : lines)
            expected.push_back(line.substr(0, line.find(';')));
        EXPECT_EQ(program.serialNumbers(), expected);
        EXPECT_EQ(program.view.progressLines.front(),
                  (directory / "bed.rch").string() + " " + program.text(73));
        EXPECT_TRUE(program.boxes.shown.empty());

        program.view.listFileAnswer = (directory / "again.rch").string();
        program.dialog.WriteFile();
    });
    EXPECT_EQ(contents(directory / "again.rch"), saved) << "the terminals read back are saved as before";
}

TEST_F(ListFiles, EmptyMalformedAndOverlongLinesAreSkipped) {
    BedLayout layout;
    layout.terminals = {simulated("100901", "10.77.0.91/24", ""), simulated("100902", "", "fe80::92")};
    NetworkBed bed(layout);
    const fs::path directory = bed.runDirectory() / "start";
    fs::create_directories(directory);
    const std::string longest(260, 'y');
    const std::string tooLong(261, 'x');
    writeFile(directory / "mixed.rch", "\r\n"
                                       "100901;10.77.0.91\r\n" +
                                           tooLong + "\r\n" + longest +
                                           "\r\n"
                                           "100901;10.77.0.91;t91.bed.test\r\n"
                                           "\n"
                                           "100902;;;;;;;");

    asTheProgram(bed, directory, [&](Program& program) {
        TraceCapture trace;
        EXPECT_TRUE(program.dialog.ReadFile("mixed.rch"));
        EXPECT_EQ(program.serialNumbers(), (std::vector<std::string>{"100901", "100902"}));
        EXPECT_TRUE(trace.contains("CToolBoxDlg::ReadFile(): '100901;10.77.0.91' nicht zu finden, error: "
                                   "Zeile hat falsches Format\n"));
        EXPECT_TRUE(trace.contains("CToolBoxDlg::ReadFile(): '" + longest + "'\n"))
            << "260 characters are a line";
        EXPECT_FALSE(trace.contains("'" + tooLong.substr(0, 70)))
            << "a longer line is neither shown nor used";
        EXPECT_TRUE(trace.contains("Zeile länger als 260 Zeichen"));
        EXPECT_FALSE(trace.contains("'' nicht zu finden"));
        const std::vector<std::string>& lines = program.view.progressLines;
        EXPECT_NE(
            std::find(lines.begin(), lines.end(), program.text(74) + " " + longest.substr(0, 60) + "..."),
            lines.end());

        // A file that is not there reads nothing.
        program.view.progressLines.clear();
        EXPECT_TRUE(program.dialog.ReadFile("missing.rch"));
        EXPECT_TRUE(program.view.progressLines.empty());
        EXPECT_EQ(program.serialNumbers().size(), 2u);
    });
}

TEST_F(ListFiles, AFailedSaveKeepsTheOldFileAndCancelWritesNothing) {
    BedLayout layout; // no terminal is needed: the list holds a record of known values
    NetworkBed bed(layout);
    const fs::path directory = bed.runDirectory() / "start";

    asTheProgram(bed, directory, [&](Program& program) {
        TraceCapture trace;
        program.view.listFileAnswer = (directory / "never.rch").string();
        program.dialog.WriteFile();
        EXPECT_TRUE(trace.contains("CToolBoxDlg::WriteFile(): Terminalliste leer\n"));
        EXPECT_EQ(program.view.listFileFilter, "") << "no file dialog for an empty list";

        TerminalFields fields;
        fields.SerialNumber = "101001";
        fields.IPv4Addr = "10.77.0.101";
        fields.IPv4DNSName = "known.bed.test";
        program.dialog.terminalList().insert(std::make_unique<Terminal>(program.dialog.engine(), fields),
                                             SortOrder::Product);
        const std::string line = "101001;10.77.0.101;;known.bed.test;;;;\r\n";

        // Cancel in the file dialog.
        const std::set<std::string> before = namesIn(directory);
        program.view.listFileAnswer.reset();
        program.dialog.WriteFile();
        EXPECT_EQ(namesIn(directory), before);
        EXPECT_TRUE(program.boxes.shown.empty());

        // A full file system under an existing list file.
        const fs::path full = directory / "full";
        fs::create_directories(full);
        ASSERT_EQ(::mount("tmpfs", full.c_str(), "tmpfs", 0, "size=64k"), 0);
        writeFile(full / "old.rch", "old line\r\n");
        {
            std::ofstream filler(full / "filler", std::ios::binary);
            const std::string block(4096, '\0');
            while (filler.write(block.data(), static_cast<std::streamsize>(block.size())) && filler.flush()) {
            }
        }
        // An existing list file that may be replaced keeps its mode.
        writeFile(directory / "list.rch", "old line\r\n");
        ASSERT_EQ(::chmod((directory / "list.rch").c_str(), 0640), 0);
        fs::create_directories(directory / "folder.rch");

        struct Case {
            fs::path target;
            const char* failure; // the trace's words, or nothing when the save succeeds
        };
        const Case cases[] = {
            {full / "old.rch", "Fehler beim Schreiben in"},
            {directory / "folder.rch", "Fehler beim Öffnen von"},
            {directory / "no-such-directory" / "x.rch", "Fehler beim Öffnen von"},
            {directory / "list.rch", nullptr},
        };
        for (const Case& c : cases) {
            SCOPED_TRACE(c.target.string());
            const std::set<std::string> beside =
                namesIn(fs::exists(c.target.parent_path()) ? c.target.parent_path() : directory);
            program.boxes.shown.clear();
            trace.clear();
            program.view.listFileAnswer = c.target.string();
            program.dialog.WriteFile();
            EXPECT_EQ(namesIn(fs::exists(c.target.parent_path()) ? c.target.parent_path() : directory),
                      beside)
                << "no file is left beside the target";
            if (c.failure == nullptr) {
                EXPECT_TRUE(program.boxes.shown.empty());
                EXPECT_EQ(contents(c.target), line);
                struct stat status {};
                ASSERT_EQ(::stat(c.target.c_str(), &status), 0);
                EXPECT_EQ(status.st_mode & 07777, 0640u);
                continue;
            }
            EXPECT_TRUE(trace.contains(std::string("CToolBoxDlg::WriteFile(): ") + c.failure + " '" +
                                       c.target.string() + "': "));
            ASSERT_EQ(program.boxes.shown.size(), 1u);
            EXPECT_EQ(program.boxes.shown[0].text, c.target.string() + " " + program.text(22));
            EXPECT_EQ(program.boxes.shown[0].icon, MessageIcon::Exclamation);
        }
        EXPECT_EQ(contents(full / "old.rch"), "old line\r\n") << "the old list survives a failed save";
        EXPECT_TRUE(fs::is_directory(directory / "folder.rch"));
        EXPECT_FALSE(program.view.waitCursor);
        ::umount(full.c_str());
    });
}

} // namespace
} // namespace kestrix

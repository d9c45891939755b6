#include "firmware/firmware_depot.h"
#include "firmware/firmware_slots.h"
#include "messages/toolbox_lang.h"
#include "platform/message_box.h"
#include "support/scratch_directory.h"
#include "terminal/terminal_fields.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <optional>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

// The firmware depot on depots the test writes: the sample depot of
// scripts/make-sample-depot and Firmware.dep files of single cases. The
// version and language lists with their error boxes, and the update files
// composed for terminals of each platform group with every failure message.

namespace kestrix {
namespace {

using test::ScratchDirectory;

constexpr LocaleId kGerman = 1031;

class RecordingBoxes : public MessageBoxes {
public:
    MessageAnswer show(const MessageBoxRequest& request) override {
        EXPECT_EQ(request.caption, "Kestrix IPv4+IPv6");
        texts.push_back(request.text);
        return MessageAnswer::Ok;
    }
    std::vector<std::string> texts;
};

class RecordingSlots : public FirmwareSlots {
public:
    void slotLabel(int, const std::string&) override {}
    void slotValue(int, ProgressValue, std::uint64_t) override {}
    void slotHeader(int, const std::string&) override {}
    void slotMessage(int slot, const std::string& text) override { messages.emplace_back(slot, text); }
    void slotTerminal(int, const std::string&) override {}
    void slotFileCount(int, FileCountValue, int) override {}
    void advanceOverall() override {}
    std::vector<std::pair<int, std::string>> messages;
};

TerminalFields terminalOf(int productType, int kind, int cpuSubtype = 0) {
    TerminalFields terminal;
    terminal.ProductType = productType;
    terminal.TclKind = kind;
    terminal.CpuSubtype = cpuSubtype;
    terminal.PlatformGroup = productPlatformGroup(productType);
    terminal.ProductName = productDisplayName(productType, kind, "");
    return terminal;
}

// The sample depot, written once by the script.
const ScratchDirectory& sampleTemplate() {
    static const ScratchDirectory directory;
    static const int written = [] {
        const std::string command = "python3 " KESTRIX_MAKE_SAMPLE_DEPOT " " + directory.path().string();
        if (std::system(command.c_str()) != 0)
            throw std::runtime_error("make-sample-depot failed");
        return 0;
    }();
    (void)written;
    return directory;
}

// A program directory holding a copy of the sample depot.
class SampleDepot {
public:
    SampleDepot() {
        std::filesystem::copy(sampleTemplate().path() / "FirmwareDir", root(),
                              std::filesystem::copy_options::recursive);
    }
    std::string root() const { return program.file("FirmwareDir"); }
    // Replaces a version's description file.
    void describe(const std::string& version, const std::string& text) const {
        program.write("FirmwareDir/" + version + "/Firmware.dep", text);
    }

    ScratchDirectory program;
};

class FirmwareDepotTest : public ::testing::Test {
protected:
    FirmwareDepot& depot() {
        if (!depot_)
            depot_.emplace(DepotPaths::below(sample_.program.path().string()), language_, boxes_, slots_);
        return *depot_;
    }
    DepotFill fill(std::vector<FirmwareDepotKind> kinds) { return depot().fillVersionLists(kinds); }

    const CToolBoxLang language_{kGerman};
    SampleDepot sample_;
    RecordingBoxes boxes_;
    RecordingSlots slots_;
    std::optional<FirmwareDepot> depot_;
};

TEST_F(FirmwareDepotTest, VersionListsHoldTheVersionFoldersInByteOrderAndSelectTheLast) {
    for (const char* folder : {"TCL/V6.100", "TCL/v6.30", "TCL/V7", "TCL/X6.40"})
        std::filesystem::create_directories(sample_.program.path() / "FirmwareDir" / folder);
    sample_.program.write("FirmwareDir/TCL/V6.50", "a file, not a version");
    ASSERT_EQ(fill({FirmwareDepotKind::TCL, FirmwareDepotKind::TCL}), DepotFill::Filled);
    EXPECT_EQ(depot().versions(FirmwareDepotKind::TCL),
              (std::vector<std::string>{"V6.100", "V6.20", "V6.21"}));
    EXPECT_EQ(depot().selectedVersion(FirmwareDepotKind::TCL), "V6.21");
    EXPECT_EQ(depot().languages(FirmwareDepotKind::TCL), (std::vector<std::string>{"Deutsch", "English"}));
    EXPECT_EQ(depot().selectedLanguage(FirmwareDepotKind::TCL), "Deutsch");
    EXPECT_EQ(depot().versions(FirmwareDepotKind::Server), std::vector<std::string>{"---"});
    EXPECT_EQ(depot().languages(FirmwareDepotKind::Server), std::vector<std::string>{"---"});
    EXPECT_EQ(depot().versionDirectory(FirmwareDepotKind::TCL), sample_.root() + "/TCL/V6.21");
    EXPECT_TRUE(boxes_.texts.empty());

    // V6.100 has no description file: its languages show "---".
    EXPECT_FALSE(depot().selectVersion(FirmwareDepotKind::TCL, 0));
    EXPECT_EQ(boxes_.texts, std::vector<std::string>{
                                sample_.root() + "/TCL/V6.100/Firmware.dep für V6.100 ist nicht zu finden!"});
    EXPECT_EQ(depot().languages(FirmwareDepotKind::TCL), std::vector<std::string>{"---"});
    EXPECT_EQ(depot().description(FirmwareDepotKind::TCL), nullptr);
    EXPECT_TRUE(depot().selectVersionNamed(FirmwareDepotKind::TCL, "V6.20"));
    EXPECT_TRUE(depot().selectLanguageNamed(FirmwareDepotKind::TCL, "English"));
    EXPECT_FALSE(depot().selectLanguageNamed(FirmwareDepotKind::TCL, "Klingonisch"));
    EXPECT_FALSE(depot().selectVersionNamed(FirmwareDepotKind::TCL, "V9.99"));
    EXPECT_EQ(depot().selectedLanguage(FirmwareDepotKind::TCL), "English");

    // A version folder removed while the dialog is open.
    std::filesystem::remove_all(sample_.program.path() / "FirmwareDir/TCL/V6.21");
    boxes_.texts.clear();
    EXPECT_FALSE(depot().selectVersionNamed(FirmwareDepotKind::TCL, "V6.21"));
    EXPECT_EQ(boxes_.texts, std::vector<std::string>{"Die TCL-Version V6.21 ist nicht zu finden!"});
}

TEST(FirmwareDepot, DepotErrorsAreErrorBoxes) {
    using std::filesystem::path;
    struct Case {
        const char* title;
        std::function<void(const path& root)> damage;
        std::vector<FirmwareDepotKind> needed;
        DepotFill fill;
        std::string box; // "$R" stands for the depot root
    };
    const std::vector<Case> cases = {
        {"no TCL depot",
         [](const path& root) { std::filesystem::remove_all(root / "TCL"); },
         {FirmwareDepotKind::Server, FirmwareDepotKind::TCL},
         DepotFill::Failed,
         "Es sind keine TCL-Versionen zu finden!"},
        {"no server version",
         [](const path& root) {
             std::filesystem::remove_all(root / "Server");
             std::filesystem::create_directories(root / "Server/6.20");
         },
         {FirmwareDepotKind::Server},
         DepotFill::Failed,
         "Es sind keine Server-Versionen zu finden!"},
        {"a broken description file",
         [](const path& root) {
             std::filesystem::copy_file(root / "TCL/V6.20/Firmware.dep", root / "Server/V6.21/Firmware.dep",
                                        std::filesystem::copy_options::overwrite_existing);
             std::ofstream(root / "Server/V6.21/Firmware.dep", std::ios::app) << "[Sprache]\n";
         },
         {FirmwareDepotKind::Server},
         DepotFill::Filled,
         "double definition for section Sprache in file $R/Server/V6.21/Firmware.dep"},
        {"no depot needed",
         [](const path& root) { std::filesystem::remove_all(root); },
         {},
         DepotFill::Filled,
         ""},
    };
    const CToolBoxLang language(kGerman);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.title);
        SampleDepot sample;
        c.damage(sample.root());
        RecordingBoxes boxes;
        RecordingSlots slots;
        FirmwareDepot depot(DepotPaths::below(sample.program.path().string()), language, boxes, slots);
        EXPECT_EQ(depot.fillVersionLists(c.needed), c.fill);
        std::string box = c.box;
        if (const auto mark = box.find("$R"); mark != std::string::npos)
            box.replace(mark, 2, sample.root());
        EXPECT_EQ(boxes.texts, box.empty() ? std::vector<std::string>{} : std::vector<std::string>{box});
        if (c.fill == DepotFill::Failed) {
            for (FirmwareDepotKind kind : c.needed)
                EXPECT_EQ(depot.versions(kind), std::vector<std::string>{"---"});
        }
        EXPECT_EQ(depot.languages(FirmwareDepotKind::Server), std::vector<std::string>{"---"});
    }
}

// One terminal's update files from version V6.20 of its depot. In texts and
// paths "$V" stands for that version's folder and "$R" for the depot root.
struct FilesCase {
    const char* title;
    TerminalFields terminal;
    std::string description = {}; // replaces the version's Firmware.dep; empty: the sample's
    std::string language = "Deutsch";
    UpdateOptions options = {};
    bool autoexecRead = true;
    std::vector<std::string> files = {}; // empty: the composition fails
    std::string minMonitor = "2_00~";
    std::string fileMonitor = "-";
    std::string config = "6.20";
    std::optional<std::size_t> defaultProgram = {};
    std::string message = {}; // the slot's message
    std::string box = {};     // the start of a message box's text
};

TerminalFields withDrivers(TerminalFields terminal, std::string netDriver, std::string readerDriver = "") {
    terminal.NetDriver = std::move(netDriver);
    terminal.ReaderDriver = std::move(readerDriver);
    return terminal;
}

TEST(FirmwareDepot, UpdateFilesFollowTheSectionTheReadersAndTheChoices) {
    using namespace product;
    using namespace tcl_kind;
    const std::string ok = " Kein Firmwareupdate möglich!";
    const std::string corrupt = "FEHLER: Firmware.dep ist fehlerhaft." + ok;
    const UpdateOptions pcmcia{MonitorReplacement::WhenOlder, PcmciaReplacement::Always};
    // clang-format off
    const std::vector<FilesCase> cases = {
        {.title = "7450: monitor first, keys in byte order, language and default program",
         .terminal = terminalOf(Talmo7450, Pze),
         .files = {"$V/monitor7450.bin", "$V/tcl7450.bin", "$V/tables7450.dat", "$V/sprache_de.txt", "$V/default_de.tcl"},
         .fileMonitor = "2_05~", .defaultProgram = 4},
        {.title = "7000 ACM takes TCLZS", .terminal = terminalOf(Talmo7000, Acm), .language = "English",
         .files = {"$V/tcl7000zs.exe", "$V/sprache_en.txt", "$V/default_en.tcl"}, .defaultProgram = 2},
        {.title = "7000 PZE takes TCL; PCMCIA only with the option",
         .terminal = withDrivers(terminalOf(Talmo7000, Pze), "wavelan"),
         .files = {"$V/tcl7000.exe", "$V/sprache_de.txt", "$V/default_de.tcl"}, .defaultProgram = 2},
        {.title = "7200: BIOS and monitor ahead of TCL", .terminal = terminalOf(Talmo7200, Pze),
         .files = {"$V/bios7200.bin", "$V/monitor7200.bin", "$V/tcl7200.bin", "$V/sprache_de.txt", "$V/default_de.tcl"},
         .fileMonitor = "2_05~", .defaultProgram = 4},
        {.title = "DCU8e of group 4", .terminal = terminalOf(Dcu8eR, Acm),
         .files = {"$V/tcl7000zs.exe", "$V/sprache_de.txt", "$V/default_de.tcl"}, .defaultProgram = 2},
        {.title = "9300", .terminal = terminalOf(Talmo9300, Pze),
         .files = {"$V/monitor9300.bin", "$V/tcl9300.bin", "$V/sprache_de.txt", "$V/default_de.tcl"},
         .fileMonitor = "2_05~", .defaultProgram = 3},
        {.title = "7460: the Linux monitor counts as 0.01", .terminal = terminalOf(Talmo7460, Acm),
         .files = {"$V/monitor7460.bin", "$V/tcl7460.bin", "$V/sprache_de.txt", "$V/default_de.tcl"},
         .fileMonitor = "0_01~", .defaultProgram = 3},
        {.title = "DCU40 of sub-type 1 takes the short CPU name in the TCL depot", .terminal = terminalOf(Dcu40, Acm, 1),
         .files = {"$V/monitordcu40.bin", "$V/tcldcu40.bin", "$V/sprache_de.txt", "$V/default_de.tcl"},
         .fileMonitor = "0_01~", .defaultProgram = 3},
        {.title = "7450 server from the server depot, without default program", .terminal = terminalOf(Talmo7450, Server),
         .files = {"$V/monitor7450.bin", "$V/srv7450.bin", "$V/sprache_de.txt"}, .fileMonitor = "2_05~"},
        {.title = "DCU40 of sub-type 1 in the server depot: no short name", .terminal = terminalOf(Dcu40, Server, 1),
         .description = "[CPUDCU40]\nTCL=srv7460.bin\n", .language = "---",
         .message = "Diese Server-Firmware Version gibt es nicht für ein TALMO DCU40"},
        {.title = "a section with version values only", .terminal = terminalOf(Talmo7450, Pze),
         .description = "[CPU7450]\nCONFIGVERSION=6.20\nMINMONITORVERSION=2.00\n", .language = "---", .message = corrupt},
        {.title = "an empty value", .terminal = terminalOf(Talmo7450, Pze),
         .description = "[CPU7450]\nCONFIGVERSION=\nTCL=tcl7450.bin\n", .language = "---", .message = corrupt},
        {.title = "a TCL file of the wrong type", .terminal = terminalOf(Talmo7450, Pze),
         .description = "[CPU7450]\nTCL=tcl7200.bin\n", .language = "---",
         .message = "FEHLER: Lokale UpdateDatei $V/tcl7200.bin ist nicht der richtige Typ." + ok},
        {.title = "a missing file", .terminal = terminalOf(Talmo7450, Pze),
         .description = "[CPU7450]\nTCL=tcl7450.bin\nzz=missing.bin\n", .language = "---",
         .message = "FEHLER: Lokale UpdateDatei $V/missing.bin kann nicht geöffnet werden." + ok},
        {.title = "an empty file", .terminal = terminalOf(Talmo7450, Pze),
         .description = "[CPU7450]\nTCL=tcl7450.bin\nzz=empty.bin\n", .language = "---",
         .message = "FEHLER: Lokale UpdateDatei $V/empty.bin hat die Länge 0." + ok},
        {.title = "an absolute path, no languages, a short minimum monitor version", .terminal = terminalOf(Talmo7450, Pze),
         .description = "[CPU7450]\nMINMONITORVERSION=1.\nTCL=$V/tcl7450.bin\n", .language = "---",
         .files = {"$V/tcl7450.bin"}, .minMonitor = "", .config = "-"},
        {.title = "PCMCIA files of the driver's folder", .terminal = withDrivers(terminalOf(Talmo7000, Pze), "WaveLAN"),
         .options = pcmcia,
         .files = {"$V/tcl7000.exe", "$R/pcmcia/wavelan/wvlan.cfg", "$R/pcmcia/wavelan/wvlan.com", "$V/sprache_de.txt",
                   "$V/default_de.tcl"},
         .defaultProgram = 4},
        {.title = "PCMCIA files of the lsp reader driver",
         .terminal = withDrivers(terminalOf(Talmo7400, Pze), "lsp", "LSPRDR.EXE"), .options = pcmcia,
         .files = {"$V/tcl7000.exe", "$R/pcmcia/lsp/lsprdr.exe", "$V/sprache_de.txt", "$V/default_de.tcl"},
         .defaultProgram = 3},
        {.title = "a driver without folder (and never one outside pcmcia)",
         .terminal = withDrivers(terminalOf(Dcu8, Pze), "../TCL"), .options = pcmcia,
         .files = {"$V/tcl7000.exe", "$V/sprache_de.txt", "$V/default_de.tcl"}, .defaultProgram = 2,
         .message = "Keine Datei in $R/pcmcia/../TCL/ ist nicht zu finden!"},
        {.title = "autoexec.bat unreadable", .terminal = withDrivers(terminalOf(Talmo7000, Pze), "wavelan"),
         .options = pcmcia, .autoexecRead = false,
         .files = {"$V/tcl7000.exe", "$V/sprache_de.txt", "$V/default_de.tcl"}, .defaultProgram = 2,
         .box = "AUTOEXEC.BAT des Terminals konnte nicht eingelesen und untersucht werden.\nDas Update"},
    };
    // clang-format on
    const CToolBoxLang language(kGerman);
    for (const FilesCase& c : cases) {
        SCOPED_TRACE(c.title);
        SampleDepot sample;
        const FirmwareDepotKind kind = depotKindOf(c.terminal);
        const std::string folder = kind == FirmwareDepotKind::TCL ? "TCL/V6.20" : "Server/V6.20";
        const auto expand = [&](std::string text) {
            for (const auto& [mark, value] :
                 {std::pair{"$V", sample.root() + "/" + folder}, {"$R", sample.root()}})
                for (auto at = text.find(mark); at != std::string::npos; at = text.find(mark))
                    text.replace(at, 2, value);
            return text;
        };
        sample.program.write("FirmwareDir/" + folder + "/empty.bin", "");
        if (!c.description.empty())
            sample.describe(folder, expand(c.description));
        RecordingBoxes boxes;
        RecordingSlots slots;
        FirmwareDepot depot(DepotPaths::below(sample.program.path().string()), language, boxes, slots);
        const std::vector<FirmwareDepotKind> needed{kind};
        ASSERT_EQ(depot.fillVersionLists(needed), DepotFill::Filled);
        ASSERT_TRUE(depot.selectVersionNamed(kind, "V6.20"));
        ASSERT_TRUE(depot.selectLanguageNamed(kind, c.language));
        depot.setOptions(c.options);
        TerminalFields terminal = c.terminal;
        int autoexecReads = 0;
        const std::optional<UpdateFileList> list = depot.GetUpdateFiles(terminal, 1, [&] {
            ++autoexecReads;
            return c.autoexecRead;
        });
        EXPECT_EQ(autoexecReads, c.options.pcmcia == PcmciaReplacement::Always ? 1 : 0);
        std::vector<std::pair<int, std::string>> messages;
        if (!c.message.empty())
            messages.emplace_back(1, expand(c.message));
        EXPECT_EQ(slots.messages, messages);
        EXPECT_EQ(boxes.texts.size(), c.box.empty() ? 0u : 1u);
        if (!c.box.empty() && !boxes.texts.empty()) {
            EXPECT_TRUE(boxes.texts.front().starts_with(c.box)) << boxes.texts.front();
        }
        EXPECT_EQ(depot.hasSection(terminal), !c.message.starts_with("Diese"));
        ASSERT_EQ(list.has_value(), !c.files.empty());
        if (!list)
            continue;
        std::vector<std::string> files;
        for (const std::string& file : c.files)
            files.push_back(expand(file));
        EXPECT_EQ(list->files, files);
        EXPECT_EQ(list->MinMonitorVersion, c.minMonitor);
        EXPECT_EQ(list->FileMonitorVersion, c.fileMonitor);
        EXPECT_EQ(list->ConfigVersion, c.config);
        EXPECT_EQ(list->defaultProgram, c.defaultProgram);
        // The sample depot's monitor and BIOS files are named by what they are.
        std::vector<std::size_t> monitorFiles;
        for (std::size_t index = 0; index < c.files.size(); ++index)
            if (c.files[index].starts_with("$V/monitor") || c.files[index].starts_with("$V/bios"))
                monitorFiles.push_back(index);
        EXPECT_EQ(list->monitorFiles, monitorFiles);
    }
}

TEST(UpdateFileList, RemovingFilesKeepsTheDefaultProgramOnItsFile) {
    UpdateFileList list;
    list.files = {"tables", "bios", "monitor", "tcl", "language", "default"};
    list.monitorFiles = {1, 2};
    list.defaultProgram = 5;
    list.removeMonitorFiles(); // by what they are: "tables" sorts before "BIOS" and stays
    EXPECT_EQ(list.files, (std::vector<std::string>{"tables", "tcl", "language", "default"}));
    EXPECT_EQ(list.defaultProgram, 3u);
    list.removeDefaultProgram();
    EXPECT_EQ(list.defaultProgram, std::nullopt);
    list.removeDefaultProgram(); // none added: the language file stays
    EXPECT_EQ(list.files, (std::vector<std::string>{"tables", "tcl", "language"}));

    // The default program before a monitor file: the monitor file's index follows.
    list = {};
    list.files = {"default", "monitor", "tcl"};
    list.monitorFiles = {1};
    list.defaultProgram = 0;
    list.removeDefaultProgram();
    EXPECT_TRUE(list.isMonitorFile(0));
    EXPECT_FALSE(list.isMonitorFile(1));
}

} // namespace
} // namespace kestrix

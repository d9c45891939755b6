// Fills the main window's terminal list from outside input, as the search
// does: from a list file (each line located as the program locates it) or
// from the replies to a find broadcast (IPv4 or IPv6) or an echo broadcast,
// while the fuzzer plays every terminal the program then asks. Checks what
// the list must hold afterwards.
//
// Input: one byte (bits 0-1: 0 a list file, 1 a find broadcast over IPv4, 2
// over IPv6, 3 an echo broadcast; bit 2: only terminals of the maintenance
// group), then for a list file its lines (at most 8) and 0xFD, then the
// terminals' replies: groups separated by 0xFE (one per request, the
// broadcast's first), the datagrams of a group by 0xFF.
#include "mainwindow/main_dialog.h"
#include "mainwindow/recording_view.h"
#include "terminal/terminal.h"

#include "answering_network.h"
#include "check.h"
#include "input_parts.h"
#include "memory_file.h"

#include <algorithm>
#include <climits>
#include <cstddef>
#include <cstdint>
#include <set>
#include <string>
#include <unistd.h>

namespace {

using namespace kestrix;

constexpr std::size_t kLargestLineCount = 8;

struct Network {
    Network() {
        fuzz::enterAnsweringNetwork();
        terminals = new fuzz::AnsweringTerminals;
        // The start directory is an empty one, so that no settings or trace
        // file of the caller's is read; only start-up reads it (list files
        // are read by their full names), so it goes again at once.
        char previous[PATH_MAX];
        char directory[] = "/tmp/kestrix-list-fuzzer-XXXXXX";
        if (::getcwd(previous, sizeof previous) == nullptr || ::mkdtemp(directory) == nullptr ||
            ::chdir(directory) != 0)
            __builtin_trap();
        dialog = new CToolBoxDlg(view, boxes, {StartWarning::Suppressed, AddingMode::Alternative});
        if (!dialog->OnInitDialog() || ::chdir(previous) != 0 || ::rmdir(directory) != 0)
            __builtin_trap();
    }
    fuzz::AnsweringTerminals* terminals;
    test::RecordingView view;
    test::RecordingMessageBoxes boxes;
    CToolBoxDlg* dialog;
};

Network* network = nullptr;

void checkList(const TerminalList& list, GroupFilter filter) {
    std::set<std::string> serialNumbers;
    for (std::size_t index = 0; index < list.size(); ++index) {
        const Terminal& terminal = list.at(index);
        check(serialNumbers.insert(terminal.SerialNumber).second);
        // A saved line with neither address nor serial number leaves its
        // record unlocated, as it was made; it is listed as it is.
        if (terminal.SerialNumber.empty() && terminal.AddrInUse.isUnspecified())
            continue;
        check(isValidSerialNumber(terminal.SerialNumber));
        check(filter == GroupFilter::AllGroups || terminal.AuthOK);
    }
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    network = new Network;
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0)
        return 0;
    std::string_view input(reinterpret_cast<const char*>(data) + 1, size - 1);
    CToolBoxDlg& dialog = *network->dialog;
    network->boxes.shown.clear();
    const GroupFilter filter = (data[0] & 4) != 0 ? GroupFilter::CurrentGroupOnly : GroupFilter::AllGroups;
    switch (data[0] & 3) {
    case 0: {
        const std::size_t end = std::min(input.find('\xFD'), input.size());
        std::vector<std::string_view> lines = splitAt(input.substr(0, end), '\n');
        lines.resize(std::min(lines.size(), kLargestLineCount));
        network->terminals->setScript(fuzz::scriptOf(input.substr(std::min(end + 1, input.size()))));
        static const MemoryFile file;
        std::string text;
        for (std::string_view line : lines)
            text.append(line).append("\n");
        file.fill({reinterpret_cast<const std::uint8_t*>(text.data()), text.size()});
        dialog.ReadFile(file.name());
        checkList(dialog.terminalList(), GroupFilter::AllGroups);
        break;
    }
    case 1:
    case 2:
        network->terminals->setScript(fuzz::scriptOf(input));
        dialog.DoFindBroadcast((data[0] & 3) == 1 ? BroadcastFamily::IPv4 : BroadcastFamily::IPv6, filter, 0);
        checkList(dialog.terminalList(), filter);
        break;
    default:
        network->terminals->setScript(fuzz::scriptOf(input));
        dialog.DoEchoBroadcast(filter, 0);
        checkList(dialog.terminalList(), filter);
        break;
    }
    dialog.OnClearList();
    return 0;
}

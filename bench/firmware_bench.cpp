// firmware_bench: ten simulated terminals (five TALMO 7450, five TALMO 7100,
// each with a monitor older than the depot's, so each gets its monitor and
// restarts after it) updated to the sample depot's TCL firmware V6.20 through
// the firmware update dialog's logic, once with the dialog's 2 slots and once
// with 8, each on a fresh test bed. Every wait is scaled by KESTRIX_TIME_SCALE
// (the argument, default 0.05; the simulated terminals' restarts too).
//
// It sets the run's wall time next to the work the terminals' updates consist
// of: the pauses the procedure makes (summed over all terminals) plus the
// TFTP transfers of the firmware files, timed from each file's start to its
// last acknowledged block. What the update spends waiting for a terminal's
// answer (network time-outs while it restarts) is in neither sum: the summed
// per-terminal update times show it. Needs root; prints figures, asserts nothing.
#include "config/blocks.h"
#include "firmware/firmware_update.h"
#include "lan/lan_interfaces.h"
#include "messages/toolbox_lang.h"
#include "netbed/namespace_child.h"
#include "netbed/network_bed.h"
#include "platform/message_box.h"
#include "platform/pause.h"
#include "protocol/t7000ip.h"
#include "terminal/action_owner.h"
#include "terminal/terminal.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <mutex>
#include <string>
#include <sys/wait.h>
#include <unistd.h>

using namespace kestrix;
using Clock = std::chrono::steady_clock;
namespace fs = std::filesystem;

namespace {

constexpr int kTerminals = 10;
constexpr int kMaintenanceGroup = 4711;

double secondsOf(std::chrono::microseconds length) {
    return std::chrono::duration<double>(length).count();
}

std::string addressOf(int terminal) {
    return "10.77.0." + std::to_string(10 + terminal);
}

// The main window's part for the dialog: the located terminals, boxes
// printed and answered with OK.
class BenchOwner : public ActionOwner, public MessageBoxes {
public:
    BenchOwner(T7000ip& engine, const CToolBoxLang& language, std::string startDirectory)
        : engine_(engine), language_(language), startDirectory_(std::move(startDirectory)) {}

    T7000ip& engine() override { return engine_; }
    const CToolBoxLang& language() const override { return language_; }
    MessageBoxes& messageBoxes() override { return *this; }
    std::string startDirectory() const override { return startDirectory_; }
    Terminal& terminalAt(std::size_t index) override { return *terminals.at(index); }
    bool addTerminal(std::unique_ptr<Terminal>) override { return false; }
    void deselectEntry(std::size_t) override {}
    void redrawEntry(std::size_t) override {}
    void setWaitCursor(bool) override {}
    void holdTerminalActions(bool) override {}
    void postIdleMessage() override {}
    MessageAnswer show(const MessageBoxRequest& request) override {
        std::printf("  box: %s\n", request.text.c_str());
        return MessageAnswer::Ok;
    }

    std::vector<std::unique_ptr<Terminal>> terminals;

private:
    T7000ip& engine_;
    const CToolBoxLang& language_;
    const std::string startDirectory_;
};

// The dialog's view without controls: it times each slot's transfers and
// tells the main thread when the scheduler has ended.
class TimingView : public FirmwareUpdateView {
public:
    void showChoices(FirmwareChoice, const std::vector<std::string>&, std::size_t) override {}
    void setListsEnabled(bool) override {}
    void setOptionsEnabled(bool) override {}
    void setStartEnabled(bool) override {}
    void setCancelEnabled(bool) override {}
    void setOverallRange(int) override {}
    void postSchedulerEnd() override { ended.post(); }
    // A transfer sets the label, then the total; freeing the slot sets the
    // label, then a position of 0, which is no transfer.
    void slotLabel(int slot, const std::string&) override {
        const std::lock_guard lock(mutex_);
        lastProgress_.erase(slot);
    }
    void slotValue(int slot, ProgressValue kind, std::uint64_t) override {
        const std::lock_guard lock(mutex_);
        const Clock::time_point now = Clock::now();
        if (kind == ProgressValue::TotalKiB) {
            lastProgress_[slot] = now;
        } else if (const auto transfer = lastProgress_.find(slot); transfer != lastProgress_.end()) {
            transfers_ += now - transfer->second;
            transfer->second = now;
        }
    }
    void slotHeader(int, const std::string&) override {}
    void slotMessage(int, const std::string&) override {}
    void slotTerminal(int, const std::string&) override {}
    void slotFileCount(int, FileCountValue, int) override {}
    void advanceOverall() override {}

    Clock::duration transfers() {
        const std::lock_guard lock(mutex_);
        return transfers_;
    }
    Semaphore ended{0, 1};

private:
    std::mutex mutex_;
    std::map<int, Clock::time_point> lastProgress_;
    Clock::duration transfers_{};
};

// The program's side, in the PC's namespace (a child process).
int measure(int slots, const std::string& startDirectory) {
    enumerateLanInterfaces();
    CToolBoxLang language(kLocaleIdEnglishUnitedStates);
    T7000ip& engine = T7000ip::getT7000ip(&language);
    engine.setT7000ipMaintGroup(kMaintenanceGroup);
    BenchOwner owner(engine, language, startDirectory);
    std::vector<std::size_t> selection;
    for (int terminal = 0; terminal < kTerminals; ++terminal) {
        try {
            owner.terminals.push_back(
                std::make_unique<Terminal>(engine, AuthenticationMode::IDBased, addressOf(terminal), "", -1));
            selection.push_back(owner.terminals.size() - 1);
        } catch (const Terminal::TerminalError& error) {
            std::printf("  terminal %s: %s\n", addressOf(terminal).c_str(), error.text.c_str());
        }
    }
    TimingView view;
    double wall = 0;
    std::chrono::microseconds paused{0};
    std::vector<FirmwareOutcome> outcomes;
    {
        FirmwareUpdate dialog(owner, selection);
        dialog.attachView(view);
        dialog.setRunSettings({std::nullopt, slots});
        dialog.OnInitDialog();
        if (!dialog.depot().selectVersionNamed(FirmwareDepotKind::TCL, "V6.20") ||
            !dialog.depot().selectLanguageNamed(FirmwareDepotKind::TCL, "English")) {
            std::fprintf(stderr, "firmware_bench: the sample depot lacks V6.20 or English\n");
            return 1;
        }
        const std::chrono::microseconds pausedBefore = pausedInTotal();
        const Clock::time_point start = Clock::now();
        dialog.OnStart();
        view.ended.wait(std::chrono::hours(1));
        dialog.OnSchedFirmUpdEnd();
        wall = std::chrono::duration<double>(Clock::now() - start).count();
        paused = pausedInTotal() - pausedBefore;
        outcomes = dialog.outcomes();
        dialog.detachView();
    }
    int succeeded = 0;
    double updateSeconds = 0;
    for (const FirmwareOutcome& outcome : outcomes) {
        succeeded += outcome.result == UpdateResult::Succeeded ? 1 : 0;
        updateSeconds += outcome.seconds;
        if (outcome.result == UpdateResult::Failed)
            std::printf("  %s failed: %s\n", outcome.serialNumber.c_str(), outcome.lastMessage.c_str());
    }
    const double pauses = secondsOf(paused);
    const double transfers = std::chrono::duration<double>(view.transfers()).count();
    const double work = pauses + transfers;
    std::printf("  %d of %zu updates succeeded; wall time %.2f s\n", succeeded, outcomes.size(), wall);
    std::printf("  pauses made %.2f s + transfers %.2f s = %.2f s of work (summed over the terminals)\n",
                pauses, transfers, work);
    std::printf("  per-terminal update times summed: %.2f s (%.2f s per terminal)\n", updateSeconds,
                updateSeconds / static_cast<double>(outcomes.empty() ? 1 : outcomes.size()));
    std::printf("  ratio wall / work: %.3f (with %d slots no run is below %.3f)\n", wall / work, slots,
                1.0 / std::min(slots, kTerminals));
    std::printf("  wall / (update times / slots): %.3f (1: every slot busy all the time)\n",
                wall / (updateSeconds / std::min(slots, kTerminals)));
    T7000ip::releaseT7000ip();
    return succeeded == kTerminals ? 0 : 1;
}

test::BedLayout benchLayout(const fs::path& files) {
    const std::vector<std::uint8_t> block = test::fileWithPasswords("6.20", {"", "", ""});
    test::BedLayout layout;
    for (int terminal = 0; terminal < kTerminals; ++terminal) {
        const bool t7450 = terminal % 2 == 0;
        const fs::path directory = files / std::to_string(terminal);
        fs::create_directories(directory);
        std::ofstream(directory / "talmo.cfg", std::ios::binary)
            .write(reinterpret_cast<const char*>(block.data()), static_cast<std::streamsize>(block.size()));
        test::TerminalSetup setup;
        setup.ipv4 = addressOf(terminal) + "/24";
        setup.terminalSection = {{"serial_number", std::to_string(300000 + terminal)},
                                 {"product", t7450 ? "TALMO 7450" : "TALMO 7100"},
                                 {"security_id", "A1B2C3D4"},
                                 {"maintenance_group", std::to_string(kMaintenanceGroup)},
                                 {"monitor_version", "2.01"},
                                 {"bios_file", t7450 ? "" : "bios7200.bin"}};
        setup.tftpSection = {{"directory", directory.string()}};
        layout.terminals.push_back(setup);
    }
    return layout;
}

} // namespace

int main(int argc, char** argv) {
    const std::string scale = argc > 1 ? argv[1] : "0.05";
    if (argc > 2) {
        std::fprintf(stderr, "usage: firmware_bench [TIME_SCALE]\n");
        return 2;
    }
    if (geteuid() != 0) {
        std::fprintf(stderr, "firmware_bench: needs root for the network test bed\n");
        return 1;
    }
    // Before the bed starts the simulated terminals: their restarts are scaled too.
    ::setenv("KESTRIX_TIME_SCALE", scale.c_str(), 1);
    int status = 0;
    for (const int slots : {2, 8}) {
        char pattern[] = "/tmp/kestrix-firmware-bench-XXXXXX";
        const fs::path files = ::mkdtemp(pattern);
        try {
            const std::string depot = "python3 " KESTRIX_MAKE_SAMPLE_DEPOT " " + files.string();
            if (std::system(depot.c_str()) != 0)
                throw std::runtime_error("make-sample-depot failed");
            test::NetworkBed bed(benchLayout(files / "terminals"));
            std::printf("firmware_bench: %d simulated terminals (7450 and 7100), time scale %s, %d slots; "
                        "bed ready in %.2f s\n",
                        kTerminals, scale.c_str(), slots, bed.setupTime().count() / 1000.0);
            std::fflush(stdout);
            const pid_t child = fork();
            if (child == 0) {
                const std::string failure = test::enterNamedNamespace(bed.pcNamespace());
                if (!failure.empty()) {
                    std::fprintf(stderr, "firmware_bench: %s\n", failure.c_str());
                    _exit(1);
                }
                const int result = measure(slots, files.string());
                std::fflush(stdout);
                _exit(result);
            }
            int wait = 0;
            waitpid(child, &wait, 0);
            if (!WIFEXITED(wait) || WEXITSTATUS(wait) != 0)
                status = 1;
        } catch (const std::exception& error) {
            std::fprintf(stderr, "firmware_bench: %s\n", error.what());
            status = 1;
        }
        fs::remove_all(files);
    }
    return status;
}

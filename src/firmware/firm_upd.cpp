#include "firmware/firm_upd.h"

#include "firmware/firmware_slots.h"
#include "firmware/update_source.h"
#include "messages/toolbox_lang.h"
#include "platform/pause.h"
#include "platform/trace.h"
#include "terminal/action_owner.h"
#include "terminal/terminal.h"

#include <cstddef>
#include <cstdio>
#include <optional>

namespace kestrix {

namespace {

constexpr int kWith = 1;
constexpr int kSerialNumber = 2;
constexpr int kAnd = 3;
constexpr int kIpAddress = 4;
constexpr int kHas = 124;
constexpr int kNotInGroup = 125;
constexpr int kOffline = 126;
constexpr int kCollectingWithPcmcia = 127;
constexpr int kCollecting = 128;
constexpr int kCollectingFailed = 129;
constexpr int kStarted = 140;

// Below this monitor a terminal of platform group 3 gets its configuration
// block converted only after the new monitor was sent.
constexpr const char* kGroup3ConfigMonitorKey = "1_06~";

// How long a terminal may take to answer before its update begins.
constexpr int kReachSeconds = 10;
// The pause after the terminal was asked for its monitor version.
constexpr int kMonitorVersionPause = 7000;
// The pause that keeps a slot's last message visible before it is freed.
constexpr int kSlotReleasePause = 4000;

} // namespace

std::string FirmUpd::traceLines(const std::vector<std::string>& elements) {
    std::string lines;
    for (std::size_t index = 0; index < elements.size(); ++index)
        lines += "\t" + elements[index] + (index + 1 < elements.size() ? ",\n" : "\n");
    return lines;
}

std::string runningFirmwareText(const Terminal& terminal) {
    return terminal.kindPrefix() +
           (terminal.isMonitorMode() ? terminal.MonitorVersion : terminal.FirmwareVersion);
}

FirmUpd::FirmUpd(SchedFirmUpd& scheduler, std::size_t listIndex, int slot)
    : FirmUpd(scheduler, listIndex, slot, scheduler.actionOwner().terminalAt(listIndex).SerialNumber,
              scheduler.updateSource().programDirectory()) {}

FirmUpd::FirmUpd(SchedFirmUpd& scheduler, std::size_t listIndex, int slot, std::string serialNumber,
                 std::string programDirectory)
    : WorkerThread("FirmUpd", nullptr, thread_, NormalEndTrace::Silent), scheduler_(scheduler),
      listIndex_(listIndex), slot_(slot), language_(scheduler.actionOwner().language()),
      programDirectory_(std::move(programDirectory)), serialNumber_(std::move(serialNumber)) {
    trace("FirmUpd::FirmUpd() startet für Terminal %s aus SchedTable[%d]\n", serialNumber_.c_str(), slot_);
    start();
}

FirmUpd::~FirmUpd() {
    trace("FirmUpd::~FirmUpd() startet für Terminal %s aus SchedTable[%d]\n", serialNumber_.c_str(), slot_);
    destroy();
}

void FirmUpd::throwError(int code, const std::string& text) const {
    throw FirmUpdError{{code, text}};
}

const std::string& FirmUpd::text(int id) const {
    return language_.GetText(id);
}

void FirmUpd::show(const std::string& message) {
    scheduler_.firmwareSlots().slotMessage(slot_, message);
    outcome_.lastMessage = message;
}

void FirmUpd::fail() {
    throw UpdateFailed{};
}

void FirmUpd::failWith(int reasonText) {
    show(text(kErrorWordText) + " " + text(reasonText) + " " + text(kNoFirmwareUpdateText));
    fail();
}

void FirmUpd::run() {
    const auto started = std::chrono::steady_clock::now();
    Terminal* terminal = nullptr;
    try {
        terminal = &scheduler_.actionOwner().terminalAt(listIndex_);
        outcome_.listIndex = listIndex_;
        outcome_.serialNumber = terminal->SerialNumber;
        outcome_.productName = terminal->ProductName;
        outcome_.oldVersion = runningFirmwareText(*terminal);
        update(*terminal);
        outcome_.result = UpdateResult::Succeeded;
        outcome_.newVersion = runningFirmwareText(*terminal);
    } catch (const UpdateFailed&) {
    } catch (...) {
        // Whatever else breaks must still free the slot, or the scheduler would wait for ever.
        trace("FirmUpd::run(): unerwartete Exception\n");
    }
    if (outcome_.result == UpdateResult::Failed) {
        trace("FirmUpd::run(): für Terminal %s mit Fehler beendet\n", serialNumber_.c_str());
        pause(kSlotReleasePause);
        scheduler_.firmwareSlots().advanceOverall();
    }
    outcome_.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    const UpdateResult result = outcome_.result;
    scheduler_.recordOutcome(std::move(outcome_));
    trace("FirmUpd::run(): WakeupSched(%d) für Terminal %s aufrufen\n", slot_, serialNumber_.c_str());
    scheduler_.WakeupSched(slot_, result);
    trace("FirmUpd::run(): WakeupSched(%d) done, run() ends\n", slot_);
}

void FirmUpd::update(Terminal& terminal) {
    showHeader(terminal);
    checkGroupAndReach(terminal);
    composeFiles(terminal);
    decideMonitorFiles(terminal);
    dropDefaultProgram(terminal);
    if (configTiming_ == ConfigTiming::Now)
        configurationStep(terminal);
    sendFiles(terminal);
    if (blockState_ == BlockState::Converted)
        writeConfiguration(terminal);
    resetAndWait(terminal);
    finishSucceeded(terminal);
}

void FirmUpd::showHeader(const Terminal& terminal) {
    FirmwareSlots& slots = scheduler_.firmwareSlots();
    slots.slotHeader(slot_, terminal.ProductName + " " + text(kWith) + " " + text(kSerialNumber) + " " +
                                terminal.SerialNumber + " " + text(kAnd) + " " + text(kIpAddress) + " " +
                                terminal.displayAddress(AddressDisplay::DottedIPv4) + " " + text(kHas) + " " +
                                runningFirmwareText(terminal));
    slots.slotMessage(slot_, {});
}

void FirmUpd::checkGroupAndReach(Terminal& terminal) {
    // A terminal too old for authentication is updated like any other (the
    // Firmware button lets it through as well); one that authenticates must
    // have accepted the maintenance group.
    const bool authenticates = terminal.supportsAuthentication();
    if (authenticates && !terminal.AuthOK) {
        if (terminal.IDBasedAuth)
            terminal.findIDBasedAuthentification();
        else
            terminal.findIPBasedAuthentification();
    }
    if (authenticates && !terminal.AuthOK) {
        show(terminal.DNSNameInUse + " " + text(kNotInGroup) + " " + text(kNoFirmwareUpdateText));
        fail();
    }
    try {
        // A terminal in its monitor is reachable too: it is often the one to update.
        terminal.isStartedSameTCL(kReachSeconds, StartExpectation::Monitor);
    } catch (const Terminal::TerminalError&) {
        show(terminal.DNSNameInUse + " " + text(kOffline));
        fail();
    }
    UpdateSource& source = scheduler_.updateSource();
    if (!source.hasSection(terminal)) {
        show(source.notConvenientText(terminal));
        fail();
    }
}

void FirmUpd::composeFiles(Terminal& terminal) {
    show(text(terminal.PlatformGroup == 1 ? kCollectingWithPcmcia : kCollecting));
    std::optional<UpdateFileList> list = scheduler_.updateSource().GetUpdateFiles(terminal, slot_);
    if (!list) {
        show(text(kCollectingFailed));
        fail();
    }
    list_ = std::move(*list);
    std::vector<std::string> elements = list_.files;
    elements.insert(elements.end(), {list_.MinMonitorVersion, list_.FileMonitorVersion, list_.ConfigVersion});
    trace("FirmUpd::run(): Vector aus GetUpdateFiles(): Anzahl: %i, Elemente:\n%s",
          static_cast<int>(elements.size()), traceLines(elements).c_str());
    trace("FirmUpd::run(): ConfigVersion: %s, FileMonitorVersion: %s, MinMonitorVersion: %s\n",
          list_.ConfigVersion.c_str(), list_.FileMonitorVersion.c_str(), list_.MinMonitorVersion.c_str());
}

void FirmUpd::decideMonitorFiles(Terminal& terminal) {
    const int group = terminal.PlatformGroup;
    if (monitorVersionDecides(group)) {
        terminalMonitorKey_ = terminal.getSortMonitorVersion(MonitorVersionCache::Forget);
        pause(kMonitorVersionPause);
    }
    const MonitorReplacement option = scheduler_.updateSource().options().monitor;
    monitorChoice_ =
        decideMonitor(group, terminalMonitorKey_, list_.FileMonitorVersion, list_.MinMonitorVersion, option);
    switch (monitorChoice_) {
    case MonitorChoice::Replace:
        trace("FirmUpd::run(): Monitor (und Bios) wird ersetzt\n");
        break;
    case MonitorChoice::Keep:
    case MonitorChoice::KeepAtMinimum:
        list_.removeMonitorFiles();
        if (monitorChoice_ == MonitorChoice::KeepAtMinimum)
            show(text(kSendingFilesText));
        trace("FirmUpd::run(): Monitor (und Bios) wird NICHT ersetzt\n");
        break;
    case MonitorChoice::ReplaceOnLinux:
        trace("FirmUpd::run(): Terminal hat Linux, Monitor wird immer mit ersetzt\n");
        break;
    case MonitorChoice::NoMonitorFiles:
        trace("FirmUpd::run(): Terminal hat weder Monitor noch Bios\n");
        break;
    }
    // A terminal of platform group 3 with an old monitor gets its
    // configuration step only once the new monitor file has been sent.
    if (group == 3 && replacesMonitor(monitorChoice_) && terminalMonitorKey_ < kGroup3ConfigMonitorKey)
        configTiming_ = ConfigTiming::AfterFirstFile;
}

void FirmUpd::dropDefaultProgram(Terminal& terminal) {
    if (!terminal.T7000ipGetExchgDefPrgr())
        list_.removeDefaultProgram();
}

void FirmUpd::finishSucceeded(Terminal& terminal) {
    ActionOwner& owner = scheduler_.actionOwner();
    owner.redrawEntry(listIndex_);
    owner.deselectEntry(listIndex_);
    trace("FirmUpd::run(): Update und Reboot beendet für Terminal %s aus SchedTable[%d]\n",
          serialNumber_.c_str(), slot_);
    logUpdateDone(terminal);
    scheduler_.firmwareSlots().advanceOverall();
    show(text(kStarted));
    pause(kSlotReleasePause);
}

void FirmUpd::logUpdateDone(const Terminal& terminal) const {
    std::FILE* log = std::fopen((programDirectory_ + "/TALMOUpdateDone.txt").c_str(), "a");
    if (log == nullptr)
        return;
    std::fprintf(log, "%s %s\n", terminal.SerialNumber.c_str(), runningFirmwareText(terminal).c_str());
    std::fclose(log);
}

} // namespace kestrix

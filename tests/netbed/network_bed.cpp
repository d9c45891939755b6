#include "netbed/network_bed.h"

#include "netbed/namespace_child.h"

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <gtest/gtest.h>
#include <mutex>
#include <numeric>
#include <sstream>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace kestrix::test {

namespace {

using Clock = std::chrono::steady_clock;

// How long a terminal program or delay helper may take to get ready (under
// the sanitizers, with many started at once), and to end after SIGTERM.
constexpr std::chrono::seconds kStartTime{60};
constexpr std::chrono::seconds kStopTime{5};

std::filesystem::path bedRoot() {
    const char* root = std::getenv("KESTRIX_NETBED_ROOT");
    return root != nullptr && *root != '\0' ? root : "/tmp/kestrix-netbed";
}

// "kb" + process id + a letter count (a, b, ... z, ba, ...).
std::string newPrefix() {
    static std::atomic<unsigned> counter{0};
    unsigned number = counter++;
    std::string letters;
    do {
        letters.insert(letters.begin(), static_cast<char>('a' + number % 26));
        number /= 26;
    } while (number > 0);
    return "kb" + std::to_string(::getpid()) + letters;
}

// Field 22 of /proc/self/stat: when this process started, in clock ticks.
std::string processStartTime() {
    std::ifstream file("/proc/self/stat");
    std::string text((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
    std::istringstream fields(text.substr(text.rfind(')') + 1));
    std::string field;
    for (int number = 3; number <= 22 && fields >> field; ++number) {
    }
    return field;
}

std::string readFile(const std::filesystem::path& path) {
    std::ifstream file(path, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
}

std::string logTail(const std::filesystem::path& path) {
    constexpr std::size_t kTail = 4000;
    const std::string text = readFile(path);
    return text.size() <= kTail ? text : "..." + text.substr(text.size() - kTail);
}

std::string probabilityText(double probability) {
    if (!(probability >= 0.0 && probability <= 1.0))
        throw NetworkBedError("a drop probability must lie in 0..1");
    char text[32];
    std::snprintf(text, sizeof text, "%.6f", probability);
    return text;
}

ino_t namespaceInode(const std::string& path) {
    struct stat status {};
    return ::stat(path.c_str(), &status) == 0 ? status.st_ino : 0;
}

// True when the process is in the named namespace and a UDP socket there
// (IPv4 or IPv6) is bound to the port.
bool udpPortBound(pid_t pid, const std::string& ns, std::uint16_t port) {
    const std::string process = "/proc/" + std::to_string(pid);
    const ino_t wanted = namespaceInode("/run/netns/" + ns);
    if (wanted == 0 || namespaceInode(process + "/ns/net") != wanted)
        return false;
    char portText[16];
    std::snprintf(portText, sizeof portText, ":%04X", static_cast<unsigned>(port));
    for (const char* table : {"/net/udp", "/net/udp6"}) {
        std::ifstream file(process + table);
        std::string line;
        std::getline(file, line); // header
        while (std::getline(file, line)) {
            std::istringstream fields(line);
            std::string slot;
            std::string local;
            if (fields >> slot >> local && local.ends_with(portText))
                return true;
        }
    }
    return false;
}

} // namespace

std::string talmoSimProgram() {
#ifdef KESTRIX_TALMO_SIM
    return KESTRIX_TALMO_SIM;
#else
    return {};
#endif
}

std::string delayHelperProgram() {
    return KESTRIX_NETBED_DELAY;
}

std::string bedScript() {
    return KESTRIX_NETBED_SCRIPT;
}

std::string removeStaleBeds() {
    const CommandResult result = runCommand({"bash", bedScript(), "clean-stale"});
    if (!result.succeeded())
        throw NetworkBedError("netbed.sh clean-stale: " + describeWaitStatus(result.waitStatus) + "\n" +
                              result.output);
    return result.output;
}

NetworkBed::NetworkBed(BedLayout layout) : layout_(std::move(layout)), prefix_(newPrefix()) {
    const auto start = Clock::now();
    static std::once_flag staleRemoved;
    std::call_once(staleRemoved, [] { std::fputs(removeStaleBeds().c_str(), stderr); });
    links_.resize(layout_.terminals.size());
    try {
        build();
    } catch (...) {
        tearDown();
        throw;
    }
    setupTime_ = std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start);
}

NetworkBed::~NetworkBed() {
    tearDown();
}

std::string NetworkBed::terminalNamespace(std::size_t terminal) const {
    return prefix_ + "-t" + std::to_string(terminal);
}

std::filesystem::path NetworkBed::configFile(std::size_t terminal) const {
    return runDirectory_ / ("t" + std::to_string(terminal) + ".ini");
}

std::filesystem::path NetworkBed::logFile(std::size_t terminal) const {
    return runDirectory_ / ("t" + std::to_string(terminal) + ".log");
}

std::filesystem::path NetworkBed::readyFile(std::size_t terminal) const {
    return runDirectory_ / ("t" + std::to_string(terminal) + ".ready");
}

void NetworkBed::build() {
    // The owner file comes first: whatever exists later can be traced to it.
    runDirectory_ = bedRoot() / prefix_;
    std::filesystem::create_directories(bedRoot());
    std::filesystem::create_directory(runDirectory_);
    std::ofstream(runDirectory_ / "owner") << ::getpid() << " " << processStartTime() << "\n";
    const std::filesystem::path layoutFile = runDirectory_ / "layout";
    try {
        std::ofstream(layoutFile) << layoutFileText(layout_);
    } catch (const std::invalid_argument& error) {
        throw NetworkBedError(std::string("bad layout: ") + error.what());
    }
    runScript({"up", prefix_, layoutFile.string()});
    for (std::size_t terminal = 0; terminal < layout_.terminals.size(); ++terminal)
        if (layout_.terminals[terminal].linkFaults != LinkFaults{})
            setLinkFaults(terminal, layout_.terminals[terminal].linkFaults);
    for (std::size_t terminal = 0; terminal < layout_.terminals.size(); ++terminal)
        launchTerminal(terminal);
    awaitTerminals();
}

void NetworkBed::tearDown() {
    for (Link& link : links_) {
        link.program.terminate();
        link.delayToTerminal.terminate();
        link.delayToPc.terminate();
    }
    const auto deadline = Clock::now() + kStopTime;
    for (std::size_t terminal = 0; terminal < links_.size(); ++terminal) {
        Link& link = links_[terminal];
        if (link.program.started())
            reportProgramEnd(terminal, link.program.waitUntil(deadline));
        link.delayToTerminal.waitUntil(deadline);
        link.delayToPc.waitUntil(deadline);
    }
    links_.clear();
    try {
        runScript({"down", prefix_});
    } catch (const std::exception& error) {
        ADD_FAILURE() << "removing the network bed " << prefix_ << ": " << error.what();
    }
}

// Programs end with status 0 on SIGTERM.
void NetworkBed::reportProgramEnd(std::size_t terminal, int waitStatus) {
    if (!WIFEXITED(waitStatus) || WEXITSTATUS(waitStatus) != 0)
        ADD_FAILURE() << "terminal " << terminal << " (" << terminalNamespace(terminal) << ") ended with "
                      << describeWaitStatus(waitStatus) << "; its log:\n"
                      << logTail(logFile(terminal));
}

void NetworkBed::runScript(const std::vector<std::string>& arguments) const {
    std::vector<std::string> argv{"bash", bedScript()};
    argv.insert(argv.end(), arguments.begin(), arguments.end());
    const CommandResult result = runCommand(argv);
    if (!result.succeeded())
        throw NetworkBedError("netbed.sh " + arguments.front() + " " + prefix_ + ": " +
                              describeWaitStatus(result.waitStatus) + "\n" + result.output);
}

bool NetworkBed::runOnPc(const std::function<void()>& body, std::chrono::seconds timeout) const {
    return runInNamespace(pcNamespace(), body, timeout);
}

CommandResult NetworkBed::shellOnPc(const std::string& commandLine) const {
    return runCommand({toolPath("ip"), "netns", "exec", pcNamespace(), "sh", "-c", commandLine});
}

CommandResult NetworkBed::shellOnTerminal(std::size_t terminal, const std::string& commandLine) const {
    return runCommand(
        {toolPath("ip"), "netns", "exec", terminalNamespace(terminal), "sh", "-c", commandLine});
}

BackgroundProcess NetworkBed::startDelayHelper(const std::string& ns, unsigned queue,
                                               std::chrono::milliseconds delay, const std::string& name) {
    const std::filesystem::path ready = runDirectory_ / (name + ".ready");
    const std::filesystem::path log = runDirectory_ / (name + ".log");
    std::filesystem::remove(ready);
    BackgroundProcess helper = BackgroundProcess::startProgram(
        {toolPath("ip"), "netns", "exec", ns, delayHelperProgram(), std::to_string(queue),
         std::to_string(delay.count()), ready.string()},
        log);
    const auto deadline = Clock::now() + kStartTime;
    while (!std::filesystem::exists(ready)) {
        if (!helper.running())
            throw NetworkBedError("the delay helper " + name + " ended with " +
                                  describeWaitStatus(helper.waitStatus()) + ":\n" + logTail(log));
        if (Clock::now() > deadline)
            throw NetworkBedError("the delay helper " + name + " did not get ready:\n" + logTail(log));
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    return helper;
}

void NetworkBed::setLinkFaults(std::size_t terminal, const LinkFaults& faults) {
    Link& link = links_.at(terminal);
    if (faults.delayToTerminal.count() < 0 || faults.delayToPc.count() < 0)
        throw NetworkBedError("a delay cannot be negative");
    const std::string index = std::to_string(terminal);
    const std::string dropIn = probabilityText(faults.dropToTerminal);
    const std::string dropOut = probabilityText(faults.dropToPc);
    // The queues go first, then their helpers: a queue without a listener drops.
    runScript({"faults", prefix_, index, dropIn, "0", dropOut, "0"});
    const auto deadline = Clock::now() + kStopTime;
    link.delayToTerminal.terminate();
    link.delayToPc.terminate();
    link.delayToTerminal.waitUntil(deadline);
    link.delayToPc.waitUntil(deadline);
    link.delayToTerminal = {};
    link.delayToPc = {};
    // Queue 1 in the terminal's namespace, queue N+1 in the PC's.
    const unsigned queueIn = faults.delayToTerminal.count() > 0 ? 1 : 0;
    const unsigned queueOut = faults.delayToPc.count() > 0 ? static_cast<unsigned>(terminal) + 1 : 0;
    if (queueIn != 0)
        link.delayToTerminal = startDelayHelper(terminalNamespace(terminal), queueIn, faults.delayToTerminal,
                                                "t" + index + "-delay-in");
    if (queueOut != 0)
        link.delayToPc =
            startDelayHelper(pcNamespace(), queueOut, faults.delayToPc, "t" + index + "-delay-out");
    if (queueIn != 0 || queueOut != 0)
        runScript(
            {"faults", prefix_, index, dropIn, std::to_string(queueIn), dropOut, std::to_string(queueOut)});
}

void NetworkBed::launchTerminal(std::size_t terminal) {
    const TerminalSetup& setup = layout_.terminals.at(terminal);
    std::vector<std::string> argv{toolPath("ip"), "netns", "exec", terminalNamespace(terminal)};
    if (setup.program == TerminalProgram::Command) {
        if (setup.command.empty())
            throw NetworkBedError("terminal " + std::to_string(terminal) + " has no command");
        argv.insert(argv.end(), setup.command.begin(), setup.command.end());
    } else {
        if (talmoSimProgram().empty() || ::access(talmoSimProgram().c_str(), X_OK) != 0)
            throw NetworkBedError("talmo-sim is not built in this tree (" + talmoSimProgram() + ")");
        const std::filesystem::path files = runDirectory_ / ("t" + std::to_string(terminal) + "-files");
        std::filesystem::create_directories(files);
        simConfiguration(layout_, terminal, files.string()).writeToFile(configFile(terminal).string());
        argv.insert(argv.end(), {talmoSimProgram(), "--config", configFile(terminal).string(), "--ready-file",
                                 readyFile(terminal).string()});
    }
    links_.at(terminal).program = BackgroundProcess::startProgram(argv, logFile(terminal));
}

bool NetworkBed::terminalReady(std::size_t terminal) {
    const TerminalSetup& setup = layout_.terminals[terminal];
    if (setup.program == TerminalProgram::TalmoSim)
        return std::filesystem::exists(readyFile(terminal));
    return setup.readyPort == 0 ||
           udpPortBound(links_[terminal].program.pid(), terminalNamespace(terminal), setup.readyPort);
}

void NetworkBed::awaitTerminals() {
    std::vector<std::size_t> waiting(layout_.terminals.size());
    std::iota(waiting.begin(), waiting.end(), std::size_t{0});
    const auto deadline = Clock::now() + kStartTime;
    while (!waiting.empty()) {
        std::erase_if(waiting, [&](std::size_t terminal) { return terminalReady(terminal); });
        for (std::size_t terminal : waiting) {
            Link& link = links_[terminal];
            if (!link.program.running())
                throw NetworkBedError("terminal " + std::to_string(terminal) + " ended with " +
                                      describeWaitStatus(link.program.waitStatus()) +
                                      " before it was ready:\n" + logTail(logFile(terminal)));
        }
        if (waiting.empty())
            break;
        if (Clock::now() > deadline)
            throw NetworkBedError("terminal " + std::to_string(waiting.front()) + " did not get ready:\n" +
                                  logTail(logFile(waiting.front())));
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
}

} // namespace kestrix::test

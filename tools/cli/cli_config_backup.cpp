// kestrix-cli config backup: the configuration blocks of many terminals
// fetched into one folder, each as DIR/<serial number>.cfg, with a record of
// the run in DIR/backup.json. Several terminals are fetched at once.
#include "cli_arguments.h"
#include "cli_common.h"
#include "cli_config.h"

#include "config/user_param.h"
#include "platform/file_replacement.h"
#include "platform/record_text.h"
#include "protocol/t7000ip.h"
#include "terminal/terminal.h"

#include <atomic>
#include <cstdio>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <set>
#include <thread>

namespace kestrix::cli {
namespace {

// The most terminals fetched at once.
constexpr long kMostParallel = 32;
// The longest line of a list file.
constexpr std::size_t kLongestListLine = 260;

enum class Overwrite { Refused, Allowed };

struct BackupArguments {
    std::vector<std::string> operands; // LIST.rch or the terminals
    std::string directory;
    long parallel = 1;
    Overwrite overwrite = Overwrite::Refused;
};

std::string readBackupArguments(const std::vector<std::string>& words, BackupArguments& arguments) {
    WordReader reader(words);
    bool directoryGiven = false;
    while (!reader.done()) {
        const std::string& word = reader.next();
        if (word == "--dir") {
            const std::optional<std::string> directory = reader.value();
            if (!directory || directory->empty())
                return "--dir needs a folder";
            arguments.directory = *directory;
            directoryGiven = true;
        } else if (word == "--parallel") {
            const std::optional<std::string> count = reader.value();
            if (!count || !optionNumber(*count, 1, kMostParallel, arguments.parallel))
                return "--parallel takes a number from 1 to " + std::to_string(kMostParallel);
        } else if (word == "--force") {
            arguments.overwrite = Overwrite::Allowed;
        } else if (word.starts_with("--")) {
            return "unknown option " + word;
        } else {
            arguments.operands.push_back(word);
        }
    }
    if (!directoryGiven)
        return "config backup needs --dir DIR";
    if (arguments.operands.empty())
        return "config backup needs LIST.rch or at least one TERMINAL";
    return {};
}

// The terminals of a list file, one line each (empty lines skipped), or the
// reason it cannot be read.
std::string readListFile(const std::string& path, std::vector<std::string>& terminals) {
    if (const std::string refusal = checkRegularInput(path); !refusal.empty())
        return refusal;
    std::ifstream file(path, std::ios::binary);
    if (!file)
        return "cannot read " + path;
    std::string line;
    while (std::getline(file, line)) {
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        if (line.size() > kLongestListLine)
            return path + ": a line is longer than " + std::to_string(kLongestListLine) + " characters";
        if (!line.empty())
            terminals.push_back(line);
    }
    return {};
}

// Whether anything, even a dangling symbolic link, is at the path.
bool somethingAt(const std::filesystem::path& path) {
    std::error_code error;
    return std::filesystem::symlink_status(path, error).type() != std::filesystem::file_type::not_found;
}

std::string utcNow() {
    const std::time_t now = std::time(nullptr);
    std::tm parts{};
    gmtime_r(&now, &parts);
    char text[32];
    std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%SZ", &parts);
    return text;
}

// What became of one terminal.
struct BackupResult {
    std::string terminal; // as given
    std::string serialNumber;
    std::string version;
    std::string time;
    std::string file;    // the name in DIR
    std::string failure; // empty when the block was written
};

// The run: the terminals, and what the workers share.
class BackupRun {
public:
    BackupRun(const Invocation& invocation, const BackupArguments& arguments, T7000ip& engine,
              std::vector<std::string> terminals)
        : invocation_(invocation), arguments_(arguments), engine_(engine), results_(terminals.size()) {
        for (std::size_t index = 0; index < terminals.size(); ++index)
            results_[index].terminal = std::move(terminals[index]);
    }

    void run() {
        std::vector<std::jthread> workers;
        const auto count =
            std::min<std::size_t>(static_cast<std::size_t>(arguments_.parallel), results_.size());
        for (std::size_t worker = 0; worker < count; ++worker)
            workers.emplace_back([this] {
                for (std::size_t index = next_++; index < results_.size(); index = next_++)
                    backUp(results_[index]);
            });
    }
    const std::vector<BackupResult>& results() const { return results_; }

private:
    // Each result is written by the one worker that took its index.
    void backUp(BackupResult& result) {
        result.time = utcNow();
        std::string reason;
        const std::unique_ptr<Terminal> terminal =
            locateTerminal(engine_, invocation_, result.terminal, reason);
        if (terminal) {
            result.serialNumber = terminal->SerialNumber;
            result.file = terminal->SerialNumber + ".cfg";
            reason = claim(result.serialNumber);
        }
        if (reason.empty()) {
            UserParam param;
            reason = fetchBlock(*terminal, param);
            if (reason.empty()) {
                result.version = versionOf(param);
                reason =
                    replaceFileContents((std::filesystem::path(arguments_.directory) / result.file).string(),
                                        param.receivedBytes(), FileSecrecy::OwnerOnly);
            }
        }
        result.failure = reason;
        report(result);
    }

    // Takes a serial number for this run: a terminal named twice is fetched
    // once, and a file of an earlier run stays unless overwriting is allowed.
    std::string claim(const std::string& serialNumber) {
        const std::lock_guard lock(mutex_);
        // The serial number comes from the terminal's reply: it names a file in DIR and nothing else.
        if (serialNumber.empty() || serialNumber == "." || serialNumber == ".." ||
            serialNumber.find('/') != std::string::npos)
            return "its serial number '" + serialNumber + "' cannot name a file in the folder";
        if (!claimed_.insert(serialNumber).second)
            return "named twice: its block is fetched once";
        const std::filesystem::path path =
            std::filesystem::path(arguments_.directory) / (serialNumber + ".cfg");
        if (arguments_.overwrite == Overwrite::Refused && somethingAt(path))
            return path.string() + " exists (--force replaces it)";
        return {};
    }

    void report(const BackupResult& result) {
        const std::lock_guard lock(mutex_);
        ++done_;
        const std::string head = "[" + std::to_string(done_) + "/" + std::to_string(results_.size()) + "] " +
                                 echoed(result.terminal) + ": ";
        if (result.failure.empty())
            std::printf("%sSN %s, version %s -> %s\n", head.c_str(), result.serialNumber.c_str(),
                        result.version.c_str(), result.file.c_str());
        else
            std::printf("%sfailed: %s\n", head.c_str(), result.failure.c_str());
        std::fflush(stdout);
    }

    const Invocation& invocation_;
    const BackupArguments& arguments_;
    T7000ip& engine_;
    std::vector<BackupResult> results_;
    std::atomic<std::size_t> next_ = 0;
    std::mutex mutex_; // guards claimed_, done_ and standard output
    std::set<std::string> claimed_;
    std::size_t done_ = 0;
};

std::string backupRecord(const std::vector<BackupResult>& results) {
    std::string text = "[";
    for (std::size_t index = 0; index < results.size(); ++index) {
        const BackupResult& result = results[index];
        text += std::string(index == 0 ? "\n" : ",\n") + "  {\"terminal\": " + jsonString(result.terminal) +
                ", \"serial_number\": " + jsonString(result.serialNumber) +
                ", \"version\": " + jsonString(result.version) + ", \"time\": " + jsonString(result.time) +
                ", \"file\": " + jsonString(result.failure.empty() ? result.file : "") +
                ", \"result\": " + (result.failure.empty() ? "\"ok\"" : "\"failed\"") +
                ", \"reason\": " + jsonString(result.failure) + "}";
    }
    return text + (results.empty() ? "]\n" : "\n]\n");
}

int configBackup(const Invocation& invocation) {
    BackupArguments arguments;
    if (const std::string wrong = readBackupArguments(invocation.arguments, arguments); !wrong.empty())
        return usageError(invocation, wrong);
    std::vector<std::string> terminals;
    const std::string& first = arguments.operands.front();
    if (arguments.operands.size() == 1 && first.ends_with(".rch")) {
        if (const std::string refusal = readListFile(first, terminals); !refusal.empty())
            return fail(refusal);
        if (terminals.empty())
            return fail(first + " names no terminal");
    } else {
        terminals = arguments.operands;
    }
    // The folder and the record are checked before any terminal is asked.
    const std::filesystem::path directory(arguments.directory);
    std::error_code error;
    std::filesystem::create_directories(directory, error);
    if (!std::filesystem::is_directory(directory, error))
        return fail(arguments.directory + " is no folder and cannot be made one");
    const std::string record = (directory / "backup.json").string();
    if (arguments.overwrite == Overwrite::Refused && somethingAt(record))
        return fail(record + " exists: an earlier backup is never overwritten without --force");
    if (const std::string refusal = checkReplaceableTarget(record); !refusal.empty())
        return fail(refusal);

    T7000ip* engine = startEngine(invocation);
    if (engine == nullptr)
        return kExitFailure;
    BackupRun run(invocation, arguments, *engine, std::move(terminals));
    run.run();
    T7000ip::releaseT7000ip();

    const std::string text = backupRecord(run.results());
    if (const std::string failure = replaceFileContents(
            record, std::span(reinterpret_cast<const std::uint8_t*>(text.data()), text.size()),
            FileSecrecy::FollowUmask);
        !failure.empty())
        return fail(failure);
    std::size_t failed = 0;
    for (const BackupResult& result : run.results())
        failed += result.failure.empty() ? 0 : 1;
    if (failed == 0) {
        std::printf("%zu of %zu terminals backed up into %s\n", run.results().size(), run.results().size(),
                    arguments.directory.c_str());
        return kExitSuccess;
    }
    std::fprintf(stderr, "kestrix-cli: %zu of %zu terminals not backed up:\n", failed, run.results().size());
    for (const BackupResult& result : run.results())
        if (!result.failure.empty())
            std::fprintf(stderr, "  %s: %s\n", echoed(result.terminal).c_str(), result.failure.c_str());
    return kExitFailure;
}

} // namespace

std::vector<Subcommand> backupSubcommands() {
    return {
        {"config", "backup",
         "[--group N] [-a] config backup LIST.rch|TERMINAL... --dir DIR [--parallel N] [--force]",
         "  Fetches the configuration block (talmo.cfg) of every terminal of the list\n"
         "  file or of every TERMINAL into DIR/<serial number>.cfg, as the terminal sent\n"
         "  it, and records the run in DIR/backup.json: one object per terminal with\n"
         "  terminal, serial_number, version, time (UTC), file, result (\"ok\" or\n"
         "  \"failed\") and reason. DIR is made when missing. A line per terminal tells\n"
         "  its progress; the terminals that failed are listed at the end.\n"
         "    --parallel N  fetch N terminals at once (1 to 32, default 1)\n"
         "    --force       replace the files of an earlier backup; without it nothing\n"
         "                  in DIR is overwritten (a terminal whose file exists fails)\n"
         "  Exit code 1 when a terminal failed. config diff compares two blocks; config\n"
         "  put restores one.\n",
         configBackup},
        {"config", "diff", "config diff A.cfg B.cfg [--show-secrets] [--server]",
         "  Compares two block files field by field, both converted to the newest\n"
         "  layout of their byte order first: one line \"NAME: A-VALUE -> B-VALUE\" per\n"
         "  field that differs, under the names of the field map (docs/CONFIG_FIELDS.md;\n"
         "  record fields as \"channel[1].flags\"). Bytes the map does not name are\n"
         "  compared too and shown as \"offset N-M\" with their bytes in hex; the CRC\n"
         "  that closes the block is not compared. Passwords and keys show as\n"
         "  \"(hidden)\" unless --show-secrets. --server: the blocks are a server's\n"
         "  (no TCL application area), as for config info.\n"
         "  Exit code 0 when the blocks are equal, 1 when they differ, 2 on an error.\n",
         configDiff, Startup::Offline},
    };
}

} // namespace kestrix::cli

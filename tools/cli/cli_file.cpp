// kestrix-cli file get|put: one TFTP transfer to a plain IPv4 or IPv6
// address (no locating, so any TFTP server will do), the remote name exactly
// as given.
#include "cli_common.h"

#include "platform/file_replacement.h"
#include "tftp/tftp_connection.h"
#include "tftp/tftp_port_range.h"

#include <cctype>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <mutex>
#include <thread>
#include <unistd.h>

namespace kestrix::cli {
namespace {

// One progress line on standard error, rewritten in place.
class ProgressLine : public TransferProgress {
public:
    void slotLabel(int, const std::string& text) override { label_ = text; }
    void slotValue(int, ProgressValue kind, std::uint64_t kibibytes) override {
        if (kind == ProgressValue::TotalKiB)
            total_ = kibibytes;
        else
            std::fprintf(stderr, "\r%s %llu of %llu KiB", label_.c_str(),
                         static_cast<unsigned long long>(kibibytes), static_cast<unsigned long long>(total_));
    }
    void finish() const { std::fprintf(stderr, "\n"); }

private:
    std::string label_;
    std::uint64_t total_ = 0;
};

// The progress of a file fetch on a terminal screen: the reading side of the
// TFTP client reports nothing while it runs, so this watches the growing file
// and rewrites one line four times a second until it is destroyed.
class ReceiveProgressLine {
public:
    ReceiveProgressLine(std::string file, std::string label)
        : file_(std::move(file)), label_(std::move(label)), shown_(::isatty(STDERR_FILENO) == 1) {
        if (shown_)
            watcher_ = std::thread([this] { watch(); });
    }
    ~ReceiveProgressLine() {
        if (!shown_)
            return;
        {
            std::lock_guard lock(mutex_);
            done_ = true;
        }
        ended_.notify_one();
        watcher_.join();
        std::fprintf(stderr, "\n");
    }
    ReceiveProgressLine(const ReceiveProgressLine&) = delete;
    ReceiveProgressLine& operator=(const ReceiveProgressLine&) = delete;

private:
    void watch() {
        std::unique_lock lock(mutex_);
        while (!ended_.wait_for(lock, std::chrono::milliseconds(250), [this] { return done_; })) {
            std::error_code error;
            const auto size = std::filesystem::file_size(file_, error);
            if (!error)
                std::fprintf(stderr, "\r%s: %ju KiB received", label_.c_str(),
                             static_cast<std::uintmax_t>(size / 1024));
        }
    }

    const std::string file_;
    const std::string label_;
    const bool shown_;
    std::mutex mutex_;
    std::condition_variable ended_;
    bool done_ = false;
    std::thread watcher_;
};

// A configuration block carries the setup passwords and the TCL key: its
// local copy is made readable by its owner only.
bool holdsSecrets(const std::string& remote) {
    const std::size_t slash = remote.find_last_of("/\\");
    std::string name = remote.substr(slash == std::string::npos ? 0 : slash + 1);
    for (char& character : name)
        character = static_cast<char>(std::tolower(static_cast<unsigned char>(character)));
    return name == "talmo.cfg" || name.ends_with("]talmo.cfg");
}

int fileGet(const Invocation& invocation) {
    if (invocation.arguments.size() != 3)
        return usageError(invocation, "file get needs ADDRESS, REMOTE and LOCAL");
    const std::string& remote = invocation.arguments[1];
    const std::filesystem::path local = invocation.arguments[2];
    std::string address;
    if (!tftpServerAddress(invocation.arguments[0], address))
        return fail("not an IPv4 or IPv6 address: " + invocation.arguments[0]);
    // The transfer goes into a file beside LOCAL, which replaces LOCAL only
    // once it is complete. A refused LOCAL is known before any packet is sent.
    FileReplacement replacement(local.string(),
                                holdsSecrets(remote) ? FileSecrecy::OwnerOnly : FileSecrecy::FollowUmask);
    if (!replacement.isOpen())
        return fail(replacement.error());
    try {
        const TftpPortRange range = tftpPortRange();
        TFTPConnection connection(address, range.minPort, range.maxPort, invocation.tftpPort);
        ReceiveProgressLine progress(replacement.temporaryPath(), remote);
        connection.read(replacement.temporaryPath(), remote);
    } catch (const TFTPConnection::TFTPError& error) {
        return fail(error.withReason());
    }
    if (!replacement.commit())
        return fail(replacement.error());
    if (::isatty(STDERR_FILENO))
        std::fprintf(stderr, "%s: %ju bytes received\n", local.c_str(),
                     static_cast<std::uintmax_t>(std::filesystem::file_size(local)));
    return 0;
}

int filePut(const Invocation& invocation) {
    if (invocation.arguments.size() != 3)
        return usageError(invocation, "file put needs ADDRESS, LOCAL and REMOTE");
    const std::string& local = invocation.arguments[1];
    const std::string& remote = invocation.arguments[2];
    std::string address;
    if (!tftpServerAddress(invocation.arguments[0], address))
        return fail("not an IPv4 or IPv6 address: " + invocation.arguments[0]);
    // A device or FIFO would stream without end or hang; a missing file is
    // the connection's own error (ID 2, before any packet).
    std::error_code ignored;
    if (std::filesystem::exists(local, ignored))
        if (const std::string refusal = checkRegularInput(local); !refusal.empty())
            return fail(refusal);
    ProgressLine progress;
    const bool showProgress = ::isatty(STDERR_FILENO);
    try {
        const TftpPortRange range = tftpPortRange();
        TFTPConnection connection(address, range.minPort, range.maxPort, invocation.tftpPort);
        connection.write(local, remote, showProgress ? &progress : nullptr, 0);
    } catch (const TFTPConnection::TFTPError& error) {
        if (showProgress)
            progress.finish();
        return fail(error.withReason());
    }
    if (showProgress)
        progress.finish();
    return 0;
}

} // namespace

std::vector<Subcommand> fileSubcommands() {
    return {
        {"file", "get", "[--port TFTP-PORT] file get ADDRESS REMOTE LOCAL",
         "  Fetches REMOTE from the TFTP server at ADDRESS into LOCAL. LOCAL is replaced\n"
         "  only by a complete file.\n",
         fileGet},
        {"file", "put", "[--port TFTP-PORT] file put ADDRESS LOCAL REMOTE",
         "  Sends LOCAL to the TFTP server at ADDRESS as REMOTE.\n", filePut},
    };
}

} // namespace kestrix::cli

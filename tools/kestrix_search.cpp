// kestrix-search: searches the PC's LAN for terminals from the command line.
//
// Enumerates the LAN interfaces, starts the maintenance engine and broadcasts
// the search text ("find *" unless another is given) to the IPv4 broadcast
// address of every interface that is up and to ff02::1 on every interface with
// IPv6; prints the interface table and every reply. With a file
// "KestrixTrace.txt" in the current directory the run is traced into it.
#include "lan/friendly_name.h"
#include "lan/lan_interfaces.h"
#include "mainwindow/start_directory.h"
#include "mainwindow/trace_file.h"
#include "messages/toolbox_lang.h"
#include "protocol/t7000ip.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

using namespace kestrix;

namespace {

void usage() {
    std::fprintf(stderr, "usage: kestrix-search [--timeout SECONDS] [SEARCH TEXT]\n"
                         "  Broadcasts the search text (default \"find *\") on every LAN interface\n"
                         "  and lists the terminals that answer.\n");
}

void searchAt(T7000ip& engine, const Ip6Address& address, const std::string& interfaceName, const std::string& text,
              int timeout, int& total) {
    auto replies = engine.broadcast(address, text, timeout);
    std::printf("  to %s on %s: %zu %s\n", addressToText(address).c_str(), interfaceName.c_str(), replies.size(),
                replies.size() == 1 ? "reply" : "replies");
    for (const auto& reply : replies)
        std::printf("    %s\n", reply.c_str());
    total += static_cast<int>(replies.size());
}

} // namespace

int main(int argc, char** argv) {
    int timeout = 3;
    std::string text;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--timeout") == 0 && i + 1 < argc) {
            char* end = nullptr;
            long value = std::strtol(argv[++i], &end, 10);
            if (*end != '\0' || value < 1 || value > 600) {
                std::fprintf(stderr, "kestrix-search: the time-out must be 1 to 600 seconds\n");
                return 2;
            }
            timeout = static_cast<int>(value);
        } else if (std::strcmp(argv[i], "--help") == 0 || std::strcmp(argv[i], "-h") == 0) {
            usage();
            return 0;
        } else {
            text += (text.empty() ? "" : " ") + std::string(argv[i]);
        }
    }
    if (text.empty())
        text = "find *";

    CToolBoxLang language(localeIdFromEnvironment());
    if (!initStartDirectory()) {
        std::fprintf(stderr, "kestrix-search: the current directory cannot be read\n");
        return 1;
    }
    TraceFileOutcome traceOutcome = openTraceFile(startDirectory(), language);
    if (traceOutcome.state == TraceFileState::NotWritable)
        std::fprintf(stderr, "kestrix-search: %s\n", traceOutcome.warning.c_str());

    enumerateLanInterfaces();
    const LanInterfaces& table = lanInterfaces();
    if (table.count() == 0) {
        std::fprintf(stderr, "kestrix-search: %s\n", language.GetText(81).c_str());
        closeTraceFile();
        return 1;
    }

    T7000ip* engine = nullptr;
    try {
        engine = &T7000ip::getT7000ip(&language);
    } catch (const T7000ip::T7000ipError& error) {
        std::fprintf(stderr, "kestrix-search: %s\n", error.text.c_str());
        closeTraceFile();
        return 1;
    }

    std::printf("LAN interfaces (maintenance port %u):\n", engine->boundPort());
    for (const LanInterface& entry : table.entries()) {
        std::printf("  %-16s IPv4 %-15s IPv6 %s%s\n", friendlyNameToLocalText(entry.FriendlyName).c_str(),
                    entry.IPv4Addr.data(), entry.IPv6Addr[0] ? entry.IPv6Addr.data() : "-",
                    entry.bUp ? "" : "  (inactive)");
    }
    std::printf("Searching with \"%s\", %d s per address:\n", text.c_str(), timeout);
    int total = 0;
    for (int row = 0; row < table.count(); ++row) {
        const LanInterface& entry = table.entries()[static_cast<std::size_t>(row)];
        if (!entry.bUp)
            continue;
        std::string name = friendlyNameToLocalText(entry.FriendlyName);
        if (entry.UIPv4Addr != 0)
            searchAt(*engine, entry.UIPv4BroadcastAddr_AsIPv6, name, text, timeout, total);
        if (entry.IPv6IfIndex != 0 && engine->setOutgoingIf(row) == 0) {
            Ip6Address allNodes = *addressFromText("ff02::1");
            allNodes.scopeId = entry.IPv6IfIndex;
            searchAt(*engine, allNodes, name, text, timeout, total);
        }
    }
    std::printf("%d %s in all.\n", total, total == 1 ? "reply" : "replies");
    T7000ip::releaseT7000ip();
    closeTraceFile();
    return 0;
}

// udp-answer ADDRESS REPLY...: answers every datagram that reaches
// ADDRESS:0xdead with the given reply texts (blanks sent as zero bytes), until
// it is ended. A stand-in terminal for demos of the maintenance engine.
#include "support/scripted_peer.h"

#include <csignal>
#include <cstdio>
#include <unistd.h>

int main(int argc, char** argv) {
    if (argc < 3) {
        std::fprintf(stderr, "usage: udp-answer ADDRESS REPLY...\n");
        return 2;
    }
    std::vector<std::string> replies;
    for (int i = 2; i < argc; ++i)
        replies.push_back(kestrix::test::ScriptedPeer::datagram(argv[i]));
    sigset_t signals;
    sigemptyset(&signals);
    sigaddset(&signals, SIGTERM);
    sigaddset(&signals, SIGINT);
    pthread_sigmask(SIG_BLOCK, &signals, nullptr);
    try {
        kestrix::test::ScriptedPeer peer(argv[1], 0xdead,
                                         [&](const kestrix::test::PeerRequest& request, kestrix::test::ScriptedPeer& self) {
                                             for (const auto& reply : replies)
                                                 self.reply(request, reply);
                                         });
        int received = 0;
        sigwait(&signals, &received);
    } catch (const std::exception& error) {
        std::fprintf(stderr, "udp-answer: %s\n", error.what());
        return 1;
    }
    return 0;
}

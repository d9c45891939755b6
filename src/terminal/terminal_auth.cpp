#include "platform/trace.h"
#include "protocol/request_auth.h"
#include "protocol/t7000ip.h"
#include "terminal/terminal.h"

#include <cstdio>

namespace kestrix {

std::string Terminal::addIDBasedAuth(const std::string& request) const {
    if (TerminalId == 0) {
        trace("Terminal::addIDBasedAuth(): konnte keinen sid=... String anhängen, da SecID == 0\n");
        return request;
    }
    std::uint16_t group = Engine.getT7000ipMaintGroup();
    char suffix[16];
    std::snprintf(suffix, sizeof suffix, "sid=%08X",
                  static_cast<unsigned>(idBasedCheckValue(request, SerialNumber, group, TerminalId)));
    std::string authenticated = request + " " + suffix;
    trace("Terminal::addIDBasedAuth(key: %d, id: %08X, sn: %s): returns '%s'\n", static_cast<int>(group),
          static_cast<unsigned>(TerminalId), SerialNumber.c_str(), authenticated.c_str());
    return authenticated;
}

} // namespace kestrix

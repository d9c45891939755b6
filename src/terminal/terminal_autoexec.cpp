#include "platform/trace.h"
#include "terminal/terminal.h"
#include "tftp/tftp_connection.h"
#include "tftp/tftp_port_range.h"

#include <algorithm>
#include <array>
#include <cctype>

namespace kestrix {

namespace {

std::string lowerCased(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char character) { return static_cast<char>(std::tolower(character)); });
    return text;
}

// The text from a position up to the next CR or the end of the text.
std::string lineFrom(const std::string& text, std::size_t from) {
    std::size_t end = text.find('\r', from);
    return text.substr(from, end == std::string::npos ? std::string::npos : end - from);
}

} // namespace

std::string Terminal::tftpAddress() const {
    std::string text = addressToText(AddrInUse);
    if (AddrInUse.isLinkLocal() && AddrInUse.scopeId != 0)
        text += "%" + std::to_string(AddrInUse.scopeId);
    return text;
}

bool Terminal::getAutoexec() {
    if (AutoexecKnown)
        return true;
    bool result = false;
    bool keyboardFound = false;
    bool pcmciaFound = false;
    if (PlatformGroup == 1) {
        // The batch file is read into a buffer of 1024 bytes; a longer file is a transfer error.
        std::array<std::uint8_t, 1024> buffer{};
        std::size_t length = 0;
        try {
            TftpPortRange range = tftpPortRange();
            TFTPConnection connection(tftpAddress(), range.minPort, range.maxPort);
            length = connection.read(buffer.data(), buffer.size(), "C:\\autoexec.bat");
            result = true;
        } catch (const TFTPConnection::TFTPError& error) {
            trace("getAutoexec(): TFTP Read Error: ID=%d, Text=%s\n", error.id(), error.text.c_str());
        }
        if (result) {
            const std::string text(reinterpret_cast<const char*>(buffer.data()), length);
            const std::string marker = "C:\\T7000\\";
            for (std::size_t at = text.find(marker); at != std::string::npos; at = text.find(marker, at + 1)) {
                const std::size_t p = at + marker.size();
                const std::string line = lineFrom(text, p);
                if (text.compare(p, 7, "LEDDCU8") == 0)
                    continue; // the DCU8's LED program: search on
                if (text.compare(p, 3, "KBD") == 0 && text.find(".COM", p) != std::string::npos) {
                    KeyboardFile = line;
                    keyboardFound = true;
                    break;
                }
                if (text.find('\\', p) != std::string::npos) {
                    ReaderDriver.clear();
                    std::size_t lsp = text.find("LSP\\", p);
                    if (lsp != std::string::npos)
                        ReaderDriver = lowerCased(lineFrom(text, lsp + 4));
                }
                std::size_t slash = line.find('\\');
                NetDriver = lowerCased(slash == std::string::npos ? line : line.substr(0, slash));
                pcmciaFound = true;
                break;
            }
        }
    }
    if (!keyboardFound)
        KeyboardFile.clear();
    if (!pcmciaFound) {
        NetDriver.clear();
        ReaderDriver.clear();
    }
    AutoexecKnown = true;
    trace("getAutoexec(): Ok, KEYBName: '%s', PCMCIAName: '%s', PCMCIAFile: '%s'\n", KeyboardFile.c_str(),
          NetDriver.c_str(), ReaderDriver.c_str());
    return result;
}

} // namespace kestrix

// The terminal's TCL side: the statement interpreter with a clock the test
// sets, the TCL settings and cipher mode, and the TCL port over loopback,
// plain text and both cipher modes.
#include "crypto/aes_ofb.h"
#include "crypto/md5.h"
#include "platform/ip_address.h"
#include "settings_files/ini_data.h"
#include "sim/tcl_host_port.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace kestrix::sim {
namespace {

using namespace std::chrono;

std::string joined(const std::vector<std::string>& lines) {
    std::string text;
    for (const auto& line : lines)
        text += (text.empty() ? "" : "|") + line;
    return text;
}

TEST(TclInterpreter, StatementsAndClock) {
    local_seconds now = local_days(2026y / 1 / 1) + 10h;
    TerminalConfig config;
    config.serialNumber = "100101";
    config.firmwareVersion = "6.12";
    config.tclAnswers.closeOn = "BYE:";
    TclInterpreter terminal(config, [&now] { return now; });
    struct Row {
        int advanceSeconds;
        std::string statement;
        std::string lines; // "|" between lines
        TclConnection connection = TclConnection::KeepOpen;
    };
    const Row rows[] = {
        {0, "IK,'120562026',KT:K,'14:03:07',UR:", ""},
        {0, "ISR,KT+2,2&'.'&KT,2&'.'&KT+5,4:SR,UR,2&':'&UR+3,2&':'&UR+6,2:", "05.12.2026|14:03:07"},
        {65, "ISR,UR&' '&KT:", "14:04:12 120562026"},
        {0, "ISR,'Verbindung OK':", "Verbindung OK"},
        {0, "\nISR,'it''s: '&SN&'/'&VS", "it's: 100101/6.12"},
        {0, "K,'abc',X1:ISR,X1+1&X1,1&X1+7:ISR,X1+1,1:", "bca|b"},
        {0, "BEEP:ISR,'a':", "a|OK"},
        {0, "ISR,'a':ISR,NOPE:ISR,'b':", "a|ERROR"},
        {0, "ISR,'open:", "ERROR"},
        {0, "ISR,'x'y:", "ERROR"},
        {0, "ISR:", "ERROR"},
        {0, "ISR,SN,12345:", "ERROR"},
        {0, "K,'x',SN:", "ERROR"},
        {0, "ISR,'" + std::string(1025, 'x') + "':", "ERROR"},
        // Dates and times that do not exist leave the clock as it was.
        {0, "K,'023052026',KT:", "ERROR"},
        {0, "K,'12056202',KT:", "ERROR"},
        {0, "K,'120572026',KT:", "ERROR"},
        {0, "K,'24:00:00',UR:", "ERROR"},
        {0, "ISR,KT&' '&UR:", "120562026 14:04:12"},
        {0, "K,'23:59:30',UR:", ""},
        {60, "ISR,KT&' '&UR:", "120602026 00:00:30"},
        {0, "ISR,'x':\x1b", "ESC"},
        {0, "", ""},
        {0, "BYE:", "", TclConnection::Close},
    };
    for (const auto& row : rows) {
        now += seconds(row.advanceSeconds);
        const TclAnswer answer = terminal.interpret(row.statement);
        EXPECT_EQ(joined(answer.lines), row.lines) << row.statement;
        EXPECT_EQ(answer.connection, row.connection) << row.statement;
    }
}

TEST(TclInterpreter, StatementsCutAtCarriageReturnsAcrossReads) {
    TclStatementSplitter splitter;
    std::vector<std::string> statements;
    for (const std::string& piece :
         std::vector<std::string>{"ISR,'a'", ":\rK", ",x\r\r", std::string(4097, 'A') + "B\rC\r"})
        for (const auto& statement :
             splitter.feed({reinterpret_cast<const std::uint8_t*>(piece.data()), piece.size()}))
            statements.push_back(statement.cut == TclStatementSplitter::Cut::CutOff
                                     ? "cut off after " + std::to_string(statement.text.size())
                                     : statement.text);
    EXPECT_EQ(joined(statements), "ISR,'a':|K,x||cut off after 4096|C");
}

TerminalConfig tclConfig(const std::vector<std::pair<std::string, std::string>>& changes) {
    IniData ini;
    for (const auto& [key, value] : {std::pair<std::string, std::string>{"serial_number", "100101"},
                                     {"authentication", "none"},
                                     {"tcl_connect", "passive"},
                                     {"tcl_port", "0"}})
        ini.setValue("terminal", key, value);
    for (const auto& [key, value] : changes)
        ini.setValue("terminal", key, value);
    return readTerminalConfig(ini);
}

TEST(TclSettings, KeyAndCipherMode) {
    const std::string hexKey = "00112233445566778899AABBCCDDEEFF";
    struct KeyRow {
        std::vector<std::pair<std::string, std::string>> changes;
        std::string failure; // empty: accepted
    };
    for (const auto& row : std::vector<KeyRow>{
             {{{"tcl_encrypt", "1"}}, "[terminal] tcl_key: needed with tcl_encrypt = 1 (or tcl_key_text)"},
             {{{"tcl_key", hexKey}, {"tcl_key_text", "geheim"}},
              "[terminal] tcl_key: give tcl_key or tcl_key_text, not both"},
             {{{"tcl_key", hexKey.substr(2)}}, "[terminal] tcl_key: must be 32 hexadecimal digits"},
             {{{"tcl_key", hexKey.substr(2) + "GG"}}, "[terminal] tcl_key: must be 32 hexadecimal digits"},
             {{{"tcl_encrypt", "1"}, {"tcl_key", hexKey}}, ""}}) {
        try {
            tclConfig(row.changes);
            EXPECT_EQ("", row.failure);
        } catch (const std::runtime_error& error) {
            EXPECT_EQ(error.what(), row.failure);
        }
    }
    EXPECT_EQ(tclConfig({{"tcl_key_text", "geheim"}}).tclKey, md5("geheim"));

    struct ModeRow {
        std::string version, kind;
        AesMode mode;
    };
    for (const auto& row : std::vector<ModeRow>{{"6.12", "ACM", AesMode::Standard},
                                                {"5.49", "ACM", AesMode::Standard},
                                                {"5a50", "tempo", AesMode::Legacy},
                                                {"5.51a", "ACM", AesMode::Legacy},
                                                {"5.52", "ACM", AesMode::Legacy},
                                                {"5a53", "ACM", AesMode::Standard},
                                                {"5.90", "ACM", AesMode::Legacy},
                                                {"5.93", "ACM", AesMode::Standard},
                                                {"6.12", "BSM", AesMode::Legacy}})
        EXPECT_EQ(tclCipherMode(tclConfig({{"firmware_version", row.version}, {"kind", row.kind}})), row.mode)
            << row.version << " " << row.kind;
}

struct NoInterface : InterfaceAddress {
    void replaceIPv4(const std::string&, const Ipv4Settings&, const Ipv4Settings&) override {}
};

// A host on the TCL port as the console is one: a TCP connection with a
// cipher stream of its own per direction (or none).
class Host {
public:
    Host(const std::string& address, std::uint16_t port, std::optional<TclCipher> cipher) {
        socket_ = ::socket(AF_INET6, SOCK_STREAM | SOCK_CLOEXEC, 0);
        const sockaddr_in6 peer = toSocketAddress(*addressFromText(address), port);
        error_ = ::connect(socket_, reinterpret_cast<const sockaddr*>(&peer), sizeof peer) == 0 ? 0 : errno;
        if (cipher) {
            mode_ = cipher->mode;
            aesKeySetup(cipher->mode, &cipher->key, &sendCipher_);
            aesKeySetup(cipher->mode, &cipher->key, &receiveCipher_);
        }
    }
    ~Host() { ::close(socket_); }

    int connectError() const { return error_; }
    // "online=" as the terminal's host information names this host.
    std::string onlineField() const {
        sockaddr_in6 own{};
        socklen_t length = sizeof own;
        getsockname(socket_, reinterpret_cast<sockaddr*>(&own), &length);
        return "online=" + addressToText(fromSocketAddress(own), MappedForm::DottedOnly) + ":" +
               std::to_string(ntohs(own.sin6_port));
    }
    void send(std::string text) {
        std::span<std::uint8_t> bytes(reinterpret_cast<std::uint8_t*>(text.data()), text.size());
        if (mode_)
            aesOfbStream(*mode_, bytes, sendCipher_);
        ASSERT_EQ(::send(socket_, bytes.data(), bytes.size(), MSG_NOSIGNAL),
                  static_cast<ssize_t>(bytes.size()));
    }
    // What the terminal sends up to the given number of line ends, deciphered,
    // or up to the end of the connection (then followed by "(closed)").
    std::string receive(int lineEnds) {
        std::string text;
        while (std::count(text.begin(), text.end(), '\n') < lineEnds) {
            pollfd wait{socket_, POLLIN, 0};
            std::uint8_t buffer[256];
            const ssize_t got = ::poll(&wait, 1, 10000) == 1 ? ::recv(socket_, buffer, sizeof buffer, 0) : -1;
            if (got <= 0)
                return text + "(closed)";
            std::span<std::uint8_t> bytes(buffer, static_cast<std::size_t>(got));
            if (mode_)
                aesOfbStream(*mode_, bytes, receiveCipher_);
            text.append(reinterpret_cast<const char*>(buffer), bytes.size());
        }
        return text;
    }

private:
    int socket_ = -1;
    int error_ = 0;
    std::optional<AesMode> mode_;
    AesContext sendCipher_{}, receiveCipher_{};
};

TEST(TclHostPort, OneHostAtATimeInEachCipherMode) {
    struct Row {
        std::string firmware, encrypt, address;
        std::optional<AesMode> mode;
    };
    for (const auto& row :
         {Row{"6.12", "0", "127.0.0.1", std::nullopt}, Row{"6.12", "1", "::1", AesMode::Standard},
          Row{"5.51", "1", "127.0.0.1", AesMode::Legacy}}) {
        SCOPED_TRACE(row.firmware + " " + row.address);
        NoInterface network;
        Responder terminal(tclConfig({{"firmware_version", row.firmware},
                                      {"tcl_encrypt", row.encrypt},
                                      {"tcl_key_text", "geheim"},
                                      {"tcl_close_on", "BYE:"},
                                      {"reboot_ms", "600000"}}),
                           network);
        TclHostPort port(terminal, [] { return local_days(2026y / 12 / 5) + 14h; });
        std::optional<TclCipher> cipher;
        if (row.mode)
            cipher = TclCipher{*row.mode, md5("geheim")};
        const auto data = [&terminal] {
            const std::string request("data\0"
                                      "100101\0",
                                      12);
            return terminal
                .answer({reinterpret_cast<const std::uint8_t*>(request.data()), request.size()}, Ip6Address{})
                .value_or("");
        };

        Host host(row.address, port.port(), cipher);
        ASSERT_EQ(host.connectError(), 0);
        host.send("ISR,'Verbin");
        host.send("dung OK':\rISR,UR:\r");
        EXPECT_EQ(host.receive(2), "Verbindung OK\r\n14:00:00\r\n");
        EXPECT_NE(data().find(host.onlineField()), std::string::npos);
        EXPECT_EQ(Host(row.address, port.port(), cipher).connectError(), ECONNREFUSED);
        host.send("BYE:\r");
        EXPECT_EQ(host.receive(1), "(closed)");
        EXPECT_NE(data().find("host=offline"), std::string::npos);

        // The port listens again at once; a restart ends the next session and
        // the port stays closed while it lasts.
        Host next(row.address, port.port(), cipher);
        next.send("ISR,SN:\r");
        EXPECT_EQ(next.receive(1), "100101\r\n");
        const std::string reset("reset\0"
                                "100101\0",
                                13);
        ASSERT_TRUE(terminal.answer({reinterpret_cast<const std::uint8_t*>(reset.data()), reset.size()},
                                    Ip6Address{}));
        EXPECT_EQ(next.receive(1), "(closed)");
        EXPECT_EQ(Host(row.address, port.port(), cipher).connectError(), ECONNREFUSED);
    }
}

} // namespace
} // namespace kestrix::sim

// The simulated reader bus, request by request: the answers of present and
// absent readers, the update's start statuses (package missing, empty,
// another update running) and its status steps up to the end code.
#include "settings_files/ini_data.h"
#include "sim/reader_bus.h"
#include "support/scratch_directory.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <stdexcept>

namespace kestrix::sim {
namespace {

TerminalConfig readersConfig(const std::vector<std::pair<std::string, std::string>>& readers) {
    IniData ini;
    ini.setValue("terminal", "serial_number", "100101");
    for (const auto& [key, value] : readers)
        ini.setValue("readers", key, value);
    return readTerminalConfig(ini);
}

TEST(ReaderBus, AnswersEachRequestAsTheTerminalDoes) {
    const TerminalConfig config =
        readersConfig({{"present", "1 2"}, {"status_steps", "1"}, {"failures", "2:-222"}});
    test::ScratchDirectory directory;
    ReaderBus bus(config.readers, directory.path());
    std::map<std::string, CommandHandler> handlers;
    for (CommandEntry& entry : bus.commands())
        handlers[entry.name] = entry.handler;
    std::filesystem::create_directory(directory.path() / "talmo");
    TerminalState state;
    const auto ask = [&](const std::string& text) {
        std::string datagram = text;
        std::replace(datagram.begin(), datagram.end(), ' ', '\0');
        datagram += '\0';
        const auto request =
            parseRequest({reinterpret_cast<const std::uint8_t*>(datagram.data()), datagram.size()});
        CommandContext context{*request, Ip6Address(), config, state, SuffixVerdict::Valid, std::nullopt};
        const auto fields = handlers.at(request->command())(context);
        std::string reply = fields ? "" : "(none)";
        for (const std::string& field : fields.value_or(std::vector<std::string>{}))
            reply += (reply.empty() ? "" : "|") + field;
        return reply;
    };
    const struct {
        const char* request;
        const char* reply;
        const char* package = nullptr; // written to talmo/rfwdownload.trfw first
    } steps[] = {
        {"rkeytrans 100101 mask=14", "rkeytrans|rkt1=OK|rkt2=OK|rkt3=ERROR|absent"},
        {"rcardcfg 100101 mask=6 unlock=2", "rcardcfg|rccfg1=unlocked|rccfg2=locked"},
        {"rcardcfg 100101 mask=6", "(none)"},
        {"rfwdlexecute 100101 mask=6", "rfwdlexecute|-20"},
        {"rfwdlexecute 100101 mask=6", "rfwdlexecute|-30", ""},
        {"rfwdlexecute 100101 mask=14", "rfwdlexecute|2", "1.10\n"},
        {"rfwdlexecute 100101 mask=6", "rfwdlexecute|-10"},
        {"rfwdlstatus 100101 mask=14", "rfwdlstatus|1=10|2=10|3=-10"},
        {"rparadlstatus 100101 mask=2", "rparadlstatus|1=0"},
        {"rfwdlstatus 100101 mask=6", "rfwdlstatus|1=100|2=-222"},
        {"rfwdlstatus 100101 mask=131074", "rfwdlstatus|1=100"}, // bit 17 is no reader
        {"rfwdlexecute 100101 mask=6", "rfwdlexecute|-20"},      // the started update used the package up
    };
    for (const auto& step : steps) {
        if (step.package)
            directory.write("talmo/rfwdownload.trfw", std::string_view(step.package));
        EXPECT_EQ(ask(step.request), step.reply) << step.request;
    }
    EXPECT_EQ(bus.reader(1).key, "loaded");
    EXPECT_EQ(bus.reader(1).firmwareVersion, "1.10");
    EXPECT_EQ(bus.reader(2).firmwareVersion, "1.00");
}

TEST(ReaderBus, RefusesAWrongConfiguration) {
    for (auto [key, value] : {std::pair{"present", "1 17"},
                              {"failures", "2"},
                              {"failures", "x:-10"},
                              {"card", "open"},
                              {"start_status", "5"},
                              {"reader", "1"}})
        EXPECT_THROW(readersConfig({{key, value}}), std::runtime_error) << key << " = " << value;
}

} // namespace
} // namespace kestrix::sim

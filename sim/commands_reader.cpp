// rfwdlexecute, rfwdlstatus, rparadlexecute, rparadlstatus, rkeytrans and
// rcardcfg: the reader bus operations. Until the reader bus is simulated
// they all answer their command word and the configured reader answer.
#include "sim/commands.h"

namespace kestrix::sim {
namespace {

CommandHandler answerWithCommandWord(std::string command) {
    return [command](CommandContext& context) -> std::optional<std::vector<std::string>> {
        // "mask=" is needed, and rcardcfg needs "unlock=" too.
        if (!context.request.argument("mask") ||
            (command == "rcardcfg" && !context.request.argument("unlock")))
            return std::nullopt;
        std::vector<std::string> fields = {command};
        fields.insert(fields.end(), context.config.readerAnswer.begin(), context.config.readerAnswer.end());
        return fields;
    };
}

} // namespace

std::vector<CommandEntry> readerCommands() {
    std::vector<CommandEntry> entries;
    for (const char* command :
         {"rfwdlexecute", "rfwdlstatus", "rparadlexecute", "rparadlstatus", "rkeytrans", "rcardcfg"})
        entries.push_back({command, SerialNumberMatch::OwnOnly, answerWithCommandWord(command)});
    return entries;
}

} // namespace kestrix::sim

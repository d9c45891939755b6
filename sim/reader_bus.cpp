#include "sim/reader_bus.h"

#include "platform/trace.h"

#include <charconv>
#include <fstream>
#include <optional>

namespace kestrix::sim {
namespace {

constexpr int kHighestReader = 16;
constexpr int kRunning = 10;
constexpr int kDone = 100;
constexpr int kAnotherUpdateRunning = -10;
constexpr int kPackageNotFound = -20;
constexpr int kUnpackingFailed = -30;
constexpr int kReaderNotAvailable = -10;

std::optional<unsigned> numberArgument(const Request& request, std::string_view name) {
    auto text = request.argument(name);
    unsigned value = 0;
    if (!text)
        return std::nullopt;
    auto [end, error] = std::from_chars(text->data(), text->data() + text->size(), value);
    if (error != std::errc() || end != text->data() + text->size())
        return std::nullopt;
    return value;
}

template <typename Each> void forEachReader(unsigned mask, Each each) {
    for (int number = 0; number <= kHighestReader; ++number)
        if ((mask >> number) & 1u)
            each(number);
}

const char* packageName(ReaderBus::UpdateKind kind) {
    return kind == ReaderBus::UpdateKind::Firmware ? "talmo/rfwdownload.trfw" : "talmo/rparadownload.trpara";
}

} // namespace

ReaderBus::ReaderBus(const ReaderBusConfig& config, std::filesystem::path directory)
    : config_(config), directory_(std::move(directory)) {
    for (int number = 0; number <= kHighestReader; ++number) {
        Reader& reader = readers_[static_cast<std::size_t>(number)];
        reader.present = config_.present.contains(number);
        reader.key = config_.key;
        reader.cardUnlocked = config_.cardUnlocked;
        reader.firmwareVersion = config_.firmwareVersion;
        reader.parameterVersion = config_.parameterVersion;
    }
}

std::vector<CommandEntry> ReaderBus::commands() {
    std::vector<CommandEntry> entries;
    auto add = [&entries](const char* name, auto answer) {
        entries.push_back(
            {name, SerialNumberMatch::OwnOnly,
             [name, answer](CommandContext& context) -> std::optional<std::vector<std::string>> {
                 auto mask = numberArgument(context.request, "mask");
                 if (!mask)
                     return std::nullopt;
                 std::optional<std::vector<std::string>> fields = answer(context.request, *mask);
                 if (fields)
                     fields->insert(fields->begin(), name);
                 return fields;
             }});
    };
    add("rkeytrans", [this](const Request&, unsigned mask) { return std::optional(keyTransfer(mask)); });
    add("rcardcfg", [this](const Request& request, unsigned mask) -> std::optional<std::vector<std::string>> {
        auto unlock = numberArgument(request, "unlock");
        if (!unlock)
            return std::nullopt;
        return cardConfiguration(mask, *unlock);
    });
    add("rfwdlexecute",
        [this](const Request&, unsigned mask) { return std::optional(execute(UpdateKind::Firmware, mask)); });
    add("rparadlexecute", [this](const Request&, unsigned mask) {
        return std::optional(execute(UpdateKind::Parameters, mask));
    });
    add("rfwdlstatus",
        [this](const Request&, unsigned mask) { return std::optional(status(UpdateKind::Firmware, mask)); });
    add("rparadlstatus", [this](const Request&, unsigned mask) {
        return std::optional(status(UpdateKind::Parameters, mask));
    });
    return entries;
}

std::vector<std::string> ReaderBus::keyTransfer(unsigned mask) {
    std::vector<std::string> fields;
    forEachReader(mask, [&](int number) {
        Reader& reader = readers_[static_cast<std::size_t>(number)];
        const std::string name = "rkt" + std::to_string(number) + "=";
        if (!reader.present) {
            fields.insert(fields.end(), {name + "ERROR", "absent"});
            return;
        }
        reader.key = "loaded";
        trace("talmo-sim: reader %d: key loaded\n", number);
        fields.push_back(name + "OK");
    });
    return fields;
}

std::vector<std::string> ReaderBus::cardConfiguration(unsigned mask, unsigned unlock) {
    std::vector<std::string> fields;
    forEachReader(mask, [&](int number) {
        Reader& reader = readers_[static_cast<std::size_t>(number)];
        const std::string name = "rccfg" + std::to_string(number) + "=";
        if (!reader.present) {
            fields.insert(fields.end(), {name + "ERROR", "absent"});
            return;
        }
        reader.cardUnlocked = ((unlock >> number) & 1u) != 0;
        trace("talmo-sim: reader %d: parameter card %s\n", number,
              reader.cardUnlocked ? "unlocked" : "locked");
        fields.push_back(name + (reader.cardUnlocked ? "unlocked" : "locked"));
    });
    return fields;
}

bool ReaderBus::updateRunning() const {
    for (const Reader& reader : readers_)
        if (reader.update != UpdateKind::None && !reader.updateEnded)
            return true;
    return false;
}

int ReaderBus::startStatus(UpdateKind kind, unsigned mask) {
    if (config_.startStatus != 0)
        return config_.startStatus;
    if (updateRunning())
        return kAnotherUpdateRunning;
    const std::filesystem::path package = directory_ / packageName(kind);
    std::error_code error;
    const auto size = std::filesystem::file_size(package, error);
    if (error)
        return kPackageNotFound;
    if (size == 0)
        return kUnpackingFailed;
    std::string version;
    std::ifstream(package) >> version;
    std::filesystem::remove(package, error);
    int started = 0;
    forEachReader(mask, [&](int number) {
        Reader& reader = readers_[static_cast<std::size_t>(number)];
        if (!reader.present)
            return;
        reader.update = kind;
        reader.updateEnded = false;
        reader.runningAnswersLeft = config_.statusSteps;
        reader.versionAfterUpdate = version.substr(0, 16);
        ++started;
    });
    return started;
}

std::vector<std::string> ReaderBus::execute(UpdateKind kind, unsigned mask) {
    const int started = startStatus(kind, mask);
    trace("talmo-sim: %s update start: %d\n",
          kind == UpdateKind::Firmware ? "reader firmware" : "reader parameter", started);
    return {std::to_string(started)};
}

std::vector<std::string> ReaderBus::status(UpdateKind kind, unsigned mask) {
    std::vector<std::string> fields;
    forEachReader(mask, [&](int number) {
        Reader& reader = readers_[static_cast<std::size_t>(number)];
        int code = 0;
        if (!reader.present) {
            code = kReaderNotAvailable;
        } else if (reader.update == kind && reader.runningAnswersLeft > 0) {
            --reader.runningAnswersLeft;
            code = kRunning;
        } else if (reader.update == kind) {
            auto failure = config_.failures.find(number);
            code = failure != config_.failures.end() ? failure->second : kDone;
            if (!reader.updateEnded && code == kDone) {
                std::string& version =
                    kind == UpdateKind::Firmware ? reader.firmwareVersion : reader.parameterVersion;
                version = reader.versionAfterUpdate;
                trace("talmo-sim: reader %d: runs %s %s\n", number,
                      kind == UpdateKind::Firmware ? "firmware" : "parameters", version.c_str());
            }
            reader.updateEnded = true;
        }
        fields.push_back(std::to_string(number) + "=" + std::to_string(code));
    });
    return fields;
}

} // namespace kestrix::sim

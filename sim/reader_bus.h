#pragma once

#include "sim/commands.h"
#include "sim/terminal_config.h"

#include <array>
#include <filesystem>
#include <string>
#include <vector>

namespace kestrix::sim {

// The card readers on a terminal's reader bus, as the terminal serves them:
// it loads the key into the readers of a mask ("rkeytrans"), releases or
// locks their parameter card ("rcardcfg"), and runs reader firmware or
// parameter updates ("rfwdlexecute", "rparadlexecute") from the package a
// client wrote beforehand ("[SN]/talmo/rfwdownload.trfw",
// "[SN]/talmo/rparadownload.trpara": talmo/ under the terminal's directory),
// whose progress the status requests report ("rfwdlstatus", "rparadlstatus").
//
// Answers, after the command word (readers of the mask in ascending order;
// mask bits above 16 are no reader):
//   rkeytrans   "rktN=OK" per present reader, "rktN=ERROR" "absent" per absent one
//   rcardcfg    "rccfgN=unlocked" or "rccfgN=locked" (unlock's bit), absent as above
//   execute     the number of updates started (present readers of the mask),
//               or a negative start status: start_status when configured, -10
//               while an update runs, -20 without package, -30 for an empty
//               one. A started update uses the package up (it is removed).
//   status      "N=code" per reader of the mask: 10 for status_steps answers,
//               then 100 (or the reader's failure code) from then on; -10 for
//               an absent reader, 0 for one without an update of that kind.
// A request without "mask=" (rcardcfg: or "unlock=") is not answered.
//
// Not thread-safe by itself: the responder runs one handler at a time.
class ReaderBus {
public:
    ReaderBus(const ReaderBusConfig& config, std::filesystem::path directory);

    // The six commands, for Responder::addCommand; this object must outlive the responder.
    std::vector<CommandEntry> commands();

    enum class UpdateKind { None, Firmware, Parameters };
    struct Reader {
        bool present = false;
        std::string key;
        bool cardUnlocked = false;
        std::string firmwareVersion;
        std::string parameterVersion;
        UpdateKind update = UpdateKind::None;
        int runningAnswersLeft = 0; // status answers still "running"
        bool updateEnded = false;
        std::string versionAfterUpdate; // the package's first word
    };
    const Reader& reader(int number) const { return readers_.at(static_cast<std::size_t>(number)); }

private:
    std::vector<std::string> keyTransfer(unsigned mask);
    std::vector<std::string> cardConfiguration(unsigned mask, unsigned unlock);
    std::vector<std::string> execute(UpdateKind kind, unsigned mask);
    std::vector<std::string> status(UpdateKind kind, unsigned mask);
    int startStatus(UpdateKind kind, unsigned mask);
    bool updateRunning() const;

    const ReaderBusConfig config_;
    const std::filesystem::path directory_;
    std::array<Reader, 17> readers_;
};

} // namespace kestrix::sim

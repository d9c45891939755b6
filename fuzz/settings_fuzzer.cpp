// Reads any bytes as the program settings file, the way start-up reads it,
// and checks what the settings then hold: a usable TFTP port range (the one
// every connection takes), and a message box exactly when the file was
// refused or its port range was reset.
#include "mainwindow/program_settings.h"
#include "messages/toolbox_lang.h"
#include "platform/message_box.h"

#include "check.h"
#include "memory_file.h"

#include <cstddef>
#include <cstdint>
#include <vector>

namespace {

using namespace kestrix;

class CountedBoxes : public MessageBoxes {
public:
    MessageAnswer show(const MessageBoxRequest& request) override {
        shown.push_back(request);
        return MessageAnswer::Ok;
    }
    std::vector<MessageBoxRequest> shown;
};

bool usable(const TftpPortRange& ports) {
    return (ports.minPort == 0 && ports.maxPort == 0) ||
           (ports.minPort >= 1024 && ports.minPort <= ports.maxPort && ports.maxPort <= 65535);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const MemoryFile file;
    static const CToolBoxLang language(kLocaleIdEnglishUnitedStates);
    file.fill({data, size});
    CountedBoxes boxes;
    ProgramSettings settings;
    const SettingsResult result = GetIniFile(file.name(), language, boxes, settings);
    if (result == SettingsResult::Malformed) {
        check(boxes.shown.size() == 1 && boxes.shown[0].icon == MessageIcon::Error);
        check(!boxes.shown[0].text.empty());
        return 0;
    }
    check(usable(settings.tftpPorts));
    check(tftpPortRange().minPort == settings.tftpPorts.minPort &&
          tftpPortRange().maxPort == settings.tftpPorts.maxPort);
    check(boxes.shown.empty() || (boxes.shown.size() == 1 && boxes.shown[0].text == language.GetText(83)));
    return 0;
}

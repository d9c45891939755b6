// kestrix-cli keyboard convert|show: local keyboard layout files in any of the
// three forms, loaded the way the keyboard editor loads them (a file the
// editor refuses is refused with the editor's message).
#include "cli_arguments.h"
#include "cli_common.h"
#include "cli_keyboard.h"

#include "keyboard/keyb_file.h"
#include "keyboard/keyb_local_file.h"
#include "messages/toolbox_lang.h"
#include "platform/file_replacement.h"

#include <cstdio>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace kestrix::cli {
namespace {

struct TargetForm {
    const char* name;
    KeybFileForm form;
    int platformGroup; // the group SaveKeybFile builds the form for
};
constexpr TargetForm kTargetForms[] = {
    {"xml", KeybFileForm::Xml, -1}, {"map", KeybFileForm::Map, 3}, {"com", KeybFileForm::Com, 1}};

} // namespace

const char* keybFormName(KeybFileForm form) {
    switch (form) {
    case KeybFileForm::Xml:
        return "XML";
    case KeybFileForm::Map:
        return "MAP";
    case KeybFileForm::Com:
        return "COM";
    case KeybFileForm::None:
        break;
    }
    return "no";
}

std::optional<int> loadKeyboardFile(const std::string& path, KeybFile& file) {
    // A device or FIFO would stream without end or hang.
    std::error_code ignored;
    if (std::filesystem::exists(path, ignored))
        if (const std::string reason = checkRegularInput(path); !reason.empty())
            return fail(reason);
    const KeybFileRefusal refusal = loadLocalKeybFile(path, file);
    if (refusal == KeybFileRefusal::None)
        return std::nullopt;
    return fail(echoed(path) + ": " + commandLineLanguage().GetText(keybRefusalMessageId(refusal)));
}

int keyboardConvert(const Invocation& invocation) {
    std::vector<std::string> files;
    std::optional<std::string> format;
    WordReader reader(invocation.arguments);
    while (!reader.done()) {
        const std::string& word = reader.next();
        if (word == "--format") {
            format = reader.value();
            if (!format)
                return usageError(invocation, "--format needs xml, map or com");
        } else if (word.starts_with("--")) {
            return usageError(invocation, "unknown option " + echoed(word));
        } else {
            files.push_back(word);
        }
    }
    if (files.size() != 2)
        return usageError(invocation, "keyboard convert needs IN and OUT");
    if (!format)
        return usageError(invocation, "keyboard convert needs --format xml, map or com");
    const TargetForm* target = nullptr;
    for (const TargetForm& form : kTargetForms)
        if (*format == form.name)
            target = &form;
    if (target == nullptr)
        return usageError(invocation, "unknown form " + echoed(*format) + " (the forms are xml, map and com)");

    KeybFile file;
    if (const auto failed = loadKeyboardFile(files[0], file))
        return *failed;
    const KeybFileForm source = file.loadedForm();
    const std::size_t length = file.SaveKeybFile(target->platformGroup);
    FileReplacement replacement(files[1], FileSecrecy::FollowUmask);
    if (!replacement.isOpen() || !replacement.write(file.contents().first(length)) || !replacement.commit())
        return fail(replacement.error());
    if (file.layout().verification == Verification::Verified)
        std::fprintf(stderr, "kestrix-cli: warning: %s: its validate element is not written; %s is not verified\n",
                     echoed(files[0]).c_str(), echoed(files[1]).c_str());
    std::printf("%s: %s form, %zu bytes (from the %s form of %s)\n", files[1].c_str(),
                keybFormName(target->form), length, keybFormName(source), files[0].c_str());
    return kExitSuccess;
}

int keyboardShow(const Invocation& invocation) {
    if (invocation.arguments.size() != 1)
        return usageError(invocation, "keyboard show needs FILE");
    KeybFile file;
    if (const auto failed = loadKeyboardFile(invocation.arguments[0], file))
        return *failed;
    const KeyboardLayout& layout = file.layout();
    for (int row = kMatrixRows - 1; row >= 0; --row) {
        std::string line;
        for (int column = 0; column < kMatrixColumns; ++column) {
            const KeyIndex key = layout.matrix[row][column];
            std::string label = key >= kNoKey ? "." : std::string(keyTable()[key].label);
            label.resize(3, ' ');
            line += (column == 0 ? "" : " ") + label;
        }
        while (!line.empty() && line.back() == ' ')
            line.pop_back();
        std::printf("%s\n", line.c_str());
    }
    const bool xml = file.loadedForm() == KeybFileForm::Xml;
    std::printf("%s form, %s\n", keybFormName(file.loadedForm()),
                !xml                                                  ? "not XML"
                : layout.verification == Verification::Verified ? "verified"
                                                                      : "not verified");
    return kExitSuccess;
}

} // namespace kestrix::cli

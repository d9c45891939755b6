#include "config/setup_page_misc.h"

#include "messages/product.h"
#include "messages/toolbox_lang.h"
#include "platform/message_box.h"
#include "protocol/t7000ip_key.h"
#include "terminal/product_rules.h"
#include "terminal/terminal_fields.h"

#include <algorithm>
#include <optional>
#include <stdexcept>

namespace kestrix {

namespace {

constexpr int kGroupRange = 15;         // "Die Wartungsgruppe muss eine Zahl zwischen 0 und 65535 sein."
constexpr int kBacklightLifetime = 317; // "Sie reduzieren damit die Lebensdauer der Hintergrundbeleuchtung!"

constexpr std::uint8_t kFunctionKeyClicks = 0x01;
constexpr std::uint8_t kOtherKeyClicks = 0x02;
constexpr std::uint8_t kNoBuzzer = 0x10;

constexpr std::array<const BlockField*, 3> kPasswordFields{&setup_field::Password1, &setup_field::Password2,
                                                           &setup_field::Password3};

std::size_t gradeIndex(int grade) {
    if (grade < 1 || grade > 3)
        throw std::out_of_range("setup password grade " + std::to_string(grade));
    return static_cast<std::size_t>(grade - 1);
}

void setBit(std::uint8_t& byte, std::uint8_t bit, bool set) {
    byte = static_cast<std::uint8_t>(set ? byte | bit : byte & ~bit);
}

} // namespace

SetupPageMisc::SetupPageMisc(const SetupContext& context, std::array<std::string, 3> fetchedPasswords,
                             SetupSummerTime::Today today)
    : summerTime(context, std::move(today)), context_(context),
      fetchedPasswords_(std::move(fetchedPasswords)), passwords_(fetchedPasswords_) {}

const std::string& SetupPageMisc::password(int grade) const {
    return passwords_[gradeIndex(grade)];
}

bool SetupPageMisc::passwordChangeEnabled(int grade) const {
    return grade >= 1 && grade <= context_.grade;
}

SetupPasswordChange SetupPageMisc::passwordChange(int grade) {
    return SetupPasswordChange(context_.language, context_.messageBoxes, grade,
                               passwords_[gradeIndex(grade)]);
}

bool SetupPageMisc::maintenanceGroupEnabled() const {
    return context_.grade == 3;
}

bool SetupPageMisc::dcu4ButtonShown() const {
    return productHasDcu4Lbus(context_.terminal.ProductType);
}

void SetupPageMisc::Get(const SetupBlock& block) {
    values.characterSet = block.byte(setup_field::DisplayCharacterSet.offset);
    values.maintenanceGroup = std::to_string(block.number(setup_field::MaintenanceGroup));
    values.backlightDims = block.byte(setup_field::BacklightAlwaysOn.offset) == 0;
    const std::uint8_t clicks = block.byte(setup_field::KeyClicks.offset);
    values.functionKeyClicks = (clicks & kFunctionKeyClicks) != 0;
    values.otherKeyClicks = (clicks & kOtherKeyClicks) != 0;
    values.noBuzzer = (clicks & kNoBuzzer) != 0;
    values.blueLed = block.byte(setup_field::BlueLed.offset);
    blueLedRange_ = kBlueLed.including(values.blueLed);
    values.dcu4ButtonIsFunctionKey = block.byte(setup_field::Dcu4Button.offset) != 0;
    summerTime.Get(block);
}

bool SetupPageMisc::Put(SetupBlock& block) {
    std::optional<unsigned> group;
    if (maintenanceGroupEnabled()) {
        group = CT7000ipKey::parseGroup(values.maintenanceGroup);
        if (!group) {
            context_.messageBoxes.show(
                {kProductCaption, context_.language.GetText(kGroupRange), MessageIcon::Error});
            return false;
        }
        block.setNumber(setup_field::MaintenanceGroup, *group);
    }
    block.setByte(setup_field::DisplayCharacterSet.offset,
                  static_cast<std::uint8_t>(std::clamp(values.characterSet, 0, 255)));
    for (std::size_t index = 0; index < passwords_.size(); ++index) {
        if (passwords_[index] != fetchedPasswords_[index])
            block.setText(*kPasswordFields[index], passwords_[index]);
    }
    block.setByte(setup_field::BacklightAlwaysOn.offset, values.backlightDims ? 0 : 1);
    std::uint8_t clicks = block.byte(setup_field::KeyClicks.offset);
    setBit(clicks, kFunctionKeyClicks, values.functionKeyClicks);
    setBit(clicks, kOtherKeyClicks, values.otherKeyClicks);
    setBit(clicks, kNoBuzzer, values.noBuzzer);
    block.setByte(setup_field::KeyClicks.offset, clicks);
    block.setByte(setup_field::BlueLed.offset,
                  static_cast<std::uint8_t>(blueLedRange_.clamp(values.blueLed)));
    block.setByte(setup_field::Dcu4Button.offset, values.dcu4ButtonIsFunctionKey ? 1 : 0);
    summerTime.Put(block);
    return true;
}

bool SetupPageMisc::OnUncheckBacklight() {
    const MessageAnswer answer =
        context_.messageBoxes.show({kProductCaption, context_.language.GetText(kBacklightLifetime),
                                    MessageIcon::Exclamation, MessageButtons::OkCancel});
    values.backlightDims = answer != MessageAnswer::Ok;
    return !values.backlightDims;
}

} // namespace kestrix

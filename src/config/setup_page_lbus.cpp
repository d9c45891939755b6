#include "config/setup_page_lbus.h"

#include "messages/product.h"
#include "messages/toolbox_lang.h"
#include "platform/message_box.h"
#include "terminal/product_rules.h"
#include "terminal/terminal_fields.h"

#include <algorithm>
#include <stdexcept>

namespace kestrix {

namespace {

constexpr int kNoLbus1Text = 289;        // "Der Zutrittskontrollmanager besitzt keinen LBus1."
constexpr int kNoLbus2Text = 290;        // "In dieser Konfiguration steht der LBus2 nicht zur Verfügung."
constexpr int kReadersWithoutType = 370; // "Es sind Leser selektiert, aber kein Leser-Typ."

} // namespace

SetupPageLbus::SetupPageLbus(const SetupContext& context, int bus, const SetupPendingKeys& keys)
    : context_(context), bus_(bus), keys_(keys) {
    if (bus != 1 && bus != 2)
        throw std::out_of_range("LBus " + std::to_string(bus));
}

bool SetupPageLbus::shown(const SetupContext& context) {
    // The LBus security functions serve every terminal but a server; so do
    // its setup pages.
    return context.grade >= 2 && !kindIsServer(context.terminal.TclKind);
}

LbusUsability SetupPageLbus::usability() const {
    if (bus_ == 1 && context_.terminal.TclKind == tcl_kind::Acm)
        return LbusUsability::NoLbus1OnAccessControlManager;
    if (bus_ == 2 && context_.terminal.hasDcu4Lbus())
        return LbusUsability::NoLbus2InThisConfiguration;
    return LbusUsability::Usable;
}

std::string SetupPageLbus::unusableText() const {
    switch (usability()) {
    case LbusUsability::NoLbus1OnAccessControlManager:
        return context_.language.GetText(kNoLbus1Text);
    case LbusUsability::NoLbus2InThisConfiguration:
        return context_.language.GetText(kNoLbus2Text);
    case LbusUsability::Usable:
        break;
    }
    return {};
}

std::vector<std::string> SetupPageLbus::readerTypeNames() const {
    std::vector<std::string> names;
    const bool german = context_.language.languageIndex() == CToolBoxLang::kGerman;
    for (const ReaderType& type : readerTypes())
        names.emplace_back(german ? type.germanName : type.name);
    return names;
}

int SetupPageLbus::firstReader() const {
    return (bus_ - 1) * kReadersPerBus + 1;
}

bool SetupPageLbus::keyEnabled() const {
    return context_.grade == 3 && usability() == LbusUsability::Usable;
}

const BlockField& SetupPageLbus::typeField() const {
    return bus_ == 1 ? setup_field::Lbus1ReaderType : setup_field::Lbus2ReaderType;
}

const BlockField& SetupPageLbus::readersField() const {
    return bus_ == 1 ? setup_field::Lbus1Readers : setup_field::Lbus2Readers;
}

const BlockField& SetupPageLbus::keyField() const {
    return bus_ == 1 ? setup_field::Lbus1Key : setup_field::Lbus2Key;
}

void SetupPageLbus::Get(const SetupBlock& block) {
    const std::uint8_t code = block.byte(typeField().offset);
    values.readerType = readerTypeByCode(code) != nullptr ? code : -1;
    const std::uint8_t readers = block.byte(readersField().offset);
    for (int reader = 0; reader < kReadersPerBus; ++reader)
        values.readers[static_cast<std::size_t>(reader)] = (readers >> reader & 1) != 0;
}

bool SetupPageLbus::Put(SetupBlock& block) {
    if (usability() != LbusUsability::Usable)
        return true;
    if (values.readerType >= 0 && values.readerType < static_cast<int>(readerTypes().size()))
        block.setByte(typeField().offset, static_cast<std::uint8_t>(values.readerType));
    std::uint8_t readers = 0;
    for (int reader = 0; reader < kReadersPerBus; ++reader) {
        if (values.readers[static_cast<std::size_t>(reader)])
            readers = static_cast<std::uint8_t>(readers | 1u << reader);
    }
    block.setByte(readersField().offset, readers);
    const std::optional<AesKey>& key = keys_.lbus[static_cast<std::size_t>(bus_ - 1)];
    if (keyEnabled() && key)
        std::ranges::copy(*key, block.span(keyField().offset, keyField().width).begin());
    return true;
}

bool SetupPageLbus::CheckReaders() {
    if (context_.grade < 2 || usability() != LbusUsability::Usable)
        return true;
    const bool anyReader = std::ranges::any_of(values.readers, [](bool selected) { return selected; });
    if (!anyReader || values.readerType != kNoReaderType)
        return true;
    context_.messageBoxes.show(
        {kProductCaption, context_.language.GetText(kReadersWithoutType), MessageIcon::Exclamation});
    return false;
}

} // namespace kestrix

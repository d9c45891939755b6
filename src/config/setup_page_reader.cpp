#include "config/setup_page_reader.h"

#include "messages/toolbox_lang.h"
#include "terminal/terminal_fields.h"

#include <array>
#include <string_view>

namespace kestrix {

namespace {

constexpr int kFirstTypeName = 338;  // "Takt-Daten", "Seriell Standard", "Seriell Hitag"
constexpr int kFirstTrackName = 341; // "M-Spur1" to "M-Spur3"
constexpr int kTypes = 3;
constexpr int kTracks = 3;

constexpr std::array<int, kTypes> kFirstMode{0, 5, 7};
constexpr int kWiegandMode = 3;
constexpr std::size_t kClockDataModes = 5; // three tracks, Wiegand, barcode
constexpr int kBarcodeMode = 4;
constexpr std::array<std::string_view, 2> kSerialStandardModes{"Standard/Chipcard", "DNCIN"};
constexpr std::array<std::string_view, 6> kHitagModes{"ID/SN", "SN", "ID", "SN+ID", "BLOCK", "SN+CS"};

constexpr std::uint8_t kTypeMask = 0x0F;
constexpr std::uint8_t kFurtherOption = 0x80;

constexpr int clockData = static_cast<int>(InternalReaderType::ClockData);
constexpr int serialStandard = static_cast<int>(InternalReaderType::SerialStandard);

} // namespace

SetupPageReader::SetupPageReader(const SetupContext& context, WiegandInterface wiegand)
    : context_(context), wiegand_(wiegand) {}

bool SetupPageReader::shown(const SetupContext& context) {
    const TerminalFields& terminal = context.terminal;
    return !terminal.isDcu8Family() && !terminal.hasDcu4Lbus();
}

bool SetupPageReader::wiegandOffered() const {
    return wiegand_ == WiegandInterface::Present || blockHoldsWiegand_;
}

std::vector<std::string> SetupPageReader::typeNames() const {
    std::vector<std::string> names;
    for (int type = 0; type < kTypes; ++type)
        names.push_back(context_.language.GetText(kFirstTypeName + type));
    return names;
}

std::vector<std::string> SetupPageReader::modeNames() const {
    std::vector<std::string> names;
    switch (values.type) {
    case clockData:
        for (int track = 0; track < kTracks; ++track)
            names.push_back(context_.language.GetText(kFirstTrackName + track));
        if (wiegandOffered())
            names.emplace_back("Wiegand");
        names.emplace_back("Barcode");
        break;
    case serialStandard:
        names.assign(kSerialStandardModes.begin(), kSerialStandardModes.end());
        break;
    case static_cast<int>(InternalReaderType::SerialHitag):
        names.assign(kHitagModes.begin(), kHitagModes.end());
        break;
    default:
        break;
    }
    return names;
}

int SetupPageReader::modeNumber(int type, int modeIndex) const {
    static constexpr std::array<std::size_t, kTypes> kModes{kClockDataModes, kSerialStandardModes.size(),
                                                            kHitagModes.size()};
    if (type < 0 || type >= kTypes || modeIndex < 0)
        return -1;
    int count = static_cast<int>(kModes[static_cast<std::size_t>(type)]);
    int number = kFirstMode[static_cast<std::size_t>(type)] + modeIndex;
    if (type == clockData && !wiegandOffered()) {
        // Without "Wiegand" the list is one shorter and "Barcode" keeps its number.
        --count;
        if (number >= kWiegandMode)
            ++number;
    }
    return modeIndex < count ? number : -1;
}

void SetupPageReader::selectType(int type) {
    values.type = type;
    values.mode = 0;
}

std::string SetupPageReader::furtherOptionLabel() const {
    return context_.language.languageIndex() == CToolBoxLang::kGerman ? "Option (Lesertyp + 128)"
                                                                      : "Option (reader type + 128)";
}

bool SetupPageReader::chipcardParametersEnabled() const {
    return values.type == serialStandard && values.mode == 0;
}

void SetupPageReader::Get(const SetupBlock& block) {
    const std::uint8_t typeByte = block.byte(setup_field::InternalReaderType.offset);
    const int mode = block.byte(setup_field::InternalReaderMode.offset);
    const int type = typeByte & kTypeMask;
    values.type = type < kTypes ? type : -1;
    values.furtherOption = (typeByte & kFurtherOption) != 0;
    blockHoldsWiegand_ = values.type == clockData && mode == kWiegandMode;
    values.mode = -1;
    for (int index = 0; modeNumber(values.type, index) >= 0; ++index) {
        if (modeNumber(values.type, index) == mode)
            values.mode = index;
    }
    values.chipcard1 = static_cast<int>(block.number(setup_field::ChipcardParameter1));
    values.chipcard2 = static_cast<int>(block.number(setup_field::ChipcardParameter2));
}

bool SetupPageReader::Put(SetupBlock& block) {
    const int mode = modeNumber(values.type, values.mode);
    if (mode < 0)
        return true;
    block.setByte(setup_field::InternalReaderType.offset,
                  static_cast<std::uint8_t>(values.type | (values.furtherOption ? kFurtherOption : 0)));
    block.setByte(setup_field::InternalReaderMode.offset, static_cast<std::uint8_t>(mode));
    if (chipcardParametersEnabled()) {
        block.setNumber(setup_field::ChipcardParameter1,
                        static_cast<std::uint32_t>(kChipcardParameter.clamp(values.chipcard1)));
        block.setNumber(setup_field::ChipcardParameter2,
                        static_cast<std::uint32_t>(kChipcardParameter.clamp(values.chipcard2)));
    }
    return true;
}

} // namespace kestrix

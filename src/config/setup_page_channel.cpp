#include "config/setup_page_channel.h"

#include "messages/toolbox_lang.h"
#include "terminal/product_rules.h"
#include "terminal/terminal_fields.h"

#include <array>
#include <stdexcept>

namespace kestrix {

namespace {

constexpr int kChannelALabel = 280; // "Kanal A (Host Komm.)"; B-D follow at 281-283

constexpr std::array<std::string_view, 16> kBaudRates{"Res.", "50",   "75",    "110",  "134",  "150",
                                                      "200",  "300",  "600",   "1200", "1800", "2400",
                                                      "4800", "9600", "19200", "38400"};
// Without 38400 baud and without two stop bits (platform groups 2 and 5).
constexpr std::size_t kReducedBaudRates = 15;
constexpr std::size_t kReducedDataFormats = 6;

struct DataFormat {
    std::string_view name;
    std::uint16_t bits; // bits 4-9 of the line-format word
};
// 0x010 eight data bits, 0x040 two stop bits, 0x100 parity, 0x200 odd parity.
// clang-format off
constexpr std::array<DataFormat, 12> kDataFormats{{
    {"7N1", 0x020}, {"8N1", 0x030}, {"7E1", 0x120}, {"8E1", 0x130}, {"7O1", 0x320}, {"8O1", 0x330},
    {"7N2", 0x060}, {"8N2", 0x070}, {"7E2", 0x160}, {"8E2", 0x170}, {"7O2", 0x360}, {"8O2", 0x370},
}};
// clang-format on
constexpr std::uint16_t kDataFormatMask = 0x3F0;
constexpr std::uint16_t kParity = 0x100;
constexpr std::uint16_t kOddParity = 0x200;
constexpr std::uint16_t kBaudRateMask = 0x000F;

constexpr std::uint16_t kIgnoreEndOfLine = 0x0080;    // flags word, bit 7
constexpr std::uint16_t kSuppressCharacters = 0x2000; // flags word, bit 13
constexpr std::uint16_t kProcessing = 0x0001;         // processing word, bit 0

// A buffer byte of 0 or above 50 reads as the default: 2 (transmit) or 4 (receive).
constexpr unsigned kHighestBufferUnits = 50;
constexpr int kDefaultTransmitUnits = 2;
constexpr int kDefaultReceiveUnits = 4;
// A PAD number above 9 reads as 1.
constexpr int kDefaultPadNumber = 1;

constexpr int kBufferStep = 128;
constexpr int kHundred = 100;
constexpr int kTen = 10;

int bufferShown(std::uint8_t units, int defaultUnits) {
    const int shown = units == 0 || units > kHighestBufferUnits ? defaultUnits : units;
    return shown * kBufferStep;
}

std::uint16_t withBits(std::uint16_t word, std::uint16_t bits, bool set) {
    return static_cast<std::uint16_t>(set ? word | bits : word & ~bits);
}

std::uint8_t byteOf(int value) {
    return static_cast<std::uint8_t>(value);
}

} // namespace

SetupPageChannel::SetupPageChannel(const SetupContext& context, int channel)
    : context_(context), channel_(channel) {
    if (channel < 0 || channel >= kChannels)
        throw std::out_of_range("setup channel " + std::to_string(channel));
    if (channel == 0)
        host_.emplace(context);
}

bool SetupPageChannel::channelShown(const SetupContext& context, int channel) {
    if (channel == 0)
        return true;
    // The block of every layout holds the records of channels A to D, and
    // no product rule says which of them a product lacks: B to D are shown
    // wherever a TCL application may use them.
    return channel > 0 && channel < kChannels && context.grade >= 2 &&
           !kindIsServer(context.terminal.TclKind);
}

std::string SetupPageChannel::label() const {
    return context_.language.GetText(kChannelALabel + channel_);
}

bool SetupPageChannel::fullSerialChannels() const {
    return context_.terminal.hasFullSerialChannels();
}

std::vector<std::string_view> SetupPageChannel::baudRateNames() const {
    const std::size_t count = fullSerialChannels() ? kBaudRates.size() : kReducedBaudRates;
    return {kBaudRates.begin(), kBaudRates.begin() + static_cast<std::ptrdiff_t>(count)};
}

std::vector<std::string_view> SetupPageChannel::dataFormatNames() const {
    const std::size_t count = fullSerialChannels() ? kDataFormats.size() : kReducedDataFormats;
    std::vector<std::string_view> names;
    for (std::size_t index = 0; index < count; ++index)
        names.push_back(kDataFormats[index].name);
    return names;
}

int SetupPageChannel::dataFormatIndex(std::uint16_t lineFormat, bool twoStopBits) {
    std::uint16_t bits = lineFormat & kDataFormatMask;
    if ((bits & kParity) == 0)
        bits &= static_cast<std::uint16_t>(~kOddParity);
    const std::size_t count = twoStopBits ? kDataFormats.size() : kReducedDataFormats;
    for (std::size_t index = 0; index < count; ++index) {
        if (kDataFormats[index].bits == bits)
            return static_cast<int>(index);
    }
    return 0;
}

std::size_t SetupPageChannel::offset(const BlockField& field) const {
    return setup_field::kChannelRecordsOffset +
           setup_field::kChannelRecordWidth * static_cast<std::size_t>(channel_) + field.offset;
}

void SetupPageChannel::Get(const SetupBlock& block) {
    using namespace channel_field;
    values.transmitBuffer = bufferShown(block.byte(offset(TransmitBuffer)), kDefaultTransmitUnits);
    values.receiveBuffer = bufferShown(block.byte(offset(ReceiveBuffer)), kDefaultReceiveUnits);

    const std::uint16_t lineFormat = block.unsigned16(offset(LineFormat));
    const int baudRate = lineFormat & kBaudRateMask;
    values.baudRate = baudRate < static_cast<int>(baudRateNames().size()) ? baudRate : -1;
    values.dataFormat = dataFormatIndex(lineFormat, fullSerialChannels());

    const std::uint16_t flags = block.unsigned16(offset(Flags));
    values.ignoreEndOfLine = (flags & kIgnoreEndOfLine) != 0;
    values.suppressCharacters = (flags & kSuppressCharacters) != 0;
    values.processing = (block.unsigned16(offset(Processing)) & kProcessing) != 0;

    values.eofCounter = block.byte(offset(EofCounter));
    values.delayTime = block.byte(offset(DelayTime)) * kHundred;
    const auto id = [&](const BlockField& field) {
        const int stored = block.byte(offset(field));
        return stored > kHighestId ? 0 : stored;
    };
    values.groupId = id(GroupId);
    values.deviceId = id(DeviceId);
    const int pad = block.byte(offset(PadNumber));
    values.padNumber = pad > kPadNumber.maximum ? kDefaultPadNumber : pad;
    values.pollTimeout = block.byte(offset(PollTimeout));
    pollTimeoutRange_ = kPollTimeout.including(values.pollTimeout);
    values.dataTimeout = block.byte(offset(DataTimeout)) * kHundred;
    dataTimeoutRange_ = kDataTimeout.including(values.dataTimeout);
    values.transmitDelay = block.byte(offset(TransmitDelay));
    values.quitTimeout = block.byte(offset(QuitTimeout)) * kTen;

    if (host_)
        host_->Get(block);
}

bool SetupPageChannel::Put(SetupBlock& block) {
    using namespace channel_field;
    block.setByte(offset(TransmitBuffer), byteOf(kBuffer.clamp(values.transmitBuffer) / kBufferStep));
    block.setByte(offset(ReceiveBuffer), byteOf(kBuffer.clamp(values.receiveBuffer) / kBufferStep));

    std::uint16_t lineFormat = block.unsigned16(offset(LineFormat));
    if (values.baudRate >= 0 && values.baudRate < static_cast<int>(baudRateNames().size()))
        lineFormat = static_cast<std::uint16_t>((lineFormat & ~kBaudRateMask) | values.baudRate);
    if (values.dataFormat >= 0 && values.dataFormat < static_cast<int>(dataFormatNames().size()))
        lineFormat = static_cast<std::uint16_t>(
            (lineFormat & ~kDataFormatMask) | kDataFormats[static_cast<std::size_t>(values.dataFormat)].bits);
    block.setUnsigned16(offset(LineFormat), lineFormat);

    std::uint16_t flags = block.unsigned16(offset(Flags));
    flags = withBits(flags, kIgnoreEndOfLine, values.ignoreEndOfLine);
    flags = withBits(flags, kSuppressCharacters, values.suppressCharacters);
    block.setUnsigned16(offset(Flags), flags);
    block.setUnsigned16(offset(Processing),
                        withBits(block.unsigned16(offset(Processing)), kProcessing, values.processing));

    block.setByte(offset(EofCounter), byteOf(kByte.clamp(values.eofCounter)));
    block.setByte(offset(DelayTime), byteOf(kDelayTime.clamp(values.delayTime) / kHundred));
    block.setByte(offset(GroupId), byteOf(std::clamp(values.groupId, 0, kHighestId)));
    block.setByte(offset(DeviceId), byteOf(std::clamp(values.deviceId, 0, kHighestId)));
    block.setByte(offset(PadNumber), byteOf(kPadNumber.clamp(values.padNumber)));
    block.setByte(offset(PollTimeout), byteOf(pollTimeoutRange_.clamp(values.pollTimeout)));
    block.setByte(offset(DataTimeout), byteOf(dataTimeoutRange_.clamp(values.dataTimeout) / kHundred));
    block.setByte(offset(TransmitDelay), byteOf(kByte.clamp(values.transmitDelay)));
    block.setByte(offset(QuitTimeout), byteOf(kQuitTimeout.clamp(values.quitTimeout) / kTen));

    if (host_)
        host_->Put(block);
    return true;
}

} // namespace kestrix

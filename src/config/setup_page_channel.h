#pragma once

#include "config/setup_host_channel.h"
#include "config/setup_page.h"
#include "config/setup_spin_range.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace kestrix {

// The controls of one channel page as its view binds them. Sizes and times
// are shown as the user sees them (the record holds them divided by their
// step); lists are list indexes, -1 selecting nothing.
struct ChannelPageValues {
    int transmitBuffer = 256;        // "Puffergröße": "Senden", bytes
    int receiveBuffer = 512;         // "Puffergröße": "Empf.", bytes
    int baudRate = 0;                // "Baudrate": index into baudRateNames()
    int dataFormat = 0;              // "Datenformat": index into dataFormatNames()
    bool ignoreEndOfLine = false;    // "Ignor. EOL"
    bool suppressCharacters = false; // "Zeichen  unterdr."
    bool processing = false;         // "Verarb."
    int eofCounter = 0;              // "EOF / Counter"
    int delayTime = 0;               // "Verzögerungszeit"
    int groupId = 0;                 // "Group id": 0-31
    int deviceId = 0;                // "Device id": 0-31
    int padNumber = 0;               // "PAD Anzahl"
    int pollTimeout = 1;             // "Poll Timeout"
    int dataTimeout = 100;           // "Daten Timeout"
    int transmitDelay = 0;           // "Sendeverz."
    int quitTimeout = 0;             // "Quit-Timeout"
};

// One channel page ("Kanal A" to "Kanal D"): the serial settings of channel
// record 0-3, and on channel A the host address and TCP port of the host
// channel (HostChannelSettings). Put keeps every bit and byte of the record
// that no control owns: the other bits of the flag and line-format words,
// and the record's bytes whose meaning the terminal keeps to itself (among
// them the use of the channel, the connection set-up, the flow control and
// the end-of-line character, whose places no layout names).
//
// Lists the terminal cannot use: platform groups 2 and 5 have no 38400 baud
// and no formats with two stop bits. A baud rate the list does not offer
// selects nothing and stays as it was; a data format the list does not
// offer selects the first entry, as the terminal's own setup does.
//
// It never stops OK, and it does not decide which channel tabs exist
// (channelShown does).
class SetupPageChannel : public SetupPage {
public:
    static constexpr int kChannels = 4;
    static constexpr SpinRange kBuffer{128, 6400, 128};
    static constexpr SpinRange kByte{0, 255, 1};
    static constexpr SpinRange kPollTimeout{1, 255, 1};
    static constexpr SpinRange kDelayTime{0, 25500, 100};
    static constexpr SpinRange kDataTimeout{100, 25500, 100};
    static constexpr SpinRange kQuitTimeout{0, 2550, 10};
    static constexpr SpinRange kPadNumber{0, 9, 1};
    static constexpr int kHighestId = 31;

    // channel 0-3 is channel A-D.
    SetupPageChannel(const SetupContext& context, int channel);

    void Get(const SetupBlock& block) override;
    bool Put(SetupBlock& block) override;

    int channel() const { return channel_; }
    // The tab label: "Kanal A (Host Komm.)", "Kanal B", ...
    std::string label() const;
    // Whether the editor shows the tab of channel 0-3: channel A always,
    // B to D at grade 2 or 3 on a terminal that runs a TCL application.
    static bool channelShown(const SetupContext& context, int channel);

    // The list texts of this terminal ("Res.", "50", ... "38400"; "7N1", ...).
    std::vector<std::string_view> baudRateNames() const;
    std::vector<std::string_view> dataFormatNames() const;
    // The data format list index whose bits (bits 4-9 of the line-format
    // word) a word selects on a terminal with or without two stop bits.
    static int dataFormatIndex(std::uint16_t lineFormat, bool twoStopBits);

    // The spin ranges the view offers (after Get: widened to the shown values).
    SpinRange pollTimeoutRange() const { return pollTimeoutRange_; }
    SpinRange dataTimeoutRange() const { return dataTimeoutRange_; }

    // Channel A's host address and TCP port; nothing on the other channels.
    HostChannelSettings* hostChannel() { return host_ ? &*host_ : nullptr; }

    ChannelPageValues values;

private:
    std::size_t offset(const BlockField& field) const;
    bool fullSerialChannels() const;

    const SetupContext& context_;
    int channel_;
    std::optional<HostChannelSettings> host_;
    SpinRange pollTimeoutRange_ = kPollTimeout;
    SpinRange dataTimeoutRange_ = kDataTimeout;
};

} // namespace kestrix

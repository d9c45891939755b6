#include "reader_security/lbus_gates.h"

#include "config/lbus_readers.h"
#include "terminal/terminal_fields.h"

#include <charconv>

namespace kestrix {

namespace {

constexpr std::string_view kFirstCardVersionKey = "6_04~";
constexpr std::string_view kFirstUpdateVersionKey = "6_20a";
constexpr int kGradeWithoutKeys = 2;

std::optional<int> readerNumber(std::string_view text) {
    int number = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), number);
    if (text.empty() || error != std::errc() || end != text.data() + text.size() || number < kLowestReader ||
        number > kHighestReader)
        return std::nullopt;
    return number;
}

} // namespace

bool isReaderUpdate(LBusFunction action) {
    return action == LBusFunction::FirmwareUpdate || action == LBusFunction::ParameterUpdate;
}

LBusRefusal actionRefusal(LBusFunction action, int grade, const TerminalFields& terminal) {
    const std::string version = terminal.sortVersion();
    switch (action) {
    case LBusFunction::ReleaseCard:
    case LBusFunction::LockCard:
        return version < kFirstCardVersionKey ? LBusRefusal::CardVersion : LBusRefusal::None;
    case LBusFunction::LoadKeys:
        return grade <= kGradeWithoutKeys ? LBusRefusal::AccessGrade : LBusRefusal::None;
    case LBusFunction::FirmwareUpdate:
    case LBusFunction::ParameterUpdate:
        if (grade <= kGradeWithoutKeys)
            return LBusRefusal::AccessGrade;
        if (!terminal.runsLinux())
            return LBusRefusal::UpdatePlatform;
        return version < kFirstUpdateVersionKey ? LBusRefusal::UpdateVersion : LBusRefusal::None;
    }
    return LBusRefusal::None;
}

LBusFunction preselectedAction(const TerminalFields& terminal) {
    return terminal.sortVersion() < kFirstCardVersionKey ? LBusFunction::LoadKeys : LBusFunction::ReleaseCard;
}

ReaderOffers readerOffers(const UserParamBlock& block, LBusFunction action) {
    ReaderOffers offers{};
    for (int reader = kLowestReader; reader <= kHighestReader; ++reader) {
        const bool offered = readerServed(block, reader) && (reader != 0 || action != LBusFunction::LoadKeys);
        offers[static_cast<std::size_t>(reader)] = offered ? ReaderOffer::Checked : ReaderOffer::Disabled;
    }
    return offers;
}

unsigned readerMask(const std::array<bool, kReaderLines>& checked, LBusFunction action) {
    unsigned mask = 0;
    const int first = action == LBusFunction::LoadKeys ? 1 : kLowestReader;
    for (int reader = first; reader <= kHighestReader; ++reader)
        if (checked[static_cast<std::size_t>(reader)])
            mask |= 1U << reader;
    return mask;
}

std::optional<unsigned> parseReaderList(std::string_view list) {
    unsigned mask = 0;
    while (true) {
        const std::size_t comma = list.find(',');
        const std::string_view item = list.substr(0, comma);
        const std::size_t dash = item.find('-');
        const std::optional<int> first = readerNumber(item.substr(0, dash));
        const std::optional<int> last =
            dash == std::string_view::npos ? first : readerNumber(item.substr(dash + 1));
        if (!first || !last || *last < *first)
            return std::nullopt;
        for (int reader = *first; reader <= *last; ++reader)
            mask |= 1U << reader;
        if (comma == std::string_view::npos)
            return mask;
        list.remove_prefix(comma + 1);
    }
}

} // namespace kestrix

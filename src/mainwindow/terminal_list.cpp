#include "mainwindow/terminal_list.h"

#include "platform/ip_address.h"
#include "terminal/product_rules.h"
#include "terminal/terminal.h"

#include <algorithm>
#include <cstdio>

namespace kestrix {

namespace {

unsigned char lowerAscii(unsigned char character) {
    return character >= 'A' && character <= 'Z' ? static_cast<unsigned char>(character - 'A' + 'a')
                                                : character;
}

int compareBytes(std::string_view left, std::string_view right, bool caseFolded) {
    const std::size_t common = std::min(left.size(), right.size());
    for (std::size_t at = 0; at < common; ++at) {
        unsigned char a = static_cast<unsigned char>(left[at]);
        unsigned char b = static_cast<unsigned char>(right[at]);
        if (caseFolded) {
            a = lowerAscii(a);
            b = lowerAscii(b);
        }
        if (a != b)
            return a < b ? -1 : 1;
    }
    if (left.size() == right.size())
        return 0;
    return left.size() < right.size() ? -1 : 1;
}

// The address in the full hexadecimal form "%04x:%04x:...:%04x".
std::string fullHexForm(const Ip6Address& address) {
    char text[8 * 5] = {};
    const auto& b = address.bytes;
    std::snprintf(text, sizeof text, "%04x:%04x:%04x:%04x:%04x:%04x:%04x:%04x", b[0] << 8 | b[1],
                  b[2] << 8 | b[3], b[4] << 8 | b[5], b[6] << 8 | b[7], b[8] << 8 | b[9], b[10] << 8 | b[11],
                  b[12] << 8 | b[13], b[14] << 8 | b[15]);
    return text;
}

} // namespace

int compareListKeys(std::string_view left, std::string_view right) {
    const int folded = compareBytes(left, right, true);
    return folded != 0 ? folded : compareBytes(left, right, false);
}

std::string productKey(const TerminalFields& terminal) {
    const int kind = terminal.TclKind;
    switch (terminal.ProductType) {
    case product::Talmo7000:
        if (kind == tcl_kind::Acm)
            return "TALMODCU";
        return kind == tcl_kind::Server ? "ServerTALMO7000" : "TALMO7300";
    case product::Talmo7400:
        return "TALMO7400";
    case product::Talmo7450:
        return kindIsServer(kind) ? "ServerTALMO7450" : "TALMO7450";
    case product::Talmo7460:
        return kindIsServer(kind) ? "ServerTALMO7460" : "TALMO7460";
    case product::Talmo7600:
        return "TALMO7600";
    case product::Talmo7660:
        return "TALMO7660";
    case product::Talmo9300:
        return "TALMO9300";
    case product::Talmo7100:
        return "TALMO7100";
    case product::Talmo7105:
        return "TALMO7105";
    case product::Talmo7200:
        return "TALMO7200";
    case product::Dcu4II:
        return "TALMODCU42";
    case product::Dcu4:
        return "TALMODCU41";
    case product::Dcu40:
        return "TALMODCU43";
    case product::Dcu8:
        return "TALMODCU81";
    case product::Dcu8eR:
        return "TALMODCU82R";
    case product::Dcu8eW:
        return "TALMODCU82W";
    case product::Dcu8iR:
        return "TALMODCU83R";
    case product::Dcu8iW:
        return "TALMODCU83W";
    default:
        return "?";
    }
}

std::string sortKey(const TerminalFields& terminal, SortOrder order) {
    switch (order) {
    case SortOrder::Product:
        return productKey(terminal);
    case SortOrder::SerialNumber:
        return terminal.SerialNumber;
    case SortOrder::IPAddress: {
        // The first global address when the terminal has one (an address text
        // that does not parse counts as none), else the address in use.
        if (!terminal.IPv6Addresses.empty())
            if (std::optional<Ip6Address> global = addressFromText(terminal.IPv6Addresses.front().Address))
                return fullHexForm(*global);
        return fullHexForm(terminal.AddrInUse);
    }
    case SortOrder::DNSName:
        return terminal.DNSNameInUse;
    case SortOrder::Firmware:
        return terminal.kindPrefix() + terminal.sortVersion();
    }
    return std::string();
}

TerminalList::InsertResult TerminalList::insert(std::unique_ptr<Terminal> terminal, SortOrder order) {
    const std::lock_guard lock(mutex_);
    InsertResult result;
    if (findSerialNumber(terminal->SerialNumber)) {
        result.refused = std::move(terminal);
        return result;
    }
    std::string key = sortKey(*terminal, order);
    // After every entry whose key is not greater: equal keys keep their arrival order.
    auto place = std::upper_bound(
        entries_.begin(), entries_.end(), key,
        [](const std::string& value, const Entry& entry) { return compareListKeys(value, entry.key) < 0; });
    place = entries_.insert(place, Entry{std::move(terminal), std::move(key)});
    result.index = static_cast<std::size_t>(place - entries_.begin());
    return result;
}

std::optional<std::size_t> TerminalList::findSerialNumber(std::string_view serialNumber) const {
    const std::lock_guard lock(mutex_);
    for (std::size_t index = 0; index < entries_.size(); ++index)
        if (entries_[index].terminal->SerialNumber == serialNumber)
            return index;
    return std::nullopt;
}

std::unique_ptr<Terminal> TerminalList::replace(std::size_t index, std::unique_ptr<Terminal> terminal) {
    const std::lock_guard lock(mutex_);
    std::swap(entries_.at(index).terminal, terminal);
    return terminal;
}

void TerminalList::remove(std::vector<std::size_t> indexes) {
    const std::lock_guard lock(mutex_);
    std::sort(indexes.begin(), indexes.end());
    indexes.erase(std::unique(indexes.begin(), indexes.end()), indexes.end());
    // From the back, so that the indexes still to come keep their meaning.
    for (auto index = indexes.rbegin(); index != indexes.rend(); ++index)
        if (*index < entries_.size())
            entries_.erase(entries_.begin() + static_cast<std::ptrdiff_t>(*index));
}

void TerminalList::clear() {
    const std::lock_guard lock(mutex_);
    entries_.clear();
}

std::size_t TerminalList::size() const {
    const std::lock_guard lock(mutex_);
    return entries_.size();
}

Terminal& TerminalList::at(std::size_t index) {
    const std::lock_guard lock(mutex_);
    return *entries_.at(index).terminal;
}

const Terminal& TerminalList::at(std::size_t index) const {
    const std::lock_guard lock(mutex_);
    return *entries_.at(index).terminal;
}

std::string TerminalList::keyAt(std::size_t index) const {
    const std::lock_guard lock(mutex_);
    return entries_.at(index).key;
}

std::vector<TerminalRow> TerminalList::rows(const ListPresentation& presentation) const {
    const std::lock_guard lock(mutex_);
    std::vector<TerminalRow> result;
    result.reserve(entries_.size());
    for (const Entry& entry : entries_)
        result.push_back(terminalRow(*entry.terminal, presentation));
    return result;
}

} // namespace kestrix

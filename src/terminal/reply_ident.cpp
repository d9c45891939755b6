// The identification line that begins every reply of a terminal: "TALMO", the
// model, one more word, the serial number, the kind and the version.
#include "protocol/word_reader.h"
#include "terminal/terminal_fields.h"

namespace kestrix {

namespace {

// The kind that a kind word names; tcl_kind::Unknown for any other word.
int kindOfWord(std::string_view word) {
    if (word == "PZE")
        return tcl_kind::Pze;
    if (word == "ACM")
        return tcl_kind::Acm;
    if (word == "BDE")
        return tcl_kind::Bde;
    if (word == "ET")
        return tcl_kind::Et;
    if (word == "BSM")
        return tcl_kind::Server;
    if (word == "MONITOR")
        return tcl_kind::Monitor;
    return tcl_kind::Unknown;
}

// Products that run their application without a kind word of their own.
bool takesUnknownKindAsPze(int productType) {
    return productType == product::Talmo7450 || productType == product::Talmo9300 ||
           productType == product::Talmo7460;
}

bool sameProduct(int left, int right) {
    auto unify = [](int code) { return code == product::Dcu4II ? product::Dcu4 : code; };
    return unify(left) == unify(right);
}

// A reader placed after the serial number (the fourth word).
WordReader readerAfterSerialNumber(std::string_view reply) {
    WordReader reader(reply);
    for (int word = 0; word < 4; ++word)
        reader.next();
    return reader;
}

} // namespace

bool isValidSerialNumber(std::string_view serialNumber) {
    if (serialNumber.empty() || serialNumber.size() > kMaxSerialNumberLength)
        return false;
    for (char character : serialNumber)
        if (static_cast<unsigned char>(character) < 0x20 || character == 0x7f || character == ';')
            return false;
    return true;
}

std::optional<std::string> TerminalFields::parseIdent(std::string_view reply,
                                                      std::string_view expectedSerialNumber) {
    const int productType = productFromIdentLine(reply);
    if (productType == product::None)
        return std::nullopt;
    // replySerialNumber is empty for a missing serial number or one beginning with "?".
    std::string serialNumber = replySerialNumber(reply);
    if (!isValidSerialNumber(serialNumber))
        return std::nullopt;
    if (!expectedSerialNumber.empty() && serialNumber != expectedSerialNumber)
        return std::nullopt;

    WordReader reader = readerAfterSerialNumber(reply);
    const std::optional<std::string> kindWord = reader.next();
    if (!kindWord || kindWord->empty())
        return std::nullopt;
    int kind = kindOfWord(*kindWord);
    if (kind == tcl_kind::Unknown) {
        if (!takesUnknownKindAsPze(productType))
            return std::nullopt;
        kind = tcl_kind::Pze;
    }
    std::string productName = productDisplayName(productType, kind, *kindWord);

    // A 7450 that names no kind gives its version in place of the kind word.
    std::optional<std::string> word = kindWord;
    if (productName != "TALMO 7450")
        word = reader.next();
    const bool monitorWord = word && *word == "MONITOR";
    if (monitorWord && (productType == product::Talmo7450 || productType == product::Talmo7460)) {
        kind = kind == tcl_kind::Server ? tcl_kind::ServerMonitor : tcl_kind::Monitor;
        word = reader.next();
    } else if (monitorWord && productType == product::Dcu40 && kind == tcl_kind::Acm) {
        kind = tcl_kind::Monitor;
        word = reader.next();
    }
    if (!word || word->empty())
        return std::nullopt;

    ProductType = productType;
    PlatformGroup = productPlatformGroup(productType);
    SerialNumber = std::move(serialNumber);
    TclKind = kind;
    ProductName = std::move(productName);
    if (isMonitorMode()) {
        MonitorVersion = std::move(*word);
        FirmwareVersion.clear();
        AuthOK = true;
    } else {
        FirmwareVersion = std::move(*word);
        MonitorVersion.clear();
        AuthOK = false;
    }
    // Platform group 1 names its drivers in autoexec.bat, which the command set reads.
    if (PlatformGroup != 1) {
        AutoexecKnown = true;
        KeyboardFile = PlatformGroup == 6 ? "/talmo/terminal-ui.xml" : "KEYB.MAP";
        NetDriver.clear();
        ReaderDriver.clear();
    }
    return std::string(reader.rest());
}

std::optional<std::string> TerminalFields::checkReplyIdent(std::string_view reply) const {
    const int productType = productFromIdentLine(reply);
    if (productType == product::None || !sameProduct(productType, ProductType))
        return std::nullopt;
    const std::string serialNumber = replySerialNumber(reply);
    if (serialNumber.empty() || serialNumber != SerialNumber)
        return std::nullopt;
    return std::string(readerAfterSerialNumber(reply).rest());
}

} // namespace kestrix

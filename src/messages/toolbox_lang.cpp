#include "messages/toolbox_lang.h"

#include "messages/message_table_text.h"

#include <algorithm>
#include <array>
#include <cstdlib>
#include <stdexcept>
#include <vector>

namespace kestrix {

namespace {

constexpr std::array<LocaleId, 5> kGermanLocaleIds = {1031, 2055, 3079, 4103, 5127};

// The table, read from the compiled-in text at first use. The build has
// already checked that text with the same reader, so a fault here means a
// broken build and is not passed over.
const std::vector<MessagePair>& messageTable() {
    static const std::vector<MessagePair> table = [] {
        MessageTableReading reading = readMessageTable(messageTableText(), kMessageCount);
        if (!reading.ok())
            throw std::logic_error("compiled-in message table, line " + std::to_string(reading.faultLine) +
                                   ": " + reading.fault);
        return std::move(reading.entries);
    }();
    return table;
}

struct LocaleEntry {
    std::string_view language;  // lower case
    std::string_view territory; // upper case; empty: the language's main identifier
    LocaleId id;
};

// The locales the program knows, with their Windows locale identifiers.
constexpr std::array kLocales = {
    LocaleEntry{"de", "", 1031},   LocaleEntry{"de", "DE", 1031}, LocaleEntry{"de", "CH", 2055},
    LocaleEntry{"de", "AT", 3079}, LocaleEntry{"de", "LU", 4103}, LocaleEntry{"de", "LI", 5127},
    LocaleEntry{"en", "", 1033},   LocaleEntry{"en", "US", 1033}, LocaleEntry{"en", "GB", 2057},
    LocaleEntry{"en", "AU", 3081}, LocaleEntry{"en", "CA", 4105}, LocaleEntry{"en", "NZ", 5129},
    LocaleEntry{"en", "IE", 6153}, LocaleEntry{"en", "ZA", 7177}, LocaleEntry{"fr", "", 1036},
    LocaleEntry{"fr", "FR", 1036}, LocaleEntry{"fr", "BE", 2060}, LocaleEntry{"fr", "CA", 3084},
    LocaleEntry{"fr", "CH", 4108}, LocaleEntry{"fr", "LU", 5132}, LocaleEntry{"it", "", 1040},
    LocaleEntry{"it", "IT", 1040}, LocaleEntry{"it", "CH", 2064}, LocaleEntry{"nl", "", 1043},
    LocaleEntry{"nl", "NL", 1043}, LocaleEntry{"nl", "BE", 2067}, LocaleEntry{"es", "", 3082},
    LocaleEntry{"es", "ES", 3082}, LocaleEntry{"es", "MX", 2058}, LocaleEntry{"pt", "PT", 2070},
    LocaleEntry{"pt", "BR", 1046}, LocaleEntry{"pl", "PL", 1045}, LocaleEntry{"cs", "CZ", 1029},
    LocaleEntry{"da", "DK", 1030}, LocaleEntry{"sv", "SE", 1053}, LocaleEntry{"fi", "FI", 1035},
    LocaleEntry{"nb", "NO", 1044}, LocaleEntry{"hu", "HU", 1038}, LocaleEntry{"ru", "RU", 1049},
    LocaleEntry{"tr", "TR", 1055}, LocaleEntry{"ja", "JP", 1041}, LocaleEntry{"zh", "CN", 2052},
};

enum class LetterCase { Lower, Upper };

// ASCII letters only, whatever the C library's locale is.
std::string withCase(std::string_view text, LetterCase letterCase) {
    std::string converted(text);
    for (char& character : converted) {
        if (letterCase == LetterCase::Lower && character >= 'A' && character <= 'Z')
            character = static_cast<char>(character - 'A' + 'a');
        else if (letterCase == LetterCase::Upper && character >= 'a' && character <= 'z')
            character = static_cast<char>(character - 'a' + 'A');
    }
    return converted;
}

const LocaleEntry* findLocale(std::string_view language, std::string_view territory) {
    const auto found = std::find_if(kLocales.begin(), kLocales.end(), [&](const LocaleEntry& entry) {
        return entry.language == language && entry.territory == territory;
    });
    return found == kLocales.end() ? nullptr : &*found;
}

} // namespace

CToolBoxLang::CToolBoxLang(LocaleId localeId)
    : languageIndex_(std::find(kGermanLocaleIds.begin(), kGermanLocaleIds.end(), localeId) !=
                             kGermanLocaleIds.end()
                         ? kGerman
                         : kEnglish) {}

const std::string& CToolBoxLang::GetText(int id) const {
    static const std::string unknownId = "???";
    if (id < 0 || id >= kMessageCount)
        return unknownId;
    const MessagePair& pair = messageTable()[static_cast<std::size_t>(id)];
    return languageIndex_ == kGerman ? pair.german : pair.english;
}

LocaleId localeIdFromLocaleName(std::string_view localeName) {
    const std::string_view name = localeName.substr(0, localeName.find_first_of(".@"));
    const std::size_t separator = name.find('_');
    const std::string language = withCase(name.substr(0, separator), LetterCase::Lower);
    const std::string territory = separator == std::string_view::npos
                                      ? std::string()
                                      : withCase(name.substr(separator + 1), LetterCase::Upper);
    if (language.empty())
        return kLocaleIdEnglishUnitedStates;
    if (const LocaleEntry* entry = findLocale(language, territory))
        return entry->id;
    return kLocaleIdEnglishUnitedStates;
}

LocaleId localeIdFromEnvironment(const EnvironmentLookup& lookup) {
    for (const char* variable : {"LC_ALL", "LC_MESSAGES", "LANG"}) {
        const std::string value = lookup(variable);
        if (!value.empty())
            return localeIdFromLocaleName(value);
    }
    return kLocaleIdEnglishUnitedStates;
}

LocaleId localeIdFromEnvironment() {
    return localeIdFromEnvironment([](const char* name) {
        const char* value = std::getenv(name);
        return value == nullptr ? std::string() : std::string(value);
    });
}

} // namespace kestrix

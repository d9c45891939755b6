#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

namespace kestrix {

// A Windows locale identifier (LCID), such as 1031 for German (Germany) or
// 1033 for English (United States). The program chooses its language by it.
using LocaleId = std::uint32_t;

inline constexpr LocaleId kLocaleIdEnglishUnitedStates = 1033;

// The bilingual message table and the language the user works in. Every text
// that a dialog shows is one of the table's 582 entries (ids 0 to 581, each a
// German and an English text); docs/MESSAGES.md maps the ids to the dialogs.
//
// The language is fixed at construction from a Windows locale identifier:
// German (index 0) for the German locales 1031, 2055, 3079, 4103 and 5127,
// English (index 1) for every other value. The table itself is compiled into
// the program from messages.tsv, read once at the first GetText of any object
// and shared, unchanged, by all of them; so GetText is safe from any thread.
//
// This class neither formats texts nor looks at the environment: the locale
// identifier of the user comes from localeIdFromEnvironment below.
class CToolBoxLang {
public:
    static constexpr int kGerman = 0;
    static constexpr int kEnglish = 1;

    explicit CToolBoxLang(LocaleId localeId);

    // The text of the id in the current language, or "???" for an id outside
    // 0..581. The reference stays valid for the whole run of the program.
    const std::string& GetText(int id) const;

    // kGerman (0) or kEnglish (1).
    int languageIndex() const { return languageIndex_; }

private:
    int languageIndex_;
};

// The Windows locale identifier of a POSIX locale name of the form
// language[_territory][.codeset][@modifier], for example "de_CH.UTF-8" 2055,
// "de_AT@euro" 3079, "de" 1031, "en_GB" 2057, "fr_FR" 1036. Language and
// territory are compared without regard to case. A language without
// territory gets that language's main identifier ("de" 1031). "C", "POSIX", an
// empty name and every locale missing from the program's list (also "de_BE")
// give 1033 (English, United States).
LocaleId localeIdFromLocaleName(std::string_view localeName);

// Reads one environment variable: its value, or an empty text when it is not set.
using EnvironmentLookup = std::function<std::string(const char* name)>;

// The Windows locale identifier of the user's language for messages: the first
// non-empty one of LC_ALL, LC_MESSAGES and LANG (the order in which setlocale
// decides the message language), mapped by localeIdFromLocaleName; 1033 when
// all three are empty or unset.
LocaleId localeIdFromEnvironment(const EnvironmentLookup& lookup);

// The same over the process environment.
LocaleId localeIdFromEnvironment();

} // namespace kestrix

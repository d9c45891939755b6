#include "messages/toolbox_lang.h"

#include <gtest/gtest.h>

#include <map>
#include <string>

namespace kestrix {
namespace {

TEST(LocaleIdTest, LocaleNamesMapToWindowsLocaleIds) {
    struct Case {
        const char* name;
        LocaleId localeId;
    };
    const Case cases[] = {
        {"de_DE.UTF-8", 1031},
        {"de_CH.UTF-8", 2055},
        {"de_AT@euro", 3079},
        {"de_LU.ISO-8859-1", 4103},
        {"de_LI", 5127},
        {"de", 1031},
        {"DE_ch.utf8", 2055},
        {"de_BE.UTF-8", 1033},
        {"en_US.UTF-8", 1033},
        {"en_GB", 2057},
        {"en_AU.UTF-8", 3081},
        {"fr_FR.UTF-8", 1036},
        {"fr_CH", 4108},
        {"it_CH.UTF-8", 2064},
        {"nl_BE", 2067},
        {"C", 1033},
        {"C.UTF-8", 1033},
        {"POSIX", 1033},
        {"", 1033},
        {"xx_YY.UTF-8", 1033},
        {"_CH", 1033},
        {".UTF-8", 1033},
        {"@euro", 1033},
        {"pt_XX", 1033},
    };
    for (const Case& testCase : cases)
        EXPECT_EQ(localeIdFromLocaleName(testCase.name), testCase.localeId) << '"' << testCase.name << '"';
}

TEST(LocaleIdTest, EnvironmentDecidesLikeSetlocaleForMessages) {
    using Environment = std::map<std::string, std::string>;
    struct Case {
        const char* name;
        Environment environment;
        LocaleId localeId;
        int languageIndex;
    };
    const Case cases[] = {
        {"German (Switzerland) in LANG", {{"LANG", "de_CH.UTF-8"}}, 2055, CToolBoxLang::kGerman},
        {"English in LANG", {{"LANG", "en_US.UTF-8"}}, 1033, CToolBoxLang::kEnglish},
        {"French in LANG", {{"LANG", "fr_FR.UTF-8"}}, 1036, CToolBoxLang::kEnglish},
        {"C locale", {{"LANG", "C"}}, 1033, CToolBoxLang::kEnglish},
        {"POSIX locale", {{"LC_ALL", "POSIX"}, {"LANG", "de_DE.UTF-8"}}, 1033, CToolBoxLang::kEnglish},
        {"nothing set", {}, 1033, CToolBoxLang::kEnglish},
        {"all empty", {{"LC_ALL", ""}, {"LC_MESSAGES", ""}, {"LANG", ""}}, 1033, CToolBoxLang::kEnglish},
        {"LC_ALL beats LANG",
         {{"LC_ALL", "en_GB.UTF-8"}, {"LANG", "de_DE.UTF-8"}},
         2057,
         CToolBoxLang::kEnglish},
        {"LC_ALL beats LC_MESSAGES",
         {{"LC_ALL", "de_AT.UTF-8"}, {"LC_MESSAGES", "en_US"}},
         3079,
         CToolBoxLang::kGerman},
        {"empty LC_ALL falls through",
         {{"LC_ALL", ""}, {"LANG", "de_AT.UTF-8"}},
         3079,
         CToolBoxLang::kGerman},
        {"LC_MESSAGES beats LANG",
         {{"LC_MESSAGES", "de_LI.UTF-8"}, {"LANG", "en_US.UTF-8"}},
         5127,
         CToolBoxLang::kGerman},
        {"other categories do not count",
         {{"LC_CTYPE", "de_DE.UTF-8"}, {"LC_TIME", "de_DE.UTF-8"}},
         1033,
         CToolBoxLang::kEnglish},
    };
    for (const Case& testCase : cases) {
        const LocaleId localeId = localeIdFromEnvironment([&](const char* name) {
            const auto found = testCase.environment.find(name);
            return found == testCase.environment.end() ? std::string() : found->second;
        });
        EXPECT_EQ(localeId, testCase.localeId) << testCase.name;
        EXPECT_EQ(CToolBoxLang(localeId).languageIndex(), testCase.languageIndex) << testCase.name;
    }
}

} // namespace
} // namespace kestrix

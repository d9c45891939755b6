#include "config/login_for_setup.h"
#include "mainwindow/recording_view.h"
#include "messages/toolbox_lang.h"

#include <gtest/gtest.h>

// The setup login: which grade it preselects and disables for the passwords a
// block holds, and which entries it takes at which grade.

namespace kestrix {
namespace {

using Passwords = std::array<std::string, 3>;

struct Preselection {
    Passwords passwords;
    int preselected;
    std::array<bool, 3> enabled;
};

TEST(LoginForSetup, PreselectsTheLowestGradeThatHasAPassword) {
    const Preselection rows[] = {
        {{"", "", ""}, 3, {false, false, true}},
        {{"", "", "c3"}, 3, {false, false, true}},
        {{"", "b2", "c3"}, 2, {false, true, true}},
        {{"", "b2", ""}, 2, {false, true, true}},
        {{"a1", "", ""}, 1, {true, true, true}},
    };
    const CToolBoxLang language(kLocaleIdEnglishUnitedStates);
    test::RecordingMessageBoxes boxes;
    for (const Preselection& row : rows) {
        const CLoginForSetup login(language, boxes, "100101", 29, row.passwords);
        SCOPED_TRACE(row.passwords[0] + "/" + row.passwords[1] + "/" + row.passwords[2]);
        EXPECT_EQ(login.preselectedGrade(), row.preselected);
        for (int grade = 1; grade <= 3; ++grade)
            EXPECT_EQ(login.gradeEnabled(grade), row.enabled[static_cast<std::size_t>(grade - 1)]) << grade;
    }
}

struct Entry {
    Passwords passwords;
    int grade;
    const char* entry;
    bool accepted;
};

TEST(LoginForSetup, TakesOnlyTheSelectedGradesPasswordExactly) {
    const Passwords set = {"secret", "grade2pw", "grade3pw"};
    const Entry rows[] = {
        {set, 1, "secret", true},
        {set, 2, "grade2pw", true},
        {set, 3, "grade3pw", true},
        {set, 3, "grade2pw", false},  // the right password of another grade
        {set, 2, "Grade2pw", false},  // case counts
        {set, 1, "secret7", false},   // a longer entry is not cut to the password
        {set, 2, "grade2pwX", false}, // nor at the input limit of grades 2 and 3
        {set, 2, "", false},
        {{"", "b2", "c3"}, 1, "", false}, // a disabled grade, even with its empty password
        {{"", "", ""}, 3, "", true},      // no password at all: the empty entry
        {set, 4, "grade3pw", false},
    };
    const CToolBoxLang language(kLocaleIdEnglishUnitedStates);
    for (const Entry& row : rows) {
        test::RecordingMessageBoxes boxes;
        CLoginForSetup login(language, boxes, "100101", 29, row.passwords);
        SCOPED_TRACE(std::to_string(row.grade) + " '" + row.entry + "'");
        EXPECT_EQ(login.OnOK(row.grade, row.entry), row.accepted);
        EXPECT_EQ(login.grade(), row.accepted ? row.grade : 0);
        if (row.accepted) {
            EXPECT_TRUE(boxes.shown.empty());
        } else {
            ASSERT_EQ(boxes.shown.size(), 1u);
            EXPECT_EQ(boxes.shown[0].text, "Login incorrect");
        }
    }
}

TEST(LoginForSetup, TextsAndInputLimits) {
    const CToolBoxLang german(1031);
    test::RecordingMessageBoxes boxes;
    const CLoginForSetup login(german, boxes, "100101", 29, {"a", "b", "c"});
    EXPECT_EQ(login.heading(), "Login für 100101 Setup");
    EXPECT_EQ(login.gradeText(2), "Berechtigungsstufe 2");
    EXPECT_EQ(login.passwordLabel(), "Passwort:");
    EXPECT_EQ(CLoginForSetup::inputLimit(1), 7);
    EXPECT_EQ(CLoginForSetup::inputLimit(2), 9);
    EXPECT_EQ(CLoginForSetup::inputLimit(3), 9);
}

} // namespace
} // namespace kestrix

#pragma once

#include <array>
#include <string>

namespace kestrix {

class CToolBoxLang;
class MessageBoxes;

// The setup login `CLoginForSetup`: asks for one of the three setup passwords
// of a terminal's configuration block and grants the access grade (1, 2 or 3)
// whose password was entered. Its view shows the heading, the three grade
// radio buttons (preselected and disabled as preselectedGrade and
// gradeEnabled say) and the password field with its input limit.
//
// It neither fetches the block nor decides whether a login is needed: the
// caller hands in the passwords of the block converted to the newest version.
class CLoginForSetup {
public:
    static constexpr int kGrades = 3;

    // passwords[0] belongs to grade 1, [1] to grade 2, [2] to grade 3; an
    // empty one means the grade has no password. titleTextId is the message
    // table's entry that ends the heading (29 "Setup").
    CLoginForSetup(const CToolBoxLang& language, MessageBoxes& messageBoxes, std::string serialNumber,
                   int titleTextId, std::array<std::string, kGrades> passwords);

    // "Login für <serial number> Setup".
    std::string heading() const;
    // "Berechtigungsstufe <grade>".
    std::string gradeText(int grade) const;
    // "Passwort:".
    std::string passwordLabel() const;
    // Grade 3 when passwords 1 and 2 are both empty (1 and 2 disabled), else
    // grade 2 when password 1 is empty (1 disabled), else grade 1.
    int preselectedGrade() const;
    bool gradeEnabled(int grade) const;
    // The characters the password field takes while a grade is selected: 7
    // for grade 1, 9 for grades 2 and 3 (one more than a password holds, so
    // a too long entry is refused rather than cut).
    static int inputLimit(int grade);

    // OK with the selected grade and the entry: true when it equals that
    // grade's password exactly (an entry longer than the password never
    // does: it is not cut to the password's length first); the dialog then
    // ends with that grade. A disabled grade never matches. Otherwise "Login fehlerhaft" is
    // shown and false answered: the view clears the field and stays open.
    bool OnOK(int grade, const std::string& entry);
    // Whether OnOK would take the entry at that grade; shows nothing.
    bool matches(int grade, const std::string& entry) const;
    // The grade the login granted (0 before a successful OK).
    int grade() const { return granted_; }

private:
    const CToolBoxLang& language_;
    MessageBoxes& messageBoxes_;
    std::string serialNumber_;
    int titleTextId_;
    std::array<std::string, kGrades> passwords_;
    int granted_ = 0;
};

} // namespace kestrix

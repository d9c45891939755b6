#pragma once

#include <cstddef>
#include <string>

namespace kestrix {

class CToolBoxLang;
class MessageBoxes;

// What is wrong with a new setup password, if anything.
enum class NewPasswordProblem {
    None,
    TooShort, // fewer characters than the grade's password holds
    TooLong,  // more characters than the grade's password holds
};

// The password-change dialog of the "Sonstiges" page ("Passwort für Setup
// ändern") for one grade: the current password, the new one and its
// repetition. A new password has exactly as many characters as the grade's
// password field holds (6 for grade 1, 8 for grades 2 and 3), as the grade
// labels say: a shorter one is "too short", and a grade-2 or grade-3 password
// of fewer than 8 characters could never be entered in the TCL login.
//
// On success it replaces the page's value of that grade's password; the
// page writes it into the block at OK. It does not decide which grades the
// user may change (the page does).
class SetupPasswordChange {
public:
    // password is the page's current value of that grade's password.
    SetupPasswordChange(const CToolBoxLang& language, MessageBoxes& messageBoxes, int grade,
                        std::string& password);

    // The characters a password of the grade holds: 6 for grade 1, 8 for 2 and 3.
    static std::size_t passwordLength(int grade);
    static NewPasswordProblem newPasswordProblem(int grade, const std::string& password);
    // "Berechtigungsstufe 1 (6 Ziffern)", "... 2 (8 Ziffern)", "... 3 (8 Ziffern)".
    static std::string gradeLabel(const CToolBoxLang& language, int grade);

    std::string title() const;                // "Passwort für Setup ändern"
    std::string gradeLabel() const;           // the label of this dialog's grade
    std::string currentPasswordLabel() const; // "Aktuelles Passwort:"
    std::string newPasswordLabel() const;     // "Neues Passwort:"
    std::string retypedPasswordLabel() const; // "Wiederholte Eingabe:"

    // OK with the three fields as typed. True (after "Neues Passwort korrekt
    // eingegeben.") when the new password was taken; otherwise the reason
    // was shown and the dialog stays open.
    bool OnOK(const std::string& current, const std::string& newPassword, const std::string& retyped);

private:
    void show(int textId, bool failure) const;

    const CToolBoxLang& language_;
    MessageBoxes& messageBoxes_;
    int grade_;
    std::string& password_;
};

} // namespace kestrix

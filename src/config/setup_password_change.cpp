#include "config/setup_password_change.h"

#include "messages/product.h"
#include "messages/toolbox_lang.h"
#include "platform/message_box.h"

namespace kestrix {

namespace {

constexpr int kTitle = 325;           // "Passwort für Setup ändern"
constexpr int kCurrentPassword = 326; // "Aktuelles Passwort:"
constexpr int kNewPassword = 327;     // "Neues Passwort:"
constexpr int kRetypedPassword = 328; // "Wiederholte Eingabe:"
constexpr int kOldPasswordFirst = 329;
constexpr int kWrongPassword = 330;
constexpr int kInputsDiffer = 331;
constexpr int kTooShort = 332;
constexpr int kCorrect = 333;
constexpr int kAccessGrade = 334; // "Berechtigungsstufe"
constexpr int kDigits = 335;      // "Ziffern"
constexpr int kOutOfRange = 401;  // "Der Wert liegt außerhalb des erlaubten Bereichs."

} // namespace

SetupPasswordChange::SetupPasswordChange(const CToolBoxLang& language, MessageBoxes& messageBoxes, int grade,
                                         std::string& password)
    : language_(language), messageBoxes_(messageBoxes), grade_(grade), password_(password) {}

std::size_t SetupPasswordChange::passwordLength(int grade) {
    return grade == 1 ? 6 : 8;
}

NewPasswordProblem SetupPasswordChange::newPasswordProblem(int grade, const std::string& password) {
    if (password.size() < passwordLength(grade))
        return NewPasswordProblem::TooShort;
    if (password.size() > passwordLength(grade))
        return NewPasswordProblem::TooLong;
    return NewPasswordProblem::None;
}

std::string SetupPasswordChange::gradeLabel(const CToolBoxLang& language, int grade) {
    return language.GetText(kAccessGrade) + " " + std::to_string(grade) + " (" +
           std::to_string(passwordLength(grade)) + " " + language.GetText(kDigits) + ")";
}

std::string SetupPasswordChange::title() const {
    return language_.GetText(kTitle);
}

std::string SetupPasswordChange::gradeLabel() const {
    return gradeLabel(language_, grade_);
}

std::string SetupPasswordChange::currentPasswordLabel() const {
    return language_.GetText(kCurrentPassword);
}

std::string SetupPasswordChange::newPasswordLabel() const {
    return language_.GetText(kNewPassword);
}

std::string SetupPasswordChange::retypedPasswordLabel() const {
    return language_.GetText(kRetypedPassword);
}

void SetupPasswordChange::show(int textId, bool failure) const {
    messageBoxes_.show({kProductCaption, language_.GetText(textId),
                        failure ? MessageIcon::Error : MessageIcon::Information});
}

bool SetupPasswordChange::OnOK(const std::string& current, const std::string& newPassword,
                               const std::string& retyped) {
    // A grade without a password is changed with an empty current entry.
    if (current.empty() && !password_.empty()) {
        show(kOldPasswordFirst, true);
        return false;
    }
    if (current != password_) {
        show(kWrongPassword, true);
        return false;
    }
    if (newPassword != retyped) {
        show(kInputsDiffer, true);
        return false;
    }
    switch (newPasswordProblem(grade_, newPassword)) {
    case NewPasswordProblem::TooShort:
        show(kTooShort, true);
        return false;
    case NewPasswordProblem::TooLong:
        // The dialog's fields take no more; another caller's text is refused, not cut.
        show(kOutOfRange, true);
        return false;
    case NewPasswordProblem::None:
        break;
    }
    password_ = newPassword;
    show(kCorrect, false);
    return true;
}

} // namespace kestrix

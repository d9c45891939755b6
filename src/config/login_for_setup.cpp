#include "config/login_for_setup.h"

#include "messages/product.h"
#include "messages/toolbox_lang.h"
#include "platform/message_box.h"

#include <utility>

namespace kestrix {

namespace {

// Message table entries of the login.
constexpr int kLoginFor = 402;       // "Login für"
constexpr int kAccessGrade = 334;    // "Berechtigungsstufe"
constexpr int kPassword = 403;       // "Passwort:"
constexpr int kLoginIncorrect = 404; // "Login fehlerhaft"

bool validGrade(int grade) {
    return grade >= 1 && grade <= CLoginForSetup::kGrades;
}

} // namespace

CLoginForSetup::CLoginForSetup(const CToolBoxLang& language, MessageBoxes& messageBoxes, std::string serialNumber,
                               int titleTextId, std::array<std::string, kGrades> passwords)
    : language_(language), messageBoxes_(messageBoxes), serialNumber_(std::move(serialNumber)),
      titleTextId_(titleTextId), passwords_(std::move(passwords)) {}

std::string CLoginForSetup::heading() const {
    return language_.GetText(kLoginFor) + " " + serialNumber_ + " " + language_.GetText(titleTextId_);
}

std::string CLoginForSetup::gradeText(int grade) const {
    return language_.GetText(kAccessGrade) + " " + std::to_string(grade);
}

std::string CLoginForSetup::passwordLabel() const {
    return language_.GetText(kPassword);
}

int CLoginForSetup::preselectedGrade() const {
    if (passwords_[0].empty() && passwords_[1].empty())
        return 3;
    if (passwords_[0].empty())
        return 2;
    return 1;
}

bool CLoginForSetup::gradeEnabled(int grade) const {
    return validGrade(grade) && grade >= preselectedGrade();
}

int CLoginForSetup::inputLimit(int grade) {
    return grade == 1 ? 7 : 9;
}

bool CLoginForSetup::matches(int grade, const std::string& entry) const {
    return gradeEnabled(grade) && entry == passwords_[static_cast<std::size_t>(grade - 1)];
}

bool CLoginForSetup::OnOK(int grade, const std::string& entry) {
    if (matches(grade, entry)) {
        granted_ = grade;
        return true;
    }
    messageBoxes_.show({kProductCaption, language_.GetText(kLoginIncorrect), MessageIcon::Information});
    return false;
}

} // namespace kestrix

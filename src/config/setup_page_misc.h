#pragma once

#include "config/setup_page.h"
#include "config/setup_password_change.h"
#include "config/setup_spin_range.h"
#include "config/setup_summer_time.h"

#include <array>
#include <string>

namespace kestrix {

// The controls of the "Sonstiges" page besides time zone and summer time.
struct MiscPageValues {
    int characterSet = 0;         // "Zeichensatz des Displays": a list index
    std::string maintenanceGroup; // "Wartungsgruppe", as typed
    bool backlightDims = true;    // "Hintergrundbeleuchtung nach 1 Stunde dunkler"
    bool functionKeyClicks = false;
    bool otherKeyClicks = false;
    bool noBuzzer = false; // "Keine Hupe während des Betriebs"
    int blueLed = 9;       // "Helligkeit der blauen LED"
    bool dcu4ButtonIsFunctionKey = false;
};

// The "Sonstiges" page: the display's character set, the three setup
// passwords (changed through the password-change dialog and written only when
// they differ from the ones fetched, so a loaded file's or the defaults'
// passwords stay unless the user changed one), the maintenance group, the
// backlight, key clicks and buzzer, the blue LED, the DCU4 AKKU button, and
// the GMT deviation and summer time (SetupSummerTime).
//
// Grade rules: a login of grade g changes the passwords of grades 1 to g
// only (a grade without a password could otherwise be taken over from a
// lower one), and only grade 3 changes the maintenance group, which decides
// which PCs may maintain the terminal. Put stops OK when the maintenance
// group is no number from 0 to 65535, before it writes anything.
class SetupPageMisc : public SetupPage {
public:
    // The list of character sets offers indexes 0 to 7 (the defaults use 2).
    static constexpr int kCharacterSets = 8;
    static constexpr SpinRange kBlueLed{0, 9, 1};
    static constexpr int kMaintenanceGroupLength = 5;

    // fetchedPasswords are passwords 1-3 of the block as the editor opened it.
    SetupPageMisc(const SetupContext& context, std::array<std::string, 3> fetchedPasswords,
                  SetupSummerTime::Today today = SetupSummerTime::localToday);

    void Get(const SetupBlock& block) override;
    bool Put(SetupBlock& block) override;

    // The view unchecked the backlight box: asks whether to shorten the
    // backlight's life. True when the box stays unchecked; on Cancel the box
    // is checked again.
    bool OnUncheckBacklight();

    // Passwords: the page's value of a grade (1-3), whether the user may
    // change it, and the change dialog bound to it.
    const std::string& password(int grade) const;
    bool passwordChangeEnabled(int grade) const;
    SetupPasswordChange passwordChange(int grade);

    bool maintenanceGroupEnabled() const;
    // The DCU4 AKKU button exists on the DCU4 family and the DCU40.
    bool dcu4ButtonShown() const;
    SpinRange blueLedRange() const { return blueLedRange_; }

    MiscPageValues values;
    SetupSummerTime summerTime;

private:
    const SetupContext& context_;
    std::array<std::string, 3> fetchedPasswords_;
    std::array<std::string, 3> passwords_;
    SpinRange blueLedRange_ = kBlueLed;
};

} // namespace kestrix

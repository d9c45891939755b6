#include "config/set_encrypt.h"
#include "config/set_privkey.h"
#include "config/setup_password_change.h"
#include "config/setup_wep.h"
#include "setup_pages_bed.h"

// The dialogs of the setup editor that take secrets: the password change,
// the two key dialogs and the WEP settings with their packet.ini.

namespace kestrix {
namespace {

struct PasswordRow {
    int grade;
    const char* password; // the grade's password before
    const char* current;
    const char* newPassword;
    const char* retyped;
    const char* message;
};

TEST(SetupPasswordChange, MessagesAndTheNewPassword) {
    const char* const correct = "New password correct.";
    const char* const tooShort = "Password is too short and will not be accepted.";
    // clang-format off
    const PasswordRow rows[] = {
        {1, "111111", "", "123456", "123456", "Please insert the old password first."},
        {1, "111111", "111112", "123456", "123456", "Wrong password"},
        {1, "111111", "111111", "123456", "123457", "Second input of new password differs from first one."},
        {1, "111111", "111111", "12345", "12345", tooShort},
        {2, "22222222", "22222222", "1234567", "1234567", tooShort},
        {2, "22222222", "22222222", "123456789", "123456789", "The value is out of the permitted range."},
        {1, "111111", "111111", "654321", "654321", correct},
        {3, "", "", "87654321", "87654321", correct}, // a grade without a password
    };
    // clang-format on
    const CToolBoxLang language(kLocaleIdEnglishUnitedStates);
    for (const PasswordRow& row : rows) {
        SCOPED_TRACE(std::string(row.newPassword) + " " + row.message);
        test::RecordingMessageBoxes boxes;
        std::string password = row.password;
        SetupPasswordChange dialog(language, boxes, row.grade, password);
        const bool taken = row.message == correct;
        EXPECT_EQ(dialog.OnOK(row.current, row.newPassword, row.retyped), taken);
        EXPECT_EQ(password, taken ? row.newPassword : row.password);
        EXPECT_EQ(boxes.texts(), std::vector<std::string>{row.message});
    }
    const CToolBoxLang german(1031);
    EXPECT_EQ(SetupPasswordChange::gradeLabel(german, 1), "Berechtigungsstufe 1 (6 Ziffern)");
    EXPECT_EQ(SetupPasswordChange::gradeLabel(language, 3), "Access grade 3 (8 digits)");
}

TEST(CSetEncrypt, KeyIsTheMd5OfTheFirst512Characters) {
    const CToolBoxLang german(1031);
    test::RecordingMessageBoxes boxes;
    CSetEncrypt host = CSetEncrypt::forHost(german, boxes);
    EXPECT_EQ(host.heading(), "Erzeuge einen Schlüssel für die Hostkommunikation");
    EXPECT_EQ(CSetEncrypt::forLbus(german, boxes, 2).heading(),
              "Erzeuge einen Schlüssel für die Kommunikation auf dem LBus2");
    EXPECT_FALSE(host.OnOK(""));
    EXPECT_TRUE(host.OnOK("abc"));
    EXPECT_EQ(host.key(), (AesKey{0x90, 0x01, 0x50, 0x98, 0x3c, 0xd2, 0x4f, 0xb0, 0xd6, 0x96, 0x3f, 0x7d,
                                  0x28, 0xe1, 0x7f, 0x72}));
    EXPECT_TRUE(host.OnOK(std::string(600, 'x'))); // as 512 times "x"
    EXPECT_EQ(host.key(), (AesKey{0x91, 0x47, 0xbc, 0x1f, 0x0f, 0x20, 0xe8, 0xae, 0x19, 0x32, 0xe6, 0x16,
                                  0xb5, 0x12, 0x40, 0xfb}));
    host.OnCancel();
    EXPECT_EQ(boxes.texts(), (std::vector<std::string>{
                                 "Geben Sie beliebigen Text ein.", "Es ist ein Schlüssel generiert.",
                                 "Es ist ein Schlüssel generiert.", "Es wird kein Schlüssel generiert."}));
}

struct PrivkeyRow {
    PinKeyInput form;
    std::string text;
    const char* message;
};

TEST(CSetPrivkey, LengthsAsTypedCharactersAndPadding) {
    const std::string hex = "000102030405060708090a0b0c0d0e0f101112131415161718191A1B1C1D1E1F";
    const std::string base64 = "AAECAwQFBgcICQoLDA0ODxAREhMUFRYXGBkaGxwdHh8=";
    const auto hexadecimal = PinKeyInput::Hexadecimal, base64Input = PinKeyInput::Base64;
    const char *const entered = "Key entered.", *const length = "Wrong key length",
                      *const character = "Wrong key character";
    // clang-format off
    const PrivkeyRow rows[] = {
        {hexadecimal, hex, entered}, {base64Input, base64, entered}, {hexadecimal, "", "No key entered."},
        {hexadecimal, hex.substr(1), length}, {hexadecimal, "g" + hex.substr(1), character},
        {hexadecimal, base64, length}, {base64Input, base64.substr(1), length}, // the form decides the length
        {base64Input, "A=" + base64.substr(2), character},      // padding inside
        {base64Input, base64.substr(0, 42) + "9=", character},  // leftover bits set
        {base64Input, base64.substr(0, 41) + "A==", length},    // 31 bytes
        {base64Input, base64.substr(0, 43) + "A", length},      // 33 bytes
    };
    // clang-format on
    const CToolBoxLang language(kLocaleIdEnglishUnitedStates);
    PinCodeKey expected;
    for (std::size_t index = 0; index < expected.size(); ++index)
        expected[index] = static_cast<std::uint8_t>(index);
    for (const PrivkeyRow& row : rows) {
        SCOPED_TRACE(row.text);
        test::RecordingMessageBoxes boxes;
        CSetPrivkey dialog(language, boxes);
        const bool taken = row.message == entered;
        EXPECT_EQ(dialog.OnOK(row.form, row.text), taken);
        EXPECT_EQ(boxes.texts(), std::vector<std::string>{row.message});
        if (taken) {
            EXPECT_EQ(dialog.key(), expected);
        }
    }
}

struct WepRow {
    WepSettings stored;
    bool encryption;
    std::string key;
    const char* message;
};

TEST(SetWepkey, KeyRules) {
    const WepSettings none;
    const WepSettings stored{true, "", "abcde"};
    const char* const taken = "WEP configuration will be sent to terminal when you leave the Setup menu.";
    // clang-format off
    const WepRow rows[] = {
        {stored, true, "*****", "Please replace '*****'."}, {stored, false, "*****", taken},
        {none, true, "0x123456789", "Hexadecimal number has a wrong length."},
        {none, true, "0x123456789g", "This number is not a hexadecimal number."},
        {none, true, "0x1234567890", taken}, {none, true, "0x" + std::string(26, 'F'), taken},
        {none, true, "abcd", "Key has a wrong length."}, {none, true, "", "Key has a wrong length."},
        {none, true, "abcdefghijklm", taken}, {none, true, "ab\ncd", "The value is out of the permitted range."},
    };
    // clang-format on
    for (const WepRow& row : rows) {
        SCOPED_TRACE(row.key);
        test::PageBed bed;
        SetWepkey dialog(bed.language, bed.boxes, bed.terminal, row.stored);
        EXPECT_EQ(dialog.values.key, row.stored.key.empty() ? "" : "*****");
        dialog.values.encryption = row.encryption;
        dialog.values.key = row.key;
        EXPECT_EQ(dialog.OnOK(), row.message == taken);
        EXPECT_EQ(bed.boxes.texts(), std::vector<std::string>{row.message});
        EXPECT_EQ(dialog.settings().key, row.message == taken && row.encryption ? row.key : row.stored.key);
    }
}

TEST(SetWepkey, PacketIniAndItsLimits) {
    test::PageBed bed;
    SetWepkey dialog(bed.language, bed.boxes, bed.terminal, WepSettings{});
    dialog.values = {true, "Lager Nord", "0x0123456789"};
    ASSERT_TRUE(dialog.OnOK());
    EXPECT_EQ(dialog.packetIni(),
              "; ------------------------------------------------------------------------\n"
              "; File: PACKET.INI\n"
              "; Configuration parameters file for the WaveLAN IEEE 802.11 Packet Driver.\n"
              "; The name of this driver is: WVLAN42.COM.\n"
              "; ------------------------------------------------------------------------\n"
              "WaveLAN_Network_Name = Lager Nord\n"
              ";Create_IBSS = N\n"
              "Station_Name = 100101 - TALMO 7000 ACM\n"
              "AP_Distance = 1\n"
              "Microwave_Oven_Robustness = Y\n"
              ";Medium_Reservation = 2347\n"
              ";MAC_Address = 02000000cafe\n"
              ";Card_Power_Management = N\n"
              ";Maximum_Sleep_Duration = 100\n"
              ";Receive_All_Multicasts = Y\n"
              "Enable_Encryption = Y\n"
              "Key1 = 0x0123456789\n"
              "Key2 = 0x0123456789\n"
              "Key3 = 0x0123456789\n"
              "Key4 = 0x0123456789\n"
              "Transmit_Key_ID = 1\n"
              ";Driver_Class = 11\n"
              "Novell_Flag = No\n"
              ";Packet_Interrupt = 60\n");
    const std::string open = buildPacketIni(WepSettings{false, "", "abcde"}, "x");
    EXPECT_NE(open.find("Name = ANY\n;Create_IBSS = N\nStation_Name = x\n"), std::string::npos);
    EXPECT_NE(open.find("= N\nKey1 = 00000\nKey2 = 00000\nKey3 = 00000\nKey4 = 00000\nTransmit"),
              std::string::npos);

    dialog.values.networkName = std::string(80, 'n');
    EXPECT_FALSE(dialog.OnOK());
    // A product name from a terminal's reply that would not fit the 1024-byte buffer.
    bed.terminal.ProductName = std::string(700, 'p');
    dialog.values.networkName = "Lager Nord";
    EXPECT_FALSE(dialog.OnOK());
    EXPECT_EQ(dialog.settings().networkName, "Lager Nord");
    dialog.OnCancel();
    EXPECT_EQ(bed.boxes.texts(),
              (std::vector<std::string>{
                  "WEP configuration will be sent to terminal when you leave the Setup menu.",
                  "The value is out of the permitted range.", "The value is out of the permitted range.",
                  "WEP configuration is not modified!"}));
}

} // namespace
} // namespace kestrix

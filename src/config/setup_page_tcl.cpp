#include "config/setup_page_tcl.h"

#include "messages/product.h"
#include "messages/toolbox_lang.h"
#include "platform/message_box.h"
#include "platform/trace.h"
#include "terminal/product_rules.h"
#include "terminal/terminal_fields.h"

#include <algorithm>

namespace kestrix {

namespace {

constexpr int kResetHostPasswords = 307; // "Damit werden auch die Passwörter für die Hostschnittstelle ..."

// The sizes are stored in steps of 3, the acknowledgement time in steps of 2,
// the total labels as a class of 256 above 512 in the high nibble.
constexpr int kSizeStep = 3;
constexpr int kAcknowledgeStep = 2;
constexpr int kLabelBase = 512;
constexpr int kLabelStep = 256;

constexpr std::uint8_t kLoginOff = 0;
constexpr std::uint8_t kLoginTransmissionRecord = 1;
constexpr std::uint8_t kLoginRoutingBytes = 2;

unsigned labelClass(const SetupBlock& block) {
    return block.byte(setup_field::LabelCount.offset) >> 4;
}

std::uint8_t flag(bool checked) {
    return checked ? 1 : 0;
}

} // namespace

SetupPageTcl::SetupPageTcl(const SetupContext& context, const SetupBlock& asFetched,
                           const SetupPendingKeys& keys)
    : context_(context), keys_(keys), fetchedTableField_(asFetched.number(setup_field::TableField)),
      fetchedSaveBuffer_(asFetched.number(setup_field::SaveBuffer)),
      fetchedLabelClass_(labelClass(asFetched)) {
    const SpinRange sizes{kSizeStep, sizeMaximum(context.terminal.PlatformGroup), kSizeStep};
    tableFieldRange_ = sizes;
    saveBufferRange_ = sizes;
}

int SetupPageTcl::sizeMaximum(int platformGroup) {
    // The platforms of the oldest terminals have the least memory: their
    // sizes fit the one byte (size / 3) of the first layout. The others take
    // any size whose value is still a 16-bit number.
    if (platformGroup == 3 || platformGroup == 5 || platformRunsLinux(platformGroup))
        return kLargeSizeMaximum;
    return kSmallSizeMaximum;
}

bool SetupPageTcl::choosesDestinationMac(int platformGroup) {
    // The terminals with a network stack of their own may answer to the MAC
    // address a request came from; a Linux system always asks by ARP.
    return platformGroup >= 1 && !platformRunsLinux(platformGroup);
}

std::string SetupPageTcl::applicationFlag9Label() const {
    return context_.language.languageIndex() == CToolBoxLang::kGerman ? "Option (Byte 9 der TCL-Parameter)"
                                                                      : "Option (byte 9 of the TCL parameters)";
}

bool SetupPageTcl::hostLoginShown() const {
    return context_.versionAtLeast("5.50");
}

bool SetupPageTcl::hostEncryptionEnabled() const {
    return context_.grade == 3 && hostLoginShown();
}

bool SetupPageTcl::pinCodeKeyEnabled() const {
    return context_.grade == 3 && context_.versionAtLeast("6.20");
}

bool SetupPageTcl::destinationMacShown() const {
    return context_.versionAtLeast("5.91") && choosesDestinationMac(context_.terminal.PlatformGroup);
}

void SetupPageTcl::Get(const SetupBlock& block) {
    const SpinRange sizes{kSizeStep, sizeMaximum(context_.terminal.PlatformGroup), kSizeStep};
    values.tableField = static_cast<int>(block.number(setup_field::TableField)) * kSizeStep;
    values.saveBuffer = static_cast<int>(block.number(setup_field::SaveBuffer)) * kSizeStep;
    values.acknowledgeTime = block.byte(setup_field::AcknowledgeTime.offset) * kAcknowledgeStep;
    values.totalLabels = kLabelBase + static_cast<int>(labelClass(block)) * kLabelStep;
    values.terminalAddress = block.byte(setup_field::TerminalAddress.offset);
    tableFieldRange_ = sizes.including(values.tableField);
    saveBufferRange_ = sizes.including(values.saveBuffer);
    acknowledgeTimeRange_ = SpinRange{2, 230, kAcknowledgeStep}.including(values.acknowledgeTime);
    terminalAddressRange_ = SpinRange{0, 99, 1}.including(values.terminalAddress);

    values.logicalRecordNumber = block.byte(setup_field::LogicalRecordNumber.offset) != 0;
    values.bmiField88 = block.byte(setup_field::BmiField88.offset) != 0;
    values.applicationFlag9 = block.byte(setup_field::ApplicationFlag9.offset) != 0;

    const std::uint8_t login = block.byte(setup_field::HostLoginMode.offset);
    values.hostLogin = login != kLoginOff;
    values.loginFormat =
        login == kLoginRoutingBytes ? HostLoginFormat::RoutingBytes : HostLoginFormat::TransmissionRecord;
    values.loginFormatText = block.text(setup_field::LoginFormat);
    const std::uint8_t character = block.byte(setup_field::LoginRecordCharacter.offset);
    values.recordCharacter = character == 0 ? std::string() : std::string(1, static_cast<char>(character));
    values.simpleAccessPassword = shownSimpleAccessPassword_ = block.text(setup_field::SimpleAccessPassword);
    values.administrativePassword = shownAdministrativePassword_ =
        block.text(setup_field::AdministrativePassword);
    values.hostEncryption = block.byte(setup_field::HostEncryption.offset) != 0;
    values.destinationMac = block.byte(setup_field::DestinationMac.offset) == 0
                                ? DestinationMac::FromIncomingPacket
                                : DestinationMac::ByArpRequest;
}

bool SetupPageTcl::Put_TCL(SetupBlock& block) {
    const auto tableField = static_cast<unsigned>(tableFieldRange_.clamp(values.tableField) / kSizeStep);
    const auto saveBuffer = static_cast<unsigned>(saveBufferRange_.clamp(values.saveBuffer) / kSizeStep);
    const auto classOfLabels =
        static_cast<unsigned>((totalLabelsRange_.clamp(values.totalLabels) - kLabelBase) / kLabelStep);

    bool coldBoot = false;
    if (tableField != fetchedTableField_) {
        trace("Put_TCL(): bNeedKaltstart, (* (struct tcl_par_t *) &user_params.appl_par [0]).tf_gr '%d' "
              "newvalue '%d'\n",
              static_cast<int>(fetchedTableField_), static_cast<int>(tableField));
        coldBoot = true;
    }
    coldBoot = coldBoot || saveBuffer != fetchedSaveBuffer_ || classOfLabels != fetchedLabelClass_;

    block.setNumber(setup_field::TableField, tableField);
    block.setNumber(setup_field::SaveBuffer, saveBuffer);
    block.setByte(
        setup_field::AcknowledgeTime.offset,
        static_cast<std::uint8_t>(acknowledgeTimeRange_.clamp(values.acknowledgeTime) / kAcknowledgeStep));
    const std::uint8_t lowNibble = block.byte(setup_field::LabelCount.offset) & 0x0F;
    block.setByte(setup_field::LabelCount.offset, static_cast<std::uint8_t>(classOfLabels << 4 | lowNibble));
    block.setByte(setup_field::TerminalAddress.offset,
                  static_cast<std::uint8_t>(terminalAddressRange_.clamp(values.terminalAddress)));
    block.setByte(setup_field::LogicalRecordNumber.offset, flag(values.logicalRecordNumber));
    block.setByte(setup_field::BmiField88.offset, flag(values.bmiField88));
    block.setByte(setup_field::ApplicationFlag9.offset, flag(values.applicationFlag9));

    if (hostLoginShown()) {
        if (values.hostLogin) {
            block.setByte(setup_field::HostLoginMode.offset,
                          values.loginFormat == HostLoginFormat::RoutingBytes ? kLoginRoutingBytes
                                                                              : kLoginTransmissionRecord);
            block.setText(setup_field::LoginFormat, values.loginFormatText);
            block.setByte(
                setup_field::LoginRecordCharacter.offset,
                values.recordCharacter.empty() ? 0 : static_cast<std::uint8_t>(values.recordCharacter[0]));
            // A password is written only when the user changed it: 1 to 7
            // characters zero-padded, otherwise its first 8.
            if (values.simpleAccessPassword != shownSimpleAccessPassword_)
                block.setText(setup_field::SimpleAccessPassword, values.simpleAccessPassword);
            if (values.administrativePassword != shownAdministrativePassword_)
                block.setText(setup_field::AdministrativePassword, values.administrativePassword);
        } else {
            block.setByte(setup_field::HostLoginMode.offset, kLoginOff);
            block.setText(setup_field::SimpleAccessPassword, "");
            block.setText(setup_field::AdministrativePassword, "");
        }
        if (hostEncryptionEnabled()) {
            block.setByte(setup_field::HostEncryption.offset, flag(values.hostEncryption));
            if (values.hostEncryption && keys_.host)
                std::ranges::copy(
                    *keys_.host,
                    block.span(setup_field::TclDataKey.offset, setup_field::TclDataKey.width).begin());
        }
        if (pinCodeKeyEnabled() && keys_.pinCode) {
            block.setByte(setup_field::PinKeyMark.offset, 0);
            std::ranges::copy(
                *keys_.pinCode,
                block.span(setup_field::PinCodeKey.offset, setup_field::PinCodeKey.width).begin());
        }
    }
    if (destinationMacShown())
        block.setByte(setup_field::DestinationMac.offset,
                      flag(values.destinationMac == DestinationMac::ByArpRequest));
    return coldBoot;
}

bool SetupPageTcl::Put(SetupBlock& block) {
    Put_TCL(block);
    return true;
}

void SetupPageTcl::OnUncheckHostLogin() {
    context_.messageBoxes.show(
        {kProductCaption, context_.language.GetText(kResetHostPasswords), MessageIcon::Exclamation});
}

} // namespace kestrix

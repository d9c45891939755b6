#include "config/setup_fields.h"

#include <algorithm>
#include <array>

namespace kestrix {

namespace {

constexpr std::array kFields{
    setup_field::Version,
    setup_field::DefaultCode,
    setup_field::Ipv4Address,
    setup_field::Ipv4Router,
    setup_field::Ipv4Mask,
    setup_field::Ipv6Address,
    setup_field::Ipv6Router,
    setup_field::Ipv6PrefixLength,
    setup_field::IpStackOption,
    setup_field::LinkSpeed,
    setup_field::MaintenanceGroup,
    setup_field::DhcpHostName,
    setup_field::HostIpv4Before610,
    setup_field::HostAddress,
    setup_field::Byte144,
    setup_field::HostPort,
    setup_field::FirewallInUse,
    setup_field::FirewallReserved,
    setup_field::DisplayCharacterSet,
    setup_field::Byte793,
    setup_field::Password1,
    setup_field::Password2,
    setup_field::Password3,
    setup_field::DestinationMac,
    setup_field::BacklightAlwaysOn,
    setup_field::Byte818,
    setup_field::KeyClicks,
    setup_field::BlueLed,
    setup_field::Dcu4Button,
    setup_field::SummerTimeMode,
    setup_field::GmtDeviation,
    setup_field::SummerTimeStart,
    setup_field::SummerTimeEnd,
    setup_field::MuxTable0,
    setup_field::MuxTable1,
    setup_field::MuxTable2,
    setup_field::MuxSetupTable,
    setup_field::SecretArea,
    setup_field::Lbus1Key,
    setup_field::Lbus2Key,
    setup_field::Byte968,
    setup_field::LbusByte,
    setup_field::Lbus1ReaderType,
    setup_field::Lbus1Readers,
    setup_field::Lbus2ReaderType,
    setup_field::Lbus2Readers,
    setup_field::InternalReaderType,
    setup_field::InternalReaderMode,
    setup_field::ChipcardParameter1,
    setup_field::ChipcardParameter2,
    setup_field::SaveBuffer,
    setup_field::TableField,
    setup_field::LogicalRecordNumber,
    setup_field::AcknowledgeTime,
    setup_field::BmiField88,
    setup_field::LabelCount,
    setup_field::TerminalAddress,
    setup_field::ApplicationFlag9,
    setup_field::HostLoginMode,
    setup_field::LoginRecordCharacter,
    setup_field::LoginFormat,
    setup_field::SimpleAccessPassword,
    setup_field::AdministrativePassword,
    setup_field::TclDataKey,
    setup_field::HostEncryption,
    setup_field::PinKeyMark,
    setup_field::PinCodeKey,
    setup_field::LastWrite,
};

constexpr std::array kRecordRuns{setup_field::Ipv4Rules, setup_field::Ipv6Rules, setup_field::Channels};

} // namespace

std::span<const BlockField> setupFieldMap() {
    return kFields;
}

std::span<const BlockRecordRun> setupRecordRuns() {
    return kRecordRuns;
}

const BlockField* setupFieldByKey(std::string_view key) {
    const auto found = std::find_if(kFields.begin(), kFields.end(), [&](const BlockField& field) { return field.key == key; });
    return found == kFields.end() ? nullptr : &*found;
}

} // namespace kestrix

#include "sim/tftp/terminal_file_name.h"

#include <array>

namespace kestrix::sim {

namespace {

constexpr std::array<std::string_view, 4> kDrivePrefixes = {"C@\\t7000\\", "C@\\", "C:\\\\", "C:\\"};
constexpr std::string_view kTalmoTree = "/talmo/";

RequestRefusal accessViolation() {
    return {TftpErrorCode::AccessViolation, tftpErrorText(TftpErrorCode::AccessViolation)};
}

bool isAllowedComponent(std::string_view component) {
    if (component.empty() || component.front() == '.')
        return false;
    for (char character : component) {
        auto byte = static_cast<unsigned char>(character);
        if (byte < 0x20 || byte == 0x7f)
            return false;
    }
    return true;
}

} // namespace

std::variant<MappedFileName, RequestRefusal>
mapTerminalFileName(std::string_view name, TransferDirection direction, std::string_view serialNumber) {
    if (direction == TransferDirection::Write) {
        std::string prefix = "[" + std::string(serialNumber) + "]";
        if (serialNumber.empty() || !name.starts_with(prefix))
            return accessViolation();
        name.remove_prefix(prefix.size());
    }
    bool hadDrive = false;
    for (std::string_view drive : kDrivePrefixes) {
        if (name.starts_with(drive)) {
            name.remove_prefix(drive.size());
            hadDrive = true;
            break;
        }
    }
    if (!hadDrive && name.starts_with(kTalmoTree))
        name.remove_prefix(1);
    else if (!hadDrive && (name.starts_with('/') || name.starts_with('\\')))
        return accessViolation();

    std::string path;
    std::string_view rest = name;
    while (true) {
        std::size_t separator = rest.find_first_of("/\\");
        std::string_view component = rest.substr(0, separator);
        if (!isAllowedComponent(component))
            return accessViolation();
        if (!path.empty())
            path += '/';
        path += component;
        if (separator == std::string_view::npos)
            break;
        rest.remove_prefix(separator + 1);
    }
    return MappedFileName{path};
}

} // namespace kestrix::sim

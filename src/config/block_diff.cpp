// Two blocks of the newest layout compared through the field map.
#include "config/block_diff.h"

#include "crypto/hex_text.h"
#include "platform/ip_address.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

namespace kestrix {

namespace {

// A field at its block offset: a field of the map, or a record's field placed
// in its record.
struct PlacedField {
    std::string name;
    const BlockField* field;
    std::size_t offset;
};

std::vector<PlacedField> placedFields() {
    std::vector<PlacedField> placed;
    for (const BlockField& field : setupFieldMap())
        placed.push_back({std::string(field.key), &field, field.offset});
    for (const BlockRecordRun& run : setupRecordRuns())
        for (std::size_t record = 0; record < run.count; ++record)
            for (const BlockField& field : run.fields)
                placed.push_back(
                    {std::string(run.key) + "[" + std::to_string(record + 1) + "]." + std::string(field.key),
                     &field, run.offset + record * run.width + field.offset});
    return placed;
}

constexpr std::size_t kNewestLength = kConfigVersions.back().length;
constexpr std::size_t kCrcWidth = 2;
constexpr int kUnnamed = -1;

std::string rangeName(std::size_t first, std::size_t last) {
    return "offset " + std::to_string(first) + (first == last ? "" : "-" + std::to_string(last));
}

} // namespace

std::string readableBlockText(std::span<const std::uint8_t> bytes) {
    std::string text;
    for (std::uint8_t byte : bytes) {
        if (byte == 0)
            break;
        if (byte >= 0x20 && byte < 0x7F && byte != '\\' && byte != '\'') {
            text += static_cast<char>(byte);
        } else {
            char escaped[5];
            std::snprintf(escaped, sizeof escaped, "\\x%02x", byte);
            text += escaped;
        }
    }
    return "'" + text + "'";
}

std::string blockFieldText(const BlockField& field, std::span<const std::uint8_t> bytes) {
    switch (field.format) {
    case FieldFormat::Byte:
        return std::to_string(bytes[0]);
    case FieldFormat::Native16: {
        std::uint16_t value = 0;
        std::memcpy(&value, bytes.data(), sizeof value);
        return std::to_string(value);
    }
    case FieldFormat::Native32: {
        std::uint32_t value = 0;
        std::memcpy(&value, bytes.data(), sizeof value);
        return std::to_string(value);
    }
    case FieldFormat::Ipv4Number:
        return addressToText(Ip6Address::fromIPv4Bytes(bytes[3], bytes[2], bytes[1], bytes[0]),
                             MappedForm::DottedOnly);
    case FieldFormat::Ipv6: {
        Ip6Address address;
        std::copy_n(bytes.begin(), address.bytes.size(), address.bytes.begin());
        return addressToText(address, MappedForm::WithPrefix);
    }
    case FieldFormat::Text:
        return readableBlockText(bytes);
    case FieldFormat::Secret: {
        // A password reads as text; a key, whose bytes are no text up to zeros at its end, in hex.
        const auto end = std::find(bytes.begin(), bytes.end(), std::uint8_t{0});
        const bool text =
            std::all_of(bytes.begin(), end, [](std::uint8_t byte) { return byte >= 0x20 && byte < 0x7F; }) &&
            std::all_of(end, bytes.end(), [](std::uint8_t byte) { return byte == 0; });
        return text ? readableBlockText(bytes) : hexText(bytes);
    }
    case FieldFormat::Bytes:
        return hexText(bytes);
    }
    return hexText(bytes);
}

std::vector<BlockDifference> blockDifferences(const UserParamBlock& first, const UserParamBlock& second,
                                              SecretDisplay secrets) {
    const std::vector<PlacedField> placed = placedFields();
    // Each byte belongs to the innermost field that holds it: the map lists a
    // field that holds others before them.
    std::vector<int> owner(kNewestLength - kCrcWidth, kUnnamed);
    for (std::size_t index = 0; index < placed.size(); ++index)
        for (std::size_t at = placed[index].offset;
             at < placed[index].offset + placed[index].field->width && at < owner.size(); ++at)
            owner[at] = static_cast<int>(index);

    std::vector<BlockDifference> differences;
    std::vector<bool> reported(placed.size(), false);
    for (std::size_t at = 0; at < owner.size(); ++at) {
        if (first[at] == second[at])
            continue;
        if (owner[at] == kUnnamed) {
            std::size_t last = at;
            while (last + 1 < owner.size() && owner[last + 1] == kUnnamed &&
                   first[last + 1] != second[last + 1])
                ++last;
            const std::size_t width = last - at + 1;
            differences.push_back({rangeName(at, last), nullptr, at, width,
                                   hexText(std::span(first).subspan(at, width)),
                                   hexText(std::span(second).subspan(at, width))});
            at = last;
            continue;
        }
        const auto index = static_cast<std::size_t>(owner[at]);
        if (reported[index])
            continue;
        reported[index] = true;
        const PlacedField& where = placed[index];
        const std::size_t width = where.field->width;
        BlockDifference difference{where.name, where.field, where.offset, width, "(hidden)", "(hidden)"};
        if (where.field->format != FieldFormat::Secret || secrets == SecretDisplay::Shown) {
            difference.first = blockFieldText(*where.field, std::span(first).subspan(where.offset, width));
            difference.second = blockFieldText(*where.field, std::span(second).subspan(where.offset, width));
        }
        differences.push_back(std::move(difference));
    }
    return differences;
}

} // namespace kestrix

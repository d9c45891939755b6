// The field map of the newest layout: its invariants, and the LBus reader
// rules on hand-built blocks. The readers that take their offsets from the
// map (passwords, data key, swap, cipher, config info) keep their known-answer
// tests in user_param_test and cli_config_test.
#include "config/blocks.h"
#include "config/lbus_readers.h"
#include "config/secret_fields.h"
#include "config/setup_fields.h"

#include <algorithm>
#include <functional>
#include <set>

namespace kestrix {
namespace {

// A named place at its block offset; the fields of records as "channel[2].flags".
struct Place {
    std::string key;
    std::size_t offset;
    std::size_t width;
    FieldFormat format;
};

std::vector<Place> everyPlace() {
    std::vector<Place> places;
    for (const BlockField& field : setupFieldMap())
        places.push_back({std::string(field.key), field.offset, field.width, field.format});
    for (const BlockRecordRun& run : setupRecordRuns())
        for (std::size_t record = 0; record < run.count; ++record)
            for (const BlockField& field : run.fields)
                places.push_back(
                    {std::string(run.key) + "[" + std::to_string(record) + "]." + std::string(field.key),
                     run.offset + run.width * record + field.offset, field.width, field.format});
    std::ranges::stable_sort(places, {}, &Place::offset);
    return places;
}

// The width each format demands, in FieldFormat's order; 0 for any width.
constexpr std::size_t kFormatWidths[] = {1, 2, 4, 4, 16, 0, 0, 0};

// The overlaps the map documents: the field that holds the other.
const std::set<std::pair<std::string, std::string>> kHeld{{"secret-area", "lbus1-key"},
                                                          {"secret-area", "lbus2-key"}};

std::vector<SecretField> secretFieldsOf(std::string_view version) {
    const SecretFieldLayout& layout = *secretFieldLayout(test::versionIndex(version));
    std::vector<SecretField> fields(layout.always.begin(), layout.always.end());
    fields.insert(fields.end(), layout.tclArea.begin(),
                  layout.tclArea.begin() + static_cast<std::ptrdiff_t>(layout.tclAreaCount));
    return fields;
}

// Each invariant gives its first breach as text, empty while it holds.
TEST(SetupFieldMap, KeepsItsInvariants) {
    const std::vector<Place> places = everyPlace();
    const std::pair<const char*, std::function<std::string()>> invariants[] = {
        {"keys unique and found by key",
         [&] {
             std::set<std::string> keys;
             for (const Place& place : places)
                 if (!keys.insert(place.key).second)
                     return place.key;
             for (const BlockField& field : setupFieldMap())
                 if (setupFieldByKey(field.key) != &field)
                     return std::string(field.key);
             return std::string();
         }},
        {"map ordered by offset, inside the block before the CRC, records within their width, width "
         "fitting the format",
         [&] {
             const auto map = setupFieldMap();
             for (std::size_t index = 1; index < map.size(); ++index)
                 if (map[index].offset < map[index - 1].offset)
                     return std::string(map[index].key);
             for (const BlockRecordRun& run : setupRecordRuns())
                 for (const BlockField& field : run.fields)
                     if (field.offset + field.width > run.width)
                         return std::string(field.key);
             for (const Place& place : places) {
                 const std::size_t demanded = kFormatWidths[static_cast<int>(place.format)];
                 if (place.offset + place.width > 1240 || (demanded != 0 && demanded != place.width))
                     return place.key;
             }
             return std::string();
         }},
        {"no overlap but the documented ones",
         [&] {
             for (std::size_t first = 0; first < places.size(); ++first)
                 for (std::size_t next = first + 1;
                      next < places.size() &&
                      places[next].offset < places[first].offset + places[first].width;
                      ++next)
                     if (!kHeld.contains({places[first].key, places[next].key}) ||
                         places[next].offset + places[next].width >
                             places[first].offset + places[first].width)
                         return places[first].key + " and " + places[next].key;
             return std::string();
         }},
        {"the cipher's fields are Secret fields, and every Secret field lies in one of them",
         [&] {
             const std::vector<SecretField> cipher = secretFieldsOf("6.20");
             std::set<std::pair<std::size_t, std::size_t>> secret;
             for (const Place& place : places) {
                 const auto holds = [&](const SecretField& field) {
                     return place.offset >= field.offset &&
                            place.offset + place.width <= field.offset + field.width;
                 };
                 if (place.format == FieldFormat::Secret &&
                     !secret.insert({place.offset, place.width}).second)
                     return place.key;
                 if (place.format == FieldFormat::Secret && std::ranges::none_of(cipher, holds))
                     return place.key;
             }
             for (const SecretField& field : cipher)
                 if (!secret.contains({field.offset, field.width}))
                     return "cipher field at " + std::to_string(field.offset);
             return std::string();
         }},
    };
    for (const auto& [name, firstBreach] : invariants)
        EXPECT_EQ(firstBreach(), "") << name;
}

// Readers 1-8 on LBus1 (type 970, readers 971), 9-16 on LBus2 (972, 973);
// reader 0 from the internal reader's type (974, low nibble) and mode (975).
// Types 1, 4 and 6 are served; types shown per reader 1-16 as hex digits.
TEST(LbusReaders, TypesAndServedReadersFromTheBlock) {
    struct Row {
        const char* items;
        const char* types;  // readers 1-16
        const char* served; // readers 0-16
    };
    const Row rows[] = {
        {"-", "0000000000000000", "00000000000000000"},
        {"970=01 971=05", "1010000000000000", "01010000000000000"},
        {"970=02 971=01", "2000000000000000", "00000000000000000"},
        {"970=04 971=80 972=05 973=01", "0000000450000000", "00000000100000000"},
        {"972=06 973=81", "0000000060000006", "00000000010000001"},
        {"970=07 971=01", "7000000000000000", "00000000000000000"},
        {"970=00 971=ff 973=ff", "0000000000000000", "00000000000000000"},
        {"971=ff 972=01", "0000000000000000", "00000000000000000"},
        {"969=06 968=06 974=01 975=05", "0000000000000000", "10000000000000000"},
        {"974=81 975=05", "0000000000000000", "10000000000000000"},
        {"974=01 975=06", "0000000000000000", "00000000000000000"},
        {"974=02 975=05", "0000000000000000", "00000000000000000"},
    };
    for (const Row& row : rows) {
        UserParamBlock block = test::emptyBlock(test::versionIndex("6.20"));
        test::putItems(block, row.items);
        std::string types, served;
        for (int reader = 1; reader <= kLbusReaders; ++reader)
            types += "0123456789abcdef"[lbusReaderType(block, reader) & 0x0F];
        for (int reader = 0; reader <= kLbusReaders; ++reader)
            served += readerServed(block, reader) ? '1' : '0';
        EXPECT_EQ(types, row.types) << row.items;
        EXPECT_EQ(served, row.served) << row.items;
        EXPECT_EQ(lbusReaderType(block, 17), kNoReaderType) << row.items;
    }
}

} // namespace
} // namespace kestrix

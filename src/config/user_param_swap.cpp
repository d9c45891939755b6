// The fields of the "6.20"/"6.21" layout that a big-endian terminal stores
// most significant byte first: the 16- and 32-bit numbers of the field map,
// the fields of its runs of records included.
#include "config/setup_fields.h"
#include "config/user_param.h"
#include "platform/trace.h"

#include <algorithm>

namespace kestrix {

namespace {

bool inTerminalOrder(const BlockField& field) {
    return field.format == FieldFormat::Native16 || field.format == FieldFormat::Native32;
}

void reverse(UserParamBlock& buffer, std::size_t offset, std::size_t width) {
    std::reverse(buffer.begin() + static_cast<std::ptrdiff_t>(offset),
                 buffer.begin() + static_cast<std::ptrdiff_t>(offset + width));
}

} // namespace

void UserParam::swapUserParam(UserParamBlock& buffer) {
    trace("swapUserParam()\n");
    for (const BlockField& field : setupFieldMap())
        if (inTerminalOrder(field))
            reverse(buffer, field.offset, field.width);
    for (const BlockRecordRun& run : setupRecordRuns())
        for (std::size_t record = 0; record < run.count; ++record)
            for (const BlockField& field : run.fields)
                if (inTerminalOrder(field))
                    reverse(buffer, run.offset + run.width * record + field.offset, field.width);
}

} // namespace kestrix

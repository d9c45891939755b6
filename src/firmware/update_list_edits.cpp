#include "firmware/update_list_edits.h"

#include <algorithm>

namespace kestrix {

void dropLeadingFiles(UpdateFileList& list, std::size_t count) {
    count = std::min(count, list.files.size());
    list.files.erase(list.files.begin(), list.files.begin() + static_cast<std::ptrdiff_t>(count));
    if (list.defaultProgram)
        list.defaultProgram =
            *list.defaultProgram >= count ? std::optional(*list.defaultProgram - count) : std::nullopt;
}

void dropDefaultProgramFile(UpdateFileList& list) {
    if (list.defaultProgram && *list.defaultProgram < list.files.size())
        list.files.erase(list.files.begin() + static_cast<std::ptrdiff_t>(*list.defaultProgram));
    list.defaultProgram.reset();
}

} // namespace kestrix

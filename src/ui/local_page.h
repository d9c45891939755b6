#pragma once

#include <QUrl>

#include <optional>
#include <string>

namespace kestrix {

// The local file a page address names, when that file exists. The logic
// writes "file://" followed by the plain path (not percent-encoded); a
// properly encoded file URL and a bare path are taken as well. Nothing for
// other schemes and for files that do not exist.
std::optional<QUrl> existingLocalPage(const std::string& address);

} // namespace kestrix

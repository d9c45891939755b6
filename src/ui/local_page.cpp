#include "ui/local_page.h"

#include <QFileInfo>

#include <string_view>

namespace kestrix {
namespace {

std::optional<QUrl> existingFile(const QString& path) {
    const QFileInfo file(path);
    if (path.isEmpty() || !file.isFile())
        return std::nullopt;
    return QUrl::fromLocalFile(file.absoluteFilePath());
}

} // namespace

std::optional<QUrl> existingLocalPage(const std::string& address) {
    constexpr std::string_view kFileScheme = "file://";
    const std::string_view text = address;
    if (text.substr(0, kFileScheme.size()) == kFileScheme) {
        if (auto page = existingFile(QString::fromStdString(address.substr(kFileScheme.size()))))
            return page;
        const QUrl url(QString::fromStdString(address));
        if (url.isLocalFile())
            return existingFile(url.toLocalFile());
        return std::nullopt;
    }
    if (text.find("://") != std::string_view::npos)
        return std::nullopt;
    return existingFile(QString::fromStdString(address));
}

} // namespace kestrix

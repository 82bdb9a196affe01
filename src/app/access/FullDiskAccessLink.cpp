#include "app/access/FullDiskAccessLink.hpp"

#include <QDesktopServices>

namespace quillmere {

const QUrl& fullDiskAccessSettingsUrl() {
    static const QUrl url(
        QStringLiteral("x-apple.systempreferences:com.apple.preference.security?Privacy_AllFiles"));
    return url;
}

UrlOpener desktopUrlOpener() {
    return [](const QUrl& url) { QDesktopServices::openUrl(url); };
}

} // namespace quillmere

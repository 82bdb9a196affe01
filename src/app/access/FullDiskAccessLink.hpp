#pragma once

#include <QUrl>
#include <functional>

namespace quillmere {

// Opens an address with the desktop; the result is ignored, as nothing reports it to the user.
using UrlOpener = std::function<void(const QUrl&)>;

// The address of the Full Disk Access list in System Settings. Nothing on Linux handles it,
// so opening it does nothing; it is kept so that every button opens one and the same address.
const QUrl& fullDiskAccessSettingsUrl();
UrlOpener desktopUrlOpener();

} // namespace quillmere

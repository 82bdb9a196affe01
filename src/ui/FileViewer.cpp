#include "ui/FileViewer.hpp"

#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QDesktopServices>
#include <QFile>
#include <QFileInfo>
#include <QUrl>
#include <algorithm>

namespace quillmere::platform {
namespace {

const QString kService = QStringLiteral("org.freedesktop.FileManager1");
const QString kObject = QStringLiteral("/org/freedesktop/FileManager1");
const QString kInterface = QStringLiteral("org.freedesktop.FileManager1");

std::string parentOf(const std::string& path) {
    const auto slash = path.find_last_of('/');
    if (slash == std::string::npos) return {};
    if (slash == 0) return "/";
    return path.substr(0, slash);
}

} // namespace

FileViewer::FileViewer(QDBusConnection bus, FolderOpener openFolder, QObject* parent)
    : QObject(parent), bus_(std::move(bus)), openFolder_(std::move(openFolder)) {}

FileViewer* FileViewer::system(QObject* parent) {
    return new FileViewer(
        QDBusConnection::sessionBus(),
        [](const QString& directory) { QDesktopServices::openUrl(QUrl::fromLocalFile(directory)); }, parent);
}

QString FileViewer::itemUri(const std::string& path) {
    // Byte by byte: Qt's own encoder takes text, and a name need not be valid UTF-8.
    static constexpr char kHex[] = "0123456789ABCDEF";
    QString uri = QStringLiteral("file://");
    for (const unsigned char byte : path) {
        const bool plain = (byte >= 'A' && byte <= 'Z') || (byte >= 'a' && byte <= 'z') ||
                           (byte >= '0' && byte <= '9') || byte == '-' || byte == '.' || byte == '_' ||
                           byte == '~' || byte == '/';
        if (plain) {
            uri += QChar(byte);
        } else {
            uri += QChar('%');
            uri += QChar(kHex[byte >> 4]);
            uri += QChar(kHex[byte & 0xF]);
        }
    }
    return uri;
}

void FileViewer::reveal(const std::string& path) {
    reveal(std::vector<std::string>{path});
}

void FileViewer::reveal(const std::vector<std::string>& paths) {
    if (paths.empty()) return;
    if (!bus_.isConnected()) {
        openParentFolders(paths);
        emit revealFinished(false);
        return;
    }
    QStringList uris;
    for (const std::string& path : paths)
        uris << itemUri(path);
    QDBusMessage call =
        QDBusMessage::createMethodCall(kService, kObject, kInterface, QStringLiteral("ShowItems"));
    call << uris << QString();
    auto* watcher = new QDBusPendingCallWatcher(bus_.asyncCall(call), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this, [this, watcher, paths] {
        watcher->deleteLater();
        const bool shown = !watcher->isError();
        if (!shown) openParentFolders(paths);
        emit revealFinished(shown);
    });
}

void FileViewer::openParentFolders(const std::vector<std::string>& paths) {
    if (!openFolder_) return;
    std::vector<std::string> opened;
    for (const std::string& path : paths) {
        const std::string parent = parentOf(path);
        if (parent.empty() || std::find(opened.begin(), opened.end(), parent) != opened.end()) continue;
        opened.push_back(parent);
        const QString directory = QFile::decodeName(QByteArray::fromStdString(parent));
        if (QFileInfo(directory).isDir()) openFolder_(directory);
    }
}

} // namespace quillmere::platform

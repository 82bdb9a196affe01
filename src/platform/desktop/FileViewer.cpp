#include "platform/desktop/FileViewer.hpp"

#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QDesktopServices>
#include <QFile>
#include <QFileInfo>
#include <QUrl>

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
    if (!bus_.isConnected()) {
        openParentFolder(path);
        emit revealFinished(false);
        return;
    }
    QDBusMessage call =
        QDBusMessage::createMethodCall(kService, kObject, kInterface, QStringLiteral("ShowItems"));
    call << QStringList{itemUri(path)} << QString();
    auto* watcher = new QDBusPendingCallWatcher(bus_.asyncCall(call), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this, [this, watcher, path] {
        watcher->deleteLater();
        const bool shown = !watcher->isError();
        if (!shown) openParentFolder(path);
        emit revealFinished(shown);
    });
}

void FileViewer::openParentFolder(const std::string& path) {
    const std::string parent = parentOf(path);
    if (parent.empty() || !openFolder_) return;
    const QString directory = QFile::decodeName(QByteArray::fromStdString(parent));
    if (QFileInfo(directory).isDir()) openFolder_(directory);
}

} // namespace quillmere::platform

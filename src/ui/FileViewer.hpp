#pragma once

#include <QDBusConnection>
#include <QObject>
#include <QString>
#include <functional>
#include <string>
#include <vector>

namespace quillmere::platform {

// Shows an item in the user's file manager with the item selected: an asynchronous
// org.freedesktop.FileManager1.ShowItems call on the session bus. Without a bus or without a
// file manager serving that name, the item's parent folder is opened with the desktop's
// default handler instead, and only when that folder exists. Nothing runs a shell.
class FileViewer : public QObject {
    Q_OBJECT
public:
    // Opens a directory with the desktop's default handler.
    using FolderOpener = std::function<void(const QString& directory)>;

    FileViewer(QDBusConnection bus, FolderOpener openFolder, QObject* parent = nullptr);
    // The user's session bus and the desktop's URL handler.
    static FileViewer* system(QObject* parent = nullptr);

    // The path as it is handed over, unchanged, whether or not it exists.
    void reveal(const std::string& path);
    // Several items in one request, so the file manager selects them together rather than
    // opening a window per item; without it, each distinct parent folder is opened once.
    void reveal(const std::vector<std::string>& paths);

    // The item's file:// URI with every byte outside the unreserved set and "/" percent-encoded,
    // so spaces, "#", "?" and names in any encoding survive.
    static QString itemUri(const std::string& path);

signals:
    // After each reveal: whether the file manager took it (else the fallback ran or nothing did).
    void revealFinished(bool shownByFileManager);

private:
    void openParentFolders(const std::vector<std::string>& paths);

    QDBusConnection bus_;
    FolderOpener openFolder_;
};

} // namespace quillmere::platform

#include "app/PreviewLoader.hpp"

#include "platform/Fd.hpp"

#include <QFile>
#include <QImageReader>
#include <QMimeDatabase>
#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace quillmere {
namespace {

Date modificationOf(const struct stat& info) {
    return static_cast<Date>(info.st_mtim.tv_sec) + static_cast<Date>(info.st_mtim.tv_nsec) / 1e9;
}

// The desktop's comments are lower case ("folder", "unknown"); the inspector's kinds are
// capitalised and call a file of no known type a "File".
QString kindText(const QMimeType& type, bool isDirectory) {
    if (isDirectory) return QStringLiteral("Folder");
    if (!type.isValid() || type.isDefault() || type.comment().isEmpty()) return QStringLiteral("File");
    QString comment = type.comment();
    comment[0] = comment[0].toUpper();
    return comment;
}

PreviewContent describe(const struct stat& info, const QMimeType& type) {
    PreviewContent content;
    content.kind = PreviewContent::Kind::details;
    content.isDirectory = S_ISDIR(info.st_mode);
    content.kindDescription = kindText(type, content.isDirectory);
    if (!content.isDirectory) content.size = static_cast<int64_t>(info.st_size);
    content.modified = modificationOf(info);
    return content;
}

// Reads up to `limit` bytes; a file that shrinks or fails mid-way gives what was read.
QByteArray readHead(int fd, int64_t limit) {
    QByteArray data;
    data.resize(static_cast<qsizetype>(limit));
    qsizetype filled = 0;
    while (filled < data.size()) {
        const ssize_t got = ::read(fd, data.data() + filled, static_cast<size_t>(data.size() - filled));
        if (got < 0 && errno == EINTR) continue;
        if (got <= 0) break;
        filled += got;
    }
    data.resize(filled);
    return data;
}

std::optional<QImage> readImage(int fd, const PreviewLimits& limits) {
    QFile file;
    if (!file.open(fd, QIODevice::ReadOnly, QFileDevice::DontCloseHandle)) return std::nullopt;
    QImageReader reader(&file);
    reader.setAutoTransform(true);
    const QSize size = reader.size();
    if (!size.isValid() || static_cast<int64_t>(size.width()) * size.height() > limits.maxImagePixels)
        return std::nullopt;
    if (size.width() > limits.maxImageSide || size.height() > limits.maxImageSide)
        reader.setScaledSize(size.scaled(limits.maxImageSide, limits.maxImageSide, Qt::KeepAspectRatio));
    QImage image = reader.read();
    if (image.isNull()) return std::nullopt;
    return image;
}

// The type of an item that is not a regular file, from its metadata alone.
QMimeType specialItemType(const QMimeDatabase& mimes, const struct stat& info) {
    return S_ISDIR(info.st_mode)    ? mimes.mimeTypeForName("inode/directory")
           : S_ISLNK(info.st_mode)  ? mimes.mimeTypeForName("inode/symlink")
           : S_ISFIFO(info.st_mode) ? mimes.mimeTypeForName("inode/fifo")
           : S_ISSOCK(info.st_mode) ? mimes.mimeTypeForName("inode/socket")
           : S_ISCHR(info.st_mode)  ? mimes.mimeTypeForName("inode/chardevice")
                                    : mimes.mimeTypeForName("inode/blockdevice");
}

} // namespace

QString itemTypeDescription(const std::string& path) {
    const QMimeDatabase mimes;
    struct stat info {};
    if (::lstat(path.c_str(), &info) != 0) return {};
    if (!S_ISREG(info.st_mode)) return kindText(specialItemType(mimes, info), S_ISDIR(info.st_mode));
    return kindText(mimes.mimeTypeForFile(QFile::decodeName(QByteArray::fromStdString(path))), false);
}

PreviewContent loadPreview(const std::string& path, const PreviewLimits& limits) {
    const QString qpath = QFile::decodeName(QByteArray::fromStdString(path));
    const QMimeDatabase mimes;
    struct stat info {};
    if (::lstat(path.c_str(), &info) != 0) {
        PreviewContent missing;
        missing.kind = PreviewContent::Kind::missing;
        missing.sentence = "This item is no longer where the scan found it.";
        return missing;
    }
    if (!S_ISREG(info.st_mode)) {
        // Folders, links, FIFOs, devices and sockets are described, never opened.
        const QMimeType type = specialItemType(mimes, info);
        return describe(info, type);
    }
    // Non-blocking and without following a link: what was checked is what is read.
    const platform::Fd fd(::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOFOLLOW | O_CLOEXEC));
    struct stat opened {};
    if (fd.get() < 0 || ::fstat(fd.get(), &opened) != 0 || !S_ISREG(opened.st_mode))
        return describe(info, mimes.mimeTypeForFile(qpath, QMimeDatabase::MatchExtension));
    const QByteArray head = readHead(fd.get(), limits.maxTextBytes);
    const QMimeType type = mimes.mimeTypeForFileNameAndData(qpath, head);
    if (type.name().startsWith("image/")) {
        ::lseek(fd.get(), 0, SEEK_SET);
        if (auto image = readImage(fd.get(), limits)) {
            PreviewContent content;
            content.kind = PreviewContent::Kind::image;
            content.image = std::move(*image);
            return content;
        }
    } else if (type.inherits("text/plain")) {
        PreviewContent content;
        content.kind = PreviewContent::Kind::text;
        // A multi-byte character cut by the limit turns into one replacement character.
        content.text = QString::fromUtf8(head);
        return content;
    }
    return describe(opened, type);
}

} // namespace quillmere

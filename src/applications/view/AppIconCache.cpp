#include "applications/view/AppIconCache.hpp"

#include "platform/PropertyList.hpp"
#include "ui/BackgroundWork.hpp"

#include <QFileInfo>
#include <QImageReader>
#include <QPointer>

namespace quillmere {
namespace {

// Twice the largest tile (40) at 2x, so no tile is drawn from too few pixels.
constexpr int kIconSide = 160;

} // namespace

AppIconCache::AppIconCache(QObject* parent) : QObject(parent) {}

IconTile::Kind AppIconCache::tile(const InstalledApp& app) {
    const bool exported = app.iconPath.has_value();
    const QString key = QString::fromStdString(exported ? *app.iconPath : app.path);
    if (const auto found = images_.constFind(key); found != images_.constEnd() && !found->isNull())
        return IconTile::application(*found);
    if (!requested_.contains(key)) {
        requested_.insert(key);
        QPointer<AppIconCache> self(this);
        startBackgroundWork([self, key, exported] {
            QImage image;
            try {
                image = exported ? readIconFile(key, kIconSide) : readIcon(key, kIconSide);
            } catch (...) {
            }
            if (image.isNull()) return;
            QMetaObject::invokeMethod(
                QCoreApplication::instance(),
                [self, key, image] {
                    if (!self) return;
                    self->images_.insert(key, image);
                    emit self->iconReady(key);
                },
                Qt::QueuedConnection);
        });
    }
    return IconTile::fileKind(FileKind::applications);
}

QImage AppIconCache::readIcon(const QString& bundlePath, int minimumSide) {
    const platform::PropertyListDictionary info =
        platform::readPropertyListDictionary((bundlePath + "/Contents/Info.plist").toStdString());
    const std::string* iconFile = info.findString("CFBundleIconFile");
    if (!iconFile || iconFile->empty() || iconFile->find('/') != std::string::npos) return {};
    QString name = QString::fromStdString(*iconFile);
    if (QFileInfo(name).suffix().isEmpty()) name += ".icns";
    QImageReader reader(bundlePath + "/Contents/Resources/" + name);
    // An icon file holds several sizes; take the first that is large enough, else the largest.
    QImage best;
    for (int index = 0; index < std::max(reader.imageCount(), 1) && index < 64; ++index) {
        if (index > 0 && !reader.jumpToImage(index)) break;
        const QImage image = reader.read();
        if (image.isNull()) continue;
        if (best.isNull() || image.width() > best.width()) best = image;
        if (best.width() >= minimumSide) break;
    }
    return best;
}

QImage AppIconCache::readIconFile(const QString& path, int side) {
    QImageReader reader(path);
    // A vector image has no pixels of its own: it is drawn at the size asked for; an oversized
    // picture is decoded no larger than a tile needs.
    const QSize size = reader.size();
    if (reader.format() == "svg" || reader.format() == "svgz" || size.width() > 4 * side ||
        size.height() > 4 * side)
        reader.setScaledSize(QSize(side, side));
    return reader.read();
}

} // namespace quillmere

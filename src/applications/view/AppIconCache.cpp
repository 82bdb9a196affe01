#include "applications/view/AppIconCache.hpp"

#include "platform/PropertyList.hpp"

#include <QFileInfo>
#include <QImageReader>
#include <QPointer>
#include <QThreadPool>

namespace quillmere {
namespace {

// Twice the largest tile (40) at 2x, so no tile is drawn from too few pixels.
constexpr int kIconSide = 160;

} // namespace

AppIconCache::AppIconCache(QObject* parent) : QObject(parent) {}

IconTile::Kind AppIconCache::tile(const QString& bundlePath) {
    if (const auto found = images_.constFind(bundlePath); found != images_.constEnd() && !found->isNull())
        return IconTile::application(*found);
    if (!requested_.contains(bundlePath)) {
        requested_.insert(bundlePath);
        QPointer<AppIconCache> self(this);
        QThreadPool::globalInstance()->start([self, bundlePath] {
            QImage image;
            try {
                image = readIcon(bundlePath, kIconSide);
            } catch (...) {
            }
            if (image.isNull()) return;
            QMetaObject::invokeMethod(
                QCoreApplication::instance(),
                [self, bundlePath, image] {
                    if (!self) return;
                    self->images_.insert(bundlePath, image);
                    emit self->iconReady(bundlePath);
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

} // namespace quillmere

#pragma once

#include "ui/IconTile.hpp"

#include <QHash>
#include <QImage>
#include <QObject>
#include <QSet>
#include <QString>

namespace quillmere {

// Application icons, read from each bundle's own icon file off the main thread and kept per
// bundle path for the life of the cache. Until an icon has arrived, and for a bundle without
// a readable one, the generic application tile stands in.
class AppIconCache : public QObject {
    Q_OBJECT
public:
    explicit AppIconCache(QObject* parent = nullptr);

    // The tile for `bundlePath`; starts loading its image the first time it is asked for.
    IconTile::Kind tile(const QString& bundlePath);
    // Blocking: the bundle's icon with a side of at least `minimumSide` when it has one.
    static QImage readIcon(const QString& bundlePath, int minimumSide);

signals:
    void iconReady(const QString& bundlePath);

private:
    QHash<QString, QImage> images_;
    QSet<QString> requested_;
};

} // namespace quillmere

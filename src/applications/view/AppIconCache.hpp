#pragma once

#include "applications/model/ApplicationRecords.hpp"
#include "ui/IconTile.hpp"

#include <QHash>
#include <QImage>
#include <QObject>
#include <QSet>
#include <QString>

namespace quillmere {

// Application icons, read off the main thread and kept for the life of the cache: a bundle's
// from its own icon file, a packaged application's from the icon file its package system
// exported. Until an icon has arrived, and for an application without a readable one, the
// generic application tile stands in.
class AppIconCache : public QObject {
    Q_OBJECT
public:
    explicit AppIconCache(QObject* parent = nullptr);

    // The tile for `app`; starts loading its image the first time it is asked for.
    IconTile::Kind tile(const InstalledApp& app);
    // Blocking: the bundle's icon with a side of at least `minimumSide` when it has one.
    static QImage readIcon(const QString& bundlePath, int minimumSide);
    // Blocking: a PNG as it is, an SVG drawn `side` pixels square; null when unreadable.
    static QImage readIconFile(const QString& path, int side);

signals:
    // `key` is the bundle path, or the exported icon's path.
    void iconReady(const QString& key);

private:
    QHash<QString, QImage> images_;
    QSet<QString> requested_;
};

} // namespace quillmere

#include "app/ApplicationIdentity.hpp"

#include <QGuiApplication>
#include <QString>

// The icon's resources are linked from a static library; naming them here keeps the linker
// from dropping them. Outside any namespace, as Qt's macro requires.
static void loadApplicationIconResource() {
    Q_INIT_RESOURCE(application_icon);
}

namespace quillmere {

QIcon applicationIcon() {
    loadApplicationIconResource();
    QIcon icon;
    for (const int side : {16, 22, 24, 32, 48, 64, 128, 256})
        icon.addFile(
            QStringLiteral(":/icons/hicolor/%1x%1/apps/%2.png").arg(side).arg(QLatin1String(kApplicationId)),
            QSize(side, side));
    return icon;
}

void presentApplicationToDesktop() {
    QGuiApplication::setWindowIcon(applicationIcon());
    QGuiApplication::setDesktopFileName(QLatin1String(kApplicationId));
}

} // namespace quillmere

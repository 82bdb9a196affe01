#pragma once

#include "scan/FileKind.hpp"
#include "ui/Theme.hpp"

#include <QIcon>
#include <QImage>
#include <QMarginsF>
#include <QString>
#include <QWidget>
#include <optional>
#include <variant>

class QPainter;

namespace quillmere {

// The square, glossy icon that stands for a System Data category, an application, a file
// kind, a group of orphaned leftovers or the drop zone. Every tile has the same finish
// (eased corners, top gloss, rim fading downwards, drop shadow, all proportional to the
// side); an application shows its own image, everything else a white symbol on a diagonal
// two-colour gradient.
class IconTile : public QWidget {
    Q_OBJECT
public:
    struct SystemDataCategory {
        QString id;
    };
    struct Application {
        QImage image; // implicitly shared: copies of the kind share the pixels
    };
    struct OrphanGroup {};
    struct DropTarget {};
    using Kind = std::variant<SystemDataCategory, Application, FileKind, OrphanGroup, DropTarget>;

    static Kind systemDataCategory(const QString& id) { return SystemDataCategory{id}; }
    static Kind application(const QImage& image) { return Application{image}; }
    // The icon's largest image, so that any tile size is drawn from enough pixels.
    static Kind application(const QIcon& icon);
    static Kind fileKind(FileKind kind) { return kind; }
    static Kind orphanGroup() { return OrphanGroup{}; }
    static Kind dropTarget() { return DropTarget{}; }

    explicit IconTile(Kind kind, qreal size = 32, QWidget* parent = nullptr);

    const Kind& kind() const { return kind_; }
    qreal tileSize() const { return size_; }
    // With room (the default) the widget is larger than the tile by the shadow's reach and the
    // tile sits where the room leaves it; without, the widget is exactly the tile and the
    // shadow is cut at its edges.
    bool reservesShadowRoom() const { return reservesShadowRoom_; }
    void setReservesShadowRoom(bool on);
    // Where the tile's square lies in the widget.
    QRectF tileRect() const;

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override { return sizeHint(); }

    // The style a non-application kind draws with; unknown category ids fall back to the
    // orphaned-leftovers style. Nothing for an application.
    static std::optional<Theme::TileStyle> style(const Kind& kind);

    // Paints the tile with its square at `tile` (shadow included, reaching outside it).
    static void paint(QPainter& painter, const QRectF& tile, const Kind& kind);

    static qreal cornerRadius(qreal side) { return side * 0.26; }
    static qreal rimWidth(qreal side) { return std::max(side * 0.03, 0.75); }
    static qreal symbolSize(qreal side) { return side * 0.44; }
    static qreal shadowBlur(qreal side) { return side * 0.2; }
    static qreal shadowOffset(qreal side) { return side * 0.14; }
    static QMarginsF shadowBleed(qreal side);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    Kind kind_;
    qreal size_;
    bool reservesShadowRoom_ = true;
};

} // namespace quillmere

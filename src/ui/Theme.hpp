#pragma once

#include "scan/DiskInsights.hpp"
#include "scan/FileKind.hpp"
#include "ui/Ink.hpp"

#include <QColor>
#include <QFont>
#include <QMarginsF>
#include <QPalette>
#include <QRectF>
#include <QString>
#include <QStringView>
#include <QWidget>
#include <map>

class QPainter;

namespace quillmere {

// The fixed colours of the interface. Every member is built once on first use (thread-safe
// function-local statics) and never changes; views select a palette on every paint, so a
// change of scheme shows on the next repaint without anything being cached per view.
class Theme {
public:
    Theme() = delete;

    struct GradientStops {
        QColor start;
        QColor end;
    };

    // A vertical linear gradient from the top centre to the bottom centre of what it fills.
    struct VerticalGradient {
        QColor top;
        QColor bottom;
    };

    struct TileStyle {
        GradientStops gradient;
        QString symbolName;
    };

    struct Palette {
        QColor bg1;
        QColor bg2;
        VerticalGradient panel;
        QColor line;
        QColor line2;
        QColor fill;
        QColor ink;
        QColor ink2;
        QColor ink3;
        QColor glow1;
        QColor glow2;
        QColor panelTopHighlight;
        QColor segmentTrack;
        QColor segmentTrackBorder;
        QColor segmentSelectedText;
        GradientStops segmentSelectedGradient;
        QColor ringGlossTop;
        QColor ringGlossBottom;
        QColor ringHubCenter;
        QColor ringHubEdge;
        QColor ringHubStroke;
    };

    static const Palette& dark();
    static const Palette& light();
    static const Palette& palette(bool dark);

    // The scheme a widget draws in, read from its Qt palette: dark when the window colour is
    // darker than mid-grey. The application installs `qtPalette` for the chosen appearance,
    // and every kit widget follows it.
    static bool isDark(const QPalette& palette);
    static bool isDark(const QWidget* widget);
    static const Palette& palette(const QWidget* widget);
    // A Qt palette carrying the theme's colours, for the application or a subtree.
    static QPalette qtPalette(bool dark);

    // Exactly the nine System Data category ids; any other id finds nothing.
    static const std::map<QString, TileStyle>& categoryStyles();
    static const TileStyle* categoryStyle(const QString& id);
    // One row for every file kind.
    static const std::map<FileKind, TileStyle>& kindStyles();
    static const TileStyle* kindStyle(FileKind kind);
    // By the kind's stored name ("diskImages"); nothing for a name that is no kind.
    static const TileStyle* kindStyle(const QString& rawName);
    static const TileStyle& orphanGroupStyle();
    static const TileStyle& dropTargetStyle();

    static const std::map<DiskInsights::AgeBand, QColor>& ageBandColors();
    static QColor ageBandColor(DiskInsights::AgeBand band);
    static const GradientStops& actionGradient();
    static QColor applicationTint();

    // These two follow the appearance by themselves instead of through a palette.
    static QColor accent(bool dark);
    static QColor warning(bool dark);
    static QColor accent(const QWidget* widget) { return accent(isDark(widget)); }
    static QColor warning(const QWidget* widget) { return warning(isDark(widget)); }
    static QColor ink(const QWidget* widget, Ink ink);

    static QColor tileSymbol();
    static QColor tileGlossTop();
    static QColor tileGlossBottom();
    static QColor tileRim();
    static QColor tileShadow();

    // The interface typeface (Inter) at a size in device-independent pixels (rounded to whole
    // pixels: sizes are the design's, not the user's point-size preference).
    static QFont uiFont(qreal pixelSize, QFont::Weight weight = QFont::Normal);
    static QString uiFontFamily();
};

// The standard panel: a gradient-filled rounded rectangle with a hairline border kept inside
// its bounds, an optional highlight line under the top edge and a soft drop shadow.
//
// As a widget it reserves room around the panel for the shadow (contents margins equal to
// `shadowBleed()`), so children laid out in it sit on the panel; the border and highlight are
// drawn by an overlay that stays above the children.
class GlassPanel : public QWidget {
    Q_OBJECT
public:
    explicit GlassPanel(QWidget* parent = nullptr, qreal cornerRadius = 12, bool topHighlight = true);

    qreal cornerRadius() const { return cornerRadius_; }
    bool topHighlight() const { return topHighlight_; }
    // Without room the shadow is clipped at the widget's edges and the panel fills it.
    bool reservesShadowRoom() const { return reservesShadowRoom_; }
    void setReservesShadowRoom(bool on);
    QRectF panelRect() const;

    // Layers behind the content: shadow, then the fill.
    static void paintBackground(QPainter& painter, const QRectF& panel, const Theme::Palette& palette,
                                qreal cornerRadius);
    // Layers over the content: border, then the top highlight.
    static void paintOverlay(QPainter& painter, const QRectF& panel, const Theme::Palette& palette,
                             qreal cornerRadius, bool topHighlight);
    // All layers, for a caller whose content is painted afterwards or not at all.
    static void paint(QPainter& painter, const QRectF& panel, const Theme::Palette& palette,
                      qreal cornerRadius = 12, bool topHighlight = true);
    // How far the shadow reaches beyond the panel on each side.
    static QMarginsF shadowBleed();

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void changeEvent(QEvent* event) override;
    void childEvent(QChildEvent* event) override;

private:
    void applyMargins();

    QWidget* overlay_ = nullptr;
    qreal cornerRadius_;
    bool topHighlight_;
    bool reservesShadowRoom_ = true;
};

} // namespace quillmere

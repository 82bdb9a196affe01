#include "ui/Theme.hpp"

#include "ui/Painting.hpp"

#include <QChildEvent>
#include <QFontDatabase>
#include <QLinearGradient>
#include <QPainter>
#include <QPen>
#include <cmath>

namespace quillmere {

namespace {

QColor rgb(int r, int g, int b, qreal opacity = 1.0) {
    QColor c(r, g, b);
    c.setAlphaF(opacity);
    return c;
}

QColor white(qreal opacity = 1.0) {
    return rgb(255, 255, 255, opacity);
}
QColor black(qreal opacity = 1.0) {
    return rgb(0, 0, 0, opacity);
}

Theme::TileStyle tile(QColor start, QColor end, const char* symbol) {
    return Theme::TileStyle{{start, end}, QString::fromLatin1(symbol)};
}

// The installed files of the interface typeface; registered only when the font system does
// not already list the family, so a desktop without fontconfig's cache still gets it.
void ensureInterRegistered() {
    static const bool done = [] {
        if (QFontDatabase::families().contains(QStringLiteral("Inter"))) return true;
        for (const char* style : {"Regular", "Medium", "SemiBold", "Bold"})
            QFontDatabase::addApplicationFont(
                QStringLiteral("/usr/share/fonts/opentype/inter/Inter-%1.otf").arg(QLatin1String(style)));
        return true;
    }();
    (void)done;
}

constexpr qreal kPanelShadowOpacity = 0.35;
constexpr qreal kPanelShadowBlur = 24;
constexpr QPointF kPanelShadowOffset(0, 12);

} // namespace

const Theme::Palette& Theme::dark() {
    static const Palette palette{
        .bg1 = rgb(18, 18, 26),
        .bg2 = rgb(10, 10, 17),
        .panel = {rgb(31, 31, 42, 0.9), rgb(19, 19, 27, 0.94)},
        .line = white(0.085),
        .line2 = white(0.055),
        .fill = white(0.055),
        .ink = rgb(244, 243, 248),
        .ink2 = rgb(162, 161, 177),
        .ink3 = rgb(112, 111, 126),
        .glow1 = rgb(242, 106, 33, 0.2),
        .glow2 = rgb(118, 90, 255, 0.17),
        .panelTopHighlight = white(0.07),
        .segmentTrack = black(0.32),
        .segmentTrackBorder = white(0.06),
        .segmentSelectedText = white(),
        .segmentSelectedGradient = {rgb(255, 182, 84, 0.34), rgb(240, 118, 28, 0.24)},
        .ringGlossTop = white(0.15),
        .ringGlossBottom = black(0.16),
        .ringHubCenter = rgb(27, 27, 38),
        .ringHubEdge = rgb(14, 14, 21),
        .ringHubStroke = white(0.1),
    };
    return palette;
}

const Theme::Palette& Theme::light() {
    static const Palette palette{
        .bg1 = rgb(252, 251, 249),
        .bg2 = rgb(240, 238, 234),
        .panel = {white(0.96), rgb(252, 251, 249, 0.94)},
        .line = black(0.1),
        .line2 = black(0.06),
        .fill = black(0.045),
        .ink = rgb(23, 23, 29),
        .ink2 = rgb(101, 100, 111),
        .ink3 = rgb(150, 149, 159),
        .glow1 = rgb(242, 106, 33, 0.13),
        .glow2 = rgb(118, 90, 255, 0.09),
        .panelTopHighlight = white(0.9),
        .segmentTrack = black(0.05),
        .segmentTrackBorder = black(0.07),
        .segmentSelectedText = rgb(58, 32, 7),
        .segmentSelectedGradient = {rgb(255, 206, 132), rgb(255, 174, 78)},
        .ringGlossTop = white(0.3),
        .ringGlossBottom = black(0.07),
        .ringHubCenter = white(),
        .ringHubEdge = rgb(243, 241, 238),
        .ringHubStroke = black(0.1),
    };
    return palette;
}

const Theme::Palette& Theme::palette(bool isDarkScheme) {
    return isDarkScheme ? dark() : light();
}

bool Theme::isDark(const QPalette& palette) {
    return palette.color(QPalette::Window).lightness() < 128;
}

bool Theme::isDark(const QWidget* widget) {
    return widget && isDark(widget->palette());
}

const Theme::Palette& Theme::palette(const QWidget* widget) {
    return palette(isDark(widget));
}

QColor Theme::ink(const QWidget* widget, Ink ink) {
    const Palette& colors = palette(widget);
    switch (ink) {
    case Ink::primary:
        return colors.ink;
    case Ink::secondary:
        return colors.ink2;
    case Ink::tertiary:
        return colors.ink3;
    case Ink::accent:
        return accent(widget);
    case Ink::warning:
        return warning(widget);
    }
    return colors.ink;
}

QPalette Theme::qtPalette(bool isDarkScheme) {
    const Palette& p = palette(isDarkScheme);
    const QColor accentColor = accent(isDarkScheme);
    const QColor base = isDarkScheme ? rgb(24, 24, 33) : white();
    const QColor button = isDarkScheme ? rgb(36, 36, 48) : rgb(246, 245, 242);
    QPalette q;
    for (auto group : {QPalette::Active, QPalette::Inactive, QPalette::Disabled}) {
        const bool disabled = group == QPalette::Disabled;
        const QColor text = disabled ? p.ink3 : p.ink;
        q.setColor(group, QPalette::Window, p.bg1);
        q.setColor(group, QPalette::WindowText, text);
        q.setColor(group, QPalette::Base, base);
        q.setColor(group, QPalette::AlternateBase, isDarkScheme ? rgb(29, 29, 39) : rgb(246, 245, 242));
        q.setColor(group, QPalette::Text, text);
        q.setColor(group, QPalette::PlaceholderText, p.ink3);
        q.setColor(group, QPalette::Button, button);
        q.setColor(group, QPalette::ButtonText, text);
        q.setColor(group, QPalette::BrightText, white());
        q.setColor(group, QPalette::ToolTipBase, isDarkScheme ? rgb(36, 36, 48) : white());
        q.setColor(group, QPalette::ToolTipText, p.ink);
        q.setColor(group, QPalette::Highlight, disabled ? p.ink3 : accentColor);
        q.setColor(group, QPalette::HighlightedText, isDarkScheme ? rgb(18, 18, 26) : white());
        q.setColor(group, QPalette::Link, accentColor);
        q.setColor(group, QPalette::LinkVisited, accentColor.darker(115));
        q.setColor(group, QPalette::Light, isDarkScheme ? rgb(60, 60, 76) : white());
        q.setColor(group, QPalette::Midlight, isDarkScheme ? rgb(46, 46, 60) : rgb(236, 234, 230));
        q.setColor(group, QPalette::Mid, isDarkScheme ? rgb(40, 40, 52) : rgb(214, 212, 208));
        q.setColor(group, QPalette::Dark, isDarkScheme ? rgb(8, 8, 12) : rgb(170, 168, 164));
        q.setColor(group, QPalette::Shadow, black());
    }
    return q;
}

const std::map<QString, Theme::TileStyle>& Theme::categoryStyles() {
    static const std::map<QString, TileStyle> styles{
        {QStringLiteral("apfs-local-snapshots"),
         tile(rgb(246, 205, 90), rgb(216, 162, 14), "clock.arrow.circlepath")},
        {QStringLiteral("time-machine-local-backups"),
         tile(rgb(248, 174, 89), rgb(223, 124, 12), "arrow.triangle.2.circlepath")},
        {QStringLiteral("ios-device-backups"), tile(rgb(248, 142, 89), rgb(225, 85, 14), "iphone")},
        {QStringLiteral("xcode-derived-data"), tile(rgb(248, 123, 98), rgb(228, 52, 17), "hammer.fill")},
        {QStringLiteral("user-caches"), tile(rgb(249, 113, 108), rgb(235, 28, 20), "shippingbox.fill")},
        {QStringLiteral("cached-icloud-content"), tile(rgb(246, 121, 154), rgb(231, 35, 87), "icloud.fill")},
        {QStringLiteral("system-caches"), tile(rgb(247, 110, 128), rgb(232, 23, 51), "gearshape.fill")},
        {QStringLiteral("mail-downloads"), tile(rgb(245, 122, 171), rgb(228, 37, 114), "envelope.fill")},
        {QStringLiteral("cant-be-attributed"),
         tile(rgb(142, 139, 156), rgb(92, 89, 105), "questionmark.circle.fill")},
    };
    return styles;
}

const Theme::TileStyle* Theme::categoryStyle(const QString& id) {
    const auto& styles = categoryStyles();
    const auto found = styles.find(id);
    return found == styles.end() ? nullptr : &found->second;
}

const std::map<FileKind, Theme::TileStyle>& Theme::kindStyles() {
    static const std::map<FileKind, TileStyle> styles{
        {FileKind::videos, tile(rgb(246, 205, 90), rgb(216, 162, 14), "film.fill")},
        {FileKind::images, tile(rgb(140, 240, 168), rgb(20, 154, 75), "photo.fill")},
        {FileKind::audio, tile(rgb(245, 122, 171), rgb(228, 37, 114), "music.note")},
        {FileKind::diskImages, tile(rgb(248, 174, 89), rgb(223, 124, 12), "opticaldisc.fill")},
        {FileKind::archives, tile(rgb(248, 142, 89), rgb(225, 85, 14), "archivebox.fill")},
        {FileKind::installers, tile(rgb(248, 123, 98), rgb(228, 52, 17), "shippingbox.fill")},
        {FileKind::virtualMachines, tile(rgb(154, 140, 255), rgb(90, 72, 224), "desktopcomputer")},
        {FileKind::applications, tile(applicationTint(), rgb(74, 59, 204), "app.fill")},
        {FileKind::mediaLibraries, tile(rgb(246, 121, 154), rgb(231, 35, 87), "photo.on.rectangle.angled")},
        {FileKind::buildFolders, tile(rgb(249, 113, 108), rgb(235, 28, 20), "hammer.fill")},
        {FileKind::documents, tile(rgb(124, 196, 255), rgb(43, 127, 216), "doc.text.fill")},
        {FileKind::other, tile(rgb(142, 139, 156), rgb(92, 89, 105), "doc.fill")},
        {FileKind::unexplored, tile(rgb(142, 139, 156), rgb(92, 89, 105), "folder.badge.questionmark")},
        {FileKind::smallFiles, tile(rgb(169, 166, 184), rgb(111, 108, 124), "circle.grid.3x3.fill")},
    };
    return styles;
}

const Theme::TileStyle* Theme::kindStyle(FileKind kind) {
    const auto& styles = kindStyles();
    const auto found = styles.find(kind);
    return found == styles.end() ? nullptr : &found->second;
}

const Theme::TileStyle* Theme::kindStyle(const QString& rawName) {
    const QByteArray utf8 = rawName.toUtf8();
    const auto kind = fileKindFromRawValue(std::string_view(utf8.constData(), std::size_t(utf8.size())));
    return kind ? kindStyle(*kind) : nullptr;
}

const Theme::TileStyle& Theme::orphanGroupStyle() {
    static const TileStyle style = tile(rgb(140, 240, 168), rgb(20, 154, 75), "shoeprints.fill");
    return style;
}

const Theme::TileStyle& Theme::dropTargetStyle() {
    static const TileStyle style = tile(rgb(255, 208, 138), rgb(239, 106, 34), "square.and.arrow.down.fill");
    return style;
}

const std::map<DiskInsights::AgeBand, QColor>& Theme::ageBandColors() {
    using DiskInsights::AgeBand;
    const auto band = [](qreal hueDegrees) {
        return QColor::fromHsvF(float(hueDegrees / 360.0), 0.76f, 0.66f);
    };
    static const std::map<AgeBand, QColor> colors{
        {AgeBand::overFiveYears, band(46)},     {AgeBand::twoToFiveYears, band(28)},
        {AgeBand::oneToTwoYears, band(10)},     {AgeBand::pastYear, band(352)},
        {AgeBand::undated, rgb(117, 114, 130)},
    };
    return colors;
}

QColor Theme::ageBandColor(DiskInsights::AgeBand band) {
    const auto& colors = ageBandColors();
    const auto found = colors.find(band);
    return found == colors.end() ? rgb(117, 114, 130) : found->second;
}

const Theme::GradientStops& Theme::actionGradient() {
    static const GradientStops stops{rgb(255, 192, 105), rgb(240, 118, 28)};
    return stops;
}

QColor Theme::applicationTint() {
    return rgb(108, 92, 255);
}

QColor Theme::accent(bool isDarkScheme) {
    return isDarkScheme ? QColor::fromRgbF(0.941f, 0.659f, 0.235f) : QColor::fromRgbF(0.878f, 0.541f, 0.118f);
}

QColor Theme::warning(bool isDarkScheme) {
    return isDarkScheme ? QColor::fromRgbF(0.898f, 0.404f, 0.361f) : QColor::fromRgbF(0.584f, 0.196f, 0.165f);
}

QColor Theme::tileSymbol() {
    return white();
}
QColor Theme::tileGlossTop() {
    return white(0.3);
}
QColor Theme::tileGlossBottom() {
    return white(0.0);
}
QColor Theme::tileRim() {
    return white(0.42);
}
QColor Theme::tileShadow() {
    return black(0.55);
}

QString Theme::uiFontFamily() {
    ensureInterRegistered();
    return QStringLiteral("Inter");
}

QFont Theme::uiFont(qreal pixelSize, QFont::Weight weight) {
    QFont font(uiFontFamily());
    font.setPixelSize(std::max(1, qRound(pixelSize)));
    font.setWeight(weight);
    font.setStyleStrategy(QFont::PreferAntialias);
    return font;
}

// Border and highlight have to lie over the panel's children, which paint after their
// parent; a transparent sibling kept on top of them draws these two layers.
class GlassPanelOverlay : public QWidget {
public:
    explicit GlassPanelOverlay(GlassPanel* panel) : QWidget(panel), panel_(panel) {
        setAttribute(Qt::WA_TransparentForMouseEvents);
        setAttribute(Qt::WA_NoSystemBackground);
        setFocusPolicy(Qt::NoFocus);
    }

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter painter(this);
        painter.setRenderHint(QPainter::Antialiasing);
        GlassPanel::paintOverlay(painter, panel_->panelRect(), Theme::palette(panel_), panel_->cornerRadius(),
                                 panel_->topHighlight());
    }

private:
    GlassPanel* panel_;
};

GlassPanel::GlassPanel(QWidget* parent, qreal cornerRadius, bool topHighlight)
    : QWidget(parent), cornerRadius_(cornerRadius), topHighlight_(topHighlight) {
    setAttribute(Qt::WA_TranslucentBackground);
    overlay_ = new GlassPanelOverlay(this);
    overlay_->setGeometry(rect());
    overlay_->raise();
    applyMargins();
}

void GlassPanel::setReservesShadowRoom(bool on) {
    if (on == reservesShadowRoom_) return;
    reservesShadowRoom_ = on;
    applyMargins();
    update();
    overlay_->update();
}

QRectF GlassPanel::panelRect() const {
    const QRectF all(rect());
    return reservesShadowRoom_ ? all.marginsRemoved(shadowBleed()) : all;
}

QMarginsF GlassPanel::shadowBleed() {
    return painting::shadowBleed(kPanelShadowBlur, kPanelShadowOffset);
}

void GlassPanel::applyMargins() {
    if (!reservesShadowRoom_) {
        setContentsMargins(0, 0, 0, 0);
        return;
    }
    const QMarginsF bleed = shadowBleed();
    setContentsMargins(int(std::ceil(bleed.left())), int(std::ceil(bleed.top())),
                       int(std::ceil(bleed.right())), int(std::ceil(bleed.bottom())));
}

void GlassPanel::paintBackground(QPainter& painter, const QRectF& panel, const Theme::Palette& palette,
                                 qreal cornerRadius) {
    if (panel.isEmpty()) return;
    painting::paintRoundedShadow(painter, panel, cornerRadius, black(kPanelShadowOpacity), kPanelShadowBlur,
                                 kPanelShadowOffset);
    QLinearGradient fill(QPointF(panel.center().x(), panel.top()),
                         QPointF(panel.center().x(), panel.bottom()));
    fill.setColorAt(0, palette.panel.top);
    fill.setColorAt(1, palette.panel.bottom);
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    painter.fillPath(painting::continuousRoundedRect(panel, cornerRadius), fill);
    painter.restore();
}

void GlassPanel::paintOverlay(QPainter& painter, const QRectF& panel, const Theme::Palette& palette,
                              qreal cornerRadius, bool topHighlight) {
    if (panel.isEmpty()) return;
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    QPen border(palette.line, 1.0, Qt::SolidLine, Qt::FlatCap, Qt::MiterJoin);
    border.setMiterLimit(10);
    painter.setPen(border);
    painter.setBrush(Qt::NoBrush);
    painter.drawPath(painting::strokeBorderPath(panel, cornerRadius, 1.0));
    if (topHighlight) {
        const qreal inset = cornerRadius * 0.6;
        const QRectF line(panel.left() + inset, panel.top() + 1, panel.width() - 2 * inset, 1);
        if (line.width() > 0) painter.fillRect(line, palette.panelTopHighlight);
    }
    painter.restore();
}

void GlassPanel::paint(QPainter& painter, const QRectF& panel, const Theme::Palette& palette,
                       qreal cornerRadius, bool topHighlight) {
    paintBackground(painter, panel, palette, cornerRadius);
    paintOverlay(painter, panel, palette, cornerRadius, topHighlight);
}

void GlassPanel::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    paintBackground(painter, panelRect(), Theme::palette(this), cornerRadius_);
}

void GlassPanel::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    overlay_->setGeometry(rect());
}

void GlassPanel::changeEvent(QEvent* event) {
    if (event->type() == QEvent::PaletteChange) {
        update();
        overlay_->update();
    }
    QWidget::changeEvent(event);
}

void GlassPanel::childEvent(QChildEvent* event) {
    QWidget::childEvent(event);
    if (overlay_ && event->child() != overlay_ &&
        (event->type() == QEvent::ChildAdded || event->type() == QEvent::ChildPolished))
        overlay_->raise();
}

} // namespace quillmere

#include "ui/Symbols.hpp"

#include <QFontDatabase>
#include <QHash>
#include <QPainter>
#include <QPixmap>
#include <cmath>

namespace quillmere {

namespace {

const QString kFontFile =
    QStringLiteral("/usr/share/fonts/truetype/material-design-icons-iconfont/MaterialIcons-Regular.ttf");
const QString kFontFamily = QStringLiteral("Material Icons");

// Icon glyphs fill most of their em square while a text's capitals fill about 70 % of
// theirs; this factor gives a symbol the visual size of the text it stands beside.
constexpr qreal kEmPerTextSize = 1.2;

struct Row {
    const char* name;
    const char* glyphName;
    char16_t codepoint;
};

// Every symbol name the interface uses. Outline names map to outline glyphs where the font
// has one, ".fill" names to filled ones.
constexpr Row kTable[] = {
    // Volumes, scanning, top bar and path bar
    // Drives: a removable card for a disk that comes and goes, a drive bay for a fixed one (the
    // font's "storage" bars read as a list beside the List pill, its "usb" as a plug).
    {"externaldrive", "sd_storage", 0xe1c2},
    {"externaldrive.fill", "sd_storage", 0xe1c2},
    {"internaldrive", "dns", 0xe875},
    {"internaldrive.fill", "dns", 0xe875},
    {"magnifyingglass", "search", 0xe8b6},
    {"stop.fill", "stop", 0xe047},
    {"arrow.clockwise", "refresh", 0xe5d5},
    {"sidebar.trailing", "view_sidebar", 0xf114},
    {"gearshape", "settings", 0xe8b8},
    {"gearshape.fill", "settings", 0xe8b8},
    {"chevron.left", "chevron_left", 0xe5cb},
    {"chevron.right", "chevron_right", 0xe5cc},
    {"chevron.right.circle.fill", "arrow_circle_right", 0xeaaa},
    {"arrow.right", "arrow_forward", 0xe5c8},
    // Section tabs and view modes
    {"questionmark.circle", "help_outline", 0xe8fd},
    {"questionmark.circle.fill", "help", 0xe887},
    {"square.grid.2x2", "grid_view", 0xe9b0},
    {"chart.pie.fill", "pie_chart", 0xe6c4},
    {"square.grid.3x2.fill", "view_module", 0xe8f0},
    {"list.bullet", "format_list_bulleted", 0xe241},
    {"arrow.down.to.line.compact", "vertical_align_bottom", 0xe258},
    {"square.stack.3d.up.fill", "layers", 0xe53b},
    // A whole clock: the dashed one reads as switched off.
    {"clock.badge.questionmark", "schedule", 0xe8b5},
    // System Data categories
    {"clock.arrow.circlepath", "history", 0xe889},
    {"arrow.triangle.2.circlepath", "sync", 0xe627},
    {"iphone", "phone_iphone", 0xe325},
    {"hammer.fill", "hardware", 0xea59},
    {"shippingbox.fill", "inventory_2", 0xe1a1},
    {"icloud", "cloud_queue", 0xe2c2},
    {"icloud.fill", "cloud", 0xe2bd},
    {"icloud.slash.fill", "cloud_off", 0xe2c1},
    {"envelope.fill", "mail", 0xe158},
    // File kinds
    {"film.fill", "movie", 0xe02c},
    {"photo.fill", "photo", 0xe410},
    {"music.note", "music_note", 0xe405},
    {"opticaldisc.fill", "album", 0xe019},
    {"archivebox.fill", "archive", 0xe149},
    {"desktopcomputer", "desktop_mac", 0xe30b},
    {"app.fill", "apps", 0xe5c3},
    {"photo.on.rectangle.angled", "photo_library", 0xe413},
    {"doc.text.fill", "description", 0xe873},
    {"doc.fill", "insert_drive_file", 0xe24d},
    {"folder.badge.questionmark", "folder_off", 0xeb83},
    {"circle.grid.3x3.fill", "grain", 0xe3ea},
    // Applications and leftovers
    {"shoeprints.fill", "pets", 0xe91d},
    {"square.and.arrow.down.fill", "save_alt", 0xe171},
    {"sparkles", "auto_awesome", 0xe65f},
    {"questionmark.folder", "snippet_folder", 0xf1c7},
    {"xmark.circle.fill", "cancel", 0xe5c9},
    {"circle", "radio_button_unchecked", 0xe836},
    // Items, inspector and deletion
    {"folder", "folder_open", 0xe2c8},
    {"folder.fill", "folder", 0xe2c7},
    {"lock.fill", "lock", 0xe897},
    {"eye", "visibility", 0xe8f4},
    {"eye.slash", "visibility_off", 0xe8f5},
    {"trash", "delete_outline", 0xe92e},
    {"trash.fill", "delete", 0xe872},
    {"doc.on.doc", "content_copy", 0xe14d},
    {"ellipsis.circle.fill", "pending", 0xef64},
    {"checkmark.circle.fill", "check_circle", 0xe86c},
    {"exclamationmark.triangle", "warning_amber", 0xf083},
    {"exclamationmark.triangle.fill", "warning", 0xe002},
    // Access, helper and permission gate
    {"checkmark.shield.fill", "verified_user", 0xe8e8},
    {"person.2.badge.key.fill", "admin_panel_settings", 0xef3d},
    {"clock.badge.exclamationmark", "pending_actions", 0xf1bb},
    {"person.2.slash", "group_off", 0xe747},
};

// A generic shapes glyph: says "some item" without suggesting a meaning.
constexpr char16_t kFallbackCodepoint = 0xe574;

const QHash<QString, const Row*>& index() {
    static const QHash<QString, const Row*> rows = [] {
        QHash<QString, const Row*> map;
        for (const Row& row : kTable)
            map.insert(QString::fromLatin1(row.name), &row);
        return map;
    }();
    return rows;
}

const QString& loadedFamily() {
    static const QString family = [] {
        const int id = QFontDatabase::addApplicationFont(kFontFile);
        const QStringList families = QFontDatabase::applicationFontFamilies(id);
        if (!families.isEmpty()) return families.first();
        return QFontDatabase::families().contains(kFontFamily) ? kFontFamily : QString();
    }();
    return family;
}

QFont glyphFont(int pixelSize) {
    QFont font(loadedFamily());
    font.setPixelSize(std::max(1, pixelSize));
    font.setStyleStrategy(QFont::PreferAntialias);
    font.setHintingPreference(QFont::PreferNoHinting);
    return font;
}

// Without the font a ring of the symbol's size keeps the place visibly taken.
void drawMissingFontMark(QPainter& painter, const QRectF& box, const QColor& color) {
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    const qreal side = box.width() * 0.7;
    QPen pen(color, std::max(1.0, side * 0.14));
    painter.setPen(pen);
    painter.setBrush(Qt::NoBrush);
    painter.drawEllipse(QRectF(0, 0, side, side).translated(box.center() - QPointF(side / 2, side / 2)));
    painter.restore();
}

} // namespace

QString Symbols::glyph(const QString& name) {
    const Row* row = index().value(name, nullptr);
    return QString(QChar(row ? row->codepoint : kFallbackCodepoint));
}

bool Symbols::has(const QString& name) {
    return index().contains(name);
}

QString Symbols::fallbackGlyph() {
    return QString(QChar(kFallbackCodepoint));
}

QString Symbols::fontGlyphName(const QString& name) {
    const Row* row = index().value(name, nullptr);
    return row ? QString::fromLatin1(row->glyphName) : QString();
}

QStringList Symbols::names() {
    QStringList list;
    for (const Row& row : kTable)
        list << QString::fromLatin1(row.name);
    return list;
}

bool Symbols::fontLoaded() {
    return !loadedFamily().isEmpty();
}

QString Symbols::fontFamily() {
    return loadedFamily();
}

qreal Symbols::boxSide(qreal size) {
    return std::max(1.0, std::round(size * kEmPerTextSize));
}

QFont Symbols::font(qreal size) {
    return glyphFont(int(boxSide(size)));
}

void Symbols::draw(QPainter& painter, const QRectF& rect, const QString& name, const QColor& color,
                   qreal size) {
    if (rect.isEmpty()) return;
    const qreal side =
        size > 0 ? boxSide(size) : std::max(1.0, std::floor(std::min(rect.width(), rect.height())));
    const QRectF box(rect.center().x() - side / 2, rect.center().y() - side / 2, side, side);
    if (!fontLoaded()) {
        drawMissingFontMark(painter, box, color);
        return;
    }
    painter.save();
    painter.setFont(glyphFont(int(side)));
    painter.setPen(color);
    // The font's em square runs from the baseline up by the full size, and each glyph is
    // designed centred in it, so placing the square centres the drawing.
    painter.drawText(QPointF(box.left(), box.bottom()), glyph(name));
    painter.restore();
}

QIcon Symbols::icon(const QString& name, const QColor& color, qreal size, qreal devicePixelRatio) {
    const qreal side = boxSide(size);
    QPixmap pixmap(QSize(int(std::ceil(side * devicePixelRatio)), int(std::ceil(side * devicePixelRatio))));
    pixmap.setDevicePixelRatio(devicePixelRatio);
    pixmap.fill(Qt::transparent);
    {
        QPainter painter(&pixmap);
        painter.setRenderHint(QPainter::Antialiasing);
        draw(painter, QRectF(0, 0, side, side), name, color, size);
    }
    return QIcon(pixmap);
}

} // namespace quillmere

// Shows the interface kit in both schemes side by side: palettes, the glass panel, pills in
// every variant and every icon tile, so a change to the kit can be judged by eye.
//
//   ui-kit-gallery [--light | --dark] [--symbols] [--save FILE.png]
//
// --save renders the window into FILE.png (at the screen's scale) and exits.
#include "ui/IconTile.hpp"
#include "ui/SegmentedPills.hpp"
#include "ui/Symbols.hpp"
#include "ui/Theme.hpp"

#include <QApplication>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QRadialGradient>
#include <QScreen>
#include <QScrollArea>
#include <QTimer>
#include <QVBoxLayout>
#include <cstdio>

using namespace quillmere;

namespace {

enum class Mode { sunburst, treemap, list, largestItems, byKind, untouched };

QLabel* text(const QString& value, qreal size, QFont::Weight weight, const QColor& color, QWidget* parent) {
    auto* label = new QLabel(value, parent);
    label->setFont(Theme::uiFont(size, weight));
    QPalette p = label->palette();
    p.setColor(QPalette::WindowText, color);
    label->setPalette(p);
    return label;
}

// The window backdrop the screens draw: the vertical gradient with its two glows.
class Backdrop : public QWidget {
public:
    explicit Backdrop(bool dark) {
        setPalette(Theme::qtPalette(dark));
        setAutoFillBackground(false);
    }

protected:
    void paintEvent(QPaintEvent*) override {
        const auto& p = Theme::palette(this);
        QPainter painter(this);
        QLinearGradient base(0, 0, 0, height());
        base.setColorAt(0, p.bg1);
        base.setColorAt(1, p.bg2);
        painter.fillRect(rect(), base);
        const auto glow = [&](QPointF centre, qreal radius, QColor colour) {
            QRadialGradient g(centre, radius);
            g.setColorAt(0, colour);
            colour.setAlpha(0);
            g.setColorAt(1, colour);
            painter.fillRect(rect(), g);
        };
        glow(QPointF(width() * 0.15, height() * 0.05), width() * 0.6, p.glow1);
        glow(QPointF(width() * 0.9, height() * 0.6), width() * 0.7, p.glow2);
    }
};

class Swatch : public QWidget {
public:
    Swatch(QColor a, QColor b = {}, int side = 16) : a_(a), b_(b.isValid() ? b : a) {
        setFixedSize(side, side);
    }

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter painter(this);
        painter.setRenderHint(QPainter::Antialiasing);
        const QRectF r = QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5);
        // A checkerboard shows how translucent a colour is.
        painter.setClipRect(r);
        for (int y = 0; y < height(); y += 4)
            for (int x = 0; x < width(); x += 4)
                painter.fillRect(x, y, 4, 4,
                                 ((x + y) / 4) % 2 ? QColor(128, 128, 128) : QColor(200, 200, 200));
        painter.setClipping(false);
        QLinearGradient g(r.topLeft(), r.bottomLeft());
        g.setColorAt(0, a_);
        g.setColorAt(1, b_);
        painter.setBrush(g);
        painter.setPen(QPen(Theme::palette(this).line, 1));
        painter.drawRoundedRect(r, 4, 4);
    }

private:
    QColor a_, b_;
};

QList<SegmentedPills::Group> viewModeGroups() {
    using E = SegmentedPills;
    return {
        {E::entry(Mode::sunburst, "Rings", "chart.pie.fill", "Rings — the folder and what's inside it"),
         E::entry(Mode::treemap, "Treemap", "square.grid.3x2.fill"),
         E::entry(Mode::list, "List", "list.bullet")},
        {E::entry(Mode::largestItems, "Largest", "arrow.down.to.line.compact"),
         E::entry(Mode::byKind, "Kinds", "square.stack.3d.up.fill"),
         E::entry(Mode::untouched, "Untouched", "clock.badge.questionmark")},
    };
}

// A row of pills on the track a caller draws behind them.
class Track : public QWidget {
public:
    explicit Track(SegmentedPills* pills) : pills_(pills) {
        auto* layout = new QHBoxLayout(this);
        layout->setContentsMargins(3, 3, 3, 3);
        layout->addWidget(pills);
    }

protected:
    void paintEvent(QPaintEvent*) override {
        const auto& p = Theme::palette(this);
        QPainter painter(this);
        painter.setRenderHint(QPainter::Antialiasing);
        painter.setPen(QPen(p.segmentTrackBorder, 1));
        painter.setBrush(p.segmentTrack);
        // Hugs the pills actually shown, which are fewer pixels than the widget once it
        // falls back to symbols.
        const QRectF row = pills_->rowRect().translated(pills_->pos());
        painter.drawRoundedRect(row.adjusted(-2.5, -2.5, 2.5, 2.5), 9, 9);
    }

private:
    SegmentedPills* pills_;
};

QWidget* tileCell(IconTile::Kind kind, const QString& caption, const Theme::Palette& p, qreal size) {
    auto* cell = new QWidget;
    auto* layout = new QVBoxLayout(cell);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    auto* tile = new IconTile(std::move(kind), size);
    layout->addWidget(tile, 0, Qt::AlignHCenter);
    auto* label = text(caption, 10, QFont::Medium, p.ink2, cell);
    label->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
    label->setFixedWidth(80);
    label->setWordWrap(true);
    label->setFixedHeight(label->heightForWidth(label->width()));
    layout->addWidget(label, 0, Qt::AlignHCenter);
    layout->addStretch();
    return cell;
}

QImage sampleAppIcon() {
    // Not square on purpose: the tile must cover and clip it.
    QImage image(160, 120, QImage::Format_ARGB32_Premultiplied);
    QPainter painter(&image);
    QLinearGradient g(0, 0, 160, 120);
    g.setColorAt(0, QColor(64, 200, 255));
    g.setColorAt(1, QColor(30, 70, 200));
    painter.fillRect(image.rect(), g);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setBrush(QColor(255, 255, 255, 220));
    painter.setPen(Qt::NoPen);
    painter.drawEllipse(QPointF(80, 60), 30, 30);
    return image;
}

QWidget* schemePane(bool dark) {
    auto* pane = new Backdrop(dark);
    const auto& p = Theme::palette(dark);
    // The glass panel's shadow room equals the side margin, so its visible edges line up
    // with everything else: the panel goes into the outer column, the rest into `column`.
    const int side = int(GlassPanel::shadowBleed().left());
    auto* outer = new QVBoxLayout(pane);
    outer->setContentsMargins(0, 16, 0, 14);
    outer->setSpacing(4);
    const auto indented = [&] {
        auto* layout = new QVBoxLayout;
        layout->setContentsMargins(side, 0, side, 0);
        layout->setSpacing(8);
        outer->addLayout(layout);
        return layout;
    };
    auto* column = indented();

    column->addWidget(text(dark ? "Dark" : "Light", 20, QFont::Bold, p.ink, pane));

    // Palette fields
    const QList<std::tuple<const char*, QColor, QColor>> fields{
        {"bg1", p.bg1, {}},
        {"bg2", p.bg2, {}},
        {"panel", p.panel.top, p.panel.bottom},
        {"line", p.line, {}},
        {"line2", p.line2, {}},
        {"fill", p.fill, {}},
        {"ink", p.ink, {}},
        {"ink2", p.ink2, {}},
        {"ink3", p.ink3, {}},
        {"glow1", p.glow1, {}},
        {"glow2", p.glow2, {}},
        {"panelTopHighlight", p.panelTopHighlight, {}},
        {"segmentTrack", p.segmentTrack, {}},
        {"segmentTrackBorder", p.segmentTrackBorder, {}},
        {"segmentSelectedText", p.segmentSelectedText, {}},
        {"segmentSelectedGradient", p.segmentSelectedGradient.start, p.segmentSelectedGradient.end},
        {"ringGlossTop", p.ringGlossTop, {}},
        {"ringGlossBottom", p.ringGlossBottom, {}},
        {"ringHubCenter", p.ringHubCenter, {}},
        {"ringHubEdge", p.ringHubEdge, {}},
        {"ringHubStroke", p.ringHubStroke, {}},
    };
    auto* swatches = new QGridLayout;
    swatches->setHorizontalSpacing(8);
    swatches->setVerticalSpacing(3);
    for (int i = 0; i < fields.size(); ++i) {
        const auto& [name, a, b] = fields[i];
        auto* row = new QHBoxLayout;
        row->setSpacing(6);
        row->addWidget(new Swatch(a, b));
        row->addWidget(text(name, 11, QFont::Medium, p.ink2, pane));
        row->addStretch();
        swatches->addLayout(row, i / 3, i % 3);
    }
    // Fixed colours, under the palette after a little gap.
    const QList<std::tuple<QString, QColor, QColor>> fixed{
        {"accent", Theme::accent(dark), {}},
        {"warning", Theme::warning(dark), {}},
        {"actionGradient", Theme::actionGradient().start, Theme::actionGradient().end},
        {"applicationTint", Theme::applicationTint(), {}},
        {"age: over 5 years", Theme::ageBandColor(DiskInsights::AgeBand::overFiveYears), {}},
        {"age: 2 to 5 years", Theme::ageBandColor(DiskInsights::AgeBand::twoToFiveYears), {}},
        {"age: 1 to 2 years", Theme::ageBandColor(DiskInsights::AgeBand::oneToTwoYears), {}},
        {"age: past year", Theme::ageBandColor(DiskInsights::AgeBand::pastYear), {}},
        {"age: undated", Theme::ageBandColor(DiskInsights::AgeBand::undated), {}},
    };
    const int firstFixedRow = int(fields.size() + 2) / 3 + 1;
    swatches->setRowMinimumHeight(firstFixedRow - 1, 4);
    for (int i = 0; i < fixed.size(); ++i) {
        const auto& [name, a, b] = fixed[i];
        auto* row = new QHBoxLayout;
        row->setSpacing(6);
        row->addWidget(new Swatch(a, b));
        row->addWidget(text(name, 11, QFont::Medium, p.ink2, pane));
        row->addStretch();
        swatches->addLayout(row, firstFixedRow + i / 3, i % 3);
    }
    column->addLayout(swatches);
    column->addSpacing(6);

    // Glass panel with the pill variants
    auto* panel = new GlassPanel(nullptr, 14, true);
    auto* inside = new QGridLayout(panel);
    inside->setContentsMargins(panel->contentsMargins() + QMargins(12, 12, 12, 12));
    panel->setContentsMargins(0, 0, 0, 0);
    inside->setHorizontalSpacing(8);
    inside->setVerticalSpacing(8);
    const auto addRow = [&](int row, const QString& caption, QWidget* widget) {
        inside->addWidget(text(caption, 10, QFont::Medium, p.ink3, panel), row, 0, Qt::AlignVCenter);
        inside->addWidget(widget, row, 1, Qt::AlignLeft | Qt::AlignVCenter);
    };
    auto* full = new SegmentedPills(viewModeGroups(), QVariant::fromValue(Mode::treemap));
    addRow(0, "Full", new Track(full));
    auto* icons = new SegmentedPills(viewModeGroups(), QVariant::fromValue(Mode::byKind));
    icons->setIconOnly(true);
    addRow(1, "Icons", new Track(icons));
    auto* narrow = new SegmentedPills(viewModeGroups(), QVariant::fromValue(Mode::sunburst));
    narrow->setFixedWidth(narrow->fullWidth() - 40);
    narrow->setAlignment(Qt::AlignLeft);
    addRow(2, "Fit", new Track(narrow));
    auto* years =
        new SegmentedPills({{SegmentedPills::entry(1, "1 year"), SegmentedPills::entry(2, "2 years"),
                             SegmentedPills::entry(5, "5 years")}},
                           QVariant::fromValue(2));
    addRow(3, "Text", years);
    inside->setColumnStretch(1, 1);
    outer->addWidget(panel);
    column = indented();

    // Tiles
    const auto addTiles = [&](const QString& heading, const QList<std::pair<IconTile::Kind, QString>>& tiles,
                              qreal size) {
        column->addWidget(text(heading, 12, QFont::DemiBold, p.ink, pane));
        auto* grid = new QGridLayout;
        grid->setHorizontalSpacing(0);
        grid->setVerticalSpacing(2);
        for (int i = 0; i < tiles.size(); ++i)
            grid->addWidget(tileCell(tiles[i].first, tiles[i].second, p, size), i / 7, i % 7, Qt::AlignTop);
        column->addLayout(grid);
    };
    QList<std::pair<IconTile::Kind, QString>> categories;
    for (const auto& [id, style] : Theme::categoryStyles())
        categories.append({IconTile::systemDataCategory(id), id});
    categories.append({IconTile::systemDataCategory("no-such-id"), "unknown id"});
    addTiles("System Data categories", categories, 34);

    QList<std::pair<IconTile::Kind, QString>> kinds;
    for (FileKind kind : allFileKinds())
        kinds.append(
            {IconTile::fileKind(kind), QString::fromUtf8(title(kind).data(), qsizetype(title(kind).size()))});
    kinds.append({IconTile::orphanGroup(), "Orphan group"});
    kinds.append({IconTile::dropTarget(), "Drop target"});
    kinds.append({IconTile::application(sampleAppIcon()), "Application"});
    addTiles("File kinds and others", kinds, 34);
    column->addStretch();
    return pane;
}

QWidget* symbolSheet(bool dark) {
    auto* pane = new Backdrop(dark);
    const auto& p = Theme::palette(dark);
    auto* grid = new QGridLayout(pane);
    grid->setContentsMargins(24, 20, 24, 20);
    grid->setHorizontalSpacing(14);
    grid->setVerticalSpacing(6);
    const QStringList names = Symbols::names() << "no.such.symbol";
    const int rows = int((names.size() + 3) / 4);
    for (int i = 0; i < names.size(); ++i) {
        auto* row = new QHBoxLayout;
        row->setSpacing(8);
        auto* glyph = new QLabel;
        glyph->setPixmap(Symbols::icon(names[i], p.ink, 16).pixmap(QSize(20, 20)));
        glyph->setFixedSize(20, 20);
        row->addWidget(glyph);
        const QString mapped = Symbols::fontGlyphName(names[i]);
        row->addWidget(text(names[i], 11, QFont::Medium, p.ink, pane));
        row->addWidget(text(mapped.isEmpty() ? "fallback" : mapped, 10, QFont::Normal, p.ink3, pane));
        row->addStretch();
        grid->addLayout(row, i % rows, i / rows);
    }
    return pane;
}

} // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    const QStringList args = app.arguments();
    const bool onlyLight = args.contains("--light");
    const bool onlyDark = args.contains("--dark");
    const bool symbols = args.contains("--symbols");
    const int saveAt = int(args.indexOf("--save"));
    const QString savePath = saveAt >= 0 ? args.value(saveAt + 1) : QString();
    app.setFont(Theme::uiFont(13));

    auto* content = new QWidget;
    auto* row = new QHBoxLayout(content);
    row->setContentsMargins(0, 0, 0, 0);
    row->setSpacing(0);
    for (bool dark : {false, true}) {
        if ((dark && onlyLight) || (!dark && onlyDark)) continue;
        row->addWidget(symbols ? symbolSheet(dark) : schemePane(dark));
    }
    content->resize(content->sizeHint());

    // Larger than the screen, the window scrolls; a saved image always shows everything.
    QScrollArea window;
    window.setWindowTitle("Quillmere interface kit");
    window.setFrameShape(QFrame::NoFrame);
    window.setWidget(content);
    const QSize available = window.screen()->availableSize();
    window.resize(content->size().boundedTo(available));
    window.show();

    // Nobody can look at an offscreen window: without a picture to save, the tool is done.
    if (savePath.isEmpty() && QGuiApplication::platformName() == "offscreen")
        QTimer::singleShot(0, &app, &QApplication::quit);
    if (!savePath.isEmpty()) {
        QTimer::singleShot(200, [&] {
            const bool saved = content->grab().save(savePath);
            std::fprintf(saved ? stdout : stderr, "%s %s\n", saved ? "saved" : "could not save",
                         qPrintable(savePath));
            app.exit(saved ? 0 : 1);
        });
    }
    return app.exec();
}

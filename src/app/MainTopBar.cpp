#include "app/MainTopBar.hpp"

#include "ui/Painting.hpp"
#include "ui/Symbols.hpp"
#include "ui/Theme.hpp"

#include <QFontMetricsF>
#include <QKeyEvent>
#include <QPainter>
#include <algorithm>
#include <cmath>
#include <numeric>

namespace quillmere {

namespace {

constexpr qreal kTabHeight = 22;
constexpr qreal kTabPadding = 11;
constexpr qreal kTabFontSize = 12;
constexpr qreal kTabLabelGap = 5;
constexpr qreal kPressedOpacity = 0.55;
constexpr qreal kFocusRingWidth = 1.5;
constexpr qreal kFocusRingRadius = 7;

QString qtext(std::string_view value) {
    return QString::fromUtf8(value.data(), qsizetype(value.size()));
}

void paintFocusRing(QPainter& painter, const QRectF& rect, const QWidget* widget) {
    QColor ring = Theme::accent(widget);
    ring.setAlphaF(0.85f);
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(QPen(ring, kFocusRingWidth));
    painter.setBrush(Qt::NoBrush);
    painter.drawPath(painting::strokeBorderPath(rect, kFocusRingRadius, kFocusRingWidth));
    painter.restore();
}

bool isActivationKey(const QKeyEvent* event) {
    return event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter;
}

QFont tabFont(bool selected) {
    return Theme::uiFont(kTabFontSize, selected ? QFont::DemiBold : QFont::Medium);
}

// One section tab: symbol and title on the selected-pill background when it is the section
// shown. The title is shortened when the tab is given less than its natural width.
class SectionTab : public QAbstractButton {
public:
    SectionTab(const AppSectionTab& tab, QWidget* parent)
        : QAbstractButton(parent), section_(tab.section), symbol_(qtext(tab.symbolName)) {
        setText(qtext(tab.title));
        setToolTip(qtext(tab.title));
        setAccessibleName(qtext(tab.title));
        setFocusPolicy(Qt::TabFocus);
        setCheckable(true);
    }

    AppSection section() const { return section_; }

    qreal titleWidth() const { return QFontMetricsF(tabFont(isChecked())).horizontalAdvance(text()); }
    static qreal chrome() { return 2 * kTabPadding + Symbols::boxSide(kTabFontSize) + kTabLabelGap; }
    int naturalWidth() const { return int(std::ceil(chrome() + titleWidth())); }
    static int iconOnlyWidth() { return int(std::ceil(2 * kTabPadding + Symbols::boxSide(kTabFontSize))); }
    QSize sizeHint() const override {
        return {iconOnly_ ? iconOnlyWidth() : naturalWidth(), int(kTabHeight)};
    }
    void setIconOnly(bool iconOnly) {
        iconOnly_ = iconOnly;
        update();
    }

protected:
    // The tab's state comes from the switcher's selection, never from its own toggling.
    void nextCheckState() override {}

    void keyPressEvent(QKeyEvent* event) override {
        if (isActivationKey(event) && !event->isAutoRepeat()) {
            click();
            return;
        }
        QAbstractButton::keyPressEvent(event);
    }

    void paintEvent(QPaintEvent*) override {
        QPainter painter(this);
        painter.setRenderHint(QPainter::Antialiasing);
        painter.setRenderHint(QPainter::TextAntialiasing);
        const Theme::Palette& palette = Theme::palette(this);
        const bool selected = isChecked();
        const QRectF pill(rect());
        SegmentedPills::paintPillBackground(painter, pill, selected, palette);
        if (isDown()) painter.setOpacity(kPressedOpacity);
        const QColor ink = selected ? palette.segmentSelectedText : palette.ink2;
        const QRectF content = pill.adjusted(kTabPadding, 0, -kTabPadding, 0);
        const qreal symbol = Symbols::boxSide(kTabFontSize);
        Symbols::draw(painter, QRectF(content.left(), pill.top(), symbol, pill.height()), symbol_, ink,
                      kTabFontSize);
        if (!iconOnly_) {
            painter.setFont(tabFont(selected));
            painter.setPen(ink);
            painter.drawText(content.adjusted(symbol + kTabLabelGap, 0, 0, 0),
                             Qt::AlignVCenter | Qt::AlignLeft, text());
        }
        painter.setOpacity(1);
        if (painting::showsFocusRing(this)) paintFocusRing(painter, pill, this);
    }

private:
    AppSection section_;
    QString symbol_;
    bool iconOnly_ = false;
};

} // namespace

TopBarContent topBarContent(const TopBarInputs& in) {
    if (in.isScanning || !in.sectionsReachable) return {};
    const bool onDisk = in.selection == AppSection::macintoshHD;
    return TopBarContent{
        .tabs = true,
        .viewModeSwitcher = onDisk && in.hasTree,
        .chooseAnotherDisk = in.canChooseAnotherDisk,
        .rescan = true,
        .detailsPanel = onDisk && in.hasNodeSelected,
        .settings = true,
    };
}

TopBarRow layoutTopBarRow(qreal barWidth, const TopBarRowWidths& widths) {
    constexpr qreal spacing = MainTopBar::kSpacing;
    constexpr qreal gap = MainTopBar::kMinimumGap;
    const bool hasTabs = widths.tabs > 0;
    const bool hasButtons = widths.buttons > 0;
    // The row's children: the tabs, a gap, the switcher, a gap, the buttons; the spacing lies
    // between every two of them, gaps included.
    const int children = int(hasTabs) + 2 + int(widths.hasSwitcher) + int(hasButtons);
    const qreal fixed = widths.buttons + (children - 1) * spacing + 2 * gap;
    const qreal room = barWidth - MainTopBar::kLeadingInset - MainTopBar::kTrailingInset;

    TopBarRow row;
    const qreal switcherSmallest = widths.hasSwitcher ? widths.switcherIconOnly : 0;
    row.tabsIconOnly = hasTabs && fixed + widths.tabs + switcherSmallest > room;
    row.tabsWidth = !hasTabs ? 0 : (row.tabsIconOnly ? widths.tabsIconOnly : widths.tabs);
    row.switcherIconOnly = widths.hasSwitcher && fixed + row.tabsWidth + widths.switcherFull > room;
    row.tabsLeft = MainTopBar::kLeadingInset;
    row.buttonsLeft = barWidth - MainTopBar::kTrailingInset - widths.buttons;
    row.switcherLeft = row.tabsLeft + (hasTabs ? row.tabsWidth + spacing : 0) + gap + spacing;
    const qreal switcherRight = row.buttonsLeft - (hasButtons ? spacing : 0) - gap - spacing;
    row.switcherWidth = widths.hasSwitcher ? std::max(0.0, switcherRight - row.switcherLeft) : 0;
    return row;
}

std::vector<qreal> capWidths(const std::vector<qreal>& natural, qreal available, qreal minimum) {
    const qreal total = std::accumulate(natural.begin(), natural.end(), 0.0);
    if (total <= available || natural.empty()) return natural;
    // The largest cap c with the sum of min(width, max(c, minimum)) within `available`: walk the
    // widths from the narrowest, each one either fits whole under the cap or is capped.
    std::vector<qreal> sorted = natural;
    std::ranges::sort(sorted);
    qreal below = 0;
    qreal cap = minimum;
    for (size_t i = 0; i < sorted.size(); ++i) {
        const qreal remaining = qreal(sorted.size() - i);
        const qreal candidate = (available - below) / remaining;
        if (candidate <= sorted[i]) {
            cap = std::max(minimum, candidate);
            break;
        }
        below += sorted[i];
    }
    std::vector<qreal> capped;
    capped.reserve(natural.size());
    for (qreal width : natural)
        capped.push_back(std::min(width, cap));
    return capped;
}

QList<SegmentedPills::Group> diskViewSwitcherGroups() {
    using E = SegmentedPills;
    const auto entry = [](DiskViewMode mode) {
        switch (mode) {
        case DiskViewMode::sunburst:
            return E::entry(
                mode, "Rings", "chart.pie.fill",
                QStringLiteral("Rings \u2014 the folder and what's inside it, three levels deep"));
        case DiskViewMode::treemap:
            return E::entry(
                mode, "Treemap", "square.grid.3x2.fill",
                QStringLiteral("Treemap \u2014 the folder's contents as rectangles, sized by bytes"));
        case DiskViewMode::list:
            return E::entry(mode, "List", "list.bullet",
                            QStringLiteral("List \u2014 the folder's contents, largest first"));
        case DiskViewMode::largestItems:
            return E::entry(mode, "Largest", "arrow.down.to.line.compact",
                            QStringLiteral("Largest \u2014 the biggest files anywhere beneath this folder"));
        case DiskViewMode::byKind:
            return E::entry(
                mode, "Kinds", "square.stack.3d.up.fill",
                QStringLiteral("Kinds \u2014 the bytes beneath this folder grouped by what they are"));
        case DiskViewMode::untouched:
            return E::entry(
                mode, "Untouched", "clock.badge.questionmark",
                QStringLiteral("Untouched \u2014 the biggest files that haven't changed in years"));
        }
        return E::entry(mode, QString());
    };
    QList<SegmentedPills::Group> groups(2);
    for (DiskViewMode mode : mapModes())
        groups[0] << entry(mode);
    for (DiskViewMode mode : insightModes())
        groups[1] << entry(mode);
    return groups;
}

// ---- TopBarIconButton ----

TopBarIconButton::TopBarIconButton(const QString& symbol, const QString& help, QWidget* parent)
    : QAbstractButton(parent), symbol_(symbol) {
    setToolTip(help);
    setAccessibleName(help);
    setFocusPolicy(Qt::TabFocus);
    setFixedSize(kSide, kSide);
}

void TopBarIconButton::keyPressEvent(QKeyEvent* event) {
    if (isActivationKey(event) && !event->isAutoRepeat()) {
        click();
        return;
    }
    QAbstractButton::keyPressEvent(event);
}

void TopBarIconButton::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const Theme::Palette& palette = Theme::palette(this);
    if (isDown()) painter.setOpacity(kPressedOpacity);
    Symbols::draw(painter, QRectF(rect()), symbol_, isEnabled() ? palette.ink : palette.ink3, kSymbolSize);
    painter.setOpacity(1);
    if (painting::showsFocusRing(this)) paintFocusRing(painter, QRectF(rect()), this);
}

// ---- TabSwitcher ----

TabSwitcher::TabSwitcher(QWidget* parent) : QWidget(parent) {
    setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Fixed);
    for (const AppSectionTab& row : appSectionTabs) {
        auto* tab = new SectionTab(row, this);
        tab->setChecked(row.section == selection_);
        const AppSection section = row.section;
        connect(tab, &QAbstractButton::clicked, this, [this, section] {
            setSelection(section);
            emit sectionSelected(section);
        });
        tabs_ << tab;
    }
    layoutTabs();
}

void TabSwitcher::setSelection(AppSection section) {
    selection_ = section;
    for (QAbstractButton* tab : std::as_const(tabs_))
        tab->setChecked(static_cast<SectionTab*>(tab)->section() == section);
    updateGeometry();
    layoutTabs();
}

QAbstractButton* TabSwitcher::tab(AppSection section) const {
    for (QAbstractButton* tab : tabs_)
        if (static_cast<SectionTab*>(tab)->section() == section) return tab;
    return nullptr;
}

int TabSwitcher::naturalWidth() const {
    int width = int(kSpacing) * (int(tabs_.size()) - 1);
    for (QAbstractButton* tab : tabs_)
        width += static_cast<SectionTab*>(tab)->naturalWidth();
    return width;
}

int TabSwitcher::iconOnlyWidth() const {
    return int(kSpacing) * (int(tabs_.size()) - 1) + int(tabs_.size()) * SectionTab::iconOnlyWidth();
}

void TabSwitcher::setIconOnly(bool iconOnly) {
    if (iconOnly_ == iconOnly) return;
    iconOnly_ = iconOnly;
    for (QAbstractButton* tab : std::as_const(tabs_))
        static_cast<SectionTab*>(tab)->setIconOnly(iconOnly);
    updateGeometry();
    layoutTabs();
}

QSize TabSwitcher::sizeHint() const {
    return {iconOnly_ ? iconOnlyWidth() : naturalWidth(), int(kTabHeight)};
}

QSize TabSwitcher::minimumSizeHint() const {
    return sizeHint();
}

void TabSwitcher::resizeEvent(QResizeEvent*) {
    layoutTabs();
}

void TabSwitcher::layoutTabs() {
    qreal x = 0;
    const int top = int(std::round((height() - kTabHeight) / 2));
    for (QAbstractButton* tab : std::as_const(tabs_)) {
        const int width = tab->sizeHint().width();
        tab->setGeometry(int(std::round(x)), top, width, int(kTabHeight));
        x += width + kSpacing;
    }
}

// ---- MainTopBar ----

MainTopBar::MainTopBar(QWidget* parent)
    : QWidget(parent), tabs_(new TabSwitcher(this)),
      switcher_(new SegmentedPills(diskViewSwitcherGroups(), QVariant::fromValue(viewMode_), this)),
      chooseAnotherDisk_(new TopBarIconButton("externaldrive", "Choose another disk", this)),
      rescan_(new TopBarIconButton("arrow.clockwise", "Rescan", this)),
      details_(new TopBarIconButton("sidebar.trailing", "Show or hide the details", this)),
      settings_(new TopBarIconButton("gearshape", "Settings", this)) {
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    connect(tabs_, &TabSwitcher::sectionSelected, this, [this](AppSection section) {
        setSelection(section);
        emit sectionSelected(section);
    });
    connect(switcher_, &SegmentedPills::optionSelected, this, [this](const QVariant& option) {
        viewMode_ = option.value<DiskViewMode>();
        emit viewModeSelected(viewMode_);
    });
    connect(chooseAnotherDisk_, &QAbstractButton::clicked, this, &MainTopBar::chooseAnotherDiskRequested);
    connect(rescan_, &QAbstractButton::clicked, this, &MainTopBar::rescanRequested);
    connect(details_, &QAbstractButton::clicked, this, &MainTopBar::toggleInspectorRequested);
    connect(settings_, &QAbstractButton::clicked, this, &MainTopBar::openSettingsRequested);
    refresh();
}

void MainTopBar::setSelection(AppSection section) {
    if (inputs_.selection == section) return;
    inputs_.selection = section;
    tabs_->setSelection(section);
    refresh();
}

void MainTopBar::setSectionsReachable(bool reachable) {
    if (inputs_.sectionsReachable == reachable) return;
    inputs_.sectionsReachable = reachable;
    refresh();
}

void MainTopBar::setIsScanning(bool scanning) {
    if (inputs_.isScanning == scanning) return;
    inputs_.isScanning = scanning;
    refresh();
}

void MainTopBar::setHasNodeSelected(bool selected) {
    if (inputs_.hasNodeSelected == selected) return;
    inputs_.hasNodeSelected = selected;
    refresh();
}

void MainTopBar::setCanChooseAnotherDisk(bool can) {
    if (inputs_.canChooseAnotherDisk == can) return;
    inputs_.canChooseAnotherDisk = can;
    refresh();
}

void MainTopBar::setHasTree(bool hasTree) {
    if (inputs_.hasTree == hasTree) return;
    inputs_.hasTree = hasTree;
    refresh();
}

void MainTopBar::setViewMode(DiskViewMode mode) {
    viewMode_ = mode;
    switcher_->setSelection(QVariant::fromValue(mode));
    // The titled switcher's width depends on which pill is selected (its title is semibold).
    layoutRow();
}

QList<TopBarIconButton*> MainTopBar::shownButtons() const {
    QList<TopBarIconButton*> shown;
    for (TopBarIconButton* button : {chooseAnotherDisk_, rescan_, details_, settings_})
        if (!button->isHidden()) shown << button;
    return shown;
}

void MainTopBar::refresh() {
    const TopBarContent shown = content();
    tabs_->setVisible(shown.tabs);
    switcher_->setVisible(shown.viewModeSwitcher);
    chooseAnotherDisk_->setVisible(shown.chooseAnotherDisk);
    rescan_->setVisible(shown.rescan);
    details_->setVisible(shown.detailsPanel);
    settings_->setVisible(shown.settings);
    layoutRow();
}

void MainTopBar::resizeEvent(QResizeEvent*) {
    layoutRow();
}

void MainTopBar::layoutRow() {
    const QList<TopBarIconButton*> buttons = shownButtons();
    TopBarRowWidths widths;
    widths.tabs = tabs_->isHidden() ? 0 : tabs_->naturalWidth();
    widths.tabsIconOnly = tabs_->iconOnlyWidth();
    widths.hasSwitcher = !switcher_->isHidden();
    widths.switcherFull = switcher_->fullWidth();
    widths.switcherIconOnly = switcher_->iconOnlyWidth();
    widths.buttons = buttons.isEmpty() ? 0
                                       : qreal(buttons.size()) * TopBarIconButton::kSide +
                                             qreal(buttons.size() - 1) * kSpacing;
    const TopBarRow row = layoutTopBarRow(width(), widths);

    const int rowTop = height() - kBottomInset - kRowHeight;
    const auto centredTop = [&](qreal itemHeight) {
        return rowTop + int(std::round((kRowHeight - itemHeight) / 2));
    };
    tabs_->setIconOnly(row.tabsIconOnly);
    tabs_->setGeometry(int(std::round(row.tabsLeft)), centredTop(SegmentedPills::kPillHeight),
                       int(std::ceil(row.tabsWidth)), int(SegmentedPills::kPillHeight));
    switcher_->setIconOnly(row.switcherIconOnly);
    switcher_->setGeometry(int(std::round(row.switcherLeft)), centredTop(SegmentedPills::kPillHeight),
                           int(std::floor(row.switcherWidth)), int(SegmentedPills::kPillHeight));
    qreal x = row.buttonsLeft;
    for (TopBarIconButton* button : buttons) {
        button->move(int(std::round(x)), centredTop(TopBarIconButton::kSide));
        x += TopBarIconButton::kSide + kSpacing;
    }
}

} // namespace quillmere

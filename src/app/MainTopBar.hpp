#pragma once

#include "app/state/Modes.hpp"
#include "ui/SegmentedPills.hpp"

#include <QAbstractButton>
#include <QList>
#include <QWidget>
#include <vector>

namespace quillmere {

// What the top bar shows for a given state; every shown button is enabled.
struct TopBarInputs {
    AppSection selection = AppSection::macintoshHD;
    bool sectionsReachable = false;
    bool isScanning = false;
    bool hasNodeSelected = false;
    bool canChooseAnotherDisk = false;
    bool hasTree = false;
};

struct TopBarContent {
    bool tabs = false;
    bool viewModeSwitcher = false;
    bool chooseAnotherDisk = false;
    bool rescan = false;
    bool detailsPanel = false;
    bool settings = false;

    bool operator==(const TopBarContent&) const = default;
};

TopBarContent topBarContent(const TopBarInputs& inputs);

// Where the parts of the bar's row go, from the widths they would like. Measured from the bar's
// leading edge; the row is laid out as tabs, flexible gap, switcher, flexible gap, buttons.
struct TopBarRowWidths {
    qreal tabs = 0; // 0 when the tabs are absent
    qreal tabsIconOnly = 0;
    bool hasSwitcher = false;
    qreal switcherFull = 0;
    qreal switcherIconOnly = 0;
    qreal buttons = 0; // 0 when no button is shown
};

struct TopBarRow {
    qreal tabsLeft = 0;
    qreal tabsWidth = 0;
    bool tabsIconOnly = false;
    // The room between the two gaps; the switcher centres itself in it.
    qreal switcherLeft = 0;
    qreal switcherWidth = 0;
    bool switcherIconOnly = false;
    qreal buttonsLeft = 0;
};

// Nothing is ever cut short: the titled switcher is shown only when it fits with both gaps at
// their minimum, else the symbol-only one; when even that leaves no room for the titled tabs,
// the tabs show their symbols alone too.
TopBarRow layoutTopBarRow(qreal barWidth, const TopBarRowWidths& widths);

// The widths that fit `available` by shortening the longest entries first, none below
// `minimum` (or its own width when that is smaller). Unchanged when they fit already.
std::vector<qreal> capWidths(const std::vector<qreal>& natural, qreal available, qreal minimum);

// The view-mode switcher's two groups of pills, the map views then the insight views.
QList<SegmentedPills::Group> diskViewSwitcherGroups();

// A symbol-only button of the bars: 26 × 26, the symbol in `ink`, or in `ink3` while disabled
// (a disabled button takes no clicks). Space, Return and Enter press it.
class TopBarIconButton : public QAbstractButton {
    Q_OBJECT
public:
    TopBarIconButton(const QString& symbol, const QString& help, QWidget* parent = nullptr);

    const QString& symbol() const { return symbol_; }
    QSize sizeHint() const override { return {kSide, kSide}; }
    QSize minimumSizeHint() const override { return sizeHint(); }

    static constexpr int kSide = 26;
    static constexpr qreal kSymbolSize = 13;

protected:
    void paintEvent(QPaintEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    QString symbol_;
};

// The section tabs: one button per section, the selected one on the pill background.
class TabSwitcher : public QWidget {
    Q_OBJECT
public:
    explicit TabSwitcher(QWidget* parent = nullptr);

    AppSection selection() const { return selection_; }
    // Shows `section` as selected without announcing it.
    void setSelection(AppSection section);
    QAbstractButton* tab(AppSection section) const;
    // The width with every title whole, and with symbols alone.
    int naturalWidth() const;
    int iconOnlyWidth() const;
    // Symbols alone (the titles stay as tooltips), for a row too narrow for the titles.
    void setIconOnly(bool iconOnly);
    bool isIconOnly() const { return iconOnly_; }

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

    static constexpr qreal kSpacing = 3;

signals:
    void sectionSelected(quillmere::AppSection section);

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    void layoutTabs();
    QList<QAbstractButton*> tabs_;
    AppSection selection_ = AppSection::macintoshHD;
    bool iconOnly_ = false;
};

// The bar along the window's top: section tabs, the disk view switcher and the window's
// buttons. It holds no state beyond what it is told; clicks come out as signals.
class MainTopBar : public QWidget {
    Q_OBJECT
public:
    explicit MainTopBar(QWidget* parent = nullptr);

    AppSection selection() const { return inputs_.selection; }
    void setSelection(AppSection section);
    void setSectionsReachable(bool reachable);
    void setIsScanning(bool scanning);
    void setHasNodeSelected(bool selected);
    void setCanChooseAnotherDisk(bool can);
    DiskViewMode viewMode() const { return viewMode_; }
    void setViewMode(DiskViewMode mode);
    void setHasTree(bool hasTree);

    const TopBarInputs& inputs() const { return inputs_; }
    TopBarContent content() const { return topBarContent(inputs_); }

    TabSwitcher* tabs() const { return tabs_; }
    SegmentedPills* viewModeSwitcher() const { return switcher_; }
    TopBarIconButton* chooseAnotherDiskButton() const { return chooseAnotherDisk_; }
    TopBarIconButton* rescanButton() const { return rescan_; }
    TopBarIconButton* detailsButton() const { return details_; }
    TopBarIconButton* settingsButton() const { return settings_; }

    QSize sizeHint() const override { return {980, kHeight}; }
    QSize minimumSizeHint() const override { return {0, kHeight}; }

    static constexpr int kHeight = 52;
    static constexpr int kRowHeight = 32;
    static constexpr int kBottomInset = 10;
    // The desktop draws the title bar and its buttons, so the row starts as near the edge as
    // it ends.
    static constexpr qreal kLeadingInset = 20;
    static constexpr qreal kTrailingInset = 20;
    static constexpr qreal kSpacing = 14;
    static constexpr qreal kMinimumGap = 12;

signals:
    void sectionSelected(quillmere::AppSection section);
    void viewModeSelected(quillmere::DiskViewMode mode);
    void chooseAnotherDiskRequested();
    void rescanRequested();
    void toggleInspectorRequested();
    void openSettingsRequested();

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    void refresh();
    void layoutRow();
    QList<TopBarIconButton*> shownButtons() const;

    TopBarInputs inputs_;
    DiskViewMode viewMode_ = DiskViewMode::sunburst;
    TabSwitcher* tabs_;
    SegmentedPills* switcher_;
    TopBarIconButton* chooseAnotherDisk_;
    TopBarIconButton* rescan_;
    TopBarIconButton* details_;
    TopBarIconButton* settings_;
};

} // namespace quillmere

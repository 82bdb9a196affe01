#pragma once

#include "applications/model/PanelRules.hpp"
#include "applications/view/ReclaimPresenter.hpp"

#include <QWidget>
#include <optional>

class QLabel;
class QPushButton;
class QStackedLayout;

namespace quillmere {

class AppIconCache;
class ApplicationsState;
class TickList;

// What every detail panel works with.
struct PanelServices {
    ApplicationsState& state;
    ReclaimPresenter& presenter;
    RevealItems reveal;
    AppIconCache& icons;
};

// The panel of an application that may be removed: everything attributed to it, tickable, with
// the uninstall and cache-clearing flows. Ticks live as long as the panel.
class RemovableAppPanel : public QWidget {
    Q_OBJECT
public:
    RemovableAppPanel(const InstalledApp& app, std::optional<LeftoverAttribution> attribution,
                      PanelServices services, QWidget* parent = nullptr);
    // A newer attribution of the same application (it arrived, or items left it); ticks stay.
    void setAttribution(std::optional<LeftoverAttribution> attribution);

    const InstalledApp& app() const { return app_; }
    const std::optional<LeftoverAttribution>& attribution() const { return attribution_; }
    const TickOverrides& tickOverrides() const { return overrides_; }
    void toggle(const std::string& itemPath);
    bool isLoading() const;
    ReclaimTarget::AppUninstall uninstallTarget() const;
    ReclaimTarget::AppCaches cacheTarget() const;

    // Shown texts, for checks.
    QString summaryCountText() const;
    QString placeCountText() const;
    QString removingText() const;
    QString selectedBytesText() const;
    QPushButton* uninstallButton() const { return uninstall_; }
    // Absent when there is no cache item to clear.
    QPushButton* cacheButton() const { return cache_; }
    TickList* tickList() const { return list_; }

    void presentUninstall();
    void presentCacheClearing();

private:
    void refresh();
    void finishReclaim(const Reclaimer::Outcome& outcome);

    InstalledApp app_;
    std::optional<LeftoverAttribution> attribution_;
    PanelServices services_;
    TickOverrides overrides_;
    QStackedLayout* pages_;
    QLabel* total_;
    QLabel* count_;
    QLabel* places_;
    TickList* list_;
    QLabel* removing_;
    QLabel* selected_;
    QPushButton* uninstall_;
    QPushButton* cache_;
};

// The read-only panel of a built-in application: its size, why it stays, what it keeps in
// caches and website data, and the file manager to look at them. It attributes the application
// itself; the result lives only as long as the panel.
class ProtectedAppPanel : public QWidget {
    Q_OBJECT
public:
    ProtectedAppPanel(const InstalledApp& app, PanelServices services, QWidget* parent = nullptr);
    void setAttribution(std::optional<LeftoverAttribution> attribution);
    const std::optional<LeftoverAttribution>& attribution() const { return attribution_; }
    QString factValue(int row) const;
    QPushButton* showCachesButton() const { return showCaches_; }
    QPushButton* revealButton() const { return reveal_; }

private:
    void refresh();

    InstalledApp app_;
    PanelServices services_;
    std::optional<LeftoverAttribution> attribution_;
    std::vector<QLabel*> factValues_;
    QPushButton* showCaches_;
    QPushButton* reveal_;
};

// The panel of a group of orphaned leftovers: nothing ticked at first, "Delete selected…" hands
// the ticked entries to the confirmation sheet.
class OrphanPanel : public QWidget {
    Q_OBJECT
public:
    OrphanPanel(const OrphanLeftoverGroup& group, PanelServices services, QWidget* parent = nullptr);
    const OrphanLeftoverGroup& group() const { return group_; }
    void toggle(const std::string& entryPath);
    ReclaimTarget::OrphanGroup target() const;
    QString notInstalledText() const;
    QString selectedText() const;
    QString readinessText() const;
    QString footerText() const;
    QString tickedBytesText() const;
    QPushButton* deleteButton() const { return delete_; }
    TickList* tickList() const { return list_; }
    void presentDeletion();

private:
    void refresh();

    OrphanLeftoverGroup group_;
    PanelServices services_;
    TickOverrides overrides_;
    QLabel* notInstalled_;
    QLabel* selected_;
    QLabel* readiness_;
    TickList* list_;
    QLabel* footer_;
    QLabel* tickedBytes_;
    QPushButton* delete_;
};

// The tick list's sections for an attribution and for an orphan group.
std::vector<std::pair<LeftoverItem::Group, std::vector<int>>>
groupedIndices(const std::vector<LeftoverItem::Group>& groups);

} // namespace quillmere

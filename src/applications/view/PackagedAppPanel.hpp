#pragma once

#include "applications/view/DetailPanels.hpp"

#include <QWidget>
#include <optional>

class QLabel;
class QPushButton;
class QStackedLayout;

namespace quillmere {

class Callout;

// The panel of an application that a package system (Flatpak, Snap) installed: its installed
// size and a callout on how it is removed, as a built-in application's panel has, and below them
// its caches and data in the home folder, tickable (nothing at first) and cleared through the
// confirmation sheet. The application itself is never offered for removal here.
class PackagedAppPanel : public QWidget {
    Q_OBJECT
public:
    PackagedAppPanel(const InstalledApp& app, std::optional<LeftoverAttribution> attribution,
                     PanelServices services, QWidget* parent = nullptr);
    // A newer attribution of the same application; ticks stay.
    void setAttribution(std::optional<LeftoverAttribution> attribution);

    const InstalledApp& app() const { return app_; }
    const std::optional<LeftoverAttribution>& attribution() const { return attribution_; }
    void toggle(const std::string& itemPath);
    bool isLoading() const { return !attribution_.has_value(); }
    ReclaimTarget::AppItems clearingTarget() const;
    ReclaimTarget::AppCaches cacheTarget() const;

    // Shown texts and controls, for checks.
    QString calloutText() const;
    QString footerText() const;
    QString tickedBytesText() const;
    bool showsNothingToClear() const;
    QPushButton* deleteButton() const { return delete_; }
    QPushButton* cacheButton() const { return cache_; }
    TickList* tickList() const { return list_; }

    void presentClearing();
    void presentCacheClearing();

private:
    void refresh();
    void finishReclaim(const Reclaimer::Outcome& outcome);

    InstalledApp app_;
    std::optional<LeftoverAttribution> attribution_;
    PanelServices services_;
    TickOverrides overrides_;
    Callout* callout_;
    QStackedLayout* pages_;
    TickList* list_;
    QLabel* footer_;
    QLabel* tickedBytes_;
    QPushButton* delete_;
    QPushButton* cache_;
};

} // namespace quillmere

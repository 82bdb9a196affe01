#pragma once

#include "app/access/FullDiskAccessLink.hpp"
#include "app/access/SavedScanSummary.hpp"

#include <QWidget>
#include <functional>
#include <optional>

class QCheckBox;
class QComboBox;
class QLabel;
class QPushButton;

namespace quillmere {

class AppSettings;

// The Settings window's form: every control takes effect the moment it changes.
class SettingsView : public QWidget {
    Q_OBJECT
public:
    struct Host {
        std::function<bool()> hasFullDiskAccess;
        SavedScanLocator savedScan;
        UrlOpener openUrl;
    };

    static constexpr int kWidth = 460;

    SettingsView(AppSettings& settings, Host host, QWidget* parent = nullptr);

    // Probes Full Disk Access again and reloads the saved scan's summary.
    void refresh();
    void forgetSavedScan();

    const std::optional<SavedScanSummary>& savedScan() const { return savedScan_; }
    bool hasForgottenSavedScan() const { return hasForgottenSavedScan_; }

protected:
    void changeEvent(QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private:
    void applySettings();
    void applyState();
    // The form's ideal height at its width, taken again whenever a row shows or hides.
    void fitHeight();

    AppSettings& settings_;
    Host host_;
    bool isFullDiskAccessGranted_ = false;
    std::optional<SavedScanSummary> savedScan_;
    bool hasForgottenSavedScan_ = false;

    QComboBox* appearance_;
    QCheckBox* capacityGauge_;
    QCheckBox* scansOnLaunch_;
    QLabel* statusSymbol_;
    QLabel* status_;
    QPushButton* openSystemSettings_;
    QLabel* savedScanText_;
    QPushButton* forget_;
    std::vector<QLabel*> secondary_;
    std::vector<QLabel*> primary_;
};

} // namespace quillmere

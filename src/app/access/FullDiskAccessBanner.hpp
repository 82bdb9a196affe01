#pragma once

#include "access/AccessAudit.hpp"
#include "app/access/FullDiskAccessLink.hpp"
#include "ui/Theme.hpp"

#include <QDialog>
#include <QPointer>
class QLabel;
class QPushButton;

namespace quillmere {

class PrivilegedScanController;

// The banner over the disk views: how much the scan wasn't allowed to see, the Grant button
// while Full Disk Access is missing, and the details sheet with the can't-see screen.
class FullDiskAccessBanner : public GlassPanel {
    Q_OBJECT
public:
    FullDiskAccessBanner(UrlOpener opener, QWidget* parent = nullptr);
    void setAudit(const AccessAudit& audit);
    void setPrivilegedScan(PrivilegedScanController* controller);
    const AccessAudit& audit() const { return audit_; }

    bool isShowingDetails() const { return details_ != nullptr; }
    void showDetails();
    QDialog* detailsSheet() const { return details_; }

    // Whether the host shows the banner: after a scan, while read access is missing or when the
    // scan met paths it was denied; it makes no claim otherwise.
    static bool isPresented(const std::optional<AccessAudit>& audit, bool hostHasFullDiskAccess);

protected:
    void changeEvent(QEvent* event) override;

private:
    void applyAudit();

    UrlOpener opener_;
    AccessAudit audit_;
    QPointer<PrivilegedScanController> privilegedScan_;
    QLabel* icon_;
    QLabel* message_;
    QPushButton* grant_;
    QPushButton* detailsButton_;
    QPointer<QDialog> details_;
};

} // namespace quillmere

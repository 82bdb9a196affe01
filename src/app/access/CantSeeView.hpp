#pragma once

#include "access/AccessAudit.hpp"
#include "app/access/FullDiskAccessLink.hpp"

#include <QWidget>
#include <optional>

namespace quillmere {

class PrivilegedScanController;

// What the last scan was not allowed to read: the hidden amount, the helper's section and the
// denied locations with their estimates. It keeps no state and has no close button.
class CantSeeView : public QWidget {
    Q_OBJECT
public:
    CantSeeView(std::optional<AccessAudit> audit, PrivilegedScanController* privilegedScan, UrlOpener opener,
                QWidget* parent = nullptr);

protected:
    void changeEvent(QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private:
    void applyColors();
};

} // namespace quillmere

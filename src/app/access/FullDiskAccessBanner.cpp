#include "app/access/FullDiskAccessBanner.hpp"

#include "app/access/AccessTexts.hpp"
#include "app/access/CantSeeView.hpp"
#include "app/access/PrivilegedScanController.hpp"
#include "app/access/SymbolLabel.hpp"
#include "ui/Symbols.hpp"
#include "ui/Theme.hpp"

#include <QDialog>
#include <QEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

namespace quillmere {

FullDiskAccessBanner::FullDiskAccessBanner(UrlOpener opener, QWidget* parent)
    : GlassPanel(parent, 11, false), opener_(std::move(opener)),
      icon_(makeSymbolLabel("exclamationmark.triangle.fill", QColor(), 13, 16, this)),
      message_(makeTextLabel(QString(), 12, QFont::Normal, this)),
      grant_(new QPushButton(accessTexts::kGrantFullDiskAccess, this)),
      detailsButton_(new QPushButton(this)) {
    setObjectName("FullDiskAccessFooterBar");
    setMaximumWidth(480 + static_cast<int>(shadowBleed().left() + shadowBleed().right()));
    auto* row = new QHBoxLayout;
    row->setContentsMargins(14, 10, 14, 10);
    row->setSpacing(10);
    auto* outer = new QVBoxLayout(this);
    outer->setContentsMargins(0, 0, 0, 0);
    outer->addLayout(row);
    message_->setTextFormat(Qt::RichText);
    message_->setWordWrap(true);
    grant_->setObjectName("grantFullDiskAccess");
    grant_->setFont(Theme::uiFont(11.5));
    detailsButton_->setObjectName("chevron.right.circle.fill");
    detailsButton_->setFlat(true);
    detailsButton_->setToolTip(accessTexts::kSeeLocationsTooltip);
    detailsButton_->setCursor(Qt::PointingHandCursor);
    detailsButton_->setStyleSheet("QPushButton { border: none; padding: 0; }");
    row->addWidget(icon_, 0, Qt::AlignVCenter);
    row->addWidget(message_, 1, Qt::AlignVCenter);
    row->addSpacing(8);
    row->addWidget(grant_, 0, Qt::AlignVCenter);
    row->addWidget(detailsButton_, 0, Qt::AlignVCenter);
    connect(grant_, &QPushButton::clicked, this, [this] {
        if (opener_) opener_(fullDiskAccessSettingsUrl());
    });
    connect(detailsButton_, &QPushButton::clicked, this, &FullDiskAccessBanner::showDetails);
    applyAudit();
}

bool FullDiskAccessBanner::isPresented(const std::optional<AccessAudit>& audit, bool hostHasFullDiskAccess) {
    return audit && (!hostHasFullDiskAccess || audit->hasDeniedPaths);
}

void FullDiskAccessBanner::setAudit(const AccessAudit& audit) {
    if (audit == audit_) return;
    audit_ = audit;
    applyAudit();
}

void FullDiskAccessBanner::setPrivilegedScan(PrivilegedScanController* controller) {
    privilegedScan_ = controller;
}

void FullDiskAccessBanner::showDetails() {
    if (details_) return;
    QWidget* owner = window();
    auto* sheet = new QDialog(owner, Qt::Sheet | Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint);
    sheet->setObjectName("cantSeeSheet");
    sheet->setWindowModality(Qt::WindowModal);
    sheet->setAttribute(Qt::WA_DeleteOnClose);
    sheet->setMinimumSize(560, 420);
    sheet->setPalette(owner->palette());
    auto* layout = new QVBoxLayout(sheet);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(new CantSeeView(audit_, privilegedScan_.data(), opener_, sheet));
    details_ = sheet;
    // Closing the sheet (Esc or the window's close) brings the banner back to its first state.
    connect(sheet, &QObject::destroyed, this, [this] { details_ = nullptr; });
    sheet->resize(560, 420);
    sheet->show();
}

void FullDiskAccessBanner::changeEvent(QEvent* event) {
    GlassPanel::changeEvent(event);
    if (event->type() == QEvent::PaletteChange) applyAudit();
}

void FullDiskAccessBanner::applyAudit() {
    const Theme::Palette& palette = Theme::palette(this);
    setSymbol(icon_, "exclamationmark.triangle.fill", Theme::accent(this));
    message_->setText(accessTexts::hiddenAmountRichText(audit_.deniedBytes, false));
    setLabelColor(message_, palette.ink);
    grant_->setVisible(!audit_.isFullDiskAccessGranted);
    detailsButton_->setIcon(
        Symbols::icon("chevron.right.circle.fill", palette.ink2, 16, devicePixelRatioF()));
    detailsButton_->setIconSize(QSize(16, 16));
    update();
}

} // namespace quillmere

#include "app/access/SettingsView.hpp"

#include "app/access/AccessTexts.hpp"
#include "app/access/SymbolLabel.hpp"
#include "app/state/AppSettings.hpp"
#include "ui/Theme.hpp"
#include "views/Formatters.hpp"

#include <QCheckBox>
#include <QComboBox>
#include <QEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QPushButton>
#include <QVBoxLayout>

namespace quillmere {
namespace {

struct AppearanceRow {
    const char* stored;
    const char* title;
};
constexpr AppearanceRow kAppearanceRows[] = {
    {"system", "Match system"}, {"light", "Light"}, {"dark", "Dark"}};

// One group of the form: a rounded box of rows, with an optional header above and footer below.
QVBoxLayout* addSection(QVBoxLayout* form, QWidget* parent, std::vector<QLabel*>& secondary,
                        const QString& header = {}, const QString& footer = {}) {
    if (!header.isEmpty()) {
        QLabel* label = makeTextLabel(header, 13, QFont::DemiBold, parent);
        label->setContentsMargins(10, 0, 0, 0);
        form->addWidget(label);
    }
    auto* box = new QWidget(parent);
    box->setObjectName("settingsGroup");
    auto* rows = new QVBoxLayout(box);
    rows->setContentsMargins(12, 10, 12, 10);
    rows->setSpacing(10);
    form->addWidget(box);
    if (!footer.isEmpty()) {
        QLabel* label = makeTextLabel(footer, 11, QFont::Normal, parent);
        label->setWordWrap(true);
        label->setContentsMargins(10, 0, 10, 6);
        secondary.push_back(label);
        form->addWidget(label);
    }
    return rows;
}

QHBoxLayout* labelledRow(QVBoxLayout* rows, QWidget* parent, const QString& title,
                         std::vector<QLabel*>& primary) {
    auto* row = new QHBoxLayout;
    QLabel* label = makeTextLabel(title, 13, QFont::Normal, parent);
    primary.push_back(label);
    row->addWidget(label);
    row->addStretch(1);
    rows->addLayout(row);
    return row;
}

} // namespace

SettingsView::SettingsView(AppSettings& settings, Host host, QWidget* parent)
    : QWidget(parent), settings_(settings), host_(std::move(host)), appearance_(new QComboBox(this)),
      capacityGauge_(new QCheckBox(accessTexts::kCapacityGauge, this)),
      scansOnLaunch_(new QCheckBox(accessTexts::kScansOnLaunch, this)),
      statusSymbol_(makeSymbolLabel(QString(), QColor(), 13, 16, this)),
      status_(makeTextLabel(QString(), 13, QFont::Normal, this)),
      openSystemSettings_(new QPushButton(accessTexts::kOpenSystemSettings, this)),
      savedScanText_(makeTextLabel(QString(), 13, QFont::Normal, this)),
      forget_(new QPushButton(accessTexts::kForgetSavedScan, this)) {
    setObjectName("SettingsView");
    // Exactly 460 wide; the height follows (fitHeight). A layout constraint would size the
    // window to its widest row instead.
    setFixedWidth(kWidth);
    auto* form = new QVBoxLayout(this);
    form->setContentsMargins(20, 20, 20, 20);
    form->setSpacing(6);

    QVBoxLayout* first = addSection(form, this, secondary_);
    for (const AppearanceRow& row : kAppearanceRows)
        appearance_->addItem(row.title, QString(row.stored));
    labelledRow(first, this, accessTexts::kAppearance, primary_)->addWidget(appearance_);
    first->addWidget(capacityGauge_);

    form->addSpacing(8);
    addSection(form, this, secondary_, {}, accessTexts::kScansOnLaunchFooter)->addWidget(scansOnLaunch_);

    form->addSpacing(8);
    QVBoxLayout* access = addSection(form, this, secondary_, accessTexts::kFullDiskAccessHeader);
    QHBoxLayout* statusRow = labelledRow(access, this, accessTexts::kStatus, primary_);
    statusRow->addWidget(statusSymbol_);
    statusRow->addWidget(status_);
    access->addWidget(openSystemSettings_, 0, Qt::AlignLeft);

    form->addSpacing(8);
    QVBoxLayout* saved = addSection(form, this, secondary_, {}, accessTexts::kSavedScanFooter);
    labelledRow(saved, this, accessTexts::kSavedScan, primary_)->addWidget(savedScanText_);
    secondary_.push_back(savedScanText_);
    forget_->setObjectName("forgetSavedScan");
    saved->addWidget(forget_, 0, Qt::AlignLeft);

    connect(appearance_, &QComboBox::activated, this, [this](int index) {
        if (index >= 0) settings_.setAppearance(appearance_->itemData(index).toString().toStdString());
    });
    connect(capacityGauge_, &QCheckBox::toggled, this,
            [this](bool on) { settings_.setShowsCapacityGauge(on); });
    connect(scansOnLaunch_, &QCheckBox::toggled, this, [this](bool on) { settings_.setScansOnLaunch(on); });
    connect(openSystemSettings_, &QPushButton::clicked, this, [this] {
        if (host_.openUrl && fullDiskAccessSettingsUrl().isValid())
            host_.openUrl(fullDiskAccessSettingsUrl());
    });
    connect(forget_, &QPushButton::clicked, this, &SettingsView::forgetSavedScan);
    for (auto changed : {&AppSettings::appearanceChanged, &AppSettings::diskViewModeTextChanged,
                         &AppSettings::showsCapacityGaugeChanged, &AppSettings::scansOnLaunchChanged})
        connect(&settings_, changed, this, &SettingsView::applySettings);

    applySettings();
    refresh();
}

void SettingsView::refresh() {
    isFullDiskAccessGranted_ = host_.hasFullDiskAccess && host_.hasFullDiskAccess();
    savedScan_ = loadSavedScanSummary(host_.savedScan);
    applyState();
}

void SettingsView::forgetSavedScan() {
    // A file that is still there would load at the next launch, so the row keeps showing it.
    if (!host_.savedScan.filePath || !host_.savedScan.removeFile) return;
    if (!host_.savedScan.removeFile(host_.savedScan.filePath())) return;
    savedScan_.reset();
    hasForgottenSavedScan_ = true;
    applyState();
}

void SettingsView::applySettings() {
    const QString appearance = QString::fromStdString(settings_.appearance());
    // An unknown stored text selects no row and stays stored.
    appearance_->setCurrentIndex(appearance_->findData(appearance));
    const QSignalBlocker gaugeBlocker(capacityGauge_);
    capacityGauge_->setChecked(settings_.showsCapacityGauge());
    capacityGauge_->setEnabled(settings_.diskViewModeText() == "sunburst");
    const QSignalBlocker launchBlocker(scansOnLaunch_);
    scansOnLaunch_->setChecked(settings_.scansOnLaunch());
}

void SettingsView::applyState() {
    const Theme::Palette& palette = Theme::palette(this);
    const QColor green(52, 168, 83);
    if (isFullDiskAccessGranted_) {
        setSymbol(statusSymbol_, QStringLiteral("checkmark.circle.fill"), green);
        status_->setText(accessTexts::kGranted);
        setLabelColor(status_, green);
    } else {
        setSymbol(statusSymbol_, QStringLiteral("lock.fill"), palette.ink2);
        status_->setText(accessTexts::kNotGranted);
        setLabelColor(status_, palette.ink2);
    }
    openSystemSettings_->setVisible(!isFullDiskAccessGranted_);
    if (savedScan_)
        savedScanText_->setText(
            QString::fromStdString(savedScan_->volumeName) + QStringLiteral(" \u00B7 ") +
            QString::fromStdString(views::formatMediumDateShortTime(savedScan_->scannedAt)));
    else
        savedScanText_->setText(hasForgottenSavedScan_ ? accessTexts::kForgotten : accessTexts::kNone);
    forget_->setEnabled(savedScan_.has_value());
    for (QLabel* label : secondary_)
        setLabelColor(label, palette.ink2);
    for (QLabel* label : primary_)
        setLabelColor(label, palette.ink);
    fitHeight();
    update();
}

void SettingsView::fitHeight() {
    QLayout* form = layout();
    if (!form) return;
    // The sections' own layouts first: a row shown or hidden there changes their heights.
    for (QWidget* section : findChildren<QWidget*>("settingsGroup"))
        if (section->layout()) section->layout()->activate();
    form->invalidate();
    setFixedHeight(form->hasHeightForWidth() ? form->totalHeightForWidth(kWidth)
                                             : form->totalSizeHint().height());
}

void SettingsView::changeEvent(QEvent* event) {
    QWidget::changeEvent(event);
    if (event->type() == QEvent::PaletteChange) applyState();
}

void SettingsView::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const Theme::Palette& palette = Theme::palette(this);
    painter.fillRect(rect(), palette.bg1);
    for (QWidget* group : findChildren<QWidget*>("settingsGroup")) {
        painter.setPen(QPen(palette.line, 1));
        painter.setBrush(palette.fill);
        painter.drawRoundedRect(QRectF(group->geometry()).adjusted(0.5, 0.5, -0.5, -0.5), 8, 8);
    }
}

} // namespace quillmere

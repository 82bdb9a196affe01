#include "app/access/PermissionGateView.hpp"

#include "app/access/AccessTexts.hpp"
#include "app/access/SymbolLabel.hpp"
#include "ui/ColorOpacity.hpp"
#include "ui/Symbols.hpp"
#include "ui/Theme.hpp"

#include <QEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QPushButton>
#include <QVBoxLayout>

namespace quillmere {
namespace {

// The round accent badge with the drive symbol, its shadow inside its own bounds.
class GateBadge : public QWidget {
public:
    explicit GateBadge(QWidget* parent) : QWidget(parent) { setFixedSize(84 + 48, 84 + 48); }

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter painter(this);
        painter.setRenderHint(QPainter::Antialiasing);
        const QColor accent = Theme::accent(this);
        const QRectF circle(24, 16, 84, 84);
        for (int i = 10; i > 0; --i) {
            painter.setPen(Qt::NoPen);
            painter.setBrush(withOpacity(accent, 0.35 * 0.1 * (11 - i) / 10.0));
            painter.drawEllipse(circle.translated(0, 8).adjusted(-i * 2, -i * 2, i * 2, i * 2));
        }
        QLinearGradient fill(circle.topLeft(), circle.bottomRight());
        fill.setColorAt(0, accent);
        fill.setColorAt(1, withOpacity(accent, 0.6));
        painter.setBrush(fill);
        painter.drawEllipse(circle);
        Symbols::draw(painter, circle, QStringLiteral("externaldrive.fill"), Qt::white, 32);
    }
};

} // namespace

PermissionGateView::PermissionGateView(bool isFullDiskAccessGranted, UrlOpener opener, QWidget* parent)
    : QWidget(parent), granted_(isFullDiskAccessGranted), opener_(std::move(opener)),
      badge_(new GateBadge(this)), title_(makeTextLabel(accessTexts::kGateTitle, 22, QFont::DemiBold, this)),
      explainer_(makeTextLabel(accessTexts::kGateExplainer, 13, QFont::Normal, this)),
      continue_(new QPushButton(accessTexts::kContinue, this)),
      grant_(new QPushButton(accessTexts::kGrantFullDiskAccess, this)) {
    setObjectName("PermissionGateView");
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(40, 40, 40, 40);
    column->setSpacing(28);
    column->addStretch(1);
    column->addWidget(badge_, 0, Qt::AlignHCenter);

    auto* titles = new QVBoxLayout;
    titles->setSpacing(10);
    title_->setAlignment(Qt::AlignCenter);
    explainer_->setAlignment(Qt::AlignCenter);
    explainer_->setWordWrap(true);
    explainer_->setFixedWidth(380);
    titles->addWidget(title_, 0, Qt::AlignHCenter);
    titles->addWidget(explainer_, 0, Qt::AlignHCenter);
    column->addLayout(titles);

    auto* promises = new QWidget(this);
    promises->setFixedWidth(380);
    auto* promiseRows = new QVBoxLayout(promises);
    promiseRows->setContentsMargins(0, 0, 0, 0);
    promiseRows->setSpacing(10);
    for (int i = 0; i < 3; ++i) {
        auto* row = new QHBoxLayout;
        row->setSpacing(10);
        QLabel* symbol = makeSymbolLabel(QString(), QColor(), 12.5, 18, promises);
        QLabel* text = makeTextLabel(QString(), 12.5, QFont::Normal, promises);
        text->setWordWrap(true);
        row->addWidget(symbol, 0, Qt::AlignVCenter);
        row->addWidget(text, 1, Qt::AlignVCenter);
        promiseRows->addLayout(row);
        rows_.emplace_back(symbol, text);
    }
    column->addWidget(promises, 0, Qt::AlignHCenter);

    auto* buttons = new QVBoxLayout;
    buttons->setSpacing(10);
    continue_->setObjectName("continue");
    continue_->setFont(Theme::uiFont(14, QFont::DemiBold));
    continue_->setMaximumWidth(260);
    continue_->setMinimumWidth(160);
    continue_->setFixedHeight(34);
    continue_->setLayoutDirection(Qt::RightToLeft);
    continue_->setDefault(true);
    grant_->setObjectName("grantFullDiskAccess");
    grant_->setFlat(true);
    grant_->setFont(Theme::uiFont(12));
    buttons->addWidget(continue_, 0, Qt::AlignHCenter);
    buttons->addWidget(grant_, 0, Qt::AlignHCenter);
    column->addLayout(buttons);
    column->addStretch(2);

    connect(continue_, &QPushButton::clicked, this, &PermissionGateView::continueRequested);
    connect(grant_, &QPushButton::clicked, this, [this] {
        if (opener_) opener_(fullDiskAccessSettingsUrl());
    });
    applyState();
}

void PermissionGateView::setFullDiskAccessGranted(bool granted) {
    if (granted == granted_) return;
    granted_ = granted;
    applyState();
}

void PermissionGateView::changeEvent(QEvent* event) {
    QWidget::changeEvent(event);
    if (event->type() == QEvent::PaletteChange) applyState();
}

void PermissionGateView::applyState() {
    const Theme::Palette& palette = Theme::palette(this);
    const QColor accent = Theme::accent(this);
    const std::pair<QString, QString> rows[] = {
        {QStringLiteral("checkmark.shield.fill"), accessTexts::kGateNeverDeletes},
        {QStringLiteral("icloud.slash.fill"), accessTexts::kGateCloud},
        granted_ ? std::pair{QStringLiteral("checkmark.circle.fill"), accessTexts::kGateGranted}
                 : std::pair{QStringLiteral("lock.fill"), accessTexts::kGateGrantLater},
    };
    for (size_t i = 0; i < rows_.size(); ++i) {
        setSymbol(rows_[i].first, rows[i].first, accent);
        rows_[i].second->setText(rows[i].second);
        setLabelColor(rows_[i].second, palette.ink2);
    }
    setLabelColor(title_, palette.ink);
    setLabelColor(explainer_, palette.ink2);
    // Wrapped texts keep their whole height; the stack never squeezes them.
    explainer_->setMinimumHeight(explainer_->heightForWidth(explainer_->width()));
    for (auto& [symbol, text] : rows_)
        text->setMinimumHeight(text->heightForWidth(380 - 18 - 10));
    continue_->setIcon(Symbols::icon(QStringLiteral("arrow.right"), Qt::white, 14, devicePixelRatioF()));
    continue_->setStyleSheet(QStringLiteral("QPushButton { background: %1; color: white; border: none;"
                                            " border-radius: 16px; padding: 0 22px; }")
                                 .arg(accent.name()));
    grant_->setStyleSheet(
        QStringLiteral("QPushButton { color: %1; border: none; }").arg(palette.ink2.name()));
    grant_->setVisible(!granted_);
    badge_->update();
}

} // namespace quillmere

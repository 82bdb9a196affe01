#include "app/access/PrivilegedScanSection.hpp"

#include "app/access/AccessTexts.hpp"
#include "app/access/PrivilegedScanController.hpp"
#include "app/access/SymbolLabel.hpp"
#include "ui/Theme.hpp"

#include <QEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QPushButton>
#include <QVBoxLayout>

namespace quillmere {

PrivilegedScanSection::PrivilegedScanSection(PrivilegedScanController& controller, QWidget* parent)
    : QWidget(parent), controller_(controller), symbol_(makeSymbolLabel(QString(), QColor(), 13, 16, this)),
      title_(makeTextLabel(accessTexts::kHelperTitle, 12.5, QFont::DemiBold, this)),
      sentence_(makeTextLabel(QString(), 11.5, QFont::Normal, this)), buttons_(new QHBoxLayout) {
    setObjectName("PrivilegedScanSection");
    auto* column = new QVBoxLayout(this);
    // The divider is painted in the top margin.
    column->setContentsMargins(0, 4 + 9, 0, 0);
    auto* row = new QHBoxLayout;
    row->setSpacing(8);
    row->addWidget(symbol_, 0, Qt::AlignTop);
    auto* texts = new QVBoxLayout;
    texts->setSpacing(4);
    texts->addWidget(title_);
    sentence_->setWordWrap(true);
    texts->addWidget(sentence_);
    buttons_->setSpacing(8);
    buttons_->setContentsMargins(0, 2, 0, 0);
    texts->addLayout(buttons_);
    row->addLayout(texts, 1);
    column->addLayout(row);
    connect(&controller_, &PrivilegedScanController::statusChanged, this, &PrivilegedScanSection::rebuild);
    connect(&controller_, &PrivilegedScanController::isBusyChanged, this, &PrivilegedScanSection::rebuild);
    rebuild();
}

QPushButton* PrivilegedScanSection::addButton(const QString& title, bool bordered, bool disabledWhileBusy) {
    auto* button = new QPushButton(title, this);
    button->setFont(Theme::uiFont(11.5));
    button->setFlat(!bordered);
    button->setEnabled(!(disabledWhileBusy && controller_.isBusy()));
    buttons_->addWidget(button);
    return button;
}

void PrivilegedScanSection::rebuild() {
    while (QLayoutItem* item = buttons_->takeAt(0)) {
        // A button may be the one being clicked: it goes from view now and from memory later.
        if (QWidget* widget = item->widget()) {
            widget->hide();
            widget->deleteLater();
        }
        delete item;
    }
    const Theme::Palette& palette = Theme::palette(this);
    const PrivilegedScanStatus& status = controller_.status();
    QString symbol;
    QString sentence;
    switch (status.kind()) {
    case PrivilegedScanStatus::Kind::on:
        symbol = "person.2.badge.key.fill";
        sentence = accessTexts::kHelperOn;
        connect(addButton(accessTexts::kTurnOff, true, true), &QPushButton::clicked, &controller_,
                &PrivilegedScanController::turnOff);
        break;
    case PrivilegedScanStatus::Kind::awaitingApproval:
        symbol = "clock.badge.exclamationmark";
        sentence = accessTexts::kHelperAwaitingApproval;
        connect(addButton(accessTexts::kOpenApproval, true, false), &QPushButton::clicked, &controller_,
                &PrivilegedScanController::openApproval);
        connect(addButton(accessTexts::kTurnOff, false, true), &QPushButton::clicked, &controller_,
                &PrivilegedScanController::turnOff);
        break;
    case PrivilegedScanStatus::Kind::failed:
        symbol = "exclamationmark.triangle";
        sentence = QString::fromStdString(status.message());
        connect(addButton(accessTexts::kTryAgain, true, true), &QPushButton::clicked, &controller_,
                &PrivilegedScanController::turnOn);
        break;
    case PrivilegedScanStatus::Kind::off:
        symbol = "person.2.slash";
        sentence = accessTexts::kHelperOff;
        connect(addButton(accessTexts::kTurnOn, true, true), &QPushButton::clicked, &controller_,
                &PrivilegedScanController::turnOn);
        break;
    }
    buttons_->addStretch(1);
    const bool on = status.kind() == PrivilegedScanStatus::Kind::on;
    setSymbol(symbol_, symbol, on ? Theme::accent(this) : palette.ink2);
    sentence_->setText(sentence);
    setLabelColor(title_, palette.ink);
    setLabelColor(sentence_, palette.ink2);
    update();
}

void PrivilegedScanSection::changeEvent(QEvent* event) {
    QWidget::changeEvent(event);
    if (event->type() == QEvent::PaletteChange) rebuild();
}

void PrivilegedScanSection::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setPen(QPen(Theme::palette(this).line, 1));
    painter.drawLine(QPointF(0, 4.5), QPointF(width(), 4.5));
}

} // namespace quillmere

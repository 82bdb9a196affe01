#include "app/access/AboutView.hpp"

#include "app/access/AccessTexts.hpp"
#include "app/access/SymbolLabel.hpp"
#include "ui/Theme.hpp"

#include <QCoreApplication>
#include <QEvent>
#include <QGuiApplication>
#include <QIcon>
#include <QLabel>
#include <QPainter>
#include <QVBoxLayout>

namespace quillmere {

AboutView::AboutView(QWidget* parent)
    : QWidget(parent), name_(makeTextLabel(accessTexts::kAboutName, 20, QFont::Bold, this)),
      version_(makeTextLabel(accessTexts::aboutVersionLine(QCoreApplication::applicationVersion()), 12,
                             QFont::Normal, this)),
      description_(makeTextLabel(accessTexts::kAboutDescription, 12.5, QFont::Normal, this)) {
    setObjectName("AboutView");
    // Exactly 360 wide, whatever the content's own width; the height follows the content.
    setFixedWidth(kWidth);
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(28, 28, 28, 28);
    column->setSpacing(16);
    const QIcon icon = QGuiApplication::windowIcon();
    if (!icon.isNull()) {
        auto* image = new QLabel(this);
        image->setObjectName("applicationIcon");
        image->setFixedSize(96, 96);
        image->setPixmap(icon.pixmap(QSize(96, 96), devicePixelRatioF()));
        image->setScaledContents(true);
        column->addWidget(image, 0, Qt::AlignHCenter);
    }
    auto* titles = new QVBoxLayout;
    titles->setSpacing(4);
    titles->addWidget(name_, 0, Qt::AlignHCenter);
    titles->addWidget(version_, 0, Qt::AlignHCenter);
    column->addLayout(titles);
    description_->setWordWrap(true);
    description_->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
    description_->setFixedWidth(300);
    description_->setMinimumHeight(description_->heightForWidth(300));
    column->addWidget(description_, 0, Qt::AlignHCenter);
    setFixedHeight(column->hasHeightForWidth() ? column->totalHeightForWidth(kWidth)
                                               : column->totalSizeHint().height());
    applyPalette();
}

void AboutView::changeEvent(QEvent* event) {
    QWidget::changeEvent(event);
    if (event->type() == QEvent::PaletteChange) applyPalette();
}

void AboutView::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.fillRect(rect(), Theme::palette(this).bg1);
}

void AboutView::applyPalette() {
    const Theme::Palette& palette = Theme::palette(this);
    setLabelColor(name_, palette.ink);
    setLabelColor(version_, palette.ink2);
    setLabelColor(description_, palette.ink2);
    update();
}

} // namespace quillmere

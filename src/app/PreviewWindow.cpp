#include "app/PreviewWindow.hpp"

#include "base/Format.hpp"
#include "ui/BackgroundWork.hpp"
#include "ui/ScrollBars.hpp"
#include "ui/StyleColors.hpp"
#include "ui/Symbols.hpp"
#include "ui/Theme.hpp"
#include "views/Formatters.hpp"

#include <QApplication>
#include <QFontDatabase>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPointer>
#include <QStackedLayout>
#include <QVBoxLayout>

namespace quillmere {

PreviewWindow::PreviewWindow(QWidget* parent)
    : QWidget(parent, Qt::Window), pages_(new QStackedLayout(this)), image_(new QLabel(this)),
      text_(new QPlainTextEdit(this)), details_(new QWidget(this)), detailsSymbol_(new QLabel(details_)),
      detailsTitle_(new QLabel(details_)), detailsText_(new QLabel(details_)) {
    setWindowModality(Qt::NonModal);
    resize(640, 480);
    image_->setAlignment(Qt::AlignCenter);
    image_->setMinimumSize(1, 1);
    text_->setReadOnly(true);
    QFont mono = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    mono.setPixelSize(12);
    text_->setFont(mono);
    auto* column = new QVBoxLayout(details_);
    column->addStretch(1);
    for (QLabel* label : {detailsSymbol_, detailsTitle_, detailsText_}) {
        label->setAlignment(Qt::AlignCenter);
        label->setWordWrap(true);
        column->addWidget(label);
    }
    column->addStretch(1);
    detailsTitle_->setFont(Theme::uiFont(15, QFont::DemiBold));
    detailsText_->setFont(Theme::uiFont(12));
    pages_->addWidget(image_);
    pages_->addWidget(text_);
    pages_->addWidget(details_);
}

void PreviewWindow::setDataSource(const views::QuickLookCoordinator* source) {
    source_ = source;
}

void PreviewWindow::makeKeyAndOrderFront() {
    // A window of its own: it takes the main window's appearance explicitly.
    if (parentWidget()) setPalette(parentWidget()->palette());
    applySlimScrollBar(text_);
    QWidget::show();
    raise();
    activateWindow();
}

void PreviewWindow::reloadData() {
    if (!source_ || source_->numberOfPreviewItems() < 1) return;
    const views::PreviewItem item = *source_->previewItem(0);
    const uint64_t generation = ++generation_;
    setWindowTitle(QString::fromStdString(item.title));
    content_.reset();
    QPointer<PreviewWindow> window(this);
    startBackgroundWork([window, item, generation] {
        PreviewContent content;
        try {
            content = loadPreview(item.path);
        } catch (...) {
            content.kind = PreviewContent::Kind::missing;
            content.sentence = "Quillmere couldn't read this item.";
        }
        // Delivered through the application object, which outlives every window; the window
        // itself is checked on the main thread.
        QMetaObject::invokeMethod(
            qApp,
            [window, content = std::move(content), title = QString::fromStdString(item.title), generation] {
                if (window && window->generation_ == generation) window->present(content, title);
            },
            Qt::QueuedConnection);
    });
}

void PreviewWindow::present(const PreviewContent& content, const QString& title) {
    content_ = content;
    const StyleColors& colors = StyleColors::of(this);
    switch (content.kind) {
    case PreviewContent::Kind::image:
        image_->setPixmap(QPixmap::fromImage(content.image)
                              .scaled(size().boundedTo(content.image.size()), Qt::KeepAspectRatio,
                                      Qt::SmoothTransformation));
        pages_->setCurrentWidget(image_);
        break;
    case PreviewContent::Kind::text:
        text_->setPlainText(content.text);
        pages_->setCurrentWidget(text_);
        break;
    case PreviewContent::Kind::details: {
        detailsSymbol_->setPixmap(
            Symbols::icon(content.isDirectory ? "folder.fill" : "doc.fill", Theme::accent(this), 56)
                .pixmap(64, 64));
        detailsTitle_->setText(title);
        QStringList lines;
        if (!content.kindDescription.isEmpty()) lines << content.kindDescription;
        if (content.size) lines << QString::fromStdString(formatByteCount(*content.size));
        if (content.modified)
            lines << QString::fromStdString("Modified " + views::formatMediumDate(*content.modified) + ", " +
                                            views::formatShortTime(*content.modified));
        detailsText_->setText(lines.join('\n'));
        detailsText_->setStyleSheet(QString("color:%1").arg(colors.secondary.name(QColor::HexArgb)));
        pages_->setCurrentWidget(details_);
        break;
    }
    case PreviewContent::Kind::missing:
        detailsSymbol_->setPixmap(Symbols::icon("questionmark.folder", colors.tertiary, 56).pixmap(64, 64));
        detailsTitle_->setText(title);
        detailsText_->setText(content.sentence);
        pages_->setCurrentWidget(details_);
        break;
    }
    emit contentShown();
}

} // namespace quillmere

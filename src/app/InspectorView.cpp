#include "app/InspectorView.hpp"

#include "app/InspectorWidgets.hpp"
#include "app/PreviewLoader.hpp"
#include "app/state/SelectionState.hpp"
#include "base/Format.hpp"
#include "platform/FileOwner.hpp"
#include "ui/ScrollBars.hpp"
#include "ui/StyleColors.hpp"
#include "ui/Symbols.hpp"
#include "ui/WrappingLabel.hpp"
#include "views/Formatters.hpp"

#include <QEvent>
#include <QFontDatabase>
#include <QHBoxLayout>
#include <QLabel>
#include <QMessageBox>
#include <QScrollArea>
#include <QVBoxLayout>

namespace quillmere {
namespace {

constexpr int kPadding = 18;

QLabel* makeLabel(const QString& text, const QFont& font, const QColor& color, QWidget* parent) {
    auto* label = new QLabel(text, parent);
    label->setFont(font);
    label->setStyleSheet(QString("color:%1").arg(color.name(QColor::HexArgb)));
    return label;
}

QWidget* sectionHeader(const std::string& title, const StyleColors& colors, QWidget* parent) {
    QFont font = Theme::uiFont(10, QFont::Bold);
    font.setLetterSpacing(QFont::AbsoluteSpacing, 0.3);
    auto* label = makeLabel(QString::fromStdString(title).toUpper(), font, colors.tertiary, parent);
    label->setContentsMargins(0, 16, 0, 8);
    return label;
}

} // namespace

InspectorView::Services
InspectorView::systemServices(std::function<void(const std::string&)> reveal,
                              views::QuickLookCoordinator::PanelProvider previewPanel) {
    Services services;
    services.lookups.typeDescription = [](const std::string& path) -> std::optional<std::string> {
        const QString comment = itemTypeDescription(path);
        if (comment.isEmpty()) return std::nullopt;
        return comment.toStdString();
    };
    services.lookups.ownerName = [](const std::string& path) { return platform::ownerAccountName(path); };
    services.lookups.formatDate = [](Date date) {
        return views::formatMediumDate(date) + ", " + views::formatShortTime(date);
    };
    services.reveal = std::move(reveal);
    services.previewPanel = std::move(previewPanel);
    return services;
}

InspectorView::InspectorView(SelectionState& selection, Services services, Actions actions, QWidget* parent)
    : GlassPanel(parent, 16, true), selection_(selection), services_(std::move(services)),
      actions_(std::move(actions)), quickLook_(services_.previewPanel) {
    auto* outer = new QVBoxLayout(this);
    outer->setSpacing(0);
    connect(&selection_, &SelectionState::selectedNodeChanged, this, &InspectorView::scheduleRebuild);
    rebuild();
}

InspectorView::~InspectorView() = default;

void InspectorView::setTotalUsedBytes(int64_t bytes) {
    if (bytes == totalUsedBytes_) return;
    totalUsedBytes_ = bytes;
    scheduleRebuild();
}

void InspectorView::changeEvent(QEvent* event) {
    GlassPanel::changeEvent(event);
    if (event->type() == QEvent::PaletteChange) scheduleRebuild();
}

void InspectorView::scheduleRebuild() {
    if (rebuilding_ || rebuildPending_) return;
    rebuildPending_ = true;
    QMetaObject::invokeMethod(
        this,
        [this] {
            if (rebuildPending_) rebuild();
        },
        Qt::QueuedConnection);
}

void InspectorView::catchUp() const {
    if (rebuildPending_) const_cast<InspectorView*>(this)->rebuild();
}

QWidget* InspectorView::divider() {
    auto* line = new QWidget(content_);
    line->setFixedHeight(1);
    line->setAutoFillBackground(true);
    QPalette palette = line->palette();
    palette.setColor(QPalette::Window, StyleColors::of(this).separator);
    line->setPalette(palette);
    return line;
}

void InspectorView::rebuild() {
    if (rebuilding_) return;
    rebuildPending_ = false;
    rebuilding_ = true;
    if (content_) {
        // A row of the old column may be mid-click (opening a folder clears the selection that
        // rebuilds it), so it goes once the event is over.
        content_->hide();
        layout()->removeWidget(content_);
        content_->deleteLater();
    }
    quickLookButton_ = revealButton_ = deleteButton_ = nullptr;
    content_ = new QWidget(this);
    auto* column = new QVBoxLayout(content_);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(0);
    const auto& node = selection_.selectedNode();
    const bool isProtected = node && services_.isProtectedPath && services_.isProtectedPath(node->path());
    if (node)
        buildSelected(column, *node, isProtected);
    else
        buildEmpty(column);
    column->addWidget(divider());
    buildActions(column, node, isProtected);
    static_cast<QVBoxLayout*>(layout())->addWidget(content_);
    content_->show();
    rebuilding_ = false;
}

void InspectorView::buildEmpty(QVBoxLayout* column) {
    const StyleColors& colors = StyleColors::of(this);
    auto* box = new QWidget(content_);
    auto* stack = new QVBoxLayout(box);
    stack->setSpacing(8);
    stack->setContentsMargins(16, 16, 16, 16);
    stack->addStretch(1);
    auto* symbol = new QLabel(box);
    symbol->setPixmap(Symbols::icon("sidebar.trailing", colors.tertiary, 26).pixmap(30, 30));
    symbol->setAlignment(Qt::AlignCenter);
    stack->addWidget(symbol);
    auto* title = makeLabel("Nothing selected", Theme::uiFont(13, QFont::DemiBold), colors.secondary, box);
    title->setAlignment(Qt::AlignCenter);
    stack->addWidget(title);
    auto* hint =
        makeLabel("Click a wedge or a row to see what's inside it.", Theme::uiFont(11), colors.tertiary, box);
    hint->setAlignment(Qt::AlignCenter);
    hint->setWordWrap(true);
    hint->setMaximumWidth(200);
    stack->addWidget(hint, 0, Qt::AlignHCenter);
    stack->addStretch(1);
    column->addWidget(box, 1);
}

void InspectorView::buildSelected(QVBoxLayout* column, const FileNode& node, bool isProtected) {
    const bool dark = Theme::isDark(this);
    const StyleColors& colors = StyleColors::of(dark);
    const std::string path = node.path();

    // Identity: tile, path, size and share.
    auto* identity = new QWidget(content_);
    auto* row = new QHBoxLayout(identity);
    row->setContentsMargins(kPadding, 14, kPadding, 14);
    row->setSpacing(11);
    row->addWidget(new InspectorIconTile(node.isDirectory(), identity), 0, Qt::AlignTop);
    auto* texts = new QVBoxLayout;
    texts->setSpacing(4);
    QFont mono = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    mono.setPixelSize(12);
    texts->addWidget(new WrappingLabel(QString::fromStdString(path), mono, Ink::primary,
                                       WrappingLabel::Wrap::anywhere, identity));
    auto* sizeLine = new QHBoxLayout;
    sizeLine->setSpacing(6);
    sizeLine->addWidget(makeLabel(QString::fromStdString(formatByteCount(node.allocatedSize())),
                                  Theme::uiFont(12.5, QFont::DemiBold), colors.primary, identity));
    auto* subtitle = makeLabel(QString::fromStdString(views::inspector::subtitle(node, totalUsedBytes_)),
                               Theme::uiFont(11), colors.secondary, identity);
    subtitle->setWordWrap(true);
    sizeLine->addWidget(subtitle, 1);
    texts->addLayout(sizeLine);
    row->addLayout(texts, 1);
    column->addWidget(identity);
    column->addWidget(divider());

    // The scrolling body.
    auto* scroll = new QScrollArea(content_);
    scroll->setFrameShape(QFrame::NoFrame);
    scroll->setWidgetResizable(true);
    scroll->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    scroll->viewport()->setAutoFillBackground(false);
    applySlimScrollBar(scroll);
    auto* body = new QWidget(scroll);
    body->setAutoFillBackground(false);
    auto* stack = new QVBoxLayout(body);
    stack->setContentsMargins(kPadding, 0, kPadding, kPadding);
    stack->setSpacing(0);
    for (const auto& callout : views::inspector::callouts(node, isProtected)) {
        stack->addSpacing(12);
        stack->addWidget(new CalloutWidget(callout, dark, body));
    }
    stack->addWidget(sectionHeader(views::inspector::factsTitle(isProtected), colors, body));
    for (const auto& fact : views::inspector::facts(node, isProtected, services_.lookups))
        stack->addWidget(new FactRow(fact, body));
    if (const auto inside = views::inspector::contents(node)) {
        stack->addWidget(sectionHeader("Inside", colors, body));
        auto* list = new QVBoxLayout;
        list->setSpacing(4);
        for (const auto& item : inside->rows) {
            auto* rowWidget = new ContentsRowWidget(item, body);
            if (item.isOpenable)
                connect(rowWidget, &QAbstractButton::clicked, this, [this, target = item.node] {
                    if (actions_.onOpenNode) actions_.onOpenNode(target);
                });
            list->addWidget(rowWidget);
        }
        if (inside->footer) {
            auto* footer =
                makeLabel(QString::fromStdString(*inside->footer), Theme::uiFont(11), colors.tertiary, body);
            footer->setContentsMargins(6, 6, 6, 0);
            list->addWidget(footer);
        }
        stack->addLayout(list);
    }
    stack->addStretch(1);
    scroll->setWidget(body);
    column->addWidget(scroll, 1);
}

void InspectorView::buildActions(QVBoxLayout* column, const std::optional<FileNode>& node, bool isProtected) {
    actionBar_ = new QWidget(content_);
    auto* stack = new QVBoxLayout(actionBar_);
    stack->setContentsMargins(kPadding, kPadding, kPadding, kPadding);
    stack->setSpacing(7);
    auto* pair = new QHBoxLayout;
    pair->setSpacing(7);
    quickLookButton_ = new InspectorButton("Preview", "eye", {}, actionBar_);
    revealButton_ = new InspectorButton("Reveal", "folder", {}, actionBar_);
    revealButton_->setToolTip("Show in File Manager");
    connect(quickLookButton_, &QAbstractButton::clicked, this, &InspectorView::quickLookSelection);
    connect(revealButton_, &QAbstractButton::clicked, this, &InspectorView::revealSelection);
    pair->addWidget(quickLookButton_);
    pair->addWidget(revealButton_);
    stack->addLayout(pair);
    if (const auto title = views::inspector::deleteTitle(node, isProtected)) {
        deleteButton_ = new InspectorButton(QString::fromStdString(*title), "trash",
                                            StyleColors::of(this).red, actionBar_);
        connect(deleteButton_, &QAbstractButton::clicked, this, &InspectorView::deleteSelection);
        stack->addWidget(deleteButton_);
    }
    actionBar_->setEnabled(node.has_value());
    column->addWidget(actionBar_);
}

void InspectorView::quickLookSelection() {
    if (views::quickLookSelection(selection_.selectedNode(), quickLook_) !=
        views::QuickLookResult::cloudOnlyNotice)
        return;
    if (cloudNotice_) return;
    cloudNotice_ = new QMessageBox(QMessageBox::NoIcon, "This item lives only in iCloud",
                                   "Quillmere can't preview it without downloading it first, so it won't.",
                                   QMessageBox::NoButton, window());
    cloudNotice_->addButton("OK", QMessageBox::RejectRole);
    cloudNotice_->setWindowModality(Qt::WindowModal);
    cloudNotice_->setAttribute(Qt::WA_DeleteOnClose);
    cloudNotice_->open();
}

void InspectorView::revealSelection() {
    const auto& node = selection_.selectedNode();
    if (node && services_.reveal) services_.reveal(node->path());
}

void InspectorView::deleteSelection() {
    if (actions_.onDeleteRequested) actions_.onDeleteRequested();
}

QStringList InspectorView::shownTexts() const {
    catchUp();
    QStringList texts;
    if (!content_) return texts;
    for (QWidget* widget : content_->findChildren<QWidget*>()) {
        if (auto* label = qobject_cast<QLabel*>(widget); label && !label->text().isEmpty()) {
            // A callout's own text is listed through the callout.
            if (label->textFormat() != Qt::RichText) texts << label->text();
        } else if (auto* path = qobject_cast<WrappingLabel*>(widget)) {
            texts << path->text();
        } else if (auto* callout = qobject_cast<CalloutWidget*>(widget)) {
            texts << callout->text();
        } else if (auto* row = qobject_cast<ContentsRowWidget*>(widget)) {
            texts << QString::fromUtf8(row->row().node.name().data(),
                                       qsizetype(row->row().node.name().size()));
        } else if (auto* button = qobject_cast<InspectorButton*>(widget)) {
            texts << button->text();
        }
    }
    return texts;
}

QList<ContentsRowWidget*> InspectorView::contentsRows() const {
    catchUp();
    return content_ ? content_->findChildren<ContentsRowWidget*>() : QList<ContentsRowWidget*>{};
}

} // namespace quillmere

#pragma once

#include "app/PreviewLoader.hpp"
#include "views/QuickLook.hpp"

#include <QWidget>
#include <cstdint>

class QLabel;
class QPlainTextEdit;
class QStackedLayout;

namespace quillmere {

// Quillmere's own preview panel: one non-modal window, titled with the item's title, showing
// an image, the start of a text file, or what the item is. The item is read off the main
// thread; a newer item wins over a slower older one.
class PreviewWindow : public QWidget, public views::PreviewPanel {
    Q_OBJECT
public:
    explicit PreviewWindow(QWidget* parent = nullptr);

    void setDataSource(const views::QuickLookCoordinator* source) override;
    void makeKeyAndOrderFront() override;
    void reloadData() override;

    // What is shown now (none while the item is being read).
    const std::optional<PreviewContent>& content() const { return content_; }

signals:
    void contentShown();

private:
    void present(const PreviewContent& content, const QString& title);

    const views::QuickLookCoordinator* source_ = nullptr;
    uint64_t generation_ = 0;
    std::optional<PreviewContent> content_;
    QStackedLayout* pages_;
    QLabel* image_;
    QPlainTextEdit* text_;
    QWidget* details_;
    QLabel* detailsSymbol_;
    QLabel* detailsTitle_;
    QLabel* detailsText_;
};

} // namespace quillmere

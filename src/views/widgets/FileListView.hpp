#pragma once

#include "scan/FileNode.hpp"
#include "views/FileListModel.hpp"

#include <QAbstractScrollArea>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace quillmere {

// The disk view "List": the folder's children largest first, one row each with icon and
// badge, name, what it holds, a bar of its size against the largest, and its size. Only the
// rows in view are formatted, tested and drawn, so a folder of 100,000 items scrolls freely.
class FileListView : public QAbstractScrollArea {
    Q_OBJECT
public:
    struct Actions {
        std::function<void(const std::vector<FileNode>&)> onSelectFolder;
        std::function<void(const FileNode&)> onSelectNode;
        // Whether a row's item is one the system never removes (it gets the lock badge).
        views::FileListRows::ProtectedTest isProtected;
    };

    static constexpr double kSideInset = 20;
    static constexpr double kVerticalInset = 16;
    static constexpr double kRowSpacing = 3;
    static constexpr double kBarWidth = 90;
    static constexpr double kBarHeight = 6;

    FileListView(FileNode root, Actions actions, std::optional<std::string> selectedPath = std::nullopt,
                 QWidget* parent = nullptr);

    void setRoot(FileNode root);
    void setSelectedPath(std::optional<std::string> path);
    // Asks again which rows are protected: a flag may have been learned since they were made.
    void refreshProtection();
    const FileNode& root() const { return root_; }

    size_t rowCount() const { return rows_.size(); }
    // The badge row `index` shows on its icon.
    views::FileListBadge rowBadge(size_t index) { return rows_.row(index).badge; }
    double rowHeight() const { return rowHeight_; }
    // In viewport coordinates (scrolling included).
    QRectF rowRect(size_t index) const;
    QRectF barTrackRect(size_t index) const;
    std::optional<size_t> rowAt(QPointF viewportPoint) const;
    std::optional<size_t> hoveredRow() const { return hoveredRow_; }

    void clickRow(size_t index);
    void hoverAt(std::optional<QPointF> viewportPoint);

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void changeEvent(QEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void leaveEvent(QEvent* event) override;
    bool viewportEvent(QEvent* event) override;
    void scrollContentsBy(int dx, int dy) override;

private:
    void updateScrollRange();
    void paintRow(QPainter& painter, size_t index);

    FileNode root_;
    Actions actions_;
    std::optional<std::string> selectedPath_;
    views::FileListRows rows_;
    std::optional<size_t> hoveredRow_;
    std::optional<size_t> pressedRow_;
    double rowHeight_ = 46;
    double nameHeight_ = 16;
};

} // namespace quillmere

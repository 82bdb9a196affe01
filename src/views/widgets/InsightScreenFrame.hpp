#pragma once

#include "scan/DiskInsights.hpp"
#include "views/Tooltip.hpp"

#include <QLabel>
#include <QScrollArea>
#include <QWidget>
#include <functional>
#include <optional>
#include <string>
#include <vector>

class QVBoxLayout;

namespace quillmere {

// What the host gives every insight screen on each evaluation.
struct InsightInputs {
    FileNode root; // the folder on screen
    std::string folderName;
    bool isFromSavedScan = false;
    std::optional<std::string> selectedPath;
};

// What the insight screens do to the rest of the window, and what they ask of it.
struct InsightActions {
    // Drill down: the folders between the folder on screen and the one to open.
    std::function<void(const std::vector<FileNode>&)> onSelectFolder;
    std::function<void(const FileNode&)> onSelectNode;
    // Whether a path lies in a protected location (its row shows a lock).
    std::function<bool(const std::string&)> isProtectedPath;
    // The current date (tests fix it) and the reduce-motion preference.
    std::function<Date()> now;
    std::function<bool()> prefersReducedMotion;
};

// The current date from the system clock.
Date systemNow();

// A wrapping label in the interface font whose colour follows a text role of the scheme.
class InsightLabel : public QLabel {
    Q_OBJECT
public:
    InsightLabel(const QString& text, qreal size, QFont::Weight weight, views::TextRole role,
                 QWidget* parent = nullptr);

protected:
    void changeEvent(QEvent* event) override;

private:
    void applyColor();
    views::TextRole role_;
};

// The scrolling frame of an insight screen: title, subtitle, the saved-scan notice while the
// tree is the saved snapshot, then the screen's content.
class InsightScreen : public QScrollArea {
    Q_OBJECT
public:
    explicit InsightScreen(QWidget* parent = nullptr);

    void setHeader(const std::string& title, const std::string& subtitle, bool isFromSavedScan);
    // Where the screen places its content, under the header.
    QVBoxLayout* contentLayout() const { return content_; }

    QString titleText() const;
    QString subtitleText() const;
    bool showsSavedScanNotice() const;

protected:
    void changeEvent(QEvent* event) override;

private:
    InsightLabel* title_;
    InsightLabel* subtitle_;
    QWidget* notice_;
    QWidget* noticeSpace_;
    QVBoxLayout* content_;
};

// "From the saved scan…" on a glass panel.
QWidget* makeSavedScanNotice(QWidget* parent);

// One-line states placed by the screens in their content.
class InsightEmptyState : public QWidget {
    Q_OBJECT
public:
    explicit InsightEmptyState(QWidget* parent = nullptr);
    void setText(const std::string& text);
    QString text() const;

private:
    InsightLabel* label_;
};

class InsightLoadingState : public QWidget {
    Q_OBJECT
public:
    explicit InsightLoadingState(QWidget* parent = nullptr);
};

class InsightFootnote : public QWidget {
    Q_OBJECT
public:
    explicit InsightFootnote(const std::string& text, QWidget* parent = nullptr);
    QString text() const;

private:
    InsightLabel* label_;
};

// The proportional bar: a faint track and an accent fill as wide as the fraction.
namespace insight_bar {
inline constexpr qreal kHeight = 6;
void paint(QPainter& painter, const QRectF& track, double fraction, bool dark);
} // namespace insight_bar

// One found item: icon with an optional lock, name and detail line, bar, size and the button
// that opens the item's folder.
class InsightItemRow : public QWidget {
    Q_OBJECT
public:
    struct Model {
        DiskInsights::Item item;
        std::optional<std::string> relativeFolder;
        int64_t maxBytes = 0;
        bool isSelected = false;
        bool isProtected = false;
        std::string detail;
    };
    InsightItemRow(Model model, std::function<void()> onSelect, std::function<void()> onOpenFolder,
                   QWidget* parent = nullptr);

    const Model& model() const { return model_; }
    void setSelected(bool selected);
    void setProtected(bool isProtected);
    bool isHovered() const { return hovered_; }
    void setHovered(bool hovered);

    // Geometry of the parts, in widget coordinates.
    QRectF iconRect() const;
    QRectF barRect() const;
    QRectF sizeRect() const;
    QRectF buttonRect() const;
    QRectF textRect() const;
    bool hasOpenFolderButton() const { return model_.relativeFolder.has_value(); }
    // What the row says where the pointer is (the button's help or the item's path).
    QString toolTipAt(QPointF point) const;
    // The name and detail as drawn at the current width.
    QString shownName() const;
    QString shownDetail() const;

    // Clicks as the pointer gives them.
    void clickAt(QPointF point);

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;
    bool event(QEvent* event) override;

private:
    Model model_;
    std::function<void()> onSelect_;
    std::function<void()> onOpenFolder_;
    bool hovered_ = false;
    bool pressed_ = false;
};

// The rows of found items, largest first, the first item's bytes setting every bar's scale.
class InsightItemList : public QWidget {
    Q_OBJECT
public:
    InsightItemList(const InsightActions& actions, QWidget* parent = nullptr);

    void setItems(std::vector<DiskInsights::Item> items, const FileNode& root,
                  const std::optional<std::string>& selectedPath);
    void setSelectedPath(const std::optional<std::string>& selectedPath);
    // Asks again which rows are protected: a flag may have been learned since they were made.
    void refreshProtection();
    std::vector<InsightItemRow*> rows() const { return rows_; }

private:
    const InsightActions& actions_;
    FileNode root_;
    std::vector<InsightItemRow*> rows_;
    QVBoxLayout* layout_;
};

// Middle-elided text that fits `width` at the reference size of `style`.
QString elideMiddle(const QString& text, qreal size, QFont::Weight weight, qreal width);

} // namespace quillmere

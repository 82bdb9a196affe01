#pragma once

#include "scan/DiskInsights.hpp"
#include "views/InsightModel.hpp"
#include "views/widgets/InsightScreenFrame.hpp"
#include "views/widgets/InsightTask.hpp"

#include <QPointer>
#include <QWidget>
#include <atomic>
#include <functional>
#include <optional>
#include <vector>

class QVariantAnimation;

namespace quillmere {

// One kind of the by-kind screen: icon, title and description, size, bar, count and share,
// and the chevron of a kind whose largest items can be shown.
class KindRow : public QWidget {
    Q_OBJECT
public:
    KindRow(const DiskInsights::KindBucket& bucket, const InsightActions& actions, QWidget* parent = nullptr);

    void setBucket(const DiskInsights::KindBucket& bucket, int64_t maxBytes, int64_t totalBytes);
    void setExpanded(bool expanded, bool animated);
    bool isExpanded() const { return expanded_; }
    bool isExpandable() const;
    bool isHovered() const { return hovered_; }
    FileKind kind() const { return bucket_.kind; }
    const DiskInsights::KindBucket& bucket() const { return bucket_; }
    QString countLine() const { return countLine_; }
    QString sizeText() const;
    double barFraction() const { return fraction_; }
    // The chevron's turn in degrees (90 pointing down), as drawn now.
    double chevronAngle() const { return angle_; }
    QRectF barRect() const;

    std::function<void()> onToggle;

protected:
    void paintEvent(QPaintEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;

private:
    void refreshInteraction();

    DiskInsights::KindBucket bucket_;
    const InsightActions& actions_;
    QWidget* icon_;
    InsightLabel* title_;
    InsightLabel* description_;
    QWidget* figures_;
    QString countLine_;
    double fraction_ = 0;
    bool expanded_ = false;
    bool hovered_ = false;
    double angle_ = 0;
    QPointer<QVariantAnimation> turn_;
};

// Everything beneath the folder on screen grouped by kind, largest kind first.
class ByKindView : public InsightScreen {
    Q_OBJECT
public:
    ByKindView(InsightInputs inputs, InsightActions actions, QWidget* parent = nullptr);

    void setInputs(InsightInputs inputs);

    const std::optional<DiskInsights::KindBreakdown>& breakdown() const { return breakdown_; }
    const std::vector<FileKind>& expandedKinds() const { return expanded_; }
    void toggle(FileKind kind);
    using Task = InsightTask<views::insight::InsightTaskKey, DiskInsights::KindBreakdown>;
    const Task& task() const { return task_; }
    using Computation =
        std::function<DiskInsights::KindBreakdown(const FileNode&, const std::atomic<bool>* cancelled)>;
    void setComputation(Computation compute);

    std::vector<KindRow*> rows() const;
    // The list under an expanded kind, if shown.
    InsightItemList* expandedList(FileKind kind) const;
    InsightLoadingState* loadingState() const { return loading_; }
    InsightEmptyState* emptyState() const { return empty_; }
    InsightFootnote* footnote() const { return footnote_; }

private:
    void store(DiskInsights::KindBreakdown breakdown);
    void rebuild();
    void showState();

    struct Entry;
    void ensureList(Entry& entry);
    struct Entry {
        KindRow* row = nullptr;
        QWidget* holder = nullptr; // the indented list and the space under it
        InsightItemList* list = nullptr;
    };

    InsightInputs inputs_;
    InsightActions actions_;
    Computation compute_;
    std::optional<DiskInsights::KindBreakdown> breakdown_;
    std::vector<FileKind> expanded_;
    std::vector<Entry> entries_;
    InsightLoadingState* loading_;
    InsightEmptyState* empty_;
    QWidget* rowsHost_;
    InsightFootnote* footnote_;
    Task task_;
};

} // namespace quillmere

#pragma once

#include "scan/DiskInsights.hpp"
#include "views/InsightModel.hpp"
#include "views/widgets/InsightPieces.hpp"
#include "views/widgets/InsightTask.hpp"

#include <QPointer>
#include <QWidget>
#include <functional>
#include <map>
#include <optional>
#include <vector>

class QVariantAnimation;

namespace quillmere {

class SegmentedPills;

// The largest items anywhere beneath the folder on screen, at most 100, largest first.
class LargestItemsView : public InsightScreen {
    Q_OBJECT
public:
    LargestItemsView(InsightInputs inputs, InsightActions actions, QWidget* parent = nullptr);

    // A new evaluation of the host: a change of the folder's key starts a new computation, the
    // previous list staying until its result arrives.
    void setInputs(InsightInputs inputs);

    const std::optional<std::vector<DiskInsights::Item>>& items() const { return items_; }
    using Task = InsightTask<views::insight::InsightTaskKey, std::vector<DiskInsights::Item>>;
    const Task& task() const { return task_; }
    // The computation, replaceable by tests (it runs on the worker pool).
    void setComputation(std::function<std::vector<DiskInsights::Item>(const FileNode&)> compute);

    InsightLoadingState* loadingState() const { return loading_; }
    InsightEmptyState* emptyState() const { return empty_; }
    InsightItemList* list() const { return list_; }
    InsightFootnote* footnote() const { return footnote_; }

private:
    void store(std::vector<DiskInsights::Item> items);
    void showState();

    InsightInputs inputs_;
    InsightActions actions_;
    std::function<std::vector<DiskInsights::Item>(const FileNode&)> compute_;
    std::optional<std::vector<DiskInsights::Item>> items_;
    InsightLoadingState* loading_;
    InsightEmptyState* empty_;
    InsightItemList* list_;
    InsightFootnote* footnote_;
    Task task_;
};

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
    void setComputation(std::function<DiskInsights::KindBreakdown(const FileNode&)> compute);

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
    std::function<DiskInsights::KindBreakdown(const FileNode&)> compute_;
    std::optional<DiskInsights::KindBreakdown> breakdown_;
    std::vector<FileKind> expanded_;
    std::vector<Entry> entries_;
    InsightLoadingState* loading_;
    InsightEmptyState* empty_;
    QWidget* rowsHost_;
    InsightFootnote* footnote_;
    Task task_;
};

// The stacked bar of bytes per age with its legend.
class AgeBar : public QWidget {
    Q_OBJECT
public:
    explicit AgeBar(QWidget* parent = nullptr);
    void setBreakdown(const DiskInsights::AgeBreakdown& breakdown);
    const std::vector<views::insight::AgeSegment>& segments() const { return segments_; }
    // The segments' rectangles as laid out at the current width.
    std::vector<QRectF> segmentRects() const;
    QRectF stripRect() const;

    // Where each legend entry starts at `width`: a further line where the width ends.
    std::vector<QPointF> legendOrigins(qreal width) const;

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;
    bool hasHeightForWidth() const override { return true; }
    int heightForWidth(int width) const override;

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    qreal legendEntryWidth(const views::insight::AgeSegment& segment) const;

    std::vector<views::insight::AgeSegment> segments_;
    int64_t totalBytes_ = 0;
};

// How the bytes beneath the folder divide by age, and the largest items unchanged for the
// chosen number of years.
class UntouchedView : public InsightScreen {
    Q_OBJECT
public:
    UntouchedView(InsightInputs inputs, int years, InsightActions actions, QWidget* parent = nullptr);

    void setInputs(InsightInputs inputs);
    // The threshold as stored in the settings; a change re-runs the list, never the bar.
    void setYears(int years);
    int years() const { return years_; }
    // A pill was chosen: the host stores the setting (and hands it back through setYears).
    std::function<void(int)> onYearsChosen;

    const std::optional<DiskInsights::AgeBreakdown>& age() const { return age_; }
    const std::optional<std::vector<DiskInsights::Item>>& items() const { return items_; }
    using AgeTask = InsightTask<views::insight::InsightTaskKey, DiskInsights::AgeBreakdown>;
    using ListTask = InsightTask<views::insight::UntouchedTaskKey, std::vector<DiskInsights::Item>>;
    const AgeTask& ageTask() const { return ageTask_; }
    const ListTask& listTask() const { return listTask_; }

    AgeBar* ageBar() const { return ageBar_; }
    SegmentedPills* yearPills() const { return pills_; }
    InsightLoadingState* loadingState() const { return loading_; }
    InsightEmptyState* emptyState() const { return empty_; }
    InsightItemList* list() const { return list_; }
    InsightFootnote* footnote() const { return footnote_; }

private:
    void start();
    void showState();

    InsightInputs inputs_;
    int years_;
    InsightActions actions_;
    std::optional<DiskInsights::AgeBreakdown> age_;
    std::optional<std::vector<DiskInsights::Item>> items_;
    AgeBar* ageBar_;
    QWidget* ageSpace_;
    SegmentedPills* pills_;
    InsightLoadingState* loading_;
    InsightEmptyState* empty_;
    InsightItemList* list_;
    InsightFootnote* footnote_;
    AgeTask ageTask_;
    ListTask listTask_;
};

} // namespace quillmere

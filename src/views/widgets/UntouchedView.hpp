#pragma once

#include "scan/DiskInsights.hpp"
#include "views/InsightModel.hpp"
#include "views/widgets/InsightScreenFrame.hpp"
#include "views/widgets/InsightTask.hpp"

#include <QWidget>
#include <functional>
#include <optional>
#include <vector>

namespace quillmere {

class SegmentedPills;

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

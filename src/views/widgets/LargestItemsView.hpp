#pragma once

#include "scan/DiskInsights.hpp"
#include "views/InsightModel.hpp"
#include "views/widgets/InsightScreenFrame.hpp"
#include "views/widgets/InsightTask.hpp"

#include <atomic>
#include <functional>
#include <optional>
#include <vector>

namespace quillmere {

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
    using Computation =
        std::function<std::vector<DiskInsights::Item>(const FileNode&, const std::atomic<bool>* cancelled)>;
    void setComputation(Computation compute);

    InsightLoadingState* loadingState() const { return loading_; }
    InsightEmptyState* emptyState() const { return empty_; }
    InsightItemList* list() const { return list_; }
    InsightFootnote* footnote() const { return footnote_; }

private:
    void store(std::vector<DiskInsights::Item> items);
    void showState();

    InsightInputs inputs_;
    InsightActions actions_;
    Computation compute_;
    std::optional<std::vector<DiskInsights::Item>> items_;
    InsightLoadingState* loading_;
    InsightEmptyState* empty_;
    InsightItemList* list_;
    InsightFootnote* footnote_;
    Task task_;
};

} // namespace quillmere

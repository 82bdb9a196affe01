#include "views/widgets/LargestItemsView.hpp"

#include "views/widgets/InsightScreenCommon.hpp"

#include <QVBoxLayout>

namespace quillmere {

using namespace insight_screen;

LargestItemsView::LargestItemsView(InsightInputs inputs, InsightActions actions, QWidget* parent)
    : InsightScreen(parent), inputs_(std::move(inputs)), actions_(std::move(actions)),
      compute_([](const FileNode& folder, const std::atomic<bool>* cancelled) {
          return views::insight::largestItems(folder, cancelled);
      }),
      loading_(new InsightLoadingState), empty_(new InsightEmptyState), list_(new InsightItemList(actions_)),
      footnote_(new InsightFootnote(texts::sharedFootnote())),
      task_([this](std::vector<DiskInsights::Item> items) { store(std::move(items)); }) {
    contentLayout()->addWidget(loading_);
    contentLayout()->addWidget(empty_);
    contentLayout()->addWidget(list_);
    contentLayout()->addWidget(footnote_);
    showState();
    setInputs(inputs_);
}

void LargestItemsView::setComputation(Computation compute) {
    compute_ = std::move(compute);
}

void LargestItemsView::setInputs(InsightInputs inputs) {
    inputs_ = std::move(inputs);
    setHeader(texts::largestTitle(), texts::largestSubtitle(inputs_.folderName), inputs_.isFromSavedScan);
    empty_->setText(texts::largestEmpty(inputs_.folderName));
    list_->setSelectedPath(inputs_.selectedPath);
    task_.request(InsightTaskKey::of(inputs_.root),
                  [folder = inputs_.root, compute = compute_](const std::atomic<bool>* cancelled) {
                      return compute(folder, cancelled);
                  });
}

void LargestItemsView::store(std::vector<DiskInsights::Item> items) {
    list_->setItems(items, inputs_.root, inputs_.selectedPath);
    items_ = std::move(items);
    showState();
}

void LargestItemsView::showState() {
    showOne(loading_, empty_, {list_, footnote_}, !items_ ? 0 : items_->empty() ? 1 : 2);
}

} // namespace quillmere

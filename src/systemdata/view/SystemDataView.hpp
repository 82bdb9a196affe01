#pragma once

#include "systemdata/SystemDataSlices.hpp"

#include <QWidget>
#include <functional>
#include <vector>

class QLabel;
class QScrollArea;
class QVBoxLayout;

namespace quillmere {

class SystemDataButton;
class SystemDataRingView;
class SystemDataRowView;

// The System Data screen: the report's ring beside a list of its categories, each with what it
// is, its size and a reclaim button or the reason it is left alone, and a footer that reclaims
// every safe category at once. It reads and deletes nothing itself: every request goes out
// through `onReclaimRequested`.
class SystemDataView : public QWidget {
    Q_OBJECT
public:
    using ReclaimHandler = std::function<void(const std::vector<SystemDataCategory>&)>;

    explicit SystemDataView(QWidget* parent = nullptr);

    void setReport(const SystemDataReport& report);
    const SystemDataReport& report() const { return report_; }
    void setOnReclaimRequested(ReclaimHandler handler) { onReclaimRequested_ = std::move(handler); }

    // For tests and screenshots.
    SystemDataRingView* ring() const { return ring_; }
    SystemDataButton* reclaimAllButton() const { return reclaimAll_; }
    QLabel* summaryLabel() const { return summary_; }
    QLabel* footerLabel() const { return footer_; }
    // The rows, in slice order.
    const std::vector<SystemDataRowView*>& rows() const { return rowViews_; }

protected:
    void changeEvent(QEvent* event) override;

private:
    void rebuildRows();
    void applyColors();
    void request(std::vector<SystemDataCategory> categories);

    SystemDataReport report_;
    std::vector<SystemDataSlice> slices_;
    ReclaimHandler onReclaimRequested_;

    QWidget* leftPane_;
    QWidget* rightPane_;
    SystemDataRingView* ring_;
    QLabel* leftTitle_;
    QLabel* leftParagraph_;
    QLabel* headerTitle_;
    QLabel* summary_;
    QScrollArea* scroll_;
    QWidget* rows_;
    QVBoxLayout* rowsLayout_;
    QLabel* footer_;
    SystemDataButton* reclaimAll_;
    std::vector<SystemDataRowView*> rowViews_;
};

} // namespace quillmere

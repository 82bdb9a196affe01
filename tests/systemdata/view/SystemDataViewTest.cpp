#include "systemdata/view/SystemDataView.hpp"

#include "systemdata/SystemDataProbe.hpp"
#include "systemdata/view/SystemDataButton.hpp"
#include "systemdata/view/SystemDataRingView.hpp"
#include "systemdata/view/SystemDataRowView.hpp"

#include <QLabel>
#include <QPainter>
#include <QTest>
#include <gtest/gtest.h>

namespace quillmere {
namespace {

SystemDataCategory category(const std::string& id, int64_t size, bool reclaimable, bool withAction,
                            std::optional<std::string> reason = std::nullopt) {
    SystemDataCategory c;
    c.id = id;
    c.name = id;
    c.sizeBytes = size;
    c.isReclaimable = reclaimable;
    c.reclaimabilityReason = std::move(reason);
    if (withAction) c.reclaimAction = SystemDataReclaimAction::directoryContents("/x/" + id);
    return c;
}

SystemDataReport sample() {
    return SystemDataProbe::assemble(
        {category("apfs-local-snapshots", 0, false, false, "unknown"),
         category("time-machine-local-backups", 0, true, true),
         category("ios-device-backups", 0, false, false),
         category("xcode-derived-data", 2000, true, false, "no action here"),
         category("user-caches", 5000, true, true), category("system-caches", 9000, false, false, "leave it"),
         category("mail-downloads", -50, false, false), category("cached-icloud-content", 0, false, false)},
        30000, 40000);
}

TEST(SystemDataViewTest, EveryWrappedTextShowsAllItsLines) {
    SystemDataView view;
    view.setReport(sample());
    view.resize(980, 640);
    view.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&view));
    int wrapped = 0;
    for (const QLabel* label : view.findChildren<QLabel*>()) {
        if (!label->isVisible() || !label->wordWrap() || label->text().isEmpty()) continue;
        ++wrapped;
        EXPECT_GE(label->height(), label->heightForWidth(label->width())) << label->text().toStdString();
    }
    EXPECT_GE(wrapped, 2);
}

TEST(SystemDataViewTest, RowsOfferReclaimOnlyWithAnActionAndExplainEveryDisabledButton) {
    SystemDataView view;
    std::vector<std::vector<SystemDataCategory>> requests;
    view.setOnReclaimRequested([&](const std::vector<SystemDataCategory>& c) { requests.push_back(c); });
    view.setReport(sample());
    view.resize(900, 600);
    const auto& rows = view.rows();
    ASSERT_EQ(rows.size(), 10u);
    std::map<std::string, SystemDataRowView*> byId;
    for (SystemDataRowView* row : rows)
        byId[row->category().id] = row;
    EXPECT_EQ(byId["user-caches"]->button()->text(), "Reclaim\u2026");
    EXPECT_TRUE(byId["user-caches"]->button()->isEnabled());
    EXPECT_EQ(byId["xcode-derived-data"]->button()->text(), "Leave alone");
    EXPECT_FALSE(byId["xcode-derived-data"]->button()->isEnabled());
    EXPECT_EQ(byId["xcode-derived-data"]->button()->toolTip(), "no action here");
    EXPECT_EQ(byId["ios-device-backups"]->button()->toolTip(), "");
    EXPECT_EQ(rows.back()->category().id, "cant-be-attributed");
    EXPECT_EQ(rows.back()->button()->text(), "No action");
    EXPECT_EQ(byId["mail-downloads"]->sizeText(), "Zero KB"); // negative shown as 0

    QTest::mouseClick(byId["user-caches"]->button(), Qt::LeftButton);
    ASSERT_EQ(requests.size(), 1u);
    ASSERT_EQ(requests[0].size(), 1u);
    EXPECT_EQ(requests[0][0].id, "user-caches");
    QTest::mouseClick(byId["xcode-derived-data"]->button(), Qt::LeftButton);
    EXPECT_EQ(requests.size(), 1u);
}

TEST(SystemDataViewTest, TheFooterPassesEveryReclaimableCategoryInSliceOrder) {
    SystemDataView view;
    std::vector<SystemDataCategory> received;
    view.setOnReclaimRequested([&](const std::vector<SystemDataCategory>& c) { received = c; });
    view.setReport(sample());
    EXPECT_EQ(view.summaryLabel()->text(), "10 items. 3 can be reclaimed safely, 7 left alone.");
    EXPECT_TRUE(view.footerLabel()->text().contains("7 KB"));
    ASSERT_TRUE(view.reclaimAllButton()->isEnabled());
    QTest::mouseClick(view.reclaimAllButton(), Qt::LeftButton);
    std::vector<std::string> ids;
    for (const auto& c : received)
        ids.push_back(c.id);
    EXPECT_EQ(ids,
              (std::vector<std::string>{"user-caches", "xcode-derived-data", "time-machine-local-backups"}));

    // Reclaimable categories of 0 bytes only: the footer stays disabled.
    SystemDataReport empty = sample();
    for (SystemDataCategory& c : empty.categories)
        c.sizeBytes = c.isReclaimable ? 0 : c.sizeBytes;
    view.setReport(empty);
    EXPECT_FALSE(view.reclaimAllButton()->isEnabled());
}

TEST(SystemDataViewTest, TheRingPaintsEveryReportWithoutTrouble) {
    // All zero, over the total, and a total of 0 with sizes (spans of many turns).
    std::vector<SystemDataReport> reports{
        SystemDataProbe::assemble({category("user-caches", 0, false, false)}, 0, 0),
        SystemDataProbe::assemble({category("user-caches", 900, true, true)}, std::nullopt, 100)};
    reports.push_back(reports[1]);
    reports[2].volumeUsedBytes = 0;
    for (const SystemDataReport& report : reports) {
        QImage image(220, 220, QImage::Format_ARGB32_Premultiplied);
        image.fill(Qt::transparent);
        QPainter painter(&image);
        const auto slices = systemDataSlices(report);
        SystemDataRingView::paint(painter, QRectF(0, 0, 220, 220), slices, report.totalBytes(),
                                  reclaimableBytes(report), false);
        painter.end();
        // The hub is always there.
        EXPECT_GT(qAlpha(image.pixel(110, 110)), 200);
        // A wedge shows at 3 o'clock only when some slice is visible.
        const bool anyVisible = report.categories[0].sizeBytes > 0;
        EXPECT_EQ(qAlpha(image.pixel(110 + 88, 110)) > 200, anyVisible);
    }
    SystemDataSlice denied{category("denied-by-permissions", 1, false, false), 0, 1, false};
    EXPECT_EQ(SystemDataRingView::sliceColor(denied), QColor::fromRgbF(0.55f, 0.55f, 0.55f));
}

} // namespace
} // namespace quillmere

#include "base/Format.hpp"
#include "reclaim/view/ConfirmRow.hpp"
#include "reclaim/view/DeleteConfirmationSheet.hpp"
#include "reclaim/view/DeleteSteps.hpp"
#include "reclaim/view/ScrollingBox.hpp"
#include "reclaim/view/SheetControls.hpp"
#include "reclaim/view/SheetSamples.hpp"
#include "ui/Theme.hpp"
#include "ui/WrappingLabel.hpp"

#include <QApplication>
#include <QImage>
#include <QPainter>
#include <QScrollArea>
#include <QScrollBar>
#include <gtest/gtest.h>

namespace quillmere {
namespace {

DeleteConfirmationSheet::MakeReclaimer unused() {
    return [] { return Reclaimer(ReclaimerServices::current()); };
}

QImage render(QWidget& widget, qreal scale) {
    QImage image((QSizeF(widget.size()) * scale).toSize(), QImage::Format_ARGB32_Premultiplied);
    image.setDevicePixelRatio(scale);
    image.fill(widget.palette().window().color());
    QPainter painter(&image);
    widget.render(&painter);
    return image;
}

QRect placeOf(QWidget* within, QWidget* widget) {
    return QRect(widget->mapTo(within, QPoint(0, 0)), widget->size());
}

// Pixels in `area` (logical coordinates of `within`) that stand out from the window colour.
int inkPixels(const QImage& image, QWidget* within, QWidget* widget, QRect area = {}) {
    const QRect logical = area.isNull() ? placeOf(within, widget) : area;
    const qreal scale = image.devicePixelRatio();
    const QRect device(QPoint(int(logical.left() * scale), int(logical.top() * scale)),
                       logical.size() * scale);
    const QColor background = within->palette().window().color();
    int count = 0;
    for (int y = device.top(); y <= device.bottom() && y < image.height(); ++y)
        for (int x = device.left(); x <= device.right() && x < image.width(); ++x) {
            const QColor c = image.pixelColor(x, y);
            if (std::abs(c.red() - background.red()) + std::abs(c.green() - background.green()) +
                    std::abs(c.blue() - background.blue()) >
                90)
                ++count;
        }
    return count;
}

QStringList rowNames(const DeleteConfirmView& view) {
    QStringList names;
    if (!view.list()) return names;
    for (ConfirmRow* row : view.list()->content()->findChildren<ConfirmRow*>())
        names << row->name();
    return names;
}

void show(DeleteConfirmationSheet& sheet, bool dark) {
    sheet.setPalette(Theme::qtPalette(dark));
    sheet.show();
    QApplication::processEvents();
}

TEST(DeleteConfirmStep, EveryTargetCaseDrawsItsTextsTopToBottomInBothSchemesAndScales) {
    for (const bool dark : {false, true})
        for (const auto& [name, target] : samples::targets()) {
            SCOPED_TRACE(name + (dark ? " dark" : " light"));
            DeleteConfirmationSheet sheet(target, std::nullopt, {}, unused());
            show(sheet, dark);
            const SheetContent& content = sheet.content();
            DeleteConfirmView* view = sheet.confirmView();
            ASSERT_TRUE(view);
            EXPECT_EQ(sheet.width(), 460);
            EXPECT_EQ(view->title()->text().toStdString(), content.title);
            EXPECT_EQ(view->summary()->text().toStdString(), content.summary);
            EXPECT_EQ(view->confirmButton()->text().toStdString(), content.confirmLabel);
            EXPECT_EQ(view->getBack()->text(), "You'll get back ");
            EXPECT_EQ(bool(view->list()), !content.rows.empty());
            EXPECT_EQ(bool(view->finePrint()), content.finePrint.has_value());
            QStringList expected;
            for (const SheetContent::Row& row : content.rows)
                expected << QString::fromStdString(row.name);
            EXPECT_EQ(rowNames(*view), expected);

            // Top to bottom, 20 points in from the edges; the footer last, its buttons at the right.
            const QRect title = placeOf(&sheet, view->title());
            const QRect summary = placeOf(&sheet, view->summary());
            const QRect confirm = placeOf(&sheet, view->confirmButton());
            const QRect cancel = placeOf(&sheet, view->cancelButton());
            EXPECT_EQ(title.left(), 20);
            EXPECT_GT(title.top(), 20 + 46);
            EXPECT_GE(summary.top(), title.bottom() + 13);
            QWidget* beforeFooter = view->finePrint() ? static_cast<QWidget*>(view->finePrint())
                                    : view->list()    ? static_cast<QWidget*>(view->list())
                                                      : view->summary();
            EXPECT_GT(confirm.top(), placeOf(&sheet, beforeFooter).bottom());
            EXPECT_EQ(confirm.right(), 460 - 20 - 1);
            EXPECT_LT(cancel.right(), confirm.left());
            EXPECT_LE(confirm.bottom(), sheet.height() - 20);
            if (view->list()) {
                EXPECT_LE(view->list()->height(), ScrollingBox::kMaxHeight);
            }

            for (const qreal scale : {1.0, 2.0}) {
                const QImage image = render(sheet, scale);
                EXPECT_GT(inkPixels(image, &sheet, view->title()), 40);
                EXPECT_GT(inkPixels(image, &sheet, view->summary()), 40);
                // The confirm button is filled red.
                const QColor middle = image.pixelColor(int(confirm.center().x() * scale) - 30 * int(scale),
                                                       int(confirm.top() * scale) + 4 * int(scale));
                EXPECT_GT(middle.red(), 180);
                EXPECT_LT(middle.green(), 110);
            }
        }
}

TEST(DeleteConfirmStep, RowsShowKeptReasonsAndNegativeSizesAsZero) {
    DeleteConfirmationSheet sheet(samples::uninstall(), std::nullopt, {}, unused());
    show(sheet, false);
    const auto rows = sheet.confirmView()->list()->content()->findChildren<ConfirmRow*>();
    ASSERT_EQ(rows.size(), 6);
    EXPECT_EQ(rows[3]->name(), "tide, Tide");
    EXPECT_EQ(rows[3]->objectName(), "collapsed-leftovers");
    ConfirmRow* kept = rows[4];
    ASSERT_TRUE(kept->isKept() && kept->keptReason());
    const ConfirmRow::Places places = kept->places(kept->width());
    EXPECT_GE(places.reason.top(), places.name.bottom());
    EXPECT_GT(places.reason.height(), places.name.height()); // the reason wraps onto two lines
    EXPECT_LE(places.name.right(), places.size.left());
    EXPECT_EQ(places.size.top(), places.name.top()); // top-aligned beside a reason
    const QImage image = render(sheet, 1);
    EXPECT_GT(inkPixels(image, &sheet, kept,
                        QRect(kept->mapTo(&sheet, places.reason.topLeft().toPoint()),
                              places.reason.size().toSize())),
              30);
}

TEST(DeleteConfirmStep, FortyRowsScrollInsideTheirFrameAndTheFooterStays) {
    DeleteConfirmationSheet sheet(samples::orphans(40, 40), std::nullopt, {}, unused());
    show(sheet, false);
    DeleteConfirmView* view = sheet.confirmView();
    EXPECT_EQ(view->list()->height(), ScrollingBox::kMaxHeight);
    EXPECT_GT(view->list()->scrollArea()->verticalScrollBar()->maximum(), 0);
    EXPECT_EQ(rowNames(*view).size(), 40);
    EXPECT_LE(placeOf(&sheet, view->confirmButton()).bottom(), sheet.height() - 20);
    EXPECT_LT(sheet.height(), 480);
}

TEST(DeleteResultStep, SuccessAndLongFailureInBothSchemes) {
    for (const bool dark : {false, true}) {
        DeleteConfirmationSheet ok(ReclaimTarget::node(samples::projectsFolder()), std::nullopt, {},
                                   unused());
        ok.showResult(samples::success(ok.content().reclaimableBytes));
        show(ok, dark);
        DeleteResultView* result = ok.resultView();
        ASSERT_TRUE(result);
        EXPECT_FALSE(ok.confirmView());
        EXPECT_FALSE(result->failed());
        EXPECT_EQ(result->headline()->text(), "Moved to the Trash");
        EXPECT_EQ(result->sentence()->text(), "Free space increased by 7.34 GB, matching what was promised.");
        EXPECT_FALSE(result->failures());
        EXPECT_EQ(result->doneButton()->text(), "Done");
        EXPECT_LT(ok.height(), 200);

        DeleteConfirmationSheet bad(ReclaimTarget::node(samples::projectsFolder()), std::nullopt, {},
                                    unused());
        bad.showResult(samples::longFailure(30));
        show(bad, dark);
        result = bad.resultView();
        EXPECT_TRUE(result->failed());
        EXPECT_EQ(result->headline()->text(), "Couldn't move \u201cProjects\u201d to the Trash");
        ASSERT_TRUE(result->failures());
        const auto lines = result->failures()->content()->findChildren<WrappingLabel*>();
        ASSERT_EQ(lines.size(), 31);
        EXPECT_EQ(lines[0]->text(), "item-1: protected \u2014 Quillmere will never remove this");
        EXPECT_EQ(lines[30]->text(), "User caches: the folder could not be read");
        EXPECT_LE(result->failures()->height(), ScrollingBox::kMaxHeight);
        EXPECT_GT(result->failures()->scrollArea()->verticalScrollBar()->maximum(), 0);
        const QRect done = placeOf(&bad, result->doneButton());
        EXPECT_GT(done.top(), placeOf(&bad, result->failures()).bottom());
        EXPECT_LE(done.bottom(), bad.height() - 20);
        const QImage image = render(bad, 2);
        EXPECT_GT(inkPixels(image, &bad, result->headline()), 40);
    }
}

TEST(DeleteConfirmationSheetWindow, TakesAndFollowsItsParentsAppearance) {
    QWidget parent;
    parent.setPalette(Theme::qtPalette(true));
    DeleteConfirmationSheet sheet(ReclaimTarget::node(samples::projectsFolder()), std::nullopt, {}, unused(),
                                  &parent);
    EXPECT_TRUE(Theme::isDark(&sheet));
    parent.setPalette(Theme::qtPalette(false));
    EXPECT_FALSE(Theme::isDark(&sheet));
    EXPECT_FALSE(Theme::isDark(sheet.confirmView()));
}

} // namespace
} // namespace quillmere

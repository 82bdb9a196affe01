#pragma once

#include "applications/view/ReclaimPresenter.hpp"

#include <QWidget>
#include <string>

class QVariantAnimation;

namespace quillmere {

class AppDropOverlay;
class FadeEffect;
class AppIconCache;
class ApplicationListView;
class ApplicationsState;
class ApplicationsSummaryStrip;
class GlassPanel;
class SearchField;

// The Applications section: the search field, the summary strip and the list on the left, the
// detail panel of the selected (or dropped) application or orphan group on the right, and an
// application bundle may be dropped onto it. Everything it shows is derived from the state
// whenever the state changes; it keeps only the detail panel, rebuilt when what it shows
// changes identity.
class ApplicationsView : public QWidget {
    Q_OBJECT
public:
    ApplicationsView(ApplicationsState& state, ReclaimPresenter& presenter, RevealItems reveal,
                     QWidget* parent = nullptr);
    ~ApplicationsView() override;

    ApplicationListView* listView() const { return list_; }
    ApplicationsSummaryStrip* summaryStrip() const { return strip_; }
    SearchField* searchField() const { return search_; }
    // The panel in the detail pane (nullptr when none is shown).
    QWidget* detailPanel() const { return panel_; }
    bool isDropTargeted() const { return isDropTargeted_; }
    AppDropOverlay* dropOverlay() const { return overlay_; }

    // The row taps.
    void selectApp(const std::string& path);
    void selectOrphanGroup(const std::string& id);

protected:
    void showEvent(QShowEvent*) override;
    void resizeEvent(QResizeEvent*) override;
    void dragEnterEvent(QDragEnterEvent*) override;
    void dragMoveEvent(QDragMoveEvent*) override;
    void dragLeaveEvent(QDragLeaveEvent*) override;
    void dropEvent(QDropEvent*) override;

private:
    void refresh();
    void refreshDetail();
    void setDropTargeted(bool targeted);
    void layoutPanes();
    void animate(QVariantAnimation* animation, double target);

    ApplicationsState& state_;
    ReclaimPresenter& presenter_;
    RevealItems reveal_;
    AppIconCache* icons_;
    QWidget* listPane_;
    FadeEffect* listOpacity_;
    SearchField* search_;
    ApplicationsSummaryStrip* strip_;
    ApplicationListView* list_;
    GlassPanel* detailHost_;
    FadeEffect* detailOpacity_;
    QWidget* panel_ = nullptr;
    std::string panelKey_;
    AppDropOverlay* overlay_;
    FadeEffect* overlayOpacity_;
    QVariantAnimation* detailMotion_;
    QVariantAnimation* overlayMotion_;
    double detailShown_ = 0;
    double overlayShown_ = 0;
    bool isDropTargeted_ = false;
};

} // namespace quillmere

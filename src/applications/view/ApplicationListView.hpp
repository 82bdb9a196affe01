#pragma once

#include "applications/model/ApplicationListRules.hpp"
#include "applications/model/PanelRules.hpp"
#include "applications/view/RowListArea.hpp"

#include <optional>
#include <string>
#include <vector>

namespace quillmere {

class AppIconCache;
class ProgressIndicator;

// The list area of the Applications screen: the loading view, the header line with the
// no-match text, or the application rows followed by the orphan section. Rows are painted as
// they scroll into view; they are keyed by application path and group id, while the keyboard
// focus moves by position, so two rows that share a key stay apart.
class ApplicationListView : public RowListArea {
    Q_OBJECT
public:
    struct Content {
        ListAreaContent kind = ListAreaContent::loading;
        std::vector<ApplicationRow> rows;
        std::vector<OrphanLeftoverGroup> orphanGroups;
        std::optional<std::string> selectedAppPath;
        std::optional<std::string> selectedOrphanGroupID;
        std::string searchText;
    };
    // What one painted line of the list is.
    struct Line {
        enum class Kind { header, appRow, orphanHeader, orphanRow };
        Kind kind;
        int index = -1; // into rows or orphanGroups
        qreal top = 0;
        qreal height = 0;
    };

    explicit ApplicationListView(AppIconCache& icons, QWidget* parent = nullptr);
    void setContent(Content content);
    const Content& content() const { return content_; }
    const std::vector<Line>& lines() const { return lines_; }

    static constexpr qreal kRowHeight = 46;
    static constexpr qreal kSpacing = 3;

signals:
    void appSelected(const std::string& path);
    void orphanGroupSelected(const std::string& id);

protected:
    void paintEvent(QPaintEvent*) override;
    void keyPressEvent(QKeyEvent*) override;
    qreal layOut() override;
    int bandCount() const override { return static_cast<int>(lines_.size()); }
    Band band(int index) const override;
    void rowChosen(int index) override;

private:
    // The centred block: the indicator's top, when there is one, and the text under it.
    struct CentredBlock {
        qreal indicatorTop;
        QRectF text;
    };
    CentredBlock centredBlock(const QString& text, bool withIndicator) const;
    void paintAppRow(QPainter& painter, const QRectF& rect, const ApplicationRow& row, bool selected);
    void paintOrphanRow(QPainter& painter, const QRectF& rect, const OrphanLeftoverGroup& group,
                        bool selected);
    void paintHeader(QPainter& painter, const QRectF& rect);
    void paintOrphanHeader(QPainter& painter, const QRectF& rect);
    void paintCentred(QPainter& painter, const QString& text, bool withIndicator);

    AppIconCache& icons_;
    Content content_;
    // The scales of the application and orphan bars, worked out once per content.
    int64_t maxCombinedTotal_ = 1;
    int64_t sectionTotalBytes_ = 0;
    std::vector<Line> lines_;
    ProgressIndicator* indicator_;
};

// "mostly …" captions and subtitles come from the model; the orphan caption adds the date.
QString orphanCaption(const OrphanLeftoverGroup& group);

} // namespace quillmere

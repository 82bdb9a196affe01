#pragma once

#include "applications/model/ApplicationListRules.hpp"
#include "applications/model/PanelRules.hpp"

#include <QAbstractScrollArea>
#include <optional>
#include <string>
#include <vector>

class QTimer;

namespace quillmere {

class AppIconCache;

// The list area of the Applications screen: the loading view, the header line with the
// no-match text, or the application rows followed by the orphan section. Rows are painted as
// they scroll into view; they are keyed by application path and group id, while the keyboard
// focus moves by position, so two rows that share a key stay apart.
class ApplicationListView : public QAbstractScrollArea {
    Q_OBJECT
public:
    struct Content {
        ListAreaContent kind = ListAreaContent::loading;
        std::vector<ApplicationRow> rows;
        std::vector<OrphanLeftoverGroup> orphanGroups;
        std::optional<std::string> selectedAppPath;
        std::optional<std::string> selectedOrphanGroupID;
        std::string searchText;
        int64_t maxCombinedTotal = 1;
        int64_t sectionTotalBytes = 0;
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
    // The row under a point of the viewport, for taps; -1 for none.
    int lineAt(QPoint viewportPoint) const;
    int focusedLine() const { return focusedLine_; }

    static constexpr qreal kRowHeight = 46;
    static constexpr qreal kSpacing = 3;

signals:
    void appSelected(const std::string& path);
    void orphanGroupSelected(const std::string& id);

protected:
    void paintEvent(QPaintEvent*) override;
    void resizeEvent(QResizeEvent*) override;
    void mousePressEvent(QMouseEvent*) override;
    void keyPressEvent(QKeyEvent*) override;
    void focusInEvent(QFocusEvent*) override;
    void focusOutEvent(QFocusEvent*) override;
    bool viewportEvent(QEvent*) override;

private:
    void relayout();
    void activate(int line);
    void moveFocus(int step);
    void ensureVisible(int line);
    void paintAppRow(QPainter& painter, const QRectF& rect, const ApplicationRow& row, bool selected);
    void paintOrphanRow(QPainter& painter, const QRectF& rect, const OrphanLeftoverGroup& group,
                        bool selected);
    void paintHeader(QPainter& painter, const QRectF& rect);
    void paintOrphanHeader(QPainter& painter, const QRectF& rect);
    void paintCentred(QPainter& painter, const QString& text, bool withSpinner);

    AppIconCache& icons_;
    Content content_;
    std::vector<Line> lines_;
    qreal contentHeight_ = 0;
    int focusedLine_ = -1;
    qreal spinnerAngle_ = 0;
    QTimer* spinnerTimer_;
};

// "mostly …" captions and subtitles come from the model; the orphan caption adds the date.
QString orphanCaption(const OrphanLeftoverGroup& group);

} // namespace quillmere

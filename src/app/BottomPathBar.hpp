#pragma once

#include <QList>
#include <QRectF>
#include <QStringList>
#include <QWidget>

namespace quillmere {

class NavigationHistory;
class TopBarIconButton;

// The folders from the volume down to the one shown, separated by chevrons. Every name but the
// last can be clicked to climb back to it; the last is the folder shown and does nothing.
// Names are shortened, the longest first, when the row does not fit the widget.
//
// Keyboard: Tab focuses the crumb of the parent folder (when there is one to climb to); the
// arrow keys, Home and End move among the clickable crumbs; Space, Return or Enter chooses.
class BreadcrumbView : public QWidget {
    Q_OBJECT
public:
    explicit BreadcrumbView(QWidget* parent = nullptr);

    const QStringList& path() const { return path_; }
    void setPath(const QStringList& path);

    // One rectangle per crumb's name (its hit area), and one per chevron (crumbs 1 and on).
    QList<QRectF> nameRects() const;
    QList<QRectF> chevronRects() const;
    // The name as drawn, shortened when the row is too narrow.
    QString shownName(int index) const;
    // The crumb the keyboard acts on; -1 when there is none.
    int focusedIndex() const { return focusIndex_; }

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

    static constexpr qreal kSpacing = 4;
    static constexpr qreal kNameSize = 13;
    static constexpr qreal kChevronSize = 10;

signals:
    void crumbSelected(int index);

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    struct Layout {
        QList<QRectF> names;
        QList<QRectF> chevrons;
        QStringList shown;
    };
    Layout layoutRow() const;
    qreal naturalWidth() const;
    int clickableCrumbAt(const QPointF& point) const;
    bool isClickable(int index) const { return index >= 0 && index + 1 < path_.size(); }
    void updateFocusPolicy();

    QStringList path_;
    int pressedIndex_ = -1;
    int focusIndex_ = -1;
};

// The bar under the disk map: back and forward over the navigation history, then the
// breadcrumb of the folder shown. It reads the history and redraws as it changes; what the
// buttons and crumbs ask for comes out as signals.
//
// Alt+Left and Alt+Right act as Back and Forward anywhere in the window while the bar is shown
// and the button is enabled.
class BottomPathBar : public QWidget {
    Q_OBJECT
public:
    explicit BottomPathBar(NavigationHistory& history, QWidget* parent = nullptr);

    TopBarIconButton* backButton() const { return back_; }
    TopBarIconButton* forwardButton() const { return forward_; }
    BreadcrumbView* breadcrumb() const { return breadcrumb_; }

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

    static constexpr int kHeight = 34;
    static constexpr int kPadding = 14;
    static constexpr int kSpacing = 10;
    static constexpr int kButtonSpacing = 2;

public slots:
    // What the shortcuts call: the step when its button is enabled, otherwise nothing.
    void goBack();
    void goForward();

signals:
    void backRequested();
    void forwardRequested();
    void crumbSelected(int index);

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    void refresh();
    void layoutRow();

    NavigationHistory& history_;
    TopBarIconButton* back_;
    TopBarIconButton* forward_;
    BreadcrumbView* breadcrumb_;
};

} // namespace quillmere

#pragma once

#include <QPointer>
#include <QString>
#include <QWidget>
#include <functional>

namespace quillmere {

// The place of the disk-map screen where the view of the folder on screen lives. It owns one
// view: a new one when its identity (the mode and the folder's path) changes or after the
// screen showed something else, otherwise the view is updated in place. A new view that a
// navigation step brought enters scaled from 0.96 with a fade while the old one leaves the same
// way; any other new view (after a scan, another mode) replaces the old one at once.
class DiskViewSlot : public QWidget {
    Q_OBJECT
public:
    explicit DiskViewSlot(QWidget* parent = nullptr);

    // Shows the view named `identity`: `make` builds it when it is new, `update` refreshes the
    // one in place.
    void present(const QString& identity, const std::function<QWidget*()>& make,
                 const std::function<void(QWidget*)>& update);
    // The screen showed something else: the next view is new, whatever its identity.
    void forget();
    // Whether a view made by the next `present` calls enters with the navigation transition.
    void setReplacementAnimated(bool animated) { replacementAnimated_ = animated; }
    // Where the durations come from: 0 under reduce motion.
    void setMotionDuration(std::function<int(int)> duration) { motionDuration_ = std::move(duration); }

    QWidget* view() const { return view_; }
    const QString& identity() const { return identity_; }

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    QPointer<QWidget> view_;
    QString identity_;
    bool forgotten_ = true;
    bool replacementAnimated_ = true;
    std::function<int(int)> motionDuration_;
};

} // namespace quillmere

#pragma once

#include <QPointer>
#include <QString>
#include <QWidget>
#include <functional>

namespace quillmere {

// The place of the disk-map screen where the view of the folder on screen lives. It owns one
// view: a new one when its identity (the mode and the folder's path) changes or after the
// screen showed something else, entering scaled from 0.96 with a fade while the old one
// leaves the same way; otherwise the view is updated in place.
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
    std::function<int(int)> motionDuration_;
};

} // namespace quillmere

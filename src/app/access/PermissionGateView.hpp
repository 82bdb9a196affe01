#pragma once

#include "app/access/FullDiskAccessLink.hpp"

#include <QWidget>

class QLabel;
class QPushButton;

namespace quillmere {

// The first screen of a new user: what Quillmere can't read without Full Disk Access and what
// it promises, with "Continue" always available. It keeps no state and writes no setting.
class PermissionGateView : public QWidget {
    Q_OBJECT
public:
    PermissionGateView(bool isFullDiskAccessGranted, UrlOpener opener, QWidget* parent = nullptr);
    void setFullDiskAccessGranted(bool granted);
    bool isFullDiskAccessGranted() const { return granted_; }

signals:
    void continueRequested();

protected:
    void changeEvent(QEvent* event) override;

private:
    void applyState();

    bool granted_;
    UrlOpener opener_;
    QWidget* badge_;
    QLabel* title_;
    QLabel* explainer_;
    std::vector<std::pair<QLabel*, QLabel*>> rows_;
    QPushButton* continue_;
    QPushButton* grant_;
};

} // namespace quillmere

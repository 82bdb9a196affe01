#pragma once

#include <QAbstractButton>

namespace quillmere {

// The screen's small buttons: bordered, or filled with the accent colour when prominent. A
// disabled one is dimmed and still shows its tooltip.
class SystemDataButton : public QAbstractButton {
    Q_OBJECT
public:
    SystemDataButton(const QString& title, bool prominent, QWidget* parent = nullptr);
    QSize sizeHint() const override;

protected:
    // The fill of a prominent button; the accent colour unless a subclass says otherwise.
    virtual QColor prominentColor(bool dark) const;
    void paintEvent(QPaintEvent* event) override;
    bool event(QEvent* event) override;

private:
    bool prominent_;
    bool hovered_ = false;
};

} // namespace quillmere

#pragma once

#include <QWidget>

class QPushButton;

namespace quillmere {

// Stands in for a view that a later part of the application provides: it shows the view's
// name (and, where the flow needs one to go on, a single action), drawn in the theme.
class PlaceholderView : public QWidget {
    Q_OBJECT
public:
    explicit PlaceholderView(const QString& viewName, const QString& detail = {}, QWidget* parent = nullptr);
    void setDetail(const QString& detail);
    // Adds a button that emits `actionTriggered`.
    void setAction(const QString& title);

signals:
    void actionTriggered();

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    QString viewName_;
    QString detail_;
    QPushButton* action_ = nullptr;
};

} // namespace quillmere

#pragma once

#include <QWidget>

class QHBoxLayout;
class QLabel;
class QPushButton;

namespace quillmere {

class PrivilegedScanController;

// The helper's on/off section: a symbol, a title, one sentence and the buttons of the status.
class PrivilegedScanSection : public QWidget {
    Q_OBJECT
public:
    explicit PrivilegedScanSection(PrivilegedScanController& controller, QWidget* parent = nullptr);

protected:
    void changeEvent(QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private:
    void rebuild();
    QPushButton* addButton(const QString& title, bool bordered, bool disabledWhileBusy);

    PrivilegedScanController& controller_;
    QLabel* symbol_;
    QLabel* title_;
    QLabel* sentence_;
    QHBoxLayout* buttons_;
};

} // namespace quillmere

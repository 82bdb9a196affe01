#pragma once

#include "systemdata/SystemDataSlices.hpp"

#include <QWidget>

namespace quillmere {

class SystemDataButton;

// One row of the System Data screen: the category's tile, name and explanation (wrapping
// freely), its size and its button. The remainder's row is faintly tinted.
class SystemDataRowView : public QWidget {
    Q_OBJECT
public:
    SystemDataRowView(const SystemDataSlice& slice, QWidget* parent = nullptr);

    const SystemDataCategory& category() const { return category_; }
    bool isRemainder() const { return isRemainder_; }
    QString sizeText() const;
    SystemDataButton* button() const { return button_; }

    bool hasHeightForWidth() const override { return true; }
    int heightForWidth(int width) const override;
    QSize sizeHint() const override;

signals:
    void reclaimRequested();

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    struct Columns {
        QRectF tile;
        QRectF words;
        QRectF size;
        QRectF button;
    };
    Columns columns(int width) const;
    double wordsHeight(double width) const;

    SystemDataCategory category_;
    bool isRemainder_;
    SystemDataButton* button_;
};

} // namespace quillmere

#pragma once

#include "systemdata/SystemDataSlices.hpp"

#include <QColor>
#include <QWidget>
#include <vector>

class QPainter;

namespace quillmere {

// The ring chart of the System Data screen: one wedge per slice, a glossy band, a hub with the
// total and the reclaimable bytes.
class SystemDataRingView : public QWidget {
    Q_OBJECT
public:
    explicit SystemDataRingView(QWidget* parent = nullptr);

    void setContent(std::vector<SystemDataSlice> slices, int64_t totalBytes, int64_t reclaimableBytes);

    // Paints the ring into the square `area`.
    static void paint(QPainter& painter, const QRectF& area, const std::vector<SystemDataSlice>& slices,
                      int64_t totalBytes, int64_t reclaimableBytes, bool dark);
    // The slice's colour: its category's tile colour, neutral grey without one.
    static QColor sliceColor(const SystemDataSlice& slice);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    std::vector<SystemDataSlice> slices_;
    int64_t totalBytes_ = 0;
    int64_t reclaimableBytes_ = 0;
};

} // namespace quillmere

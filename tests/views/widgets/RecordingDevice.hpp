#pragma once

#include <QPaintDevice>
#include <QPaintEngine>
#include <QPainterPath>
#include <QPen>
#include <QTransform>
#include <climits>
#include <vector>

namespace quillmere::test {

// A paint device that keeps what was drawn on it: paths with their pen, brush and transform,
// and texts with their font and transform.
class RecordingEngine : public QPaintEngine {
public:
    struct Path {
        QPainterPath path;
        QPen pen;
        QBrush brush;
        QTransform transform;
    };
    struct Text {
        QString text;
        QFont font;
        QTransform transform;
        QPointF position;
        QColor color;
    };

    RecordingEngine() : QPaintEngine(QPaintEngine::AllFeatures) {}
    bool begin(QPaintDevice*) override { return true; }
    bool end() override { return true; }
    void updateState(const QPaintEngineState& state) override {
        if (state.state() & DirtyTransform) transform_ = state.transform();
        if (state.state() & DirtyPen) pen_ = state.pen();
        if (state.state() & DirtyBrush) brush_ = state.brush();
    }
    void drawPath(const QPainterPath& path) override { paths.push_back({path, pen_, brush_, transform_}); }
    void drawPolygon(const QPointF* points, int count, PolygonDrawMode) override {
        QPainterPath path;
        path.addPolygon(QPolygonF(QList<QPointF>(points, points + count)));
        paths.push_back({path, pen_, brush_, transform_});
    }
    void drawPixmap(const QRectF&, const QPixmap&, const QRectF&) override {}
    void drawImage(const QRectF&, const QImage&, const QRectF&, Qt::ImageConversionFlags) override {
        ++images;
    }
    void drawTextItem(const QPointF& p, const QTextItem& item) override {
        texts.push_back({item.text(), item.font(), transform_, p, pen_.color()});
    }
    Type type() const override { return QPaintEngine::User; }

    std::vector<Path> paths;
    std::vector<Text> texts;
    int images = 0;

private:
    QTransform transform_;
    QPen pen_;
    QBrush brush_;
};

class RecordingDevice : public QPaintDevice {
public:
    RecordingDevice(int width, int height) : width_(width), height_(height) {}
    QPaintEngine* paintEngine() const override { return &engine_; }
    RecordingEngine& engine() { return engine_; }

protected:
    int metric(PaintDeviceMetric metric) const override {
        switch (metric) {
        case PdmWidth:
            return width_;
        case PdmHeight:
            return height_;
        case PdmWidthMM:
            return width_ * 254 / 960;
        case PdmHeightMM:
            return height_ * 254 / 960;
        case PdmNumColors:
            return INT_MAX;
        case PdmDepth:
            return 32;
        case PdmDpiX:
        case PdmDpiY:
        case PdmPhysicalDpiX:
        case PdmPhysicalDpiY:
            return 96;
        case PdmDevicePixelRatio:
            return 1;
        case PdmDevicePixelRatioScaled:
            return 1 * QPaintDevice::devicePixelRatioFScale();
        }
        return 0;
    }

private:
    int width_;
    int height_;
    mutable RecordingEngine engine_;
};

} // namespace quillmere::test

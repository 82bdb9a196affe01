#pragma once

#include <QImage>
#include <QRectF>
#include <QSize>

class QPainter;

namespace quillmere {

// The window's backdrop: a vertical gradient with an orange and a violet glow, dithered so its
// soft glows show no bands.
void paintStageBackground(QPainter& painter, const QRectF& area, bool dark);
// Starts making the backdrop's first picture for an area of `size` points on a worker, so the
// window's first paint finds it made; nothing once a picture exists. Main thread only.
void prepareStageBackground(QSize size, bool dark);
QImage renderStageBackground(QSize size, bool dark);
// A picture drawn at 16 bits a channel brought to 8 with a 4 × 4 ordered dither, so that a
// change of less than one 8-bit step over many pixels shows as a fine pattern, not as bands.
QImage ditheredToRgb32(const QImage& deep);

} // namespace quillmere

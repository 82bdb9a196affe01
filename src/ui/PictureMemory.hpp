#pragma once

#include <QImage>

namespace quillmere {

// A picture of `pixels` at `ratio` pixels a point, in premultiplied ARGB, its contents undefined
// (fill it before drawing). A large one is laid in memory of huge pages, taken from pictures
// given up where one fits: a window-sized picture in fresh small pages costs its first drawing
// one page fault every 4 KB, more than the drawing itself (tens of milliseconds at 2x), and
// every screen, effect and map picture is window-sized. Safe on any thread.
//
// Where a large picture's memory comes from: `kept`, the memory of pictures given up (screens
// and effects, drawn on the main thread, where fresh memory would hold up a frame), or `own`,
// mapped for the picture alone and unmapped with it (pictures drawn on a worker, which must not
// take what a transition is about to need).
enum class PictureSource { kept, own };
[[nodiscard]] QImage blankPicture(QSize pixels, qreal ratio, PictureSource source = PictureSource::kept);

} // namespace quillmere

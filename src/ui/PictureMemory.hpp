#pragma once

#include <QImage>

namespace quillmere {

// A picture of `pixels` at `ratio` pixels a point, in premultiplied ARGB, its contents undefined
// (fill it before drawing). A large one is laid in memory taken from pictures given up where one
// fits: a window-sized picture in fresh memory costs its first drawing a page fault every 4 KB,
// and every screen, effect and map picture is window-sized. Safe on any thread.
//
// Where a large picture's memory comes from: `kept`, the memory of screens' and effects'
// pictures given up (drawn on the main thread, where fresh memory would hold up a frame), or
// `own`, that of other pictures given up (views' pictures, drawn on a worker or while a view
// enters, which must not take what a transition is about to need).
enum class PictureSource { kept, own };
[[nodiscard]] QImage blankPicture(QSize pixels, qreal ratio, PictureSource source = PictureSource::kept);

} // namespace quillmere

#pragma once

class QAbstractScrollArea;

namespace quillmere {

// A slim vertical scroll bar in the theme's ink: a rounded thumb on a clear track, without
// arrows, so scrolling views show where they are without a heavy frame. Follows the scheme of
// the area's palette when called again after a palette change.
void applySlimScrollBar(QAbstractScrollArea* area);

// The sideways counterpart for a row that scrolls: a faint rounded track with a thumb that
// darkens under the pointer, like the desktop's overlay scroll bars. Also to be called again
// after a palette change.
void applySlimHorizontalScrollBar(QAbstractScrollArea* area);

} // namespace quillmere

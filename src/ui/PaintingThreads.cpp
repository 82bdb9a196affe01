#include "ui/PaintingThreads.hpp"

#include <QThreadPool>

namespace quillmere {

void limitPaintingThreads() {
    constexpr int kPaintingThreads = 2;
    QThreadPool::globalInstance()->setMaxThreadCount(kPaintingThreads);
}

} // namespace quillmere

#include "ui/PaintingThreads.hpp"

#include <QThread>
#include <QThreadPool>
#include <algorithm>

namespace quillmere {

void limitPaintingThreads() {
    constexpr int kPaintingThreads = 4;
    QThreadPool::globalInstance()->setMaxThreadCount(
        std::clamp(QThread::idealThreadCount(), 2, kPaintingThreads));
}

} // namespace quillmere

#include "views/widgets/InsightTask.hpp"

#include <QThread>

namespace quillmere {

QThreadPool& insightPool() {
    static QThreadPool* pool = [] {
        auto* made = new QThreadPool;
        made->setThreadPriority(QThread::HighPriority);
        // Its tasks post their results to the main thread: the application object waits for them
        // at the start of its teardown, before that thread's event dispatcher is taken away.
        qAddPostRoutine([] { insightPool().waitForDone(); });
        return made;
    }();
    return *pool;
}

} // namespace quillmere

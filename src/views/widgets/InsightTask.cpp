#include "views/widgets/InsightTask.hpp"

#include <QThread>

namespace quillmere {

QThreadPool& insightPool() {
    static QThreadPool* pool = [] {
        auto* made = new QThreadPool;
        made->setThreadPriority(QThread::HighPriority);
        if (auto* app = QCoreApplication::instance())
            QObject::connect(app, &QCoreApplication::aboutToQuit, [made] { made->waitForDone(); });
        return made;
    }();
    return *pool;
}

} // namespace quillmere

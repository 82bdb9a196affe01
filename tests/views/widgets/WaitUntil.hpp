#pragma once

#include <QCoreApplication>
#include <chrono>

namespace quillmere {

// Delivers queued results until `done` holds, at most for a few seconds.
template <class Condition> bool waitUntil(Condition done) {
    const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    while (!done() && std::chrono::steady_clock::now() < until)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    return done();
}

} // namespace quillmere

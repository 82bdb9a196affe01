#pragma once

#include <QCoreApplication>
#include <chrono>

namespace quillmere {

// Delivers queued results until `done` holds; the limit only keeps a broken run from hanging.
template <class Condition> bool waitUntil(Condition done) {
    const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    while (!done() && std::chrono::steady_clock::now() < until)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    return done();
}

} // namespace quillmere

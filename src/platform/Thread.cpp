#include "platform/Thread.hpp"

#include <cerrno>
#include <memory>
#include <pthread.h>
#include <sys/resource.h>
#include <unistd.h>

namespace quillmere::platform {
namespace {

void* runBody(void* argument) {
    const std::unique_ptr<std::function<void()>> body(static_cast<std::function<void()>*>(argument));
    (*body)();
    return nullptr;
}

} // namespace

bool startDetachedThread(std::function<void()> body, size_t stackBytes) {
    pthread_attr_t attributes;
    if (::pthread_attr_init(&attributes) != 0) return false;
    ::pthread_attr_setstacksize(&attributes, stackBytes);
    ::pthread_attr_setdetachstate(&attributes, PTHREAD_CREATE_DETACHED);
    auto owned = std::make_unique<std::function<void()>>(std::move(body));
    pthread_t thread;
    const bool started = ::pthread_create(&thread, &attributes, runBody, owned.get()) == 0;
    ::pthread_attr_destroy(&attributes);
    if (started) (void)owned.release();
    return started;
}

} // namespace quillmere::platform

namespace quillmere::platform {

void lowerThisThreadToBackground() noexcept {
    thread_local bool lowered = false;
    if (lowered) return;
    lowered = true;
    // The process's first thread is the interface's in the application: never lowered, even
    // should it ever run a walk itself.
    if (::gettid() == ::getpid()) return;
    // On Linux a nice value belongs to the thread whose id is given. Five steps give a waking
    // interface thread about three times a walker's share; a failure leaves the thread as it
    // was, which only costs responsiveness.
    constexpr int kBackgroundNice = 5;
    errno = 0;
    const int current = ::getpriority(PRIO_PROCESS, static_cast<id_t>(::gettid()));
    if (errno == 0 && current < kBackgroundNice)
        (void)::setpriority(PRIO_PROCESS, static_cast<id_t>(::gettid()), kBackgroundNice);
}

} // namespace quillmere::platform

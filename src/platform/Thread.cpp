#include "platform/Thread.hpp"

#include <memory>
#include <pthread.h>

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

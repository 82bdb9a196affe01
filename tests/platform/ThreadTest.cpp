#include "platform/Thread.hpp"

#include <gtest/gtest.h>
#include <sys/resource.h>
#include <thread>
#include <unistd.h>

namespace quillmere::platform {
namespace {

int niceOfThisThread() {
    return ::getpriority(PRIO_PROCESS, static_cast<id_t>(::gettid()));
}

TEST(BackgroundPriority, AWorkerIsLoweredOnceAndNeverRaisedTheFirstThreadIsLeftAlone) {
    const int first = niceOfThisThread();
    lowerThisThreadToBackground();
    EXPECT_EQ(niceOfThisThread(), first) << "the process's first thread runs the interface";

    int lowered = 0, again = 0;
    std::thread([&] {
        lowerThisThreadToBackground();
        lowered = niceOfThisThread();
        lowerThisThreadToBackground();
        again = niceOfThisThread();
    }).join();
    EXPECT_GE(lowered, 5);
    EXPECT_GT(lowered, first);
    EXPECT_EQ(again, lowered);

    // A thread already further down stays there.
    int kept = 0;
    std::thread([&] {
        ASSERT_EQ(::setpriority(PRIO_PROCESS, static_cast<id_t>(::gettid()), 12), 0);
        lowerThisThreadToBackground();
        kept = niceOfThisThread();
    }).join();
    EXPECT_EQ(kept, 12);
}

} // namespace
} // namespace quillmere::platform

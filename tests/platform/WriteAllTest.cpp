#include "platform/WriteAll.hpp"

#include "platform/Fd.hpp"

#include <atomic>
#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <pthread.h>
#include <string>
#include <sys/ioctl.h>
#include <thread>
#include <unistd.h>

namespace quillmere::platform {
namespace {

void noteSignal(int) {}

// A blocked write that a signal interrupts returns what it wrote so far, or fails with EINTR
// when that was nothing; either way the rest must still be written, once and in order.
TEST(WriteAll, ResumesAWriteASignalCutShortAndRefusesAFullDisk) {
    struct sigaction action {};
    action.sa_handler = noteSignal; // no SA_RESTART: the blocked write returns early
    struct sigaction previous {};
    ASSERT_EQ(::sigaction(SIGUSR1, &action, &previous), 0);

    int ends[2];
    ASSERT_EQ(::pipe2(ends, O_CLOEXEC), 0);
    Fd reading(ends[0]);
    Fd writing(ends[1]);
    const int capacity = ::fcntl(writing.get(), F_GETPIPE_SZ);
    ASSERT_GT(capacity, 0);

    std::string payload(static_cast<size_t>(capacity) * 4 + 123, '\0');
    for (size_t i = 0; i < payload.size(); ++i)
        payload[i] = static_cast<char>('a' + i % 23);
    std::atomic<bool> wrote{false};
    std::atomic<bool> finished{false};
    std::thread writer([&] {
        wrote = writeAll(writing.get(), payload);
        writing.reset();
        finished = true;
    });
    const pthread_t writerThread = writer.native_handle();

    // Interrupted each time the pipe is full, so the writer is blocked inside a write.
    std::string received;
    int interruptions = 0;
    char chunk[65536];
    while (interruptions < 3 && !finished) {
        int queued = 0;
        while (!finished && ::ioctl(reading.get(), FIONREAD, &queued) == 0 && queued < capacity)
            std::this_thread::yield();
        if (finished) break;
        if (::pthread_kill(writerThread, SIGUSR1) != 0) break;
        ++interruptions;
        const ssize_t got = ::read(reading.get(), chunk, 4096);
        if (got <= 0) break;
        received.append(chunk, static_cast<size_t>(got));
    }
    for (ssize_t got; (got = ::read(reading.get(), chunk, sizeof chunk)) > 0;)
        received.append(chunk, static_cast<size_t>(got));
    writer.join();
    ::sigaction(SIGUSR1, &previous, nullptr);
    EXPECT_EQ(interruptions, 3);
    EXPECT_TRUE(wrote);
    EXPECT_EQ(received.size(), payload.size());
    EXPECT_TRUE(received == payload);

    const Fd full(::open("/dev/full", O_WRONLY | O_CLOEXEC));
    ASSERT_TRUE(full);
    errno = 0;
    EXPECT_FALSE(writeAll(full.get(), "anything"));
    EXPECT_EQ(errno, ENOSPC);
    EXPECT_TRUE(writeAll(full.get(), "")); // nothing to write is no failure
}

} // namespace
} // namespace quillmere::platform

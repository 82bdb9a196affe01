#include "ui/PictureMemory.hpp"

#include "ui/WidgetPicture.hpp"

#include <QWidget>
#include <cinttypes>
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <gtest/gtest.h>
#include <optional>
#include <string>
#include <thread>

namespace quillmere {
namespace {

// Memory mapped for a picture begins a page; the heap puts its own header there.
bool startsAPage(const QImage& picture) {
    return reinterpret_cast<std::uintptr_t>(picture.constBits()) % 4096 == 0;
}

TEST(PictureMemory, APictureOfItsOwnIsTakenAgainByTheNextButNeverTakesTheMemoryAScreenGaveBack) {
    // A screen at 2x, 11 MB, given back for the next transition to take.
    QWidget screen;
    screen.resize(1000, 700);
    screen.setAutoFillBackground(true);
    screen.setPalette(QPalette(QColor(255, 0, 0)));
    const uchar* given = nullptr;
    {
        WidgetPicture picture;
        given = picture.draw(screen, 2).constBits();
    }

    // A map's picture drawn on a worker meanwhile: memory of its own, whole and writable.
    const uchar* ownGiven = nullptr;
    {
        QImage own = blankPicture({1400, 1400}, 2, PictureSource::own);
        ownGiven = own.constBits();
        ASSERT_FALSE(own.isNull());
        EXPECT_NE(own.constBits(), given);
        EXPECT_TRUE(startsAPage(own));
        EXPECT_EQ(own.size(), QSize(1400, 1400));
        EXPECT_EQ(own.devicePixelRatio(), 2);
        own.fill(QColor(0, 0, 255));
        EXPECT_EQ(own.pixelColor(1399, 1399), QColor(0, 0, 255));
        // A copy changed apart leaves the picture as it was.
        QImage copy = own;
        copy.setPixelColor(0, 0, QColor(0, 255, 0));
        EXPECT_EQ(own.pixelColor(0, 0), QColor(0, 0, 255));
    }
    // A screen's picture of about that size is not given it.
    {
        QWidget smaller;
        smaller.resize(650, 700);
        WidgetPicture picture;
        EXPECT_NE(picture.draw(smaller, 2).constBits(), ownGiven);
    }
    // The next view's picture of about that size takes the memory given up, as it was left (fresh
    // memory reads as zeros, and a new mapping may well lie where an old one was); one much
    // smaller leaves it be, and while it is taken the next one gets memory of its own, never the
    // screen's.
    {
        const QImage small = blankPicture({700, 700}, 2, PictureSource::own);
        EXPECT_NE(small.pixelColor(0, 0), QColor(0, 0, 255));
        const QImage next = blankPicture({1300, 1400}, 2, PictureSource::own);
        EXPECT_EQ(next.constBits(), ownGiven);
        EXPECT_EQ(next.pixelColor(0, 0), QColor(0, 0, 255));
        const QImage another = blankPicture({1300, 1400}, 2, PictureSource::own);
        EXPECT_EQ(another.pixelColor(0, 0).alpha(), 0);
    }

    // The screen's memory is still there for the next transition (a spare may have been made
    // meanwhile, so either of two screens may take it).
    WidgetPicture a;
    WidgetPicture b;
    const uchar* first = a.draw(screen, 2).constBits();
    const uchar* second = b.draw(screen, 2).constBits();
    EXPECT_TRUE(first == given || second == given);

    // Small pictures come from the ordinary heap, where a first touch costs little.
    const QImage small = blankPicture({360, 72}, 2, PictureSource::own);
    EXPECT_EQ(small.size(), QSize(360, 72));
    EXPECT_FALSE(startsAPage(small));
}

// Whether the kernel may back the memory at `address` with huge pages, as /proc/self/smaps says.
bool mayHaveHugePages(const void* address) {
    std::ifstream maps("/proc/self/smaps");
    const auto at = reinterpret_cast<std::uintptr_t>(address);
    bool inside = false;
    for (std::string line; std::getline(maps, line);) {
        std::uintptr_t from = 0;
        std::uintptr_t to = 0;
        if (std::sscanf(line.c_str(), "%" SCNxPTR "-%" SCNxPTR, &from, &to) == 2 &&
            line.find(' ') > line.find('-'))
            inside = from <= at && at < to;
        else if (inside && line.starts_with("THPeligible:"))
            return line.find('1') != std::string::npos;
    }
    return false;
}

TEST(PictureMemory, MemoryMadeOffTheMainThreadMayBeOfHugePagesAndOnItNever) {
    std::ifstream setting("/sys/kernel/mm/transparent_hugepage/enabled");
    std::string modes;
    std::getline(setting, modes);
    // A size no picture given up by the tests before fits, so that both are made anew.
    const QSize pixels(2048, 2050);
    bool workerMayHaveHugePages = false;
    std::thread worker([&] {
        const QImage picture = blankPicture(pixels, 1, PictureSource::own);
        workerMayHaveHugePages = mayHaveHugePages(picture.constBits());
    });
    worker.join();
    if (!modes.empty() && modes.find("[never]") == std::string::npos) {
        EXPECT_TRUE(workerMayHaveHugePages);
    }
    // The worker's memory now waits for a picture of its size; this one is much smaller.
    const QImage onMainThread = blankPicture({700, 500}, 1, PictureSource::own);
    EXPECT_TRUE(startsAPage(onMainThread));
    EXPECT_FALSE(mayHaveHugePages(onMainThread.constBits()));
}

// Of two blocks of one size given up, the one of small pages is let go: the one kept is what the
// next picture drawn off the main thread should find.
TEST(PictureMemory, OfTwoBlocksOfOneSizeTheOneOfHugePagesIsKept) {
    // A whole number of huge pages, and larger than any picture the tests before gave up: the
    // smallest block given up goes first.
    const QSize hugePagesExactly(4096, 2048);
    const uchar* huge = nullptr;
    std::thread([&] { huge = blankPicture(hugePagesExactly, 1, PictureSource::own).constBits(); }).join();
    {
        // On the main thread the first takes the worker's block, the second is made of small pages;
        // the huge one is given up first.
        std::optional<QImage> first = blankPicture(hugePagesExactly, 1, PictureSource::own);
        const QImage second = blankPicture(hugePagesExactly, 1, PictureSource::own);
        ASSERT_EQ(first->constBits(), huge);
        ASSERT_NE(second.constBits(), huge);
        first.reset();
    }
    const uchar* next = nullptr;
    std::thread([&] { next = blankPicture(hugePagesExactly, 1, PictureSource::own).constBits(); }).join();
    EXPECT_EQ(next, huge);
}

// A size no picture can have is refused without holding on to any memory for it.
TEST(PictureMemory, ANegativeSizeGivesANullPictureAndKeepsNoMemory) {
    const auto mappedKiB = [] {
        std::ifstream status("/proc/self/status");
        for (std::string line; std::getline(status, line);)
            if (line.starts_with("VmSize:")) return std::stoll(line.substr(7));
        return 0LL;
    };
    const long long before = mappedKiB();
    for (int i = 0; i < 64; ++i)
        EXPECT_TRUE(blankPicture({-1000, -1000}, 1, PictureSource::own).isNull());
    // Each refused picture that kept its memory would keep 4 MB.
    EXPECT_LT(mappedKiB() - before, 32 * 1024);
}

} // namespace
} // namespace quillmere

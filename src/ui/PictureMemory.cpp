#include "ui/PictureMemory.hpp"

#include "platform/MappedBlock.hpp"
#include "platform/Thread.hpp"

#include <QCoreApplication>
#include <QThread>
#include <algorithm>
#include <memory>
#include <mutex>
#include <vector>

namespace quillmere {
namespace {

// Memory of pictures nobody uses any more, for the next to take instead of fresh memory, whose
// every page faults on its first write. Two screens' or effects' are kept (a transition fades one
// screen out while the next comes in), and one of a picture of its own (a view's rings or tiles:
// a new view's first picture, drawn on the main thread while it enters).
class PictureMemory {
public:
    static PictureMemory& shared() {
        static auto* memory = new PictureMemory; // outlives every picture, even at exit
        return *memory;
    }

    std::unique_ptr<platform::MappedBlock> take(std::size_t bytes, PictureSource source, bool hugePages) {
        {
            const std::lock_guard lock(mutex_);
            std::vector<std::unique_ptr<platform::MappedBlock>>& kept = keptFor(source);
            // Of the blocks that fit and are not twice the size asked for (a smaller picture
            // leaves the large blocks to screens), one of huge pages, then the smallest.
            const auto better = [](const platform::MappedBlock& a, const platform::MappedBlock& b) {
                return a.hugePages() != b.hugePages() ? a.hugePages() : a.size() < b.size();
            };
            auto best = kept.end();
            for (auto it = kept.begin(); it != kept.end(); ++it) {
                const std::size_t size = (*it)->size();
                if (size >= bytes && size / 2 < bytes && (best == kept.end() || better(**it, **best)))
                    best = it;
            }
            if (best != kept.end()) {
                auto block = std::move(*best);
                kept.erase(best);
                return block;
            }
        }
        auto block = std::make_unique<platform::MappedBlock>(platform::MappedBlock::map(bytes, hugePages));
        if (!*block) return nullptr;
        if (source == PictureSource::kept) prepareSpare(bytes);
        return block;
    }

    void give(std::unique_ptr<platform::MappedBlock> block, PictureSource source) {
        const std::lock_guard lock(mutex_);
        std::vector<std::unique_ptr<platform::MappedBlock>>& kept = keptFor(source);
        kept.push_back(std::move(block));
        if (kept.size() <= (source == PictureSource::kept ? kKept : kOwnKept)) return;
        // The smallest goes (the window's size is what the next screen's fade needs), which of
        // two for one size is the one in small pages.
        kept.erase(std::min_element(kept.begin(), kept.end(), [](const auto& a, const auto& b) {
            return a->size() != b->size() ? a->size() < b->size() : !a->hugePages() && b->hugePages();
        }));
    }

private:
    static constexpr std::size_t kKept = 2;
    static constexpr std::size_t kOwnKept = 1;
    static constexpr std::size_t kSpareStack = 256 * 1024;

    // Memory had to be made on the main thread, so a transition is under way and the next, which
    // fades one view out while another comes in, needs one picture more: it is made and touched
    // on a thread of its own meanwhile, in huge pages.
    void prepareSpare(std::size_t bytes) {
        {
            const std::lock_guard lock(mutex_);
            if (preparing_) return;
            preparing_ = true;
        }
        const bool started = platform::startDetachedThread(
            [this, bytes] {
                try {
                    auto spare =
                        std::make_unique<platform::MappedBlock>(platform::MappedBlock::map(bytes, true));
                    spare->prefault();
                    if (*spare) give(std::move(spare), PictureSource::kept);
                } catch (...) {
                    // Without a spare the next transition makes its own memory, as the first did.
                }
                const std::lock_guard lock(mutex_);
                preparing_ = false;
            },
            kSpareStack);
        if (!started) {
            const std::lock_guard lock(mutex_);
            preparing_ = false;
        }
    }

    std::vector<std::unique_ptr<platform::MappedBlock>>& keptFor(PictureSource source) {
        return source == PictureSource::kept ? kept_ : ownKept_;
    }

    std::mutex mutex_;
    std::vector<std::unique_ptr<platform::MappedBlock>> kept_;
    std::vector<std::unique_ptr<platform::MappedBlock>> ownKept_;
    bool preparing_ = false;
};

// A picture's cleanup: its memory goes back to the pool it came from.
template <PictureSource source> void giveBack(void* owned) {
    PictureMemory::shared().give(
        std::unique_ptr<platform::MappedBlock>(static_cast<platform::MappedBlock*>(owned)), source);
}

// Pictures smaller than this come from the ordinary heap, which hands them out without a
// mapping of their own; no screen or effect is that small.
constexpr std::size_t kSmallPicture = std::size_t{1} << 20;

} // namespace

QImage blankPicture(QSize pixels, qreal ratio, PictureSource source) {
    const qsizetype bytesPerLine = qsizetype(pixels.width()) * 4;
    const auto bytes = static_cast<std::size_t>(bytesPerLine) * static_cast<std::size_t>(pixels.height());
    QImage picture;
    std::unique_ptr<platform::MappedBlock> block;
    // Memory made on the main thread is of small pages, which never hold up a frame as a fresh
    // huge page now and then does; elsewhere, of huge pages.
    const QCoreApplication* const application = QCoreApplication::instance();
    const bool hugePages = !application || QThread::currentThread() != application->thread();
    if (!pixels.isEmpty() && bytes >= kSmallPicture)
        block = PictureMemory::shared().take(bytes, source, hugePages);
    if (block && *block) {
        uchar* const data = block->data();
        picture = QImage(
            data, pixels.width(), pixels.height(), bytesPerLine, QImage::Format_ARGB32_Premultiplied,
            source == PictureSource::kept ? &giveBack<PictureSource::kept> : &giveBack<PictureSource::own>,
            block.get());
        // A picture Qt refused never calls its cleanup: the block is still ours, and goes with it.
        if (!picture.isNull()) (void)block.release();
    } else {
        picture = QImage(pixels, QImage::Format_ARGB32_Premultiplied);
    }
    picture.setDevicePixelRatio(ratio);
    return picture;
}

} // namespace quillmere

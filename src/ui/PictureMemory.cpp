#include "ui/PictureMemory.hpp"

#include "platform/HugePageBlock.hpp"
#include "platform/Thread.hpp"

#include <algorithm>
#include <memory>
#include <mutex>
#include <vector>

namespace quillmere {
namespace {

// Memory of screens' and effects' pictures nobody uses any more. Two are kept: a transition fades
// one screen out while the next comes in.
class PictureMemory {
public:
    static PictureMemory& shared() {
        static auto* memory = new PictureMemory; // outlives every picture, even at exit
        return *memory;
    }

    std::unique_ptr<platform::HugePageBlock> take(std::size_t bytes) {
        {
            const std::lock_guard lock(mutex_);
            // The smallest block that fits and is not twice the size asked for: a smaller
            // picture leaves the large blocks to screens.
            auto best = kept_.end();
            for (auto it = kept_.begin(); it != kept_.end(); ++it) {
                const std::size_t size = (*it)->size();
                if (size >= bytes && size / 2 < bytes && (best == kept_.end() || size < (*best)->size()))
                    best = it;
            }
            if (best != kept_.end()) {
                auto block = std::move(*best);
                kept_.erase(best);
                return block;
            }
        }
        auto block = std::make_unique<platform::HugePageBlock>(platform::HugePageBlock::map(bytes));
        if (!*block) return nullptr;
        prepareSpare(bytes);
        return block;
    }

    void give(std::unique_ptr<platform::HugePageBlock> block) {
        const std::lock_guard lock(mutex_);
        kept_.push_back(std::move(block));
        if (kept_.size() <= kKept) return;
        // The smallest goes: the window's size is what the next screen's fade needs.
        kept_.erase(std::min_element(kept_.begin(), kept_.end(),
                                     [](const auto& a, const auto& b) { return a->size() < b->size(); }));
    }

private:
    static constexpr std::size_t kKept = 2;
    static constexpr std::size_t kSpareStack = 256 * 1024;

    // Memory had to be made on the main thread, so a transition is under way and the next, which
    // fades one view out while another comes in, needs one picture more: it is made and touched
    // on a thread of its own meanwhile.
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
                        std::make_unique<platform::HugePageBlock>(platform::HugePageBlock::map(bytes));
                    spare->prefault();
                    if (*spare) give(std::move(spare));
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

    std::mutex mutex_;
    std::vector<std::unique_ptr<platform::HugePageBlock>> kept_;
    bool preparing_ = false;
};

// Pictures smaller than this come from the ordinary heap: rounded up to whole huge pages, more
// than half of their block would go unused.
constexpr std::size_t kSmallPicture = std::size_t{1} << 20;

} // namespace

QImage blankPicture(QSize pixels, qreal ratio, PictureSource source) {
    const qsizetype bytesPerLine = qsizetype(pixels.width()) * 4;
    const auto bytes = static_cast<std::size_t>(bytesPerLine) * static_cast<std::size_t>(pixels.height());
    QImage picture;
    std::unique_ptr<platform::HugePageBlock> block;
    if (bytes >= kSmallPicture)
        block = source == PictureSource::kept
                    ? PictureMemory::shared().take(bytes)
                    : std::make_unique<platform::HugePageBlock>(platform::HugePageBlock::map(bytes));
    if (block && *block) {
        uchar* const data = block->data();
        const QImageCleanupFunction giveBack = [](void* owned) {
            PictureMemory::shared().give(
                std::unique_ptr<platform::HugePageBlock>(static_cast<platform::HugePageBlock*>(owned)));
        };
        const QImageCleanupFunction unmap = [](void* owned) {
            delete static_cast<platform::HugePageBlock*>(owned);
        };
        picture =
            QImage(data, pixels.width(), pixels.height(), bytesPerLine, QImage::Format_ARGB32_Premultiplied,
                   source == PictureSource::kept ? giveBack : unmap, block.release());
    } else {
        picture = QImage(pixels, QImage::Format_ARGB32_Premultiplied);
    }
    picture.setDevicePixelRatio(ratio);
    return picture;
}

} // namespace quillmere

#pragma once

#include <cstddef>
#include <utility>

namespace quillmere::platform {

// Memory mapped so that the kernel may back it with 2 MB pages: a large picture. Memory touched
// for the first time otherwise takes a fault for every 4 KB, which on a virtual machine costs
// tens of milliseconds for a 2x window. Move-only; unmapped when it goes.
class HugePageBlock {
public:
    HugePageBlock() = default;
    // A block of at least `bytes`, or an empty one when the system has no memory to map.
    static HugePageBlock map(std::size_t bytes);

    HugePageBlock(HugePageBlock&& other) noexcept
        : data_(std::exchange(other.data_, nullptr)), size_(std::exchange(other.size_, 0)) {}
    HugePageBlock& operator=(HugePageBlock&& other) noexcept {
        if (this != &other) {
            unmap();
            data_ = std::exchange(other.data_, nullptr);
            size_ = std::exchange(other.size_, 0);
        }
        return *this;
    }
    HugePageBlock(const HugePageBlock&) = delete;
    HugePageBlock& operator=(const HugePageBlock&) = delete;
    ~HugePageBlock() { unmap(); }

    // Backs every page of the block with memory now, as its first writes would, so that the
    // thread that draws into it later takes no faults. For a thread that can afford the wait.
    void prefault() const noexcept;

    [[nodiscard]] unsigned char* data() const noexcept { return data_; }
    [[nodiscard]] std::size_t size() const noexcept { return size_; }
    explicit operator bool() const noexcept { return data_ != nullptr; }

private:
    HugePageBlock(unsigned char* data, std::size_t size) noexcept : data_(data), size_(size) {}
    void unmap() noexcept;

    unsigned char* data_ = nullptr;
    std::size_t size_ = 0;
};

} // namespace quillmere::platform

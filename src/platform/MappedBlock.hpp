#pragma once

#include <cstddef>
#include <utility>

namespace quillmere::platform {

// Memory mapped for one large picture and given back to the system when it goes. Move-only.
class MappedBlock {
public:
    MappedBlock() = default;
    // A block of at least `bytes`, or an empty one when the system has no memory to map. With
    // `hugePages` the kernel may back it with 2 MB pages, which a picture is drawn into faster
    // (a 1x map's first paint: 9.8-10.1 ms against 11.3-11.8). But a fresh huge page is sometimes
    // far slower to back than its 512 small ones: on a virtual machine whose host had taken back
    // the guest's free memory, writing 8 MB of fresh huge pages took 73-158 ms, small pages 4-5.
    static MappedBlock map(std::size_t bytes, bool hugePages);

    MappedBlock(MappedBlock&& other) noexcept
        : data_(std::exchange(other.data_, nullptr)), size_(std::exchange(other.size_, 0)),
          hugePages_(other.hugePages_) {}
    MappedBlock& operator=(MappedBlock&& other) noexcept {
        if (this != &other) {
            unmap();
            data_ = std::exchange(other.data_, nullptr);
            size_ = std::exchange(other.size_, 0);
            hugePages_ = other.hugePages_;
        }
        return *this;
    }
    MappedBlock(const MappedBlock&) = delete;
    MappedBlock& operator=(const MappedBlock&) = delete;
    ~MappedBlock() { unmap(); }

    // Backs every page of the block with memory now, as its first writes would, so that the
    // thread that draws into it later takes no faults. For a thread that can afford the wait.
    void prefault() const noexcept;

    [[nodiscard]] unsigned char* data() const noexcept { return data_; }
    [[nodiscard]] std::size_t size() const noexcept { return size_; }
    [[nodiscard]] bool hugePages() const noexcept { return hugePages_; }
    explicit operator bool() const noexcept { return data_ != nullptr; }

private:
    MappedBlock(unsigned char* data, std::size_t size, bool hugePages) noexcept
        : data_(data), size_(size), hugePages_(hugePages) {}
    void unmap() noexcept;

    unsigned char* data_ = nullptr;
    std::size_t size_ = 0;
    bool hugePages_ = false;
};

} // namespace quillmere::platform

#pragma once

#include <dirent.h>
#include <unistd.h>
#include <utility>

namespace quillmere::platform {

// Owns one file descriptor and closes it when it goes; moving hands it on.
class Fd {
public:
    Fd() = default;
    explicit Fd(int fd) noexcept : fd_(fd) {}
    Fd(Fd&& other) noexcept : fd_(std::exchange(other.fd_, -1)) {}
    Fd& operator=(Fd&& other) noexcept {
        if (this != &other) reset(std::exchange(other.fd_, -1));
        return *this;
    }
    Fd(const Fd&) = delete;
    Fd& operator=(const Fd&) = delete;
    ~Fd() { reset(); }

    [[nodiscard]] int get() const noexcept { return fd_; }
    [[nodiscard]] bool isOpen() const noexcept { return fd_ >= 0; }
    explicit operator bool() const noexcept { return fd_ >= 0; }

    // Closes what it holds (if anything) and takes `fd`.
    void reset(int fd = -1) noexcept {
        if (fd_ >= 0) ::close(fd_);
        fd_ = fd;
    }
    // Gives up ownership without closing.
    [[nodiscard]] int release() noexcept { return std::exchange(fd_, -1); }

private:
    int fd_ = -1;
};

// Owns one directory stream (opendir) and closes it when it goes.
class DirectoryStream {
public:
    DirectoryStream() = default;
    explicit DirectoryStream(DIR* stream) noexcept : stream_(stream) {}
    DirectoryStream(DirectoryStream&& other) noexcept : stream_(std::exchange(other.stream_, nullptr)) {}
    DirectoryStream& operator=(DirectoryStream&& other) noexcept {
        if (this != &other) {
            if (stream_) ::closedir(stream_);
            stream_ = std::exchange(other.stream_, nullptr);
        }
        return *this;
    }
    DirectoryStream(const DirectoryStream&) = delete;
    DirectoryStream& operator=(const DirectoryStream&) = delete;
    ~DirectoryStream() {
        if (stream_) ::closedir(stream_);
    }

    [[nodiscard]] DIR* get() const noexcept { return stream_; }
    explicit operator bool() const noexcept { return stream_ != nullptr; }

private:
    DIR* stream_ = nullptr;
};

} // namespace quillmere::platform

#include "platform/PropertyList.hpp"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>

namespace quillmere::platform {

const PropertyListValue* PropertyListDictionary::find(std::string_view key) const {
    for (size_t i = 0; i < keys.size(); ++i)
        if (keys[i] == key) return &values[i];
    return nullptr;
}

const std::string* PropertyListDictionary::findString(std::string_view key) const {
    const PropertyListValue* found = find(key);
    return found ? found->string() : nullptr;
}

void PropertyListDictionary::set(std::string key, PropertyListValue value) {
    for (size_t i = 0; i < keys.size(); ++i)
        if (keys[i] == key) {
            values[i] = std::move(value);
            return;
        }
    keys.push_back(std::move(key));
    values.push_back(std::move(value));
}

namespace detail {

void appendUtf8(std::string& out, uint32_t codePoint) {
    if ((codePoint >= 0xD800 && codePoint <= 0xDFFF) || codePoint > 0x10FFFF) codePoint = 0xFFFD;
    if (codePoint < 0x80) {
        out += static_cast<char>(codePoint);
    } else if (codePoint < 0x800) {
        out += static_cast<char>(0xC0 | (codePoint >> 6));
        out += static_cast<char>(0x80 | (codePoint & 0x3F));
    } else if (codePoint < 0x10000) {
        out += static_cast<char>(0xE0 | (codePoint >> 12));
        out += static_cast<char>(0x80 | ((codePoint >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (codePoint & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (codePoint >> 18));
        out += static_cast<char>(0x80 | ((codePoint >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((codePoint >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (codePoint & 0x3F));
    }
}

} // namespace detail

std::expected<PropertyListValue, PropertyListError> parsePropertyList(std::string_view bytes) {
    if (bytes.size() > kPropertyListMaxBytes) return std::unexpected(PropertyListError::tooLarge);
    constexpr std::string_view binaryMagic = "bplist00";
    if (bytes.starts_with(binaryMagic))
        return detail::parseBinaryPropertyList(
            std::span(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size()));
    if (bytes.starts_with("bplist")) return std::unexpected(PropertyListError::unsupportedFormat);

    std::string_view text = bytes;
    if (text.starts_with("\xEF\xBB\xBF")) text.remove_prefix(3);
    const size_t first = text.find_first_not_of(" \t\r\n");
    // Only XML starts with "<"; the OpenStep text format starts with "{", "(" or a quote.
    if (first == std::string_view::npos || text[first] != '<')
        return std::unexpected(PropertyListError::unsupportedFormat);
    return detail::parseXmlPropertyList(text.substr(first));
}

std::expected<PropertyListValue, PropertyListError> parsePropertyList(std::span<const std::byte> bytes) {
    return parsePropertyList(std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()));
}

namespace {

class FileOwner {
public:
    explicit FileOwner(int fd) : fd_(fd) {}
    FileOwner(const FileOwner&) = delete;
    FileOwner& operator=(const FileOwner&) = delete;
    ~FileOwner() {
        if (fd_ >= 0) ::close(fd_);
    }
    int get() const { return fd_; }

private:
    int fd_;
};

} // namespace

std::expected<PropertyListValue, PropertyListError> readPropertyListFile(const std::string& path) {
    // Non-blocking, so that a FIFO named Info.plist cannot stall the survey.
    const FileOwner file(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY));
    if (file.get() < 0) return std::unexpected(PropertyListError::unreadable);
    struct stat info {};
    if (::fstat(file.get(), &info) != 0 || !S_ISREG(info.st_mode))
        return std::unexpected(PropertyListError::unreadable);
    if (static_cast<uint64_t>(info.st_size) > kPropertyListMaxBytes)
        return std::unexpected(PropertyListError::tooLarge);

    // The file may grow after fstat: read one byte past the bound to notice.
    std::string bytes(static_cast<size_t>(info.st_size) + 1, '\0');
    size_t filled = 0;
    while (filled < bytes.size()) {
        const ssize_t got = ::read(file.get(), bytes.data() + filled, bytes.size() - filled);
        if (got < 0) {
            if (errno == EINTR) continue;
            return std::unexpected(PropertyListError::unreadable);
        }
        if (got == 0) break;
        filled += static_cast<size_t>(got);
        if (filled == bytes.size() && bytes.size() <= kPropertyListMaxBytes)
            bytes.resize(std::min(bytes.size() * 2, kPropertyListMaxBytes + 1), '\0');
    }
    if (filled > kPropertyListMaxBytes) return std::unexpected(PropertyListError::tooLarge);
    bytes.resize(filled);
    return parsePropertyList(std::string_view(bytes));
}

PropertyListDictionary readPropertyListDictionary(const std::string& path) {
    auto value = readPropertyListFile(path);
    if (!value) return {};
    if (PropertyListDictionary* dictionary = std::get_if<PropertyListDictionary>(&value->value))
        return std::move(*dictionary);
    return {};
}

} // namespace quillmere::platform

#include "platform/PropertyList.hpp"
#include "platform/PropertyListBuilder.hpp"

#include <bit>
#include <cstring>
#include <limits>

namespace quillmere::platform::detail {

namespace {

constexpr size_t kHeaderSize = 8;
constexpr size_t kTrailerSize = 32;
// What one value of the tree costs against the expansion budget, beyond its text or bytes.
constexpr size_t kNodeCost = sizeof(PropertyListValue);
// Shared references may repeat an object many times over; the tree built may not grow
// beyond a few times the largest file read.
constexpr size_t kExpansionBudget = 4 * kPropertyListMaxBytes;

uint64_t readBigEndian(const uint8_t* bytes, size_t width) {
    uint64_t value = 0;
    for (size_t i = 0; i < width; ++i)
        value = (value << 8) | bytes[i];
    return value;
}

class BinaryReader {
public:
    explicit BinaryReader(std::span<const uint8_t> bytes) : bytes_(bytes) {}

    std::expected<PropertyListValue, PropertyListError> read() {
        if (bytes_.size() < kHeaderSize + kTrailerSize) return fail(PropertyListError::malformed);
        const uint8_t* trailer = bytes_.data() + bytes_.size() - kTrailerSize;
        offsetSize_ = trailer[6];
        refSize_ = trailer[7];
        objectCount_ = readBigEndian(trailer + 8, 8);
        const uint64_t top = readBigEndian(trailer + 16, 8);
        tableOffset_ = readBigEndian(trailer + 24, 8);
        objectsEnd_ = bytes_.size() - kTrailerSize;

        if (offsetSize_ < 1 || offsetSize_ > 8 || refSize_ < 1 || refSize_ > 8)
            return fail(PropertyListError::malformed);
        if (objectCount_ == 0 || top >= objectCount_) return fail(PropertyListError::malformed);
        if (tableOffset_ < kHeaderSize || tableOffset_ > objectsEnd_)
            return fail(PropertyListError::malformed);
        // The count is checked against the bytes the table really has before anything is sized by it.
        if (objectCount_ > (objectsEnd_ - tableOffset_) / offsetSize_)
            return fail(PropertyListError::malformed);
        // A reference narrower than the object count could not name every object.
        if (refSize_ < 8 && objectCount_ > (uint64_t{1} << (8 * refSize_)))
            return fail(PropertyListError::malformed);

        inProgress_.assign(static_cast<size_t>(objectCount_), false);
        PropertyListValue result;
        if (!readObject(top, 0, result)) return fail(error_);
        return result;
    }

private:
    std::unexpected<PropertyListError> fail(PropertyListError error) { return std::unexpected(error); }

    bool stop(PropertyListError error) {
        error_ = error;
        return false;
    }

    bool charge(size_t cost) {
        if (cost > kExpansionBudget - spent_) return stop(PropertyListError::tooLarge);
        spent_ += cost;
        return true;
    }

    // The start of object `index`, which lies in the object area after the header.
    bool objectOffset(uint64_t index, size_t& offset) {
        const uint64_t value = readBigEndian(bytes_.data() + tableOffset_ + index * offsetSize_, offsetSize_);
        if (value < kHeaderSize || value >= tableOffset_) return stop(PropertyListError::malformed);
        offset = static_cast<size_t>(value);
        return true;
    }

    // Whether `count` items of `width` bytes fit between `at` and the offset table.
    bool fits(size_t at, uint64_t count, size_t width) const {
        return at <= tableOffset_ && count <= (tableOffset_ - at) / width;
    }

    // The length of a data, text or container object: the low nibble, or an integer object after it.
    bool readLength(uint8_t marker, size_t& at, uint64_t& length) {
        length = marker & 0x0F;
        if (length != 0x0F) return true;
        if (at >= tableOffset_) return stop(PropertyListError::malformed);
        const uint8_t intMarker = bytes_[at++];
        if ((intMarker & 0xF0) != 0x10 || (intMarker & 0x0F) > 3) return stop(PropertyListError::malformed);
        const size_t width = size_t{1} << (intMarker & 0x0F);
        if (!fits(at, 1, width)) return stop(PropertyListError::malformed);
        length = readBigEndian(bytes_.data() + at, width);
        at += width;
        return true;
    }

    // The length of an object of `width`-byte items, which must all lie before the offset table.
    bool readFittingLength(uint8_t marker, size_t& at, size_t width, uint64_t& length) {
        if (!readLength(marker, at, length)) return false;
        return fits(at, length, width) || stop(PropertyListError::malformed);
    }

    bool readReference(size_t at, uint64_t& index) {
        index = readBigEndian(bytes_.data() + at, refSize_);
        if (index >= objectCount_) return stop(PropertyListError::malformed);
        return true;
    }

    bool readObject(uint64_t index, int depth, PropertyListValue& out) {
        if (depth > kPropertyListMaxDepth) return stop(PropertyListError::tooDeep);
        // An object that contains itself, however indirectly.
        if (inProgress_[index]) return stop(PropertyListError::tooDeep);
        size_t at = 0;
        if (!objectOffset(index, at)) return false;
        if (!charge(kNodeCost)) return false;
        inProgress_[index] = true;
        const bool ok = readAt(at, depth, out);
        inProgress_[index] = false;
        return ok;
    }

    bool readAt(size_t at, int depth, PropertyListValue& out) {
        const uint8_t marker = bytes_[at++];
        const uint8_t low = marker & 0x0F;
        switch (marker >> 4) {
        case 0x0:
            if (marker == 0x08 || marker == 0x09) {
                out.value = marker == 0x09;
                return true;
            }
            // Null and fill have no value-tree form.
            return stop(PropertyListError::malformed);
        case 0x1: {
            if (low > 4) return stop(PropertyListError::malformed);
            const size_t width = size_t{1} << low;
            if (!fits(at, 1, width)) return stop(PropertyListError::malformed);
            // Sixteen-byte integers carry the value in their low eight bytes.
            const size_t used = std::min<size_t>(width, 8);
            const uint64_t raw = readBigEndian(bytes_.data() + at + (width - used), used);
            out.value = static_cast<int64_t>(raw);
            return true;
        }
        case 0x2: {
            if (low != 2 && low != 3) return stop(PropertyListError::malformed);
            const size_t width = size_t{1} << low;
            if (!fits(at, 1, width)) return stop(PropertyListError::malformed);
            const uint64_t raw = readBigEndian(bytes_.data() + at, width);
            out.value = width == 4 ? static_cast<double>(std::bit_cast<float>(static_cast<uint32_t>(raw)))
                                   : std::bit_cast<double>(raw);
            return true;
        }
        case 0x3: {
            if (marker != 0x33 || !fits(at, 1, 8)) return stop(PropertyListError::malformed);
            out.value = PropertyListDate{std::bit_cast<double>(readBigEndian(bytes_.data() + at, 8))};
            return true;
        }
        case 0x4: {
            uint64_t length = 0;
            if (!readFittingLength(marker, at, 1, length)) return false;
            if (!charge(static_cast<size_t>(length))) return false;
            out.value =
                PropertyListData{std::vector<uint8_t>(bytes_.begin() + static_cast<ptrdiff_t>(at),
                                                      bytes_.begin() + static_cast<ptrdiff_t>(at + length))};
            return true;
        }
        case 0x5: {
            uint64_t length = 0;
            if (!readFittingLength(marker, at, 1, length)) return false;
            if (!charge(static_cast<size_t>(length) * 2)) return false;
            // Single-byte text is read as Latin-1, so that the tree only ever holds valid UTF-8.
            std::string text;
            text.reserve(static_cast<size_t>(length));
            for (size_t i = 0; i < length; ++i)
                appendUtf8(text, bytes_[at + i]);
            out.value = std::move(text);
            return true;
        }
        case 0x6: {
            uint64_t length = 0;
            if (!readFittingLength(marker, at, 2, length)) return false;
            if (!charge(static_cast<size_t>(length) * 3)) return false;
            out.value = decodeUtf16(at, static_cast<size_t>(length));
            return true;
        }
        case 0x8: {
            const size_t width = size_t{low} + 1;
            if (width > 8 || !fits(at, 1, width)) return stop(PropertyListError::malformed);
            out.value = PropertyListUid{readBigEndian(bytes_.data() + at, width)};
            return true;
        }
        case 0xA:
        case 0xC: {
            // A set has no form of its own in the value tree: it reads as an array.
            uint64_t count = 0;
            if (!readFittingLength(marker, at, refSize_, count)) return false;
            PropertyListArray items;
            items.reserve(static_cast<size_t>(count));
            for (uint64_t i = 0; i < count; ++i) {
                uint64_t child = 0;
                if (!readReference(at + i * refSize_, child)) return false;
                if (!readObject(child, depth + 1, items.emplace_back())) return false;
            }
            out.value = std::move(items);
            return true;
        }
        case 0xD: {
            uint64_t count = 0;
            if (!readLength(marker, at, count)) return false;
            if (count > std::numeric_limits<uint64_t>::max() / 2 || !fits(at, count * 2, refSize_))
                return stop(PropertyListError::malformed);
            DictionaryBuilder dictionary;
            const size_t valuesAt = at + static_cast<size_t>(count) * refSize_;
            for (uint64_t i = 0; i < count; ++i) {
                uint64_t keyIndex = 0;
                uint64_t valueIndex = 0;
                if (!readReference(at + i * refSize_, keyIndex)) return false;
                if (!readReference(valuesAt + i * refSize_, valueIndex)) return false;
                PropertyListValue key;
                if (!readObject(keyIndex, depth + 1, key)) return false;
                // Only text keys belong to the value tree.
                if (!key.string()) return stop(PropertyListError::malformed);
                PropertyListValue value;
                if (!readObject(valueIndex, depth + 1, value)) return false;
                dictionary.add(std::move(std::get<std::string>(key.value)), std::move(value));
            }
            out.value = dictionary.take();
            return true;
        }
        default:
            return stop(PropertyListError::malformed);
        }
    }

    std::string decodeUtf16(size_t at, size_t units) const {
        std::string text;
        text.reserve(units);
        for (size_t i = 0; i < units; ++i) {
            uint32_t unit = static_cast<uint32_t>(readBigEndian(bytes_.data() + at + 2 * i, 2));
            if (unit >= 0xD800 && unit <= 0xDBFF && i + 1 < units) {
                const auto next = static_cast<uint32_t>(readBigEndian(bytes_.data() + at + 2 * (i + 1), 2));
                if (next >= 0xDC00 && next <= 0xDFFF) {
                    unit = 0x10000 + ((unit - 0xD800) << 10) + (next - 0xDC00);
                    ++i;
                }
            }
            appendUtf8(text, unit);
        }
        return text;
    }

    std::span<const uint8_t> bytes_;
    size_t offsetSize_ = 0;
    size_t refSize_ = 0;
    uint64_t objectCount_ = 0;
    size_t tableOffset_ = 0;
    size_t objectsEnd_ = 0;
    std::vector<bool> inProgress_;
    size_t spent_ = 0;
    PropertyListError error_ = PropertyListError::malformed;
};

} // namespace

std::expected<PropertyListValue, PropertyListError> parseBinaryPropertyList(std::span<const uint8_t> bytes) {
    return BinaryReader(bytes).read();
}

} // namespace quillmere::platform::detail

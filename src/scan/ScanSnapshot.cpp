#include "scan/ScanSnapshot.hpp"

#include "base/PathText.hpp"
#include "base/Unicode.hpp"
#include "platform/Fd.hpp"
#include "platform/HostSystem.hpp"
#include "platform/WriteAll.hpp"
#include "scan/SmallItemFolding.hpp"

#include <algorithm>
#include <bit>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace quillmere::ScanSnapshotStore {
namespace {

constexpr uint8_t kMagic[4] = {'Q', 'L', 'M', 'R'};
constexpr uint32_t kNoParent = 0xFFFFFFFF;
// A record without date or name: parent, flags, size, three counts, shared bytes, name length.
constexpr size_t kMinRecordBytes = 37;

enum Flag : uint8_t {
    kDirectory = 1,
    kSymbolicLink = 2,
    kSharedElsewhere = 4,
    kCloudOnly = 8,
    kHasDate = 16,
    kAggregate = 32,
};

// ---- writing ----

class Writer {
public:
    void bytes(std::span<const uint8_t> data) { out_.insert(out_.end(), data.begin(), data.end()); }
    void u8(uint8_t value) { out_.push_back(value); }
    void u32(uint32_t value) { little(value); }
    void i32(int32_t value) { little(static_cast<uint32_t>(value)); }
    void i64(int64_t value) { little(static_cast<uint64_t>(value)); }
    void f64(double value) { little(std::bit_cast<uint64_t>(value)); }
    // False when the text's length does not fit its 32-bit prefix.
    bool text(std::string_view value) {
        if (value.size() > UINT32_MAX) return false;
        u32(static_cast<uint32_t>(value.size()));
        out_.insert(out_.end(), value.begin(), value.end());
        return true;
    }
    size_t size() const { return out_.size(); }
    std::vector<uint8_t>& buffer() { return out_; }

private:
    template <typename T> void little(T value) {
        for (size_t i = 0; i < sizeof(T); ++i)
            out_.push_back(static_cast<uint8_t>(value >> (8 * i)));
    }
    std::vector<uint8_t> out_;
};

int32_t saturated32(int64_t value) {
    return static_cast<int32_t>(std::clamp<int64_t>(value, INT32_MIN, INT32_MAX));
}

bool writeRecord(Writer& out, uint32_t parentIndex, const FileNode& node, std::string_view name) {
    const NodeFields f = node.fields();
    uint8_t flags = 0;
    if (f.isDirectory) flags |= kDirectory;
    if (f.isSymbolicLink) flags |= kSymbolicLink;
    if (f.isSharedElsewhere) flags |= kSharedElsewhere;
    if (f.isCloudOnly) flags |= kCloudOnly;
    if (f.modificationDate) flags |= kHasDate;
    if (f.isAggregate) flags |= kAggregate;
    out.u32(parentIndex);
    out.u8(flags);
    out.i64(f.allocatedSize);
    out.i32(saturated32(f.cloudOnlyCount));
    out.i32(saturated32(f.folderCount));
    out.i32(saturated32(f.fileCount));
    out.i64(f.sharedBytesTotal);
    if (f.modificationDate) out.f64(*f.modificationDate);
    return out.text(name);
}

// The records of the tree in pre-order; nothing when one cannot be stored.
std::optional<uint32_t> writeRecords(Writer& out, const FileNode& root) {
    struct Pending {
        const FileNode* node;
        uint32_t parentIndex;
    };
    // The root's record carries its path, which is what the reader rebuilds every path from.
    const std::string rootPath = fileURLPath(root.path());
    if (!isStorableRootPath(rootPath) || !writeRecord(out, kNoParent, root, rootPath)) return std::nullopt;
    uint32_t written = 1;
    std::vector<Pending> pending;
    const auto pushChildren = [&](const FileNode& node, uint32_t index) {
        const std::span<const FileNode> children = node.children();
        for (auto it = children.rbegin(); it != children.rend(); ++it)
            pending.push_back({&*it, index});
    };
    pushChildren(root, 0);
    while (!pending.empty()) {
        const Pending next = pending.back();
        pending.pop_back();
        if (written >= kMaxNodeCount || !isStorableName(next.node->name())) return std::nullopt;
        if (!writeRecord(out, next.parentIndex, *next.node, next.node->name())) return std::nullopt;
        pushChildren(*next.node, written++);
    }
    return written;
}

// ---- reading ----

class Reader {
public:
    explicit Reader(std::span<const uint8_t> data) : data_(data) {}
    size_t remaining() const { return data_.size() - position_; }

    bool u8(uint8_t& value) {
        if (remaining() < 1) return false;
        value = data_[position_++];
        return true;
    }
    bool u32(uint32_t& value) { return little(value); }
    bool i32(int32_t& value) {
        uint32_t raw = 0;
        if (!little(raw)) return false;
        value = static_cast<int32_t>(raw);
        return true;
    }
    bool i64(int64_t& value) {
        uint64_t raw = 0;
        if (!little(raw)) return false;
        value = static_cast<int64_t>(raw);
        return true;
    }
    bool f64(double& value) {
        uint64_t raw = 0;
        if (!little(raw)) return false;
        value = std::bit_cast<double>(raw);
        return true;
    }
    // The raw bytes of a length-prefixed text, still undecoded.
    bool text(std::string_view& value) {
        uint32_t length = 0;
        if (!u32(length) || remaining() < length) return false;
        value = {reinterpret_cast<const char*>(data_.data() + position_), length};
        position_ += length;
        return true;
    }

private:
    template <typename T> bool little(T& value) {
        if (remaining() < sizeof(T)) return false;
        value = 0;
        for (size_t i = 0; i < sizeof(T); ++i)
            value |= static_cast<T>(data_[position_ + i]) << (8 * i);
        position_ += sizeof(T);
        return true;
    }
    std::span<const uint8_t> data_;
    size_t position_ = 0;
};

// One record as read, kept compact: a file of millions of records holds them all at once.
struct RawNode {
    uint32_t parent = kNoParent;
    uint32_t nameLength = 0;
    const char* name = nullptr; // undecoded, into the input; checked before it is kept
    int64_t allocatedSize = 0;
    int64_t sharedBytesTotal = 0;
    double date = 0;
    int32_t cloudOnlyCount = 0;
    int32_t folderCount = 0;
    int32_t fileCount = 0;
    uint8_t flags = 0;

    std::string_view rawName() const { return {name, nameLength}; }
    NodeFields fields() const {
        return NodeFields{.isDirectory = bool(flags & kDirectory),
                          .isSymbolicLink = bool(flags & kSymbolicLink),
                          .allocatedSize = allocatedSize,
                          .isSharedElsewhere = bool(flags & kSharedElsewhere),
                          .isCloudOnly = bool(flags & kCloudOnly),
                          .cloudOnlyCount = cloudOnlyCount,
                          .isAggregate = bool(flags & kAggregate),
                          .folderCount = folderCount,
                          .fileCount = fileCount,
                          .sharedBytesTotal = sharedBytesTotal,
                          .modificationDate = (flags & kHasDate) ? std::optional<Date>(date) : std::nullopt};
    }
};

std::optional<RawNode> readRecord(Reader& in, uint32_t index) {
    RawNode raw;
    if (!in.u32(raw.parent)) return std::nullopt;
    if (index == 0 ? raw.parent != kNoParent : static_cast<int32_t>(raw.parent) < 0 || raw.parent >= index)
        return std::nullopt;
    if (!in.u8(raw.flags) || !in.i64(raw.allocatedSize) || !in.i32(raw.cloudOnlyCount) ||
        !in.i32(raw.folderCount) || !in.i32(raw.fileCount) || !in.i64(raw.sharedBytesTotal))
        return std::nullopt;
    if ((raw.flags & kHasDate) && !in.f64(raw.date)) return std::nullopt;
    std::string_view name;
    if (!in.text(name)) return std::nullopt;
    // Invalid bytes only ever become U+FFFD, so these checks on the raw bytes hold for the text.
    if (index == 0 ? !isStorableRootPath(name) : !isStorableName(name)) return std::nullopt;
    raw.name = name.data();
    raw.nameLength = static_cast<uint32_t>(name.size());
    return raw;
}

// Builds the tree bottom-up: every child has a larger index than its parent, so walking the
// records backwards finds each node's children already built. No recursion, whatever the depth.
// Every folder's path is its parent's shared path plus one segment, as in a scanned tree.
FileNode buildTree(const std::vector<RawNode>& raw) {
    const size_t count = raw.size();
    // Children of record p, in file order: childIndex[firstChild[p] .. firstChild[p + 1]).
    std::vector<uint32_t> firstChild(count + 1, 0);
    for (size_t i = 1; i < count; ++i)
        ++firstChild[raw[i].parent + 1];
    for (size_t p = 0; p < count; ++p)
        firstChild[p + 1] += firstChild[p];
    std::vector<uint32_t> childIndex(count > 0 ? count - 1 : 0);
    {
        std::vector<uint32_t> filled(firstChild.begin(), firstChild.end() - 1);
        for (size_t i = 1; i < count; ++i)
            childIndex[filled[raw[i].parent]++] = static_cast<uint32_t>(i);
    }
    const auto hasChildren = [&](size_t i) { return firstChild[i + 1] > firstChild[i]; };

    std::vector<FolderPath> paths(count);
    for (size_t i = 0; i < count; ++i) {
        if (i == 0)
            paths[0] = FolderPath::root(fileURLPath(repairedUtf8(raw[0].rawName())));
        else if (hasChildren(i))
            paths[i] = paths[raw[i].parent].child(repairedUtf8(raw[i].rawName()));
    }

    std::vector<std::optional<FileNode>> built(count);
    for (size_t i = count; i-- > 0;) {
        std::vector<FileNode> children;
        children.reserve(firstChild[i + 1] - firstChild[i]);
        for (uint32_t k = firstChild[i]; k < firstChild[i + 1]; ++k) {
            children.push_back(std::move(*built[childIndex[k]]));
            built[childIndex[k]].reset();
        }
        const std::string name = repairedUtf8(raw[i].rawName());
        if (i == 0 || hasChildren(i))
            built[i] = FileNode::at(paths[i], name, raw[i].fields(), std::move(children));
        else
            built[i] = FileNode::under(paths[raw[i].parent], name, raw[i].fields());
        paths[i] = FolderPath();
    }
    return std::move(*built[0]);
}

// ---- files ----

void syncFolder(const std::string& folder) {
    const platform::Fd fd(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (fd) (void)::fsync(fd.get());
}

// The whole of a regular file no larger than `limit`; nothing for anything else. Opening
// never waits (a FIFO has no writer to wait for) and reading stops at the size fstat gave.
std::optional<std::vector<uint8_t>> readRegularFile(const std::string& path, uint64_t limit) {
    const platform::Fd fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK));
    struct stat info {};
    if (!fd || ::fstat(fd.get(), &info) != 0 || !S_ISREG(info.st_mode) || info.st_size < 0 ||
        static_cast<uint64_t>(info.st_size) > limit)
        return std::nullopt;
    std::vector<uint8_t> bytes(static_cast<size_t>(info.st_size));
    size_t filled = 0;
    while (filled < bytes.size()) {
        const ssize_t read = ::read(fd.get(), bytes.data() + filled, bytes.size() - filled);
        if (read < 0 && errno == EINTR) continue;
        if (read < 0) return std::nullopt;
        if (read == 0) break; // the file shrank since fstat
        filled += static_cast<size_t>(read);
    }
    bytes.resize(filled);
    return bytes;
}

void makeFolders(const std::string& folder) {
    std::string partial;
    for (const std::string& component : pathComponents(folder)) {
        partial += '/';
        partial += component;
        ::mkdir(partial.c_str(), 0700);
    }
}

} // namespace

std::string folderPath(std::optional<std::string_view> xdgDataHome, std::string_view home) {
    if (xdgDataHome && xdgDataHome->starts_with('/'))
        return appendingPathComponent(*xdgDataHome, "Quillmere");
    return appendingPathComponent(home, ".local/share/Quillmere");
}

std::string fileURL(const std::string& folder) {
    makeFolders(folder);
    return appendingPathComponent(folder, kFileName);
}

std::string fileURL() {
    const char* dataHome = std::getenv("XDG_DATA_HOME");
    return fileURL(folderPath(dataHome ? std::optional<std::string_view>(dataHome) : std::nullopt,
                              platform::homeDirectory()));
}

bool isStorableName(std::string_view name) {
    return !name.empty() && name != "." && name != ".." && name.find('/') == std::string_view::npos &&
           name.find('\0') == std::string_view::npos;
}

bool isStorableRootPath(std::string_view rootPath) {
    if (!rootPath.starts_with('/') || rootPath.find('\0') != std::string_view::npos) return false;
    // "." and ".." would let the loaded tree name places other than the folder it says.
    for (const std::string& component : pathComponents(rootPath))
        if (component == "." || component == "..") return false;
    return true;
}

FileNode prune(const FileNode& node, int depth) {
    const std::span<const FileNode> children = node.children();
    if (children.empty()) return node;
    const FolderPath ownPath = FolderPath::root(fileURLPath(node.path()));
    if (depth >= kMaxStoredDepth) return FileNode::at(ownPath, node.name(), node.fields());

    std::vector<FileNode> kept;
    std::vector<FileNode> regular;
    for (const FileNode& child : children)
        (child.isExcludedFromTotals() ? kept : regular).push_back(child);
    std::stable_sort(regular.begin(), regular.end(), [](const FileNode& a, const FileNode& b) {
        return a.allocatedSize() > b.allocatedSize();
    });
    const size_t keptRegular = regular.size() == kKeptRegularChildren + 1
                                   ? regular.size()
                                   : std::min(regular.size(), kKeptRegularChildren);
    kept.insert(kept.end(), regular.begin(), regular.begin() + static_cast<std::ptrdiff_t>(keptRegular));
    if (keptRegular < regular.size()) {
        FileNode::Totals sums{.folderCount = 0};
        for (size_t i = keptRegular; i < regular.size(); ++i)
            sums.add(regular[i]);
        kept.push_back(makeAggregate(ownPath, static_cast<int64_t>(regular.size() - keptRegular), sums));
    }
    for (FileNode& child : kept)
        child = prune(child, depth + 1);
    return FileNode::at(ownPath, node.name(), node.fields(), std::move(kept));
}

std::optional<std::vector<uint8_t>> encode(const ScanSnapshot& snapshot) {
    Writer records;
    const std::optional<uint32_t> count = writeRecords(records, prune(snapshot.root));
    if (!count) return std::nullopt;
    Writer out;
    out.bytes(kMagic);
    out.u32(kVersion);
    if (!out.text(snapshot.volumeUUID) || !out.text(snapshot.volumeName)) return std::nullopt;
    out.f64(snapshot.scannedAt);
    out.u32(*count);
    if (out.size() + records.size() > kMaxFileBytes) return std::nullopt;
    out.buffer().reserve(out.size() + records.size());
    out.bytes(records.buffer());
    return std::move(out.buffer());
}

std::optional<ScanSnapshot> decode(std::span<const uint8_t> bytes) {
    if (bytes.size() < 4 || !std::equal(bytes.begin(), bytes.begin() + 4, kMagic)) return std::nullopt;
    Reader in(bytes.subspan(4));
    uint32_t version = 0;
    if (!in.u32(version) || version != kVersion) return std::nullopt;
    std::string_view volumeUUID;
    std::string_view volumeName;
    double scannedAt = 0;
    uint32_t count = 0;
    if (!in.text(volumeUUID) || !in.text(volumeName) || !in.f64(scannedAt) || !in.u32(count))
        return std::nullopt;
    // Every record takes at least kMinRecordBytes, so a count the data cannot hold is refused
    // before anything is reserved for it.
    if (count < 1 || count > kMaxNodeCount || in.remaining() / kMinRecordBytes < count) return std::nullopt;

    std::vector<RawNode> raw;
    raw.reserve(count);
    for (uint32_t i = 0; i < count; ++i) {
        std::optional<RawNode> record = readRecord(in, i);
        if (!record) return std::nullopt;
        raw.push_back(*record);
    }
    return ScanSnapshot{.root = buildTree(raw),
                        .volumeUUID = repairedUtf8(volumeUUID),
                        .volumeName = repairedUtf8(volumeName),
                        .scannedAt = scannedAt};
}

std::optional<std::string> volumeUUID(const std::string& path, const platform::MountHost& host) {
    return platform::volumeIdentifier(path, host);
}

bool writeAtomically(const std::string& path, std::span<const uint8_t> bytes) {
    const std::string folder =
        path.find('/') == std::string::npos ? std::string(".") : deletingLastPathComponent(path);
    std::string hiddenName(".");
    hiddenName.append(lastPathComponent(path)).append(".XXXXXX");
    std::string temporary = appendingPathComponent(folder, hiddenName);
    const int made = ::mkostemp(temporary.data(), O_CLOEXEC);
    if (made < 0) return false;
    platform::Fd fd(made);
    const bool written =
        platform::writeAll(fd.get(), {reinterpret_cast<const char*>(bytes.data()), bytes.size()}) &&
        ::fsync(fd.get()) == 0;
    // A failed close can mean the data never reached the disk, so it is looked at.
    const bool closed = ::close(fd.release()) == 0;
    if (!written || !closed || ::rename(temporary.c_str(), path.c_str()) != 0) {
        ::unlink(temporary.c_str());
        return false;
    }
    // The rename itself reaches the disk only with its folder.
    syncFolder(folder);
    return true;
}

bool save(const ScanSnapshot& snapshot, const std::string& path) {
    const std::optional<std::vector<uint8_t>> bytes = encode(snapshot);
    return bytes && writeAtomically(path, *bytes);
}

std::optional<ScanSnapshot> load(const std::string& path) {
    const std::optional<std::vector<uint8_t>> bytes = readRegularFile(path, kMaxFileBytes);
    if (!bytes) return std::nullopt;
    return decode(*bytes);
}

} // namespace quillmere::ScanSnapshotStore

#include "scan/FileNode.hpp"

#include "base/Saturating.hpp"
#include "base/Unicode.hpp"
#include "scan/NodeArena.hpp"

#include <climits>
#include <cstdlib>
#include <cstring>
#include <new>
#include <span>
#include <sys/stat.h>
#include <unistd.h>

namespace quillmere {
namespace detail {

struct PathRep {
    std::atomic<uint32_t> refs{1};
    uint32_t length : 31 = 0;
    uint32_t inArena : 1 = 0;
    PathRep* parent = nullptr; // one reference held
    const char* segment() const { return reinterpret_cast<const char*>(this + 1); }
    std::string_view view() const { return {segment(), length}; }
};

enum NodeFlag : uint16_t {
    kDirectory = 1 << 0,
    kSymbolicLink = 1 << 1,
    kShared = 1 << 2,
    kCloudOnly = 1 << 3,
    kAggregate = 1 << 4,
    kHasDate = 1 << 5,
    kJoinedPath = 1 << 6, // path = the folder path `path` joined with the name
    kBranch = 1 << 7,     // counts and children stored (BranchRep)
    kInArena = 1 << 8,    // memory from allocateNodeMemory's chunks
};

constexpr uint16_t kLongName = 0xFFFF;

struct NodeRep {
    std::atomic<uint32_t> refs{1};
    uint16_t flags = 0;
    uint16_t nameLength = 0;
    int64_t allocatedSize = 0;
    double date = 0;
    union {
        PathRep* path = nullptr; // one reference held
        NodeRep* nextDying;      // once the last reference went: the next node to free
    };
};

struct BranchRep : NodeRep {
    int64_t cloudOnlyCount = 0;
    int64_t folderCount = 0;
    int64_t fileCount = 0;
    int64_t sharedBytesTotal = 0;
    uint32_t childCount = 0;
    FileNode* children() { return reinterpret_cast<FileNode*>(this + 1); }
    const FileNode* children() const { return reinterpret_cast<const FileNode*>(this + 1); }
};

static_assert(sizeof(PathRep) == 16);
static_assert(sizeof(NodeRep) == 32);
static_assert(sizeof(BranchRep) == 72);
static_assert(sizeof(FileNode) == sizeof(void*));

namespace {

void retainPath(PathRep* rep) {
    if (rep) rep->refs.fetch_add(1, std::memory_order_relaxed);
}

void releasePath(PathRep* rep) {
    while (rep && rep->refs.fetch_sub(1, std::memory_order_acq_rel) == 1) {
        PathRep* parent = rep->parent;
        const bool inArena = rep->inArena;
        rep->~PathRep();
        freeNodeMemory(rep, inArena);
        rep = parent;
    }
}

PathRep* makePath(PathRep* parent, std::string_view segment) {
    bool inArena = false;
    void* memory = allocateNodeMemory(sizeof(PathRep) + segment.size(), inArena);
    auto* rep = new (memory) PathRep();
    rep->length = static_cast<uint32_t>(segment.size()) & 0x7FFFFFFFu; // no path segment comes near 2 GiB
    rep->inArena = inArena;
    std::memcpy(const_cast<char*>(rep->segment()), segment.data(), segment.size());
    retainPath(parent);
    rep->parent = parent;
    return rep;
}

// `out` is given room for `extraBytes` more. Paths are built for every hard link a scan meets
// and for every path a view shows, so the segments are gathered on the stack where they fit
// and the text is allocated once.
void appendPathText(const PathRep* rep, std::string& out, size_t extraBytes = 0) {
    constexpr size_t kOnStack = 64;
    size_t count = 0;
    size_t bytes = extraBytes;
    for (const PathRep* segment = rep; segment; segment = segment->parent) {
        ++count;
        bytes += segment->length + 1;
    }
    const PathRep* onStack[kOnStack];
    std::vector<const PathRep*> deeper(count > kOnStack ? count : 0);
    const std::span<const PathRep*> chain(count > kOnStack ? deeper.data() : onStack, count);
    size_t index = count;
    for (const PathRep* segment = rep; segment; segment = segment->parent)
        chain[--index] = segment;
    out.reserve(out.size() + bytes);
    for (const PathRep* segment : chain) {
        if (!out.empty() && out.back() != '/') out += '/';
        out.append(segment->view());
    }
}

const char* nameStorage(const NodeRep* rep) {
    if (rep->flags & kBranch) {
        const auto* branch = static_cast<const BranchRep*>(rep);
        return reinterpret_cast<const char*>(branch->children() + branch->childCount);
    }
    return reinterpret_cast<const char*>(rep + 1);
}

std::string_view nameOf(const NodeRep* rep) {
    const char* base = nameStorage(rep);
    if (rep->nameLength != kLongName) return {base, rep->nameLength};
    uint32_t length = 0;
    std::memcpy(&length, base, sizeof length);
    return {base + sizeof length, length};
}

size_t nameBytes(std::string_view name) {
    return name.size() < kLongName ? name.size() : name.size() + sizeof(uint32_t);
}

void storeName(NodeRep* rep, std::string_view name) {
    char* base = const_cast<char*>(nameStorage(rep));
    if (name.size() < kLongName) {
        rep->nameLength = static_cast<uint16_t>(name.size());
    } else {
        rep->nameLength = kLongName;
        const auto length = static_cast<uint32_t>(name.size());
        std::memcpy(base, &length, sizeof length);
        base += sizeof length;
    }
    std::memcpy(base, name.data(), name.size());
}

} // namespace

// Runs in destructors, so it allocates nothing: nodes whose last reference went wait in a list
// threaded through their own storage, which no one else reads any more, and a tree of any depth
// is freed without recursion.
void releaseNode(NodeRep* rep) noexcept {
    if (!rep || rep->refs.fetch_sub(1, std::memory_order_acq_rel) != 1) return;
    releasePath(rep->path);
    rep->nextDying = nullptr;
    NodeRep* dying = rep;
    while (dying) {
        NodeRep* node = dying;
        dying = node->nextDying;
        if (node->flags & kBranch) {
            auto* branch = static_cast<BranchRep*>(node);
            FileNode* children = branch->children();
            for (uint32_t i = 0; i < branch->childCount; ++i) {
                NodeRep* child = *reinterpret_cast<NodeRep**>(&children[i]);
                if (!child || child->refs.fetch_sub(1, std::memory_order_acq_rel) != 1) continue;
                releasePath(child->path);
                child->nextDying = dying;
                dying = child;
            }
        }
        freeNodeMemory(node, node->flags & kInArena);
    }
}

} // namespace detail

using detail::BranchRep;
using detail::NodeRep;
using detail::PathRep;

// ---- FolderPath ----

FolderPath FolderPath::root(std::string_view fullPath) {
    return FolderPath(detail::makePath(nullptr, fullPath));
}

FolderPath FolderPath::child(std::string_view name) const {
    return FolderPath(detail::makePath(rep_, name));
}

std::string FolderPath::text() const {
    std::string out;
    detail::appendPathText(rep_, out);
    return out;
}

std::string_view FolderPath::name() const {
    return rep_ ? rep_->view() : std::string_view();
}

FolderPath::FolderPath(const FolderPath& other) noexcept : rep_(other.rep_) {
    detail::retainPath(rep_);
}

FolderPath::~FolderPath() {
    detail::releasePath(rep_);
}

// ---- construction ----

namespace {

// The flags that say what `f` says; storage flags are the caller's.
uint16_t flagsOf(const NodeFields& f) {
    uint16_t flags = 0;
    if (f.isDirectory) flags |= detail::kDirectory;
    if (f.isSymbolicLink) flags |= detail::kSymbolicLink;
    if (f.isSharedElsewhere) flags |= detail::kShared;
    if (f.isCloudOnly) flags |= detail::kCloudOnly;
    if (f.isAggregate) flags |= detail::kAggregate;
    if (f.modificationDate) flags |= detail::kHasDate;
    return flags;
}

// Writes `f` into a node whose storage can hold it.
void storeFields(NodeRep* rep, uint16_t storageFlags, const NodeFields& f) {
    rep->flags = static_cast<uint16_t>(storageFlags | flagsOf(f));
    rep->allocatedSize = f.allocatedSize;
    rep->date = f.modificationDate.value_or(0);
    if (rep->flags & detail::kBranch) {
        auto* b = static_cast<BranchRep*>(rep);
        b->cloudOnlyCount = f.cloudOnlyCount;
        b->folderCount = f.folderCount;
        b->fileCount = f.fileCount;
        b->sharedBytesTotal = f.sharedBytesTotal;
    }
}

bool countsAreThoseOfAFile(const NodeFields& f) {
    return f.folderCount == 0 && f.fileCount == 1 && f.cloudOnlyCount == (f.isCloudOnly ? 1 : 0) &&
           f.sharedBytesTotal == (f.isSharedElsewhere ? f.allocatedSize : 0);
}

} // namespace

FileNode FileNode::make(PathRep* pathRep, bool pathIsJoined, std::string_view name, const NodeFields& fields,
                        std::vector<FileNode> children) {
    // Plain files keep no counts or children: their counts follow from their flags.
    const bool branch =
        fields.isDirectory || fields.isAggregate || !children.empty() || !countsAreThoseOfAFile(fields);
    const size_t header = branch ? sizeof(BranchRep) + children.size() * sizeof(FileNode) : sizeof(NodeRep);
    bool inArena = false;
    void* memory = nullptr;
    try {
        memory = detail::allocateNodeMemory(header + detail::nameBytes(name), inArena);
    } catch (...) {
        // The path reference was taken for the node: with no node it is given back.
        detail::releasePath(pathRep);
        throw;
    }
    NodeRep* rep = branch ? new (memory) BranchRep() : new (memory) NodeRep();
    uint16_t storage = inArena ? detail::kInArena : 0;
    if (pathIsJoined) storage |= detail::kJoinedPath;
    if (branch) storage |= detail::kBranch;
    storeFields(rep, storage, fields);
    rep->path = pathRep;
    if (branch) {
        auto* b = static_cast<BranchRep*>(rep);
        b->childCount = static_cast<uint32_t>(children.size());
        FileNode* slots = b->children();
        for (size_t i = 0; i < children.size(); ++i)
            new (&slots[i]) FileNode(std::move(children[i]));
    }
    detail::storeName(rep, name);
    return FileNode(rep);
}

FileNode::FileNode()
    : FileNode(make(detail::makePath(nullptr, ""), false, "", NodeFields{.fileCount = 1}, {})) {}

FileNode::FileNode(std::string_view name, std::string_view path, bool isDirectory, bool isSymbolicLink,
                   int64_t allocatedSize, bool isSharedElsewhere, bool isCloudOnly, int64_t cloudOnlyCount,
                   bool isAggregate, int64_t folderCount, int64_t fileCount, int64_t sharedBytesTotal,
                   std::optional<Date> modificationDate, std::vector<FileNode> children)
    : FileNode(make(detail::makePath(nullptr, path), false, name,
                    NodeFields{isDirectory, isSymbolicLink, allocatedSize, isSharedElsewhere, isCloudOnly,
                               cloudOnlyCount, isAggregate, folderCount, fileCount, sharedBytesTotal,
                               modificationDate},
                    std::move(children))) {}

FileNode FileNode::under(const FolderPath& parent, std::string_view name, const NodeFields& fields,
                         std::vector<FileNode> children) {
    if (fields.isDirectory || !children.empty())
        return at(parent.child(name), name, fields, std::move(children));
    detail::retainPath(parent.rep_);
    return make(parent.rep_, true, name, fields, std::move(children));
}

FileNode FileNode::at(const FolderPath& ownPath, std::string_view name, const NodeFields& fields,
                      std::vector<FileNode> children) {
    detail::retainPath(ownPath.rep_);
    return make(ownPath.rep_, false, name, fields, std::move(children));
}

FileNode FileNode::folder(const FolderPath& ownPath, std::string_view name,
                          std::optional<Date> modificationDate, std::vector<FileNode> children) {
    const Totals t = folderTotals(children);
    NodeFields fields{.isDirectory = true,
                      .allocatedSize = t.allocatedSize,
                      .cloudOnlyCount = t.cloudOnlyCount,
                      .folderCount = t.folderCount,
                      .fileCount = t.fileCount,
                      .sharedBytesTotal = t.sharedBytesTotal,
                      .modificationDate = modificationDate};
    return at(ownPath, name, fields, std::move(children));
}

FileNode::FileNode(const FileNode& other) noexcept : rep_(other.rep_) {
    if (rep_) rep_->refs.fetch_add(1, std::memory_order_relaxed);
}

FileNode::~FileNode() {
    detail::releaseNode(rep_);
}

// ---- fields ----

std::string_view FileNode::name() const {
    return detail::nameOf(rep_);
}

std::string FileNode::path() const {
    std::string out;
    const bool joined = rep_->flags & detail::kJoinedPath;
    detail::appendPathText(rep_->path, out, joined ? detail::nameOf(rep_).size() + 1 : 0);
    if (joined) {
        if (!out.empty() && out.back() != '/') out += '/';
        out.append(name());
    }
    return out;
}

bool FileNode::isDirectory() const {
    return rep_->flags & detail::kDirectory;
}
bool FileNode::isSymbolicLink() const {
    return rep_->flags & detail::kSymbolicLink;
}
int64_t FileNode::allocatedSize() const {
    return rep_->allocatedSize;
}
bool FileNode::isSharedElsewhere() const {
    return rep_->flags & detail::kShared;
}
bool FileNode::isCloudOnly() const {
    return rep_->flags & detail::kCloudOnly;
}
bool FileNode::isAggregate() const {
    return rep_->flags & detail::kAggregate;
}

int64_t FileNode::cloudOnlyCount() const {
    if (rep_->flags & detail::kBranch) return static_cast<const BranchRep*>(rep_)->cloudOnlyCount;
    return isCloudOnly() ? 1 : 0;
}
int64_t FileNode::folderCount() const {
    return (rep_->flags & detail::kBranch) ? static_cast<const BranchRep*>(rep_)->folderCount : 0;
}
int64_t FileNode::fileCount() const {
    return (rep_->flags & detail::kBranch) ? static_cast<const BranchRep*>(rep_)->fileCount : 1;
}
int64_t FileNode::sharedBytesTotal() const {
    if (rep_->flags & detail::kBranch) return static_cast<const BranchRep*>(rep_)->sharedBytesTotal;
    return isSharedElsewhere() ? rep_->allocatedSize : 0;
}

std::optional<Date> FileNode::modificationDate() const {
    if (rep_->flags & detail::kHasDate) return rep_->date;
    return std::nullopt;
}

std::span<const FileNode> FileNode::children() const {
    if (!(rep_->flags & detail::kBranch)) return {};
    const auto* b = static_cast<const BranchRep*>(rep_);
    return {b->children(), b->childCount};
}

NodeFields FileNode::fields() const {
    return NodeFields{isDirectory(), isSymbolicLink(),   allocatedSize(),   isSharedElsewhere(),
                      isCloudOnly(), cloudOnlyCount(),   isAggregate(),     folderCount(),
                      fileCount(),   sharedBytesTotal(), modificationDate()};
}

FolderPath FileNode::ownFolderPath() const {
    if (rep_->flags & detail::kJoinedPath) return FolderPath::root(path());
    detail::retainPath(rep_->path);
    return FolderPath(rep_->path);
}

std::optional<std::string_view> FileNode::componentBelow(const FileNode& parent) const {
    if (parent.rep_->flags & detail::kJoinedPath) return std::nullopt;
    const PathRep* parentPath = parent.rep_->path;
    if (rep_->flags & detail::kJoinedPath) {
        if (rep_->path == parentPath) return name();
        return std::nullopt;
    }
    if (rep_->path && rep_->path->parent == parentPath && parentPath) return rep_->path->view();
    return std::nullopt;
}

void FileNode::makeSole() {
    if (rep_->refs.load(std::memory_order_acquire) == 1) return;
    const auto kids = children();
    std::vector<FileNode> copies(kids.begin(), kids.end());
    // Taken last: `make` gives it back if it fails, nothing before it could.
    detail::retainPath(rep_->path);
    *this = make(rep_->path, rep_->flags & detail::kJoinedPath, name(), fields(), std::move(copies));
}

void FileNode::setFields(const NodeFields& f) {
    makeSole();
    const bool branch = rep_->flags & detail::kBranch;
    // A plain file's storage holds no counts: fields that need them take a new node.
    if (!branch && (f.isDirectory || f.isAggregate || !countsAreThoseOfAFile(f))) {
        detail::retainPath(rep_->path);
        *this = make(rep_->path, rep_->flags & detail::kJoinedPath, name(), f, {});
        return;
    }
    storeFields(rep_, rep_->flags & (detail::kJoinedPath | detail::kBranch | detail::kInArena), f);
}

FileNode& FileNode::mutableChild(size_t index) {
    makeSole();
    return static_cast<BranchRep*>(rep_)->children()[index];
}

FileNode::Totals& FileNode::Totals::add(const FileNode& child) {
    if (!child.isExcludedFromTotals()) allocatedSize = saturatingAdd(allocatedSize, child.allocatedSize());
    cloudOnlyCount = saturatingAdd(cloudOnlyCount, child.cloudOnlyCount());
    folderCount = saturatingAdd(folderCount, child.folderCount());
    fileCount = saturatingAdd(fileCount, child.fileCount());
    sharedBytesTotal = saturatingAdd(sharedBytesTotal, child.sharedBytesTotal());
    return *this;
}

FileNode::Totals FileNode::folderTotals(std::span<const FileNode> children) {
    Totals t;
    for (const FileNode& child : children)
        t.add(child);
    return t;
}

NodeFields FileNode::fieldsWithTotalsOf(std::span<const FileNode> children) const {
    const Totals t = folderTotals(children);
    NodeFields f = fields();
    f.isAggregate = false;
    f.allocatedSize = t.allocatedSize;
    f.cloudOnlyCount = t.cloudOnlyCount;
    f.folderCount = t.folderCount;
    f.fileCount = t.fileCount;
    f.sharedBytesTotal = t.sharedBytesTotal;
    return f;
}

FileNode FileNode::rebuilt(std::vector<FileNode> children) const {
    const NodeFields f = fieldsWithTotalsOf(children);
    // A path built component by component is already in file-URL form; only a path given
    // whole may need normalising, and checking it costs no walk up a deep chain.
    const bool givenWhole = (rep_->flags & detail::kJoinedPath) || rep_->path->parent == nullptr;
    if (givenWhole) {
        const std::string current = path();
        const std::string normalized = fileURLPath(current);
        if (normalized != current) return at(FolderPath::root(normalized), name(), f, std::move(children));
    }
    return at(ownFolderPath(), name(), f, std::move(children));
}

} // namespace quillmere

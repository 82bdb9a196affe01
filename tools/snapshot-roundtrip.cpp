// Scans a folder, saves the scan to a file, loads the file back and prints the tree as saved
// and as loaded, then whether they agree. Exit status 0 only when they do.
#include "platform/HostSystem.hpp"
#include "scan/DiskScanner.hpp"
#include "scan/ScanSnapshot.hpp"

#include <chrono>
#include <iostream>
#include <vector>

namespace {

using quillmere::FileNode;

void printTree(const FileNode& root) {
    std::vector<std::pair<const FileNode*, int>> pending{{&root, 0}};
    while (!pending.empty()) {
        const auto [node, depth] = pending.back();
        pending.pop_back();
        std::cout << std::string(static_cast<size_t>(depth) * 2, ' ') << node->name() << "  "
                  << node->allocatedSize() << " B, " << node->folderCount() << " folders, "
                  << node->fileCount() << " files" << (node->isAggregate() ? " [aggregate]" : "") << "\n";
        const auto children = node->children();
        for (auto it = children.rbegin(); it != children.rend(); ++it)
            pending.push_back({&*it, depth + 1});
    }
}

// Whether two trees agree in names, fields and shape, and in paths except those of aggregates,
// which are named after their display text once loaded.
bool sameTree(const FileNode& a, const FileNode& b) {
    std::vector<std::pair<const FileNode*, const FileNode*>> pending{{&a, &b}};
    while (!pending.empty()) {
        const auto [x, y] = pending.back();
        pending.pop_back();
        if (x->name() != y->name() || x->fields() != y->fields() ||
            x->children().size() != y->children().size())
            return false;
        if (!x->isAggregate() && x->path() != y->path()) return false;
        for (size_t i = 0; i < x->children().size(); ++i)
            pending.push_back({&x->children()[i], &y->children()[i]});
    }
    return true;
}

} // namespace

int main(int argc, char** argv) {
    namespace store = quillmere::ScanSnapshotStore;
    if (argc != 3) {
        std::cerr << "Usage: snapshot-roundtrip FOLDER FILE\n";
        return 2;
    }
    const std::string folder = argv[1];
    const std::string file = argv[2];
    const std::optional<quillmere::DiskScanResult> result =
        quillmere::DiskScanner(200).scanToEnd(folder, true, quillmere::platform::homeDirectory());
    if (!result) {
        std::cerr << "Cannot scan " << folder << "\n";
        return 1;
    }
    const double now =
        std::chrono::duration<double>(std::chrono::system_clock::now().time_since_epoch()).count();
    const quillmere::ScanSnapshot snapshot{.root = result->root,
                                           .volumeUUID = store::volumeUUID(folder).value_or(""),
                                           .volumeName = std::string(quillmere::lastPathComponent(folder)),
                                           .scannedAt = now};
    if (!store::save(snapshot, file)) {
        std::cerr << "Cannot save the scan to " << file << "\n";
        return 1;
    }
    const std::optional<quillmere::ScanSnapshot> loaded = store::load(file);
    if (!loaded) {
        std::cerr << "Cannot load " << file << "\n";
        return 1;
    }
    const FileNode saved = store::prune(snapshot.root);
    std::cout << "Saved (volume " << snapshot.volumeUUID << "):\n";
    printTree(saved);
    std::cout << "\nLoaded (volume " << loaded->volumeUUID << ", name " << loaded->volumeName << "):\n";
    printTree(loaded->root);
    const bool same = sameTree(saved, loaded->root) && loaded->volumeUUID == snapshot.volumeUUID &&
                      loaded->volumeName == snapshot.volumeName && loaded->scannedAt == snapshot.scannedAt;
    std::cout << "\n" << (same ? "The loaded tree matches the saved one." : "The trees DIFFER.") << "\n";
    return same ? 0 : 1;
}

// Times the helper's wire record and the merge: encoding and decoding a large reply, and
// grafting it into a scan. Run by hand; see bench/README.md.
#include "access/PrivilegedNode.hpp"
#include "access/PrivilegedWalkMerge.hpp"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <malloc.h>
#include <string>
#include <sys/resource.h>
#include <unistd.h>

namespace {

using namespace quillmere;
using Clock = std::chrono::steady_clock;

double secondsSince(Clock::time_point start) {
    return std::chrono::duration<double>(Clock::now() - start).count();
}

// Resident memory now, from /proc/self/statm.
long residentMiB() {
    long pages = 0;
    long resident = 0;
    if (FILE* statm = std::fopen("/proc/self/statm", "r")) {
        if (std::fscanf(statm, "%ld %ld", &pages, &resident) != 2) resident = 0;
        std::fclose(statm);
    }
    return resident * (::sysconf(_SC_PAGESIZE) / 1024) / 1024;
}

long peakMiB() {
    rusage usage{};
    ::getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss / 1024;
}

// A reply for /srv/walked of `files` files, 100 to a folder, folders 10 to a parent,
// plus one chain as deep as a reply may be.
PrivilegedNode makeReply(int64_t files) {
    PrivilegedNode root{.name = "walked", .path = "/srv/walked", .isDirectory = true, .folderCount = 1};
    std::vector<PrivilegedNode> leaves;
    int64_t made = 0;
    for (int64_t group = 0; made < files; ++group) {
        const std::string groupPath = root.path + "/g" + std::to_string(group);
        PrivilegedNode groupNode{
            .name = "g" + std::to_string(group), .path = groupPath, .isDirectory = true, .folderCount = 1};
        for (int folder = 0; folder < 10 && made < files; ++folder) {
            const std::string folderPath = groupPath + "/f" + std::to_string(folder);
            PrivilegedNode folderNode{.name = "f" + std::to_string(folder),
                                      .path = folderPath,
                                      .isDirectory = true,
                                      .folderCount = 1};
            for (int file = 0; file < 100 && made < files; ++file, ++made) {
                const std::string name = "file-" + std::to_string(file) + ".dat";
                folderNode.children.push_back(
                    PrivilegedNode{.name = name,
                                   .path = folderPath + "/" + name,
                                   .allocatedSize = 4096,
                                   .fileCount = 1,
                                   .modificationDate = 7.5e8 + static_cast<double>(file)});
                folderNode.allocatedSize += 4096;
                folderNode.fileCount += 1;
            }
            groupNode.allocatedSize += folderNode.allocatedSize;
            groupNode.fileCount += folderNode.fileCount;
            groupNode.folderCount += folderNode.folderCount;
            groupNode.children.push_back(std::move(folderNode));
        }
        root.allocatedSize += groupNode.allocatedSize;
        root.fileCount += groupNode.fileCount;
        root.folderCount += groupNode.folderCount;
        root.children.push_back(std::move(groupNode));
    }
    PrivilegedNode* tip = &root;
    for (std::size_t level = 2; level <= kPrivilegedNodeMaxDepth; ++level) {
        tip->children.push_back(
            PrivilegedNode{.name = "d", .path = tip->path + "/d", .isDirectory = true, .folderCount = 1});
        tip = &tip->children.back();
    }
    return root;
}

class OneReply : public PrivilegedScanning {
public:
    explicit OneReply(std::string bytes) : bytes_(std::move(bytes)) {}
    PrivilegedWalk walkSubtree(const std::string& path) override {
        auto decoded = decodePrivilegedNode(bytes_, path);
        return {decoded ? std::optional(std::move(*decoded)) : std::nullopt, false};
    }

private:
    std::string bytes_;
};

} // namespace

int main(int argc, char** argv) {
    const int64_t files = argc > 1 ? std::atoll(argv[1]) : 1000000;
    std::string bytes;
    {
        const PrivilegedNode reply = makeReply(files);
        const auto start = Clock::now();
        bytes = encodePrivilegedNode(reply);
        std::printf("encode  %9.3f s  %8.1f MiB of JSON  %ld MiB peak\n", secondsSince(start),
                    static_cast<double>(bytes.size()) / (1 << 20), peakMiB());
    }
    {
        ::malloc_trim(0); // the encoded tree's pages go back, so the figure below is the records'
        const long before = residentMiB();
        const auto start = Clock::now();
        const auto decoded = decodePrivilegedNode(bytes, "/srv/walked");
        const double seconds = secondsSince(start);
        std::printf("decode  %9.3f s  %8.1f MiB/s  %s  the records hold %ld MiB\n", seconds,
                    static_cast<double>(bytes.size()) / (1 << 20) / seconds, decoded ? "ok" : "REFUSED",
                    residentMiB() - before);
    }
    {
        const FolderPath rootPath = FolderPath::root("/");
        const FolderPath srv = rootPath.child("srv");
        const FileNode tree =
            FileNode::folder(rootPath, "/", std::nullopt,
                             {FileNode::folder(srv, "srv", std::nullopt,
                                               {FileNode::folder(srv.child("walked"), "walked", {}, {})})});
        DiskScanResult result{
            .root = tree, .deniedPaths = {{"/srv/walked", "/srv", 4096}}, .deniedBytesEstimate = 4096};
        OneReply helper(bytes);
        const auto start = Clock::now();
        const DiskScanResult merged = augmentScanResult(result, helper, "/home/nobody");
        std::printf("merge   %9.3f s  (decode, convert and graft)  %lld files grafted  peak %ld MiB\n",
                    secondsSince(start), static_cast<long long>(merged.root.fileCount()), peakMiB());
    }
    return 0;
}

// Builds the shapes that once made the engine quadratic, for scan-bench, and a folder of many
// hard links for window-bench:
//
//   make-shape chain DEST LEVELS       a chain of LEVELS folders named "d", one 4 KiB file at its end
//   make-shape wide DEST ENTRIES       ENTRIES empty files directly in DEST
//   make-shape nested DEST ENTRIES     the same files one level down, in DEST/inner
//   make-shape links DEST ENTRIES      at least ENTRIES hard links directly in DEST: 4 KiB files with
//                                      three more links each, beside the file in the same folder,
//                                      so that the later links count as shared and are never folded
//
// DEST must be missing or empty. Everything is made through descriptors, so the chain's paths
// may be far longer than PATH_MAX.
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

namespace {

int openFolder(int at, const char* name) {
    return ::openat(at, name, O_RDONLY | O_DIRECTORY | O_CLOEXEC);
}

bool makeFolder(int at, const char* name) {
    return ::mkdirat(at, name, 0755) == 0 || errno == EEXIST;
}

bool makeChain(int fd, long levels) {
    for (long i = 0; i < levels; ++i) {
        if (!makeFolder(fd, "d")) return false;
        const int next = openFolder(fd, "d");
        ::close(fd);
        if (next < 0) return false;
        fd = next;
    }
    const int file = ::openat(fd, "file", O_WRONLY | O_CREAT | O_CLOEXEC, 0644);
    const std::string block(4096, 'q');
    const bool written = file >= 0 && ::write(file, block.data(), block.size()) == 4096;
    if (file >= 0) ::close(file);
    ::close(fd);
    return written;
}

bool makeFiles(int fd, long entries) {
    for (long i = 0; i < entries; ++i) {
        const int file =
            ::openat(fd, ("f" + std::to_string(i)).c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0644);
        if (file < 0) return false;
        ::close(file);
    }
    ::close(fd);
    return true;
}

bool makeLinks(int fd, long entries) {
    const std::string block(4096, 'q');
    for (long i = 0; i < (entries + 2) / 3; ++i) {
        const std::string name = "f" + std::to_string(i);
        const int file = ::openat(fd, name.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0644);
        if (file < 0) return false;
        const bool written = ::write(file, block.data(), block.size()) == 4096;
        ::close(file);
        if (!written) return false;
        for (int link = 1; link <= 3; ++link)
            if (::linkat(fd, name.c_str(), fd, (name + "-" + std::to_string(link)).c_str(), 0) != 0)
                return false;
    }
    ::close(fd);
    return true;
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 4) {
        std::fprintf(stderr, "Usage: make-shape chain|wide|nested|links DEST COUNT\n");
        return 2;
    }
    const std::string shape = argv[1];
    const char* dest = argv[2];
    const long count = std::strtol(argv[3], nullptr, 10);
    if (count < 0 || (shape != "chain" && shape != "wide" && shape != "nested" && shape != "links")) {
        std::fprintf(stderr, "Usage: make-shape chain|wide|nested|links DEST COUNT\n");
        return 2;
    }
    if (!makeFolder(AT_FDCWD, dest)) {
        std::fprintf(stderr, "make-shape: cannot make %s: %s\n", dest, std::strerror(errno));
        return 1;
    }
    int fd = openFolder(AT_FDCWD, dest);
    if (fd >= 0 && shape == "nested") {
        const int inner = makeFolder(fd, "inner") ? openFolder(fd, "inner") : -1;
        ::close(fd);
        fd = inner;
    }
    const bool made = fd >= 0 && (shape == "chain"   ? makeChain(fd, count)
                                  : shape == "links" ? makeLinks(fd, count)
                                                     : makeFiles(fd, count));
    if (!made) {
        std::fprintf(stderr, "make-shape: cannot build %s: %s\n", dest, std::strerror(errno));
        return 1;
    }
    return 0;
}

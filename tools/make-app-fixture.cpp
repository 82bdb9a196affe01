// Writes a disk shaped like the places the Applications section reads, for trying the section
// by hand:
//   make-app-fixture ROOT [--scaled]
//   QUILLMERE_SYSTEM_ROOT=ROOT HOME=ROOT/Users/ann quillmere --debug-section applications
#include "support/AppFixture.hpp"

#include <cstdio>
#include <exception>
#include <string>

int main(int argc, char** argv) {
    if (argc < 2 || argv[1][0] != '/') {
        std::fprintf(stderr, "Usage: make-app-fixture ROOT [--scaled]\nROOT must be an absolute path.\n");
        return 2;
    }
    try {
        const quillmere::fixture::FixtureDisk disk(argv[1]);
        if (argc > 2 && std::string(argv[2]) == "--scaled")
            quillmere::fixture::writeScaledScenario(disk, 200, 100000);
        else
            quillmere::fixture::writeStandardScenario(disk);
        std::printf("Wrote the fixture. Try it with:\n  QUILLMERE_SYSTEM_ROOT=%s HOME=%s quillmere\n",
                    disk.root().c_str(), disk.home().c_str());
    } catch (const std::exception& error) {
        std::fprintf(stderr, "%s\n", error.what());
        return 1;
    }
    return 0;
}

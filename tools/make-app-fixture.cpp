// Writes a disk shaped like the places the Applications section reads, for trying the section
// by hand:
//   make-app-fixture ROOT [--scaled | --linux | --linux-scaled]
//   QUILLMERE_SYSTEM_ROOT=ROOT HOME=ROOT/Users/ann quillmere --debug-section applications
// The Linux layouts hold Flatpak installations and snaps instead of bundles, with the home
// folder at ROOT/home/ann.
#include "support/AppFixture.hpp"

#include <cstdio>
#include <exception>
#include <string>

int main(int argc, char** argv) {
    if (argc < 2 || argv[1][0] != '/') {
        std::fprintf(stderr, "Usage: make-app-fixture ROOT [--scaled | --linux | --linux-scaled]\n"
                             "ROOT must be an absolute path.\n");
        return 2;
    }
    const std::string layout = argc > 2 ? argv[2] : "";
    const bool linux = layout == "--linux" || layout == "--linux-scaled";
    try {
        const quillmere::fixture::FixtureDisk disk(
            argv[1], linux ? std::string(quillmere::fixture::kLinuxHome) : std::string("Users/ann"));
        if (layout == "--scaled")
            quillmere::fixture::writeScaledScenario(disk, 200, 100000);
        else if (layout == "--linux")
            quillmere::fixture::writeLinuxScenario(disk);
        else if (layout == "--linux-scaled")
            quillmere::fixture::writeScaledLinuxScenario(disk, 200, 100);
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

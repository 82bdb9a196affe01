// Lists the scannable volumes of this machine with their capacities, in the order the volume
// picker shows them. Capacities are also given in 1K blocks to compare with `df -k`.
#include "base/Format.hpp"
#include "scan/ScannableVolume.hpp"

#include <iostream>

namespace {

void print(const quillmere::ScannableVolume& volume) {
    std::cout << volume.name << "\n"
              << "  mount point:  " << volume.url << "\n"
              << "  identifier:   " << volume.uuid.value_or("(none)") << "\n"
              << "  total:        " << volume.totalCapacityBytes << " bytes, "
              << volume.totalCapacityBytes / 1024 << " 1K-blocks ("
              << quillmere::formatByteCount(volume.totalCapacityBytes) << ")\n"
              << "  available:    " << volume.availableCapacityBytes << " bytes, "
              << volume.availableCapacityBytes / 1024 << " 1K-blocks ("
              << quillmere::formatByteCount(volume.availableCapacityBytes) << ")\n"
              << "  startup: " << (volume.isStartupVolume ? "yes" : "no")
              << ", removable: " << (volume.isRemovable ? "yes" : "no")
              << ", internal: " << (volume.isInternal ? "yes" : "no") << "\n";
}

} // namespace

int main() {
    const std::vector<quillmere::ScannableVolume> volumes = quillmere::ScannableVolume::mountedVolumes();
    std::cout << volumes.size() << " scannable volume(s)\n\n";
    for (const quillmere::ScannableVolume& volume : volumes)
        print(volume);
    std::cout << "\nStartup volume:\n";
    print(quillmere::ScannableVolume::startupVolume());
    return 0;
}

#include "app/state/SnapshotIO.hpp"

namespace quillmere {

SnapshotIO SnapshotIO::standard() {
    return SnapshotIO{
        .save =
            [](ScanSnapshot snapshot) {
                (void)ScanSnapshotStore::save(snapshot, ScanSnapshotStore::fileURL());
            },
        .load = []() -> std::optional<ScanSnapshot> {
            // The volume is asked first so that a machine without one never touches the file.
            const std::optional<std::string> uuid = ScanSnapshotStore::volumeUUID("/");
            if (!uuid) return std::nullopt;
            return loadStartupSnapshot(uuid, ScanSnapshotStore::fileURL());
        },
    };
}

std::optional<ScanSnapshot> loadStartupSnapshot(const std::optional<std::string>& startupVolumeUUID,
                                                const std::string& path) {
    if (!startupVolumeUUID) return std::nullopt;
    std::optional<ScanSnapshot> snapshot = ScanSnapshotStore::load(path);
    if (!snapshot || snapshot->volumeUUID != *startupVolumeUUID) return std::nullopt;
    return snapshot;
}

} // namespace quillmere

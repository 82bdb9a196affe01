#pragma once

#include <string>

namespace quillmere {

// Reads what the current user may see of a volume.
class AccessAuditor {
public:
    // With no probe, the probe is the home folder itself: Linux has no Full Disk Access
    // gate, and a user who cannot read their own home folder sees nothing worth scanning.
    AccessAuditor(std::string volumePath, std::string homeDirectory,
                  std::string fullDiskAccessProbePath = {});

    const std::string& volumePath() const { return volumePath_; }
    const std::string& homeDirectory() const { return homeDirectory_; }
    const std::string& fullDiskAccessProbePath() const { return probePath_; }

    // Whether the probe location is readable; asked anew on every call.
    bool isFullDiskAccessGranted() const;

    // The auditor of "/" for the current user.
    static bool hasFullDiskAccess();

private:
    std::string volumePath_;
    std::string homeDirectory_;
    std::string probePath_;
};

} // namespace quillmere

#pragma once

#include "applications/model/ApplicationRecords.hpp"
#include "applications/model/ItemSizer.hpp"
#include "applications/model/SnapYaml.hpp"

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace quillmere::snap {

// Snaps as snapd mounts them: "<mounts>/<instance>/current" links to the mounted revision,
// whose "meta/snap.yaml" describes the snap; the package file itself is
// "<packages>/<instance>_<revision>.snap".

struct Mount {
    // The instance name ("firefox", or "firefox_beta" for a second instance).
    std::string instance;
    // "<mounts>/<instance>".
    std::string folder;
    // What "current" links to ("2356", "x1").
    std::string revision;

    bool operator==(const Mount&) const = default;
};

// Every snap with a current revision, in listing order, applications or not.
std::vector<Mount> listMounts(const std::string& mounts);
// Whether a snap of that instance name is installed, whatever its kind.
bool isInstalled(const std::string& mounts, std::string_view instance);
// Whether the snap is an application: base, core, snapd, kernel and gadget snaps are not.
// A snap whose description cannot be read is one, unless its name is a base's or snapd's.
bool isApplication(std::string_view instance, const std::optional<SnapYaml>& description);

// The record of an application snap; none for a snap that is not one. Named by its title,
// else its name, else the instance name; sized by its package file.
std::optional<InstalledApp> readApplication(const Mount& mount, const std::string& packages,
                                            const ItemSizer& sizer);

} // namespace quillmere::snap

#pragma once

#include "applications/model/ApplicationRecords.hpp"
#include "applications/model/ItemSizer.hpp"
#include "platform/PropertyList.hpp"
#include "systemdata/ProtectedLocations.hpp"

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace quillmere {

// The signing team code of the bundle at a path; none for an unsigned bundle.
using TeamIdentifierReader = std::function<std::optional<std::string>(const std::string& bundlePath)>;

// Linux has no code-signing service and nothing installed here carries a signature: no bundle
// has a team, so the developer always comes from the copyright line.
std::optional<std::string> noSigningTeam(const std::string& bundlePath);

// The bundles in `folders`, in discovery order, each once: the folders' direct ".app"
// directories and the ".app" entries one level inside their other directories. Each bundle is
// given as it was listed; a second route to the same standardized path is dropped.
std::vector<std::string> bundlePaths(const std::vector<std::string>& folders);

// The holder named in the copyright line ("NSHumanReadableCopyright") of a bundle's information.
std::optional<std::string> copyrightHolder(const platform::PropertyListDictionary& info);

// Reads one bundle into its record. Never fails: what is missing has a fallback.
class BundleReader {
public:
    BundleReader(ProtectedLocations protection, ItemSizer sizer, TeamIdentifierReader teamIdentifier = {});

    // `cancellation` cuts the bundle's scan short (its size is then partial).
    InstalledApp read(const std::string& bundlePath,
                      std::shared_ptr<ScanCancellation> cancellation = nullptr) const;
    bool isProtected(const std::string& bundlePath) const;

    const ItemSizer& sizer() const { return sizer_; }

private:
    ProtectedLocations protection_;
    ItemSizer sizer_;
    TeamIdentifierReader teamIdentifier_;
};

} // namespace quillmere

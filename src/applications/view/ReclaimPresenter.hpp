#pragma once

#include "applications/model/ApplicationRecords.hpp"
#include "systemdata/Reclaimer.hpp"

#include <functional>
#include <set>
#include <string>
#include <variant>
#include <vector>

class QWidget;

namespace quillmere {

// What an Applications panel asks to remove. The panel only builds it; the confirmation sheet
// lists it, runs the reclaim and hands the outcome back.
struct AppUninstallTarget {
    InstalledApp app;
    LeftoverAttribution attribution;
    // Ticked leftovers; never the bundle, which `app` names.
    std::set<std::string> tickedPaths;
};
struct AppCachesTarget {
    InstalledApp app;
    std::vector<LeftoverItem> items;
};
struct OrphanGroupTarget {
    OrphanLeftoverGroup group;
    std::set<std::string> tickedPaths;
};
using ApplicationReclaimTarget = std::variant<AppUninstallTarget, AppCachesTarget, OrphanGroupTarget>;

// Puts the confirmation sheet up over `window` for `target`; `onFinished` runs once, on the
// main thread, when the user closes the result (never when the sheet is cancelled).
class ReclaimPresenter {
public:
    using Finished = std::function<void(const Reclaimer::Outcome&)>;
    virtual ~ReclaimPresenter() = default;
    virtual void present(QWidget* window, ApplicationReclaimTarget target, Finished onFinished) = 0;
};

// Shows items in the file manager.
using RevealItems = std::function<void(const std::vector<std::string>& paths)>;

} // namespace quillmere

#pragma once

#include "reclaim/ReclaimTarget.hpp"
#include "systemdata/Reclaimer.hpp"

#include <functional>
#include <set>
#include <string>
#include <variant>
#include <vector>

class QWidget;

namespace quillmere {

// Puts the confirmation sheet up over `window` for `target`; `onFinished` runs once, on the
// main thread, when the user closes the result (never when the sheet is cancelled).
class ReclaimPresenter {
public:
    using Finished = std::function<void(const Reclaimer::Outcome&)>;
    virtual ~ReclaimPresenter() = default;
    virtual void present(QWidget* window, ReclaimTarget target, Finished onFinished) = 0;
};

// Shows items in the file manager.
using RevealItems = std::function<void(const std::vector<std::string>& paths)>;

} // namespace quillmere

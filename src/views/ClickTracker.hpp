#pragma once

#include <chrono>
#include <functional>
#include <optional>
#include <string>

namespace quillmere::views {

// Recognises double clicks in drawn views: a second click on the same item within the
// platform's double-click interval. A double click clears the record, so a third click
// starts over as a single one.
class ClickTracker {
public:
    using Clock = std::function<std::chrono::steady_clock::time_point()>;

    ClickTracker(Clock clock, std::chrono::milliseconds interval);

    // Records a click on `itemID`; true when it completes a double click.
    bool registerClick(const std::string& itemID);

private:
    Clock clock_;
    std::chrono::milliseconds interval_;
    std::optional<std::chrono::steady_clock::time_point> lastTime_;
    std::optional<std::string> lastItem_;
};

} // namespace quillmere::views

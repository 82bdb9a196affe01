#pragma once

#include "applications/model/ApplicationRecords.hpp"

#include <cstdint>
#include <string>
#include <string_view>

namespace quillmere::texts {

// Every text of the Applications screen and its panels.

inline constexpr std::string_view kFindingApplications = "Finding your applications…";
inline constexpr std::string_view kInstalledHeading = "INSTALLED";
inline constexpr std::string_view kInstalledHeadingTail =
    "  —  bundle plus everything it left around your disk";
inline constexpr std::string_view kSearchPlaceholder = "Search by name or developer";
inline constexpr std::string_view kReallyTakingUp = "Really taking up";
inline constexpr std::string_view kAppsAlone = "Apps alone";
inline constexpr std::string_view kApplications = "Applications";
inline constexpr std::string_view kDropTitle = "Drop an app to see what it left behind";
inline constexpr std::string_view kDropBody =
    "Quillmere finds its caches, containers, preferences and support folders in a couple of seconds — and "
    "the app doesn’t have to be running, or even in your Applications folder.";
inline constexpr std::string_view kBuiltIn = "Built into the system";
inline constexpr std::string_view kLeftBehind = "LEFT BEHIND";
inline constexpr std::string_view kFlatpakBadge = "Flatpak";
inline constexpr std::string_view kSnapBadge = "Snap";
inline constexpr std::string_view kGuess = "Guess";
inline constexpr std::string_view kUnmatched = "Unmatched";

inline constexpr std::string_view kFindingLeftovers = "Finding what else this app left behind…";
inline constexpr std::string_view kCacheHelp = "Delete this app's caches and leave everything else alone";
inline constexpr std::string_view kShowCaches = "Show its caches";
inline constexpr std::string_view kReveal = "Reveal";
inline constexpr std::string_view kBundle = "Bundle";
inline constexpr std::string_view kCachesAndContainers = "Caches & containers";
inline constexpr std::string_view kWebsiteData = "Website data";
inline constexpr std::string_view kProtectedCalloutBold = "Built into the system.";
inline constexpr std::string_view kProtectedCalloutRest =
    " Its real size is listed like everything else, and its caches show up under System Data — but it can’t "
    "be uninstalled here.";

// The callout of an application a package system installed: the bold run, then the rest with
// the command that removes it between the two parts.
inline constexpr std::string_view kFlatpakCalloutBold = "Installed with Flatpak.";
inline constexpr std::string_view kSnapCalloutBold = "Installed as a snap.";
inline constexpr std::string_view kPackagedCalloutBeforeCommand =
    " Its caches and data can be cleared here, but the app itself is removed with the software manager, or "
    "with ";
inline constexpr std::string_view kPackagedCalloutAfterCommand = " in a terminal.";
inline constexpr std::string_view kNothingToClear = "It keeps no caches or data in your home folder.";

inline constexpr std::string_view kGuessBold = "This is a guess.";
inline constexpr std::string_view kGuessMatch = " These files match the name ";
inline constexpr std::string_view kGuessTail =
    ", and no installed app claims them. Read them before you tick them.";
inline constexpr std::string_view kReadyToDelete = "ready to delete";
inline constexpr std::string_view kNothingTicked = "nothing ticked";
inline constexpr std::string_view kNothingSelected = "Nothing selected";
inline constexpr std::string_view kDeleteSelected = "Delete selected…";

// "s" unless `count` is exactly 1.
inline std::string plural(int64_t count) {
    return count == 1 ? "" : "s";
}

std::string noMatch(std::string_view searchText);
std::string orphanSectionTail(int64_t totalBytes, int64_t placeCount);
std::string itemCount(int64_t count);
std::string placeCount(int64_t count);
std::string removingCount(int64_t ticked, int64_t total);
std::string uninstallButton(std::string_view appName);
std::string clearCachesButton(int64_t cacheBytes);
std::string sharedLocation(std::string_view otherAppName);
std::string notInstalledLine(int64_t entryCount);
std::string selectedCount(int64_t count);
std::string versionAndDeveloper(const std::string* version, const std::string* developer);
// "flatpak uninstall <id>" or "snap remove <name>".
std::string removalCommand(const InstalledApp& app);

} // namespace quillmere::texts

#pragma once

#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace quillmere {

enum class AppSection;

// What the process was started with, decided once at start. Every rule compares whole
// arguments exactly; the program's own path counts as an argument.
struct LaunchOptions {
    std::vector<std::string> arguments;
    bool isTestHost = false;

    static LaunchOptions fromProcess(int argc, char** argv);

    bool has(const std::string& argument) const;
    // Any argument beginning with "--debug-": development runs select the saved scan's volume.
    bool hasDevelopmentSwitch() const;
    bool wantsScanDebugReport() const { return !isTestHost && has("--scan-debug"); }
    bool skipsPermissionGate() const { return has("--debug-skip-permission-gate"); }

    // The first "--appearance" and the argument after it: "light" or "dark", else nothing.
    std::optional<bool> darkAppearanceOverride() const;
    // "--debug-section" followed by "system-data" or "applications"; the disk map otherwise.
    AppSection launchSection() const;
};

// Whether a window can be opened: a display server is named (DISPLAY, WAYLAND_DISPLAY), or a
// platform was chosen explicitly (QT_QPA_PLATFORM or "-platform"). `environment` answers a
// variable's value, nothing when unset.
bool hasGraphicalSession(const LaunchOptions& options,
                         const std::function<std::optional<std::string>(const char*)>& environment);

// What the window prints, and the status it exits with, when there is no graphical session.
inline constexpr const char* kNoGraphicalSessionMessage =
    "Quillmere needs a graphical session to open its window and found none (neither DISPLAY nor "
    "WAYLAND_DISPLAY is set); run \"quillmere --scan-debug\" for the command-line scan report, "
    "which works without one.";
inline constexpr int kNoGraphicalSessionStatus = 1;

// The scheme the main window uses: the launch switch, else the stored "appearance" setting;
// nothing means follow the system.
std::optional<bool> resolvedDarkAppearance(const LaunchOptions& options, const std::string& storedAppearance);

} // namespace quillmere

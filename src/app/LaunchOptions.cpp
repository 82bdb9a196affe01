#include "app/LaunchOptions.hpp"

#include "app/state/Modes.hpp"

#include <algorithm>
#include <cstdlib>

namespace quillmere {

LaunchOptions LaunchOptions::fromProcess(int argc, char** argv) {
    LaunchOptions options;
    for (int i = 0; i < argc; ++i)
        options.arguments.emplace_back(argv[i]);
    // Any value, even an empty one, marks a test host.
    options.isTestHost = std::getenv("XCTestConfigurationFilePath") != nullptr;
    return options;
}

bool LaunchOptions::has(const std::string& argument) const {
    return std::find(arguments.begin(), arguments.end(), argument) != arguments.end();
}

bool LaunchOptions::hasDevelopmentSwitch() const {
    return std::any_of(arguments.begin(), arguments.end(),
                       [](const std::string& a) { return a.starts_with("--debug-"); });
}

namespace {
// The argument right after the first occurrence of `name`, when there is one.
std::optional<std::string> valueAfter(const std::vector<std::string>& arguments, const std::string& name) {
    const auto found = std::find(arguments.begin(), arguments.end(), name);
    if (found == arguments.end() || found + 1 == arguments.end()) return std::nullopt;
    return *(found + 1);
}
} // namespace

std::optional<bool> LaunchOptions::darkAppearanceOverride() const {
    const auto value = valueAfter(arguments, "--appearance");
    if (value == "light") return false;
    if (value == "dark") return true;
    return std::nullopt;
}

AppSection LaunchOptions::launchSection() const {
    const auto value = valueAfter(arguments, "--debug-section");
    if (value == "system-data") return AppSection::systemData;
    if (value == "applications") return AppSection::applications;
    return AppSection::macintoshHD;
}

std::optional<bool> resolvedDarkAppearance(const LaunchOptions& options,
                                           const std::string& storedAppearance) {
    if (const auto override = options.darkAppearanceOverride()) return override;
    if (storedAppearance == "light") return false;
    if (storedAppearance == "dark") return true;
    return std::nullopt;
}

bool hasGraphicalSession(const LaunchOptions& options,
                         const std::function<std::optional<std::string>(const char*)>& environment) {
    const auto isSet = [&](const char* name) {
        const std::optional<std::string> value = environment(name);
        return value && !value->empty();
    };
    return isSet("DISPLAY") || isSet("WAYLAND_DISPLAY") || isSet("QT_QPA_PLATFORM") ||
           options.has("-platform");
}

} // namespace quillmere

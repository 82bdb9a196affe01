#include "systemdata/ProtectedLocations.hpp"

#include "base/PathText.hpp"
#include "platform/FileFlags.hpp"
#include "platform/HostSystem.hpp"
#include "platform/Mounts.hpp"
#include "platform/XdgFolders.hpp"

#include <algorithm>
#include <array>
#include <span>

namespace quillmere {
namespace {

using Components = std::vector<std::string>;

// One rule over leading components. The exception, when present, exempts paths that begin
// with it and have at least `exceptionMinimumCount` components.
struct PrefixRule {
    std::vector<const char*> prefix;
    std::vector<const char*> exception = {};
    size_t exceptionMinimumCount = 0;
};

// Tried in order; the first rule whose prefix matches decides.
const std::vector<PrefixRule>& prefixRules() {
    static const std::vector<PrefixRule> rules{
        {{"System"}, {"System", "Volumes", "Data"}, 4},
        {{"bin"}},
        {{"sbin"}},
        {{"usr"}, {"usr", "local"}, 0},
        {{"Library", "Apple"}},
        {{"private", "var", "db"}},
        {{"private", "var", "folders"}},
        // Linux's own folders.
        {{"etc"}},
        {{"boot"}},
        {{"dev"}},
        {{"proc"}},
        {{"sys"}},
        {{"run"}},
        {{"lib"}},
        {{"lib32"}},
        {{"lib64"}},
        {{"libx32"}},
        {{"snap"}},
        {{"var", "lib"}},
    };
    return rules;
}

bool beginsWith(std::span<const std::string> components, const std::vector<const char*>& prefix) {
    if (prefix.size() > components.size()) return false;
    for (size_t i = 0; i < prefix.size(); ++i)
        if (components[i] != prefix[i]) return false;
    return true;
}

bool systemRulesHold(std::span<const std::string> components) {
    for (const PrefixRule& rule : prefixRules()) {
        if (!beginsWith(components, rule.prefix)) continue;
        const bool exempt = !rule.exception.empty() && components.size() >= rule.exceptionMinimumCount &&
                            beginsWith(components, rule.exception);
        return !exempt;
    }
    return false;
}

Components joined(Components base, std::initializer_list<const char*> tail) {
    for (const char* part : tail)
        base.emplace_back(part);
    return base;
}

std::string absolute(std::string_view path) {
    if (path.starts_with('/')) return std::string(path);
    return appendingPathComponent(platform::currentDirectory(), path);
}

} // namespace

ProtectionRoots ProtectionRoots::current() {
    ProtectionRoots roots{.home = platform::homeDirectory()};
    for (const platform::MountEntry& mount : platform::mountTable(platform::MountHost::system()))
        roots.mountPoints.push_back(mount.mountPoint);
    for (const char* key : {"XDG_DOCUMENTS_DIR", "XDG_DESKTOP_DIR"})
        if (std::optional<std::string> folder = platform::userDirectory(key, roots.home))
            roots.userFolders.push_back(std::move(*folder));
    return roots;
}

ProtectedLocations::ProtectedLocations(ProtectionRoots roots, RestrictedFlagReader restrictedFlag)
    : roots_(std::move(roots)), restrictedFlag_(std::move(restrictedFlag)) {}

ProtectedLocations ProtectedLocations::current() {
    return ProtectedLocations(ProtectionRoots::current());
}

RestrictedFlagReader ProtectedLocations::defaultFlagReader() {
    return [](const std::string& path) { return platform::isImmutableItem(path); };
}

std::vector<Components> ProtectedLocations::protectedLocations() const {
    const Components home = standardizedComponents(roots_.home);
    std::vector<Components> list{home,
                                 joined(home, {"Documents"}),
                                 joined(home, {"Desktop"}),
                                 {"Applications"},
                                 {"System", "Volumes", "Data"},
                                 {}};
    for (const std::string& mountPoint : roots_.mountPoints)
        list.push_back(standardizedComponents(mountPoint));
    for (const std::string& folder : roots_.userFolders)
        list.push_back(standardizedComponents(folder));
    if (roots_.systemRoot) {
        const Components root = standardizedComponents(*roots_.systemRoot);
        list.push_back(root);
        list.push_back(joined(root, {"Applications"}));
        list.push_back(joined(root, {"System", "Volumes", "Data"}));
    }
    return list;
}

bool ProtectedLocations::isExactLocation(const Components& components) const {
    const std::vector<Components> list = protectedLocations();
    return std::find(list.begin(), list.end(), components) != list.end();
}

bool ProtectedLocations::isSystemProtected(const Components& components) const {
    if (systemRulesHold(components)) return true;
    if (!roots_.systemRoot) return false;
    const Components root = standardizedComponents(*roots_.systemRoot);
    if (root.size() > components.size() || !std::equal(root.begin(), root.end(), components.begin()))
        return false;
    return systemRulesHold(std::span(components).subspan(root.size()));
}

bool ProtectedLocations::isProtectedPath(std::string_view path) const {
    const std::string given = absolute(path);
    const Components components = standardizedComponents(given);
    if (isExactLocation(components) || isSystemProtected(components)) return true;
    return restrictedFlag_ && restrictedFlag_(given);
}

bool ProtectedLocations::isProtectedSystemItem(const FileNode& node) const {
    return !node.isAggregate() && isProtectedPath(node.path());
}

bool ProtectedLocations::isProtectedForRemoval(std::string_view path) const {
    if (isProtectedPath(path)) return true;
    const std::string canonical = canonicalItemPath(path);
    return canonical != absolute(path) && isProtectedPath(canonical);
}

std::string canonicalItemPath(std::string_view path) {
    const std::string standardized = standardizedPath(absolute(path));
    if (standardized == "/") return standardized;
    return appendingPathComponent(FileNode::canonicalPath(deletingLastPathComponent(standardized)),
                                  lastPathComponent(standardized));
}

} // namespace quillmere

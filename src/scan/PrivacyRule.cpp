#include "scan/PrivacyRule.hpp"

#include "base/PathText.hpp"

#include <algorithm>
#include <array>
#include <cctype>
#include <cstddef>
#include <span>

namespace quillmere {
namespace {

constexpr std::array<std::string_view, 3> kProtectedPackageExtensions{"photoslibrary", "musiclibrary",
                                                                      "tvlibrary"};
constexpr std::array<std::string_view, 3> kProtectedHomeFolders{"Desktop", "Documents", "Downloads"};
constexpr std::array<std::array<std::string_view, 2>, 2> kProtectedContainerFolders{
    {{"Library", "Containers"}, {"Library", "Group Containers"}}};

std::string lowercased(std::string_view text) {
    std::string out(text);
    std::transform(out.begin(), out.end(), out.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return out;
}

bool equalsHomeFollowedBy(const std::vector<std::string>& components, const std::vector<std::string>& home,
                          std::span<const std::string_view> tail) {
    if (components.size() != home.size() + tail.size()) return false;
    if (!std::equal(home.begin(), home.end(), components.begin())) return false;
    return std::equal(tail.begin(), tail.end(), components.begin() + static_cast<ptrdiff_t>(home.size()));
}

} // namespace

bool isProtectedPackageName(std::string_view name) {
    const std::string extension = lowercased(pathExtension(name));
    return std::find(kProtectedPackageExtensions.begin(), kProtectedPackageExtensions.end(), extension) !=
           kProtectedPackageExtensions.end();
}

std::vector<std::string> privacyProtectedFolders(std::string_view home) {
    const std::string base = standardizedPath(home);
    std::vector<std::string> folders;
    for (std::string_view folder : kProtectedHomeFolders)
        folders.push_back(appendingPathComponent(base, folder));
    for (const auto& containers : kProtectedContainerFolders)
        folders.push_back(appendingPathComponent(appendingPathComponent(base, containers[0]), containers[1]));
    return folders;
}

bool isPrivacyProtectedPath(std::string_view path, std::string_view home) {
    if (isProtectedPackageName(fileURLPath(path))) return true;

    const std::vector<std::string> c = standardizedComponents(path);
    const std::vector<std::string> h = standardizedComponents(home);
    for (std::string_view folder : kProtectedHomeFolders)
        if (equalsHomeFollowedBy(c, h, std::span(&folder, 1))) return true;
    for (const auto& containers : kProtectedContainerFolders) {
        if (equalsHomeFollowedBy(c, h, containers)) return true;
        if (!c.empty()) {
            const std::vector<std::string> parent(c.begin(), c.end() - 1);
            if (equalsHomeFollowedBy(parent, h, containers)) return true;
        }
    }
    return false;
}

bool isOutsidePrivacyProtectedPaths(std::string_view path, const std::vector<std::string>& homeDirectories) {
    if (!path.starts_with('/')) return false;
    for (const std::string& home : homeDirectories)
        if (isPrivacyProtectedPath(path, home)) return false;
    return true;
}

} // namespace quillmere

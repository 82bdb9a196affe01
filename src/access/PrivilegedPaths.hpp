#pragma once

#include <optional>
#include <string_view>

namespace quillmere {

// The path without trailing "/" ("/" itself stays).
constexpr std::string_view withoutTrailingSlashes(std::string_view path) {
    while (path.size() > 1 && path.back() == '/')
        path.remove_suffix(1);
    return path;
}

// The one component that joined to `parent` gives `path`; nothing when `path` is not
// directly inside `parent` ("." and ".." are no components).
constexpr std::optional<std::string_view> componentDirectlyInside(std::string_view path,
                                                                  std::string_view parent) {
    if (!path.starts_with(parent)) return std::nullopt;
    std::string_view rest = path.substr(parent.size());
    if (!parent.ends_with('/')) {
        if (!rest.starts_with('/')) return std::nullopt;
        rest.remove_prefix(1);
    }
    if (rest.empty() || rest.find('/') != std::string_view::npos || rest == "." || rest == "..")
        return std::nullopt;
    return rest;
}

} // namespace quillmere

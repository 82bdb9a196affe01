#include "base/PathText.hpp"

#include "base/Unicode.hpp"

namespace quillmere {

std::string folderPrefix(std::string_view folderPath) {
    if (folderPath == "/") return "/";
    std::string prefix(folderPath);
    prefix += '/';
    return prefix;
}

bool pathsEqual(std::string_view a, std::string_view b) {
    return textEquivalent(a, b);
}

bool pathStartsWith(std::string_view path, std::string_view prefix) {
    if (path.starts_with(prefix)) return true;
    if (isAscii(path) && isAscii(prefix)) return false;
    // Every prefix used here ends at a "/" boundary, and "/" is a starter, so the
    // normalized prefix is a prefix of the normalized path exactly when the texts are.
    return canonicalText(path).starts_with(canonicalText(prefix));
}

std::string fileURLPath(std::string_view path) {
    std::string out;
    out.reserve(path.size());
    for (char c : path) {
        if (c == '/' && !out.empty() && out.back() == '/') continue;
        out += c;
    }
    while (out.size() > 1 && out.back() == '/')
        out.pop_back();
    return out;
}

std::string_view lastPathComponent(std::string_view path) {
    while (path.size() > 1 && path.back() == '/')
        path.remove_suffix(1);
    if (path == "/") return path;
    const size_t slash = path.rfind('/');
    return slash == std::string_view::npos ? path : path.substr(slash + 1);
}

std::string deletingLastPathComponent(std::string_view path) {
    while (path.size() > 1 && path.back() == '/')
        path.remove_suffix(1);
    const size_t slash = path.rfind('/');
    if (slash == std::string_view::npos) return "";
    if (slash == 0) return "/";
    return std::string(path.substr(0, slash));
}

std::string appendingPathComponent(std::string_view folder, std::string_view component) {
    std::string out(folder);
    if (out.empty() || out.back() != '/') out += '/';
    out += component;
    return out;
}

std::string_view pathExtension(std::string_view name) {
    const std::string_view last = lastPathComponent(name);
    const size_t dot = last.rfind('.');
    return dot == std::string_view::npos ? std::string_view() : last.substr(dot + 1);
}

std::vector<std::string> pathComponents(std::string_view path) {
    std::vector<std::string> parts;
    size_t start = 0;
    while (start <= path.size()) {
        size_t slash = path.find('/', start);
        if (slash == std::string_view::npos) slash = path.size();
        if (slash > start) parts.emplace_back(path.substr(start, slash - start));
        start = slash + 1;
    }
    return parts;
}

bool isComponentPrefix(const std::vector<std::string>& prefix, const std::vector<std::string>& of) {
    if (prefix.size() > of.size()) return false;
    for (size_t i = 0; i < prefix.size(); ++i)
        if (!textEquivalent(prefix[i], of[i])) return false;
    return true;
}

std::vector<std::string> standardizedComponents(std::string_view path) {
    std::vector<std::string> out;
    for (std::string& part : pathComponents(path)) {
        if (part == ".") continue;
        if (part == "..") {
            if (!out.empty()) out.pop_back();
            continue;
        }
        out.push_back(std::move(part));
    }
    return out;
}

std::string standardizedPath(std::string_view path) {
    std::string out;
    for (const std::string& part : standardizedComponents(path)) {
        out += '/';
        out += part;
    }
    return out.empty() ? "/" : out;
}

PathSet::PathSet(std::initializer_list<std::string_view> paths) {
    for (std::string_view p : paths)
        insert(p);
}

void PathSet::insert(std::string_view path) {
    keys_.insert(canonicalText(path));
    exact_.emplace(path);
}

bool PathSet::contains(std::string_view path) const {
    if (keys_.empty()) return false;
    return keys_.contains(canonicalText(path));
}

} // namespace quillmere

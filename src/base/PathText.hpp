#pragma once

#include <string>
#include <string_view>
#include <unordered_set>
#include <vector>

namespace quillmere {

// Path text helpers. Paths are absolute byte strings; equality and prefix tests
// use canonical equivalence (see Unicode.hpp).

// "/" for the root, otherwise the path followed by "/": a path lies below a folder
// when it starts with this text, so /a/bc is not below /a/b.
std::string folderPrefix(std::string_view folderPath);

bool pathsEqual(std::string_view a, std::string_view b);
// Whether `path` starts with `prefix` (which ends at a "/"), by canonical equivalence.
bool pathStartsWith(std::string_view path, std::string_view prefix);

// The form the platform's file-URL conversion gives an absolute path: repeated
// slashes collapsed and no trailing "/" except for the root itself.
std::string fileURLPath(std::string_view path);

std::string_view lastPathComponent(std::string_view path);
std::string deletingLastPathComponent(std::string_view path);
std::string appendingPathComponent(std::string_view folder, std::string_view component);

// The text after the last "." of the last component, "" when there is none.
std::string_view pathExtension(std::string_view name);

// The path's components without the "/" entries ("/" gives none).
std::vector<std::string> pathComponents(std::string_view path);
bool isComponentPrefix(const std::vector<std::string>& prefix, const std::vector<std::string>& of);

// Components of the lexically standardized path ("." dropped, ".." removing its parent).
std::vector<std::string> standardizedComponents(std::string_view path);
std::string standardizedPath(std::string_view path);

// A set of paths that matches by canonical equivalence.
class PathSet {
public:
    PathSet() = default;
    PathSet(std::initializer_list<std::string_view> paths);
    void insert(std::string_view path);
    bool contains(std::string_view path) const;
    bool empty() const { return keys_.empty(); }
    size_t size() const { return keys_.size(); }
    // The stored keys (canonical text of each inserted path).
    const std::unordered_set<std::string>& keys() const { return keys_; }
    // The paths as they were inserted, byte for byte.
    const std::unordered_set<std::string>& exactPaths() const { return exact_; }

private:
    std::unordered_set<std::string> keys_;
    std::unordered_set<std::string> exact_;
};

} // namespace quillmere

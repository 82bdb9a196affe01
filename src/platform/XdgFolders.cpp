#include "platform/XdgFolders.hpp"

#include <cstdlib>
#include <fstream>

namespace quillmere::platform {
namespace {

std::string baseDirectory(const char* variable, const std::string& home, const char* fallback,
                          const EnvironmentReader& environment) {
    if (const std::optional<std::string> value = environment(variable); value && value->starts_with('/'))
        return *value;
    std::string folder = home;
    if (folder.empty() || folder.back() != '/') folder += '/';
    return folder + fallback;
}

std::string_view trimmed(std::string_view text) {
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t'))
        text.remove_prefix(1);
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t' || text.back() == '\r'))
        text.remove_suffix(1);
    return text;
}

// The value between double quotes with its backslash escapes undone; nothing when unquoted.
std::optional<std::string> unquoted(std::string_view value) {
    if (value.size() < 2 || value.front() != '"' || value.back() != '"') return std::nullopt;
    value = value.substr(1, value.size() - 2);
    std::string out;
    for (size_t i = 0; i < value.size(); ++i) {
        if (value[i] == '\\' && i + 1 < value.size())
            ++i;
        else if (value[i] == '"')
            return std::nullopt;
        out += value[i];
    }
    return out;
}

} // namespace

std::optional<std::string> processEnvironment(const char* name) {
    if (const char* value = std::getenv(name)) return std::string(value);
    return std::nullopt;
}

std::string dataHome(const std::string& home, const EnvironmentReader& environment) {
    return baseDirectory("XDG_DATA_HOME", home, ".local/share", environment);
}

std::string configHome(const std::string& home, const EnvironmentReader& environment) {
    return baseDirectory("XDG_CONFIG_HOME", home, ".config", environment);
}

std::optional<std::string> parseUserDirectory(std::string_view fileText, std::string_view key,
                                              const std::string& home) {
    std::optional<std::string> found;
    size_t start = 0;
    while (start < fileText.size()) {
        const size_t end = std::min(fileText.find('\n', start), fileText.size());
        const std::string_view line = trimmed(fileText.substr(start, end - start));
        start = end + 1;
        if (line.empty() || line.front() == '#') continue;
        const size_t equals = line.find('=');
        if (equals == std::string_view::npos || trimmed(line.substr(0, equals)) != key) continue;
        const std::optional<std::string> value = unquoted(trimmed(line.substr(equals + 1)));
        if (!value) continue;
        // A later line overrides an earlier one, as when the shell sources the file.
        if (value->starts_with("$HOME/") || *value == "$HOME") {
            std::string folder = home;
            while (folder.size() > 1 && folder.back() == '/')
                folder.pop_back();
            found = folder + value->substr(5);
        } else if (value->starts_with('/')) {
            found = *value;
        }
    }
    return found;
}

std::optional<std::string> userDirectory(std::string_view key, const std::string& home,
                                         const EnvironmentReader& environment) {
    std::ifstream file(configHome(home, environment) + "/user-dirs.dirs");
    if (!file) return std::nullopt;
    // The file is a few lines; a hostile giant file is read only up to a bound.
    constexpr std::streamsize kLimit = 1 << 20;
    std::string buffer(kLimit, '\0');
    file.read(buffer.data(), kLimit);
    buffer.resize(static_cast<size_t>(file.gcount()));
    return parseUserDirectory(buffer, key, home);
}

} // namespace quillmere::platform

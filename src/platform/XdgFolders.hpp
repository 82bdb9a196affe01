#pragma once

#include <functional>
#include <optional>
#include <string>
#include <string_view>

namespace quillmere::platform {

// Reads one environment variable; nothing when it is unset.
using EnvironmentReader = std::function<std::optional<std::string>(const char* name)>;

// The process's own environment.
std::optional<std::string> processEnvironment(const char* name);

// The user's data folder: $XDG_DATA_HOME when it is an absolute path (relative values are
// invalid and ignored, as the base-directory rules say), else `home`/.local/share.
std::string dataHome(const std::string& home, const EnvironmentReader& environment = processEnvironment);

// The user's configuration folder, by the same rule over $XDG_CONFIG_HOME and `home`/.config.
std::string configHome(const std::string& home, const EnvironmentReader& environment = processEnvironment);

// The folder that `key` ("XDG_DOCUMENTS_DIR", "XDG_DESKTOP_DIR") names in the text of a
// user-dirs.dirs file: "$HOME/..." or an absolute path, in double quotes, with backslash
// escapes. Nothing when the key is absent or its value has another form.
std::optional<std::string> parseUserDirectory(std::string_view fileText, std::string_view key,
                                              const std::string& home);

// The folder that `key` names in the user's user-dirs.dirs; nothing when the file or the key
// is missing or unreadable.
std::optional<std::string> userDirectory(std::string_view key, const std::string& home,
                                         const EnvironmentReader& environment = processEnvironment);

} // namespace quillmere::platform

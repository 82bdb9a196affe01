#include "applications/model/SnapYaml.hpp"

#include "applications/model/BoundedParse.hpp"

#include <optional>

namespace quillmere {

namespace {

// A plain or quoted scalar; none for anything that opens a nested block or flow.
std::optional<std::string> scalar(std::string_view raw) {
    raw = trimmedSpaces(raw);
    if (raw.empty()) return std::nullopt;
    if (raw.front() == '\'') {
        // Single quotes: '' stands for one quote, nothing else is escaped.
        std::string out;
        for (size_t i = 1; i < raw.size(); ++i) {
            if (raw[i] != '\'') {
                out += raw[i];
            } else if (i + 1 < raw.size() && raw[i + 1] == '\'') {
                out += '\'';
                ++i;
            } else {
                return out;
            }
        }
        return std::nullopt;
    }
    if (raw.front() == '"') {
        std::string out;
        for (size_t i = 1; i < raw.size(); ++i) {
            if (raw[i] == '"') return out;
            if (raw[i] == '\\' && i + 1 < raw.size()) {
                const char next = raw[++i];
                out += next == 'n' ? '\n' : next == 't' ? '\t' : next;
            } else {
                out += raw[i];
            }
        }
        return std::nullopt;
    }
    if (raw.front() == '|' || raw.front() == '>' || raw.front() == '[' || raw.front() == '{' ||
        raw.front() == '&' || raw.front() == '*' || raw.front() == '!')
        return std::nullopt;
    // A plain scalar ends before a comment.
    if (const size_t comment = raw.find(" #"); comment != std::string_view::npos)
        raw = trimmedSpaces(raw.substr(0, comment));
    return std::string(raw);
}

} // namespace

std::expected<SnapYaml, SnapYamlError> parseSnapYaml(std::string_view text) {
    if (const auto refused = refusedText<SnapYamlError>(text, kSnapYamlMaxBytes))
        return std::unexpected(*refused);
    SnapYaml values;
    while (!text.empty()) {
        const std::string_view line = takeLine(text);
        const std::string_view content = trimmedSpaces(line);
        // Blank lines, comments, document markers and anything indented (nested or continued).
        if (content.empty() || content.front() == '#' || content == "---" || content == "...") continue;
        if (line.front() == ' ' || line.front() == '\t' || line.front() == '-') continue;
        const size_t colon = line.find(':');
        if (colon == std::string_view::npos || colon == 0) return std::unexpected(SnapYamlError::malformed);
        const std::string_view key = trimmedSpaces(line.substr(0, colon));
        const std::string_view rest = line.substr(colon + 1);
        if (!rest.empty() && rest.front() != ' ' && rest.front() != '\t')
            return std::unexpected(SnapYamlError::malformed);
        if (const std::optional<std::string> value = scalar(rest))
            values.insert_or_assign(std::string(key), *value);
    }
    return values;
}

std::expected<SnapYaml, SnapYamlError> readSnapYaml(const std::string& path) {
    return readAndParse<SnapYamlError>(path, kSnapYamlMaxBytes,
                                       [](std::string_view text) { return parseSnapYaml(text); });
}

} // namespace quillmere

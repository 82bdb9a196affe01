#pragma once

namespace quillmere {

// The roles text and small marks are inked in; `Theme::ink` gives each one's colour.
enum class Ink { primary, secondary, tertiary, accent, warning };

} // namespace quillmere

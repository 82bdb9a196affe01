#include "applications/model/SmallXml.hpp"

#include "applications/model/BoundedParse.hpp"

#include <algorithm>
#include <charconv>
#include <cstdint>
#include <optional>

namespace quillmere {

namespace {

bool isSpace(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

bool isNameChar(char c) {
    return !isSpace(c) && c != '<' && c != '>' && c != '/' && c != '=' && c != '"' && c != '\'' && c != '&';
}

void appendUtf8(std::string& out, uint32_t point) {
    if (point < 0x80) {
        out += static_cast<char>(point);
    } else if (point < 0x800) {
        out += static_cast<char>(0xC0 | (point >> 6));
        out += static_cast<char>(0x80 | (point & 0x3F));
    } else if (point < 0x10000) {
        out += static_cast<char>(0xE0 | (point >> 12));
        out += static_cast<char>(0x80 | ((point >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (point & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (point >> 18));
        out += static_cast<char>(0x80 | ((point >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((point >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (point & 0x3F));
    }
}

class Reader {
public:
    explicit Reader(std::string_view text) : text_(text) {}

    std::expected<XmlElement, XmlError> read() {
        if (text_.starts_with("\xEF\xBB\xBF")) at_ = 3;
        XmlElement root;
        if (!skipMisc(true) || !readElement(root, 1) || !skipMisc(false)) return std::unexpected(error_);
        if (at_ != text_.size()) return std::unexpected(XmlError::malformed);
        return root;
    }

private:
    bool fail(XmlError error) {
        error_ = error;
        return false;
    }
    bool lookingAt(std::string_view prefix) const { return text_.substr(at_).starts_with(prefix); }
    bool skipPast(std::string_view terminator) {
        const size_t end = text_.find(terminator, at_);
        if (end == std::string_view::npos) return fail(XmlError::malformed);
        at_ = end + terminator.size();
        return true;
    }
    void skipSpaces() {
        while (at_ < text_.size() && isSpace(text_[at_]))
            ++at_;
    }

    // White space, comments and processing instructions; before the root also the document
    // type, as long as it declares nothing: an internal subset is where entities would be.
    bool skipMisc(bool beforeRoot) {
        while (true) {
            skipSpaces();
            if (lookingAt("<!--")) {
                if (!skipPast("-->")) return false;
            } else if (lookingAt("<?")) {
                if (!skipPast("?>")) return false;
            } else if (beforeRoot && lookingAt("<!DOCTYPE")) {
                char quote = 0;
                for (++at_; at_ < text_.size(); ++at_) {
                    const char c = text_[at_];
                    if (quote) {
                        if (c == quote) quote = 0;
                    } else if (c == '"' || c == '\'') {
                        quote = c;
                    } else if (c == '[') {
                        return fail(XmlError::hasEntities);
                    } else if (c == '>') {
                        break;
                    }
                }
                if (at_ >= text_.size()) return fail(XmlError::malformed);
                ++at_;
            } else if (lookingAt("<!")) {
                return fail(lookingAt("<!ENTITY") ? XmlError::hasEntities : XmlError::malformed);
            } else {
                return true;
            }
        }
    }

    bool readName(std::string& name) {
        const size_t start = at_;
        while (at_ < text_.size() && isNameChar(text_[at_]))
            ++at_;
        if (at_ == start) return fail(XmlError::malformed);
        name.assign(text_.substr(start, at_ - start));
        return true;
    }

    // "&...;" at the read position, resolved into `out`.
    bool readReference(std::string& out) {
        const size_t end = text_.find(';', at_);
        if (end == std::string_view::npos || end - at_ > 12) return fail(XmlError::malformed);
        const std::string_view name = text_.substr(at_ + 1, end - at_ - 1);
        at_ = end + 1;
        if (name.starts_with('#')) {
            const bool hex = name.size() > 1 && name[1] == 'x';
            const std::string_view digits = name.substr(hex ? 2 : 1);
            uint32_t point = 0;
            const auto [stop, error] =
                std::from_chars(digits.data(), digits.data() + digits.size(), point, hex ? 16 : 10);
            if (digits.empty() || error != std::errc() || stop != digits.data() + digits.size() ||
                point == 0 || point > 0x10FFFF || (point >= 0xD800 && point <= 0xDFFF))
                return fail(XmlError::malformed);
            appendUtf8(out, point);
            return true;
        }
        static constexpr std::pair<std::string_view, char> kPredefined[] = {
            {"lt", '<'}, {"gt", '>'}, {"amp", '&'}, {"apos", '\''}, {"quot", '"'}};
        for (const auto& [entity, character] : kPredefined)
            if (name == entity) {
                out += character;
                return true;
            }
        // Any other name is an entity this reader never expands.
        return fail(XmlError::hasEntities);
    }

    bool readAttributes(XmlElement& element, bool& isEmpty) {
        while (true) {
            const size_t before = at_;
            skipSpaces();
            if (at_ >= text_.size()) return fail(XmlError::malformed);
            if (lookingAt("/>")) {
                at_ += 2;
                isEmpty = true;
                return true;
            }
            if (text_[at_] == '>') {
                ++at_;
                isEmpty = false;
                return true;
            }
            if (at_ == before) return fail(XmlError::malformed);
            std::string name;
            if (!readName(name)) return false;
            skipSpaces();
            if (at_ >= text_.size() || text_[at_] != '=') return fail(XmlError::malformed);
            ++at_;
            skipSpaces();
            if (at_ >= text_.size() || (text_[at_] != '"' && text_[at_] != '\''))
                return fail(XmlError::malformed);
            const char quote = text_[at_++];
            std::string value;
            while (at_ < text_.size() && text_[at_] != quote) {
                if (text_[at_] == '<') return fail(XmlError::malformed);
                if (text_[at_] == '&') {
                    if (!readReference(value)) return false;
                } else {
                    value += text_[at_++];
                }
            }
            if (at_ >= text_.size()) return fail(XmlError::malformed);
            ++at_;
            if (element.attribute(name)) return fail(XmlError::malformed);
            element.attributes.emplace_back(std::move(name), std::move(value));
        }
    }

    bool readElement(XmlElement& element, int depth) {
        if (depth > kXmlMaxDepth) return fail(XmlError::tooDeep);
        if (!lookingAt("<")) return fail(XmlError::malformed);
        ++at_;
        bool isEmpty = false;
        if (!readName(element.name) || !readAttributes(element, isEmpty)) return false;
        if (isEmpty) return true;
        while (at_ < text_.size()) {
            const char c = text_[at_];
            if (c == '&') {
                if (!readReference(element.text)) return false;
            } else if (c != '<') {
                element.text += c;
                ++at_;
            } else if (lookingAt("</")) {
                at_ += 2;
                std::string closing;
                if (!readName(closing)) return false;
                skipSpaces();
                if (closing != element.name || at_ >= text_.size() || text_[at_] != '>')
                    return fail(XmlError::malformed);
                ++at_;
                return true;
            } else if (lookingAt("<![CDATA[")) {
                const size_t start = at_ + 9;
                if (!skipPast("]]>")) return false;
                element.text.append(text_.substr(start, at_ - 3 - start));
            } else if (lookingAt("<!--")) {
                if (!skipPast("-->")) return false;
            } else if (lookingAt("<?")) {
                if (!skipPast("?>")) return false;
            } else if (lookingAt("<!")) {
                return fail(lookingAt("<!ENTITY") ? XmlError::hasEntities : XmlError::malformed);
            } else {
                XmlElement child;
                if (!readElement(child, depth + 1)) return false;
                element.children.push_back(std::move(child));
            }
        }
        return fail(XmlError::malformed);
    }

    std::string_view text_;
    size_t at_ = 0;
    XmlError error_ = XmlError::malformed;
};

} // namespace

const std::string* XmlElement::attribute(std::string_view attribute) const {
    for (const auto& [name, value] : attributes)
        if (name == attribute) return &value;
    return nullptr;
}

std::expected<XmlElement, XmlError> parseXml(std::string_view text) {
    if (const auto refused = refusedText<XmlError>(text, kXmlMaxBytes)) return std::unexpected(*refused);
    return Reader(text).read();
}

std::expected<XmlElement, XmlError> readXmlFile(const std::string& path) {
    return readAndParse<XmlError>(path, kXmlMaxBytes, [](std::string_view text) { return parseXml(text); });
}

} // namespace quillmere

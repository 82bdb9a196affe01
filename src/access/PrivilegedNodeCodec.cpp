#include "access/PrivilegedNode.hpp"

#include <cmath>
#include <limits>
#include <nlohmann/json.hpp>

namespace quillmere {
namespace {

// ---- encoding ----

// The record's own keys, in their order, as one JSON object without its closing brace, so
// the children can follow: they are written by the loop below, never by the library, and a
// deep tree costs no recursion. The two objects (with and without a date) are made once per
// encoding and only their values change from node to node.
class OpeningWriter {
public:
    OpeningWriter() {
        for (nlohmann::ordered_json* head : {&dated_, &undated_}) {
            for (const char* key :
                 {"name", "path", "isDirectory", "allocatedSize", "folderCount", "fileCount"})
                (*head)[key] = nullptr;
            if (head == &dated_) (*head)["modificationDate"] = nullptr;
            (*head)["isAggregate"] = nullptr;
        }
    }

    void write(const PrivilegedNode& node, std::string& out) {
        // JSON has no form for an infinite or undefined date: such a date is left out.
        const bool hasDate = node.modificationDate && std::isfinite(*node.modificationDate);
        nlohmann::ordered_json& head = hasDate ? dated_ : undated_;
        head["name"] = node.name;
        head["path"] = node.path;
        head["isDirectory"] = node.isDirectory;
        head["allocatedSize"] = node.allocatedSize;
        head["folderCount"] = node.folderCount;
        head["fileCount"] = node.fileCount;
        if (hasDate) head["modificationDate"] = *node.modificationDate;
        head["isAggregate"] = node.isAggregate;
        std::string text = head.dump(-1, ' ', false, nlohmann::ordered_json::error_handler_t::replace);
        text.pop_back(); // the closing brace
        out += text;
        out += ",\"children\":[";
    }

private:
    nlohmann::ordered_json dated_;
    nlohmann::ordered_json undated_;
};

// ---- decoding ----

enum class Key {
    name,
    path,
    isDirectory,
    allocatedSize,
    folderCount,
    fileCount,
    modificationDate,
    isAggregate,
    children,
    unknown
};

constexpr unsigned bit(Key key) {
    return 1u << static_cast<unsigned>(key);
}

constexpr unsigned kRequiredKeys = bit(Key::name) | bit(Key::path) | bit(Key::isDirectory) |
                                   bit(Key::allocatedSize) | bit(Key::folderCount) | bit(Key::fileCount) |
                                   bit(Key::isAggregate) | bit(Key::children);

Key keyNamed(std::string_view name) {
    static constexpr std::pair<std::string_view, Key> kKeys[] = {
        {"name", Key::name},
        {"path", Key::path},
        {"isDirectory", Key::isDirectory},
        {"allocatedSize", Key::allocatedSize},
        {"folderCount", Key::folderCount},
        {"fileCount", Key::fileCount},
        {"modificationDate", Key::modificationDate},
        {"isAggregate", Key::isAggregate},
        {"children", Key::children},
    };
    for (const auto& [text, key] : kKeys)
        if (text == name) return key;
    return Key::unknown;
}

// Builds records straight from the parser's events: no JSON document is ever held, and
// every level is one entry of an explicit stack.
class RecordBuilder {
public:
    using json = nlohmann::json;

    std::optional<PrivilegedNodeFault> fault;
    std::optional<PrivilegedNode> result;

    bool null() {
        return scalar(
            [&](Key key) { return key == Key::modificationDate ? setDate(std::nullopt) : wrong(); });
    }
    bool boolean(bool value) {
        return scalar([&](Key key) {
            if (key == Key::isDirectory) {
                top().node.isDirectory = value;
            } else if (key == Key::isAggregate) {
                top().node.isAggregate = value;
            } else {
                return wrong();
            }
            return true;
        });
    }
    bool number_integer(json::number_integer_t value) { return number(value, static_cast<double>(value)); }
    bool number_unsigned(json::number_unsigned_t value) {
        constexpr auto kMax = static_cast<json::number_unsigned_t>(std::numeric_limits<int64_t>::max());
        return number(value <= kMax ? std::optional<int64_t>(static_cast<int64_t>(value)) : std::nullopt,
                      static_cast<double>(value));
    }
    bool number_float(json::number_float_t value, const json::string_t&) {
        // Integral values within range count as integers: 5.0 and 1e3 are 5 and 1000.
        constexpr double kLimit = 9223372036854775808.0; // 2^63
        std::optional<int64_t> integral;
        if (std::isfinite(value) && std::trunc(value) == value && value >= -kLimit && value < kLimit)
            integral = static_cast<int64_t>(value);
        return number(integral, value);
    }
    bool string(json::string_t& value) {
        return scalar([&](Key key) {
            if (key == Key::name) {
                top().node.name = std::move(value);
            } else if (key == Key::path) {
                top().node.path = std::move(value);
            } else {
                return wrong();
            }
            return true;
        });
    }
    bool binary(json::binary_t&) {
        return scalar([&](Key) { return wrong(); });
    }

    bool start_object(std::size_t) {
        if (skipping_ > 0 || pendingIsUnknown()) return skipInto();
        // A record starts at the top or as an element of children; anywhere else an object
        // stands where a scalar or the children belong.
        if (!stack_.empty() && !top().inChildren) return wrong();
        if (stack_.size() >= kPrivilegedNodeMaxDepth) return fail(PrivilegedNodeFault::tooDeep);
        stack_.emplace_back();
        return true;
    }
    bool key(json::string_t& name) {
        if (skipping_ > 0) return true;
        Frame& frame = top();
        frame.pending = keyNamed(name);
        if (frame.pending == Key::unknown) return true;
        if (frame.seen & bit(frame.pending)) return fail(PrivilegedNodeFault::repeatedKey);
        frame.seen |= bit(frame.pending);
        return true;
    }
    bool end_object() {
        if (skipping_ > 0) return skipOut();
        Frame frame = std::move(stack_.back());
        stack_.pop_back();
        if ((frame.seen & kRequiredKeys) != kRequiredKeys) return fail(PrivilegedNodeFault::missingKey);
        if (stack_.empty()) {
            result = std::move(frame.node);
        } else {
            top().node.children.push_back(std::move(frame.node));
        }
        return true;
    }
    bool start_array(std::size_t) {
        if (skipping_ > 0 || pendingIsUnknown()) return skipInto();
        if (stack_.empty()) return fail(PrivilegedNodeFault::notAnObject);
        Frame& frame = top();
        if (frame.inChildren) return fail(PrivilegedNodeFault::notAnObject);
        if (frame.pending != Key::children) return wrong();
        frame.inChildren = true;
        return true;
    }
    bool end_array() {
        if (skipping_ > 0) return skipOut();
        Frame& frame = top();
        frame.inChildren = false;
        frame.pending = Key::unknown;
        return true;
    }
    bool parse_error(std::size_t, const std::string&, const nlohmann::detail::exception&) {
        if (!fault) fault = PrivilegedNodeFault::malformedJSON;
        return false;
    }

private:
    struct Frame {
        PrivilegedNode node;
        unsigned seen = 0;
        Key pending = Key::unknown;
        bool inChildren = false;
    };

    Frame& top() { return stack_.back(); }
    bool pendingIsUnknown() const {
        return !stack_.empty() && !stack_.back().inChildren && stack_.back().pending == Key::unknown;
    }

    bool fail(PrivilegedNodeFault why) {
        fault = why;
        return false;
    }
    bool wrong() { return fail(PrivilegedNodeFault::wrongType); }

    // A scalar value: at the top or as a child it is no record; after a known key it is
    // stored by `store`; the value of an unknown key is passed over.
    template <typename Store> bool scalar(Store store) {
        if (skipping_ > 0) return true;
        if (stack_.empty() || top().inChildren) return fail(PrivilegedNodeFault::notAnObject);
        const Key key = top().pending;
        top().pending = Key::unknown;
        if (key == Key::unknown) return true;
        return store(key);
    }

    bool number(std::optional<int64_t> integral, double value) {
        return scalar([&](Key key) {
            if (key == Key::modificationDate) {
                if (!std::isfinite(value)) return wrong();
                return setDate(value);
            }
            int64_t* field = key == Key::allocatedSize ? &top().node.allocatedSize
                             : key == Key::folderCount ? &top().node.folderCount
                             : key == Key::fileCount   ? &top().node.fileCount
                                                       : nullptr;
            if (!field) return wrong();
            if (!integral) return fail(PrivilegedNodeFault::integerOutOfRange);
            *field = *integral;
            return true;
        });
    }

    bool setDate(std::optional<double> date) {
        top().node.modificationDate = date;
        return true;
    }

    // The value of an unknown key may be any JSON; it is passed over, counting its depth.
    bool skipInto() {
        if (skipping_ >= kPrivilegedNodeMaxDepth) return fail(PrivilegedNodeFault::tooDeep);
        ++skipping_;
        return true;
    }
    bool skipOut() {
        if (--skipping_ == 0) top().pending = Key::unknown;
        return true;
    }

    std::vector<Frame> stack_;
    std::size_t skipping_ = 0;
};

} // namespace

std::string encodePrivilegedNode(const PrivilegedNode& node) {
    std::string out;
    struct Visit {
        const PrivilegedNode* node;
        std::size_t next = 0;
    };
    std::vector<Visit> stack{{&node}};
    OpeningWriter opening;
    opening.write(node, out);
    while (!stack.empty()) {
        Visit& visit = stack.back();
        if (visit.next == visit.node->children.size()) {
            out += "]}";
            stack.pop_back();
            continue;
        }
        const PrivilegedNode& child = visit.node->children[visit.next];
        if (visit.next++ > 0) out += ',';
        opening.write(child, out);
        stack.push_back({&child});
    }
    return out;
}

std::expected<PrivilegedNode, PrivilegedNodeFault> decodePrivilegedNode(std::string_view bytes,
                                                                        std::string_view askedPath) {
    RecordBuilder builder;
    const bool parsed = nlohmann::json::sax_parse(bytes.begin(), bytes.end(), &builder);
    if (!parsed || !builder.result)
        return std::unexpected(builder.fault.value_or(PrivilegedNodeFault::malformedJSON));
    if (const auto fault = privilegedTreeFault(*builder.result, askedPath)) return std::unexpected(*fault);
    return std::move(*builder.result);
}

} // namespace quillmere

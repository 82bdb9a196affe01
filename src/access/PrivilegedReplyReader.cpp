#include "access/PrivilegedReplyReader.hpp"

#include "base/Unicode.hpp"

#include <charconv>
#include <cmath>
#include <vector>

namespace quillmere {
namespace {

using Fault = PrivilegedNodeFault;

RecordKey keyNamed(std::string_view name) {
    static constexpr std::pair<std::string_view, RecordKey> kKeys[] = {
        {"name", RecordKey::name},
        {"path", RecordKey::path},
        {"isDirectory", RecordKey::isDirectory},
        {"allocatedSize", RecordKey::allocatedSize},
        {"folderCount", RecordKey::folderCount},
        {"fileCount", RecordKey::fileCount},
        {"modificationDate", RecordKey::modificationDate},
        {"isAggregate", RecordKey::isAggregate},
        {"children", RecordKey::children},
    };
    for (const auto& [text, key] : kKeys)
        if (text == name) return key;
    return RecordKey::unknown;
}

constexpr unsigned bit(RecordKey key) {
    return 1u << static_cast<unsigned>(key);
}

constexpr unsigned kRequiredKeys = bit(RecordKey::name) | bit(RecordKey::path) | bit(RecordKey::isDirectory) |
                                   bit(RecordKey::allocatedSize) | bit(RecordKey::folderCount) |
                                   bit(RecordKey::fileCount) | bit(RecordKey::isAggregate) |
                                   bit(RecordKey::children);

bool isDigit(int c) {
    return c >= '0' && c <= '9';
}

// Whether `c` can begin some JSON value: a value of the wrong kind is a wrong type, anything
// else is no JSON at all.
bool beginsValue(int c) {
    return c == '"' || c == '{' || c == '[' || c == 't' || c == 'f' || c == 'n' || c == '-' || isDigit(c);
}

int hexValue(int c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

void appendUtf8(std::string& out, uint32_t point) {
    if (point < 0x80) {
        out += static_cast<char>(point);
    } else if (point < 0x800) {
        out += static_cast<char>(0xc0 | (point >> 6));
        out += static_cast<char>(0x80 | (point & 0x3f));
    } else if (point < 0x10000) {
        out += static_cast<char>(0xe0 | (point >> 12));
        out += static_cast<char>(0x80 | ((point >> 6) & 0x3f));
        out += static_cast<char>(0x80 | (point & 0x3f));
    } else {
        out += static_cast<char>(0xf0 | (point >> 18));
        out += static_cast<char>(0x80 | ((point >> 12) & 0x3f));
        out += static_cast<char>(0x80 | ((point >> 6) & 0x3f));
        out += static_cast<char>(0x80 | (point & 0x3f));
    }
}

struct Number {
    std::optional<int64_t> integral; // its value when it is integral and fits 64 bits
    double value = 0;
};

// The bytes of the reply, a piece at a time, and the tokens made of them. A token may span
// pieces.
class Tokens {
public:
    explicit Tokens(PrivilegedReplySource& source) : source_(source) {}

    int peek() {
        if (pos_ == piece_.size() && !refill()) return -1;
        return static_cast<unsigned char>(piece_[pos_]);
    }
    int get() {
        const int c = peek();
        if (c >= 0) ++pos_;
        return c;
    }
    void skipSpace() {
        for (;;) {
            if (pos_ == piece_.size() && !refill()) return;
            const char c = piece_[pos_];
            if (c != ' ' && c != '\n' && c != '\r' && c != '\t') return;
            ++pos_;
        }
    }
    // The next non-space character, taken.
    int next() {
        skipSpace();
        return get();
    }

    // The rest of a string whose opening quote was taken; false for anything but JSON text in
    // UTF-8.
    bool string(std::string& out) {
        out.clear();
        bool beyondAscii = false;
        for (;;) {
            if (pos_ == piece_.size() && !refill()) return false;
            const char* from = piece_.data() + pos_;
            const char* end = piece_.data() + piece_.size();
            const char* at = from;
            while (at < end) {
                const auto c = static_cast<unsigned char>(*at);
                if (c == '"' || c == '\\' || c < 0x20) break;
                beyondAscii |= c >= 0x80;
                ++at;
            }
            out.append(from, at);
            pos_ += static_cast<size_t>(at - from);
            if (at == end) continue;
            const int c = get();
            if (c == '"') break;
            if (c != '\\') return false; // a control character
            if (!escape(out)) return false;
        }
        return !beyondAscii || isValidUtf8(out);
    }

    // A number whose first character is next.
    bool number(Number& out) {
        text_.clear();
        for (int c = peek(); isDigit(c) || c == '-' || c == '+' || c == '.' || c == 'e' || c == 'E';
             c = peek()) {
            text_ += static_cast<char>(c);
            ++pos_;
        }
        // The JSON grammar: -?(0|[1-9][0-9]*)(.[0-9]+)?([eE][+-]?[0-9]+)?
        size_t i = 0;
        const size_t n = text_.size();
        const auto digits = [&] {
            const size_t start = i;
            while (i < n && isDigit(text_[i]))
                ++i;
            return i > start;
        };
        if (i < n && text_[i] == '-') ++i;
        if (i < n && text_[i] == '0') {
            ++i;
        } else if (!digits()) {
            return false;
        }
        bool integer = true;
        if (i < n && text_[i] == '.') {
            ++i;
            integer = false;
            if (!digits()) return false;
        }
        if (i < n && (text_[i] == 'e' || text_[i] == 'E')) {
            ++i;
            integer = false;
            if (i < n && (text_[i] == '+' || text_[i] == '-')) ++i;
            if (!digits()) return false;
        }
        if (i != n) return false;
        const char* first = text_.data();
        const char* last = text_.data() + n;
        if (integer) {
            int64_t value = 0;
            if (std::from_chars(first, last, value).ec == std::errc()) {
                out = {value, static_cast<double>(value)};
                return true;
            }
        }
        // A fraction, an exponent, or an integer beyond 64 bits: integral only when exact.
        double value = 0;
        const auto parsed = std::from_chars(first, last, value);
        if (parsed.ec == std::errc::result_out_of_range) value = text_[0] == '-' ? -HUGE_VAL : HUGE_VAL;
        constexpr double kLimit = 9223372036854775808.0; // 2^63
        out = {std::nullopt, value};
        if (std::isfinite(value) && std::trunc(value) == value && value >= -kLimit && value < kLimit)
            out.integral = static_cast<int64_t>(value);
        return true;
    }

    // The rest of true, false or null, whose first letter was taken.
    bool literal(std::string_view rest) {
        for (const char expected : rest)
            if (get() != expected) return false;
        return true;
    }

private:
    bool refill() {
        if (ended_) return false;
        piece_ = source_.next();
        pos_ = 0;
        ended_ = piece_.empty();
        return !ended_;
    }

    int hexQuad() {
        int value = 0;
        for (int k = 0; k < 4; ++k) {
            const int digit = hexValue(get());
            if (digit < 0) return -1;
            value = value * 16 + digit;
        }
        return value;
    }

    bool escape(std::string& out) {
        const int c = get();
        switch (c) {
        case '"':
            out += '"';
            return true;
        case '\\':
            out += '\\';
            return true;
        case '/':
            out += '/';
            return true;
        case 'b':
            out += '\b';
            return true;
        case 'f':
            out += '\f';
            return true;
        case 'n':
            out += '\n';
            return true;
        case 'r':
            out += '\r';
            return true;
        case 't':
            out += '\t';
            return true;
        case 'u':
            break;
        default:
            return false;
        }
        const int unit = hexQuad();
        if (unit < 0 || (unit >= 0xdc00 && unit <= 0xdfff)) return false;
        if (unit < 0xd800 || unit > 0xdbff) {
            appendUtf8(out, static_cast<uint32_t>(unit));
            return true;
        }
        // A high surrogate is valid only with its low half.
        if (get() != '\\' || get() != 'u') return false;
        const int low = hexQuad();
        if (low < 0xdc00 || low > 0xdfff) return false;
        appendUtf8(out, 0x10000 + ((static_cast<uint32_t>(unit) - 0xd800) << 10) +
                            (static_cast<uint32_t>(low) - 0xdc00));
        return true;
    }

    PrivilegedReplySource& source_;
    std::string_view piece_;
    size_t pos_ = 0;
    bool ended_ = false;
    std::string text_;
};

// One record being read: its fields, and where the reading of its object stands.
struct Frame {
    enum class Expect { firstKey, nextKey, firstChild, nextChild };
    RecordFields fields;
    Expect expect = Expect::firstKey;
    bool hadChildren = false;
};

class RecordReader {
public:
    RecordReader(PrivilegedReplySource& source, RecordSink& sink) : tokens_(source), sink_(sink) {}

    std::optional<Fault> read() {
        tokens_.skipSpace();
        const int first = tokens_.get();
        if (first != '{') return beginsValue(first) ? Fault::notAnObject : Fault::malformedJSON;
        frames_.emplace_back();
        while (!frames_.empty()) {
            if (const auto fault = step()) return fault;
        }
        tokens_.skipSpace();
        if (tokens_.peek() >= 0) return Fault::malformedJSON;
        return std::nullopt;
    }

private:
    std::optional<Fault> step() {
        Frame& frame = frames_.back();
        int c = tokens_.next();
        switch (frame.expect) {
        case Frame::Expect::firstKey:
        case Frame::Expect::nextKey:
            if (c == '}') return close();
            if (frame.expect == Frame::Expect::nextKey) {
                if (c != ',') return Fault::malformedJSON;
                c = tokens_.next();
            }
            if (c != '"') return Fault::malformedJSON;
            return member(frame);
        case Frame::Expect::firstChild:
        case Frame::Expect::nextChild:
            if (frame.expect == Frame::Expect::nextChild) {
                if (c == ']') {
                    frame.expect = Frame::Expect::nextKey;
                    return std::nullopt;
                }
                if (c != ',') return Fault::malformedJSON;
                c = tokens_.next();
            }
            if (c != '{') return beginsValue(c) ? Fault::notAnObject : Fault::malformedJSON;
            if (frames_.size() >= kPrivilegedNodeMaxDepth) return Fault::tooDeep;
            frame.expect = Frame::Expect::nextChild;
            frames_.emplace_back();
            return std::nullopt;
        }
        return Fault::malformedJSON;
    }

    // One key and its value; the key's opening quote was taken.
    std::optional<Fault> member(Frame& frame) {
        if (!tokens_.string(key_)) return Fault::malformedJSON;
        const RecordKey key = keyNamed(key_);
        if (key != RecordKey::unknown) {
            if (frame.fields.seen & bit(key)) return Fault::repeatedKey;
            frame.fields.seen |= bit(key);
        }
        if (tokens_.next() != ':') return Fault::malformedJSON;
        frame.expect = Frame::Expect::nextKey;
        tokens_.skipSpace();
        const int c = tokens_.peek();
        RecordFields& fields = frame.fields;
        switch (key) {
        case RecordKey::name:
        case RecordKey::path:
            if (c != '"') return wrongOrMalformed(c);
            tokens_.get();
            if (!tokens_.string(key == RecordKey::name ? fields.name : fields.path))
                return Fault::malformedJSON;
            return std::nullopt;
        case RecordKey::isDirectory:
        case RecordKey::isAggregate: {
            if (c != 't' && c != 'f') return wrongOrMalformed(c);
            tokens_.get();
            if (!tokens_.literal(c == 't' ? "rue" : "alse")) return Fault::malformedJSON;
            (key == RecordKey::isDirectory ? fields.isDirectory : fields.isAggregate) = c == 't';
            return std::nullopt;
        }
        case RecordKey::allocatedSize:
        case RecordKey::folderCount:
        case RecordKey::fileCount: {
            if (c != '-' && !isDigit(c)) return wrongOrMalformed(c);
            Number number;
            if (!tokens_.number(number)) return Fault::malformedJSON;
            if (!number.integral) return Fault::integerOutOfRange;
            (key == RecordKey::allocatedSize ? fields.allocatedSize
             : key == RecordKey::folderCount ? fields.folderCount
                                             : fields.fileCount) = *number.integral;
            return std::nullopt;
        }
        case RecordKey::modificationDate: {
            if (c == 'n') {
                tokens_.get();
                if (!tokens_.literal("ull")) return Fault::malformedJSON;
                fields.modificationDate.reset();
                return std::nullopt;
            }
            if (c != '-' && !isDigit(c)) return wrongOrMalformed(c);
            Number number;
            if (!tokens_.number(number)) return Fault::malformedJSON;
            if (!std::isfinite(number.value)) return Fault::wrongType;
            fields.modificationDate = number.value;
            return std::nullopt;
        }
        case RecordKey::children:
            if (c != '[') return wrongOrMalformed(c);
            tokens_.get();
            tokens_.skipSpace();
            if (tokens_.peek() == ']') {
                tokens_.get();
                return std::nullopt;
            }
            frame.hadChildren = true;
            frame.expect = Frame::Expect::firstChild;
            return sink_.beginChildren(fields);
        case RecordKey::unknown:
            return skipValue();
        }
        return Fault::malformedJSON;
    }

    static Fault wrongOrMalformed(int c) { return beginsValue(c) ? Fault::wrongType : Fault::malformedJSON; }

    std::optional<Fault> close() {
        Frame frame = std::move(frames_.back());
        frames_.pop_back();
        if ((frame.fields.seen & kRequiredKeys) != kRequiredKeys) return Fault::missingKey;
        return sink_.endRecord(std::move(frame.fields), frame.hadChildren);
    }

    // Any JSON value, checked and dropped: the value of a key this reader does not know.
    std::optional<Fault> skipValue() {
        std::vector<char> open; // '{' or '[' of each container entered
        bool wantValue = true;
        for (;;) {
            if (wantValue) {
                tokens_.skipSpace();
                wantValue = false;
                if (const int first = tokens_.peek(); first == '-' || isDigit(first)) {
                    Number number;
                    if (!tokens_.number(number)) return Fault::malformedJSON;
                    continue;
                }
                const int c = tokens_.get();
                if (c == '{' || c == '[') {
                    if (open.size() >= kPrivilegedNodeMaxDepth) return Fault::tooDeep;
                    open.push_back(static_cast<char>(c));
                    tokens_.skipSpace();
                    if (tokens_.peek() == (c == '{' ? '}' : ']')) {
                        tokens_.get();
                        open.pop_back();
                    } else if (c == '{') {
                        if (!memberName()) return Fault::malformedJSON;
                        wantValue = true;
                        continue;
                    } else {
                        wantValue = true;
                        continue;
                    }
                } else if (c == '"') {
                    if (!tokens_.string(scratch_)) return Fault::malformedJSON;
                } else if (c == 't' || c == 'f' || c == 'n') {
                    if (!tokens_.literal(c == 't' ? "rue" : c == 'f' ? "alse" : "ull"))
                        return Fault::malformedJSON;
                } else {
                    return Fault::malformedJSON;
                }
            }
            // After a value: the container goes on, closes, or the value stood alone.
            if (open.empty()) return std::nullopt;
            const int c = tokens_.next();
            if (c == ',') {
                if (open.back() == '{' && !memberName()) return Fault::malformedJSON;
                wantValue = true;
            } else if (c == (open.back() == '{' ? '}' : ']')) {
                open.pop_back();
            } else {
                return Fault::malformedJSON;
            }
        }
    }

    // `"name":` inside an object being passed over.
    bool memberName() { return tokens_.next() == '"' && tokens_.string(scratch_) && tokens_.next() == ':'; }

    Tokens tokens_;
    RecordSink& sink_;
    std::vector<Frame> frames_;
    std::string key_;
    std::string scratch_;
};

} // namespace

std::optional<PrivilegedNodeFault> readPrivilegedRecord(PrivilegedReplySource& source, RecordSink& sink) {
    return RecordReader(source, sink).read();
}

} // namespace quillmere

#pragma once

#include <climits>
#include <cstddef>
#include <cstdint>
#include <expected>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace quillmere {

// Names the privileged helper carries.
inline constexpr const char* kPrivilegedHelperServiceFile = "com.quillmere.helper.plist";
inline constexpr const char* kPrivilegedHelperServiceName = "com.quillmere.helper";

// Seconds from 1 January 1970 to 1 January 2001, both UTC: the record's dates count from
// 2001, a scanned tree's from 1970.
inline constexpr double kSecondsFrom1970To2001 = 978307200;

// One node of a subtree the privileged helper walked, as it travels as JSON.
struct PrivilegedNode {
    std::string name;
    std::string path; // absolute; not looked at for an aggregate
    bool isDirectory = false;
    int64_t allocatedSize = 0; // a folder's whole subtree
    int64_t folderCount = 0;
    int64_t fileCount = 0;
    std::optional<double> modificationDate; // seconds since 2001
    bool isAggregate = false;
    std::vector<PrivilegedNode> children;

    bool operator==(const PrivilegedNode&) const = default;
};

// Replies nest no deeper than this many records (the walked folder is level 1).
inline constexpr std::size_t kPrivilegedNodeMaxDepth = 4096;

// Why a reply does not decode.
enum class PrivilegedNodeFault {
    malformedJSON,     // not JSON, or more than one value
    notAnObject,       // a record that is not a JSON object
    missingKey,        // a required key is absent
    repeatedKey,       // a key appears twice in one record
    wrongType,         // a value of the wrong JSON type (a date that is not a finite number)
    integerOutOfRange, // not an integral number within signed 64 bits
    negativeCount,     // a negative size or count
    childrenOnLeaf,    // children on a file or an aggregate
    tooDeep,           // nesting deeper than kPrivilegedNodeMaxDepth
    pathMismatch,      // the root is not the folder asked for, or a node leaves its parent
    totalsMismatch,    // counts that do not cover a folder's children, or sums beyond 64 bits
    duplicateName,     // two children of one folder with one name, or two aggregates
    implausibleSize,   // a size larger than the volume the folder lies on
};

// The JSON text of `node`: keys in the order name, path, isDirectory, allocatedSize,
// folderCount, fileCount, modificationDate (only when present), isAggregate, children.
// Text that is not UTF-8 is written with U+FFFD in place of each bad sequence. Deep trees
// cost no recursion.
std::string encodePrivilegedNode(const PrivilegedNode& node);

// The record in `bytes`, the helper's reply for the folder `askedPath`. Strict: any fault
// makes the whole reply undecodable. Bounded: nesting is cut off at kPrivilegedNodeMaxDepth
// without recursion, and memory stays proportional to the bytes.
std::expected<PrivilegedNode, PrivilegedNodeFault> decodePrivilegedNode(std::string_view bytes,
                                                                        std::string_view askedPath);

// The one folder a helper may send in place of `askedPath`, with the same rules, and the
// size no record may exceed (the capacity of the volume it lies on, when known).
struct PrivilegedReplyBounds {
    std::string askedPath;
    int64_t maxBytes = INT64_MAX;
};

// The first fault of a tree built in memory against the same rules as the decoders' (counts
// and totals, children, names, depth and paths; sizes up to `maxBytes`); nothing for a sound
// tree. Never recurses.
std::optional<PrivilegedNodeFault> privilegedTreeFault(const PrivilegedNode& root, std::string_view askedPath,
                                                       int64_t maxBytes = INT64_MAX);

} // namespace quillmere

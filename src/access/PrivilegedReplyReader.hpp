#pragma once

// The reader of the helper's wire record: strict JSON read straight from the reply's pieces
// into a sink of records, with no document and no recursion. Both the record decoder and the
// decoder that builds the scanned tree directly are sinks of it.

#include "access/PrivilegedNode.hpp"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace quillmere {

// Where the reader gets the bytes of one reply: piece after piece, then an empty piece at its
// end. A piece stays valid until the next call. May throw to abandon the reply.
class PrivilegedReplySource {
public:
    virtual ~PrivilegedReplySource() = default;
    virtual std::string_view next() = 0;
};

// A reply held whole.
class WholeReplySource final : public PrivilegedReplySource {
public:
    explicit WholeReplySource(std::string_view bytes) : bytes_(bytes) {}
    std::string_view next() override { return std::exchange(bytes_, std::string_view()); }

private:
    std::string_view bytes_;
};

enum class RecordKey : uint8_t {
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

// One record's fields as far as they have been read.
struct RecordFields {
    std::string name;
    std::string path;
    bool isDirectory = false;
    bool isAggregate = false;
    int64_t allocatedSize = 0;
    int64_t folderCount = 0;
    int64_t fileCount = 0;
    std::optional<double> modificationDate; // seconds since 2001
    unsigned seen = 0;                      // a bit per key met

    bool has(RecordKey key) const { return seen & (1u << static_cast<unsigned>(key)); }
};

// What the records go to, in the order the reply holds them. A record whose children array
// holds records is announced by beginChildren, with the fields read before the array, before
// the first of them; every record ends with endRecord once its object closes (its children's
// ends before its own). A fault stops the reading.
class RecordSink {
public:
    virtual ~RecordSink() = default;
    virtual std::optional<PrivilegedNodeFault> beginChildren(const RecordFields& soFar) = 0;
    virtual std::optional<PrivilegedNodeFault> endRecord(RecordFields&& record, bool hadChildren) = 0;
};

// Builds the records themselves.
class RecordBuilder final : public RecordSink {
public:
    std::optional<PrivilegedNodeFault> beginChildren(const RecordFields& soFar) override;
    std::optional<PrivilegedNodeFault> endRecord(RecordFields&& record, bool hadChildren) override;
    // The record read, once its object has closed.
    std::optional<PrivilegedNode>& result() { return result_; }

private:
    std::vector<PrivilegedNode> open_; // records whose children are being read
    std::optional<PrivilegedNode> result_;
};

// Reads exactly one record (the walked folder) from `source` into `sink`: every key but
// modificationDate is required, unknown keys are passed over whatever they hold, key order
// does not matter, and nesting stops at kPrivilegedNodeMaxDepth. The first fault, or nothing.
std::optional<PrivilegedNodeFault> readPrivilegedRecord(PrivilegedReplySource& source, RecordSink& sink);

} // namespace quillmere

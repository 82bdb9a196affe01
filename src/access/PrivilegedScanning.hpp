#pragma once

#include "access/PrivilegedNode.hpp"
#include "scan/FileNode.hpp"

#include <cstdint>
#include <optional>
#include <string>

namespace quillmere {

// Where the privileged helper stands with the service manager.
class PrivilegedScanStatus {
public:
    enum class Kind { failed, off, awaitingApproval, on };

    // The service manager's raw status values.
    static constexpr int64_t kNotRegistered = 0;
    static constexpr int64_t kEnabled = 1;
    static constexpr int64_t kRequiresApproval = 2;
    static constexpr int64_t kNotFound = 3;

    // Off until the service manager says otherwise.
    PrivilegedScanStatus() = default;

    static PrivilegedScanStatus failed(std::string message) { return {Kind::failed, std::move(message)}; }
    static PrivilegedScanStatus off() { return {Kind::off, {}}; }
    static PrivilegedScanStatus awaitingApproval() { return {Kind::awaitingApproval, {}}; }
    static PrivilegedScanStatus on() { return {Kind::on, {}}; }

    // 0 and 3 are off, 1 on, 2 awaiting approval; any other value fails with
    // "Unrecognized helper status.".
    static PrivilegedScanStatus fromServiceStatus(int64_t rawStatus);

    Kind kind() const { return kind_; }
    // The text shown to the user; empty unless failed.
    const std::string& message() const { return message_; }

    // The same case, and for failed the same message.
    bool operator==(const PrivilegedScanStatus&) const = default;

private:
    PrivilegedScanStatus(Kind kind, std::string message) : kind_(kind), message_(std::move(message)) {}
    Kind kind_ = Kind::off;
    std::string message_;
};

// The answer to one walk: the walked tree, or nothing when the helper is off, declined,
// failed or sent something undecodable.
struct PrivilegedWalk {
    // The tree as the client decodes a reply: straight into nodes, checked, placed in the
    // asked folder's parent (see decodePrivilegedTree).
    std::optional<FileNode> tree;
    // The tree as records, for helpers that build it in memory; checked by the merge.
    std::optional<PrivilegedNode> node;
    // The walk ran out of time: a helper that hangs once is not asked again in this pass.
    bool timedOut = false;

    bool hasTree() const { return tree.has_value() || node.has_value(); }
};

// How the privileged walk merge reaches the helper: one walk per call, each awaited.
class PrivilegedScanning {
public:
    virtual ~PrivilegedScanning() = default;
    // The subtree of the folder at the absolute `path`, as the helper saw it. Never throws.
    virtual PrivilegedWalk walkSubtree(const std::string& path) = 0;
};

} // namespace quillmere

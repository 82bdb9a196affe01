#pragma once

#include "access/PrivilegedNode.hpp"
#include "access/PrivilegedReplyReader.hpp"
#include "scan/FileNode.hpp"

#include <expected>
#include <string_view>

namespace quillmere {

// The walked folder of a reply, built straight into the scanned tree's nodes as its bytes come
// in: the tree fileNodeFromPrivileged makes of the record (an aggregate at the root is named
// after the asked folder's parent), checked by the rules of privilegedTreeFault, and never
// held as records. Nodes of one folder share its path, as a scan's do.
std::expected<FileNode, PrivilegedNodeFault> decodePrivilegedTree(PrivilegedReplySource& source,
                                                                  const PrivilegedReplyBounds& bounds);
std::expected<FileNode, PrivilegedNodeFault> decodePrivilegedTree(std::string_view bytes,
                                                                  const PrivilegedReplyBounds& bounds);

} // namespace quillmere

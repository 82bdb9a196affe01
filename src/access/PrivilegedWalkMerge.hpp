#pragma once

#include "access/PrivilegedScanning.hpp"
#include "scan/FileNode.hpp"
#include "scan/ScanRecords.hpp"

#include <future>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace quillmere {

// The denied paths worth asking the helper for: absolute, outside the privacy-protected
// folders of `homeDirectory`, shortest first (stable), none inside another kept one.
std::vector<DeniedPath> selectPathsForPrivilegedWalk(const std::vector<DeniedPath>& deniedPaths,
                                                     const std::string& homeDirectory);

// `result` with each chosen denied folder walked by `helper`, one walk after another, and
// the trees it returns grafted in place of the unread folders. The covered paths leave the
// denied list and its estimate is summed anew; the elapsed time stays. A walk that yields
// nothing leaves its folder denied; after a walk that ran out of time no further walk is
// sent. Never throws on the helper's account; blocks for the whole pass.
DiskScanResult augmentScanResult(DiskScanResult result, PrivilegedScanning& helper,
                                 const std::string& homeDirectory);

// The same on a thread of its own, which keeps the helper alive until the pass ends. Dropping
// the future never waits for the pass.
std::future<DiskScanResult> augmentScanResultInBackground(DiskScanResult result,
                                                          std::shared_ptr<PrivilegedScanning> helper,
                                                          std::string homeDirectory);

// The tree of a walked record, placed in the folder at `parentPath`: an aggregate is named
// after that folder, other nodes keep their own paths; sizes and counts are the helper's.
FileNode fileNodeFromPrivileged(const PrivilegedNode& record, std::string_view parentPath);

} // namespace quillmere

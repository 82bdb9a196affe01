#pragma once

#include "applications/model/DiskApplicationServices.hpp"
#include "support/AppFixture.hpp"

#include <string>
#include <vector>

namespace quillmere::testing {

// The standard scenario, written once per test program into a temporary folder.
const fixture::FixtureDisk& standardDisk();
// The Linux scenario, written once per test program into a temporary folder.
const fixture::FixtureDisk& linuxDisk();
// The services on a Linux `disk`: its Flatpak installations and snap tree under its root, no
// environment overrides.
ApplicationEnvironment linuxEnvironment(const fixture::FixtureDisk& disk,
                                        platform::ScanHost* host = &platform::ScanHost::system());
// An empty temporary folder of the test program's own, created afresh.
std::string freshFolder(const std::string& name);

// The services on `disk`: protection by the system rules below its root plus a restricted flag
// on every "Locked.app"; the team ABCDE12345 signs "Signed.app" when `withTeam`.
ApplicationEnvironment fixtureEnvironment(const fixture::FixtureDisk& disk, bool withTeam = true,
                                          platform::ScanHost* host = &platform::ScanHost::system());

// The bytes a scan of `path` counts, as every measurement must match.
int64_t scannedBytes(const std::string& path);

// The inventory of `services` on its own roots, in delivery order.
std::vector<InstalledApp> inventory(DiskApplicationServices& services);

} // namespace quillmere::testing

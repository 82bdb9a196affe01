#pragma once

#include <cstdint>
#include <string>

// Every text the System Data probe puts into its report, in one place. A text that names the
// place a category measures names the place this computer really uses.
namespace quillmere::systemdata_text {

inline constexpr const char* nothingToReclaim = "nothing present to reclaim";

// Local snapshots
std::string localSnapshotsName();
std::string noSnapshots();
std::string snapshotsUnlisted();
std::string snapshotsUnlistedReason();
std::string snapshotsFound(int64_t count, const std::string& firstName, const std::string& tool);
std::string snapshotsUnsizedReason();

// Backup snapshots (Timeshift)
std::string backupsName();
std::string noBackups(const std::string& folder);
std::string noBackupsReason(const std::string& folder);
std::string noBackupsMechanism(const std::string& folder);
std::string backupsFound(int64_t count, const std::string& folder);
std::string backupsUnreadableReason(int64_t count);
std::string backupsMechanism(const std::string& folder);
std::string backupItemLabel(const std::string& lastComponent);

// Device backups
std::string deviceBackupsName();
std::string noDeviceBackups();
std::string noDeviceBackupsMechanism();
std::string deviceBackupsExplanation();
std::string deviceBackupsMechanism();
std::string deviceBackupLabel(const std::string& name, const std::string& dateText);
std::string unknownDate();

// Developer build data
std::string derivedDataName();
std::string noDerivedData();
std::string noDerivedDataMechanism();
std::string derivedDataExplanation();
std::string derivedDataMechanism();

// Caches
std::string userCachesName();
std::string userCachesExplanation(const std::string& folder, int64_t unreadable);
std::string userCachesMechanism(const std::string& folder);
std::string systemCachesName();
std::string systemCachesExplanation(const std::string& folder, int64_t unreadable);
std::string systemCachesReason();
std::string systemCachesMechanism(const std::string& folder);

// Mail
std::string mailName();
std::string noMailFolder();
std::string noMailFolderMechanism();
std::string mailUnlisted();
std::string mailUnlistedReason();
std::string mailUnlistedMechanism();
std::string mailExplanation(int64_t unreadable);
std::string mailReason();
std::string mailMechanism();

// Cloud content
std::string cloudName();
std::string noCloud();
std::string noCloudMechanism();
std::string cloudExplanation(int64_t cloudOnly);
std::string cloudMechanism();

// The two derived rows
std::string deniedName();
// `byScan`: the figure is what the scan was refused, not what the category probes were.
std::string deniedExplanation(int64_t denied, bool byScan);
std::string deniedReason();
std::string deniedMechanism(bool byScan);
std::string remainderName();
std::string remainderExplanation(bool hasScan);
std::string remainderReason();
std::string remainderMechanism(bool hasScan);

// A probe that failed inside (out of memory): its row still appears.
std::string probeFailed();

} // namespace quillmere::systemdata_text

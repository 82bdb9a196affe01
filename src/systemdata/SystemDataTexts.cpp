#include "systemdata/SystemDataTexts.hpp"

namespace quillmere::systemdata_text {

namespace {
std::string count(int64_t value) {
    return std::to_string(value);
}
} // namespace

std::string localSnapshotsName() {
    return "Local snapshots";
}
std::string noSnapshots() {
    return "No local snapshots exist on this volume right now.";
}
std::string snapshotsUnlisted() {
    return "Local snapshots of this volume couldn't be listed, so any space they hold stays in \"Can't be "
           "attributed\".";
}
std::string snapshotsUnlistedReason() {
    return "Could not verify on this machine; treated as unknown rather than assumed empty.";
}
std::string snapshotsFound(int64_t n, const std::string& firstName, const std::string& tool) {
    return count(n) + " local snapshot(s) exist (e.g. \"" + firstName + "\"). " + tool +
           " doesn't expose a per-snapshot byte size on this system, so their real space is folded into "
           "\"Can't be attributed\" rather than estimated.";
}
std::string snapshotsUnsizedReason() {
    return "Size is unknown, so nothing can be offered for deletion responsibly.";
}

std::string backupsName() {
    return "Timeshift local backups";
}
std::string noBackups(const std::string& folder) {
    return "No locally-stored Timeshift backups were listed in " + folder +
           ", or none are configured on this computer.";
}
std::string noBackupsReason(const std::string& folder) {
    return "Could not verify on this machine — " + folder +
           " could not be listed or holds no backups; treated as unknown rather than assumed empty.";
}
std::string noBackupsMechanism(const std::string& folder) {
    return "listing of " + folder;
}
std::string backupsFound(int64_t n, const std::string& folder) {
    return count(n) + " local Timeshift backup(s) found in " + folder + ".";
}
std::string backupsUnreadableReason(int64_t n) {
    return "Timeshift named " + count(n) +
           " backup path(s) but none were readable to size; treated as unknown rather than assumed empty.";
}
std::string backupsMechanism(const std::string& folder) {
    return "listing of " + folder + " + directory walk";
}
std::string backupItemLabel(const std::string& lastComponent) {
    return "Timeshift backup — " + lastComponent;
}

std::string deviceBackupsName() {
    return "iOS device backups";
}
std::string noDeviceBackups() {
    return "No iOS device has been backed up to ~/Library/Application Support/MobileSync/Backup on this "
           "computer.";
}
std::string noDeviceBackupsMechanism() {
    return "check for ~/Library/Application Support/MobileSync/Backup";
}
std::string deviceBackupsExplanation() {
    return "Local backups of iPhones and iPads made through Finder or iTunes.";
}
std::string deviceBackupsMechanism() {
    return "directory walk of ~/Library/Application Support/MobileSync/Backup";
}
std::string deviceBackupLabel(const std::string& name, const std::string& dateText) {
    return name + " — backed up " + dateText;
}
std::string unknownDate() {
    return "an unknown date";
}

std::string derivedDataName() {
    return "Xcode derived data";
}
std::string noDerivedData() {
    return "No ~/Library/Developer/Xcode/DerivedData folder exists on this account.";
}
std::string noDerivedDataMechanism() {
    return "check for ~/Library/Developer/Xcode/DerivedData";
}
std::string derivedDataExplanation() {
    return "Build products and indexes. Xcode rebuilds whatever it needs on the next build.";
}
std::string derivedDataMechanism() {
    return "directory walk of ~/Library/Developer/Xcode/DerivedData";
}

namespace {
std::string unreadableSentence(int64_t n) {
    return n >= 1 ? " " + count(n) + " item(s) were unreadable and are not included." : "";
}
} // namespace

std::string userCachesName() {
    return "User caches";
}
std::string userCachesExplanation(const std::string& folder, int64_t unreadable) {
    return "Things apps keep under " + folder +
           " so they don't re-download or re-compute. Safe to remove; apps refill what they actually need." +
           unreadableSentence(unreadable);
}
std::string userCachesMechanism(const std::string& folder) {
    return "directory walk of " + folder;
}
std::string systemCachesName() {
    return "System caches";
}
std::string systemCachesExplanation(const std::string& folder, int64_t unreadable) {
    std::string text = "The system manages these itself under " + folder + ".";
    if (unreadable >= 1)
        text += " " + count(unreadable) +
                " subfolder(s) required permissions this process lacks and were not readable, so their bytes "
                "are shown separately, in \"Denied by permissions\" below.";
    return text;
}
std::string systemCachesReason() {
    return "Deleting them by hand frees space only briefly and can slow the next login while services "
           "rebuild "
           "what they own — so this app never offers to. (\"Leave alone\", per the definition of done.)";
}
std::string systemCachesMechanism(const std::string& folder) {
    return "partial directory walk of " + folder;
}

std::string mailName() {
    return "Mail downloads";
}
std::string noMailFolder() {
    return "No mail folder exists on this account.";
}
std::string noMailFolderMechanism() {
    return "check for ~/Library/Mail";
}
std::string mailUnlisted() {
    return "The mail folders on this account can't be listed by this process, let alone sized.";
}
std::string mailUnlistedReason() {
    return "Permission required; nothing could be verified from here.";
}
std::string mailUnlistedMechanism() {
    return "attempted to list the mail folders";
}
std::string mailExplanation(int64_t unreadable) {
    return "Messages and attachments your mail apps keep on this computer; the messages keep their own "
           "copies on "
           "the server." +
           unreadableSentence(unreadable);
}
std::string mailReason() {
    return "Deleting inside a mail app's own data folder directly can corrupt a mailbox; the mail app itself "
           "has "
           "to be the one to prune this, not a disk tool.";
}
std::string mailMechanism() {
    return "directory walk of the mail folders";
}

std::string cloudName() {
    return "Cached cloud content";
}
std::string noCloud() {
    return "No cloud drive is set up in ~/Library/Mobile Documents on this computer.";
}
std::string noCloudMechanism() {
    return "check for ~/Library/Mobile Documents";
}
std::string cloudExplanation(int64_t cloudOnly) {
    return "Bytes iCloud Drive has already downloaded and kept locally as a cache; " + count(cloudOnly) +
           " cloud-only item(s) were skipped without downloading them to measure them.";
}
std::string cloudMechanism() {
    return "FileManager enumeration reading ubiquitousItemDownloadingStatus + totalFileAllocatedSize; no "
           "file "
           "content is ever read";
}

std::string deniedName() {
    return "Denied by permissions";
}
std::string deniedExplanation(int64_t denied, bool byScan) {
    if (denied >= 1)
        return std::string("Bytes behind specific paths ") +
               (byScan ? "the scan met" : "the categories above named") +
               " but this process was refused permission to read — a known cause, not a mystery. Granting "
               "read "
               "access to those paths and rescanning would let these be measured for real.";
    return "Nothing was denied by a permission error this run.";
}
std::string deniedReason() {
    return "Its size is only an estimate of what's behind a closed door; nothing this uncertain is offered "
           "for deletion.";
}
std::string deniedMechanism(bool byScan) {
    if (byScan)
        return "volume used space minus what the scan accounted for, when it was denied paths (a stopped "
               "scan: the sum of lstat-based estimates of those paths)";
    return "sum of lstat-based estimates for every path denied while probing the categories above";
}
std::string remainderName() {
    return "Can't be attributed";
}
std::string remainderExplanation(bool hasScan) {
    if (!hasScan)
        return "Provisional: the file-tree scan that separates ordinary files from genuinely unattributable "
               "space "
               "hasn't finished yet, so this figure still includes ordinary files (a full file-tree walk is "
               "a "
               "separate pass this probe doesn't do on its own) — it will shrink once that scan completes.";
    return "Bytes neither the categories above, the denied-permissions row, nor a full file-tree scan could "
           "account "
           "for — ordinary files are excluded, since the scan already named those. What's left is space this "
           "process genuinely couldn't see or size: for example the byte size of local snapshots, which the "
           "system "
           "does not expose.";
}
std::string remainderReason() {
    return "Not attributed to a specific, named cause. Nothing this uncertain is offered for deletion.";
}
std::string remainderMechanism(bool hasScan) {
    if (!hasScan)
        return "volume used space minus the sum of every named category above, minus the "
               "denied-by-permissions "
               "row above";
    return "volume used space minus (the named categories above, or the full-disk scan total, whichever is "
           "larger), minus the denied-by-permissions row above";
}

std::string probeFailed() {
    return "This category could not be measured this run.";
}

} // namespace quillmere::systemdata_text

#pragma once

#include <string>

// The confirmation sheet's texts, in one place. Pieces are joined with names and numbers by
// the builders; the node and System Data texts write the apostrophe as ', the application
// and orphan texts as ’.
namespace quillmere::sheet_text {

inline const std::string openQuote = "\u201c";
inline const std::string closeQuote = "\u201d";
inline std::string quoted(const std::string& name) {
    return openQuote + name + closeQuote;
}

// Node.
inline const std::string cloudOnlyOne = "1 file that lives only in iCloud";
inline const std::string cloudOnlyMany = " files that live only in iCloud";
inline const std::string notCounted = "not counted";
inline const std::string nodeFinePrint =
    "The iCloud-only files are removed from the list on this Mac but were never "
    "taking space here, so they aren't part of the total.";
inline const std::string folderStays = "They stay in the Trash until you empty it, so you can put them back.";
inline const std::string itemStays = "It stays in the Trash until you empty it, so you can put it back.";
inline const std::string moveToTrash = "Move to Trash";
inline const std::string movedToTrash = "Moved to the Trash";

// System Data.
inline const std::string reclaimAllTitle = "Reclaim all safe items?";
inline const std::string reclaimAllSummaryTail =
    " the system won't reclaim on its own \u2014 every one of them safe to remove.";
inline const std::string reclaimEverythingFailed = "Couldn't reclaim everything";
inline const std::string reclaim = "Reclaim";
inline const std::string reclaimed = "Reclaimed";

// Applications and orphans.
inline const std::string oneAction =
    "Everything goes in one action. It stays in the Trash until you empty it.";
inline const std::string sharedReasonTail =
    " also uses that content, so it isn\u2019t going anywhere and isn\u2019t in "
    "the total.";
inline const std::string notSelectedReason = "You didn\u2019t select this, so it\u2019s staying put.";
inline const std::string cachesSummaryTail =
    " stays installed. These are files it can rebuild, so the space comes "
    "back now and the app fills what it needs again the next time you "
    "open it.";
inline const std::string cachesMoved = "Caches moved to the Trash";
inline const std::string cachesFailed = "Couldn\u2019t move every cache to the Trash";
inline const std::string orphansFailed = "Couldn\u2019t move everything to the Trash";

// The result step.
inline const std::string notMeasured = "Free space couldn't be measured after the operation.";
inline const std::string increasedBy = "Free space increased by ";
inline const std::string matching = ", matching what was promised.";
inline const std::string soFar = " so far \u2014 ";
inline const std::string promisedTail =
    " was promised. Items moved to the Trash don't free space until you empty it.";
// When the removal itself broke off; the Reclaimer reports every refusal as a reason of its own.
inline const std::string interrupted = "the operation stopped before this item was reached";

// The two steps' fixed labels.
inline const std::string getBack = "You'll get back ";
inline const std::string cancel = "Cancel";
inline const std::string done = "Done";

} // namespace quillmere::sheet_text

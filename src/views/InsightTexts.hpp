#pragma once

#include "scan/DiskInsights.hpp"
#include "scan/FileKind.hpp"

#include <cstdint>
#include <string>

// Every text of the insight screens, in one place. Folder names are inserted unchanged.
namespace quillmere::views::insight_texts {

// Shared pieces.
std::string loading();
std::string savedScanNotice();
std::string openFolderHelp();
std::string inThisFolder();
std::string inFolder(const std::string& relativeFolder);
std::string changedOn(const std::string& formattedDate);
std::string countedAsOneItem();
std::string sharedFootnote();

// Largest items.
std::string largestTitle();
std::string largestSubtitle(const std::string& folderName);
std::string largestEmpty(const std::string& folderName);

// Kinds.
std::string kindsTitle();
std::string kindsSubtitle(const std::string& folderName);
std::string kindsEmpty(const std::string& folderName);
// "12 items · 34%": the count in the locale's grouping, then the whole share of the total.
std::string kindCountLine(FileKind kind, int64_t itemCount, int64_t bytes, int64_t totalBytes);
std::string kindTooltip(FileKind kind, bool expandable);

// Untouched.
std::string untouchedTitle();
std::string untouchedSubtitle(const std::string& folderName);
std::string notChangedIn();
std::string yearChoiceTitle(int years);
std::string yearChoiceHelp(int years);
std::string untouchedEmpty(const std::string& folderName, int years);
std::string untouchedFootnote();
std::string ageBandLabel(DiskInsights::AgeBand band);

} // namespace quillmere::views::insight_texts

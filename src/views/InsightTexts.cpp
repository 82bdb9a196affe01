#include "views/InsightTexts.hpp"

#include "base/Format.hpp"
#include "views/Formatters.hpp"

#include <algorithm>
#include <cctype>

namespace quillmere::views::insight_texts {

std::string loading() {
    return "Reading the scan\u2026";
}

std::string savedScanNotice() {
    return "From the saved scan, which keeps only the largest items in each folder. Rescan for the full "
           "picture.";
}

std::string openFolderHelp() {
    return "Open the folder it's in";
}

std::string inThisFolder() {
    return "In this folder";
}

std::string inFolder(const std::string& relativeFolder) {
    return "in " + relativeFolder;
}

std::string changedOn(const std::string& formattedDate) {
    return "changed " + formattedDate;
}

std::string countedAsOneItem() {
    return "counted as one item";
}

std::string sharedFootnote() {
    return "Copies that share their bytes with another file aren't listed \u2014 removing them frees "
           "nothing.";
}

std::string largestTitle() {
    return "Largest items";
}

std::string largestSubtitle(const std::string& folderName) {
    return "The biggest files and bundles anywhere beneath " + folderName + ", largest first.";
}

std::string largestEmpty(const std::string& folderName) {
    return "Nothing beneath " + folderName + " is big enough to list.";
}

std::string kindsTitle() {
    return "Kinds";
}

std::string kindsSubtitle(const std::string& folderName) {
    return "Everything beneath " + folderName + ", grouped by what it is.";
}

std::string kindsEmpty(const std::string& folderName) {
    return "Nothing beneath " + folderName + " takes up space.";
}

std::string kindCountLine(FileKind kind, int64_t itemCount, int64_t bytes, int64_t totalBytes) {
    const bool groups = kind == FileKind::smallFiles;
    const char* noun = itemCount == 1 ? (groups ? "group" : "item") : (groups ? "groups" : "items");
    const double share = totalBytes < 1 ? 0.0 : static_cast<double>(bytes) / static_cast<double>(totalBytes);
    return formatGroupedInteger(itemCount) + " " + noun + " \u00b7 " + formatWholePercent(share);
}

std::string kindTooltip(FileKind kind, bool expandable) {
    if (!expandable) return std::string(explanation(kind));
    std::string lower(title(kind));
    // Titles are plain ASCII words; anything else is kept as it is.
    std::transform(lower.begin(), lower.end(), lower.begin(), [](char c) {
        return static_cast<unsigned char>(c) < 0x80
                   ? static_cast<char>(std::tolower(static_cast<unsigned char>(c)))
                   : c;
    });
    return "Show the largest " + lower;
}

std::string untouchedTitle() {
    return "Untouched";
}

std::string untouchedSubtitle(const std::string& folderName) {
    return "What beneath " + folderName +
           " hasn't changed in a long time. Unchanged isn't unneeded, so look before you delete.";
}

std::string notChangedIn() {
    return "Not changed in";
}

std::string yearChoiceTitle(int years) {
    return years == 1 ? "1 year" : std::to_string(years) + " years";
}

std::string yearChoiceHelp(int years) {
    return "Files that haven't changed in " +
           (years == 1 ? std::string("a year") : std::to_string(years) + " years") + " or more";
}

std::string untouchedEmpty(const std::string& folderName, int years) {
    return "Everything beneath " + folderName + " has changed within the last " +
           (years == 1 ? std::string("year") : std::to_string(years) + " years") + ".";
}

std::string untouchedFootnote() {
    return "Dates are when a file's contents last changed \u2014 Quillmere doesn't know when something was "
           "last opened. Copies that share their bytes with another file aren't listed \u2014 removing them "
           "frees nothing.";
}

std::string ageBandLabel(DiskInsights::AgeBand band) {
    using enum DiskInsights::AgeBand;
    switch (band) {
    case overFiveYears:
        return "Over 5 years";
    case twoToFiveYears:
        return "2\u20135 years";
    case oneToTwoYears:
        return "1\u20132 years";
    case pastYear:
        return "Past year";
    case undated:
        return "Not dated";
    }
    return "Not dated";
}

} // namespace quillmere::views::insight_texts

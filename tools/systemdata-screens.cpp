// Renders the System Data screen for sample reports to PNG files, in light and dark, at the
// window's smallest and a large size, for looking at them.
// Usage: systemdata-screens OUTPUT_FOLDER   (QT_SCALE_FACTOR=2 renders at 2x)
#include "ScreenStage.hpp"
#include "systemdata/SystemDataProbe.hpp"
#include "systemdata/view/SystemDataView.hpp"

#include <QApplication>

namespace {

using namespace quillmere;

SystemDataCategory category(const char* id, const char* name, int64_t size, const char* explanation,
                            bool reclaimable, std::optional<SystemDataReclaimAction> action = std::nullopt,
                            int64_t denied = 0) {
    return {
        id,          name,
        size,        explanation,
        reclaimable, reclaimable ? std::nullopt : std::optional<std::string>("nothing present to reclaim"),
        "sample",    std::move(action),
        denied};
}

constexpr int64_t GB = 1'000'000'000;

std::vector<SystemDataCategory> sampleCategories(int64_t scale) {
    const auto folder = SystemDataReclaimAction::directoryContents("/home/ann/.cache");
    return {
        category("apfs-local-snapshots", "Local snapshots", 0,
                 "3 local snapshot(s) exist (e.g. \"@snapshots/1\"). btrfs subvolume list doesn't expose a "
                 "per-snapshot byte size on this system.",
                 false),
        category(
            "time-machine-local-backups", "Timeshift local backups", 12 * GB * scale,
            "2 local Timeshift backup(s) found in /timeshift/snapshots.", true,
            SystemDataReclaimAction::wholeItems({{"/timeshift/snapshots/a", "Timeshift backup — a", 1}})),
        category("ios-device-backups", "iOS device backups", 0,
                 "No iOS device has been backed up to ~/Library/Application Support/MobileSync/Backup on "
                 "this computer.",
                 false),
        category("xcode-derived-data", "Xcode derived data", 0,
                 "No ~/Library/Developer/Xcode/DerivedData folder exists on this account.", false),
        category(
            "user-caches", "User caches", 4 * GB * scale,
            "Things apps keep under ~/.cache so they don't re-download or re-compute. Safe to remove; apps "
            "refill what they actually need.",
            true, folder, 3'000'000),
        category("system-caches", "System caches", 2 * GB * scale,
                 "The system manages these itself under /var/cache.", false),
        category("mail-downloads", "Mail downloads", 800'000'000 * scale,
                 "Messages and attachments your mail apps keep on this computer; the messages keep their own "
                 "copies on the server.",
                 false),
        category("cached-icloud-content", "Cached cloud content", 0,
                 "No cloud drive is set up in ~/Library/Mobile Documents on this computer.", false),
    };
}

void save(const SystemDataReport& report, bool dark, QSize size, const QString& path) {
    auto* view = new SystemDataView;
    view->setReport(report);
    screens::saveOnStage(view, dark, size, path, 0);
}

} // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    screens::useScreenFont();
    const QString folder = screens::outputFolder(argc, argv);

    std::vector<std::pair<QString, SystemDataReport>> reports;
    reports.emplace_back("ordinary", SystemDataProbe::assemble(sampleCategories(1), 180 * GB, 230 * GB));
    std::vector<SystemDataCategory> zero = sampleCategories(0);
    reports.emplace_back("all-zero", SystemDataProbe::assemble(zero, 0, 0));
    // Used bytes unreadable: the sizes exceed the total, so the wedges run past a whole turn.
    reports.emplace_back("over-total", SystemDataProbe::assemble(sampleCategories(1), std::nullopt, 10 * GB));
    std::vector<SystemDataCategory> withoutAction = sampleCategories(1);
    withoutAction[4].reclaimAction.reset(); // reclaimable, yet nothing to do
    reports.emplace_back("reclaimable-without-action",
                         SystemDataProbe::assemble(withoutAction, 180 * GB, 230 * GB));

    for (const bool dark : {false, true})
        for (const auto& [name, report] : reports) {
            const QString scheme = dark ? "dark" : "light";
            save(report, dark, {760, 500}, folder + "/systemdata-" + name + "-" + scheme + "-small.png");
            save(report, dark, {1400, 900}, folder + "/systemdata-" + name + "-" + scheme + "-large.png");
        }
    return 0;
}

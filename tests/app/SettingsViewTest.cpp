#include "app/access/SettingsView.hpp"

#include "AccessScreenProbe.hpp"
#include "app/state/AppSettings.hpp"
#include "scan/ScanSnapshot.hpp"
#include "views/Formatters.hpp"

#include <QCheckBox>
#include <QComboBox>
#include <QSettings>
#include <QTemporaryDir>
#include <fcntl.h>
#include <filesystem>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unicode/locid.h>

namespace quillmere {
namespace {

using testing::shownButton;
using testing::shownButtons;
using testing::shownSymbols;
using testing::shownTexts;

ScanSnapshot snapshotOf(const std::string& uuid, Date scannedAt) {
    const FolderPath root = FolderPath::root("/");
    std::vector<FileNode> children{
        FileNode::under(root, "a", NodeFields{.allocatedSize = 10, .fileCount = 1})};
    return ScanSnapshot{FileNode::folder(root, "/", std::nullopt, std::move(children)), uuid, "Disk <i>",
                        scannedAt};
}

struct Fixture {
    QTemporaryDir folder;
    std::string snapshot = folder.filePath("last-scan.qlmrsnap").toStdString();
    AppSettings settings{folder.filePath("Quillmere.conf")};
    bool granted = false;
    bool removalFails = false;

    SettingsView::Host host() {
        SavedScanLocator locator{[this] { return snapshot; },
                                 [] { return std::optional<std::string>("uuid-root"); },
                                 [this](const std::string& path) {
                                     if (removalFails) return false;
                                     return std::filesystem::remove(path) || !std::filesystem::exists(path);
                                 }};
        return {[this] { return granted; }, locator, {}};
    }
    QString savedScanRow(const SettingsView& view) const {
        const QStringList texts = shownTexts(view);
        return texts.at(texts.indexOf("Saved scan") + 1);
    }
};

TEST(SettingsView, ShowsTheFormAndTheAccessStatus) {
    Fixture fixture;
    SettingsView view(fixture.settings, fixture.host());
    EXPECT_EQ(view.width(), 460);
    EXPECT_EQ(
        shownTexts(view),
        (QStringList{"Appearance",
                     "Off by default. Quillmere reads nothing until you ask it to, and turning "
                     "this on is how you ask once instead of every time.",
                     "Home folder access", "Status", "Not granted", "Saved scan", "None",
                     "Quillmere keeps the last completed scan so reopening it shows your disk straight away. "
                     "Forgetting it means the next launch starts from nothing."}));
    EXPECT_EQ(shownSymbols(view), QStringList{"lock.fill"});
    EXPECT_EQ(shownButtons(view), (QStringList{"Show how full the disk is around the rings",
                                               "Scan automatically when Quillmere opens",
                                               "Open System Settings\u2026", "Forget saved scan"}));
    EXPECT_FALSE(shownButton(view, "Forget saved scan")->isEnabled());
    auto* picker = view.findChild<QComboBox*>();
    ASSERT_EQ(picker->count(), 3);
    EXPECT_EQ((QStringList{picker->itemText(0), picker->itemText(1), picker->itemText(2)}),
              (QStringList{"Match system", "Light", "Dark"}));
    EXPECT_EQ(picker->currentText(), "Match system");

    fixture.granted = true;
    view.refresh();
    EXPECT_TRUE(shownTexts(view).contains("Granted"));
    EXPECT_EQ(shownSymbols(view), QStringList{"checkmark.circle.fill"});
    EXPECT_EQ(shownButton(view, "Open System Settings\u2026"), nullptr);
}

TEST(SettingsView, TheToggleFollowsTheStoredViewTextAndAnUnknownAppearanceStays) {
    Fixture fixture;
    // Texts this version never writes, found in the file when it is opened: a text that names no
    // mode shows the sunburst elsewhere but is not "sunburst" here, and the main window writing
    // "sunburst" over it changes no mode, yet enables the toggle; an unknown appearance selects
    // no row and stays stored.
    const QString path = fixture.folder.filePath("Edited.conf");
    {
        QSettings raw(path, QSettings::IniFormat);
        raw.setValue("diskViewMode", "rings");
        raw.setValue("appearance", "sepia");
    }
    AppSettings settings(path), other(path);
    SettingsView view(settings, fixture.host());
    auto* gauge = qobject_cast<QCheckBox*>(shownButton(view, "Show how full the disk is around the rings"));
    EXPECT_TRUE(gauge->isChecked());
    EXPECT_FALSE(gauge->isEnabled());
    other.setDiskViewMode(DiskViewMode::sunburst);
    EXPECT_TRUE(gauge->isEnabled());

    EXPECT_EQ(view.findChild<QComboBox*>()->currentIndex(), -1);
    EXPECT_EQ(settings.appearance(), "sepia");
}

TEST(SettingsView, SavedScanRowReadsTheFileOfTheStartupVolumeOnly) {
    icu::Locale::setDefault(icu::Locale("en_US"), *std::make_unique<UErrorCode>(U_ZERO_ERROR));
    Fixture fixture;
    ASSERT_TRUE(ScanSnapshotStore::save(snapshotOf("uuid-other", 1765220700), fixture.snapshot));
    {
        SettingsView view(fixture.settings, fixture.host());
        EXPECT_EQ(fixture.savedScanRow(view), "None");
        EXPECT_FALSE(shownButton(view, "Forget saved scan")->isEnabled());
        EXPECT_TRUE(std::filesystem::exists(fixture.snapshot));
    }
    ASSERT_TRUE(ScanSnapshotStore::save(snapshotOf("uuid-root", 1765220700), fixture.snapshot));
    SettingsView view(fixture.settings, fixture.host());
    EXPECT_EQ(fixture.savedScanRow(view),
              QString("Disk <i> \u00B7 ") +
                  QString::fromStdString(views::formatMediumDateShortTime(1765220700)));
    EXPECT_TRUE(shownButton(view, "Forget saved scan")->isEnabled());

    // A scan without a time of its own shows when the file was written.
    for (const Date when : {kDistantPast, std::numeric_limits<double>::quiet_NaN()}) {
        ASSERT_TRUE(ScanSnapshotStore::save(snapshotOf("uuid-root", when), fixture.snapshot));
        const struct timespec times[2] = {{1'700'000'000, 0}, {1'700'000'000, 0}};
        ASSERT_EQ(::utimensat(AT_FDCWD, fixture.snapshot.c_str(), times, 0), 0);
        view.refresh();
        EXPECT_EQ(view.savedScan(), (SavedScanSummary{"Disk <i>", 1'700'000'000}));
    }
}

TEST(SettingsView, ForgetSaysForgottenOnlyWhenTheFileIsGone) {
    Fixture fixture;
    ASSERT_TRUE(ScanSnapshotStore::save(snapshotOf("uuid-root", 1765220700), fixture.snapshot));
    SettingsView view(fixture.settings, fixture.host());
    fixture.removalFails = true;
    shownButton(view, "Forget saved scan")->click();
    EXPECT_TRUE(view.savedScan().has_value());
    EXPECT_NE(fixture.savedScanRow(view), "Forgotten");
    EXPECT_TRUE(shownButton(view, "Forget saved scan")->isEnabled());

    fixture.removalFails = false;
    shownButton(view, "Forget saved scan")->click();
    EXPECT_EQ(fixture.savedScanRow(view), "Forgotten");
    EXPECT_FALSE(shownButton(view, "Forget saved scan")->isEnabled());
    EXPECT_FALSE(std::filesystem::exists(fixture.snapshot));
    view.refresh();
    EXPECT_EQ(fixture.savedScanRow(view), "Forgotten");
}

} // namespace
} // namespace quillmere

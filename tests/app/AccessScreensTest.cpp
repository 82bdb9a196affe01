#include "AccessScreenProbe.hpp"
#include "access/HelperServiceManager.hpp"
#include "app/access/AboutView.hpp"
#include "app/access/CantSeeView.hpp"
#include "app/access/FigureLabel.hpp"
#include "app/access/FullDiskAccessBanner.hpp"
#include "app/access/PermissionGateView.hpp"
#include "app/access/PrivilegedScanController.hpp"
#include "app/access/PrivilegedScanSection.hpp"
#include "ui/Theme.hpp"

#include <QCoreApplication>
#include <QDialog>
#include <QFontMetricsF>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <gtest/gtest.h>

namespace quillmere {
namespace {

using testing::shownButton;
using testing::shownButtons;
using testing::shownSymbols;
using testing::shownTexts;

struct RecordingOpener {
    std::shared_ptr<std::vector<QUrl>> calls = std::make_shared<std::vector<QUrl>>();
    UrlOpener opener() {
        return [calls = calls](const QUrl& url) { calls->push_back(url); };
    }
};

TEST(PermissionGate, ShowsThePromisesAndFollowsTheAccessItIsGiven) {
    RecordingOpener opener;
    PermissionGateView gate(false, opener.opener());
    int continues = 0;
    QObject::connect(&gate, &PermissionGateView::continueRequested, [&] { ++continues; });

    EXPECT_EQ(
        shownTexts(gate),
        (QStringList{"Before the first scan",
                     "Linux keeps some folders behind file permissions: other users' files, folders only an "
                     "administrator may read. Quillmere works without them. It just won't be able to account "
                     "for whatever it couldn't open.",
                     "Quillmere never deletes anything you didn't ask it to",
                     "It leaves files on cloud and network drives where they are instead of downloading them "
                     "to weigh them",
                     "You can grant access later in System Settings"}));
    EXPECT_EQ(shownSymbols(gate), (QStringList{"checkmark.shield.fill", "icloud.slash.fill", "lock.fill"}));
    EXPECT_EQ(shownButtons(gate), (QStringList{"Continue", "Grant Full Disk Access\u2026"}));

    shownButton(gate, "Grant Full Disk Access\u2026")->click();
    ASSERT_EQ(opener.calls->size(), 1u);
    EXPECT_EQ(opener.calls->front().toString().size(), 72);
    EXPECT_EQ(opener.calls->front().toString(),
              "x-apple.systempreferences:com.apple.preference.security?Privacy_AllFiles");
    EXPECT_EQ(continues, 0);

    gate.setFullDiskAccessGranted(true);
    EXPECT_TRUE(shownTexts(gate).contains("Read access to your home folder is already granted"));
    EXPECT_FALSE(shownTexts(gate).contains("You can grant access later in System Settings"));
    EXPECT_EQ(shownSymbols(gate).last(), "checkmark.circle.fill");
    EXPECT_EQ(shownButtons(gate), QStringList{"Continue"});
    shownButton(gate, "Continue")->click();
    EXPECT_EQ(continues, 1);
}

// An audit of a scan that was denied paths behind which `hidden` bytes lie (none when 0 and no
// location is given).
AccessAudit auditOf(int64_t hidden, bool granted, std::vector<AccessAuditLocation> locations = {}) {
    const bool denied = hidden > 0 || !locations.empty();
    return AccessAudit{2'000'000'000, 2'000'000'000 - hidden, hidden, std::move(locations), granted, hidden,
                       denied};
}

TEST(FullDiskAccessBanner, SaysHowMuchIsHiddenAndOffersGrantOnlyWithoutAccess) {
    RecordingOpener opener;
    FullDiskAccessBanner banner(opener.opener());
    banner.setAudit(auditOf(1'230'000'000, true));
    EXPECT_EQ(shownTexts(banner), QStringList{"There's 1.23 GB here Quillmere isn't allowed to see."});
    EXPECT_EQ(shownButton(banner, "Grant Full Disk Access\u2026"), nullptr);
    EXPECT_EQ(shownSymbols(banner), QStringList{"exclamationmark.triangle.fill"});
    auto* details = banner.findChild<QPushButton*>("chevron.right.circle.fill");
    ASSERT_NE(details, nullptr);
    EXPECT_EQ(details->toolTip(), "See which locations Quillmere can't read");

    banner.setAudit(auditOf(0, false));
    EXPECT_EQ(shownTexts(banner), QStringList{"There's Zero KB here Quillmere isn't allowed to see."});
    shownButton(banner, "Grant Full Disk Access\u2026")->click();
    EXPECT_EQ(opener.calls->size(), 1u);
}

TEST(FullDiskAccessBanner, IsPresentedAfterAScanOnlyWhileAccessIsMissingOrPathsWereDenied) {
    EXPECT_FALSE(FullDiskAccessBanner::isPresented(std::nullopt, false));
    EXPECT_TRUE(FullDiskAccessBanner::isPresented(auditOf(0, true), false));
    EXPECT_FALSE(FullDiskAccessBanner::isPresented(auditOf(0, false), true));
    EXPECT_TRUE(FullDiskAccessBanner::isPresented(auditOf(1, true), true));
    // Used space the scan could not account for, with nothing denied, is no permission's doing.
    const AccessAudit unexplained{2'000'000'000, 1'000'000'000, 1'000'000'000, {}, true, 0, false};
    EXPECT_FALSE(FullDiskAccessBanner::isPresented(unexplained, true));
    // Denied paths with nothing left to blame on them still name the locations.
    EXPECT_TRUE(FullDiskAccessBanner::isPresented(
        AccessAudit{.isFullDiskAccessGranted = true, .hasDeniedPaths = true}, true));
}

TEST(FullDiskAccessBanner, TheDetailsSheetShowsTheCantSeeScreenAndClosingItClearsTheFlag) {
    QWidget window;
    window.resize(900, 700);
    auto* banner = new FullDiskAccessBanner({}, &window);
    banner->setAudit(auditOf(5000, false));
    window.show();
    banner->findChild<QPushButton*>("chevron.right.circle.fill")->click();
    ASSERT_TRUE(banner->isShowingDetails());
    QDialog* sheet = banner->detailsSheet();
    EXPECT_GE(sheet->width(), 560);
    EXPECT_GE(sheet->height(), 420);
    EXPECT_EQ(sheet->windowModality(), Qt::WindowModal);
    EXPECT_NE(sheet->findChild<CantSeeView*>(), nullptr);
    EXPECT_EQ(sheet->findChild<PrivilegedScanSection*>(), nullptr);
    sheet->close();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_FALSE(banner->isShowingDetails());
}

TEST(CantSeeView, SummaryAndBodyFollowTheAudit) {
    const QString waiting = "Waiting for the scan to finish\u2026";
    const QString nothing = "Nothing was hidden from the last scan.";
    {
        CantSeeView screen(std::nullopt, nullptr, {});
        EXPECT_EQ(shownTexts(screen), (QStringList{"Can't see", waiting, waiting}));
        EXPECT_TRUE(shownButtons(screen).isEmpty());
        EXPECT_EQ(screen.findChild<PrivilegedScanSection*>(), nullptr);
    }
    {
        CantSeeView screen(auditOf(0, false), nullptr, {});
        EXPECT_EQ(shownTexts(screen), (QStringList{"Can't see", nothing, nothing}));
        EXPECT_TRUE(shownButtons(screen).isEmpty());
    }
    {
        RecordingOpener opener;
        CantSeeView screen(auditOf(1'230'000'000, false), nullptr, opener.opener());
        EXPECT_EQ(
            shownTexts(screen),
            (QStringList{"Can't see",
                         "There's 1.23 GB here Quillmere isn't allowed to see. The last scan couldn't read "
                         "into these locations.",
                         nothing}));
        shownButton(screen, "Grant Full Disk Access\u2026")->click();
        EXPECT_EQ(opener.calls->size(), 1u);
    }
}

TEST(CantSeeView, ListsTheLocationsInOrderWithCountsAndAmounts) {
    std::vector<AccessAuditLocation> locations{{"~/Library", 900'000'000, 12},
                                               {"Other users' home folders", 200'000'000, 1},
                                               {"/root", 100'000, 0},
                                               {"/var", 4'000, 3},
                                               {"<b>/srv</b>", -5, 2}};
    CantSeeView screen(auditOf(1'100'104'000, true, locations), nullptr, {});
    EXPECT_TRUE(shownButtons(screen).isEmpty());
    const QStringList texts = shownTexts(screen);
    const QStringList expected{"~/Library",
                               "12 locations denied",
                               "900 MB",
                               "Other users' home folders",
                               "1 location denied",
                               "200 MB",
                               "/root",
                               "0 locations denied",
                               "100 KB",
                               "/var",
                               "3 locations denied",
                               "4 KB",
                               "<b>/srv</b>",
                               "2 locations denied",
                               "Zero KB"};
    EXPECT_EQ(texts.mid(2), expected);
    EXPECT_EQ(screen.findChildren<QWidget*>("CantSeeLocationRow").size(), 5);

    // Each digit of an amount takes one cell width, though the face's own digits differ.
    const QList<QLabel*> amounts = screen.findChildren<QLabel*>("amount");
    ASSERT_EQ(amounts.size(), 5);
    ASSERT_EQ(amounts[2]->text(), "100 KB");
    const QFontMetricsF face(amounts[2]->font());
    ASSERT_LT(face.horizontalAdvance("100"), face.horizontalAdvance("888"));
    EXPECT_EQ(amounts[2]->sizeHint(), FigureLabel("888 KB", 13, QFont::DemiBold).sizeHint());
}

struct Controlled {
    FakeHelperServiceManager service;
    CapturedPrivilegedScanLog log;
    std::shared_ptr<PrivilegedScanClient> client;
    std::unique_ptr<PrivilegedScanController> controller;

    explicit Controlled(int64_t raw) {
        service.setRawStatus(raw);
        client = std::make_shared<PrivilegedScanClient>(service, log,
                                                        PrivilegedScanClient::Options{"/nonexistent"});
        controller = std::make_unique<PrivilegedScanController>(client);
    }
};

TEST(PrivilegedScanSection, ShowsTheTextsAndButtonsOfEachStatus) {
    Controlled on(PrivilegedScanStatus::kEnabled);
    PrivilegedScanSection section(*on.controller);
    EXPECT_EQ(shownTexts(section),
              (QStringList{"Other users' and system-owned files",
                           "Scans now account for other users' home folders and system-owned "
                           "files."}));
    EXPECT_EQ(shownSymbols(section), QStringList{"person.2.badge.key.fill"});
    EXPECT_EQ(shownButtons(section), QStringList{"Turn Off"});

    on.controller->setStatus(PrivilegedScanStatus::awaitingApproval());
    EXPECT_EQ(shownTexts(section).last(),
              "Have an administrator add you to the quillmere group, then sign in "
              "again, to finish turning this on.");
    EXPECT_EQ(shownSymbols(section), QStringList{"clock.badge.exclamationmark"});
    EXPECT_EQ(shownButtons(section), (QStringList{"Open Helper Guide\u2026", "Turn Off"}));

    on.controller->setStatus(PrivilegedScanStatus::failed("boom"));
    EXPECT_EQ(shownTexts(section).last(), "boom");
    EXPECT_EQ(shownSymbols(section), QStringList{"exclamationmark.triangle"});
    EXPECT_EQ(shownButtons(section), QStringList{"Try Again"});

    on.controller->setStatus(PrivilegedScanStatus::off());
    EXPECT_EQ(
        shownTexts(section).last(),
        "Quillmere can't read other people's home folders or files owned by the system. Turning this on "
        "installs a helper that reads their sizes \u2014 and only their sizes. It never deletes anything.");
    EXPECT_EQ(shownSymbols(section), QStringList{"person.2.slash"});
    EXPECT_EQ(shownButtons(section), QStringList{"Turn On\u2026"});
    EXPECT_TRUE(shownButton(section, "Turn On\u2026")->isEnabled());
}

TEST(PrivilegedScanSection, TurnOffButtonsAreDisabledWhileBusyButTheGuideStaysEnabled) {
    Controlled waiting(PrivilegedScanStatus::kRequiresApproval);
    PrivilegedScanSection section(*waiting.controller);
    QSignalSpy finished(waiting.controller.get(), &PrivilegedScanController::turnOffFinished);
    shownButton(section, "Turn Off")->click();
    ASSERT_TRUE(waiting.controller->isBusy());
    EXPECT_FALSE(shownButton(section, "Turn Off")->isEnabled());
    EXPECT_TRUE(shownButton(section, "Open Helper Guide\u2026")->isEnabled());
    ASSERT_TRUE(finished.wait(30000));
    EXPECT_EQ(waiting.controller->status(), PrivilegedScanStatus::off());
    EXPECT_TRUE(shownButton(section, "Turn On\u2026")->isEnabled());
}

TEST(CantSeeView, HoldsTheHelperSectionWhenAControllerIsGiven) {
    Controlled off(PrivilegedScanStatus::kNotRegistered);
    CantSeeView screen(auditOf(10, true), off.controller.get(), {});
    EXPECT_NE(screen.findChild<PrivilegedScanSection*>(), nullptr);
}

TEST(AboutView, ShowsTheVersionAndFollowsTheAppearance) {
    const QString description = "Quillmere is a native disk analyzer for Linux. It scans your startup disk "
                                "and shows what's taking up "
                                "space as a live, drillable map \u2014 so you can see what's actually inside "
                                "a folder before you delete it.";
    QCoreApplication::setApplicationVersion("0.1.0");
    {
        AboutView about;
        EXPECT_EQ(shownTexts(about), (QStringList{"Quillmere", "Version 0.1.0", description}));
        EXPECT_EQ(about.width(), 360);
        about.setPalette(Theme::qtPalette(true));
        EXPECT_EQ(about.findChildren<QLabel*>()[0]->palette().color(QPalette::WindowText), Theme::dark().ink);
        about.setPalette(Theme::qtPalette(false));
        EXPECT_EQ(about.findChildren<QLabel*>()[0]->palette().color(QPalette::WindowText),
                  Theme::light().ink);
    }
    QCoreApplication::setApplicationVersion(QString());
    AboutView about;
    EXPECT_TRUE(shownTexts(about).contains("Version 1.0"));
}

} // namespace
} // namespace quillmere

#pragma once

#include <QString>
#include <cstdint>

namespace quillmere::accessTexts {

// The texts of the permission gate, the Settings and About windows, kept together so that a
// wording change touches one place.
inline const QString kGateTitle = QStringLiteral("Before the first scan");
inline const QString kGateExplainer = QStringLiteral(
    "Linux keeps some folders behind file permissions: other users' files, folders only an administrator "
    "may read. Quillmere works without them. It just won't be able to account for whatever it couldn't "
    "open.");
inline const QString kGateNeverDeletes =
    QStringLiteral("Quillmere never deletes anything you didn't ask it to");
inline const QString kGateCloud = QStringLiteral(
    "It leaves files on cloud and network drives where they are instead of downloading them to weigh them");
inline const QString kGateGranted = QStringLiteral("Read access to your home folder is already granted");
inline const QString kGateGrantLater = QStringLiteral("You can grant access later in System Settings");
inline const QString kContinue = QStringLiteral("Continue");
inline const QString kGrantFullDiskAccess = QStringLiteral("Grant Full Disk Access\u2026");

inline const QString kAboutName = QStringLiteral("Quillmere");
inline const QString kAboutDescription = QStringLiteral(
    "Quillmere is a native disk analyzer for Linux. It scans your startup disk and shows what's taking up "
    "space as a live, drillable map \u2014 so you can see what's actually inside a folder before you "
    "delete it.");
QString aboutVersionLine(const QString& applicationVersion);

inline const QString kAppearance = QStringLiteral("Appearance");
inline const QString kCapacityGauge = QStringLiteral("Show how full the disk is around the rings");
inline const QString kScansOnLaunch = QStringLiteral("Scan automatically when Quillmere opens");
inline const QString kScansOnLaunchFooter = QStringLiteral(
    "Off by default. Quillmere reads nothing until you ask it to, and turning this on is how you "
    "ask once instead of every time.");
inline const QString kFullDiskAccessHeader = QStringLiteral("Home folder access");
inline const QString kStatus = QStringLiteral("Status");
inline const QString kGranted = QStringLiteral("Granted");
inline const QString kNotGranted = QStringLiteral("Not granted");
inline const QString kOpenSystemSettings = QStringLiteral("Open System Settings\u2026");
inline const QString kSavedScan = QStringLiteral("Saved scan");
inline const QString kForgotten = QStringLiteral("Forgotten");
inline const QString kNone = QStringLiteral("None");
inline const QString kForgetSavedScan = QStringLiteral("Forget saved scan");
inline const QString kSavedScanFooter =
    QStringLiteral("Quillmere keeps the last completed scan so reopening it shows your disk straight away. "
                   "Forgetting it means the next launch starts from nothing.");

inline const QString kHelperTitle = QStringLiteral("Other users' and system-owned files");
inline const QString kHelperOn =
    QStringLiteral("Scans now account for other users' home folders and system-owned files.");
inline const QString kHelperAwaitingApproval = QStringLiteral(
    "Have an administrator add you to the quillmere group, then sign in again, to finish turning this on.");
inline const QString kHelperOff = QStringLiteral(
    "Quillmere can't read other people's home folders or files owned by the system. Turning this on installs "
    "a helper that reads their sizes \u2014 and only their sizes. It never deletes anything.");
inline const QString kTurnOff = QStringLiteral("Turn Off");
inline const QString kTurnOn = QStringLiteral("Turn On\u2026");
inline const QString kTryAgain = QStringLiteral("Try Again");
inline const QString kOpenApproval = QStringLiteral("Open Helper Guide\u2026");

inline const QString kCantSeeTitle = QStringLiteral("Can't see");
inline const QString kWaitingForScan = QStringLiteral("Waiting for the scan to finish\u2026");
inline const QString kNothingHidden = QStringLiteral("Nothing was hidden from the last scan.");
inline const QString kSeeLocationsTooltip = QStringLiteral("See which locations Quillmere can't read");
// "There's <b>1.23 GB</b> here Quillmere isn't allowed to see." with the amount escaped.
QString hiddenAmountRichText(int64_t bytes, bool withCantReadSentence);
QString deniedCountLine(int64_t count);

} // namespace quillmere::accessTexts

#include "ui/DesktopSettings.hpp"

#include "support/FakeSettingsPortal.hpp"
#include "support/PrivateBus.hpp"

#include <QDBusPendingCallWatcher>
#include <QSignalSpy>
#include <QTest>
#include <algorithm>
#include <gtest/gtest.h>
#include <memory>
#include <vector>

namespace quillmere::platform {
namespace {

using test::FakeSettingsPortal;
using test::kAnimationsKey;
using test::kColorSchemeKey;
using Scheme = DesktopSettings::ColorScheme;

class DesktopSettingsTest : public quillmere::test::PrivateBus {
protected:
    void serve() {
        portalBus_ = connect("portal");
        ASSERT_TRUE(portalBus_.isConnected());
        ASSERT_TRUE(portal_.serveOn(portalBus_));
    }
    void change(const FakeSettingsPortal::Key& key, const QVariant& value) {
        FakeSettingsPortal::sendChange(portalBus_, key.first, key.second, value);
    }

    FakeSettingsPortal portal_;
    QDBusConnection portalBus_{QString()};
};

TEST_F(DesktopSettingsTest, ReadsEachPreferenceOnceWithoutWaitingThenFollowsItsChanges) {
    portal_.values[kAnimationsKey] = false;
    portal_.values[kColorSchemeKey] = uint(1);
    serve();

    DesktopSettings settings(connect("app"));
    QSignalSpy motion(&settings, &DesktopSettings::reducedMotionChanged);
    QSignalSpy colors(&settings, &DesktopSettings::colorSchemeChanged);
    // No answer yet: asking does not wait, animations are on and no colours are preferred.
    EXPECT_FALSE(settings.prefersReducedMotion());
    EXPECT_EQ(settings.colorScheme(), Scheme::noPreference);
    ASSERT_TRUE(QTest::qWaitFor([&] { return motion.size() == 1 && colors.size() == 1; }, 30000));
    EXPECT_TRUE(settings.prefersReducedMotion());
    EXPECT_EQ(settings.colorScheme(), Scheme::dark);
    EXPECT_EQ(portal_.calls, (QStringList{"ReadOne enable-animations", "ReadOne color-scheme"}));

    // Reading again costs no call to the portal.
    for (int i = 0; i < 100; ++i)
        EXPECT_EQ(settings.colorScheme(), Scheme::dark);
    EXPECT_EQ(portal_.calls.size(), 2);

    change(kColorSchemeKey, uint(2));
    ASSERT_TRUE(QTest::qWaitFor([&] { return colors.size() == 2; }, 30000));
    EXPECT_EQ(settings.colorScheme(), Scheme::light);
    EXPECT_TRUE(settings.prefersReducedMotion()); // the other preference stays as it was

    // Another key of the same group changes nothing; the next change of ours arrives after it.
    change({"org.freedesktop.appearance", "accent-color"}, uint(1));
    change(kColorSchemeKey, uint(0));
    ASSERT_TRUE(QTest::qWaitFor([&] { return colors.size() == 3; }, 30000));
    EXPECT_EQ(settings.colorScheme(), Scheme::noPreference);
    change(kAnimationsKey, true);
    ASSERT_TRUE(QTest::qWaitFor([&] { return motion.size() == 2; }, 30000));
    EXPECT_FALSE(settings.prefersReducedMotion());
    EXPECT_EQ(colors.size(), 3);
    EXPECT_EQ(portal_.calls.size(), 2);
}

TEST_F(DesktopSettingsTest, AnOlderPortalIsReadWithReadAndStrangeValuesPreferNothing) {
    portal_.knowsReadOne = false;
    portal_.values[kColorSchemeKey] = uint(1);
    serve();
    DesktopSettings settings(connect("app"));
    QSignalSpy colors(&settings, &DesktopSettings::colorSchemeChanged);
    ASSERT_TRUE(colors.wait(30000));
    EXPECT_EQ(settings.colorScheme(), Scheme::dark);
    // The animations key is unknown to this portal: one try each way, and animations stay on.
    ASSERT_TRUE(QTest::qWaitFor([&] { return portal_.callCount("enable-animations") == 2; }, 30000));
    EXPECT_EQ(portal_.callCount("color-scheme"), 2);
    EXPECT_FALSE(settings.prefersReducedMotion());

    // A text, or a number the portal does not define, states no preference.
    change(kColorSchemeKey, QStringLiteral("dark"));
    ASSERT_TRUE(colors.wait(30000));
    EXPECT_EQ(settings.colorScheme(), Scheme::noPreference);
    change(kColorSchemeKey, uint(2));
    ASSERT_TRUE(colors.wait(30000));
    change(kColorSchemeKey, uint(7));
    ASSERT_TRUE(colors.wait(30000));
    EXPECT_EQ(settings.colorScheme(), Scheme::noPreference);
}

TEST_F(DesktopSettingsTest, AChangeThatOvertakesTheFirstAnswerWins) {
    portal_.values[kColorSchemeKey] = uint(1);
    portal_.values[kAnimationsKey] = false;
    portal_.holdsAnswers = true;
    serve();
    DesktopSettings settings(connect("app"));
    QSignalSpy motion(&settings, &DesktopSettings::reducedMotionChanged);
    ASSERT_TRUE(QTest::qWaitFor([&] { return portal_.heldAnswers.size() == 2; }, 30000));
    // The user switches to light while the first answers (dark) are still on their way.
    change(kColorSchemeKey, uint(2));
    ASSERT_TRUE(QTest::qWaitFor([&] { return settings.colorScheme() == Scheme::light; }, 30000));
    // The colour answer goes first: once the animations one is in, so is the older colour one.
    ASSERT_TRUE(portal_.heldAnswers.last().arguments().first().value<QDBusVariant>().variant() ==
                QVariant(uint(1)));
    std::reverse(portal_.heldAnswers.begin(), portal_.heldAnswers.end());
    portal_.releaseAnswers(portalBus_);
    ASSERT_TRUE(motion.wait(30000));
    EXPECT_EQ(settings.colorScheme(), Scheme::light);
}

TEST_F(DesktopSettingsTest, WithoutAPortalNothingIsPreferredAndNothingBlocks) {
    DesktopSettings settings(connect("app"));
    QSignalSpy motion(&settings, &DesktopSettings::reducedMotionChanged);
    QSignalSpy colors(&settings, &DesktopSettings::colorSchemeChanged);
    EXPECT_FALSE(settings.prefersReducedMotion());
    EXPECT_EQ(settings.colorScheme(), Scheme::noPreference);
    // The bus answers each read at once that nobody provides the portal; once those answers
    // have been handled, nothing has changed.
    const auto reads = settings.findChildren<QDBusPendingCallWatcher*>();
    ASSERT_EQ(reads.size(), 2);
    std::vector<std::unique_ptr<QSignalSpy>> answers;
    for (QDBusPendingCallWatcher* read : reads)
        answers.push_back(std::make_unique<QSignalSpy>(read, &QDBusPendingCallWatcher::finished));
    ASSERT_TRUE(QTest::qWaitFor(
        [&] { return std::ranges::all_of(answers, [](const auto& spy) { return spy->count() == 1; }); },
        30000));
    EXPECT_TRUE(colors.isEmpty());
    EXPECT_TRUE(motion.isEmpty());
    EXPECT_FALSE(settings.prefersReducedMotion());
    EXPECT_EQ(settings.colorScheme(), Scheme::noPreference);

    // Nor without any bus at all.
    DesktopSettings unconnected(QDBusConnection("no such connection"));
    EXPECT_EQ(unconnected.colorScheme(), Scheme::noPreference);
    EXPECT_FALSE(unconnected.prefersReducedMotion());
}

} // namespace
} // namespace quillmere::platform

#pragma once

#include <QDBusConnection>
#include <QDBusVariant>
#include <QObject>
#include <array>

class QDBusPendingCallWatcher;

namespace quillmere::platform {

// The desktop's preferences that the interface follows, as the freedesktop settings portal
// publishes them: whether animations are wanted ("enable-animations") and which colours the
// user prefers ("color-scheme"). Each is read once, without waiting, when this is made, then
// kept up to date from the portal's change signal; until the first answer, and without a
// portal, animations stay on and no colours are preferred. Readers get the cached values, so
// asking never blocks.
class DesktopSettings : public QObject {
    Q_OBJECT
public:
    enum class ColorScheme { noPreference, dark, light };

    explicit DesktopSettings(const QDBusConnection& bus, QObject* parent = nullptr);

    // The one the interface reads, over the session bus.
    static DesktopSettings& shared();

    bool prefersReducedMotion() const { return prefersReducedMotion_; }
    ColorScheme colorScheme() const { return colorScheme_; }

signals:
    void reducedMotionChanged(bool isOn);
    void colorSchemeChanged(quillmere::platform::DesktopSettings::ColorScheme scheme);

private slots:
    void settingChanged(const QString& group, const QString& key, const QDBusVariant& value);

private:
    enum Setting { motion, colors, settingCount };

    // ReadOne, or Read on a portal too old to know it.
    void read(Setting setting, const QString& method);
    void replyArrived(Setting setting, const QString& method, QDBusPendingCallWatcher* watcher);
    void apply(Setting setting, const QVariant& value);

    QDBusConnection bus_;
    bool prefersReducedMotion_ = false;
    ColorScheme colorScheme_ = ColorScheme::noPreference;
    // A change signal that arrives before the first read's answer is newer than that answer.
    std::array<bool, settingCount> sawChange_{};
};

} // namespace quillmere::platform

#pragma once

#include "app/state/Modes.hpp"
#include "app/state/SettingsWriter.hpp"

#include <QObject>
#include <QString>
#include <memory>
#include <string>

namespace quillmere {

// The user's settings, read and written directly by the views that use them, stored in
// $XDG_CONFIG_HOME/Quillmere/Quillmere.conf whatever names the application object was given.
//
// Every instance on the same file hears every change made through any of them, so the Settings
// window and the main window stay in step; a key's signal fires only when its value as read
// changes. Lives on the main thread; the file is read once and written on a thread of its own
// (SettingsWriter).
class AppSettings : public QObject {
    Q_OBJECT
public:
    explicit AppSettings(QObject* parent = nullptr);
    // A store in an INI file of its own, for tests.
    explicit AppSettings(const QString& filePath, QObject* parent = nullptr);
    ~AppSettings() override;

    // "system", "light" or "dark"; any other stored text is handed on as it is, for the reader
    // to treat as "system".
    std::string appearance() const;
    void setAppearance(const std::string& value);
    // The stored text read as a mode: a text that names no mode shows the sunburst.
    DiskViewMode diskViewMode() const;
    void setDiskViewMode(DiskViewMode mode);
    // The stored text as it stands ("sunburst" when none is stored); its change notifies even
    // when the mode read from it stays the same.
    std::string diskViewModeText() const;
    bool scansOnLaunch() const;
    void setScansOnLaunch(bool value);
    bool showsCapacityGauge() const;
    void setShowsCapacityGauge(bool value);
    bool hasCompletedPermissionGate() const;
    void setHasCompletedPermissionGate(bool value);
    int untouchedYears() const;
    void setUntouchedYears(int years);

    QString fileName() const { return writer_->fileName(); }
    // Returns once every value set so far, through any store on this file, is on disk.
    void waitUntilWritten() { writer_->waitUntilWritten(); }

signals:
    void appearanceChanged();
    void diskViewModeChanged();
    void diskViewModeTextChanged();
    void scansOnLaunchChanged();
    void showsCapacityGaugeChanged();
    void hasCompletedPermissionGateChanged();
    void untouchedYearsChanged();

private:
    // A reading of the stored settings and the signal its readers hear when it changes.
    template <typename Read> struct Watch {
        Read read;
        void (AppSettings::*changed)();
    };
    template <typename Value, typename... Reads>
    void write(const char* key, const Value& value, Watch<Reads>... watches);

    QVariant stored(const char* key, const QVariant& fallback) const;

    std::shared_ptr<SettingsWriter> writer_;
};

} // namespace quillmere

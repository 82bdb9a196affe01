#include "app/state/AppSettings.hpp"

#include <QPointer>
#include <algorithm>
#include <tuple>
#include <vector>

namespace quillmere {

namespace {

constexpr const char* kAppearance = "appearance";
constexpr const char* kDiskViewMode = "diskViewMode";
constexpr const char* kScansOnLaunch = "scansOnLaunch";
constexpr const char* kShowsCapacityGauge = "showsCapacityGauge";
constexpr const char* kHasCompletedPermissionGate = "hasCompletedPermissionGate";
constexpr const char* kUntouchedYears = "untouchedYears";

// The live stores, so that a write through one reaches the readers of all. Main thread only.
std::vector<AppSettings*>& liveStores() {
    static std::vector<AppSettings*> stores;
    return stores;
}

} // namespace

AppSettings::AppSettings(QObject* parent) : QObject(parent), writer_(SettingsWriter::forUserFile()) {
    liveStores().push_back(this);
}

AppSettings::AppSettings(const QString& filePath, QObject* parent)
    : QObject(parent), writer_(SettingsWriter::forFile(filePath)) {
    liveStores().push_back(this);
}

QVariant AppSettings::stored(const char* key, const QVariant& fallback) const {
    return writer_->value(QString::fromLatin1(key), fallback);
}

AppSettings::~AppSettings() {
    std::erase(liveStores(), this);
}

std::string AppSettings::appearance() const {
    return stored(kAppearance, QStringLiteral("system")).toString().toStdString();
}

void AppSettings::setAppearance(const std::string& value) {
    write(kAppearance, QString::fromStdString(value),
          Watch{&AppSettings::appearance, &AppSettings::appearanceChanged});
}

DiskViewMode AppSettings::diskViewMode() const {
    return diskViewModeOrSunburst(diskViewModeText());
}

std::string AppSettings::diskViewModeText() const {
    return stored(kDiskViewMode, QStringLiteral("sunburst")).toString().toStdString();
}

void AppSettings::setDiskViewMode(DiskViewMode mode) {
    // Readers of the mode hear a change of mode; readers of the text hear any change of text,
    // also one that still reads as the same mode.
    write(kDiskViewMode, QString::fromUtf8(textValue(mode)),
          Watch{&AppSettings::diskViewMode, &AppSettings::diskViewModeChanged},
          Watch{&AppSettings::diskViewModeText, &AppSettings::diskViewModeTextChanged});
}

bool AppSettings::scansOnLaunch() const {
    return stored(kScansOnLaunch, false).toBool();
}

void AppSettings::setScansOnLaunch(bool value) {
    write(kScansOnLaunch, value, Watch{&AppSettings::scansOnLaunch, &AppSettings::scansOnLaunchChanged});
}

bool AppSettings::showsCapacityGauge() const {
    return stored(kShowsCapacityGauge, true).toBool();
}

void AppSettings::setShowsCapacityGauge(bool value) {
    write(kShowsCapacityGauge, value,
          Watch{&AppSettings::showsCapacityGauge, &AppSettings::showsCapacityGaugeChanged});
}

bool AppSettings::hasCompletedPermissionGate() const {
    return stored(kHasCompletedPermissionGate, false).toBool();
}

void AppSettings::setHasCompletedPermissionGate(bool value) {
    write(kHasCompletedPermissionGate, value,
          Watch{&AppSettings::hasCompletedPermissionGate, &AppSettings::hasCompletedPermissionGateChanged});
}

int AppSettings::untouchedYears() const {
    bool ok = false;
    const int years = stored(kUntouchedYears, 1).toInt(&ok);
    return ok ? years : 1;
}

void AppSettings::setUntouchedYears(int years) {
    write(kUntouchedYears, years, Watch{&AppSettings::untouchedYears, &AppSettings::untouchedYearsChanged});
}

template <typename Value, typename... Reads>
void AppSettings::write(const char* key, const Value& value, Watch<Reads>... watches) {
    // Values are compared as read, so a write that only replaces an unknown text with the value
    // it already stood for notifies nobody; the text is still replaced.
    std::vector<std::pair<QPointer<AppSettings>, std::tuple<decltype((this->*watches.read)())...>>> before;
    const QString file = fileName();
    for (AppSettings* store : liveStores())
        if (store->fileName() == file)
            before.emplace_back(store, std::make_tuple((store->*watches.read)()...));
    writer_->set(QString::fromLatin1(key), QVariant::fromValue(value));
    // A receiver may take a store away; every signal asks after it anew.
    const auto notify = [](const QPointer<AppSettings>& store, const auto& watch, const auto& was) {
        if (store && (store->*watch.read)() != was) emit(store->*watch.changed)();
    };
    for (const auto& [store, was] : before)
        std::apply([&](const auto&... readings) { (notify(store, watches, readings), ...); }, was);
}

} // namespace quillmere

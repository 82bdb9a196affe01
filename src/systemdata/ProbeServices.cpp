#include "platform/Bounded.hpp"
#include "platform/PropertyList.hpp"
#include "systemdata/SystemDataProbe.hpp"

#include <cmath>
#include <memory>
#include <mutex>
#include <unicode/datefmt.h>
#include <unicode/locid.h>
#include <unicode/unistr.h>

namespace quillmere {

namespace {
constexpr double kSecondsFrom1970To2001 = 978307200;
} // namespace

std::string formatMediumDate(Date date) {
    // One formatter for every run, made once; ICU formatters are not safe to share unguarded.
    static std::mutex lock;
    static std::unique_ptr<icu::DateFormat> formatter(
        icu::DateFormat::createDateInstance(icu::DateFormat::kMedium, icu::Locale::getDefault()));
    std::lock_guard guard(lock);
    if (!formatter || !std::isfinite(date)) return {};
    icu::UnicodeString text;
    formatter->format(static_cast<UDate>(date * 1000.0), text);
    std::string utf8;
    text.toUTF8String(utf8);
    return utf8;
}

std::optional<DeviceBackupInfo> readDeviceBackupInfo(const std::string& plistPath) {
    const auto plist = platform::readPropertyListFile(plistPath);
    if (!plist || !plist->dictionary()) return std::nullopt;
    const platform::PropertyListDictionary& dictionary = *plist->dictionary();
    DeviceBackupInfo info;
    if (const std::string* name = dictionary.findString("Display Name")) info.displayName = *name;
    if (const std::string* name = dictionary.findString("Device Name")) info.deviceName = *name;
    if (const platform::PropertyListValue* value = dictionary.find("Last Backup Date"))
        if (const auto* date = std::get_if<platform::PropertyListDate>(&value->value))
            info.lastBackupDate = date->secondsSince2001 + kSecondsFrom1970To2001;
    return info;
}

SystemDataProbeServices SystemDataProbeServices::system() {
    SystemDataProbeServices services;
    services.host = &platform::ScanHost::system();
    services.runCommand = quillmere::runCommand;
    // A volume that does not answer reads as one whose capacity cannot be read.
    services.statVfs = [](const char* path, struct statvfs* info) {
        return platform::statVfsWithin(path, info, platform::kFileSystemAnswerLimit);
    };
    services.readBackupInfo = readDeviceBackupInfo;
    services.formatDate = formatMediumDate;
    return services;
}

} // namespace quillmere

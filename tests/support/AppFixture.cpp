#include "support/AppFixture.hpp"

#include "support/PropertyListWriter.hpp"

#include <cerrno>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <stdexcept>
#include <sys/stat.h>
#include <unistd.h>

namespace quillmere::fixture {

namespace fs = std::filesystem;
using platform::PropertyListDictionary;
using platform::PropertyListValue;
using Format = FixtureDisk::InfoFormat;

namespace {

constexpr int64_t KiB = 1024;

void writeBytes(const std::string& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    if (!out) throw std::runtime_error("Could not write the fixture file " + path + ".");
}

} // namespace

FixtureDisk::FixtureDisk(std::string root) : root_(std::move(root)) {
    fs::create_directories(root_);
}

std::string FixtureDisk::path(std::string_view relative) const {
    return (fs::path(root_) / relative).string();
}

std::string FixtureDisk::folder(std::string_view relative) const {
    const std::string full = path(relative);
    fs::create_directories(full);
    return full;
}

std::string FixtureDisk::file(std::string_view relative, int64_t bytes) const {
    const std::string full = path(relative);
    fs::create_directories(fs::path(full).parent_path());
    // Real bytes, so the file occupies its whole length on disk.
    writeBytes(full, std::string(static_cast<size_t>(bytes), 'q'));
    return full;
}

std::string FixtureDisk::link(std::string_view relative, std::string_view target) const {
    const std::string full = path(relative);
    fs::create_directories(fs::path(full).parent_path());
    std::error_code ignored;
    fs::remove(full, ignored);
    fs::create_symlink(fs::path(target), full);
    return full;
}

std::string FixtureDisk::bundle(std::string_view relative, const PropertyListDictionary& info,
                                InfoFormat format, int64_t payloadBytes) const {
    const std::string full = folder(relative);
    const std::string contents = relative.empty() ? "Contents" : std::string(relative) + "/Contents";
    folder(contents);
    const std::string infoPath = path(contents + "/Info.plist");
    switch (format) {
    case Format::xml:
        writeBytes(infoPath, xmlPropertyList(PropertyListValue{info}));
        break;
    case Format::binary:
        writeBytes(infoPath, binaryPropertyList(PropertyListValue{info}));
        break;
    case Format::garbled:
        writeBytes(infoPath, "bplist00\xD5\x01\x02 garbled beyond repair");
        break;
    case Format::none:
        break;
    }
    file(contents + "/MacOS/payload", payloadBytes);
    return full;
}

void FixtureDisk::touch(std::string_view relative, double secondsSince1970) const {
    const timespec time{.tv_sec = static_cast<time_t>(secondsSince1970), .tv_nsec = 0};
    const timespec times[2] = {time, time};
    if (::utimensat(AT_FDCWD, path(relative).c_str(), times, AT_SYMLINK_NOFOLLOW) != 0)
        throw std::runtime_error("Could not set the time of the fixture item " + path(relative) + ".");
}

PropertyListDictionary textInfo(std::initializer_list<std::pair<std::string, std::string>> entries) {
    PropertyListDictionary info;
    for (const auto& [key, value] : entries)
        info.set(key, PropertyListValue{value});
    return info;
}

void writeStandardScenario(const FixtureDisk& disk) {
    // Sizes step by 16 KiB so that no folder's own blocks can make two items tie.
    // --- Bundles ---------------------------------------------------------------------------
    disk.bundle("Applications/Acme Player.app",
                textInfo({{"CFBundleDisplayName", "Acme Player"},
                          {"CFBundleName", "AcmePlayer"},
                          {"CFBundleIdentifier", "com.acme.Player"},
                          {"CFBundleShortVersionString", "2.1"},
                          {"CFBundleVersion", "210"},
                          {"NSHumanReadableCopyright", "© 2023 Acme Inc. All rights reserved."}}),
                Format::xml, 64 * KiB);
    // A display name that is not text falls through to the bundle name; only a build version.
    PropertyListDictionary tuner = textInfo({{"CFBundleName", "Tuner"}, {"CFBundleVersion", "7"}});
    tuner.set("CFBundleDisplayName", PropertyListValue{int64_t{5}});
    disk.bundle("Applications/Tuner.app", tuner, Format::binary, 16 * KiB);
    // A group folder: one level down is searched, two levels down is not.
    disk.bundle("Applications/Acme Suite/Acme Editor.app",
                textInfo({{"CFBundleName", "Acme Editor"},
                          {"CFBundleIdentifier", "com.acme.Editor"},
                          {"NSHumanReadableCopyright", "(C) 1999-2004, Northwind GmbH"}}),
                Format::xml, 32 * KiB);
    disk.bundle("Applications/Acme Suite/Deeper/Too Deep.app", textInfo({{"CFBundleName", "Too Deep"}}),
                Format::xml);
    // A plain file named like a bundle: passed over directly in an application folder, taken
    // inside a group folder.
    disk.file("Applications/Fake.app", 100);
    disk.file("Applications/Acme Suite/Plain.app", 100);
    // Hidden entries are never listed.
    disk.bundle("Applications/.Hidden.app", textInfo({{"CFBundleName", "Hidden"}}), Format::xml);
    disk.bundle("Applications/.Group/Inner.app", textInfo({{"CFBundleName", "Inner"}}), Format::xml);
    // Reached through the group folder "Utilities" and again as an application folder itself;
    // no information list: named after its file.
    disk.bundle("Applications/Utilities/Console Tool.app", {}, Format::none);
    // Built in: protected by the system rules below the system root.
    disk.bundle("System/Applications/Calculator.app",
                textInfo({{"CFBundleName", "Calculator"}, {"CFBundleIdentifier", "com.example.calculator"}}),
                Format::xml);
    // Protected only through its restricted flag (tests set it with a fake flag reader).
    disk.bundle("Applications/Locked.app",
                textInfo({{"CFBundleName", "Locked"}, {"CFBundleIdentifier", "com.example.locked"}}),
                Format::xml);
    // Signed with team ABCDE12345 where a fake signing reader says so; its copyright names a company.
    disk.bundle("Applications/Signed.app",
                textInfo({{"CFBundleName", "Signed"},
                          {"CFBundleIdentifier", "com.signed.App"},
                          {"NSHumanReadableCopyright", "Signed Software"}}),
                Format::binary);
    disk.bundle("Applications/Logic Pro.app",
                textInfo({{"CFBundleName", "Logic Pro"}, {"CFBundleIdentifier", "com.example.logic"}}),
                Format::xml);
    disk.bundle("Applications/GarageBand.app",
                textInfo({{"CFBundleName", "GarageBand"}, {"CFBundleIdentifier", "com.example.garageband"}}),
                Format::xml);
    disk.bundle(
        "Applications/Shared Cache.app",
        textInfo({{"CFBundleName", "Shared Cache"}, {"CFBundleIdentifier", "com.example.sharedcache"}}),
        Format::xml);
    disk.bundle("Applications/Cache Data.app",
                textInfo({{"CFBundleName", "Cache Data"}, {"CFBundleIdentifier", "com.example.cachedata"}}),
                Format::xml);
    // Twins: the same information, once as XML and once as a binary list.
    const PropertyListDictionary twin = textInfo({{"CFBundleName", "Twin"},
                                                  {"CFBundleIdentifier", "com.example.twin"},
                                                  {"CFBundleShortVersionString", "1.0"},
                                                  {"NSHumanReadableCopyright", "Twin Labs"}});
    disk.bundle("Applications/Twin.app", twin, Format::xml);
    disk.bundle("Users/ann/Applications/Twin.app", twin, Format::binary);

    // --- Acme Player's leftovers -----------------------------------------------------------
    disk.file("Users/ann/Library/Application Support/com.acme.Player/library.db", 96 * KiB);
    disk.file("Users/ann/Library/Application Support/com.acme.Player/Caches/thumbs", 16 * KiB);
    disk.file("Users/ann/Library/Preferences/com.acme.Player.plist", 32 * KiB);
    disk.file("Users/ann/Library/Saved Application State/com.acme.Player.savedState/window", 48 * KiB);
    disk.file("Users/ann/Library/Caches/acme-telemetry", 80 * KiB);
    disk.file("Library/Logs/com.acme.Player.log", 64 * KiB);
    // Nested inside a candidate through a link: dropped. A second route to a candidate: once.
    disk.link("Users/ann/Library/Caches/com.acme.Player", "../Application Support/com.acme.Player/Caches");
    disk.link("Users/ann/Library/Containers/com.acme.Player",
              disk.path("Users/ann/Library/Application Support/com.acme.Player"));
    // The computer-wide Containers folder is never searched.
    disk.file("Library/Containers/com.acme.Player/data", 16 * KiB);
    // Acme Editor's, and by developer Acme Player's too.
    disk.file("Users/ann/Library/Preferences/com.acme.Editor.plist", 16 * KiB);

    // --- Tuner's: by name, a linked folder sized at its target, a dangling link -------------
    disk.file("Users/ann/Library/Application Support/Tuner Presets/bank", 32 * KiB);
    disk.file("Data/TunerStore/samples", 48 * KiB);
    disk.link("Users/ann/Library/Application Support/Tuner Data", disk.path("Data/TunerStore"));
    disk.link("Users/ann/Library/Logs/Tuner.log", disk.path("Data/missing.log"));
    disk.file("Users/ann/Library/Preferences/tuner.plist", 16 * KiB);

    // --- The others' -----------------------------------------------------------------------
    disk.file("Users/ann/Library/Preferences/com.example.calculator.plist", 16 * KiB);
    disk.file("Library/Preferences/com.example.locked.plist", 16 * KiB);
    disk.file("Users/ann/Library/Group Containers/ABCDE12345.group.shared/state", 16 * KiB);
    disk.file("Users/ann/Library/Preferences/com.signed.App.plist", 16 * KiB);
    // Sound content of the audio family; the Library folders list two of them again.
    disk.file("Library/Application Support/Logic/instruments", 64 * KiB);
    disk.file("Library/Application Support/GarageBand/loops", 48 * KiB);
    disk.file("Users/ann/Music/Audio Music Apps/projects", 16 * KiB);
    // Claimed by two applications.
    disk.file("Users/ann/Library/Caches/Shared Cache Data/blob", 32 * KiB);
    disk.file("Users/ann/Library/Preferences/com.example.twin.plist", 16 * KiB);

    // --- Orphans -----------------------------------------------------------------------------
    disk.file("Users/ann/Library/Application Support/com.gone.player/media", 48 * KiB);
    disk.file("Users/ann/Library/Preferences/com.gone.player.plist", 16 * KiB);
    disk.file("Users/ann/Library/Caches/org.foobar.viewer", 32 * KiB);
    disk.file("Users/ann/Library/Caches/com.foo.helper", 16 * KiB);
    disk.file("Users/ann/Library/Logs/io.ab.tool", 16 * KiB);
    disk.file("Users/ann/Library/Application Support/Widget/state", 32 * KiB);
    disk.file("Users/ann/Library/Caches/widget", 16 * KiB);
    disk.file("Users/ann/Library/Logs/Gadget", 16 * KiB);
    disk.file("Data/OldSyncStore/archive", 80 * KiB);
    disk.link("Users/ann/Library/Application Support/Old Sync", disk.path("Data/OldSyncStore"));
    disk.touch("Data/OldSyncStore", 1500000000);
    disk.touch("Users/ann/Library/Application Support/Old Sync", 1600000000);
    // The system's own, and a hidden file: never orphans.
    disk.file("Users/ann/Library/Preferences/com.apple.finder.plist", 16 * KiB);
    disk.file("Users/ann/Library/Caches/Apple/cache", 16 * KiB);
    disk.file("Users/ann/Library/Caches/group.com.apple.notes", 16 * KiB);
    disk.file("Users/ann/Library/Caches/.DS_Store", 16 * KiB);
    disk.file("Library/Containers/com.gone.stuff", 16 * KiB);
}

void writeScaledScenario(const FixtureDisk& disk, int bundles, int homeFiles) {
    constexpr int kVendors = 20;
    // Two letters per vendor, so that no vendor's word is part of another's.
    const auto vendorWord = [](int v) {
        return std::string("vend") + static_cast<char>('a' + v / 26) + static_cast<char>('a' + v % 26);
    };
    for (int i = 0; i < bundles; ++i) {
        const std::string name = "Bench App " + std::to_string(i);
        const std::string identifier = "org.example.benchapp" + std::to_string(i);
        disk.bundle("Applications/" + name + ".app",
                    textInfo({{"CFBundleName", name},
                              {"CFBundleIdentifier", identifier},
                              {"CFBundleShortVersionString", "1." + std::to_string(i)},
                              {"NSHumanReadableCopyright", "© 2024 " + vendorWord(i % kVendors) + " Ltd."}}),
                    i % 2 == 0 ? Format::xml : Format::binary, 64 * KiB);
        for (int f = 0; f < 8; ++f)
            disk.file("Users/ann/Library/Application Support/" + identifier + "/file" + std::to_string(f),
                      8 * KiB);
        disk.file("Users/ann/Library/Caches/" + identifier + "/cache", 16 * KiB);
        disk.file("Users/ann/Library/Preferences/" + identifier + ".plist", 4 * KiB);
    }
    // Shared: each vendor's applications all claim their vendor's common folder.
    for (int v = 0; v < kVendors; ++v)
        disk.file("Users/ann/Library/Application Support/" + vendorWord(v) + " shared/data", 16 * KiB);
    for (int o = 0; o < 100; ++o) {
        disk.file("Users/ann/Library/Application Support/com.orphan" + std::to_string(o) + ".tool/data",
                  8 * KiB);
        disk.file("Users/ann/Library/Preferences/com.orphan" + std::to_string(o) + ".tool.plist", 4 * KiB);
    }
    for (int f = 0; f < homeFiles; ++f)
        disk.file("Users/ann/Documents/batch" + std::to_string(f / 1000) + "/doc" + std::to_string(f), 0);
}

} // namespace quillmere::fixture

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

FixtureDisk::FixtureDisk(std::string root, std::string homeRelative)
    : root_(std::move(root)), homeRelative_(std::move(homeRelative)) {
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

std::string FixtureDisk::hardLink(std::string_view relative, std::string_view existing) const {
    const std::string full = path(relative);
    fs::create_directories(fs::path(full).parent_path());
    fs::create_hard_link(path(existing), full);
    return full;
}

std::string FixtureDisk::text(std::string_view relative, std::string_view content) const {
    const std::string full = path(relative);
    fs::create_directories(fs::path(full).parent_path());
    writeBytes(full, std::string(content));
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

namespace {

// A 48-pixel round icon.
constexpr std::string_view kRoundIconPng{
    "\x89\x50\x4e\x47\x0d\x0a\x1a\x0a\x00\x00\x00\x0d\x49\x48\x44\x52\x00\x00\x00\x30\x00\x00\x00\x30\x08\x06"
    "\x00\x00\x00\x57\x02\xf9\x87\x00\x00\x00\xb6\x49\x44\x41\x54\x78\xda\xed\x99\xcb\x11\x80\x20\x0c\x44\x29"
    "\xcc\x22\x2c\xd1\x4a\xac\xc4\x4a\xbc\x60\x07\x0e\x9f\x6c\x48\x96\xdd\x19\xce\xbc\x07\x07\x48\x52\x8a\xa2"
    "\xc4\xc9\x7b\x1f\xb5\x65\xa5\x84\x0e\x27\x33\x0b\xbe\x4c\xc4\x1a\xdc\x55\x04\x0d\x0f\x95\xf0\x82\x87\x48"
    "\x78\xc3\x9b\x4a\xac\x82\x37\x91\x18\xd9\xf0\x3a\x9f\xdf\xe5\x26\x61\x0d\x3e\x2b\x02\x13\xe8\x05\x1f\x15"
    "\x09\x09\x0f\x93\xf0\x84\xef\x91\x08\x0b\x6f\x2a\x41\x2f\x80\x82\x6f\x95\x08\x7b\xfa\x26\xb7\xb0\x1a\x7e"
    "\xfa\x16\x24\x20\x01\x09\x48\x40\x02\x50\x81\xf0\x0f\x59\xfa\xaf\x84\x7e\xa3\x3b\xd7\x04\xee\x15\x59\xe8"
    "\x92\x32\x7d\x51\x4f\xd1\x56\x49\xdf\xd8\xa2\x68\x2d\x52\x34\x77\x29\xda\xeb\x14\x03\x0e\x8a\x11\x13\xc5"
    "\x90\x8f\x66\xcc\x4a\x33\xe8\x56\x76\xcf\x07\x22\x2f\xc1\x9e\x59\xce\x03\x99\x00\x00\x00\x00\x49\x45\x4e"
    "\x44\xae\x42\x60\x82",
    239};

std::string roundIconSvg(std::string_view outer, std::string_view inner) {
    return "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"128\" height=\"128\" viewBox=\"0 0 128 128\">"
           "<rect x=\"8\" y=\"8\" width=\"112\" height=\"112\" rx=\"26\" fill=\"" +
           std::string(outer) + "\"/><circle cx=\"64\" cy=\"64\" r=\"30\" fill=\"" + std::string(inner) +
           "\"/></svg>";
}

std::string desktopEntry(std::string_view name) {
    return "[Desktop Entry]\nType=Application\nName=" + std::string(name) +
           "\nName[de]=Übersetzt\nExec=run\n# a comment\n";
}

std::string metainfo(std::string_view id, std::string_view developer, std::string_view newest) {
    return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<component type=\"desktop-application\">\n  <id>" +
           std::string(id) + "</id>\n" + std::string(developer) + "  <releases>\n    <release version=\"" +
           std::string(newest) +
           "\" date=\"2024-05-01\"/>\n    <release version=\"0.9\" date=\"2023-01-01\"/>\n  </releases>\n"
           "</component>\n";
}

// One deployed Flatpak application: "app/<id>/current" links to "x86_64/stable", whose "active"
// links to the checkout "4f2a…".
std::string flatpakApp(const FixtureDisk& disk, const std::string& installation, const std::string& id,
                       int64_t payloadBytes) {
    const std::string app = installation + "/app/" + id;
    const std::string checkout = app + "/x86_64/stable/4f2a9c0d1e";
    disk.text(checkout + "/metadata",
              "[Application]\nname=" + id + "\nruntime=org.example.Platform/x86_64/45\ncommand=run\n");
    disk.file(checkout + "/files/bin/run", payloadBytes);
    disk.link(app + "/x86_64/stable/active", "4f2a9c0d1e");
    disk.link(app + "/current", "x86_64/stable");
    return checkout;
}

std::string snapYaml(std::string_view name, std::string_view version, std::string_view extra) {
    return "name: " + std::string(name) + "\nversion: '" + std::string(version) +
           "'\nsummary: Something\ndescription: |\n  Several lines\n  of text: with colons\n" +
           std::string(extra) + "apps:\n  run:\n    command: bin/run\n";
}

} // namespace

void writeLinuxScenario(const FixtureDisk& disk) {
    const std::string system = "var/lib/flatpak";
    const std::string user = std::string(kLinuxHome) + "/.local/share/flatpak";
    const std::string data = std::string(kLinuxHome) + "/.var/app";

    // --- System installation -----------------------------------------------------------------
    // Named by its desktop entry (not the translation), versioned and credited by its metainfo;
    // the scalable icon is its largest. One file has a second link inside the application's
    // folder and a third in the repository: its bytes count once.
    const std::string gimp = flatpakApp(disk, system, "org.gimp.GIMP", 256 * KiB);
    disk.text(gimp + "/export/share/applications/org.gimp.GIMP.desktop",
              desktopEntry("GNU Image Manipulation Program"));
    disk.text(gimp + "/files/share/metainfo/org.gimp.GIMP.metainfo.xml",
              metainfo("org.gimp.GIMP", "  <developer_name>The GIMP Team</developer_name>\n", "2.10.38"));
    disk.text(gimp + "/export/share/icons/hicolor/32x32/apps/org.gimp.GIMP.png", kRoundIconPng);
    disk.text(gimp + "/export/share/icons/hicolor/256x256/apps/org.gimp.GIMP.png", kRoundIconPng);
    disk.text(gimp + "/export/share/icons/hicolor/scalable/apps/org.gimp.GIMP.svg",
              roundIconSvg("#5c5543", "#e8a33d"));
    disk.file(gimp + "/files/lib/libgimp.so", 128 * KiB);
    disk.hardLink(gimp + "/files/lib/libgimp-copy.so", gimp + "/files/lib/libgimp.so");
    disk.hardLink(system + "/repo/objects/ab/cdef.file", gimp + "/files/lib/libgimp.so");
    // A runtime is no application, though it has everything an application has.
    const std::string runtime = system + "/runtime/org.example.Platform/x86_64/45/9e8d7c";
    disk.text(runtime + "/metadata", "[Runtime]\nname=org.example.Platform\n");
    disk.file(runtime + "/files/lib/libc.so", 512 * KiB);
    disk.link(system + "/runtime/org.example.Platform/x86_64/45/active", "9e8d7c");
    // Malformed desktop entry and metainfo: listed under its identifier's last part, without
    // version or developer. Its cache shows that it is still attributed.
    const std::string broken = flatpakApp(disk, system, "org.example.Broken", 32 * KiB);
    disk.text(broken + "/export/share/applications/org.example.Broken.desktop",
              "[Desktop Entry]\nName=Never Shown\nthis line has no equals sign\n");
    disk.text(broken + "/files/share/metainfo/org.example.Broken.metainfo.xml",
              "<?xml version=\"1.0\"?>\n<!DOCTYPE component [<!ENTITY boom \"boom\">]>\n"
              "<component><releases><release version=\"&boom;\"/></releases></component>\n");
    // An application folder without an active checkout is not installed.
    disk.file(system + "/app/org.example.Unfinished/x86_64/stable/partial", 16 * KiB);

    // --- User installation -------------------------------------------------------------------
    // Metainfo in the older "appdata" place, the developer in the newer form; only PNG icons.
    const std::string podcasts = flatpakApp(disk, user, "org.gnome.Podcasts", 128 * KiB);
    disk.text(podcasts + "/export/share/applications/org.gnome.Podcasts.desktop", desktopEntry("Podcasts"));
    disk.text(podcasts + "/files/share/appdata/org.gnome.Podcasts.appdata.xml",
              metainfo("org.gnome.Podcasts",
                       "  <developer id=\"org.gnome\">\n    <name xml:lang=\"de\">Das GNOME-Projekt</name>\n"
                       "    <name>The GNOME Project</name>\n  </developer>\n",
                       "0.7.1"));
    disk.text(podcasts + "/export/share/icons/hicolor/64x64/apps/org.gnome.Podcasts.png", kRoundIconPng);
    disk.text(podcasts + "/export/share/icons/hicolor/64x64@2/apps/org.gnome.Podcasts.png", kRoundIconPng);
    disk.text(podcasts + "/export/share/icons/hicolor/48x48/apps/org.gnome.Podcasts.png", kRoundIconPng);
    // Nothing but an identifier and a checkout: named after the identifier.
    const std::string cacheOnly = flatpakApp(disk, user, "com.example.CacheOnly", 16 * KiB);
    disk.text(cacheOnly + "/export/share/icons/hicolor/scalable/apps/com.example.CacheOnly.svg",
              roundIconSvg("#2f6f8f", "#9fd3e8"));

    // --- What the applications keep in the home folder ---------------------------------------
    disk.file(data + "/org.gimp.GIMP/cache/gimp/thumbnails", 64 * KiB);
    disk.file(data + "/org.gimp.GIMP/config/GIMP/gimprc", 16 * KiB);
    disk.file(data + "/org.gimp.GIMP/data/brushes/custom.gbr", 144 * KiB);
    disk.file(data + "/org.gimp.GIMP/.ld.so/ld.so.cache", 8 * KiB);
    disk.file(data + "/org.gnome.Podcasts/data/podcasts.db", 96 * KiB);
    disk.file(data + "/org.gnome.Podcasts/cache/artwork", 48 * KiB);
    disk.file(data + "/com.example.CacheOnly/cache/blob", 32 * KiB);
    disk.file(data + "/org.example.Broken/cache/state", 16 * KiB);
    // Left by an application installed nowhere: an orphan.
    disk.file(data + "/org.example.Removed/data/saves", 80 * KiB);
    disk.file(data + "/org.example.Removed/config/settings", 16 * KiB);

    // --- Snaps -------------------------------------------------------------------------------
    // An application snap: named by its title, sized by the package file of its current revision.
    disk.text("snap/firefox/4259/meta/snap.yaml",
              snapYaml("firefox", "128.0.3-1", "title: Firefox\npublisher: Mozilla\ntype: app\n"));
    disk.text("snap/firefox/4259/meta/gui/icon.svg", roundIconSvg("#e66000", "#ffcb00"));
    disk.file("snap/firefox/4259/usr/lib/firefox/libxul.so", 16 * KiB);
    disk.text("snap/firefox/4200/meta/snap.yaml", snapYaml("firefox", "127.0", ""));
    disk.link("snap/firefox/current", "4259");
    disk.file("var/lib/snapd/snaps/firefox_4259.snap", 640 * KiB);
    disk.file("var/lib/snapd/snaps/firefox_4200.snap", 600 * KiB);
    // A base, snapd itself and a core snap by name alone: none is an application.
    disk.text("snap/core22/1380/meta/snap.yaml", snapYaml("core22", "20240111", "type: base\n"));
    disk.link("snap/core22/current", "1380");
    disk.file("var/lib/snapd/snaps/core22_1380.snap", 512 * KiB);
    disk.text("snap/snapd/21465/meta/snap.yaml", snapYaml("snapd", "2.63", "type: snapd\n"));
    disk.link("snap/snapd/current", "21465");
    disk.folder("snap/core/16928/meta");
    disk.link("snap/core/current", "16928");
    disk.folder("snap/bin");
    // The snaps' folders in the home folder; "current" links to the revision beside it.
    disk.file(std::string(kLinuxHome) + "/snap/firefox/4259/.mozilla/firefox/profile.db", 112 * KiB);
    disk.file(std::string(kLinuxHome) + "/snap/firefox/common/.cache/startup", 32 * KiB);
    disk.link(std::string(kLinuxHome) + "/snap/firefox/current", "4259");
    // Left by a snap that is gone: an orphan.
    disk.file(std::string(kLinuxHome) + "/snap/gone-tool/common/data", 48 * KiB);
    disk.folder(std::string(kLinuxHome) + "/snap/gone-tool/12");
    disk.link(std::string(kLinuxHome) + "/snap/gone-tool/current", "12");
    // The user's own folder that happens to lie there: never taken for a snap's.
    disk.file(std::string(kLinuxHome) + "/snap/screenshots/shot.png", 16 * KiB);
}

void writeScaledLinuxScenario(const FixtureDisk& disk, int apps, int orphans) {
    const std::string data = std::string(kLinuxHome) + "/.var/app";
    for (int i = 0; i < apps; ++i) {
        const std::string id = "org.example.Bench" + std::to_string(i);
        const std::string installation =
            i % 2 == 0 ? std::string("var/lib/flatpak") : std::string(kLinuxHome) + "/.local/share/flatpak";
        const std::string checkout = flatpakApp(disk, installation, id, 64 * KiB);
        disk.text(checkout + "/export/share/applications/" + id + ".desktop",
                  desktopEntry("Bench " + std::to_string(i)));
        disk.text(
            checkout + "/files/share/metainfo/" + id + ".metainfo.xml",
            metainfo(id, "  <developer_name>Bench Developers</developer_name>\n", "1." + std::to_string(i)));
        for (int f = 0; f < 8; ++f)
            disk.file(checkout + "/files/share/data" + std::to_string(f), 8 * KiB);
        disk.file(data + "/" + id + "/cache/blob", 16 * KiB);
        disk.file(data + "/" + id + "/data/store", 32 * KiB);
        disk.file(data + "/" + id + "/config/settings", 4 * KiB);
    }
    for (int o = 0; o < orphans; ++o)
        disk.file(data + "/org.example.Gone" + std::to_string(o) + "/data/store", 8 * KiB);
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

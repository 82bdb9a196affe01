#include "scan/FileKind.hpp"

#include "base/PathText.hpp"
#include "base/Unicode.hpp"

#include <initializer_list>
#include <string>
#include <unicode/locid.h>
#include <unicode/unistr.h>
#include <unordered_map>
#include <unordered_set>

namespace quillmere {
namespace {

struct KindTexts {
    std::string_view rawValue;
    std::string_view title;
    std::string_view explanation;
};

// Indexed by the kind's declaration order.
constexpr std::array<KindTexts, kFileKindCount> kTexts{{
    {"videos", "Videos", "Movies, screen recordings and clips. Usually the largest single files on a disk."},
    {"images", "Images",
     "Photos, screenshots and other pictures. Small one at a time; it's the count that adds up."},
    {"audio", "Audio", "Music, podcasts and recordings."},
    {"diskImages", "Disk images",
     "Downloaded .dmg and similar images. Once what's inside is installed, the image is a copy."},
    {"archives", "Archives",
     "Zip files and other compressed bundles. If you've already unpacked one, the archive is a copy."},
    {"installers", "Installers",
     "Installer packages. Once the software is installed, they have done their job."},
    {"virtualMachines", "Virtual machines",
     "Virtual machine disks \u2014 a whole computer's worth of files, counted as one item."},
    {"applications", "Applications",
     "Application bundles. Remove these from the Applications tab so their leftovers go too."},
    {"mediaLibraries", "Media libraries",
     "Photos, Music and TV libraries. What's inside is managed from those apps, not by deleting the "
     "library."},
    {"buildFolders", "Build & dependency folders",
     "node_modules, DerivedData and the like. A build tool fills them back in on the next build or "
     "install."},
    {"documents", "Documents", "PDFs, office files and text."},
    {"other", "Everything else", "Files that don't fit any kind above."},
    {"unexplored", "Not looked inside",
     "Folders with a size but no contents on record \u2014 another disk mounted there, somewhere the scan "
     "couldn't read, or deeper than the saved scan keeps."},
    {"smallFiles", "Small files",
     "Files too small to be listed one by one at scan time. Real bytes, just not named individually."},
}};

const KindTexts& textsOf(FileKind kind) {
    return kTexts[static_cast<std::size_t>(kind)];
}

struct KeyGroup {
    FileKind kind;
    std::initializer_list<std::string_view> keys;
};

using KindTable = std::unordered_map<std::string_view, FileKind>;

KindTable makeTable(std::initializer_list<KeyGroup> groups) {
    KindTable table;
    for (const KeyGroup& group : groups)
        for (std::string_view key : group.keys)
            table.emplace(key, group.kind);
    return table;
}

const KindTable& fileExtensions() {
    static const KindTable table = makeTable({
        {FileKind::videos,
         {"mp4", "mov", "m4v", "mkv", "avi", "wmv", "flv", "webm", "mpg", "mpeg", "mts", "m2ts", "3gp", "ts",
          "vob", "prores", "braw", "r3d"}},
        {FileKind::images, {"jpg",  "jpeg", "png", "gif", "heic",   "heif",    "tif",     "tiff", "bmp",
                            "webp", "raw",  "cr2", "cr3", "nef",    "arw",     "dng",     "orf",  "raf",
                            "psd",  "psb",  "ai",  "svg", "sketch", "afphoto", "afdesign"}},
        {FileKind::audio,
         {"mp3", "m4a", "aac", "wav", "aif", "aiff", "flac", "ogg", "wma", "alac", "caf", "m4b", "opus",
          "logicx", "band"}},
        {FileKind::diskImages, {"dmg", "iso", "img", "sparseimage", "sparsebundle", "cdr", "toast", "udif"}},
        {FileKind::archives,
         {"zip", "tar", "gz", "tgz", "bz2", "xz", "7z", "rar", "lz", "lzma", "zst", "sit", "sitx", "xip",
          "cpio", "jar", "war"}},
        {FileKind::installers,
         {"pkg", "mpkg", "ipa", "msi", "exe", "apk", "deb", "rpm", "appimage", "snap", "flatpak",
          "flatpakref"}},
        {FileKind::virtualMachines,
         {"vmdk", "vdi", "vhd", "vhdx", "qcow", "qcow2", "hdd", "vmem", "vbox", "ova", "ovf"}},
        {FileKind::documents,
         {"pdf", "doc", "docx", "pages", "key",  "keynote", "numbers", "xls", "xlsx", "ppt", "pptx",
          "txt", "rtf", "rtfd", "md",    "epub", "csv",     "odt",     "ods", "odp",  "mobi"}},
    });
    return table;
}

// Folders that the system presents as single documents or bundles.
const KindTable& packageExtensions() {
    static const KindTable table = makeTable({
        {FileKind::applications, {"app"}},
        {FileKind::mediaLibraries,
         {"photoslibrary", "musiclibrary", "tvlibrary", "aplibrary", "imovielibrary", "fcpbundle"}},
        {FileKind::virtualMachines, {"vmwarevm", "pvm", "utm"}},
        {FileKind::diskImages, {"sparsebundle"}},
        {FileKind::buildFolders, {"xcarchive"}},
        {FileKind::audio, {"logicx", "band"}},
        {FileKind::documents, {"rtfd", "key", "pages", "numbers"}},
    });
    return table;
}

// Folders a build or package tool fills in again, matched by their whole, case-sensitive name.
const std::unordered_set<std::string_view>& buildFolderNames() {
    static const std::unordered_set<std::string_view> names{
        "node_modules", "DerivedData",      ".build",      "Pods",       ".venv",
        "venv",         ".gradle",          "__pycache__", ".terraform", ".tox",
        ".nox",         "bower_components", ".yarn",       ".pnpm-store"};
    return names;
}

// Full Unicode lower-casing, so that a name typed with look-alike capitals (the Kelvin sign
// for "K", say) still finds its ASCII key; names that are not UTF-8 only lose ASCII capitals.
std::string lowercased(std::string_view text) {
    if (isAscii(text) || !isValidUtf8(text)) {
        std::string out(text);
        for (char& c : out)
            if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
        return out;
    }
    icu::UnicodeString unicode =
        icu::UnicodeString::fromUTF8(icu::StringPiece(text.data(), static_cast<int32_t>(text.size())));
    unicode.toLower(icu::Locale::getRoot());
    std::string out;
    unicode.toUTF8String(out);
    return canonicalText(out);
}

std::optional<FileKind> lookUp(const KindTable& table, std::string_view key) {
    if (key.empty()) return std::nullopt;
    const auto found = table.find(key);
    if (found == table.end()) return std::nullopt;
    return found->second;
}

} // namespace

std::string_view rawValue(FileKind kind) {
    return textsOf(kind).rawValue;
}

std::optional<FileKind> fileKindFromRawValue(std::string_view text) {
    for (FileKind kind : allFileKinds())
        if (rawValue(kind) == text) return kind;
    return std::nullopt;
}

std::string_view title(FileKind kind) {
    return textsOf(kind).title;
}

std::string_view explanation(FileKind kind) {
    return textsOf(kind).explanation;
}

std::optional<FileKind> classify(const FileNode& node) {
    if (node.isAggregate()) return FileKind::smallFiles;
    const std::string extension = lowercased(pathExtension(node.name()));
    if (!node.isDirectory()) return lookUp(fileExtensions(), extension).value_or(FileKind::other);

    // A dependency folder is one item whatever it holds or is called after.
    if (buildFolderNames().contains(node.name())) return FileKind::buildFolders;
    if (const auto package = lookUp(packageExtensions(), extension)) return package;
    // Size without contents: the scan measured the folder but kept nothing below it.
    if (node.children().empty() && node.allocatedSize() > 0) return FileKind::unexplored;
    return std::nullopt;
}

} // namespace quillmere

#include "platform/XdgFolders.hpp"

#include <gtest/gtest.h>
#include <map>

namespace quillmere::platform {
namespace {

EnvironmentReader environmentOf(std::map<std::string, std::string> values) {
    return [values](const char* name) -> std::optional<std::string> {
        if (const auto it = values.find(name); it != values.end()) return it->second;
        return std::nullopt;
    };
}

TEST(XdgFolders, BaseFoldersTakeOnlyAbsoluteValues) {
    EXPECT_EQ(dataHome("/home/ann", environmentOf({})), "/home/ann/.local/share");
    EXPECT_EQ(dataHome("/home/ann/", environmentOf({{"XDG_DATA_HOME", "/data/ann"}})), "/data/ann");
    EXPECT_EQ(dataHome("/home/ann", environmentOf({{"XDG_DATA_HOME", "relative/share"}})),
              "/home/ann/.local/share");
    EXPECT_EQ(dataHome("/home/ann", environmentOf({{"XDG_DATA_HOME", ""}})), "/home/ann/.local/share");
    EXPECT_EQ(configHome("/home/ann", environmentOf({{"XDG_CONFIG_HOME", "/cfg"}})), "/cfg");
    EXPECT_EQ(configHome("/home/ann", environmentOf({})), "/home/ann/.config");
}

TEST(XdgFolders, ParsesUserDirectories) {
    const std::string text = "# written by xdg-user-dirs-update\n"
                             "XDG_DESKTOP_DIR=\"$HOME/Schreibtisch\"\n"
                             "XDG_DOCUMENTS_DIR=\"$HOME/Docs\"\n"
                             "  XDG_DOCUMENTS_DIR = \"/srv/docs/\\\"quoted\\\"\"  \r\n"
                             "XDG_MUSIC_DIR=$HOME/Music\n"
                             "XDG_PICTURES_DIR=\"relative\"\n"
                             "XDG_VIDEOS_DIR=\"$HOME\"\n";
    EXPECT_EQ(parseUserDirectory(text, "XDG_DESKTOP_DIR", "/home/ann/"), "/home/ann/Schreibtisch");
    EXPECT_EQ(parseUserDirectory(text, "XDG_DOCUMENTS_DIR", "/home/ann"), "/srv/docs/\"quoted\"");
    EXPECT_EQ(parseUserDirectory(text, "XDG_MUSIC_DIR", "/home/ann"), std::nullopt);
    EXPECT_EQ(parseUserDirectory(text, "XDG_PICTURES_DIR", "/home/ann"), std::nullopt);
    EXPECT_EQ(parseUserDirectory(text, "XDG_VIDEOS_DIR", "/home/ann"), "/home/ann");
    EXPECT_EQ(parseUserDirectory(text, "XDG_DOWNLOAD_DIR", "/home/ann"), std::nullopt);
    EXPECT_EQ(parseUserDirectory("XDG_DESKTOP_DIR=\"$HOMEx/a\"", "XDG_DESKTOP_DIR", "/h"), std::nullopt);
}

} // namespace
} // namespace quillmere::platform

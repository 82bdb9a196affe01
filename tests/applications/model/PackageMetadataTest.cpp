#include "applications/model/KeyFile.hpp"
#include "applications/model/MetaInfo.hpp"
#include "applications/model/SmallXml.hpp"
#include "applications/model/SnapYaml.hpp"
#include "support/ApplicationsTestSupport.hpp"

#include <fstream>
#include <gtest/gtest.h>

namespace quillmere::testing {
namespace {

std::string nested(int depth) {
    std::string text;
    for (int i = 0; i < depth; ++i)
        text += "<e>";
    for (int i = 0; i < depth; ++i)
        text += "</e>";
    return text;
}

std::string writeFile(const std::string& name, const std::string& content) {
    const std::string path = freshFolder("metadata-" + name) + "/" + name;
    std::ofstream(path, std::ios::binary) << content;
    return path;
}

TEST(KeyFileTest, ReadsGroupsUntranslatedKeysAndEscapes) {
    const auto file = parseKeyFile("# comment\n\n[Desktop Entry]\r\nName = GNU Image\\sProgram \n"
                                   "Name[de]=Bild\nComment=line\\none\\\\two\n[Other]\nName=Second\n");
    ASSERT_TRUE(file);
    EXPECT_EQ(*file->value("Desktop Entry", "Name"), "GNU Image Program");
    EXPECT_EQ(*file->value("Desktop Entry", "Name[de]"), "Bild");
    EXPECT_EQ(*file->value("Desktop Entry", "Comment"), "line\none\\two");
    EXPECT_EQ(*file->value("Other", "Name"), "Second");
    EXPECT_EQ(file->value("Desktop Entry", "Exec"), nullptr);
    EXPECT_EQ(file->value("Missing", "Name"), nullptr);
    EXPECT_TRUE(file->hasGroup("Other"));
    EXPECT_FALSE(file->hasGroup("Desktop"));
}

TEST(KeyFileTest, RefusesWhatBreaksTheFormat) {
    for (const std::string& text :
         {std::string("Name=before any group\n[G]\n"), std::string("[G]\nno equals sign\n"),
          std::string("[G\nName=x\n"), std::string("[G]\n=value\n"), std::string("[G]\nNa me=x\n"),
          std::string("[G]\nName[de=x\n"), std::string("[G]\nName=\xff\xfe\n"),
          std::string("[G]\nName=a\0b\n", 13)}) {
        SCOPED_TRACE(text);
        const auto file = parseKeyFile(text);
        ASSERT_FALSE(file);
        EXPECT_EQ(file.error(), KeyFileError::malformed);
    }
}

TEST(KeyFileTest, FilesAreBoundedInSize) {
    const std::string group = "[G]\n";
    const std::string atBound = group + "K=" + std::string(kKeyFileMaxBytes - group.size() - 3, 'x') + "\n";
    ASSERT_EQ(atBound.size(), kKeyFileMaxBytes);
    EXPECT_TRUE(readKeyFile(writeFile("at-bound.desktop", atBound)));
    const auto over = readKeyFile(writeFile("over-bound.desktop", atBound + "x"));
    ASSERT_FALSE(over);
    EXPECT_EQ(over.error(), KeyFileError::tooLarge);
    EXPECT_EQ(readKeyFile("/nonexistent/entry.desktop").error(), KeyFileError::unreadable);
}

TEST(SmallXmlTest, ReadsElementsAttributesTextAndReferences) {
    const auto root =
        parseXml("\xEF\xBB\xBF<?xml version=\"1.0\"?>\n<!-- note -->\n"
                 "<!DOCTYPE component PUBLIC \"-//x//y\" \"http://example.org/[x].dtd\">\n"
                 "<component type='app'><name a=\"&lt;&amp;&#65;&#x42;\">Tom &amp; <![CDATA[<Jerry>]]>"
                 "</name><empty/><?pi x?></component>\n");
    ASSERT_TRUE(root) << static_cast<int>(root.error());
    EXPECT_EQ(root->name, "component");
    EXPECT_EQ(*root->attribute("type"), "app");
    ASSERT_EQ(root->children.size(), 2u);
    EXPECT_EQ(root->children[0].text, "Tom & <Jerry>");
    EXPECT_EQ(*root->children[0].attribute("a"), "<&AB");
    EXPECT_EQ(root->children[1].name, "empty");
}

TEST(SmallXmlTest, RefusesEntitiesDepthAndBrokenDocuments) {
    const auto error = [](const std::string& text) {
        const auto parsed = parseXml(text);
        return parsed ? std::optional<XmlError>() : std::optional(parsed.error());
    };
    EXPECT_EQ(error("<!DOCTYPE c [<!ENTITY e \"boom\">]><c>&e;</c>"), XmlError::hasEntities);
    EXPECT_EQ(error("<c>&undeclared;</c>"), XmlError::hasEntities);
    EXPECT_EQ(error("<c a=\"&e;\"/>"), XmlError::hasEntities);
    EXPECT_EQ(error("<c><!ENTITY e \"x\"></c>"), XmlError::hasEntities);
    EXPECT_EQ(error(nested(kXmlMaxDepth)), std::nullopt);
    EXPECT_EQ(error(nested(kXmlMaxDepth + 1)), XmlError::tooDeep);
    EXPECT_EQ(error(nested(100000)), XmlError::tooDeep);
    for (const char* broken :
         {"<a><b></a></b>", "<a>", "<a></a><b/>", "text", "<a x=1/>", "<a x=\"1\"y=\"2\"/>",
          "<a x=\"1\" x=\"2\"/>", "<a>&#0;</a>", "<a>&#xD800;</a>", "<a>\xC3</a>", ""})
        EXPECT_EQ(error(broken), XmlError::malformed) << broken;
    EXPECT_EQ(error(std::string(kXmlMaxBytes + 1, ' ')), XmlError::tooLarge);
}

TEST(MetaInfoTest, TakesTheFirstReleaseAndTheUntranslatedDeveloper) {
    const auto info = [](const std::string& text) { return metaInfoOf(*parseXml(text)); };
    EXPECT_EQ(info("<component><developer_name xml:lang=\"de\">Die Leute</developer_name>"
                   "<developer_name> The People </developer_name><releases><release date=\"x\"/>"
                   "<release version=\"2.0\"/><release version=\"1.0\"/></releases></component>"),
              (MetaInfo{"2.0", "The People"}));
    // The newer form wins over the older one.
    EXPECT_EQ(info("<component><developer_name>Old</developer_name><developer><name>New</name></developer>"
                   "</component>"),
              (MetaInfo{std::nullopt, "New"}));
    EXPECT_EQ(info("<application><releases><release version=\" 3 \"/></releases></application>"),
              (MetaInfo{"3", std::nullopt}));
    // Releases and developers nested elsewhere, or under another root, are not the application's.
    EXPECT_EQ(
        info("<component><provides><releases><release version=\"9\"/></releases></provides></component>"),
        MetaInfo{});
    EXPECT_EQ(info("<components><developer_name>x</developer_name></components>"), MetaInfo{});
    // The first file that exists decides, even when it is refused.
    const std::string refused =
        writeFile("refused.metainfo.xml", "<!DOCTYPE c [<!ENTITY e \"x\">]><component/>");
    const std::string good =
        writeFile("good.metainfo.xml", "<component><releases><release version=\"1\"/></releases>"
                                       "</component>");
    EXPECT_EQ(readMetaInfo({"/nonexistent/a.xml", good}).version, "1");
    EXPECT_EQ(readMetaInfo({refused, good}), MetaInfo{});
}

TEST(SnapYamlTest, ReadsTopLevelScalarsAndPassesOverTheRest) {
    const auto yaml =
        parseSnapYaml("---\nname: firefox # the name\nversion: '128.0''s'\ntitle: \"Fire\\\"fox\"\n"
                      "summary:   Web browser  \ndescription: |\n  version: not this\n"
                      "  two lines\napps:\n  firefox:\n    command: run\nplugs: [a, b]\n"
                      "- stray list item\n# comment\n");
    ASSERT_TRUE(yaml);
    EXPECT_EQ(yaml->at("name"), "firefox");
    EXPECT_EQ(yaml->at("version"), "128.0's");
    EXPECT_EQ(yaml->at("title"), "Fire\"fox");
    EXPECT_EQ(yaml->at("summary"), "Web browser");
    EXPECT_FALSE(yaml->contains("description"));
    EXPECT_FALSE(yaml->contains("apps"));
    EXPECT_FALSE(yaml->contains("plugs"));
    EXPECT_FALSE(yaml->contains("command"));
    for (const char* broken : {"name firefox\n", ":value\n", "name:firefox\n", "name: \xff\n"})
        EXPECT_FALSE(parseSnapYaml(broken)) << broken;
    EXPECT_EQ(parseSnapYaml(std::string(kSnapYamlMaxBytes + 1, '#')).error(), SnapYamlError::tooLarge);
}

} // namespace
} // namespace quillmere::testing

#include "platform/PropertyList.hpp"

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <map>
#include <random>
#include <sstream>

namespace quillmere::platform {
namespace {

const std::string kFixtures = QUILLMERE_PLATFORM_FIXTURES "/plist/";

std::string fileBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream buffer;
    buffer << in.rdbuf();
    return buffer.str();
}

PropertyListValue parsed(const std::string& bytes) {
    auto value = parsePropertyList(bytes);
    EXPECT_TRUE(value.has_value()) << "error " << static_cast<int>(value.error());
    return value ? *value : PropertyListValue{};
}

// A binary property list assembled object by object, with a trailer the test may spoil.
struct BinaryList {
    std::vector<std::string> objects;
    uint8_t offsetSize = 2;
    uint8_t refSize = 1;
    uint64_t top = 0;
    std::optional<uint64_t> objectCount;
    std::optional<uint64_t> tableOffset;
    // Entries of the offset table pointed elsewhere, by object index.
    std::map<size_t, uint64_t> movedOffsets;

    static std::string bigEndian(uint64_t value, size_t width) {
        std::string out(width, '\0');
        for (size_t i = 0; i < width; ++i)
            out[width - 1 - i] = static_cast<char>((value >> (8 * i)) & 0xFF);
        return out;
    }

    std::string bytes() const {
        std::string out = "bplist00";
        std::vector<uint64_t> offsets;
        for (const std::string& object : objects) {
            offsets.push_back(out.size());
            out += object;
        }
        const uint64_t table = out.size();
        for (size_t i = 0; i < offsets.size(); ++i)
            out += bigEndian(movedOffsets.contains(i) ? movedOffsets.at(i) : offsets[i], offsetSize);
        out += std::string(6, '\0');
        out += static_cast<char>(offsetSize);
        out += static_cast<char>(refSize);
        out += bigEndian(objectCount.value_or(objects.size()), 8);
        out += bigEndian(top, 8);
        out += bigEndian(tableOffset.value_or(table), 8);
        return out;
    }
};

std::string ascii(const std::string& text) {
    return std::string(1, static_cast<char>(0x50 | text.size())) + text;
}

TEST(PropertyListTest, XmlAndBinaryTwinsMadeByAnIndependentWriterReadEqual) {
    for (const char* name : {"info-typical", "wide-and-unicode"}) {
        SCOPED_TRACE(name);
        const PropertyListValue xml = parsed(fileBytes(kFixtures + name + ".xml"));
        const PropertyListValue binary = parsed(fileBytes(kFixtures + name + ".bplist"));
        EXPECT_EQ(xml, binary);
        ASSERT_NE(xml.dictionary(), nullptr);
    }
}

TEST(PropertyListTest, ReadsEveryValueKindOfATypicalInfoList) {
    const PropertyListValue value = parsed(fileBytes(kFixtures + "info-typical.bplist"));
    const PropertyListDictionary& info = *value.dictionary();
    EXPECT_EQ(info.keys.front(), "CFBundleDisplayName");
    EXPECT_EQ(*info.findString("CFBundleIdentifier"), "com.acme.Player");
    EXPECT_EQ(*info.findString("NSHumanReadableCopyright"), "© 2015–2023 Acme Inc. All rights reserved.");
    EXPECT_EQ(*info.findString("Escaped"), "a & b < c ☺ A");
    EXPECT_EQ(*info.findString("Empty"), "");
    EXPECT_EQ(info.find("Negative")->value, PropertyListValue{int64_t{-42}}.value);
    EXPECT_EQ(info.find("Large")->value, PropertyListValue{int64_t{9000000000}}.value);
    EXPECT_EQ(info.find("Ratio")->value, PropertyListValue{0.5}.value);
    EXPECT_EQ(info.find("Enabled")->value, PropertyListValue{true}.value);
    EXPECT_EQ(info.find("Disabled")->value, PropertyListValue{false}.value);
    // 2023-05-17T12:30:00Z is 1684326600 seconds after 1970, and 2001 began 978307200 after it.
    EXPECT_EQ(info.find("Built")->value,
              PropertyListValue{PropertyListDate{1684326600.0 - 978307200.0}}.value);
    EXPECT_EQ(info.find("Blob")->value, (PropertyListValue{PropertyListData{{0, 1, 2, 3, 4, 0xFF}}}.value));
    const PropertyListArray& types = *info.find("Types")->array();
    ASSERT_EQ(types.size(), 3u);
    EXPECT_EQ(*types[0].dictionary()->findString("Name"), "Song");
    EXPECT_EQ(types[0].dictionary()->find("Extensions")->array()->size(), 2u);
    EXPECT_EQ(info.findString("Negative"), nullptr);
    EXPECT_EQ(info.find("Missing"), nullptr);

    const PropertyListValue wide = parsed(fileBytes(kFixtures + "wide-and-unicode.bplist"));
    EXPECT_EQ(*wide.dictionary()->findString("Emoji"), "Smile \U0001F600 and Ünïcödé");
    EXPECT_EQ(wide.dictionary()->find("Many")->array()->size(), 300u);
    EXPECT_EQ(*wide.dictionary()->find("Many")->array()->back().string(), "item 299");
}

TEST(PropertyListTest, XmlReaderFollowsTheFormatsOwnRules) {
    // No plist wrapper, comments, CDATA, CR LF line ends, a repeated key keeping its last value.
    const PropertyListValue value =
        parsed("<!-- c --><dict><key>A</key><string>x<![CDATA[<&>]]>\r\ny</string>"
               "<key>A</key><integer> 0x1F </integer><key/><string/></dict>");
    const PropertyListDictionary& dictionary = *value.dictionary();
    ASSERT_EQ(dictionary.size(), 2u);
    EXPECT_EQ(dictionary.find("A")->value, PropertyListValue{int64_t{31}}.value);
    EXPECT_EQ(*dictionary.findString(""), "");
    EXPECT_EQ(*parsed("<string>x<![CDATA[<&>]]>\r\ny\rz</string>").string(), "x<&>\ny\nz");

    for (const char* refused : {
             // Entities other than the five predefined ones are never resolved.
             "<!DOCTYPE plist [<!ENTITY e SYSTEM "
             "\"file:///etc/passwd\">]><plist><string>&e;</string></plist>",
             "<plist><string>&e;</string></plist>",
             "<plist><string>a &amp b</string></plist>",
             "<plist><dict><string>no key</string></dict></plist>",
             "<plist><dict><key>k</key></dict></plist>",
             "<plist><integer>12abc</integer></plist>",
             "<plist><integer>-9223372036854775809</integer></plist>",
             "<plist><date>2023-13-01T00:00:00Z</date></plist>",
             "<plist><data>AA*A</data></plist>",
             "<plist><string>open",
             "<plist><string>x</string></plist><string>trailing</string>",
             "<plist><unknown/></plist>",
             "<plist/>",
             "<plist><array><string>a</array></plist>",
         }) {
        SCOPED_TRACE(refused);
        EXPECT_FALSE(parsePropertyList(std::string(refused)).has_value());
    }
    EXPECT_EQ(parsePropertyList(std::string("{ CFBundleName = Foo; }")).error(),
              PropertyListError::unsupportedFormat);
    EXPECT_EQ(parsePropertyList(std::string("bplist01........................................")).error(),
              PropertyListError::unsupportedFormat);
    EXPECT_EQ(parsePropertyList(std::string()).error(), PropertyListError::unsupportedFormat);
}

TEST(PropertyListTest, NestingIsBoundedInBothFormats) {
    const int depth = 100000;
    std::string deepXml;
    for (int i = 0; i < depth; ++i)
        deepXml += "<array>";
    for (int i = 0; i < depth; ++i)
        deepXml += "</array>";
    EXPECT_EQ(parsePropertyList(deepXml).error(), PropertyListError::tooDeep);

    // Each array holds the next one: object i refers to object i + 1.
    BinaryList chain;
    chain.offsetSize = 4;
    chain.refSize = 4;
    for (int i = 0; i < depth; ++i)
        chain.objects.push_back("\xA1" + BinaryList::bigEndian(static_cast<uint64_t>(i + 1), 4));
    chain.objects.push_back("\x09");
    EXPECT_EQ(parsePropertyList(chain.bytes()).error(), PropertyListError::tooDeep);

    // Just inside the bound still reads.
    std::string shallow;
    for (int i = 0; i < kPropertyListMaxDepth; ++i)
        shallow += "<array>";
    for (int i = 0; i < kPropertyListMaxDepth; ++i)
        shallow += "</array>";
    EXPECT_TRUE(parsePropertyList(shallow).has_value());
}

TEST(PropertyListTest, HostileBinaryStructuresAreRefused) {
    BinaryList good;
    good.objects = {"\xA2\x01\x02", ascii("a"), "\x10\x07"};
    ASSERT_TRUE(parsePropertyList(good.bytes()).has_value());
    EXPECT_EQ(parsed(good.bytes()).array()->size(), 2u);

    auto refused = [](BinaryList list) { return parsePropertyList(list.bytes()); };
    BinaryList cycle;
    cycle.objects = {"\xA1\x01", std::string("\xA1\x00", 2)};
    EXPECT_EQ(refused(cycle).error(), PropertyListError::tooDeep);
    BinaryList selfKey;
    selfKey.objects = {std::string("\xD1\x00\x00", 3)};
    EXPECT_FALSE(refused(selfKey).has_value());

    BinaryList hugeCount = good;
    // An array claiming 2^60 members in a file of a few dozen bytes.
    hugeCount.objects[0] = "\xAF\x13" + BinaryList::bigEndian(uint64_t{1} << 60, 8) + "\x01\x02";
    EXPECT_EQ(refused(hugeCount).error(), PropertyListError::malformed);
    BinaryList hugeText = good;
    hugeText.objects[1] = "\x5F\x13" + BinaryList::bigEndian(~uint64_t{0}, 8) + "a";
    EXPECT_EQ(refused(hugeText).error(), PropertyListError::malformed);
    BinaryList hugeObjectCount = good;
    hugeObjectCount.objectCount = ~uint64_t{0};
    EXPECT_EQ(refused(hugeObjectCount).error(), PropertyListError::malformed);
    BinaryList tablePastEnd = good;
    tablePastEnd.tableOffset = 1u << 20;
    EXPECT_EQ(refused(tablePastEnd).error(), PropertyListError::malformed);
    BinaryList tableInHeader = good;
    tableInHeader.tableOffset = 2;
    EXPECT_EQ(refused(tableInHeader).error(), PropertyListError::malformed);
    BinaryList topOutside = good;
    topOutside.top = 3;
    EXPECT_EQ(refused(topOutside).error(), PropertyListError::malformed);
    BinaryList badSizes = good;
    badSizes.offsetSize = 0;
    EXPECT_EQ(refused(badSizes).error(), PropertyListError::malformed);
    // An object table entry pointing past the objects: into the offset table, at the trailer's
    // offset-size byte (8, which would read as the boolean false), or past the end of the file.
    BinaryList intoTrailer;
    intoTrailer.offsetSize = 8;
    intoTrailer.objects = {"\x09"};
    const size_t trailerStart = 8 + 1 + 8;
    ASSERT_EQ(intoTrailer.bytes()[trailerStart + 6], '\x08');
    for (const uint64_t offset : {uint64_t{8 + 1}, uint64_t{trailerStart + 6}, uint64_t{1} << 40}) {
        BinaryList outside = intoTrailer;
        outside.movedOffsets[0] = offset;
        const auto read = refused(outside);
        EXPECT_FALSE(read.has_value()) << "an object was read at " << offset;
        if (!read) {
            EXPECT_EQ(read.error(), PropertyListError::malformed) << offset;
        }
    }
    EXPECT_EQ(parsed(intoTrailer.bytes()), PropertyListValue{true});
    BinaryList refOutside = good;
    refOutside.objects[0] = "\xA2\x01\x09";
    EXPECT_EQ(refused(refOutside).error(), PropertyListError::malformed);
    BinaryList numberKey;
    numberKey.objects = {"\xD1\x01\x01", "\x10\x01"};
    EXPECT_EQ(refused(numberKey).error(), PropertyListError::malformed);

    // Shared references repeat one object: 40 levels of [x, x] would be 2^40 values.
    BinaryList laughs;
    for (int i = 0; i < 40; ++i)
        laughs.objects.push_back(std::string("\xA2") + static_cast<char>(i + 1) + static_cast<char>(i + 1));
    laughs.objects.push_back(ascii("lol"));
    EXPECT_EQ(refused(laughs).error(), PropertyListError::tooLarge);
}

TEST(PropertyListTest, GarbledListsNeverCrashOrHang) {
    std::vector<std::string> seeds;
    for (const char* name : {"info-typical.xml", "info-typical.bplist", "wide-and-unicode.bplist"})
        seeds.push_back(fileBytes(kFixtures + name));
    std::mt19937 random(20);
    size_t parsedCount = 0;
    for (const std::string& seed : seeds) {
        // Every truncation, which also cuts the trailer and offset table of a binary list.
        for (size_t length = 0; length < seed.size(); length += 1 + seed.size() / 700)
            parsedCount += parsePropertyList(seed.substr(0, length)).has_value();
        for (int round = 0; round < 1500; ++round) {
            std::string bytes = seed;
            const int flips = 1 + static_cast<int>(random() % 8);
            for (int i = 0; i < flips; ++i) {
                // Binary lists keep their structure in the last 32 bytes and the table before them:
                // aim half the flips there.
                const size_t tail = std::min<size_t>(bytes.size(), 96);
                const size_t at =
                    (random() % 2) ? bytes.size() - 1 - random() % tail : random() % bytes.size();
                bytes[at] = static_cast<char>(random() % 2 ? bytes[at] ^ (1 << (random() % 8)) : random());
            }
            parsedCount += parsePropertyList(bytes).has_value();
        }
    }
    // Some mutations only touch text and still read: the loop ran the readers, not just the checks.
    EXPECT_GT(parsedCount, 0u);
}

TEST(PropertyListTest, FilesAreReadWithinTheSizeBound) {
    const std::filesystem::path folder =
        std::filesystem::temp_directory_path() / ("quillmere-plist-" + std::to_string(::getpid()));
    std::filesystem::create_directories(folder);
    const std::string big = (folder / "big.plist").string();
    {
        std::ofstream out(big, std::ios::binary);
        out << "<plist><string>";
        out << std::string(kPropertyListMaxBytes, 'a');
        out << "</string></plist>";
    }
    EXPECT_EQ(readPropertyListFile(big).error(), PropertyListError::tooLarge);
    EXPECT_EQ(readPropertyListFile((folder / "missing.plist").string()).error(),
              PropertyListError::unreadable);
    EXPECT_EQ(readPropertyListFile(folder.string()).error(), PropertyListError::unreadable);
    EXPECT_EQ(readPropertyListDictionary(kFixtures + "info-typical.xml").size(), 16u);
    // An array at the top is not a dictionary.
    const std::string array = (folder / "array.plist").string();
    std::ofstream(array) << "<plist><array/></plist>";
    EXPECT_EQ(readPropertyListDictionary(array).size(), 0u);
    std::filesystem::remove_all(folder);
}

} // namespace
} // namespace quillmere::platform

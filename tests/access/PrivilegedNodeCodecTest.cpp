#include "access/PrivilegedNode.hpp"
#include "access/PrivilegedScanning.hpp"

#include <gtest/gtest.h>
#include <limits>

namespace quillmere {
namespace {

PrivilegedNode file(std::string path, int64_t bytes) {
    std::string name(path.substr(path.rfind('/') + 1));
    return PrivilegedNode{
        .name = std::move(name), .path = std::move(path), .allocatedSize = bytes, .fileCount = 1};
}

PrivilegedNode folder(std::string path, std::vector<PrivilegedNode> children) {
    PrivilegedNode node{.name = path.substr(path.rfind('/') + 1),
                        .path = std::move(path),
                        .isDirectory = true,
                        .folderCount = 1};
    for (const PrivilegedNode& child : children) {
        node.allocatedSize += child.allocatedSize;
        node.folderCount += child.folderCount;
        node.fileCount += child.fileCount;
    }
    node.children = std::move(children);
    return node;
}

// A reply for /r with one field spelled out: `fields` stands for the record's keys after "name".
std::string reply(std::string_view fields) {
    return std::string(R"({"name":"r",)") + std::string(fields) + "}";
}

constexpr std::string_view kRest =
    R"("isDirectory":true,"allocatedSize":5,"folderCount":1,"fileCount":0,"isAggregate":false,"children":[])";

std::string withPath(std::string_view rest = kRest) {
    return reply(std::string(R"("path":"/r",)") + std::string(rest));
}

std::optional<PrivilegedNodeFault> faultOf(std::string_view bytes, std::string_view asked = "/r") {
    const auto decoded = decodePrivilegedNode(bytes, asked);
    if (decoded) return std::nullopt;
    return decoded.error();
}

// ---- encoding ----

TEST(PrivilegedNodeEncoding, WritesTheKeysInTheirOrder) {
    PrivilegedNode node = folder("/r", {file("/r/a", 4096)});
    node.modificationDate = 1.5;
    node.children[0].name = "a \"quoted\" name";
    EXPECT_EQ(
        encodePrivilegedNode(node),
        R"({"name":"r","path":"/r","isDirectory":true,"allocatedSize":4096,"folderCount":1,"fileCount":1,)"
        R"("modificationDate":1.5,"isAggregate":false,"children":[)"
        R"({"name":"a \"quoted\" name","path":"/r/a","isDirectory":false,"allocatedSize":4096,)"
        R"("folderCount":0,"fileCount":1,"isAggregate":false,"children":[]}]})");
}

TEST(PrivilegedNodeEncoding, RoundTripsThroughTheDecoder) {
    PrivilegedNode root =
        folder("/r", {file("/r/a", 1), folder("/r/b", {file("/r/b/c", 7)}), file("/r/é", 3)});
    root.modificationDate = -12.25;
    root.children[1].modificationDate = 7.4e8;
    root.children.push_back(PrivilegedNode{.name = "2 more items",
                                           .path = "",
                                           .allocatedSize = 9,
                                           .folderCount = 0,
                                           .fileCount = 2,
                                           .isAggregate = true});
    root.children[0].allocatedSize = std::numeric_limits<int64_t>::max();
    const auto decoded = decodePrivilegedNode(encodePrivilegedNode(root), "/r");
    ASSERT_TRUE(decoded) << static_cast<int>(decoded.error());
    EXPECT_EQ(*decoded, root);
}

TEST(PrivilegedNodeEncoding, WritesBadTextAndDeepTreesSafely) {
    // A name that is not UTF-8 is written with U+FFFD instead of failing.
    const std::string text = encodePrivilegedNode(file("/r/\xff", 1));
    EXPECT_NE(text.find("\"/r/\xef\xbf\xbd\""), std::string::npos) << text;

    // A tree as deep as a reply may be is written without recursion and read back.
    PrivilegedNode root = folder("/r", {});
    PrivilegedNode* tip = &root;
    std::string path = "/r";
    for (std::size_t level = 2; level <= kPrivilegedNodeMaxDepth; ++level) {
        path += "/d";
        tip->children.push_back(folder(path, {}));
        tip = &tip->children.back();
    }
    const auto decoded = decodePrivilegedNode(encodePrivilegedNode(root), "/r");
    ASSERT_TRUE(decoded);
    EXPECT_EQ(*decoded, root);
}

// ---- decoding ----

TEST(PrivilegedNodeDecoding, AcceptsIntegralNumbersNullDatesAndUnknownKeys) {
    const auto decoded = decodePrivilegedNode(
        reply(
            R"("path":"/r/","extra":{"deep":[1,[2,{"x":null}]]},"isDirectory":true,"allocatedSize":5.0,)"
            R"("folderCount":1e3,"fileCount":0,"modificationDate":null,"isAggregate":false,"children":[],"more":7)"),
        "/r");
    ASSERT_TRUE(decoded) << static_cast<int>(decoded.error());
    EXPECT_EQ(decoded->path, "/r/");
    EXPECT_EQ(decoded->allocatedSize, 5);
    EXPECT_EQ(decoded->folderCount, 1000);
    EXPECT_EQ(decoded->modificationDate, std::nullopt);
    // The key order does not matter, and a missing date is no date.
    const auto reordered = decodePrivilegedNode(
        R"({"children":[],"isAggregate":false,"fileCount":0,"folderCount":1,"allocatedSize":5,"isDirectory":true,)"
        R"("path":"/r","name":"r"})",
        "/r");
    ASSERT_TRUE(reordered);
    EXPECT_EQ(reordered->modificationDate, std::nullopt);
    EXPECT_EQ(
        decodePrivilegedNode(withPath(std::string(R"("modificationDate":42,)") + std::string(kRest)), "/r")
            ->modificationDate,
        42.0);
}

TEST(PrivilegedNodeDecoding, RefusesWhatIsNotOneRecord) {
    EXPECT_EQ(faultOf(""), PrivilegedNodeFault::malformedJSON);
    EXPECT_EQ(faultOf("{"), PrivilegedNodeFault::malformedJSON);
    EXPECT_EQ(faultOf(withPath() + " {}"), PrivilegedNodeFault::malformedJSON);
    EXPECT_EQ(faultOf("[" + withPath() + "]"), PrivilegedNodeFault::notAnObject);
    EXPECT_EQ(faultOf("\"r\""), PrivilegedNodeFault::notAnObject);
    EXPECT_EQ(faultOf(withPath(R"("isDirectory":true,"allocatedSize":5,"folderCount":1,"fileCount":0,)"
                               R"("isAggregate":false,"children":[7])")),
              PrivilegedNodeFault::notAnObject);
}

TEST(PrivilegedNodeDecoding, RefusesMissingRepeatedAndMistypedKeys) {
    for (const char* key : {"\"isDirectory\":true,", "\"allocatedSize\":5,", "\"folderCount\":1,",
                            "\"fileCount\":0,", "\"isAggregate\":false,", ",\"children\":[]"}) {
        std::string rest(kRest);
        rest.erase(rest.find(key), std::string_view(key).size());
        EXPECT_EQ(faultOf(withPath(rest)), PrivilegedNodeFault::missingKey) << key;
    }
    EXPECT_EQ(faultOf(reply(kRest)), PrivilegedNodeFault::missingKey);
    EXPECT_EQ(faultOf(std::string(R"({"path":"/r",)") + std::string(kRest) + "}"),
              PrivilegedNodeFault::missingKey);
    EXPECT_EQ(faultOf(withPath(std::string(R"("isDirectory":true,)") + std::string(kRest))),
              PrivilegedNodeFault::repeatedKey);
    EXPECT_EQ(
        faultOf(withPath(std::string(R"("modificationDate":1,"modificationDate":2,)") + std::string(kRest))),
        PrivilegedNodeFault::repeatedKey);

    const auto retyped = [](std::string_view from, std::string_view to) {
        std::string rest(kRest);
        rest.replace(rest.find(from), from.size(), to);
        return faultOf(withPath(rest));
    };
    EXPECT_EQ(retyped("\"isDirectory\":true", "\"isDirectory\":1"), PrivilegedNodeFault::wrongType);
    EXPECT_EQ(retyped("\"isAggregate\":false", "\"isAggregate\":\"false\""), PrivilegedNodeFault::wrongType);
    EXPECT_EQ(retyped("\"allocatedSize\":5", "\"allocatedSize\":\"5\""), PrivilegedNodeFault::wrongType);
    EXPECT_EQ(retyped("\"fileCount\":0", "\"fileCount\":null"), PrivilegedNodeFault::wrongType);
    EXPECT_EQ(retyped("\"children\":[]", "\"children\":{}"), PrivilegedNodeFault::wrongType);
    EXPECT_EQ(retyped("\"children\":[]", "\"children\":null"), PrivilegedNodeFault::wrongType);
    EXPECT_EQ(faultOf(reply(std::string(R"("path":7,)") + std::string(kRest))),
              PrivilegedNodeFault::wrongType);
    EXPECT_EQ(faultOf(withPath(std::string(R"("modificationDate":"2020",)") + std::string(kRest))),
              PrivilegedNodeFault::wrongType);
    // JSON numbers beyond a double's range are refused by the parser itself.
    EXPECT_EQ(faultOf(withPath(std::string(R"("modificationDate":1e400,)") + std::string(kRest))),
              PrivilegedNodeFault::malformedJSON);
}

TEST(PrivilegedNodeDecoding, RefusesNumbersOutsideSigned64Bits) {
    const auto sized = [](std::string_view number) {
        std::string rest(kRest);
        rest.replace(rest.find("5"), 1, number);
        return faultOf(withPath(rest));
    };
    EXPECT_EQ(sized("9223372036854775807"), std::nullopt);
    EXPECT_EQ(sized("9223372036854775808"), PrivilegedNodeFault::integerOutOfRange);
    EXPECT_EQ(sized("99999999999999999999"), PrivilegedNodeFault::integerOutOfRange);
    EXPECT_EQ(sized("9.3e18"), PrivilegedNodeFault::integerOutOfRange);
    EXPECT_EQ(sized("5.5"), PrivilegedNodeFault::integerOutOfRange);
    EXPECT_EQ(sized("-1"), PrivilegedNodeFault::negativeCount);
    EXPECT_EQ(sized("-0.0"), std::nullopt);
}

TEST(PrivilegedNodeDecoding, RefusesTreesThatCannotBeGrafted) {
    PrivilegedNode childOnFile = file("/r", 1);
    childOnFile.children.push_back(file("/r/a", 1));
    EXPECT_EQ(faultOf(encodePrivilegedNode(childOnFile)), PrivilegedNodeFault::childrenOnLeaf);
    PrivilegedNode childOnAggregate = folder("/r", {});
    childOnAggregate.isAggregate = true;
    childOnAggregate.children.push_back(file("/r/a", 1));
    EXPECT_EQ(faultOf(encodePrivilegedNode(childOnAggregate)), PrivilegedNodeFault::childrenOnLeaf);
    PrivilegedNode negative = folder("/r", {file("/r/a", 1)});
    negative.children[0].fileCount = -1;
    EXPECT_EQ(faultOf(encodePrivilegedNode(negative)), PrivilegedNodeFault::negativeCount);

    // The root must be the folder asked for; a trailing "/" on either side is the same folder.
    EXPECT_EQ(faultOf(encodePrivilegedNode(folder("/r", {})), "/r/"), std::nullopt);
    EXPECT_EQ(faultOf(encodePrivilegedNode(folder("/r", {})), "/s"), PrivilegedNodeFault::pathMismatch);
    EXPECT_EQ(faultOf(encodePrivilegedNode(folder("/r", {})), "/r/x"), PrivilegedNodeFault::pathMismatch);
    EXPECT_EQ(faultOf(encodePrivilegedNode(folder("r", {})), "r"), PrivilegedNodeFault::pathMismatch);
    // Every other node is its parent's path and one component.
    for (const char* bad : {"/s/a", "/r", "/r/", "/r/a/b", "/ra", "/r/.", "/r/..", "a", "/r//a"})
        EXPECT_EQ(faultOf(encodePrivilegedNode(folder("/r", {file(bad, 1)}))),
                  PrivilegedNodeFault::pathMismatch)
            << bad;
    EXPECT_EQ(faultOf(encodePrivilegedNode(folder("/r", {folder("/r/b", {file("/r/a", 1)})}))),
              PrivilegedNodeFault::pathMismatch);
    EXPECT_EQ(faultOf(encodePrivilegedNode(folder("/", {file("/a", 1)})), "/"), std::nullopt);
    // An aggregate's path is not looked at, at the root or below it.
    PrivilegedNode aggregate{
        .name = "3 more items", .path = "/elsewhere", .fileCount = 3, .isAggregate = true};
    EXPECT_EQ(faultOf(encodePrivilegedNode(aggregate)), std::nullopt);
    EXPECT_EQ(faultOf(encodePrivilegedNode(folder("/r", {aggregate}))), std::nullopt);
}

TEST(PrivilegedNodeDecoding, StopsAtTheDepthLimitWithoutRecursing) {
    // 100,000 levels of records: refused at level 4,097 (also in the sanitizer builds).
    std::string deep;
    std::string path = "/r";
    constexpr int kLevels = 100000;
    for (int level = 0; level < kLevels; ++level) {
        deep +=
            R"({"name":"d","path":")" + (level == 0 ? "/r" : std::string("/r/d")) +
            R"(","isDirectory":true,"allocatedSize":0,"folderCount":1,"fileCount":0,"isAggregate":false,"children":[)";
    }
    for (int level = 0; level < kLevels; ++level)
        deep += "]}";
    EXPECT_EQ(faultOf(deep), PrivilegedNodeFault::tooDeep);
    // Unknown values nest no deeper either.
    const std::string brackets = std::string(100000, '[') + std::string(100000, ']');
    EXPECT_EQ(faultOf(withPath(std::string(R"("x":)") + brackets + "," + std::string(kRest))),
              PrivilegedNodeFault::tooDeep);
}

// ---- status ----

TEST(PrivilegedScanStatus, MapsTheServiceManagersValues) {
    EXPECT_EQ(PrivilegedScanStatus::fromServiceStatus(0), PrivilegedScanStatus::off());
    EXPECT_EQ(PrivilegedScanStatus::fromServiceStatus(1), PrivilegedScanStatus::on());
    EXPECT_EQ(PrivilegedScanStatus::fromServiceStatus(2), PrivilegedScanStatus::awaitingApproval());
    EXPECT_EQ(PrivilegedScanStatus::fromServiceStatus(3), PrivilegedScanStatus::off());
    for (int64_t raw : {int64_t{4}, int64_t{99}, int64_t{-1}})
        EXPECT_EQ(PrivilegedScanStatus::fromServiceStatus(raw),
                  PrivilegedScanStatus::failed("Unrecognized helper status."))
            << raw;
    EXPECT_NE(PrivilegedScanStatus::failed("boom"),
              PrivilegedScanStatus::failed("Unrecognized helper status."));
    EXPECT_NE(PrivilegedScanStatus::failed(""), PrivilegedScanStatus::off());
    EXPECT_EQ(PrivilegedScanStatus::failed("boom").message(), "boom");
}

} // namespace
} // namespace quillmere

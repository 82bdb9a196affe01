#include "access/AccessTestSupport.hpp"
#include "access/PrivilegedNode.hpp"
#include "access/PrivilegedScanning.hpp"

#include <gtest/gtest.h>
#include <limits>

namespace quillmere {
namespace {

using testing::fileRecord;
using testing::folderRecord;
using Fault = PrivilegedNodeFault;

// A reply for /r with its keys after "path" spelled out in `rest`.
constexpr std::string_view kRest =
    R"("isDirectory":true,"allocatedSize":5,"folderCount":1,"fileCount":0,"isAggregate":false,"children":[])";

std::string reply(std::string_view rest = kRest, std::string_view head = R"("name":"r","path":"/r",)") {
    return "{" + std::string(head) + std::string(rest) + "}";
}

// `rest` with one piece of text replaced.
std::string edited(std::string_view from, std::string_view to) {
    std::string rest(kRest);
    rest.replace(rest.find(from), from.size(), to);
    return rest;
}

std::optional<Fault> faultOf(std::string_view bytes, std::string_view asked = "/r") {
    const auto decoded = decodePrivilegedNode(bytes, asked);
    return decoded ? std::nullopt : std::optional(decoded.error());
}

TEST(PrivilegedNodeCodec, EncodesInTheKeyOrderAndRoundTrips) {
    PrivilegedNode node = folderRecord("/r", 4096, {fileRecord("/r/a", 4096)});
    node.modificationDate = 1.5;
    node.children[0].name = "a \"quoted\" name";
    EXPECT_EQ(
        encodePrivilegedNode(node),
        R"({"name":"r","path":"/r","isDirectory":true,"allocatedSize":4096,"folderCount":1,"fileCount":1,)"
        R"("modificationDate":1.5,"isAggregate":false,"children":[)"
        R"({"name":"a \"quoted\" name","path":"/r/a","isDirectory":false,"allocatedSize":4096,)"
        R"("folderCount":0,"fileCount":1,"isAggregate":false,"children":[]}]})");

    node.children.push_back(folderRecord("/r/\xc3\xa9", 3, {fileRecord("/r/\xc3\xa9/c", 3)}));
    node.children[1].modificationDate = -12.25;
    node.children.push_back(PrivilegedNode{.name = "2 more items", .fileCount = 2, .isAggregate = true});
    node.children[0].allocatedSize = std::numeric_limits<int64_t>::max();
    // As deep as a reply may be, written and read without recursion.
    PrivilegedNode* tip = &node.children[1];
    for (size_t level = 3; level <= kPrivilegedNodeMaxDepth; ++level)
        tip = &tip->children.emplace_back(folderRecord(tip->path + "/d", 0));
    EXPECT_EQ(decodePrivilegedNode(encodePrivilegedNode(node), "/r"), node);
    // Text that is not UTF-8 is written with U+FFFD rather than failing.
    EXPECT_NE(encodePrivilegedNode(fileRecord("/r/\xff", 1)).find("\"/r/\xef\xbf\xbd\""), std::string::npos);
}

TEST(PrivilegedNodeCodec, DecodesIntegralNumbersNullDatesAndUnknownKeysInAnyOrder) {
    const auto decoded = decodePrivilegedNode(
        reply(R"("extra":{"deep":[1,[2,{"x":null}]]},"isDirectory":true,"allocatedSize":5.0,)"
              R"("folderCount":1e3,"fileCount":0,"modificationDate":null,"isAggregate":false,)"
              R"("children":[],"more":7)",
              R"("name":"r","path":"/r/",)"),
        "/r");
    ASSERT_TRUE(decoded) << static_cast<int>(decoded.error());
    EXPECT_EQ(decoded->allocatedSize, 5);
    EXPECT_EQ(decoded->folderCount, 1000);
    EXPECT_EQ(decoded->modificationDate, std::nullopt);
    EXPECT_EQ(decodePrivilegedNode(R"({"children":[],"isAggregate":false,"fileCount":0,"folderCount":1,)"
                                   R"("allocatedSize":5,"isDirectory":true,"path":"/r","name":"r"})",
                                   "/r")
                  ->modificationDate,
              std::nullopt);
    EXPECT_EQ(decodePrivilegedNode(reply(std::string(R"("modificationDate":42,)") + std::string(kRest)), "/r")
                  ->modificationDate,
              42.0);
}

TEST(PrivilegedNodeCodec, RefusesMalformedRecords) {
    const std::vector<std::pair<std::string, std::optional<Fault>>> cases = {
        {"", Fault::malformedJSON},
        {reply() + " {}", Fault::malformedJSON},
        {"[" + reply() + "]", Fault::notAnObject},
        {reply(edited("\"children\":[]", "\"children\":[7]")), Fault::notAnObject},
        {reply(kRest, R"("path":"/r",)"), Fault::missingKey},
        {reply(kRest, R"("name":"r",)"), Fault::missingKey},
        {reply(edited("\"isAggregate\":false,", "")), Fault::missingKey},
        {reply(edited(",\"children\":[]", "")), Fault::missingKey},
        {reply(std::string(R"("isDirectory":true,)") + std::string(kRest)), Fault::repeatedKey},
        {reply(std::string(R"("modificationDate":1,"modificationDate":2,)") + std::string(kRest)),
         Fault::repeatedKey},
        {reply(edited("\"isDirectory\":true", "\"isDirectory\":1")), Fault::wrongType},
        {reply(edited("\"allocatedSize\":5", "\"allocatedSize\":\"5\"")), Fault::wrongType},
        {reply(edited("\"fileCount\":0", "\"fileCount\":null")), Fault::wrongType},
        {reply(edited("\"children\":[]", "\"children\":{}")), Fault::wrongType},
        {reply(kRest, R"("name":"r","path":7,)"), Fault::wrongType},
        {reply(std::string(R"("modificationDate":"2020",)") + std::string(kRest)), Fault::wrongType},
        {reply(edited("5", "9223372036854775807")), std::nullopt},
        {reply(edited("5", "9223372036854775808")), Fault::integerOutOfRange},
        {reply(edited("5", "9223372036854775808.0")), Fault::integerOutOfRange},
        {reply(edited("5", "5.5")), Fault::integerOutOfRange},
        {reply(edited("5", "-1")), Fault::negativeCount},
    };
    for (const auto& [bytes, fault] : cases)
        EXPECT_EQ(faultOf(bytes), fault) << bytes;
}

TEST(PrivilegedNodeCodec, RefusesTreesThatCannotBeGrafted) {
    PrivilegedNode onFile = fileRecord("/r", 1);
    onFile.children.push_back(fileRecord("/r/a", 1));
    PrivilegedNode onAggregate = folderRecord("/r", 1, {fileRecord("/r/a", 1)});
    onAggregate.isAggregate = true;
    EXPECT_EQ(faultOf(encodePrivilegedNode(onFile)), Fault::childrenOnLeaf);
    EXPECT_EQ(faultOf(encodePrivilegedNode(onAggregate)), Fault::childrenOnLeaf);

    // The root is the folder asked for (a trailing "/" aside); every other node is its parent's
    // path and one component; an aggregate's path is not looked at.
    EXPECT_EQ(faultOf(encodePrivilegedNode(folderRecord("/r", 0)), "/r/"), std::nullopt);
    EXPECT_EQ(faultOf(encodePrivilegedNode(folderRecord("/r", 0)), "/s"), Fault::pathMismatch);
    EXPECT_EQ(faultOf(encodePrivilegedNode(folderRecord("r", 0)), "r"), Fault::pathMismatch);
    for (const char* bad : {"/s/a", "/r", "/r/", "/r/a/b", "/ra", "/r/.", "/r/..", "/r//a"})
        EXPECT_EQ(faultOf(encodePrivilegedNode(folderRecord("/r", 1, {fileRecord(bad, 1)}))),
                  Fault::pathMismatch)
            << bad;
    EXPECT_EQ(faultOf(encodePrivilegedNode(
                  folderRecord("/r", 1, {folderRecord("/r/b", 1, {fileRecord("/r/a", 1)})}))),
              Fault::pathMismatch);
    EXPECT_EQ(faultOf(encodePrivilegedNode(folderRecord("/", 1, {fileRecord("/a", 1)})), "/"), std::nullopt);
    const PrivilegedNode aggregate{
        .name = "3 more items", .path = "/elsewhere", .fileCount = 3, .isAggregate = true};
    EXPECT_EQ(faultOf(encodePrivilegedNode(aggregate)), std::nullopt);
    EXPECT_EQ(faultOf(encodePrivilegedNode(folderRecord("/r", 0, {aggregate}))), std::nullopt);
}

TEST(PrivilegedNodeCodec, StopsAtTheDepthLimit) {
    // 100,000 levels of records, and of an unknown key's arrays: refused without a crash.
    constexpr int kLevels = 100000;
    std::string deep;
    for (int level = 0; level < kLevels; ++level) {
        std::string opening = reply(edited("[]", "["), level == 0 ? R"("name":"r","path":"/r",)"
                                                                  : R"("name":"d",)"
                                                                    R"("path":"/r/d",)");
        opening.pop_back();
        deep += opening;
    }
    for (int level = 0; level < kLevels; ++level)
        deep += "]}";
    EXPECT_EQ(faultOf(deep), Fault::tooDeep);
    const std::string brackets = std::string(kLevels, '[') + std::string(kLevels, ']');
    EXPECT_EQ(faultOf(reply(std::string(R"("x":)") + brackets + "," + std::string(kRest))), Fault::tooDeep);
}

TEST(PrivilegedScanStatus, MapsTheServiceManagersValues) {
    using Status = PrivilegedScanStatus;
    EXPECT_EQ(Status::fromServiceStatus(0), Status::off());
    EXPECT_EQ(Status::fromServiceStatus(1), Status::on());
    EXPECT_EQ(Status::fromServiceStatus(2), Status::awaitingApproval());
    EXPECT_EQ(Status::fromServiceStatus(3), Status::off());
    for (int64_t raw : {4, 99, -1})
        EXPECT_EQ(Status::fromServiceStatus(raw), Status::failed("Unrecognized helper status.")) << raw;
    EXPECT_NE(Status::failed("boom"), Status::failed("Unrecognized helper status."));
    EXPECT_NE(Status::failed(""), Status::off());
    EXPECT_EQ(Status(), Status::off());
}

} // namespace
} // namespace quillmere

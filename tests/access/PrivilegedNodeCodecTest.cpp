#include "access/AccessTestSupport.hpp"
#include "access/PrivilegedNode.hpp"
#include "access/PrivilegedScanning.hpp"
#include "access/PrivilegedTreeDecoder.hpp"
#include "access/PrivilegedWalkMerge.hpp"

#include <gtest/gtest.h>
#include <limits>

namespace quillmere {
namespace {

using testing::fileRecord;
using testing::folderRecord;
using Fault = PrivilegedNodeFault;
constexpr int64_t kMax = std::numeric_limits<int64_t>::max();

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

// The reply one byte at a time: every token crosses pieces.
class ByteByByte final : public PrivilegedReplySource {
public:
    explicit ByteByByte(std::string_view bytes) : bytes_(bytes) {}
    std::string_view next() override {
        const std::string_view piece = bytes_.substr(0, 1);
        bytes_.remove_prefix(piece.size());
        return piece;
    }

private:
    std::string_view bytes_;
};

// The fault of a reply; the records' decoder and the tree's, read whole or a byte at a time,
// must agree on it.
std::optional<Fault> faultOf(std::string_view bytes, std::string_view asked = "/r", int64_t maxBytes = kMax) {
    const auto decoded = decodePrivilegedNode(bytes, asked);
    const auto records =
        decoded ? privilegedTreeFault(*decoded, asked, maxBytes) : std::optional(decoded.error());
    const PrivilegedReplyBounds bounds{std::string(asked), maxBytes};
    const auto tree = decodePrivilegedTree(bytes, bounds);
    ByteByByte pieces(bytes);
    const auto piecewise = decodePrivilegedTree(pieces, bounds);
    // A reply with several faults may be refused for another of them first.
    EXPECT_EQ(tree.has_value(), !records) << bytes.substr(0, 300);
    EXPECT_EQ(piecewise.has_value(), !records) << bytes.substr(0, 300);
    return records;
}

// Counts that cover every node's children, as a helper sends them.
void countChildren(PrivilegedNode& root) {
    std::vector<std::pair<PrivilegedNode*, bool>> stack{{&root, false}};
    while (!stack.empty()) {
        PrivilegedNode* node = stack.back().first;
        if (!stack.back().second) {
            stack.back().second = true;
            for (PrivilegedNode& child : node->children)
                stack.emplace_back(&child, false);
            continue;
        }
        if (node->isDirectory && !node->isAggregate) {
            node->folderCount = 1;
            node->fileCount = 0;
            for (const PrivilegedNode& child : node->children) {
                node->folderCount += child.folderCount;
                node->fileCount += child.fileCount;
            }
        }
        stack.pop_back();
    }
}

// Every field of both trees, and their children in order, without recursion.
void expectSameTree(const FileNode& actual, const FileNode& expected) {
    std::vector<std::pair<const FileNode*, const FileNode*>> pending{{&actual, &expected}};
    while (!pending.empty()) {
        const auto [a, e] = pending.back();
        pending.pop_back();
        ASSERT_EQ(a->path(), e->path());
        EXPECT_EQ(a->name(), e->name()) << e->path();
        EXPECT_EQ(a->fields(), e->fields()) << e->path();
        ASSERT_EQ(a->children().size(), e->children().size()) << e->path();
        for (size_t i = 0; i < e->children().size(); ++i)
            pending.emplace_back(&a->children()[i], &e->children()[i]);
    }
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
    // As deep as a reply may be, written and read without recursion.
    PrivilegedNode* tip = &node.children[1];
    for (size_t level = 3; level <= kPrivilegedNodeMaxDepth; ++level)
        tip = &tip->children.emplace_back(folderRecord(tip->path + "/d", 0));
    // The largest size there is; the siblings' sizes leave the sum within 64 bits.
    node.children[0].allocatedSize = kMax;
    node.children[1].allocatedSize = 0;
    countChildren(node);
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

// Totals that do not add up would show bytes no disk holds or count items twice: the whole
// reply is refused, whoever reads it.
TEST(PrivilegedNodeCodec, RefusesTotalsThatDoNotAddUpAndRepeatedNames) {
    const auto folder = [](std::vector<PrivilegedNode> children) {
        PrivilegedNode node = folderRecord("/r", 10, std::move(children));
        return node;
    };
    EXPECT_EQ(faultOf(encodePrivilegedNode(folder({fileRecord("/r/a", 4), fileRecord("/r/b", 6)}))),
              std::nullopt);
    // Sizes are the helper's: a folder may leave children out, and leave out what is counted
    // under another path.
    EXPECT_EQ(faultOf(encodePrivilegedNode(folder({fileRecord("/r/a", 400)}))), std::nullopt);

    PrivilegedNode overflowing = folder({fileRecord("/r/a", kMax), fileRecord("/r/b", 1)});
    EXPECT_EQ(faultOf(encodePrivilegedNode(overflowing)), Fault::totalsMismatch);
    PrivilegedNode fewFiles = folder({fileRecord("/r/a", 1), fileRecord("/r/b", 1)});
    fewFiles.fileCount = 1;
    EXPECT_EQ(faultOf(encodePrivilegedNode(fewFiles)), Fault::totalsMismatch);
    PrivilegedNode fewFolders = folder({folderRecord("/r/a", 1)});
    fewFolders.folderCount = 1;
    EXPECT_EQ(faultOf(encodePrivilegedNode(fewFolders)), Fault::totalsMismatch);
    PrivilegedNode twoFiles = fileRecord("/r/a", 1);
    twoFiles.fileCount = 2;
    EXPECT_EQ(faultOf(encodePrivilegedNode(folder({twoFiles}))), Fault::totalsMismatch);
    PrivilegedNode fileAsFolder = fileRecord("/r/a", 1);
    fileAsFolder.folderCount = 1;
    EXPECT_EQ(faultOf(encodePrivilegedNode(folder({fileAsFolder}))), Fault::totalsMismatch);

    EXPECT_EQ(faultOf(encodePrivilegedNode(folder({fileRecord("/r/a", 1), folderRecord("/r/a", 1)}))),
              Fault::duplicateName);
    const PrivilegedNode aggregate{.name = "1 more item", .fileCount = 1, .isAggregate = true};
    EXPECT_EQ(faultOf(encodePrivilegedNode(folder({aggregate, aggregate}))), Fault::duplicateName);
    EXPECT_EQ(faultOf(encodePrivilegedNode(folder({aggregate, fileRecord("/r/a", 1)}))), std::nullopt);

    // No size beyond the volume the folder lies on, at any depth.
    const std::string nested =
        encodePrivilegedNode(folder({folderRecord("/r/d", 5000, {fileRecord("/r/d/x", 5000)})}));
    EXPECT_EQ(faultOf(nested, "/r", 5000), std::nullopt);
    EXPECT_EQ(faultOf(nested, "/r", 4999), Fault::implausibleSize);
}

// Decoding straight into the tree gives exactly the tree the records convert to, whatever the
// key order and however the bytes are cut.
TEST(PrivilegedNodeCodec, DecodingIntoTheTreeGivesWhatTheRecordsGive) {
    PrivilegedNode root =
        folderRecord("/srv/w", 9000,
                     {fileRecord("/srv/w/a", 4096),
                      folderRecord("/srv/w/sub", 100, {fileRecord("/srv/w/sub/\u00e9 \"q\"", 7)}),
                      PrivilegedNode{.name = "3 more items",
                                     .path = "ignored",
                                     .folderCount = 1,
                                     .fileCount = 2,
                                     .isAggregate = true}});
    root.children[0].name = "shown otherwise"; // a name that is not its path's last component
    root.children[0].modificationDate = -1.25e8;
    root.children[1].modificationDate = 7.5e8;
    root.children[1].children[0].name = "caf\xc3\xa9";
    root.children[1].children[0].path = "/srv/w/sub/caf\xc3\xa9";
    PrivilegedNode* tip = &root.children[1];
    for (int level = 0; level < 200; ++level)
        tip = &tip->children.emplace_back(folderRecord(tip->path + "/d", 0));
    countChildren(root);
    const std::string text = encodePrivilegedNode(root);
    const FileNode expected = fileNodeFromPrivileged(root, "/srv");
    const PrivilegedReplyBounds bounds{"/srv/w"};
    const auto whole = decodePrivilegedTree(text, bounds);
    ASSERT_TRUE(whole) << static_cast<int>(whole.error());
    expectSameTree(*whole, expected);
    EXPECT_EQ(whole->children()[1].children()[0].path(), "/srv/w/sub/caf\xc3\xa9");
    EXPECT_TRUE(whole->children()[1].children()[0].ownFolderPath().isNull() ||
                whole->children()[1].children()[0].componentBelow(whole->children()[1]))
        << "a file is placed in its folder's path, not given one of its own";
    ByteByByte pieces(text);
    const auto piecewise = decodePrivilegedTree(pieces, bounds);
    ASSERT_TRUE(piecewise);
    expectSameTree(*piecewise, expected);

    // Children before the folder says where it lies: read as records, converted the same.
    const std::string late =
        R"({"children":[{"name":"f","path":"/srv/w/f","isDirectory":false,"allocatedSize":1,)"
        R"("folderCount":0,"fileCount":1,"isAggregate":false,"children":[]}],"name":"w",)"
        R"("path":"/srv/w","isDirectory":true,"allocatedSize":1,"folderCount":1,"fileCount":1,)"
        R"("isAggregate":false})";
    const auto reordered = decodePrivilegedTree(late, bounds);
    ASSERT_TRUE(reordered);
    expectSameTree(*reordered, fileNodeFromPrivileged(*decodePrivilegedNode(late, "/srv/w"), "/srv"));

    // An aggregate sent for the folder is named after the folder's parent.
    const PrivilegedNode aggregate{
        .name = "4 more items", .path = "/srv/w", .fileCount = 4, .isAggregate = true};
    const auto folded = decodePrivilegedTree(encodePrivilegedNode(aggregate), bounds);
    ASSERT_TRUE(folded);
    EXPECT_EQ(folded->path(), "/srv/.quillmere-aggregate-4");
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

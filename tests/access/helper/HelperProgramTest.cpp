// quillmere-helper as a real process: its replies against the engine's own scan, what it
// declines, how it binds, how it is started by systemd, and how it treats a bad client.
#include "access/HelperWire.hpp"
#include "access/PrivilegedScanClient.hpp"
#include "access/PrivilegedWalkMerge.hpp"
#include "access/helper/HelperRecord.hpp"
#include "access/helper/HelperServer.hpp"
#include "scan/DiskScanner.hpp"
#include "scan/ScanTestSupport.hpp"
#include "support/HelperProcess.hpp"

#include <filesystem>
#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

namespace quillmere::testing {
namespace {

namespace fs = std::filesystem;

// Every field of both trees, and their children in order; the roots' names aside.
void expectSameTree(const FileNode& actual, const FileNode& expected, bool isRoot = true) {
    SCOPED_TRACE(expected.path());
    if (!isRoot) {
        EXPECT_EQ(actual.name(), expected.name());
    }
    EXPECT_EQ(actual.path(), expected.path());
    EXPECT_EQ(actual.isDirectory(), expected.isDirectory());
    EXPECT_EQ(actual.allocatedSize(), expected.allocatedSize());
    EXPECT_EQ(actual.isAggregate(), expected.isAggregate());
    EXPECT_EQ(actual.folderCount(), expected.folderCount());
    EXPECT_EQ(actual.fileCount(), expected.fileCount());
    ASSERT_EQ(actual.modificationDate().has_value(), expected.modificationDate().has_value());
    if (expected.modificationDate()) {
        EXPECT_NEAR(*actual.modificationDate(), *expected.modificationDate(), 1e-5);
    }
    ASSERT_EQ(actual.children().size(), expected.children().size());
    // The engine's concurrent walkers finish siblings in any order: match them by path.
    for (const FileNode& child : expected.children()) {
        const auto same = std::find_if(actual.children().begin(), actual.children().end(),
                                       [&](const FileNode& other) { return other.path() == child.path(); });
        ASSERT_NE(same, actual.children().end()) << child.path();
        expectSameTree(*same, child, false);
    }
}

class HelperProgramTest : public ::testing::Test {
protected:
    void SetUp() override {
        fixture = folder.path() + "/fixture";
        writeFile(fixture + "/Library/Caches/big.bin", 300'000);
        writeFile(fixture + "/Documents/report.txt", 9000);
        for (int i = 0; i < 40; ++i)
            writeFile(fixture + "/Documents/old/note" + std::to_string(i), 10);
        service.setRawStatus(1);
    }

    void startHelper() {
        helper = std::make_unique<HelperProcess>(
            std::vector<std::string>{helperProgram(), "--socket", socket, "--socket-mode", "0600"});
        ASSERT_TRUE(helper->awaitReady());
    }

    TemporaryFolder folder;
    std::string fixture;
    std::string socket = folder.path() + "/helper.sock";
    FakeHelperServiceManager service;
    CapturedPrivilegedScanLog log{true};
    std::unique_ptr<HelperProcess> helper;
    PrivilegedScanClient client{service, log, {socket, ::getuid(), std::chrono::seconds(30)}};
};

TEST_F(HelperProgramTest, TheReplyForAFolderConvertedEqualsTheEnginesOwnScan) {
    startHelper();
    const auto walk = client.walkSubtree(fixture);
    ASSERT_TRUE(walk.tree);
    EXPECT_EQ(walk.tree->name(), "fixture");
    const auto own = DiskScanner().scanToEnd(fixture, true, "");
    ASSERT_TRUE(own);
    expectSameTree(*walk.tree, own->root);
    EXPECT_TRUE(log.lines().empty());
}

TEST_F(HelperProgramTest, ItDeclinesWhatIsNotAPlainFolderAndSaysWhy) {
    fs::create_directory_symlink(fixture + "/Documents", fixture + "/linked");
    startHelper();
    const std::vector<std::pair<std::string, std::string>> cases{
        {"relative/path", "The path is not absolute."},
        {fixture + "/Documents/..", "The path contains \".\" or \"..\"."},
        {fixture + "/./Documents", "The path contains \".\" or \"..\"."},
        {fixture + "/linked", "The path is a symbolic link."},
        {fixture + "/linked/old", "The path passes through a symbolic link."},
        {fixture + "/Documents/report.txt", "The path is not a folder."},
    };
    for (const auto& [path, reason] : cases) {
        EXPECT_FALSE(client.walkSubtree(path).hasTree()) << path;
        EXPECT_EQ(log.lines().back(), (LogLine{LogLevel::notice, "Helper declined " + path + ": " + reason}));
    }
    EXPECT_TRUE(client.walkSubtree(fixture + "/Documents").hasTree())
        << "the connection outlives its declines";
}

TEST_F(HelperProgramTest, NamesThatAreNotUtf8FoldIntoTheirFoldersAggregate) {
    writeFile(fixture + "/Documents/bad\xff"
                        "name",
              50'000);
    writeFile(fixture + "/Documents/dir\xfe/inner", 20'000);
    const auto own = DiskScanner().scanToEnd(fixture, true, "");
    ASSERT_TRUE(own);
    std::string text;
    size_t longest = 0;
    auto keep = [&](std::string_view piece) {
        text.append(piece);
        longest = std::max(longest, piece.size());
        return true;
    };
    ASSERT_TRUE(writeScannedTree(own->root, 100, keep));
    EXPECT_EQ(longest, 100u) << "pieces are never longer than asked: the wire's chunks have a limit";
    const auto decoded = decodePrivilegedNode(text, fixture);
    ASSERT_TRUE(decoded) << static_cast<int>(decoded.error());
    const PrivilegedNode& record = *decoded;
    const auto& documents = *std::find_if(record.children.begin(), record.children.end(),
                                          [](const PrivilegedNode& n) { return n.name == "Documents"; });
    int64_t childSum = 0;
    const PrivilegedNode* aggregate = nullptr;
    for (const auto& child : documents.children) {
        EXPECT_TRUE(child.name.find('\xff') == std::string::npos &&
                    child.name.find('\xfe') == std::string::npos);
        childSum += child.allocatedSize;
        if (child.isAggregate) aggregate = &child;
    }
    ASSERT_NE(aggregate, nullptr);
    EXPECT_EQ(childSum, documents.allocatedSize) << "nothing is lost by the fold";
    EXPECT_GE(aggregate->fileCount, 2);
    EXPECT_GE(aggregate->folderCount, 1);
}

TEST_F(HelperProgramTest, BindingRefusesAPathThatIsNotASocketAndLeavesItAlone) {
    writeFile(socket, 5);
    HelperProcess refused({helperProgram(), "--socket", socket});
    EXPECT_EQ(refused.awaitExit(std::chrono::seconds(10)), 1);
    EXPECT_EQ(fs::file_size(socket), 5u);

    const std::string link = folder.path() + "/link.sock";
    fs::create_symlink(folder.path() + "/target.sock", link);
    HelperProcess refusedLink({helperProgram(), "--socket", link});
    EXPECT_EQ(refusedLink.awaitExit(std::chrono::seconds(10)), 1);
    EXPECT_TRUE(fs::is_symlink(link));
    EXPECT_FALSE(fs::exists(folder.path() + "/target.sock"));
}

TEST_F(HelperProgramTest, TheSocketIsBornWithItsMode) {
    const std::string shared = folder.path() + "/shared.sock";
    HelperProcess open({helperProgram(), "--socket", shared, "--socket-mode", "0666"});
    ASSERT_TRUE(open.awaitReady());
    struct stat info {};
    ASSERT_EQ(::lstat(shared.c_str(), &info), 0);
    EXPECT_TRUE(S_ISSOCK(info.st_mode));
    EXPECT_EQ(info.st_mode & 0777, 0666u);
}

TEST_F(HelperProgramTest, ABadRequestClosesItsConnection) {
    startHelper();
    const auto connect = [&] {
        platform::Fd fd(::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0));
        sockaddr_un address{.sun_family = AF_UNIX};
        std::copy(socket.begin(), socket.end(), address.sun_path);
        EXPECT_EQ(::connect(fd.get(), reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
        return fd;
    };
    for (const std::string& request :
         {std::string(R"({"id":0,"selector":"pingWithReply:"})"),
          std::string(R"({"id":1,"selector":"nope"})"),
          std::string(R"({"id":1,"selector":"walkSubtreeAtPath:reply:","path":7})"), std::string("[1,2]")}) {
        auto fd = connect();
        ASSERT_TRUE(sendAll(fd.get(), framed(request)));
        EXPECT_EQ(readFrame(fd.get(), kHelperReplyLimit, monotonicMs() + 10'000).error(), FrameFault::closed)
            << request;
    }
    // A header past the request limit is refused before any of its bytes are read.
    auto oversized = connect();
    ASSERT_TRUE(sendAll(oversized.get(), std::string("\x00\x01\x00\x01", 4)));
    EXPECT_EQ(readFrame(oversized.get(), kHelperReplyLimit, monotonicMs() + 10'000).error(),
              FrameFault::closed);

    auto fine = connect();
    ASSERT_TRUE(sendAll(fine.get(), framed(R"({"id":4,"selector":"pingWithReply:"})")));
    const auto pong = readFrame(fine.get(), kHelperReplyLimit, monotonicMs() + 10'000);
    ASSERT_TRUE(pong);
    EXPECT_EQ(*pong, R"({"id":4,"text":"quillmere-helper 1"})");
}

TEST_F(HelperProgramTest, ItServesTheSocketSystemdPasses) {
    auto listener = listenAtPath(socket, 0600);
    ASSERT_TRUE(listener);
    // LISTEN_PID must name the helper itself, which only a shell that execs it knows.
    HelperProcess activated({"/bin/sh", "-c", "LISTEN_PID=$$ LISTEN_FDS=1 exec \"$0\"", helperProgram()},
                            listener->get());
    ASSERT_TRUE(activated.awaitReady());
    listener->reset();
    EXPECT_TRUE(client.walkSubtree(fixture).hasTree());

    HelperProcess unactivated({"/bin/sh", "-c", "LISTEN_PID=1 LISTEN_FDS=1 exec \"$0\"", helperProgram()});
    EXPECT_EQ(unactivated.awaitExit(std::chrono::seconds(10)), 1) << "another process's sockets are not ours";
}

// A folder holding denied folders beside a readable one, merged through the real helper,
// equals the helper's own scan of the whole folder node for node: big denied folders stand
// on their own, small ones fold with the folder's other small items, deeper ones too.
TEST_F(HelperProgramTest, AMergedFolderWithDeniedSubfoldersEqualsTheHelpersOwnScan) {
    startHelper();
    const std::string tree = folder.path() + "/people";
    writeFile(tree + "/open/big.bin", 256 * 1024);
    writeFile(tree + "/open/more.bin", 10 << 20);
    for (int i = 0; i < 5; ++i)
        writeFile(tree + "/small" + std::to_string(i), 100);
    writeFile(tree + "/bob/work/big.bin", 3 << 20); // stands on its own
    writeFile(tree + "/cat/note", 2000);            // folds with the small files
    writeFile(tree + "/dan/.keep", 0);
    writeFile(tree + "/tiny/eve/note", 3000); // denied below a small readable folder
    writeFile(tree + "/tiny/own", 10);
    FakeHost user;
    user.openError = {{"bob", EACCES}, {"cat", EACCES}, {"dan", EACCES}, {"eve", EACCES}};
    std::optional<DiskScanResult> scanned = DiskScanner(200, user).scanToEnd(tree, true, "/nonexistent-home");
    ASSERT_TRUE(scanned);
    ASSERT_EQ(scanned->deniedPaths.size(), 4u);
    // Nothing denied was folded away, so every walked tree finds its place.
    for (const char* path : {"/bob", "/cat", "/dan", "/tiny/eve"})
        EXPECT_TRUE(scanned->root.find(tree + path)) << path;

    const DiskScanResult merged = augmentScanResult(std::move(*scanned), client, "/nonexistent-home");
    const auto own = DiskScanner().scanToEnd(tree, true, "/nonexistent-home");
    ASSERT_TRUE(own);
    EXPECT_TRUE(merged.deniedPaths.empty());
    expectSameTree(merged.root, own->root);
}

// As a new user would: the helper runs as root with an open socket, and the development
// tool, run as nobody, is denied a root-only folder but merges it through the helper.
TEST_F(HelperProgramTest, NobodyMergesARootOnlyFolderThroughTheHelper) {
    if (::geteuid() != 0 || ::access("/usr/bin/setpriv", X_OK) != 0) GTEST_SKIP() << "needs root and setpriv";
    fs::permissions(folder.path(), fs::perms(0755));
    fs::permissions(fixture + "/Library", fs::perms(0700));
    const std::string open = folder.path() + "/open.sock";
    HelperProcess root({helperProgram(), "--socket", open, "--socket-mode", "0666"});
    ASSERT_TRUE(root.awaitReady());

    const auto run = [](const std::string& command) {
        std::string out;
        FILE* pipe = ::popen(command.c_str(), "r");
        char buffer[512];
        while (pipe != nullptr && std::fgets(buffer, sizeof buffer, pipe) != nullptr)
            out += buffer;
        if (pipe != nullptr) ::pclose(pipe);
        return out;
    };
    const std::string tool = QUILLMERE_PRIVILEGED_SCAN_TOOL;
    const std::string asRoot = run(tool + " " + fixture);
    const std::string asNobody = run("/usr/bin/setpriv --reuid=nobody --regid=nogroup --clear-groups " +
                                     tool + " " + fixture + " " + open + " 0");
    ASSERT_NE(asNobody.find("denied 1"), std::string::npos) << asNobody;
    const std::string rootTotals =
        asRoot.substr(asRoot.find("size"), asRoot.find(", denied") - asRoot.find("size"));
    EXPECT_NE(asNobody.find("merged: " + rootTotals + ", denied 0"), std::string::npos)
        << "as root: " << asRoot << "as nobody: " << asNobody;

    // Two root-only folders beside a readable one: the merge counts each folder once.
    const std::string people = folder.path() + "/people";
    writeFile(people + "/open/data.bin", 256 * 1024);
    for (const char* secret : {"/one", "/two"}) {
        writeFile(people + secret + "/inside", 100);
        fs::permissions(people + secret, fs::perms(0700));
    }
    const std::string peopleAsRoot = run(tool + " " + people);
    const std::string peopleAsNobody = run("/usr/bin/setpriv --reuid=nobody --regid=nogroup --clear-groups " +
                                           tool + " " + people + " " + open + " 0");
    ASSERT_NE(peopleAsNobody.find("denied 2"), std::string::npos) << peopleAsNobody;
    const std::string peopleTotals = peopleAsRoot.substr(
        peopleAsRoot.find("size"), peopleAsRoot.find(", denied") - peopleAsRoot.find("size"));
    EXPECT_NE(peopleTotals.find("folders 4,"), std::string::npos) << peopleAsRoot;
    EXPECT_NE(peopleAsNobody.find("merged: " + peopleTotals + ", denied 0"), std::string::npos)
        << "as root: " << peopleAsRoot << "as nobody: " << peopleAsNobody;
}

} // namespace
} // namespace quillmere::testing

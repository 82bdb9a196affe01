#include "ui/FileViewer.hpp"

#include "support/PrivateBus.hpp"

#include <QDBusMessage>
#include <QDBusVirtualObject>
#include <QDir>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace quillmere::platform {
namespace {

// A file manager that only records what it was asked to show.
class FakeFileManager : public QDBusVirtualObject {
public:
    QList<QStringList> shown;
    QStringList startupIds;

    QString introspect(const QString&) const override { return {}; }
    bool handleMessage(const QDBusMessage& message, const QDBusConnection& connection) override {
        if (message.interface() != "org.freedesktop.FileManager1" || message.member() != "ShowItems")
            return false;
        shown << message.arguments().value(0).toStringList();
        startupIds << message.arguments().value(1).toString();
        return connection.send(message.createReply());
    }
};

class FileViewerTest : public quillmere::test::PrivateBus {
protected:
    bool revealAndWait(FileViewer& viewer, const std::string& path) {
        QSignalSpy finished(&viewer, &FileViewer::revealFinished);
        viewer.reveal(path);
        if (finished.isEmpty()) {
            EXPECT_TRUE(finished.wait(30000));
        }
        return !finished.isEmpty() && finished.first().first().toBool();
    }

    QStringList opened;
    FileViewer::FolderOpener opener() {
        return [this](const QString& directory) { opened << directory; };
    }
};

TEST_F(FileViewerTest, SendsTheFileManagerExactlyTheEncodedUriOfTheItem) {
    QDBusConnection service = connect("file-manager");
    FakeFileManager fake;
    ASSERT_TRUE(service.registerVirtualObject("/org/freedesktop/FileManager1", &fake));
    ASSERT_TRUE(service.registerService("org.freedesktop.FileManager1"));
    FileViewer viewer(connect("app"), opener());

    EXPECT_TRUE(revealAndWait(viewer, "/home/ann/My Files/Über #1?.txt"));
    ASSERT_EQ(fake.shown.size(), 1);
    EXPECT_EQ(fake.shown[0], QStringList{"file:///home/ann/My%20Files/%C3%9Cber%20%231%3F.txt"});
    EXPECT_EQ(fake.startupIds[0], "");
    // A name that is not UTF-8 keeps its bytes.
    EXPECT_TRUE(revealAndWait(viewer, std::string("/tmp/caf\xe9%")));
    EXPECT_EQ(fake.shown[1], QStringList{"file:///tmp/caf%E9%25"});
    // Several items go in one request, in order.
    QSignalSpy finished(&viewer, &FileViewer::revealFinished);
    viewer.reveal(std::vector<std::string>{"/a/one", "/b/two"});
    ASSERT_TRUE(finished.wait(30000));
    ASSERT_EQ(fake.shown.size(), 3);
    EXPECT_EQ(fake.shown[2], (QStringList{"file:///a/one", "file:///b/two"}));
    EXPECT_TRUE(opened.isEmpty());
}

TEST_F(FileViewerTest, WithoutAFileManagerOpensTheParentFolderOnlyWhenItIsADirectory) {
    QTemporaryDir dir;
    ASSERT_TRUE(QDir(dir.path()).mkdir("sub"));
    FileViewer viewer(connect("app"), opener());

    EXPECT_FALSE(revealAndWait(viewer, (dir.path() + "/sub/gone.txt").toStdString()));
    EXPECT_EQ(opened, QStringList{dir.path() + "/sub"});
    // The parent is missing, or a file: nothing is opened.
    EXPECT_FALSE(revealAndWait(viewer, (dir.path() + "/missing/x").toStdString()));
    QFile file(dir.path() + "/plain");
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    EXPECT_FALSE(revealAndWait(viewer, (dir.path() + "/plain/x").toStdString()));
    EXPECT_EQ(opened.size(), 1);

    // No bus at all: the same fallback, at once.
    FileViewer unconnected(QDBusConnection("no such connection"), opener());
    EXPECT_FALSE(revealAndWait(unconnected, (dir.path() + "/sub/x").toStdString()));
    EXPECT_EQ(opened.size(), 2);
    // Several items open each existing parent folder once.
    unconnected.reveal(std::vector<std::string>{(dir.path() + "/sub/x").toStdString(),
                                                (dir.path() + "/sub/y").toStdString(),
                                                (dir.path() + "/z").toStdString()});
    EXPECT_EQ(opened.mid(2), (QStringList{dir.path() + "/sub", dir.path()}));
}

} // namespace
} // namespace quillmere::platform

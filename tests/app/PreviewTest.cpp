#include "app/PreviewLoader.hpp"
#include "app/PreviewWindow.hpp"
#include "app/state/ScanState.hpp"
#include "ui/BackgroundWork.hpp"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QImage>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <sys/stat.h>

namespace quillmere {
namespace {

class PreviewTest : public ::testing::Test {
protected:
    QTemporaryDir dir;
    std::string path(const char* name) const { return dir.filePath(name).toStdString(); }
    void write(const char* name, const QByteArray& data) {
        QFile file(dir.filePath(name));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(data);
    }
};

TEST_F(PreviewTest, ReadsImagesScaledAndTheStartOfTextFiles) {
    QImage big(3000, 1000, QImage::Format_RGB32);
    big.fill(Qt::red);
    ASSERT_TRUE(big.save(dir.filePath("wide.png")));
    const PreviewContent image = loadPreview(path("wide.png"), {.maxImageSide = 600});
    ASSERT_EQ(image.kind, PreviewContent::Kind::image);
    EXPECT_EQ(image.image.size(), QSize(600, 200));
    EXPECT_EQ(loadPreview(path("wide.png"), {.maxImagePixels = 1000}).kind, PreviewContent::Kind::details);

    write("notes.txt", QByteArray(100'000, 'a'));
    const PreviewContent text = loadPreview(path("notes.txt"), {.maxTextBytes = 1000});
    ASSERT_EQ(text.kind, PreviewContent::Kind::text);
    EXPECT_EQ(text.text.size(), 1000);

    write("blob.bin", QByteArray("\x00\x01\x02\xff", 4));
    const PreviewContent other = loadPreview(path("blob.bin"));
    EXPECT_EQ(other.kind, PreviewContent::Kind::details);
    EXPECT_EQ(other.size, 4);
    EXPECT_FALSE(other.isDirectory);
    // A type nobody names is a "File", as the inspector says; named types are capitalised.
    EXPECT_EQ(other.kindDescription, "File");
    EXPECT_EQ(itemTypeDescription(path("blob.bin")), "File");
    EXPECT_EQ(itemTypeDescription(path("notes.txt")), "Plain text document");
    // A link is described, never followed.
    ASSERT_EQ(::symlink(dir.filePath("notes.txt").toUtf8().constData(), path("link").c_str()), 0);
    EXPECT_EQ(loadPreview(path("link")).kind, PreviewContent::Kind::details);
}

TEST_F(PreviewTest, FoldersFifosAndMissingItemsAreDescribedAtOnce) {
    const PreviewContent folder = loadPreview(dir.path().toStdString());
    EXPECT_EQ(folder.kind, PreviewContent::Kind::details);
    EXPECT_TRUE(folder.isDirectory);
    EXPECT_EQ(folder.kindDescription, "Folder");
    EXPECT_EQ(itemTypeDescription(dir.path().toStdString()), "Folder");
    EXPECT_FALSE(folder.size.has_value());
    EXPECT_TRUE(folder.modified.has_value());

    // Opening a FIFO without a writer would wait for ever; the preview must not.
    ASSERT_EQ(::mkfifo(path("pipe").c_str(), 0600), 0);
    QElapsedTimer timer;
    timer.start();
    const PreviewContent fifo = loadPreview(path("pipe"));
    EXPECT_EQ(fifo.kind, PreviewContent::Kind::details);
    EXPECT_LT(timer.elapsed(), 5000);

    // The inspector's kind of such items comes from the same metadata, also at once.
    EXPECT_FALSE(itemTypeDescription(path("pipe")).isEmpty());
    EXPECT_EQ(itemTypeDescription(path("gone")), "");

    const PreviewContent gone = loadPreview(path("gone"));
    EXPECT_EQ(gone.kind, PreviewContent::Kind::missing);
    EXPECT_EQ(gone.sentence, "This item is no longer where the scan found it.");
}

TEST_F(PreviewTest, TheWindowShowsTheNewestItemUnderItsTitle) {
    write("a.txt", "first");
    write("b.txt", "second");
    PreviewWindow window;
    views::QuickLookCoordinator coordinator([&] { return &window; });
    QSignalSpy shown(&window, &PreviewWindow::contentShown);
    coordinator.preview(path("a.txt"), "a.txt");
    coordinator.preview(path("b.txt"), "b.txt");
    EXPECT_EQ(window.windowTitle(), "b.txt");
    EXPECT_TRUE(window.isVisible());
    EXPECT_FALSE(window.isModal());
    ASSERT_TRUE(shown.wait(30000));
    // Only the newer item arrives, whichever read finished first: both reads have ended and
    // handed over what they read by the time the pool is idle.
    ASSERT_TRUE(waitForBackgroundWork(30000));
    ASSERT_TRUE(ScanState::waitForSnapshotWork(30000));
    QCoreApplication::sendPostedEvents();
    EXPECT_EQ(shown.size(), 1);
    ASSERT_TRUE(window.content().has_value());
    EXPECT_EQ(window.content()->text, "second");
}

} // namespace
} // namespace quillmere

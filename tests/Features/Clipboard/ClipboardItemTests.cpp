#include "ClipboardTestSupport.h"

#include "Source/Features/Clipboard/ClipboardContent.h"
#include "Source/Features/Clipboard/ClipboardFullImageCache.h"
#include "Source/Features/Clipboard/ClipboardImageReference.h"
#include "Source/Features/Clipboard/ClipboardItem.h"
#include "Source/Features/Clipboard/ClipboardPreviewImageCache.h"
#include "Source/Features/Clipboard/ClipboardThumbnailCache.h"

#include <QSet>

using namespace ClipboardTest;

namespace {

QString repeated(const QString& unit, int times) {
    QString s;
    for (int i = 0; i < times; ++i) s += unit;
    return s;
}

ClipboardImageReference storedImage(const QString& folder, const QString& name, int width, int height) {
    const QByteArray png = pngBytes(width, height);
    const QString path = folder + "/" + name;
    EXPECT_TRUE(writeFile(path, png));
    return ClipboardImageReference{path, QSizeF(width, height), sha256(png)};
}

}  // namespace

TEST(ClipboardContentPreview, TrimsJoinsLinesAndCutsAfterEightyCharacters) {
    const QString eighty = repeated("a", 80);
    EXPECT_EQ(ClipboardContent::text(eighty).preview(), eighty);
    EXPECT_EQ(ClipboardContent::text(eighty + "b").preview(), eighty + QChar(0x2026));
    EXPECT_EQ(ClipboardContent::text(eighty + "   \n ").preview(), eighty);
    EXPECT_EQ(ClipboardContent::text("  \n\t \r\n ").preview(), "");
    EXPECT_EQ(ClipboardContent::text("one\ntwo").preview(), "one two");
    EXPECT_EQ(ClipboardContent::text("one\r\ntwo").preview(), "one\r two");
    EXPECT_EQ(ClipboardContent::text("  x\ty  ").preview(), "x\ty");
}

TEST(ClipboardContentPreview, NeverCutsInsideAUserPerceivedCharacter) {
    // A family emoji is one character of seven code points (eleven UTF-16 units).
    const QString family = QString::fromUtf8("\xF0\x9F\x91\xA8\xE2\x80\x8D\xF0\x9F\x91\xA9\xE2\x80\x8D\xF0\x9F\x91\xA7\xE2\x80\x8D\xF0\x9F\x91\xA6");
    EXPECT_EQ(ClipboardContent::text(repeated(family, 80)).preview(), repeated(family, 80));
    EXPECT_EQ(ClipboardContent::text(repeated(family, 81)).preview(), repeated(family, 80) + QChar(0x2026));
    const QString accented = QString("e") + QChar(0x0301);  // e + combining acute
    EXPECT_EQ(ClipboardContent::text(repeated(accented, 81)).preview(), repeated(accented, 80) + QChar(0x2026));
}

TEST(ClipboardContentPreview, ImagesAndFilesHaveTheirLabelsAndSearchTexts) {
    const ClipboardContent image = ClipboardContent::image({"/x/a.png", QSizeF(1920, 1080), QString(64, 'a')});
    EXPECT_EQ(image.preview(), "[Image]");
    EXPECT_EQ(image.searchText(), QString("1920 ") + QChar(0x00D7) + " 1080");
    const ClipboardContent fractional = ClipboardContent::image({"/x/a.png", QSizeF(10.9, 3.2), QString(64, 'a')});
    EXPECT_EQ(fractional.searchText(), QString("10 ") + QChar(0x00D7) + " 3");

    const ClipboardContent files =
        ClipboardContent::files({QUrl::fromLocalFile("/home/u/a/x.txt"), QUrl::fromLocalFile("/home/u/b/y")});
    EXPECT_EQ(files.preview(), "x.txt, y");
    EXPECT_EQ(files.searchText(), "/home/u/a/x.txt /home/u/b/y");

    const QString text = "  keep\nall of it  ";
    EXPECT_EQ(ClipboardContent::text(text).searchText(), text);
}

TEST(ClipboardContentEquality, FollowsContentNotIdentity) {
    const QString fp(64, 'c');
    EXPECT_EQ(ClipboardContent::image({"/one.png", QSizeF(4, 3), fp}), ClipboardContent::image({"/two.png", QSizeF(4, 3), fp}));
    EXPECT_NE(ClipboardContent::image({"/one.png", QSizeF(4, 3), fp}), ClipboardContent::image({"/one.png", QSizeF(3, 4), fp}));
    EXPECT_NE(ClipboardContent::image({"/one.png", QSizeF(4, 3), fp}),
              ClipboardContent::image({"/one.png", QSizeF(4, 3), QString(64, 'd')}));

    // Canonically equivalent texts are equal; different texts are not.
    const QString composed = QString("caf") + QChar(0x00E9);
    const QString decomposed = QString("cafe") + QChar(0x0301);
    EXPECT_EQ(ClipboardContent::text(composed), ClipboardContent::text(decomposed));
    // Sets of contents (the merge of two displays' saves) hash them alike too.
    EXPECT_EQ(qHash(ClipboardContent::text(composed)), qHash(ClipboardContent::text(decomposed)));
    EXPECT_EQ(QSet<ClipboardContent>({ClipboardContent::text(composed), ClipboardContent::text(decomposed)}).size(), 1);
    EXPECT_NE(ClipboardContent::text("cafe"), ClipboardContent::text(composed));
    EXPECT_NE(ClipboardContent::text("a"), ClipboardContent::text("a "));

    const QUrl a = QUrl::fromLocalFile("/a"), b = QUrl::fromLocalFile("/b");
    EXPECT_EQ(ClipboardContent::files({a, b}), ClipboardContent::files({a, b}));
    EXPECT_NE(ClipboardContent::files({a, b}), ClipboardContent::files({b, a}));
    EXPECT_NE(ClipboardContent::files({a}), ClipboardContent::files({a, b}));
    EXPECT_NE(ClipboardContent::text("/a"), ClipboardContent::files({a}));

    ClipboardItem first = ClipboardItem::make(ClipboardContent::text("same"), QDateTime::currentDateTimeUtc());
    ClipboardItem second = ClipboardItem::make(ClipboardContent::text("same"), QDateTime::currentDateTimeUtc().addSecs(9), QString("App"));
    second.isPinned = true;
    second.copyCount = 4;
    EXPECT_NE(first.id, second.id);
    EXPECT_EQ(first, second);
}

TEST(ClipboardImageReferenceTest, BuildsFromAStoredFileOnlyWhenUsable) {
    QTemporaryDir dir;
    const QByteArray png = pngBytes(30, 20);
    const QString good = dir.path() + "/good.png";
    const QString junk = dir.path() + "/junk.png";
    ASSERT_TRUE(writeFile(good, png));
    ASSERT_TRUE(writeFile(junk, "not an image at all"));

    // Size and fingerprint come from the file when absent.
    const auto ref = ClipboardImageReference::fromPersistedPath(good, std::nullopt, std::nullopt);
    ASSERT_TRUE(ref);
    EXPECT_EQ(ref->pixelSize, QSizeF(30, 20));
    EXPECT_EQ(ref->fingerprint, sha256(png));
    EXPECT_EQ(ref->fingerprint.size(), 64);

    EXPECT_FALSE(ClipboardImageReference::fromPersistedPath(dir.path() + "/missing.png", QSizeF(1, 1), "f"));
    EXPECT_FALSE(ClipboardImageReference::fromPersistedPath(junk, std::nullopt, "f"));
    EXPECT_FALSE(ClipboardImageReference::fromPersistedPath(good, QSizeF(0, 10), "f"));
    // Given values are taken as they are: only the file's existence is checked.
    const auto given = ClipboardImageReference::fromPersistedPath(junk, QSizeF(5, 6), "given");
    ASSERT_TRUE(given);
    EXPECT_EQ(given->pixelSize, QSizeF(5, 6));
    EXPECT_EQ(given->fingerprint, "given");
    // A given size with the fingerprint absent hashes the file's bytes.
    EXPECT_EQ(ClipboardImageReference::fromPersistedPath(junk, QSizeF(5, 6), std::nullopt)->fingerprint,
              sha256("not an image at all"));
}

TEST(ClipboardImageReferenceTest, ThumbnailsFitWithoutScalingUp) {
    QTemporaryDir dir;
    const auto small = storedImage(dir.path(), "small.png", 40, 20);
    const QImage smallThumb = small.makeThumbnail(58);
    ASSERT_FALSE(smallThumb.isNull());
    EXPECT_EQ(smallThumb.deviceIndependentSize(), QSizeF(40, 20));
    EXPECT_EQ(smallThumb.size(), QSize(40, 20));

    const auto wide = storedImage(dir.path(), "wide.png", 1000, 500);
    const QImage wideThumb = wide.makeThumbnail(58);
    ASSERT_FALSE(wideThumb.isNull());
    EXPECT_EQ(wideThumb.deviceIndependentSize(), QSizeF(58, 29));
    EXPECT_LE(wideThumb.width(), 116);
    EXPECT_EQ(wideThumb.size(), QSize(116, 58));

    EXPECT_TRUE(wide.makeThumbnail(0).isNull());
    EXPECT_TRUE((ClipboardImageReference{dir.path() + "/gone.png", QSizeF(4, 4), "x"}.makeThumbnail(58).isNull()));
}

TEST(ClipboardImageCaches, FullImagesAreBoundedByCountAndCost) {
    QTemporaryDir dir;
    ClipboardFullImageCache::cache().removeAllObjects();
    const auto a = storedImage(dir.path(), "a.png", 64, 64);
    const auto b = storedImage(dir.path(), "b.png", 32, 16);
    const auto c = storedImage(dir.path(), "c.png", 8, 8);
    EXPECT_EQ(ClipboardFullImageCache::image(a).size(), QSize(64, 64));
    EXPECT_EQ(ClipboardFullImageCache::image(b).size(), QSize(32, 16));
    EXPECT_EQ(ClipboardFullImageCache::cache().totalCost(), 64 * 64 * 4 + 32 * 16 * 4);
    EXPECT_EQ(ClipboardFullImageCache::image(c).size(), QSize(8, 8));
    EXPECT_EQ(ClipboardFullImageCache::cache().count(), 2);

    // Above 64 MiB the image is returned every time but never kept.
    ClipboardFullImageCache::cache().removeAllObjects();
    const auto huge = storedImage(dir.path(), "huge.png", 4100, 4100);
    EXPECT_EQ(ClipboardFullImageCache::image(huge).size(), QSize(4100, 4100));
    EXPECT_EQ(ClipboardFullImageCache::cache().count(), 0);
    EXPECT_EQ(ClipboardFullImageCache::image(huge).size(), QSize(4100, 4100));
    EXPECT_EQ(ClipboardFullImageCache::cache().count(), 0);

    // A file that cannot be loaded gives nothing and caches nothing.
    EXPECT_TRUE(ClipboardFullImageCache::image({dir.path() + "/none.png", QSizeF(2, 2), "x"}).isNull());
    EXPECT_EQ(ClipboardFullImageCache::cache().count(), 0);
}

TEST(ClipboardImageCaches, PreviewsAreDownsampledToTwelveHundredPixels) {
    QTemporaryDir dir;
    ClipboardPreviewImageCache::cache().removeAllObjects();
    const auto big = storedImage(dir.path(), "big.png", 2400, 600);
    const QImage preview = ClipboardPreviewImageCache::image(big);
    ASSERT_FALSE(preview.isNull());
    EXPECT_EQ(preview.size(), QSize(1200, 300));
    EXPECT_EQ(preview.deviceIndependentSize(), QSizeF(1200, 300));
    EXPECT_EQ(ClipboardPreviewImageCache::cache().totalCost(), qint64(preview.bytesPerLine()) * preview.height());
    const auto small = storedImage(dir.path(), "small.png", 300, 200);
    EXPECT_EQ(ClipboardPreviewImageCache::image(small).size(), QSize(300, 200));
}

TEST(ClipboardImageCaches, ThumbnailsByEntryIdForImagesAndFileIcons) {
    QTemporaryDir dir;
    FakeWorkspace workspace;
    QPixmap pixmap(64, 64);
    pixmap.fill(Qt::red);
    workspace.fileIcon = QIcon(pixmap);
    Workspace::setShared(&workspace);

    const ClipboardItem text = ClipboardItem::make(ClipboardContent::text("t"), QDateTime::currentDateTimeUtc());
    EXPECT_TRUE(ClipboardThumbnailCache::image(text).isNull());

    const ClipboardItem files = ClipboardItem::make(
        ClipboardContent::files({QUrl::fromLocalFile(dir.path() + "/no-longer-there.txt")}), QDateTime::currentDateTimeUtc());
    const QImage icon = ClipboardThumbnailCache::image(files);
    ASSERT_FALSE(icon.isNull());
    EXPECT_EQ(icon.deviceIndependentSize(), QSizeF(16, 16));

    const ClipboardItem image =
        ClipboardItem::make(ClipboardContent::image(storedImage(dir.path(), "i.png", 1000, 500)), QDateTime::currentDateTimeUtc());
    EXPECT_EQ(ClipboardThumbnailCache::image(image).deviceIndependentSize(), QSizeF(58, 29));
    // Cached by id: the file going away does not matter any more.
    QFile::remove(dir.path() + "/i.png");
    EXPECT_EQ(ClipboardThumbnailCache::image(image).deviceIndependentSize(), QSizeF(58, 29));
    // A failed thumbnail is not cached, so a later call tries again.
    const ClipboardItem missing =
        ClipboardItem::make(ClipboardContent::image({dir.path() + "/later.png", QSizeF(40, 20), "x"}), QDateTime::currentDateTimeUtc());
    EXPECT_TRUE(ClipboardThumbnailCache::image(missing).isNull());
    ASSERT_TRUE(writeFile(dir.path() + "/later.png", pngBytes(40, 20)));
    EXPECT_FALSE(ClipboardThumbnailCache::image(missing).isNull());
    Workspace::setShared(nullptr);
}

#include "ClipboardTestSupport.h"
#include "LogCapture.h"

#include "Platform/X11/KeyCodes.h"
#include "Source/Features/Clipboard/ClipboardFullImageCache.h"
#include "Source/Features/Clipboard/ClipboardPaster.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QMutex>

using namespace ClipboardTest;
using PinResult = ClipboardManager::PinToggleResult;

using ClipboardCapture = ClipboardStoreTest;
using ClipboardPins = ClipboardStoreTest;
using ClipboardPaste = ClipboardStoreTest;

// MARK: Capture

TEST_F(ClipboardCapture, PollingRecordsACopyOnlyAfterTheChangeCountMoves) {
    pasteboard.simulateCopyText("on the pasteboard at launch");
    start();
    manager->checkClipboard();
    EXPECT_TRUE(manager->history().empty());

    manager->startMonitoring();
    EXPECT_TRUE(manager->isMonitoring());
    pasteboard.simulateCopyText("polled");
    ASSERT_TRUE(TestSupport::waitFor([&] { return manager->history().size() == 1; }, 3000));
    EXPECT_EQ(manager->history()[0].content.textValue(), "polled");
}

TEST_F(ClipboardCapture, CopyingTheSameTextTwiceMergesIntoOneEntry) {
    start();
    copyText("repeat");
    const QDateTime first = clock->now();
    copyText("other");
    copyText("repeat");
    ASSERT_EQ(texts(), (std::vector<QString>{"repeat", "other"}));
    const ClipboardItem& item = manager->history()[0];
    EXPECT_EQ(item.copyCount, 2);
    EXPECT_EQ(item.copiedAt, clock->now());
    EXPECT_EQ(item.firstCopiedAt, first);
}

TEST_F(ClipboardCapture, BlankTextIsIgnoredAndTextIsKeptAsCopied) {
    start();
    copyText("  \n\t \r\n");
    copyText("");
    EXPECT_TRUE(manager->history().empty());
    copyText("  a  \n");
    ASSERT_EQ(texts(), (std::vector<QString>{"  a  \n"}));
}

TEST_F(ClipboardCapture, SourceAppAndIgnoredApplications) {
    start();
    defaults.setStringArray("ignoredClipboardApps", {"org.example.Vault"});
    workspace.front = RunningApplication{10, "org.example.Notes", "Notes", "/n"};
    copyText("from notes");
    EXPECT_EQ(manager->history()[0].sourceApp, QString("Notes"));

    // A concealed copy first, then a copy from an ignored app: nothing is recorded, but the
    // concealed entry is dropped all the same.
    copy({{PasteboardType::string, "secret"}, {PasteboardType::transient, {}}});
    ASSERT_EQ(manager->history().size(), 2u);
    workspace.front = RunningApplication{11, "org.example.Vault", "Vault", "/v"};
    copyText("from the vault");
    EXPECT_EQ(texts(), (std::vector<QString>{"from notes"}));

    // A name that only resembles an ignored identifier is recorded; so is a copy with no app in front.
    workspace.front = RunningApplication{12, "org.example.vault", "vault", "/v2"};
    copyText("similar");
    workspace.front.reset();
    copyText("nobody");
    EXPECT_EQ(texts(), (std::vector<QString>{"nobody", "similar", "from notes"}));
    EXPECT_EQ(manager->history()[0].sourceApp, std::nullopt);
    // Copying an existing text with no app keeps the name it had.
    copyText("from notes");
    EXPECT_EQ(manager->history()[0].sourceApp, QString("Notes"));
}

TEST_F(ClipboardCapture, FileListsBecomeFileEntriesButWebAddressesStayText) {
    start();
    copy({{PasteboardType::fileURLs, "# comment\r\nfile:///home/u/a%20b.txt\r\nfile:///home/u/c\r\n"},
          {PasteboardType::string, "/home/u/a b.txt"}});
    ASSERT_EQ(manager->history().size(), 1u);
    EXPECT_EQ(manager->history()[0].content.fileURLs(),
              (QList<QUrl>{QUrl::fromLocalFile("/home/u/a b.txt"), QUrl::fromLocalFile("/home/u/c")}));

    copy({{PasteboardType::fileURLs, "https://example.com/page\r\n"}, {PasteboardType::string, "https://example.com/page"}});
    ASSERT_EQ(manager->history().size(), 2u);
    EXPECT_TRUE(manager->history()[0].content.isText());
    EXPECT_EQ(manager->history()[0].content.textValue(), "https://example.com/page");

    // A list that mixes a file with a web address is not a file entry either.
    copy({{PasteboardType::fileURLs, "file:///x\r\nhttps://example.com/\r\n"}, {PasteboardType::string, "mixed"}});
    EXPECT_EQ(manager->history()[0].content.textValue(), "mixed");
}

TEST_F(ClipboardCapture, ImagesAreStoredAsPngKeepingCopiedPngBytes) {
    start();
    const QByteArray png = pngBytes(20, 10);
    copyImage(png);
    ASSERT_EQ(manager->history().size(), 1u);
    const ClipboardItem& item = manager->history()[0];
    const ClipboardImageReference* ref = item.content.imageReference();
    ASSERT_TRUE(ref);
    EXPECT_EQ(ref->pixelSize, QSizeF(20, 10));
    EXPECT_EQ(ref->fingerprint, sha256(png));
    EXPECT_EQ(item.imagePath, ref->path);
    EXPECT_EQ(readFile(ref->path), png);

    // Another format is encoded as PNG.
    const QImage bmpImage = patternImage(6, 4, Qt::green);
    copyImage(encoded(bmpImage, "BMP"), "image/bmp");
    ASSERT_EQ(manager->history().size(), 2u);
    const ClipboardImageReference* bmp = manager->history()[0].content.imageReference();
    ASSERT_TRUE(bmp);
    const QByteArray stored = readFile(bmp->path);
    EXPECT_TRUE(stored.startsWith("\x89PNG"));
    EXPECT_EQ(bmp->fingerprint, sha256(stored));
    EXPECT_EQ(QImage::fromData(stored).convertToFormat(QImage::Format_ARGB32).pixel(3, 1), bmpImage.pixel(3, 1));

    // Data that is not an image makes no entry and leaves no file.
    copyImage("garbage", PasteboardType::png);
    EXPECT_EQ(manager->history().size(), 2u);
    EXPECT_EQ(imageFiles(folder).size(), 2);
}

TEST_F(ClipboardCapture, AnImageCopiedAgainMergesAndDropsTheSecondFile) {
    start();
    const QByteArray png = pngBytes(16, 16);
    copyImage(png);
    copyText("between");
    copyImage(png);
    ASSERT_EQ(manager->history().size(), 2u);
    EXPECT_TRUE(manager->history()[0].content.isImage());
    EXPECT_EQ(manager->history()[0].copyCount, 2);
    EXPECT_EQ(imageFiles(folder).size(), 1);
    EXPECT_TRUE(QFile::exists(*manager->history()[0].imagePath));
}

TEST_F(ClipboardCapture, AnImageIsPlacedByItsCopyTimeEvenWhenATextArrivesFirst) {
    start();
    // The image's copy time is taken before it is encoded; a text copied later lands above it.
    clock->advance(1);
    pasteboard.simulateCopy({{PasteboardType::png, pngBytes(8, 8)}});
    manager->checkClipboard();
    copyText("later text");
    settle();
    ASSERT_EQ(manager->history().size(), 2u);
    EXPECT_EQ(manager->history()[0].content.textValue(), "later text");
    EXPECT_TRUE(manager->history()[1].content.isImage());
}

TEST_F(ClipboardCapture, ConcealedCopiesLiveInMemoryUntilTheNextChangeOrTheirTime) {
    start();
    copyText("pinned");
    ASSERT_EQ(manager->togglePin(manager->history()[0].id), PinResult::pinned);
    copyText("plain");

    copy({{PasteboardType::string, "hunter2"}, {PasteboardType::concealed, {}}});
    ASSERT_EQ(manager->history().size(), 3u);
    EXPECT_TRUE(manager->history()[1].isConcealed);  // right after the pins
    EXPECT_EQ(manager->history()[1].content.textValue(), "hunter2");
    EXPECT_EQ(manager->togglePin(manager->history()[1].id), PinResult::notPinnable);

    // The next change drops it, whatever the change is.
    copy({});
    EXPECT_EQ(texts(), (std::vector<QString>{"pinned", "plain"}));

    // Each marker counts, as does a password manager's hint; an empty secret makes no entry.
    for (const QString& marker : {PasteboardType::transient, PasteboardType::autoGenerated}) {
        copy({{PasteboardType::string, "generated"}, {marker, {}}});
        EXPECT_TRUE(manager->history()[1].isConcealed) << marker.toStdString();
    }
    copy({{PasteboardType::string, "from keepass"}, {PasteboardType::passwordManagerHint, "secret"}});
    EXPECT_TRUE(manager->history()[1].isConcealed);
    copy({{PasteboardType::string, ""}, {PasteboardType::concealed, {}}});
    EXPECT_EQ(manager->history().size(), 2u);
    // A hint that does not say "secret" is an ordinary copy.
    copy({{PasteboardType::string, "ordinary"}, {PasteboardType::passwordManagerHint, "public"}});
    EXPECT_FALSE(manager->history()[1].isConcealed);

    // Left alone, it goes when its time is up.
    manager->setConcealedLifetimeForTesting(0.05);
    copy({{PasteboardType::string, "short-lived"}, {PasteboardType::concealed, {}}});
    ASSERT_TRUE(manager->history()[1].isConcealed);
    EXPECT_TRUE(TestSupport::waitFor([&] { return manager->history().size() == 3; }, 2000));
    manager->waitForPendingWrites();
    EXPECT_FALSE(readFile(historyFile()).contains("hunter2"));
    EXPECT_FALSE(readFile(historyFile()).contains("short-lived"));
}

TEST_F(ClipboardCapture, AnOwnerThatDoesNotAnswerIsSkippedOnceAndLoggedOnce) {
    start();
    static QMutex mutex;
    static QStringList warnings;
    warnings.clear();
    const QtMessageHandler previous = qInstallMessageHandler([](QtMsgType type, const QMessageLogContext&, const QString& msg) {
        QMutexLocker lock(&mutex);
        if (type == QtWarningMsg) warnings.append(msg);
    });
    pasteboard.setOwnerAnswers(false);
    copyText("never given");
    // Later looks at the same change do not ask the silent owner again.
    manager->checkClipboard();
    manager->checkClipboard();
    EXPECT_EQ(pasteboard.readCount(), 1);
    EXPECT_TRUE(manager->history().empty());

    pasteboard.setOwnerAnswers(true);
    copyText("given");
    qInstallMessageHandler(previous);
    EXPECT_EQ(texts(), (std::vector<QString>{"given"}));
    EXPECT_EQ(warnings.size(), 1) << warnings.join('\n').toStdString();
}

TEST_F(ClipboardCapture, ALongTextIsKeptAsItsFirstMegabyteCutBetweenCharacters) {
    constexpr qsizetype cap = ClipboardManager::maxTextBytes;
    start();
    // Exactly at the cap: whole.
    const QString whole = QString(cap - 2, QLatin1Char('w')) + QString::fromUtf8("\u00e9");
    copyText(whole);
    ASSERT_EQ(manager->history().size(), 1u);
    EXPECT_EQ(manager->history()[0].content.textValue(), whole);

    // The cut falls inside a two-byte character: the character goes, and the rest after it.
    const QString longer = QString(cap - 1, QLatin1Char('a')) + QString::fromUtf8("\u00e9") + QString(3 * cap, QLatin1Char('z'));
    copyText(longer);
    ASSERT_EQ(manager->history().size(), 2u);
    EXPECT_EQ(manager->history()[0].content.textValue(), QString(cap - 1, QLatin1Char('a')));

    // A four-byte character cut after its second byte.
    const QString emoji = QString(cap - 2, QLatin1Char('b')) + QString::fromUtf8("\U0001F600") + "tail";
    copyText(emoji);
    EXPECT_EQ(manager->history()[0].content.textValue(), QString(cap - 2, QLatin1Char('b')));

    manager->waitForPendingWrites();
    EXPECT_LT(QFileInfo(historyFile()).size(), 4 * cap);
}

TEST_F(ClipboardCapture, OnlyWhatACopyNeedsIsReadAndOversizedDataIsRefused) {
    // The types a capture asks for, given what the owner offers and which of them come cut short.
    auto asked = [](const PasteboardRepresentations& offered, const QStringList& cut = {}) {
        PasteboardContents contents;
        for (const auto& rep : offered) contents.types.append(rep.first);
        Pasteboard::runReadPlan(contents, &ClipboardManager::nextCaptureFetch, [&](const PasteboardFetch& fetch) {
            for (const auto& rep : offered)
                if (rep.first == fetch.type) contents.data.append(rep);
            if (cut.contains(fetch.type)) contents.truncated.append(fetch.type);
            return true;
        });
        return contents.requested;
    };
    const QByteArray png = pngBytes(2, 2);
    EXPECT_EQ(asked({{PasteboardType::fileURLs, "file:///a"}, {PasteboardType::png, png}, {PasteboardType::string, "/a"}}),
              QStringList{PasteboardType::fileURLs});
    EXPECT_EQ(asked({{PasteboardType::fileURLs, "https://x.org/"}, {PasteboardType::png, png}, {PasteboardType::string, "x"}}),
              (QStringList{PasteboardType::fileURLs, PasteboardType::png}));
    EXPECT_EQ(asked({{PasteboardType::png, png}, {PasteboardType::string, "x"}}, {PasteboardType::png}),
              (QStringList{PasteboardType::png, PasteboardType::string}));
    EXPECT_EQ(asked({{PasteboardType::png, png}, {PasteboardType::string, "pw"}, {PasteboardType::concealed, {}}}),
              QStringList{PasteboardType::string});
    EXPECT_EQ(asked({{"image/x-unknown-format", "?"}, {PasteboardType::html, "<b>x</b>"}}), QStringList());

    // Image data over the limit is not recorded; the text beside it is.
    start();
    QByteArray huge = png;
    huge.resize(ClipboardManager::maxImageBytes + 1, '\0');
    copyImage(huge);
    copy({{PasteboardType::png, huge}, {PasteboardType::string, "the caption"}});
    settle();
    EXPECT_EQ(texts(), (std::vector<QString>{"the caption"}));
    EXPECT_TRUE(imageFiles(folder).isEmpty());
}

TEST_F(ClipboardCapture, HistoryLimitIsNormalisedInTheDefaults) {
    UserDefaults d{QString()};
    EXPECT_EQ(ClipboardManager::normalizeConfiguredHistoryLimit(d), 100);
    EXPECT_EQ(d.integerValue("maxClipboardItems"), 100);
    d.setInteger("maxClipboardItems", 0);
    EXPECT_EQ(ClipboardManager::normalizeConfiguredHistoryLimit(d), 1);
    EXPECT_EQ(d.integerValue("maxClipboardItems"), 1);
    d.setInteger("maxClipboardItems", 500);
    EXPECT_EQ(ClipboardManager::normalizeConfiguredHistoryLimit(d), 200);
    EXPECT_EQ(d.integerValue("maxClipboardItems"), 200);
    d.setInteger("maxClipboardItems", 37);
    EXPECT_EQ(ClipboardManager::normalizeConfiguredHistoryLimit(d), 37);
    d.setString("maxClipboardItems", "lots");
    EXPECT_EQ(ClipboardManager::normalizeConfiguredHistoryLimit(d), 100);
}

TEST_F(ClipboardCapture, NewEntriesAreTrimmedToTheLimit) {
    defaults.setInteger("maxClipboardItems", 3);
    start();
    for (const char* t : {"a", "b", "c", "d", "e"}) copyText(t);
    EXPECT_EQ(texts(), (std::vector<QString>{"e", "d", "c"}));
    manager->waitForPendingWrites();
    EXPECT_EQ(QJsonDocument::fromJson(readFile(historyFile())).array().size(), 3);
}

// MARK: Pins and limits

TEST_F(ClipboardPins, PinningMovesEntriesAndRefusesASixth) {
    start();
    for (int i = 0; i < 7; ++i) copyText(QString("t%1").arg(i));
    // t6 t5 t4 t3 t2 t1 t0
    EXPECT_EQ(manager->togglePin(manager->history()[3].id), PinResult::pinned);  // t3
    EXPECT_EQ(manager->togglePin(manager->history()[5].id), PinResult::pinned);  // t1 becomes the last pin
    EXPECT_EQ(texts(), (std::vector<QString>{"t3", "t1", "t6", "t5", "t4", "t2", "t0"}));
    EXPECT_EQ(manager->pinnedCount(), 2);

    // Unpinning puts the entry first among the unpinned ones.
    EXPECT_EQ(manager->togglePin(manager->history()[0].id), PinResult::unpinned);
    EXPECT_EQ(texts(), (std::vector<QString>{"t1", "t3", "t6", "t5", "t4", "t2", "t0"}));

    for (int i = 0; i < 4; ++i) EXPECT_EQ(manager->togglePin(manager->history()[size_t(manager->pinnedCount())].id), PinResult::pinned);
    EXPECT_EQ(manager->pinnedCount(), 5);
    const auto before = texts();
    EXPECT_EQ(manager->togglePin(manager->history()[5].id), PinResult::limitReached);
    EXPECT_EQ(texts(), before);
    EXPECT_EQ(manager->togglePin(QUuid::createUuid()), PinResult::notPinnable);

    // The pins survive a restart in their order.
    start();
    EXPECT_EQ(texts(), before);
    EXPECT_EQ(manager->pinnedCount(), 5);
}

TEST_F(ClipboardPins, CopyingAPinnedTextKeepsItPinnedAtTheEndOfThePins) {
    start();
    for (const char* t : {"a", "b", "c", "d"}) copyText(t);
    // d c b a -> pin b, then c, then a: pins b c a
    manager->togglePin(manager->history()[2].id);
    manager->togglePin(manager->history()[2].id);
    manager->togglePin(manager->history()[3].id);
    ASSERT_EQ(texts(), (std::vector<QString>{"b", "c", "a", "d"}));
    copyText("b");
    EXPECT_EQ(texts(), (std::vector<QString>{"c", "a", "b", "d"}));
    EXPECT_TRUE(manager->history()[2].isPinned);
    EXPECT_EQ(manager->history()[2].copyCount, 2);
    EXPECT_EQ(manager->pinnedCount(), 3);
}

TEST_F(ClipboardPins, TrimmingKeepsPinsAndDeletesTheImagesOfDroppedEntries) {
    start();
    for (int i = 0; i < 4; ++i) copyImage(pngBytes(4 + i, 4));
    copyText("pin one");
    copyText("pin two");
    manager->togglePin(manager->history()[0].id);
    manager->togglePin(manager->history()[1].id);
    ASSERT_EQ(manager->pinnedCount(), 2);
    ASSERT_EQ(imageFiles(folder).size(), 4);
    const QString newestImage = *manager->history()[2].imagePath;

    manager->applyHistoryLimit(3);
    manager->waitForPendingWrites();
    EXPECT_EQ(defaults.integerValue("maxClipboardItems"), 3);
    ASSERT_EQ(manager->history().size(), 3u);
    EXPECT_EQ(manager->history()[2].imagePath, newestImage);
    EXPECT_EQ(imageFiles(folder), QStringList{QFileInfo(newestImage).fileName()});
    EXPECT_EQ(QJsonDocument::fromJson(readFile(historyFile())).array().size(), 3);

    // Pins are never trimmed, even below their number.
    manager->applyHistoryLimit(1);
    EXPECT_EQ(texts(), (std::vector<QString>{"pin two", "pin one"}));
}

TEST_F(ClipboardPins, RemovingAnEntryRemovesItsImageAndSavesEvenWhenNothingWasFound) {
    start();
    copyImage(pngBytes(5, 5));
    copyText("text");
    const QString path = *manager->history()[1].imagePath;
    manager->removeItem(manager->history()[1].id);
    EXPECT_FALSE(QFile::exists(path));
    EXPECT_EQ(texts(), (std::vector<QString>{"text"}));

    manager->waitForPendingWrites();
    QFile::remove(historyFile());
    manager->removeItem(QUuid::createUuid());
    manager->waitForPendingWrites();
    EXPECT_TRUE(QFile::exists(historyFile()));
}

TEST_F(ClipboardPins, ImageFilesAreDeletedOnlyInsideTheImagesFolderAndWhenNoEntryNamesThem) {
    // A history file that names a file of the user's and names one stored image twice.
    const QString userFile = dir.path() + "/Pictures/holiday.png";
    const QString shared = folder + "/Images/5A5A5A5A-0000-4000-8000-000000000001.png";
    ASSERT_TRUE(writeFile(userFile, pngBytes(6, 6)));
    ASSERT_TRUE(writeFile(shared, pngBytes(7, 7)));
    QJsonArray array;
    array.append(QJsonObject{{"type", "image"}, {"value", userFile}, {"itemID", "11111111-1111-1111-1111-111111111111"}});
    array.append(QJsonObject{{"type", "image"}, {"value", shared}, {"itemID", "22222222-2222-2222-2222-222222222222"}});
    array.append(QJsonObject{{"type", "image"}, {"value", folder + "/Images/../Images/5A5A5A5A-0000-4000-8000-000000000001.png"},
                             {"itemID", "33333333-3333-3333-3333-333333333333"}});
    ASSERT_TRUE(writeFile(historyFile(), QJsonDocument(array).toJson()));
    start();
    // The user's file is not in the images folder: its record gives no entry.
    ASSERT_EQ(manager->history().size(), 2u);
    EXPECT_TRUE(QFile::exists(shared));  // named, under another spelling: not an orphan

    manager->removeItem(QUuid("{22222222-2222-2222-2222-222222222222}"));
    EXPECT_TRUE(QFile::exists(shared));  // still named by the third entry
    manager->removeItem(QUuid("{33333333-3333-3333-3333-333333333333}"));
    EXPECT_FALSE(QFile::exists(shared));
    EXPECT_TRUE(QFile::exists(userFile));

    // A file put in the folder under a name we never give is shown but never deleted, by
    // removal or by trimming.
    const QString foreign = folder + "/Images/holiday.png";
    ASSERT_TRUE(writeFile(foreign, pngBytes(6, 6)));
    manager->waitForPendingWrites();
    ASSERT_TRUE(writeFile(historyFile(), QJsonDocument(QJsonArray{QJsonObject{{"type", "image"}, {"value", foreign}}}).toJson()));
    start();
    ASSERT_EQ(manager->history().size(), 1u);
    manager->applyHistoryLimit(1);
    copyText("pushes it out");
    EXPECT_EQ(texts(), std::vector<QString>{"pushes it out"});
    EXPECT_TRUE(QFile::exists(foreign));
}

TEST_F(ClipboardPins, OrphanedImagesAreSweptAtLaunchWithOneLogLine) {
    start();
    copyImage(pngBytes(3, 3));
    const QString named = *manager->history()[0].imagePath;
    manager->waitForPendingWrites();
    ASSERT_TRUE(writeOldFile(folder + "/Images/0F0F0F0F-0000-4000-8000-000000000001.png", "x"));
    ASSERT_TRUE(writeOldFile(folder + "/Images/0F0F0F0F-0000-4000-8000-000000000002.png", "y"));

    static QMutex mutex;
    static QStringList messages;
    messages.clear();
    const QtMessageHandler previous = qInstallMessageHandler([](QtMsgType type, const QMessageLogContext& context, const QString& msg) {
        QMutexLocker lock(&mutex);
        if (type == QtInfoMsg && QByteArray(context.category).startsWith("com.pelwick.Quorvin"))
            messages.append(QString("%1: %2").arg(context.category, msg));
    });
    start();
    qInstallMessageHandler(previous);
    EXPECT_EQ(imageFiles(folder), QStringList{QFileInfo(named).fileName()});
    EXPECT_EQ(messages, QStringList{"com.pelwick.Quorvin.Clipboard: Cleaned up 2 orphaned image files"});
}

TEST_F(ClipboardPins, ClearRemovesEverythingAndDiscardsImagesInFlight) {
    start();
    copyImage(pngBytes(4, 4));
    copyText("pinned");
    manager->togglePin(manager->history()[0].id);
    // An image copy still being encoded when the history is cleared.
    clock->advance(1);
    pasteboard.simulateCopy({{PasteboardType::png, pngBytes(300, 300)}});
    manager->checkClipboard();
    manager->clear();
    EXPECT_TRUE(manager->history().empty());
    settle();
    manager->waitForPendingWrites();
    EXPECT_TRUE(manager->history().empty());
    EXPECT_TRUE(imageFiles(folder).isEmpty());
    EXPECT_EQ(readFile(historyFile()), "[]");
    start();
    EXPECT_TRUE(manager->history().empty());
}

// MARK: Pasting

TEST_F(ClipboardPaste, PastingATextPutsOneStringInBothSelectionsAndPostsShiftInsert) {
    start();
    copyText("paste me");
    copyText("newer");
    const ClipboardItem item = manager->history()[1];
    manager->paste(item);
    EXPECT_TRUE(manager->isPasting());
    ASSERT_EQ(pasteboard.writtenItems().size(), 1);
    EXPECT_EQ(pasteboard.representations(), (PasteboardRepresentations{{PasteboardType::string, "paste me"}}));
    // Terminals paste the PRIMARY selection with Shift+Insert (Control+V types ^V there).
    EXPECT_EQ(pasteboard.primaryRepresentations(), pasteboard.representations());
    using namespace KeyCodes;
    EXPECT_EQ(
        keys.events,
        (QList<SyntheticKeyEvent>{
            {kVK_Shift, true, 0}, {kVK_Help, true, maskShift}, {kVK_Help, false, maskShift}, {kVK_Shift, false, 0}}));

    // While pasting, polls do not even look; after the release the echo changes nothing.
    manager->checkClipboard();
    ASSERT_TRUE(TestSupport::waitFor([&] { return !manager->isPasting(); }, 2000));
    manager->checkClipboard();
    EXPECT_EQ(texts(), (std::vector<QString>{"newer", "paste me"}));
    EXPECT_EQ(manager->history()[1].copyCount, 1);

    // A later copy of the same content is taken for the echo too, until the next paste or clear.
    copyText("paste me");
    EXPECT_EQ(manager->history()[1].copyCount, 1);
    manager->pastePlainText("something else");
    ASSERT_TRUE(TestSupport::waitFor([&] { return !manager->isPasting(); }, 2000));
    manager->checkClipboard();
    copyText("paste me");
    EXPECT_EQ(texts(), (std::vector<QString>{"paste me", "newer"}));
    EXPECT_EQ(manager->history()[0].copyCount, 2);
}

// The keystroke waits while the user holds a modifier (Super through ⌘1): it would carry it, and
// letting it go for the user would change the keyboard under the user's hand. A newer paste takes
// the place of a waiting one; past the bound nothing is typed, ever, and the entry stays on the
// clipboard. Until the release after the keystroke the paste's own change is not recorded.
TEST_F(ClipboardPaste, TheKeystrokeWaitsUntilTheModifiersAreLetGo) {
    using namespace KeyCodes;
    const QList<SyntheticKeyEvent> keystroke{
        {kVK_Shift, true, 0}, {kVK_Help, true, maskShift}, {kVK_Help, false, maskShift}, {kVK_Shift, false, 0}};
    start();
    copyText("first");
    copyText("second");
    copyText("third");
    const ClipboardItem first = manager->history()[2], second = manager->history()[1];

    keys.held = true;
    manager->paste(first);
    EXPECT_EQ(pasteboard.string(), QString("first"));
    TestSupport::spin(100);
    EXPECT_TRUE(keys.events.isEmpty());
    clock->advance(ClipboardPaster::heldKeysWait - 0.1);
    manager->paste(second);  // the bound starts again
    clock->advance(0.5);
    TestSupport::spin(int(ClipboardManager::pasteRelease * 1000) + 100);  // past a release after a keystroke
    EXPECT_TRUE(keys.events.isEmpty());
    EXPECT_TRUE(manager->isPasting());
    manager->checkClipboard();
    keys.held = false;
    ASSERT_TRUE(TestSupport::waitFor([&] { return !keys.events.isEmpty(); }, 2000));
    EXPECT_EQ(keys.events, keystroke);  // once, for the newer paste
    EXPECT_EQ(pasteboard.string(), QString("second"));
    EXPECT_TRUE(manager->isPasting());
    ASSERT_TRUE(TestSupport::waitFor([&] { return !manager->isPasting(); }, 2000));
    manager->checkClipboard();
    EXPECT_EQ(texts(), (std::vector<QString>{"third", "second", "first"}));

    // Held past the bound: one line in the log, the entry on the clipboard, no keystroke even once
    // the keys are let go.
    keys.events.clear();
    keys.held = true;
    LogCapture log;
    manager->paste(first);
    clock->advance(ClipboardPaster::heldKeysWait + 0.1);
    ASSERT_TRUE(TestSupport::waitFor([&] { return !manager->isPasting(); }, 2000));
    keys.held = false;
    TestSupport::spin(100);
    EXPECT_TRUE(keys.events.isEmpty());
    EXPECT_EQ(pasteboard.string(), QString("first"));
    EXPECT_EQ(log.matching({"warning", "Modifier keys still held"}).size(), 1) << log.all().join('\n').toStdString();
}

TEST_F(ClipboardPaste, PastingFilesWritesOneItemPerUrlAndTheirPathsAsText) {
    start();
    copy({{PasteboardType::fileURLs, "file:///a/one.txt\r\nfile:///b/two\r\n"}});
    manager->paste(manager->history()[0]);
    ASSERT_EQ(pasteboard.writtenItems().size(), 2);
    EXPECT_EQ(pasteboard.writtenItems()[0].data(PasteboardType::fileURLs), QByteArray("file:///a/one.txt\r\n"));
    const QList<QUrl> urls = Pasteboard::urlsFromUriList(*pasteboard.data(PasteboardType::fileURLs));
    EXPECT_EQ(urls, (QList<QUrl>{QUrl::fromLocalFile("/a/one.txt"), QUrl::fromLocalFile("/b/two")}));
    EXPECT_EQ(*pasteboard.data(PasteboardType::gnomeCopiedFiles), QByteArray("copy\nfile:///a/one.txt\nfile:///b/two"));
    // Terminals (PRIMARY) and text fields get the paths, one a line, as file managers give them.
    EXPECT_EQ(pasteboard.data(PasteboardType::string), QByteArray("/a/one.txt\n/b/two"));
    EXPECT_EQ(pasteboard.primaryRepresentations(),
              (PasteboardRepresentations{{PasteboardType::string, "/a/one.txt\n/b/two"}}));
    ASSERT_TRUE(TestSupport::waitFor([&] { return !manager->isPasting(); }, 2000));
    manager->checkClipboard();
    EXPECT_EQ(manager->history().size(), 1u);
    EXPECT_EQ(manager->history()[0].copyCount, 1);

    // A path text would not name exactly (not UTF-8, or a line break a terminal runs) is its URL.
    copy({{PasteboardType::fileURLs, "file:///t/%C3%A9%20%25\r\nfile:///t/junk-%E9\r\nfile:///t/a%0Arm%20x\r\n"}});
    manager->paste(manager->history()[0]);
    EXPECT_EQ(pasteboard.data(PasteboardType::string),
              QByteArray("/t/\xC3\xA9 %\nfile:///t/junk-%E9\nfile:///t/a%0Arm%20x"));
}

TEST_F(ClipboardPaste, PastingAnImageWritesItsPngAndItsEchoIsRecognised) {
    start();
    const QByteArray png = pngBytes(24, 12);
    copyImage(png);
    copyText("on top");
    manager->paste(manager->history()[1]);
    EXPECT_EQ(pasteboard.data(PasteboardType::png), png);
    // PRIMARY offers the picture alone: a terminal asking it for text gets none.
    EXPECT_EQ(pasteboard.primaryRepresentations(), (PasteboardRepresentations{{PasteboardType::png, png}}));
    EXPECT_EQ(keys.events.size(), 4);
    ASSERT_TRUE(TestSupport::waitFor([&] { return !manager->isPasting(); }, 2000));
    manager->checkClipboard();
    settle();
    EXPECT_EQ(manager->history().size(), 2u);
    EXPECT_EQ(manager->history()[1].copyCount, 1);
    EXPECT_EQ(imageFiles(folder).size(), 1);  // the echo's own file is gone again
}

TEST_F(ClipboardPaste, AnImageThatCannotBeLoadedLeavesThePasteboardAlone) {
    start();
    copyImage(pngBytes(10, 10));
    const ClipboardItem item = manager->history()[0];
    ClipboardFullImageCache::cache().removeAllObjects();
    QFile::remove(*item.imagePath);
    pasteboard.simulateCopyText("the user's clipboard");
    const qint64 changes = pasteboard.changeCount();

    manager->paste(item);
    EXPECT_FALSE(manager->isPasting());
    EXPECT_FALSE(manager->lastPastedContent().has_value());
    EXPECT_EQ(pasteboard.changeCount(), changes);
    EXPECT_EQ(pasteboard.string(), QString("the user's clipboard"));
    EXPECT_TRUE(keys.events.isEmpty());
}

TEST_F(ClipboardPaste, PlainTextPastes) {
    start();
    manager->pastePlainText("");
    EXPECT_EQ(pasteboard.writeCount(), 0);
    EXPECT_FALSE(manager->isPasting());
    EXPECT_TRUE(keys.events.isEmpty());

    const QByteArray rtf = R"({\rtf1\ansi\ansicpg1252{\fonttbl\f0\fswiss Helvetica;}{\colortbl;\red255\green0\blue0;})"
                           R"({\*\expandedcolortbl;;}\f0\b Bold\b0  and \cf1 red\cf0\par caf\'e9 \u8364? end\})";
    pasteboard.simulateCopy({{PasteboardType::rtf, rtf}});
    manager->pastePlainText();
    EXPECT_EQ(pasteboard.representations(),
              (PasteboardRepresentations{{PasteboardType::string, QString("Bold and red\ncaf\u00e9 \u20ac end}").toUtf8()}}));
    EXPECT_EQ(keys.events.size(), 4);

    pasteboard.simulateCopy({{PasteboardType::html, "<html><body><p>Hello <b>world</b> &amp; more</p></body></html>"}});
    manager->pastePlainText();
    EXPECT_EQ(pasteboard.string(), QString("Hello world & more"));

    // An empty string gives way to the RTF.
    pasteboard.simulateCopy({{PasteboardType::string, ""}, {PasteboardType::rtf, R"({\rtf1 from rtf})"}});
    EXPECT_EQ(ClipboardManager::plainText(plainTextOf(pasteboard)), QString("from rtf"));
    pasteboard.simulateCopy({{PasteboardType::png, pngBytes(2, 2)}});
    EXPECT_EQ(ClipboardManager::plainText(plainTextOf(pasteboard)), std::nullopt);
    keys.events.clear();
    manager->pastePlainText();
    EXPECT_TRUE(keys.events.isEmpty());
}

TEST_F(ClipboardPaste, NoKeysArePostedWhereKeysCannotBePosted) {
    start();
    keys.available = false;
    manager->pastePlainText("still written");
    EXPECT_EQ(pasteboard.string(), QString("still written"));
    EXPECT_TRUE(keys.events.isEmpty());
    EXPECT_TRUE(TestSupport::waitFor([&] { return !manager->isPasting(); }, 2000));
}

// MARK: The pasteboard

TEST(PasteboardFolding, ItemsFoldIntoOneSetOfFormats) {
    PasteboardItem a, b, secret;
    a.setData(PasteboardType::fileURLs, "file:///one\r\n");
    a.setString("one");
    b.setData(PasteboardType::fileURLs, "file:///two");
    b.setString("two");
    EXPECT_EQ(Pasteboard::flatten({a, b}), (PasteboardRepresentations{{PasteboardType::fileURLs, "file:///one\r\nfile:///two"},
                                                                       {PasteboardType::string, "one"}}));
    secret.setString("pw");
    secret.setData(PasteboardType::concealed, {});
    const auto reps = Pasteboard::flatten({secret});
    EXPECT_TRUE(reps.contains(qMakePair(PasteboardType::passwordManagerHint, QByteArray("secret"))));

    FakePasteboard board;
    EXPECT_FALSE(board.writeObjects({}));
    board.writeObjects({secret});
    EXPECT_TRUE(board.types().contains(PasteboardType::concealed));
    board.simulateCopy({{PasteboardType::string, "x"}, {PasteboardType::passwordManagerHint, "secret"}});
    EXPECT_TRUE(board.types().contains(PasteboardType::concealed));
    EXPECT_EQ(Pasteboard::urlsFromUriList("#c\r\n\r\nfile:///a%20b\r\nhttps://x.org/\n"),
              (QList<QUrl>{QUrl::fromLocalFile("/a b"), QUrl("https://x.org/")}));
}

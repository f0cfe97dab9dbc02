#include "ClipboardTestSupport.h"
#include "LogCapture.h"
#include "NoLocksFolder.h"
#include "Platform/Files/FolderLock.h"
#include "Source/Features/Clipboard/ClipboardHistoryMerge.h"
#include "Source/Features/Clipboard/ClipboardHistoryReader.h"
#include "Source/Features/Clipboard/ClipboardHistoryStore.h"
#include "Source/Features/Clipboard/ClipboardSettings.h"

#include "Source/Features/Toolbox/SnippetStore.h"

#include <QElapsedTimer>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTimer>

#include <cstdio>
#include <iostream>
#include <string>

using namespace ClipboardTest;

namespace {

// The texts in the history file, in its order; a pinned one marked with a star.
std::vector<QString> fileTexts(const QString& path) {
    std::vector<QString> list;
    for (const QJsonValue& element : QJsonDocument::fromJson(readFile(path)).array())
        list.push_back(element.toObject()["value"].toString() + (element.toObject()["isPinned"].toBool() ? "*" : ""));
    return list;
}

// A history cleared: the file is there, empty, so that the other display tells it from a folder gone.
bool isCleared(const QString& path) { return readFile(path) == "[]"; }

QUuid idOf(const ClipboardManager& store, const QString& text) {
    for (const ClipboardItem& item : store.history())
        if (item.content.textValue() == text) return item.id;
    return {};
}

}  // namespace

// The same user on two displays: two stores over one folder, each with its own clipboard, saving
// in turn. What either saved is never lost; a removal, a pin or a clear made on one is not undone
// by the other's next save, and each takes in the other's entries when it saves.
class ClipboardTwoInstances : public ClipboardStoreTest {
protected:
    void startSecond(UserDefaults* store = nullptr) {
        second = std::make_unique<ClipboardManager>(secondPasteboard, store ? *store : defaults, folder);
        second->waitForPendingWrites();
    }
    void copyOnSecond(const QString& text) {
        clock->advance(1.0);
        secondPasteboard.simulateCopy({{PasteboardType::string, text.toUtf8()}});
        second->checkClipboard();
        settleBoth();
    }
    void copyOnFirst(const QString& text) {
        copyText(text);
        settleBoth();
    }
    void settleBoth() {
        for (ClipboardManager* store : {manager.get(), second.get()})
            if (store) store->waitForPendingWrites();
        QCoreApplication::processEvents();
        QCoreApplication::processEvents();
    }
    // Both lists, a moment after the save that the other takes in.
    bool bothShow(const std::vector<QString>& list) {
        const bool shown = TestSupport::waitFor([&] { return texts() == list && secondTexts() == list; }, 2000);
        const std::vector<QString> first = texts(), there = secondTexts();
        if (!shown)
            ADD_FAILURE() << "here " << qPrintable(QStringList(first.begin(), first.end()).join(',')) << ", there "
                          << qPrintable(QStringList(there.begin(), there.end()).join(','));
        return shown;
    }
    std::vector<QString> secondTexts() const {
        std::vector<QString> list;
        for (const auto& item : second->history()) list.push_back(item.content.textValue());
        return list;
    }
    void TearDown() override {
        if (second) second->waitForPendingWrites();
        second.reset();
        ClipboardStoreTest::TearDown();
    }

    FakePasteboard secondPasteboard;
    // Each display's settings, over one file, where the test gives them.
    std::unique_ptr<UserDefaults> firstSettings, secondSettings;
    std::unique_ptr<ClipboardManager> second;
};

TEST_F(ClipboardTwoInstances, NeitherLosesNorUndoesWhatTheOtherSaved) {
    start();
    copyOnFirst("a");
    startSecond();
    copyOnSecond("b");
    copyOnFirst("c");
    EXPECT_EQ(fileTexts(historyFile()), (std::vector<QString>{"c", "b", "a"}));
    EXPECT_EQ(texts(), (std::vector<QString>{"c", "b", "a"}));

    // A removal on one stays removed through the other's save.
    second->removeItem(idOf(*second, "a"));
    settleBoth();
    copyOnFirst("d");
    EXPECT_EQ(fileTexts(historyFile()), (std::vector<QString>{"d", "c", "b"}));
    EXPECT_EQ(texts(), (std::vector<QString>{"d", "c", "b"}));

    // A pin on one, and the same text copied on both, kept once.
    pin("b");
    settleBoth();
    copyOnSecond("e");
    copyOnSecond("d");
    EXPECT_EQ(fileTexts(historyFile()), (std::vector<QString>{"b*", "d", "e", "c"}));
    EXPECT_EQ(secondTexts(), (std::vector<QString>{"b", "d", "e", "c"}));

    // The limit holds for what is merged in.
    manager->applyHistoryLimit(3);
    settleBoth();
    copyOnSecond("f");
    EXPECT_EQ(fileTexts(historyFile()), (std::vector<QString>{"b*", "f", "d"}));

    // A clear on one is not undone by the other's next save.
    manager->clear();
    settleBoth();
    copyOnSecond("g");
    EXPECT_EQ(fileTexts(historyFile()), (std::vector<QString>{"g"}));
    EXPECT_EQ(secondTexts(), (std::vector<QString>{"g"}));
    copyOnFirst("h");
    EXPECT_EQ(fileTexts(historyFile()), (std::vector<QString>{"h", "g"}));

    // The other display shows what one saved soon after, with no save of its own.
    copyOnFirst("i");
    EXPECT_TRUE(TestSupport::waitFor(
        [&] {
            return secondTexts() == std::vector<QString>{"i", "h", "g"};
        },
        2000))
        << [&] {
               const std::vector<QString> shown = secondTexts();
               return QStringList(shown.begin(), shown.end()).join(',').toStdString();
           }();
    manager->removeItem(idOf(*manager, "h"));
    EXPECT_TRUE(TestSupport::waitFor([&] { return secondTexts() == std::vector<QString>{"i", "g"}; }, 2000));
    EXPECT_EQ(fileTexts(historyFile()), (std::vector<QString>{"i", "g"}));
}

// A save of a list made before the entries here took in a merge does not give back what the
// other display removed.
TEST_F(ClipboardTwoInstances, AnOlderListSavedAfterAMergeGivesNothingBack) {
    ClipboardHistoryStore here(folder), there(folder);
    const QDateTime now = QDateTime::currentDateTimeUtc();
    auto item = [&](const char* text, int seconds) {
        return ClipboardItem::make(ClipboardContent::text(text), now.addSecs(seconds));
    };
    const ClipboardItem x = item("x", 1), y = item("y", 0), z = item("z", 2), w = item("w", 3);
    here.read(200, now);
    here.save({x, y}, 200, {});
    here.waitUntilIdle();
    there.read(200, now);
    there.noteRemoved({x.id});
    there.save({y}, 200, {});
    there.waitUntilIdle();
    here.save({z, x, y}, 200, {});
    here.waitUntilIdle();
    here.save({w, z, x, y}, 200, {});
    here.waitUntilIdle();
    EXPECT_EQ(fileTexts(historyFile()), (std::vector<QString>{"w", "z", "y"}));
}

// The merge against a file that lacks entries here: what counts as removed there. Nothing a writer
// never had is removed: a file built on no file this display read or wrote (saved where the file
// was missing, or over one it could not read) is united with the list here; a file built on this
// display's last save, one that names no saves (an older version's, another program's) and an
// empty one (a clear) remove what they lack. What was removed or cleared here is not taken back
// from a writer that never took in the removal, even after this display saved it.
TEST(ClipboardHistoryMergeRule, NothingAWriterNeverHadIsRemoved) {
    const QDateTime now = QDateTime::currentDateTimeUtc();
    auto item = [&](const char* text, int seconds) {
        return ClipboardItem::make(ClipboardContent::text(text), now.addSecs(seconds));
    };
    const ClipboardItem a = item("a", 1), b = item("b", 0), c = item("c", 2);
    ClipboardItem aAgain = a;
    aAgain.copiedAt = now.addSecs(5);
    ++aAgain.copyCount;
    using Lineage = ClipboardHistoryLineage;
    enum class Writer { builtOnOurs, builtOnNone, namesNone };
    enum class Here { saved, removedAndSaved, cleared };
    struct Row {
        const char* name;
        Writer writer;
        std::vector<ClipboardItem> ours, onDisk;
        std::vector<QUuid> removedHere;
        std::vector<QString> merged;
        Here here = Here::saved;
    };
    const std::vector<Row> rows = {
        {"removed there", Writer::builtOnOurs, {a, b}, {b}, {}, {"b"}},
        {"removed there, copied again here", Writer::builtOnOurs, {aAgain, b}, {b}, {}, {"a", "b"}},
        {"cleared there", Writer::namesNone, {a, b}, {}, {}, {}},
        {"an older version's save without it", Writer::namesNone, {a, b}, {c, b}, {}, {"c", "b"}},
        {"a writer that never had them", Writer::builtOnNone, {a, b}, {c}, {}, {"c", "a", "b"}},
        {"a writer that never had one", Writer::builtOnNone, {a, b}, {c, b}, {}, {"c", "a", "b"}},
        {"a writer that never had them, one removed here", Writer::builtOnNone, {b}, {c, a}, {a.id}, {"c", "b"}},
        {"a writer that never took in a removal saved here",
         Writer::builtOnNone,
         {b},
         {c, a, b},
         {a.id},
         {"c", "b"},
         Here::removedAndSaved},
        {"a writer that never took in a clear here", Writer::builtOnNone, {}, {c, a, b}, {}, {"c"}, Here::cleared},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        ClipboardHistoryMerge merge;
        const Lineage ours = Lineage().next();
        merge.written({a, b}, "saved here", ours);
        merge.removed(row.removedHere);
        if (row.here == Here::removedAndSaved) merge.written(row.ours, "saved again", ours.next());
        if (row.here == Here::cleared) merge.cleared(ours.next());
        const Lineage theirs = row.writer == Writer::builtOnOurs   ? ours.next()
                               : row.writer == Writer::builtOnNone ? Lineage().next()
                                                                   : Lineage::of(std::nullopt, "written there");
        bool changed = false;
        std::vector<QString> texts;
        for (const ClipboardItem& kept : merge.merge(row.ours, row.onDisk, 200, 5, changed, theirs))
            texts.push_back(kept.content.textValue());
        EXPECT_EQ(texts, row.merged);
    }
}

// The history folder removed or moved away while one display is behind (stopped, or just before
// it took in the other's last save): its next save finds no file and writes its list whole, and
// the other keeps what the first never saw, and saves it again at once.
TEST_F(ClipboardTwoInstances, AListSavedWhereTheFileWasGoneTakesNothingAwayFromTheOther) {
    const QDateTime now = QDateTime::currentDateTimeUtc();
    auto item = [&](const char* text, int seconds) {
        return ClipboardItem::make(ClipboardContent::text(text), now.addSecs(seconds));
    };
    const ClipboardItem r = item("r", -1), w = item("w", 0), x = item("x", 1), y = item("y", 2), z = item("z", 3),
                        v = item("v", 4);
    for (const char* move : {"removed", "moved away"}) {
        SCOPED_TRACE(move);
        QDir(folder).removeRecursively();
        ClipboardHistoryStore behind(folder), other(folder);
        behind.read(200, now);
        behind.save({w, r}, 200, {});
        behind.waitUntilIdle();
        other.read(200, now);
        other.save({x, w, r}, 200, {});
        other.noteRemoved({r.id});
        other.save({x, w}, 200, {});
        other.waitUntilIdle();
        if (move == std::string("removed"))
            ASSERT_TRUE(QDir(folder).removeRecursively());
        else
            ASSERT_TRUE(QDir().rename(folder, folder + "-" + move));
        behind.save({y, w, r}, 200, {});
        behind.waitUntilIdle();
        // The other takes it in, leaving out what it removed, and asks for a save to give the file
        // back what it lacks.
        bool saveAsked = false;
        std::optional<std::vector<ClipboardItem>> merged;
        other.refresh(
            {x, w}, 200, [&merged](std::vector<ClipboardItem> items) { merged = std::move(items); },
            [&saveAsked] { saveAsked = true; });
        other.waitUntilIdle();
        QCoreApplication::processEvents();
        EXPECT_TRUE(saveAsked);
        ASSERT_TRUE(merged.has_value());
        EXPECT_EQ(merged->size(), 3u);
        other.save(*merged, 200, {});
        other.save({z, x, w}, 200, {});
        other.waitUntilIdle();
        EXPECT_EQ(fileTexts(historyFile()), (std::vector<QString>{"z", "y", "x", "w"}));
        // And the one behind takes in what it never saw, and the removal it missed.
        merged.reset();
        behind.refresh({y, w, r}, 200, [&merged](std::vector<ClipboardItem> items) { merged = std::move(items); });
        behind.waitUntilIdle();
        QCoreApplication::processEvents();
        ASSERT_TRUE(merged.has_value());
        EXPECT_EQ(merged->size(), 4u);
        behind.save({v, z, y, x, w}, 200, {});
        behind.waitUntilIdle();
        EXPECT_EQ(fileTexts(historyFile()), (std::vector<QString>{"v", "z", "y", "x", "w"}));
        QDir(folder + "-" + move).removeRecursively();
    }
}

// A clear on one display empties the other's list a moment after, and nothing cleared comes back
// through the other's next save.
TEST_F(ClipboardTwoInstances, AClearOnOneEmptiesTheOthersList) {
    start();
    copyOnFirst("a");
    copyOnFirst("b");
    startSecond();
    ASSERT_EQ(secondTexts(), (std::vector<QString>{"b", "a"}));
    manager->clear();
    EXPECT_TRUE(TestSupport::waitFor([&] { return second->history().empty(); }, 2000));
    copyOnSecond("c");
    EXPECT_EQ(fileTexts(historyFile()), (std::vector<QString>{"c"}));
}

// What a look at the history file finds when it is not as this display saved it, and what a save
// then writes: a file cleared there holds nothing; a file removed, one never saved, or a folder
// gone, made again or linked away leaves the entries here, and a save writes them whole. A file
// that cannot be read (unreadable, beyond the largest history) is set aside first, never written over.
TEST_F(ClipboardTwoInstances, OnlyAClearEmptiesTheListAndAFileThatCannotBeReadIsSetAside) {
    const QDateTime now = QDateTime::currentDateTimeUtc();
    const ClipboardItem x = ClipboardItem::make(ClipboardContent::text("x"), now);
    const ClipboardItem y = ClipboardItem::make(ClipboardContent::text("y"), now.addSecs(1));
    struct Row {
        const char* name;
        bool saved;
        std::function<void(const QString& folder)> change;
        bool emptied;
        std::vector<QString> savedThen;  // the file after a copy here, saved
        bool setAside = false;
    };
    const auto moveAway = [](const QString& f) { QDir().rename(f, f + "-moved"); };
    const std::vector<Row> rows = {
        {"cleared",
         true,
         [](const QString& f) {
             ClipboardHistoryStore there(f);
             there.removeAll();
         },
         true,
         {"y"}},
        {"file removed", true, [](const QString& f) { QFile::remove(f + "/history.json"); }, false, {"y", "x"}},
        {"never saved", false, [](const QString&) {}, false, {"y", "x"}},
        {"unreadable",
         true,
         [](const QString& f) { QFile::setPermissions(f + "/history.json", {}); },
         false,
         {"y", "x"},
         true},
        {"beyond the largest history",
         true,
         [](const QString& f) {
             QFile file(f + "/history.json");
             file.open(QIODevice::ReadWrite | QIODevice::Truncate);
             file.resize(ClipboardHistoryReader::largestFile + 1);
         },
         false,
         {"y", "x"},
         true},
        {"folder gone", true, moveAway, false, {"y", "x"}},
        {"folder made again",
         true,
         [&](const QString& f) {
             moveAway(f);
             QDir().mkdir(f);
         },
         false,
         {"y", "x"}},
        {"folder removed and made again",
         true,
         [](const QString& f) {
             QDir(f).removeRecursively();
             QDir().mkdir(f);
         },
         false,
         {"y", "x"}},
        {"folder linked to nowhere",
         true,
         [&](const QString& f) {
             moveAway(f);
             QFile::link(f + "-nowhere", f);
         },
         false,
         {}},
    };
    for (const Row& row : rows) {
        if (row.name == std::string("unreadable") && ::geteuid() == 0) continue;
        SCOPED_TRACE(row.name);
        const QString rowFolder = dir.path() + "/" + row.name;
        std::optional<std::vector<ClipboardItem>> merged;
        {
            ClipboardHistoryStore here(rowFolder);
            here.read(200, now);
            if (row.saved) here.save({x}, 200, {});
            here.waitUntilIdle();
            row.change(rowFolder);
            here.refresh({x}, 200, [&merged](std::vector<ClipboardItem> items) { merged = std::move(items); });
            here.waitUntilIdle();
            QCoreApplication::processEvents();
            std::vector<ClipboardItem> list = merged.value_or(std::vector<ClipboardItem>{x});
            list.insert(list.begin(), y);
            here.save(list, 200, {});
            here.waitUntilIdle();
        }
        QCoreApplication::processEvents();
        EXPECT_EQ(merged.has_value(), row.emptied);
        if (merged) {
            EXPECT_TRUE(merged->empty());
        }
        EXPECT_EQ(fileTexts(rowFolder + "/history.json"), row.savedThen);
        const QStringList aside = QDir(rowFolder).entryList({"history.json.damaged-*"}, QDir::Files | QDir::Hidden);
        EXPECT_EQ(aside.size(), row.setAside ? 1 : 0);
        if (row.setAside && !aside.isEmpty()) {
            EXPECT_GT(QFileInfo(rowFolder + "/" + aside[0]).size(), 0);
        }
    }
}

// The history folder moved away (a backup) or removed while both displays run: a copy on either
// keeps the whole list in the folder made again, and each takes in what the other saves there a
// moment after.
TEST_F(ClipboardTwoInstances, AFolderMovedAwayOrRemovedIsNoClear) {
    start();
    copyOnFirst("a");
    startSecond();
    ASSERT_EQ(secondTexts(), (std::vector<QString>{"a"}));

    ASSERT_TRUE(QDir().rename(folder, folder + "-moved"));
    copyOnSecond("b");
    EXPECT_EQ(secondTexts(), (std::vector<QString>{"b", "a"}));
    EXPECT_EQ(fileTexts(historyFile()), (std::vector<QString>{"b", "a"}));
    bothShow({"b", "a"});
    copyOnFirst("c");
    bothShow({"c", "b", "a"});

    ASSERT_TRUE(QDir(folder).removeRecursively());
    copyOnFirst("d");
    bothShow({"d", "c", "b", "a"});
    // Moved away and made again by hand: empty, it was not cleared.
    ASSERT_TRUE(QDir().rename(folder, folder + "-moved-again"));
    ASSERT_TRUE(QDir().mkdir(folder));
    copyOnSecond("e");
    bothShow({"e", "d", "c", "b", "a"});
    EXPECT_EQ(fileTexts(historyFile()), (std::vector<QString>{"e", "d", "c", "b", "a"}));
}

// A display started while another program rewrites the history file in place (a backup restored
// with rsync --inplace, an editor): a file that changes under the read, or that cannot be read and
// was changed a moment ago (the writer paused), is read again once it holds still, not set aside as
// damaged, and the start's first copy takes nothing from the other.
TEST_F(ClipboardTwoInstances, AStartWhileTheFileIsRewrittenInPlaceReadsItAgainOnceItHoldsStill) {
    start();
    for (int i = 0; i < 12; ++i) copyOnFirst(QString::asprintf("entry %d", i));
    pin("entry 3");
    pin("entry 7");
    settleBoth();
    std::vector<QString> expected = fileTexts(historyFile());
    ASSERT_EQ(expected.size(), 12u);
    for (const bool pausedBeforeTheRead : {false, true}) {
        SCOPED_TRACE(pausedBeforeTheRead ? "paused before the read" : "changed under the read");
        const QByteArray whole = readFile(historyFile());
        // Half of it written over the file, the rest when the start reads it again.
        QFile inPlace(historyFile());
        const auto writeHalf = [&] {
            ASSERT_TRUE(inPlace.open(QIODevice::ReadWrite | QIODevice::Truncate));
            inPlace.write(whole.left(whole.size() / 2));
            inPlace.flush();
        };
        int reads = 0;
        if (pausedBeforeTheRead) writeHalf();
        ClipboardHistoryStore::setLoadCheckpointForTesting([&](qint64 bytesRead, const std::function<bool()>&) {
            if (bytesRead != 0) return;
            if (++reads == 1) {
                if (!pausedBeforeTheRead) writeHalf();
            } else if (inPlace.isOpen()) {
                inPlace.write(whole.mid(whole.size() / 2));
                inPlace.close();
            }
        });
        second.reset();
        startSecond();
        ClipboardHistoryStore::setLoadCheckpointForTesting({});
        EXPECT_GE(reads, 2);
        EXPECT_TRUE(QDir(folder).entryList({"history.json.damaged-*"}, QDir::Files).isEmpty());
        EXPECT_FALSE(second->historyFileWasDamaged());
        EXPECT_EQ(secondTexts().size(), expected.size());
        const QString copied = pausedBeforeTheRead ? "second" : "first";
        copyOnSecond(copied);
        expected.insert(expected.begin() + 2, copied);
        EXPECT_EQ(fileTexts(historyFile()), expected);
        copyOnFirst(copied + " here");
        expected.insert(expected.begin() + 2, copied + " here");
        EXPECT_EQ(fileTexts(historyFile()), expected);
    }
}

// The history folder made a link to a folder of the user's own while both run, then the link
// pointed at another such folder: each save follows it where it leads now, and each display takes
// in the other's saves there. A link to nothing keeps the copies in memory, says so (again at
// quit), and the next save where the link leads somewhere of the user's again writes them.
TEST_F(ClipboardTwoInstances, AHistoryFolderMadeALinkWhileRunningIsFollowedWhereverItLeadsNow) {
    start();
    copyOnFirst("a");
    startSecond();
    const auto linkTo = [&](const QString& target) {
        // Put in place by a rename, as `ln -sfn` does.
        QFile::remove(folder + "-link");
        ASSERT_TRUE(QFile::link(target, folder + "-link"));
        ASSERT_EQ(::rename(QFile::encodeName(folder + "-link").constData(), QFile::encodeName(folder).constData()), 0);
    };
    const QString mine = dir.path() + "/MyHistory", other = dir.path() + "/OtherHistory";
    ASSERT_TRUE(QDir().rename(folder, mine));
    linkTo(mine);
    copyOnFirst("b");
    EXPECT_EQ(fileTexts(mine + "/history.json"), (std::vector<QString>{"b", "a"}));
    bothShow({"b", "a"});

    ASSERT_TRUE(QDir().mkdir(other));
    linkTo(other);
    copyOnSecond("c");
    EXPECT_EQ(fileTexts(other + "/history.json"), (std::vector<QString>{"c", "b", "a"}));
    bothShow({"c", "b", "a"});
    copyOnFirst("d");
    EXPECT_EQ(fileTexts(other + "/history.json"), (std::vector<QString>{"d", "c", "b", "a"}));
    EXPECT_EQ(fileTexts(mine + "/history.json"), (std::vector<QString>{"b", "a"}));
    // An image stored where the link leads now is our own: it is pasted, and removed with its entry.
    const QByteArray png = pngBytes(6, 6);
    copyImage(png);
    settleBoth();
    const ClipboardItem image = manager->history()[0];
    ASSERT_TRUE(image.imagePath && image.imagePath->startsWith(other + "/Images/"));
    pasteboard.simulateCopyText("the user's clipboard");
    manager->paste(image);
    EXPECT_EQ(pasteboard.data(PasteboardType::png), std::optional<QByteArray>(png));
    ASSERT_TRUE(TestSupport::waitFor([&] { return !manager->isPasting(); }, 2000));
    manager->removeItem(image.id);
    bothShow({"d", "c", "b", "a"});
    EXPECT_TRUE(imageFiles(other).isEmpty());

    LogCapture log;
    linkTo(dir.path() + "/nowhere");
    copyOnFirst("e");
    EXPECT_EQ(log.matching({"The history is not saved", "is a link to nothing"}).size(), 1)
        << qPrintable(log.all().join('\n'));
    linkTo(other);
    copyOnFirst("f");
    EXPECT_EQ(fileTexts(other + "/history.json"), (std::vector<QString>{"f", "e", "d", "c", "b", "a"}));
    linkTo(dir.path() + "/nowhere");
    copyOnFirst("g");
    manager.reset();
    EXPECT_EQ(log.matching({"The history is not saved (7 entries)", "is a link to nothing"}).size(), 2)
        << qPrintable(log.all().join('\n'));
}

// A limit raised on one display is the one the other keeps its history to at its next copy.
TEST_F(ClipboardTwoInstances, ALimitRaisedOnOneHoldsOnTheOther) {
    const QString settingsFile = dir.path() + "/settings.json";
    firstSettings = std::make_unique<UserDefaults>(settingsFile);
    secondSettings = std::make_unique<UserDefaults>(settingsFile);
    ClipboardSettings(*firstSettings).maxItems.set(5);
    manager = std::make_unique<ClipboardManager>(pasteboard, *firstSettings, folder);
    startSecond(secondSettings.get());
    second->applyHistoryLimit(10);
    for (const char* text : {"a", "b", "c", "d", "e", "f", "g", "h"}) copyOnSecond(text);
    ASSERT_EQ(second->history().size(), 8u);

    const ClipboardSettings firstLimit(*firstSettings);
    EXPECT_TRUE(TestSupport::waitFor([&] { return firstLimit.maxItems.value() == 10 && texts().size() >= 5; }, 2000));
    copyOnFirst("i");
    EXPECT_TRUE(TestSupport::waitFor([&] { return second->history().size() == 9; }, 2000)) << second->history().size();
    EXPECT_EQ(texts().size(), 9u);
    EXPECT_EQ(fileTexts(historyFile()).size(), 9u);
    EXPECT_EQ(UserDefaults(settingsFile).integerValue("maxClipboardItems"), 10);

    // Raised again and copied past the old limit there: a copy here before the folder's change
    // shows keeps them all.
    second->applyHistoryLimit(15);
    for (const char* text : {"j", "k", "l", "m"}) copyOnSecond(text);
    ASSERT_EQ(second->history().size(), 13u);
    copyOnFirst("n");
    EXPECT_EQ(fileTexts(historyFile()).size(), 14u);
    EXPECT_EQ(firstLimit.maxItems.value(), 15);
}

// A pin taken in from the other display while five are pinned here is unpinned: five at most.
TEST_F(ClipboardTwoInstances, APinTakenInBeyondFiveIsUnpinned) {
    ClipboardHistoryStore here(folder), there(folder);
    const QDateTime now = QDateTime::currentDateTimeUtc();
    std::vector<ClipboardItem> items;
    for (int i = 0; i < 6; ++i)
        items.push_back(ClipboardItem::make(ClipboardContent::text(QString(QChar('a' + i))), now.addSecs(-i)));
    here.read(200, now);
    here.save(items, 200, {});
    here.waitUntilIdle();
    there.read(200, now);
    std::vector<ClipboardItem> theirs = items;
    theirs[5].isPinned = true;
    std::rotate(theirs.begin(), theirs.begin() + 5, theirs.end());
    there.save(theirs, 200, {});
    there.waitUntilIdle();
    for (int i = 0; i < 5; ++i) items[size_t(i)].isPinned = true;
    here.save(items, 200, {});
    here.waitUntilIdle();
    EXPECT_EQ(fileTexts(historyFile()), (std::vector<QString>{"a*", "b*", "c*", "d*", "e*", "f"}));
}

// While another instance holds the folder's lock (stopped, or on a slow disk), saves and a clear
// wait for it, the newest save pending, and are made, merged, once it lets go: nothing either
// saved is lost, and what it wrote back meanwhile does not undo the clear.
TEST_F(ClipboardTwoInstances, SavesAndAClearWaitForTheOthersLock) {
    start();
    copyOnFirst("a");
    startSecond();
    copyOnSecond("b");
    ASSERT_EQ(fileTexts(historyFile()), (std::vector<QString>{"b", "a"}));
    const QByteArray before = readFile(historyFile());
    {
        const FolderLock other(folder);
        ASSERT_TRUE(other.held());
        copyText("c");
        clock->advance(1.0);
        secondPasteboard.simulateCopy({{PasteboardType::string, QByteArray("d")}});
        second->checkClipboard();
        second->removeItem(idOf(*second, "a"));
        // Tried again meanwhile, and still nothing written.
        EXPECT_FALSE(TestSupport::waitFor([&] { return readFile(historyFile()) != before; }, 600));
    }
    settleBoth();
    EXPECT_EQ(fileTexts(historyFile()), (std::vector<QString>{"d", "c", "b"}));
    EXPECT_TRUE(TestSupport::waitFor([&] { return texts() == std::vector<QString>{"d", "c", "b"}; }, 2000));

    const QByteArray beforeClear = readFile(historyFile());
    {
        const FolderLock other(folder);
        manager->clear();
        EXPECT_FALSE(TestSupport::waitFor([&] { return isCleared(historyFile()); }, 600));
        // The other's save, slow to end, writes back the list it read before the clear.
        ASSERT_TRUE(writeFile(historyFile(), beforeClear));
    }
    settleBoth();
    EXPECT_TRUE(isCleared(historyFile()));
    copyOnSecond("e");
    copyOnFirst("f");
    EXPECT_EQ(fileTexts(historyFile()), (std::vector<QString>{"f", "e"}));

    // Only where the file system keeps no locks is the file written without one; what was written
    // so is not taken for what both agreed on, so a save of the other's that did not see it takes
    // nothing away.
    {
        const NoLocksFolder noLocks(folder, EOPNOTSUPP);
        const QByteArray seenByOther = readFile(historyFile());
        copyOnFirst("g");
        ASSERT_EQ(fileTexts(historyFile()), (std::vector<QString>{"g", "f", "e"}));
        ASSERT_TRUE(writeFile(historyFile(), seenByOther));
        copyOnFirst("h");
    }
    EXPECT_EQ(fileTexts(historyFile()), (std::vector<QString>{"h", "g", "f", "e"}));

    // Quitting while another instance holds on waits a bounded time and says what was not saved.
    LogCapture log;
    {
        ClipboardHistoryStore quitting(folder);
        const FolderLock other(folder);
        quitting.save({ClipboardItem::make(ClipboardContent::text("late"), QDateTime::currentDateTimeUtc())});
        quitting.stopWaitingAfter(50);
        quitting.waitUntilIdle();
    }
    EXPECT_EQ(log.matching({"history is not saved", "1 entries"}).size(), 1) << qPrintable(log.all().join('\n'));
    EXPECT_EQ(fileTexts(historyFile()), (std::vector<QString>{"h", "g", "f", "e"}));
}

namespace {

// A third process (a stopped instance, a slow disk) that takes the folder's lock, copies the
// shared files aside, and when told writes back what it read and lets go. It tells which files
// changed while it held the lock.
class LockHolder {
public:
    LockHolder(const QString& folder, const QStringList& files) {
        const QString script = QStringLiteral(
            "cd \"$1\" || exit 1; shift; held=\"$1\"; shift\n"
            "for f; do if [ -e \"$f\" ]; then cp -p \"$f\" \"$held/$f\"; fi; done\n"
            "echo held; read go\n"
            "for f; do\n"
            "  if [ -e \"$held/$f\" ]; then\n"
            "    cmp -s \"$f\" \"$held/$f\" || echo \"written meanwhile: $f\"\n"
            "    cp -p \"$held/$f\" \"$f.back\" && mv -f \"$f.back\" \"$f\"\n"
            "  elif [ -e \"$f\" ]; then echo \"written meanwhile: $f\"; fi\n"
            "done\n");
        process_.start("flock", QStringList{folder, "sh", "-c", script, "sh", folder, held_.path()} + files);
    }
    ~LockHolder() {
        if (process_.state() != QProcess::NotRunning) {
            process_.kill();
            process_.waitForFinished();
        }
    }
    bool waitUntilHeld() {
        return TestSupport::waitFor([&] { return output().contains("held\n"); }, 5000);
    }
    // Writes back what it read and lets go; what it saw is in output().
    bool writeBackAndLetGo() {
        process_.write("go\n");
        return TestSupport::waitFor([&] { return process_.state() == QProcess::NotRunning; }, 5000) &&
               process_.exitStatus() == QProcess::NormalExit && process_.exitCode() == 0;
    }
    QString output() {
        output_ += QString::fromUtf8(process_.readAllStandardOutput() + process_.readAllStandardError());
        return output_;
    }

private:
    QTemporaryDir held_;
    QProcess process_;
    QString output_;
};

QStringList snippetTitles(const QString& folder) {
    QStringList titles;
    const SnippetStore store(folder);
    for (const Snippet& snippet : store.snippets()) titles << snippet.title;
    titles.sort();
    return titles;
}

}  // namespace

// Two instances' history, settings and snippets in one folder, beside a third process that holds
// the folder's lock for seconds and then writes back what it read: neither instance writes while it
// holds the lock, the GUI thread never waits for it, nothing either saved meanwhile is lost, and
// nothing removed or cleared comes back.
TEST_F(ClipboardTwoInstances, GuiThreadAnswersWhileAThirdHoldsTheLockAndNothingIsLost) {
    const QString settingsName = QStringLiteral("com.pelwick.Quorvin.json");
    const QString settingsPath = folder + "/" + settingsName;
    const QStringList shared = {settingsName, "history.json", "snippets.json"};
    ASSERT_TRUE(writeFile(folder + "/snippets.json", SnippetStore::encode({{QUuid::createUuid(), "old", "", {}}})));
    UserDefaults settingsA(settingsPath), settingsB(settingsPath);
    SnippetStore snippetsA(folder), snippetsB(folder);
    auto a = std::make_unique<ClipboardManager>(pasteboard, settingsA, folder);
    auto b = std::make_unique<ClipboardManager>(secondPasteboard, settingsB, folder);
    QStringList did;  // what each side did, in order
    const auto copyOn = [&](const char* side, FakePasteboard& board, ClipboardManager& store, const QString& text) {
        did << QStringLiteral("%1 copies %2").arg(side, text);
        clock->advance(1.0);
        board.simulateCopy({{PasteboardType::string, text.toUtf8()}});
        store.checkClipboard();
    };
    const auto historyTexts = [&](const ClipboardManager& store) {
        QStringList list;
        for (const auto& item : store.history()) list << item.content.textValue();
        return list;
    };
    const auto fileList = [&] {
        QStringList list;
        for (const QString& text : fileTexts(historyFile())) list << text;
        return list;
    };
    const auto allWritten = [&] {
        return !settingsA.writePending() && !settingsB.writePending() && !snippetsA.savePending() &&
               !snippetsB.savePending();
    };
    const auto settle = [&] {
        for (ClipboardManager* store : {a.get(), b.get()}) store->waitForPendingWrites();
        QCoreApplication::processEvents();
    };
    copyOn("A", pasteboard, *a, "a0");
    settle();
    copyOn("B", secondPasteboard, *b, "b0");
    settingsA.setBool("fromA", true);
    settle();
    ASSERT_EQ(fileList(), QStringList({"b0", "a0"}));
    ASSERT_TRUE(TestSupport::waitFor([&] { return historyTexts(*a) == fileList(); }, 2000));
    double longestStall = 0;

    // The third holds the lock while both go on copying, ticking and adding.
    {
        LockHolder third(folder, shared);
        ASSERT_TRUE(third.waitUntilHeld()) << qPrintable(third.output());
        TestSupport::GuiStallMeter meter;
        QElapsedTimer holding;
        holding.start();
        copyOn("A", pasteboard, *a, "a1");
        copyOn("B", secondPasteboard, *b, "b1");
        did << "A ticks tickedOnA, B tickedOnB; A adds SA, B SB; A removes b0";
        settingsA.setBool("tickedOnA", true);
        settingsB.setBool("tickedOnB", true);
        snippetsA.add({QUuid::createUuid(), "SA", "", clock->now()});
        snippetsB.add({QUuid::createUuid(), "SB", "", clock->now()});
        a->removeItem(idOf(*a, "b0"));
        copyOn("B", secondPasteboard, *b, "b2");
        copyOn("A", pasteboard, *a, "a2");
        // Held for seconds, longer than any wait a save once had before going on without the lock,
        // and long enough that tries a quarter second apart at most are told from slower ones.
        EXPECT_TRUE(TestSupport::waitFor([&] { return holding.elapsed() > 3000; }, 4000));
        EXPECT_TRUE(settingsA.writePending() && settingsB.writePending() && snippetsA.savePending() &&
                    snippetsB.savePending());
        longestStall = meter.longestMs();
        ASSERT_TRUE(third.writeBackAndLetGo()) << qPrintable(third.output());
        EXPECT_FALSE(third.output().contains("written meanwhile")) << qPrintable(third.output());
    }
    EXPECT_LT(longestStall, 100);
    // Each tried again a quarter second after the last try at most.
    ASSERT_TRUE(TestSupport::waitFor(
        [&] { return allWritten() && fileList().contains("a2") && fileList().contains("b2"); }, 1500));
    settle();
    EXPECT_EQ(fileList().join(",").toStdString(), "a2,b2,b1,a1,a0")
        << qPrintable(did.join('\n') + "\nA: " + historyTexts(*a).join(',') + "\nB: " + historyTexts(*b).join(','));
    EXPECT_TRUE(TestSupport::waitFor([&] { return historyTexts(*b) == fileList(); }, 2000))
        << qPrintable(historyTexts(*b).join(','));
    const UserDefaults settingsOnDisk(settingsPath);
    for (const char* key : {"fromA", "tickedOnA", "tickedOnB"})
        EXPECT_EQ(settingsOnDisk.boolValue(key), true) << key << qPrintable(did.join('\n'));
    EXPECT_EQ(snippetTitles(folder), QStringList({"SA", "SB", "old"})) << qPrintable(did.join('\n'));

    // Again, while one clears the history, removes a setting and a snippet: what the third writes
    // back does not bring any of them back.
    {
        LockHolder third(folder, shared);
        ASSERT_TRUE(third.waitUntilHeld()) << qPrintable(third.output());
        TestSupport::GuiStallMeter meter;
        QElapsedTimer holding;
        holding.start();
        did << "A clears"
            << "B removes tickedOnA"
            << "A removes old";
        a->clear();
        settingsB.remove("tickedOnA");
        for (const Snippet& snippet : snippetsA.snippets())
            if (snippet.title == "old") snippetsA.remove(snippet);
        EXPECT_TRUE(TestSupport::waitFor([&] { return holding.elapsed() > 3000; }, 4000));
        longestStall = meter.longestMs();
        ASSERT_TRUE(third.writeBackAndLetGo()) << qPrintable(third.output());
        EXPECT_FALSE(third.output().contains("written meanwhile")) << qPrintable(third.output());
    }
    EXPECT_LT(longestStall, 100);
    ASSERT_TRUE(TestSupport::waitFor([&] { return allWritten() && isCleared(historyFile()); }, 1500));
    settle();
    EXPECT_TRUE(isCleared(historyFile()));
    copyOn("B", secondPasteboard, *b, "b3");
    settle();
    copyOn("A", pasteboard, *a, "a3");
    settle();
    EXPECT_EQ(fileList().join(",").toStdString(), "a3,b3") << qPrintable(did.join('\n'));
    EXPECT_TRUE(TestSupport::waitFor(
        [&] {
            return historyTexts(*b) == QStringList({"a3", "b3"});
        },
        2000))
        << qPrintable(historyTexts(*b).join(','));
    const UserDefaults settingsAfter(settingsPath);
    EXPECT_FALSE(settingsAfter.contains("tickedOnA"));
    EXPECT_EQ(settingsAfter.boolValue("tickedOnB"), true);
    EXPECT_EQ(snippetTitles(folder), QStringList({"SA", "SB"}));
    b.reset();
    a.reset();
}

namespace {

// Where the quitting helper keeps its settings, snippets and history, each in a folder of its own.
const char* kQuitFolderVariable = "QUORVIN_TEST_QUIT_FOLDER";

}  // namespace

// Not a test of its own: an instance that, once told, changes its settings, snippets and history
// while another holds each folder's lock, quits, and says how long quitting took.
class ClipboardQuitHelper : public ClipboardStoreTest {};

TEST_F(ClipboardQuitHelper, QuitsWithASaveOfEachStorePending) {
    const QString root = qEnvironmentVariable(kQuitFolderVariable);
    if (root.isEmpty()) GTEST_SKIP() << "helper for ClipboardTwoInstances.QuittingSharesOneWaitForTheOthersLocks";
    UserDefaults settings(root + "/Settings/settings.json");
    SnippetStore snippets(root + "/Snippets");
    manager = std::make_unique<ClipboardManager>(pasteboard, settings, root + "/History");
    manager->waitForPendingWrites();
    printf("ready\n");
    fflush(stdout);
    std::string go;
    std::getline(std::cin, go);
    settings.setBool("ticked", true);
    snippets.add({QUuid::createUuid(), "S", "", clock->now()});
    copyText("late");
    ASSERT_TRUE(settings.writePending() && snippets.savePending());
    QElapsedTimer quitting;
    quitting.start();
    QTimer::singleShot(0, qApp, &QCoreApplication::quit);
    QCoreApplication::exec();
    printf("quit in %lld ms\n", quitting.elapsed());
    fflush(stdout);
}

// Quitting while another instance holds the locks of the settings', snippets' and history's
// folders: the saves still pending share one wait of three seconds, then say what they did not save.
TEST_F(ClipboardTwoInstances, QuittingSharesOneWaitForTheOthersLocks) {
    const QString root = dir.path() + "/quitting";
    for (const char* name : {"Settings", "Snippets", "History"}) ASSERT_TRUE(QDir().mkpath(root + "/" + name));
    QProcess helper;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(kQuitFolderVariable, root);
    helper.setProcessEnvironment(env);
    helper.setProcessChannelMode(QProcess::MergedChannels);
    helper.start(QCoreApplication::applicationFilePath(), {"--gtest_filter=ClipboardQuitHelper.*"});
    QString output;
    const auto said = [&] { return output += QString::fromUtf8(helper.readAll()); };
    ASSERT_TRUE(TestSupport::waitFor([&] { return said().contains("ready\n"); }, 5000)) << qPrintable(output);
    {
        const FolderLock settings(root + "/Settings"), snippets(root + "/Snippets"), history(root + "/History");
        ASSERT_TRUE(settings.held() && snippets.held() && history.held());
        helper.write("go\n");
        const bool ended =
            TestSupport::waitFor([&] { return helper.state() == QProcess::NotRunning; }, FolderLock::quitWaitMs + 2000);
        said();
        if (!ended) helper.kill();
        ASSERT_TRUE(ended) << "quitting went on past the wait for the locks\n" << qPrintable(output);
    }
    const QRegularExpressionMatch quit = QRegularExpression("quit in (\\d+) ms").match(output);
    ASSERT_TRUE(quit.hasMatch()) << qPrintable(output);
    EXPECT_GE(quit.captured(1).toInt(), FolderLock::quitWaitMs - 100) << qPrintable(output);
    EXPECT_LE(quit.captured(1).toInt(), FolderLock::quitWaitMs + 250) << qPrintable(output);
    for (const char* notSaved : {"Settings file .* is not saved \\(ticked\\)", "snippets are not saved",
                                 "history is not saved \\(1 entries\\)"})
        EXPECT_TRUE(output.contains(QRegularExpression(notSaved))) << notSaved << "\n" << qPrintable(output);
}

// Another instance's save far past the limit (a restored backup, an older build), put in place by
// a rename, is taken in as a start reads it: held to the limit, with the pins a start keeps and
// each content once. The copies, removals and clears made after it reach the file a moment later.
TEST_F(ClipboardTwoInstances, ASaveFarPastTheLimitIsTakenInAsAStartReadsItAndLaterSavesGoOn) {
    defaults.setInteger("maxClipboardItems", 10);
    start();
    copyOnFirst("ours");
    const auto fileHolds = [&](const QString& text) {
        if (QFileInfo(historyFile()).size() > 64 * 1024) return false;  // not parsed at each look
        const std::vector<QString> saved = fileTexts(historyFile());
        return saved.size() <= 10 && std::find(saved.begin(), saved.end(), text) != saved.end();
    };

    // Taken in with no save here: the five first pins, then the other records a start keeps.
    ASSERT_TRUE(replaceFile(historyFile(), othersSaveFarPastTheLimit(2000, clock->now())));
    const std::vector<QString> takenIn = {"pin 0", "pin 1", "pin 2", "pin 3", "pin 4", "theirs 0", "theirs 1", "pin 5"};
    EXPECT_TRUE(TestSupport::waitFor([&] { return texts() == takenIn; }, 2000)) << texts().size() << " entries";
    EXPECT_EQ(manager->pinnedCount(), 5);

    copyText("mine");
    EXPECT_TRUE(TestSupport::waitFor([&] { return fileHolds("mine"); }, 2000));
    manager->removeItem(idOf(*manager, "theirs 0"));
    EXPECT_TRUE(TestSupport::waitFor([&] { return !fileHolds("theirs 0") && fileHolds("mine"); }, 2000));
    const std::vector<QString> saved = fileTexts(historyFile());
    EXPECT_EQ(QStringList(saved.begin(), saved.end()).join(',').toStdString(),
              "pin 0*,pin 1*,pin 2*,pin 3*,pin 4*,mine,theirs 1,pin 5");

    // Saved over again by the other, and copied here at once: the copy's save takes it in.
    ASSERT_TRUE(replaceFile(historyFile(), othersSaveFarPastTheLimit(2000, clock->now())));
    copyText("after");
    EXPECT_TRUE(TestSupport::waitFor([&] { return fileHolds("after") && fileHolds("pin 4*"); }, 2000))
        << fileTexts(historyFile()).size();
    manager->clear();
    EXPECT_TRUE(TestSupport::waitFor([&] { return isCleared(historyFile()); }, 2000));
    settleBoth();
    EXPECT_TRUE(manager->history().empty());
}

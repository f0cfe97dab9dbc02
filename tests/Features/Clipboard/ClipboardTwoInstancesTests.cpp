#include "ClipboardTestSupport.h"
#include "Source/Features/Clipboard/ClipboardHistoryStore.h"
#include "Source/Features/Clipboard/ClipboardSettings.h"

#include <QFile>

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

using namespace ClipboardTest;

namespace {

// The texts in the history file, in its order; a pinned one marked with a star.
std::vector<QString> fileTexts(const QString& path) {
    std::vector<QString> list;
    for (const QJsonValue& element : QJsonDocument::fromJson(readFile(path)).array())
        list.push_back(element.toObject()["value"].toString() + (element.toObject()["isPinned"].toBool() ? "*" : ""));
    return list;
}

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
        30000))
        << qPrintable(QStringList(secondTexts().begin(), secondTexts().end()).join(','));
    manager->removeItem(idOf(*manager, "h"));
    EXPECT_TRUE(TestSupport::waitFor([&] { return secondTexts() == std::vector<QString>{"i", "g"}; }, 30000));
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

// A clear on one display empties the other's list a moment after, and nothing cleared comes back
// through the other's next save.
TEST_F(ClipboardTwoInstances, AClearOnOneEmptiesTheOthersList) {
    start();
    copyOnFirst("a");
    copyOnFirst("b");
    startSecond();
    ASSERT_EQ(secondTexts(), (std::vector<QString>{"b", "a"}));
    manager->clear();
    EXPECT_TRUE(TestSupport::waitFor([&] { return second->history().empty(); }, 30000));
    copyOnSecond("c");
    EXPECT_EQ(fileTexts(historyFile()), (std::vector<QString>{"c"}));
}

// What a look at the history file finds when it is not there: a file cleared there holds nothing;
// one never saved, one that cannot be read or a folder gone or linked away leaves the entries here.
TEST_F(ClipboardTwoInstances, AMissingFileIsAnEmptyListOnlyWhenItWasCleared) {
    const QDateTime now = QDateTime::currentDateTimeUtc();
    const ClipboardItem x = ClipboardItem::make(ClipboardContent::text("x"), now);
    struct Row {
        const char* name;
        bool saved;
        std::function<void(const QString& folder)> change;
        bool emptied;
    };
    const std::vector<Row> rows = {
        {"cleared", true, [](const QString& f) { QFile::remove(f + "/history.json"); }, true},
        {"never saved", false, [](const QString&) {}, false},
        {"unreadable", true, [](const QString& f) { QFile::setPermissions(f + "/history.json", {}); }, false},
        {"folder gone", true, [](const QString& f) { QDir().rename(f, f + "-moved"); }, false},
        {"folder linked to nowhere", true,
         [](const QString& f) {
             QDir().rename(f, f + "-moved");
             QFile::link(f + "-nowhere", f);
         },
         false},
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
        }
        QCoreApplication::processEvents();
        EXPECT_EQ(merged.has_value(), row.emptied);
        if (merged) {
            EXPECT_TRUE(merged->empty());
        }
    }
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
    EXPECT_TRUE(TestSupport::waitFor([&] { return firstLimit.maxItems.value() == 10 && texts().size() >= 5; }, 30000));
    copyOnFirst("i");
    EXPECT_TRUE(TestSupport::waitFor([&] { return second->history().size() == 9; }, 30000)) << second->history().size();
    EXPECT_EQ(texts().size(), 9u);
    EXPECT_EQ(fileTexts(historyFile()).size(), 9u);
    EXPECT_EQ(UserDefaults(settingsFile).integerValue("maxClipboardItems"), 10);
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

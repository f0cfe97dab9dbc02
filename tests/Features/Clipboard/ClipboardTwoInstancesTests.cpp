#include "ClipboardTestSupport.h"
#include "Source/Features/Clipboard/ClipboardHistoryStore.h"

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
    void startSecond() {
        second = std::make_unique<ClipboardManager>(secondPasteboard, defaults, folder);
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

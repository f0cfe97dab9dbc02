#include "ClipboardTestSupport.h"

#include <QJsonArray>
#include <QJsonDocument>

using namespace ClipboardTest;

namespace {
qsizetype entriesOnDisk(const QString& path) { return QJsonDocument::fromJson(readFile(path)).array().size(); }
}  // namespace

using ClipboardLimit = ClipboardStoreTest;

TEST_F(ClipboardLimit, AChangedLimitTrimsAndSavesAtOnce) {
    start();
    for (int i = 0; i < 6; ++i) copyText(QString("t%1").arg(i));
    ASSERT_TRUE(manager->togglePin(manager->history()[5].id) == ClipboardManager::PinToggleResult::pinned);
    defaults.setInteger("maxClipboardItems", 3);  // another writer, not the manager
    EXPECT_EQ(texts(), (std::vector<QString>{"t0", "t5", "t4"}));
    manager->waitForPendingWrites();
    EXPECT_EQ(entriesOnDisk(historyFile()), 3);

    // The value read is what counts: a write that still reads as 3 trims nothing more.
    defaults.setDouble("maxClipboardItems", 3.7);
    EXPECT_EQ(manager->history().size(), 3u);
}

TEST_F(ClipboardLimit, ADamagedSettingsFileNeverCutsTheHistory) {
    defaults.setInteger("maxClipboardItems", 200);
    start();
    for (int i = 0; i < 180; ++i) copyText(QString::asprintf("entry %d", i));
    manager->waitForPendingWrites();
    ASSERT_EQ(entriesOnDisk(historyFile()), 180);
    manager.reset();

    const QString settingsPath = dir.path() + "/settings.json";
    ASSERT_TRUE(writeFile(settingsPath, "{\"maxClipboardItems\": 200, trailing"));
    UserDefaults damaged(settingsPath);
    ASSERT_TRUE(damaged.startedFromDamagedFile());
    manager = std::make_unique<ClipboardManager>(pasteboard, damaged, folder);
    manager->waitForPendingWrites();
    EXPECT_EQ(manager->history().size(), 180u);
    EXPECT_EQ(entriesOnDisk(historyFile()), 180);

    // New copies are kept and saved without dropping the old ones, and the reset's default is not
    // written as if the user had chosen it.
    copyText("after the reset");
    manager->waitForPendingWrites();
    EXPECT_EQ(entriesOnDisk(historyFile()), 181);
    EXPECT_FALSE(damaged.contains("maxClipboardItems"));

    // A limit the user sets in that session counts again.
    manager->applyHistoryLimit(150);
    manager->waitForPendingWrites();
    EXPECT_EQ(entriesOnDisk(historyFile()), 150);
    manager.reset();
}

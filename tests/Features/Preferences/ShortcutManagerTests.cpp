#include "Platform/X11/KeyCodes.h"
#include "Platform/Core/UserDefaults.h"
#include "Source/Features/Preferences/ShortcutManager.h"
#include "TestSupport.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSignalSpy>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

class ShortcutManagerTest : public ::testing::Test {
protected:
    QTemporaryDir dir;
    QString path() const { return dir.filePath("defaults.json"); }
};

}  // namespace

TEST_F(ShortcutManagerTest, FreshDefaultsGiveTheTwoDefaultBindings) {
    UserDefaults defaults(path());
    ShortcutManager manager(defaults);
    ASSERT_EQ(manager.bindings().size(), 2u);
    const HotkeyBinding& clip = manager.bindings()[0];
    EXPECT_EQ(clip.id, "clipboardHistory");
    EXPECT_EQ(clip.name, "Clipboard History");
    EXPECT_EQ(clip.keyCode, 9);
    EXPECT_EQ(clip.modifiers, 0x120000u);
    EXPECT_TRUE(clip.isEnabled);
    EXPECT_EQ(clip.modifierKeys(), (QStringList{"⇧", "⌘"}));
    const HotkeyBinding& reset = manager.bindings()[1];
    EXPECT_EQ(reset.id, "resetBrightness");
    EXPECT_EQ(reset.name, "Reset Brightness");
    EXPECT_EQ(reset.keyCode, 15);
    EXPECT_EQ(reset.modifiers, 0x1A0000u);
    EXPECT_EQ(reset.modifierKeys(), (QStringList{"⌥", "⇧", "⌘"}));
    // Reading alone stores nothing.
    EXPECT_FALSE(defaults.contains("hotkeyBindings"));
}

TEST_F(ShortcutManagerTest, UpdateSavesJsonThatTheNextLaunchReads) {
    {
        UserDefaults defaults(path());
        ShortcutManager manager(defaults);
        QSignalSpy changed(&manager, &ShortcutManager::bindingsChanged);
        manager.updateBinding("clipboardHistory", KeyCodes::kVK_ANSI_B, KeyCodes::maskControl | KeyCodes::maskAlternate);
        EXPECT_EQ(changed.count(), 1);
    }
    UserDefaults reread(path());
    auto data = reread.data("hotkeyBindings");
    ASSERT_TRUE(data.has_value());
    const QJsonArray array = QJsonDocument::fromJson(*data).array();
    ASSERT_EQ(array.size(), 2);
    const QJsonObject first = array[0].toObject();
    EXPECT_EQ(first.keys(), (QStringList{"id", "isEnabled", "keyCode", "modifiers", "name"}));
    EXPECT_EQ(first["keyCode"].toInt(), 11);
    EXPECT_EQ(first["modifiers"].toDouble(), double(0xC0000));

    ShortcutManager manager(reread);
    EXPECT_EQ(manager.bindings()[0].keyCode, 11);
    EXPECT_EQ(manager.bindings()[0].modifiers, 0xC0000u);
    EXPECT_EQ(manager.bindings()[0].modifierKeys(), (QStringList{"⌃", "⌥"}));
    EXPECT_EQ(manager.bindings()[1], ShortcutManager::defaults()[1]);
}

TEST_F(ShortcutManagerTest, DisableKeepsTheCombinationAndUpdateEnablesAgain) {
    UserDefaults defaults(path());
    ShortcutManager manager(defaults);
    manager.disableBinding("resetBrightness");
    EXPECT_FALSE(manager.bindings()[1].isEnabled);
    EXPECT_EQ(manager.bindings()[1].keyCode, 15);
    EXPECT_EQ(manager.bindings()[1].modifiers, 0x1A0000u);
    {
        ShortcutManager reloaded(defaults);
        EXPECT_FALSE(reloaded.bindings()[1].isEnabled);
    }
    manager.updateBinding("resetBrightness", 17, 0x20000);
    EXPECT_TRUE(manager.bindings()[1].isEnabled);
    EXPECT_EQ(manager.bindings()[1].keyCode, 17);
    EXPECT_EQ(manager.bindings()[1].modifierKeys(), QStringList{"⇧"});
}

TEST_F(ShortcutManagerTest, UnknownIdsChangeAndSaveNothing) {
    UserDefaults defaults(path());
    ShortcutManager manager(defaults);
    QSignalSpy changed(&manager, &ShortcutManager::bindingsChanged);
    manager.updateBinding("nope", 1, 0x100000);
    manager.disableBinding("nope");
    EXPECT_EQ(changed.count(), 0);
    EXPECT_FALSE(defaults.contains("hotkeyBindings"));
    EXPECT_EQ(manager.bindings(), ShortcutManager::defaults());
}

TEST_F(ShortcutManagerTest, DamagedValuesReadAsTheDefaults) {
    const QList<QByteArray> damaged{
        "not json at all",
        R"({"id":"clipboardHistory"})",
        R"([{"id":"clipboardHistory","name":"Clipboard History","keyCode":9,"modifiers":1179648}])",  // no isEnabled
        R"([{"id":"x","name":"X","keyCode":9,"modifiers":-1,"isEnabled":true}])",
        R"([{"id":"x","name":"X","keyCode":9.5,"modifiers":1179648,"isEnabled":true}])",
        R"([{"id":"x","name":"X","keyCode":"9","modifiers":1179648,"isEnabled":true}])",
        R"([{"id":"x","name":"X","keyCode":9,"modifiers":1179648,"isEnabled":"yes"}])",
        R"([{"id":"x","name":"X","keyCode":9,"modifiers":1e300,"isEnabled":true}])",
        R"([{"id":"ok","name":"OK","keyCode":9,"modifiers":1179648,"isEnabled":true}, 7])",
    };
    for (const QByteArray& bytes : damaged) {
        UserDefaults defaults(QString{});
        defaults.setData("hotkeyBindings", bytes);
        ShortcutManager manager(defaults);
        EXPECT_EQ(manager.bindings(), ShortcutManager::defaults()) << bytes.constData();
    }
    // A value of another type than data.
    UserDefaults defaults(QString{});
    defaults.set("hotkeyBindings", QJsonValue(42));
    ShortcutManager manager(defaults);
    EXPECT_EQ(manager.bindings(), ShortcutManager::defaults());
}

TEST_F(ShortcutManagerTest, AStoredListIsTakenAsItStands) {
    UserDefaults defaults(QString{});
    defaults.setData("hotkeyBindings",
                     R"([{"id":"resetBrightness","name":"Reset Brightness","keyCode":15,"modifiers":1703936,"isEnabled":false}])");
    ShortcutManager manager(defaults);
    ASSERT_EQ(manager.bindings().size(), 1u);
    EXPECT_EQ(manager.bindings()[0].id, "resetBrightness");
    EXPECT_FALSE(manager.bindings()[0].isEnabled);
}

TEST_F(ShortcutManagerTest, ResetToDefaultsIsSetAndSave) {
    UserDefaults defaults(path());
    ShortcutManager manager(defaults);
    manager.updateBinding("clipboardHistory", 1, 0x40000);
    manager.setBindings(ShortcutManager::defaults());
    manager.save();
    ShortcutManager reloaded(defaults);
    EXPECT_EQ(reloaded.bindings(), ShortcutManager::defaults());
}

TEST_F(ShortcutManagerTest, BindingsStoredByAnotherWriterAreTakenAtOnce) {
    UserDefaults defaults(QString{});
    ShortcutManager manager(defaults);
    ShortcutManager other(defaults);
    QSignalSpy changed(&manager, &ShortcutManager::bindingsChanged);
    other.disableBinding("resetBrightness");
    EXPECT_FALSE(manager.bindings()[1].isEnabled);
    EXPECT_EQ(changed.count(), 1);
    defaults.setString("hotkeyBindings", "***");  // damaged: the defaults again
    EXPECT_EQ(manager.bindings(), ShortcutManager::defaults());
    EXPECT_EQ(changed.count(), 2);
}

TEST(ShortcutManagerKeyNames, TheTableHas71NamesAndOthersReadKeyN) {
    int named = 0;
    for (int code = -5; code < 300; ++code) {
        if (!ShortcutManager::keyName(code).startsWith("Key")) ++named;
    }
    EXPECT_EQ(named, 71);
    EXPECT_EQ(ShortcutManager::keyName(0), "A");
    EXPECT_EQ(ShortcutManager::keyName(22), "6");
    EXPECT_EQ(ShortcutManager::keyName(23), "5");
    EXPECT_EQ(ShortcutManager::keyName(36), "↩");
    EXPECT_EQ(ShortcutManager::keyName(42), "\\");
    EXPECT_EQ(ShortcutManager::keyName(48), "⇥");
    EXPECT_EQ(ShortcutManager::keyName(49), "Space");
    EXPECT_EQ(ShortcutManager::keyName(50), QString(QChar(0x60)));
    EXPECT_EQ(ShortcutManager::keyName(51), "⌫");
    EXPECT_EQ(ShortcutManager::keyName(53), "⎋");
    EXPECT_EQ(ShortcutManager::keyName(122), "F1");
    EXPECT_EQ(ShortcutManager::keyName(111), "F12");
    EXPECT_EQ(ShortcutManager::keyName(113), "F15");
    EXPECT_EQ(ShortcutManager::keyName(126), "↑");
    EXPECT_EQ(ShortcutManager::keyName(10), "Key10");
    EXPECT_EQ(ShortcutManager::keyName(52), "Key52");
    EXPECT_EQ(ShortcutManager::keyName(200), "Key200");
    // The names of letters match the key vocabulary.
    EXPECT_EQ(ShortcutManager::keyName(KeyCodes::kVK_ANSI_Q), "Q");
    EXPECT_EQ(ShortcutManager::keyName(KeyCodes::kVK_F5), "F5");
    EXPECT_EQ(ShortcutManager::keyName(KeyCodes::kVK_LeftArrow), "←");
}

TEST(HotkeyBindingModifiers, GlyphsFollowTheFixedOrderAndIgnoreOtherFlags) {
    HotkeyBinding binding;
    binding.modifiers = 0x1E0000 | KeyCodes::maskAlphaShift | KeyCodes::maskNumericPad | KeyCodes::maskFunction;
    EXPECT_EQ(binding.modifierKeys(), (QStringList{"⌃", "⌥", "⇧", "⌘"}));
    binding.modifiers = KeyCodes::maskCommand | KeyCodes::maskControl;
    EXPECT_EQ(binding.modifierKeys(), (QStringList{"⌃", "⌘"}));
    binding.modifiers = 0;
    EXPECT_TRUE(binding.modifierKeys().isEmpty());
}

#include "App/MerovaneApp.h"
#include "Platform/Core/UserDefaults.h"
#include "TestSupport.h"

#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <sys/stat.h>

TEST(LegacyMigration, CopiesMissingKeysOnceAndKeepsCurrentValues) {
    UserDefaults current(QString{}), legacy(QString{});
    legacy.setDouble("updateInterval", 10);
    legacy.setString("statusIcon", "symbol:cpu");
    legacy.setBool("menuBarPetEnabled", false);
    current.setString("statusIcon", "original");

    int asked = 0;
    auto legacyDomain = [&]() -> UserDefaults& {
        ++asked;
        return legacy;
    };
    EXPECT_EQ(MerovaneApp::migrateLegacyDefaults(current, legacyDomain), 2);
    EXPECT_EQ(asked, 1);
    EXPECT_EQ(current.doubleValue("updateInterval"), 10.0);
    EXPECT_EQ(current.string("statusIcon"), QString("original"));
    EXPECT_EQ(current.boolValue("menuBarPetEnabled"), false);
    EXPECT_EQ(current.boolValue("migratedLegacyDefaults"), true);

    // Only once: later legacy values and removed keys are not copied again.
    legacy.setString("panelGlassTone", "blue");
    current.remove("updateInterval");
    EXPECT_EQ(MerovaneApp::migrateLegacyDefaults(current, legacyDomain), 0);
    EXPECT_EQ(asked, 1);  // the former file is not read again once migrated
    EXPECT_FALSE(current.contains("panelGlassTone"));
    EXPECT_FALSE(current.contains("updateInterval"));
}

TEST(LegacyMigration, ADamagedSettingsFileIsNotFilledWithTheLegacyValues) {
    QTemporaryDir dir;
    const QString path = dir.filePath("settings.json");
    {
        QFile f(path);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("{\"maxClipboardItems\": 180, trailing");
    }
    UserDefaults current(path), legacy(QString{});
    legacy.setInteger("maxClipboardItems", 20);
    EXPECT_EQ(MerovaneApp::migrateLegacyDefaults(current, [&]() -> UserDefaults& { return legacy; }), 0);
    EXPECT_FALSE(current.contains("maxClipboardItems"));
    EXPECT_EQ(current.boolValue("migratedLegacyDefaults"), true);
}

TEST(LegacyMigration, ASettingsFileThatCannotBeReadIsNotMigratedInto) {
    QTemporaryDir dir;
    const QString path = dir.filePath("settings.json");
    ASSERT_EQ(::mkfifo(QFile::encodeName(path).constData(), 0600), 0);
    UserDefaults current(path), legacy(QString{});
    legacy.setInteger("maxClipboardItems", 20);
    EXPECT_EQ(MerovaneApp::migrateLegacyDefaults(current, [&]() -> UserDefaults& { return legacy; }), 0);
    EXPECT_FALSE(current.contains("maxClipboardItems"));
    EXPECT_FALSE(current.contains("migratedLegacyDefaults"));
}

#include "FailingFileWriter.h"
#include "Platform/Core/Bundle.h"
#include "Platform/Core/NotificationCenter.h"
#include "Platform/Core/UserDefaults.h"
#include "Platform/Desktop/LaunchAtLogin.h"
#include "Platform/System/SystemIdentity.h"
#include "Source/Features/System/SystemSettings.h"
#include "TestSupport.h"
#include "Views/Preferences/GeneralSettingsView.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFile>
#include <QLabel>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

namespace {

struct GeneralPane : ::testing::Test {
    QTemporaryDir home;
    LaunchAtLogin launch{home.path() + "/autostart", "/usr/bin/quorvin", FileWriter::shared()};

    void SetUp() override {
        UserDefaults::standard().remove("updateInterval");
        UserDefaults::standard().remove("groupTerminalProcesses");
    }
    void TearDown() override { SetUp(); }
};

void choose(QComboBox* picker, const QString& text) {
    const int index = picker->findText(text);
    ASSERT_GE(index, 0) << text.toStdString();
    picker->setCurrentIndex(index);
    emit picker->activated(index);
}

}  // namespace

TEST_F(GeneralPane, ShowsVersionSystemAndTheDefaults) {
    GeneralSettingsView pane(SystemSettings::shared(), launch);
    EXPECT_EQ(pane.versionLabel()->text(),
              "Version " + Bundle::main().version() + " (" + Bundle::main().build() + ")");
    EXPECT_EQ(pane.systemLabel()->text(), SystemIdentity::current().nameAndVersion());
    EXPECT_FALSE(pane.systemLabel()->text().startsWith("macOS"));

    QStringList options;
    for (int i = 0; i < pane.intervalPicker()->count(); ++i) options << pane.intervalPicker()->itemText(i);
    EXPECT_EQ(options, (QStringList{"1s", "2s", "5s", "10s"}));
    EXPECT_EQ(pane.intervalPicker()->currentText(), "2s");
    EXPECT_FALSE(pane.groupTerminalToggle()->isChecked());
    EXPECT_FALSE(pane.launchAtLoginToggle()->isChecked());
}

TEST_F(GeneralPane, TheUpdateFrequencyIsStoredBeforeItsNotification) {
    GeneralSettingsView pane(SystemSettings::shared(), launch);
    QObject context;
    std::vector<double> storedWhenPosted;
    NotificationCenter::defaultCenter().observe(Notification::updateIntervalDidChange, &context, [&](const QVariant&) {
        storedWhenPosted.push_back(UserDefaults::standard().doubleValue("updateInterval").value_or(-1));
    });
    choose(pane.intervalPicker(), "5s");
    EXPECT_EQ(UserDefaults::standard().doubleValue("updateInterval"), 5.0);
    EXPECT_EQ(storedWhenPosted, std::vector<double>{5.0});
    choose(pane.intervalPicker(), "5s");  // the same choice again is no change
    EXPECT_EQ(storedWhenPosted.size(), 1u);

    // Grouping is stored and posts nothing; a change from elsewhere shows at once.
    pane.groupTerminalToggle()->click();
    EXPECT_EQ(UserDefaults::standard().boolValue("groupTerminalProcesses"), true);
    EXPECT_EQ(storedWhenPosted.size(), 1u);
    SystemSettings::shared().updateInterval.set(UpdateInterval::slow);
    EXPECT_EQ(pane.intervalPicker()->currentText(), "10s");
    SystemSettings::shared().groupTerminalProcesses.set(false);
    EXPECT_FALSE(pane.groupTerminalToggle()->isChecked());
}

TEST_F(GeneralPane, LaunchAtLoginFollowsTheAutostartEntry) {
    {
        GeneralSettingsView pane(SystemSettings::shared(), launch);
        pane.launchAtLoginToggle()->click();
        EXPECT_TRUE(pane.launchAtLoginToggle()->isChecked());
        EXPECT_TRUE(launch.isEnabled());
        EXPECT_TRUE(QFile::exists(home.path() + "/autostart/com.pelwick.Quorvin.desktop"));
        pane.launchAtLoginToggle()->click();
        EXPECT_FALSE(pane.launchAtLoginToggle()->isChecked());
        EXPECT_FALSE(launch.isEnabled());
    }
    {
        // Refused by the system: the switch falls back to off.
        FailingFileWriter writer;
        LaunchAtLogin failing(home.path() + "/autostart", "/usr/bin/quorvin", writer);
        writer.failPathsContaining("autostart");
        GeneralSettingsView pane(SystemSettings::shared(), failing);
        pane.launchAtLoginToggle()->click();
        EXPECT_FALSE(pane.launchAtLoginToggle()->isChecked());
        EXPECT_FALSE(failing.isEnabled());
    }
    {
        // Changed behind the pane's back: read again each time the pane is shown.
        GeneralSettingsView pane(SystemSettings::shared(), launch);
        ASSERT_FALSE(launch.setEnabled(true).has_value());
        EXPECT_FALSE(pane.launchAtLoginToggle()->isChecked());
        pane.show();
        EXPECT_TRUE(pane.launchAtLoginToggle()->isChecked());
    }
}

#include "FailingFileWriter.h"
#include "Platform/Core/Bundle.h"
#include "Platform/Core/NotificationCenter.h"
#include "Platform/Core/UserDefaults.h"
#include "Platform/Desktop/LaunchAtLogin.h"
#include "Platform/Files/NativePath.h"
#include "Platform/System/SystemIdentity.h"
#include "Source/Features/System/SystemSettings.h"
#include "Source/Features/Updates/UpdateManager.h"
#include "Source/Features/Updates/UpdateSettings.h"
#include "TestSupport.h"
#include "UpdateTestSupport.h"
#include "Views/Preferences/GeneralSettingsView.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFile>
#include <QLabel>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

#include <sys/stat.h>

namespace {

using Kind = UpdateManager::State::Kind;

struct GeneralPane : ::testing::Test {
    QTemporaryDir home;
    LaunchAtLogin launch{home.path() + "/autostart", "/usr/bin/quorvin", FileWriter::shared()};
    UserDefaults updateDefaults{QString()};
    UpdateSettings updateSettings{updateDefaults};
    std::unique_ptr<UpdateManager> updates = updater("https://127.0.0.1:1/appcast.json");
    int changelogs = 0;

    // An updater of an installed build 10 whose feed is at url.
    std::unique_ptr<UpdateManager> updater(const QString& url) {
        UpdateTestSupport::writeBundle(home.filePath("app/Quorvin.app"), {});
        UpdateManager::Environment env;
        env.bundle = Bundle::forExecutable(home.filePath("app/Quorvin.app/bin/quorvin"));
        env.changelogPath = home.filePath("Changelog.json");
        env.cachePath = home.filePath("feed.json");
        env.feedURL = url;
        env.defaults = &updateDefaults;
        env.terminate = [] {};
        return std::make_unique<UpdateManager>(env);
    }
    std::unique_ptr<GeneralSettingsView> pane(LaunchAtLogin& launchAtLogin) {
        return std::make_unique<GeneralSettingsView>(SystemSettings::shared(), launchAtLogin, *updates, updateSettings,
                                                     [this] { ++changelogs; });
    }
    std::unique_ptr<GeneralSettingsView> pane() { return pane(launch); }

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
    auto view = pane();
    GeneralSettingsView& pane = *view;
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
    EXPECT_TRUE(pane.autoInstallToggle()->isChecked());
    EXPECT_EQ(pane.updateStatusLabel()->text(), "Updates");
}

TEST_F(GeneralPane, TheUpdateFrequencyIsStoredBeforeItsNotification) {
    auto view = pane();
    GeneralSettingsView& pane = *view;
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
        auto view = pane();
        GeneralSettingsView& pane = *view;
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
        auto view = this->pane(failing);
        GeneralSettingsView& pane = *view;
        pane.launchAtLoginToggle()->click();
        EXPECT_FALSE(pane.launchAtLoginToggle()->isChecked());
        EXPECT_FALSE(failing.isEnabled());
        EXPECT_TRUE(pane.launchAtLoginNotice()->isHidden());
    }
    {
        // A folder no login entry can name: refused, and said, since moving the app is what helps.
        LaunchAtLogin unnamable(home.path() + "/autostart", NativePath::decode("/opt/x-\xe9/bin/quorvin"),
                                FileWriter::shared());
        auto view = this->pane(unnamable);
        GeneralSettingsView& pane = *view;
        EXPECT_TRUE(pane.launchAtLoginNotice()->isHidden());
        pane.launchAtLoginToggle()->click();
        EXPECT_FALSE(pane.launchAtLoginToggle()->isChecked());
        EXPECT_FALSE(unnamable.isEnabled());
        EXPECT_FALSE(pane.launchAtLoginNotice()->isHidden());
        EXPECT_TRUE(pane.launchAtLoginNotice()->text().startsWith("Quorvin can’t start at login from this folder"));
    }
    {
        // Changed behind the pane's back: read again each time the pane is shown.
        auto view = pane();
        GeneralSettingsView& pane = *view;
        ASSERT_FALSE(launch.setEnabled(true).has_value());
        EXPECT_FALSE(pane.launchAtLoginToggle()->isChecked());
        pane.show();
        EXPECT_TRUE(pane.launchAtLoginToggle()->isChecked());
    }
}

TEST_F(GeneralPane, SaysWhenTheSettingsFileCouldNotBeRead) {
    EXPECT_EQ(pane()->unreadableSettingsLabel(), nullptr);

    const QString path = home.filePath("settings.json");
    ASSERT_EQ(::mkfifo(QFile::encodeName(path).constData(), 0600), 0);
    UserDefaults unreadable(path);
    SystemSettings settings(unreadable);
    GeneralSettingsView view(settings, launch, *updates, updateSettings, [] {});
    ASSERT_NE(view.unreadableSettingsLabel(), nullptr);
    EXPECT_EQ(view.unreadableSettingsLabel()->text(),
              "The settings could not be read and will not be saved until the file is readable (" + path +
                  ": is not a regular file).");
}

TEST(GeneralSettingsView, UpdateStatusTexts) {
    using State = UpdateManager::State;
    EXPECT_EQ(GeneralSettingsView::updateStatus(State::idle()), "Updates");
    EXPECT_EQ(GeneralSettingsView::updateStatus(State::checking()), "Checking…");
    EXPECT_EQ(GeneralSettingsView::updateStatus(State::upToDate()), "You’re up to date");
    EXPECT_EQ(GeneralSettingsView::updateStatus(State::available("2.1")), "Version 2.1 is available");
    EXPECT_EQ(GeneralSettingsView::updateStatus(State::installing()), "Installing…");
    EXPECT_EQ(GeneralSettingsView::updateStatus(State::failed("Couldn’t reach the update server.")),
              "Couldn’t reach the update server.");
}

TEST_F(GeneralPane, TheUpdateRowFollowsTheUpdater) {
    auto view = pane();
    view->show();
    EXPECT_TRUE(view->installButton()->isHidden());
    ASSERT_TRUE(view->checkButton()->isEnabled());

    // A check that cannot reach the server.
    view->checkButton()->click();
    EXPECT_EQ(view->updateStatusLabel()->text(), "Checking…");
    EXPECT_FALSE(view->checkButton()->isEnabled());
    ASSERT_TRUE(TestSupport::waitFor([&] { return updates->state().kind() == Kind::failed; }, 10000));
    EXPECT_EQ(view->updateStatusLabel()->text(), "Couldn’t reach the update server.");
    EXPECT_TRUE(view->checkButton()->isEnabled());
    EXPECT_TRUE(view->installButton()->isHidden());

    // A newer build: "Install and Restart" comes first, and installing greys out the check.
    UpdateTestSupport::TestHttpsServer server;
    ASSERT_TRUE(server.isListening());
    server.serve("/appcast.json",
                 {R"({"latest":{"version":"2.1","build":20,"url":"https://127.0.0.1:1/x.zip","signature":"c2ln",)"
                  R"("length":10},"releases":[{"version":"2.1","date":"May","notes":["New"]}]})"});
    updates = updater(server.url("/appcast.json").toString());
    updates->setSslConfiguration(server.clientConfiguration());
    view = pane();
    view->show();
    view->checkButton()->click();
    ASSERT_TRUE(TestSupport::waitFor([&] { return updates->state().kind() == Kind::available; }, 10000));
    EXPECT_EQ(view->updateStatusLabel()->text(), "Version 2.1 is available");
    ASSERT_FALSE(view->installButton()->isHidden());
    EXPECT_LT(view->installButton()->x(), view->checkButton()->x());
    view->resize(560, 640);
    TestSupport::spin(20);
    view->grab().save(QStringLiteral(QUORVIN_TEST_OUTPUT "/settings-general-update-available.png"));
    view->installButton()->click();
    EXPECT_EQ(view->updateStatusLabel()->text(), "Installing…");
    EXPECT_FALSE(view->checkButton()->isEnabled());
    EXPECT_TRUE(view->installButton()->isHidden());
    ASSERT_TRUE(TestSupport::waitFor([&] { return updates->state().kind() == Kind::failed; }, 10000));
    EXPECT_TRUE(view->checkButton()->isEnabled());
}

TEST_F(GeneralPane, AutomaticInstallsAndWhatsNew) {
    auto view = pane();
    view->autoInstallToggle()->click();
    EXPECT_EQ(updateDefaults.boolValue("autoInstallUpdates"), false);
    EXPECT_FALSE(updates->autoInstall());
    updateSettings.autoInstall.set(true);
    EXPECT_TRUE(view->autoInstallToggle()->isChecked());

    view->whatsNewButton()->click();
    EXPECT_EQ(changelogs, 1);
}

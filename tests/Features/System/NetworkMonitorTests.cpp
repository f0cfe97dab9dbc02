#include "Platform/Core/Clock.h"
#include "Platform/Core/UserDefaults.h"
#include "Source/Features/System/NetworkMonitor.h"
#include "Source/Features/System/SystemSettings.h"
#include "SystemTestSupport.h"

#include <QSignalSpy>
#include <QTemporaryDir>

#include <gtest/gtest.h>

TEST(NetworkMonitor, RatesOverPhysicalInterfacesSurviveAnInterfaceReset) {
    QTemporaryDir dir;
    ASSERT_TRUE(SystemFixtures::copyTree("linux-desktop", dir.path()));
    auto clock = std::make_shared<FakeClock>();
    Clock::setShared(clock);
    NetworkMonitor monitor(dir.path());
    QSignalSpy changed(&monitor, &NetworkMonitor::ratesChanged);
    monitor.sample();
    EXPECT_EQ(monitor.downloadRate(), -1);  // one reading is no rate
    EXPECT_EQ(changed.count(), 0);

    QFile::remove(dir.path() + "/proc/net/dev");
    ASSERT_TRUE(QFile::copy(SystemFixtures::path("net-reset/dev"), dir.path() + "/proc/net/dev"));
    clock->advance(2);
    monitor.sample();
    Clock::setShared(nullptr);
    // enp5s0's received counter went down: it adds nothing; wlp4s0 received 2 MiB, sent 1000 bytes
    // and enp5s0 sent 512 KiB; enp6s0 is new; lo and docker0 are virtual.
    EXPECT_DOUBLE_EQ(monitor.downloadRate(), 2097152.0 / 2);
    EXPECT_DOUBLE_EQ(monitor.uploadRate(), (524288.0 + 1000) / 2);
    EXPECT_EQ(changed.count(), 1);
    EXPECT_EQ(NetworkMonitor::formatRate(monitor.downloadRate()), QStringLiteral("1.0 MB/s"));
    EXPECT_EQ(NetworkMonitor::formatRate(monitor.uploadRate()), QStringLiteral("256 KB/s"));
}

TEST(NetworkMonitor, DeltaIgnoresVirtualNewAndResetInterfaces) {
    std::unordered_map<std::string, NetworkMonitor::Counters> previous{{"eth0", {100, 100}}, {"wlan0", {500, 10}}};
    std::vector<NetDevReader::Interface> current{
        {"eth0", 150, 90, true}, {"wlan0", 700, 30, true}, {"usb0", 9999, 9999, true}, {"lo", 1, 1, false}};
    const auto moved = NetworkMonitor::delta(previous, current);
    EXPECT_EQ(moved.received, 250u);
    EXPECT_EQ(moved.sent, 20u);
}

TEST(NetworkMonitor, MachineWithoutPhysicalInterfacesReadsZero) {
    auto clock = std::make_shared<FakeClock>();
    Clock::setShared(clock);
    NetworkMonitor monitor(SystemFixtures::path("no-sensors"));
    monitor.sample();
    clock->advance(1);
    monitor.sample();
    Clock::setShared(nullptr);
    EXPECT_EQ(monitor.downloadRate(), 0);
    EXPECT_EQ(monitor.uploadRate(), 0);

    NetworkMonitor broken(SystemFixtures::path("does-not-exist"));
    broken.sample();
    broken.sample();
    EXPECT_EQ(broken.downloadRate(), -1);
}

TEST(NetworkMonitor, TimerFollowsTheUpdateInterval) {
    UserDefaults::standard().remove(SystemSettings::shared().updateInterval.key());
    NetworkMonitor monitor(SystemFixtures::path("linux-desktop"));
    monitor.start();
    EXPECT_TRUE(monitor.isRunning());
    EXPECT_EQ(monitor.timerInterval(), 2000);
    SystemSettings::shared().updateInterval.set(UpdateInterval::slow);
    EXPECT_EQ(monitor.timerInterval(), 10000);
    monitor.stop();
    EXPECT_FALSE(monitor.isRunning());
    UserDefaults::standard().remove(SystemSettings::shared().updateInterval.key());
}

TEST(NetworkMonitor, FollowsTheSettingsItIsGivenAndNoOthers) {
    UserDefaults store{QString()};
    SystemSettings settings{store};
    NetworkMonitor monitor(SystemFixtures::path("linux-desktop"));
    monitor.setSettings(settings);
    monitor.start();
    EXPECT_EQ(monitor.timerInterval(), 2000);
    SystemSettings::shared().updateInterval.set(UpdateInterval::slow);
    EXPECT_EQ(monitor.timerInterval(), 2000);
    settings.updateInterval.set(UpdateInterval::fast);
    EXPECT_EQ(monitor.timerInterval(), 1000);
    monitor.stop();
    UserDefaults::standard().remove(SystemSettings::shared().updateInterval.key());
}

#include "Platform/Core/Clock.h"
#include "Platform/Core/NotificationCenter.h"
#include "Platform/Core/UserDefaults.h"
#include "Source/Features/System/MetricArchive.h"
#include "Source/Features/System/NetworkMonitor.h"
#include "Source/Features/System/SystemSampler.h"
#include "Source/Features/System/SystemSettings.h"
#include "Source/Features/Widgets/WidgetManager.h"
#include "SystemTestSupport.h"
#include "TestSupport.h"

#include <QSignalSpy>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

class SamplerTest : public ::testing::Test {
protected:
    void SetUp() override {
        UserDefaults::standard().remove(SystemSettings::shared().updateInterval.key());
        ASSERT_TRUE(dir.isValid());
        root = dir.path() + "/root";
    }
    void TearDown() override { UserDefaults::standard().remove(SystemSettings::shared().updateInterval.key()); }

    // Runs one pass and waits for it to be published.
    static void pass(SystemSampler& sampler) {
        const int before = sampler.passCount();
        sampler.sample(true);
        ASSERT_TRUE(TestSupport::waitFor([&] { return sampler.passCount() > before; }));
    }
    void writeStat(int step) {
        // Each step adds 100 ticks per processor: processor i spends 10·i of them busy (user),
        // the total line 30 user, 10 system and 60 idle per 100.
        std::vector<std::array<quint64, 5>> cpus;
        for (quint64 i = 0; i < 8; ++i) {
            cpus.push_back({1000 + quint64(step) * 10 * i, 0, 500, 8000 + quint64(step) * (100 - 10 * i), 0});
        }
        const quint64 s = quint64(step);
        ASSERT_TRUE(SystemFixtures::writeFile(root + "/proc/stat",
                                              SystemFixtures::statText(cpus, {1000 + 240 * s, 0, 500 + 80 * s,
                                                                              8000 + 480 * s, 0})));
    }

    QTemporaryDir dir;
    QString root;
};

}  // namespace

TEST_F(SamplerTest, FirstPassReadsWhatNeedsNoHistoryThenCpuFollows) {
    ASSERT_TRUE(SystemFixtures::copyTree("linux-desktop", root));
    writeStat(0);
    SystemSampler sampler(root);
    QSignalSpy didSample(&sampler, &SystemSampler::didSample);
    EXPECT_EQ(sampler.cpu(), -1);
    EXPECT_EQ(sampler.memory(), -1);
    EXPECT_EQ(sampler.disk(), -1);

    pass(sampler);
    EXPECT_EQ(didSample.count(), 1);
    EXPECT_EQ(sampler.cpu(), -1);  // a load needs two readings
    EXPECT_TRUE(sampler.cpuHistory().empty());
    EXPECT_TRUE(sampler.cores().empty());
    EXPECT_DOUBLE_EQ(sampler.memory(), 75.0);
    EXPECT_GE(sampler.disk(), 0);
    EXPECT_EQ(sampler.gpu(), 37);
    EXPECT_EQ(sampler.gpuHistory(), std::vector<double>{37});
    EXPECT_EQ(sampler.temperature(), 52.375);
    EXPECT_EQ(sampler.temperatureAverage(), (52.375 + 48.5) / 2);
    EXPECT_EQ(sampler.gpuTemperature(), 60.0);
    EXPECT_EQ(sampler.gpuTemperatureAverage(), 52.0);
    EXPECT_EQ(sampler.temperatureHistory(), std::vector<double>{52.375});
    EXPECT_EQ(sampler.gpuTemperatureHistory(), std::vector<double>{60});
    EXPECT_EQ(sampler.fans(), (std::vector<SMC::Fan>{{1150, 3300}, {850, 6000}, {1200, 6000}, {0, 6000}}));
    ASSERT_EQ(sampler.fanHistory().size(), 4u);
    EXPECT_EQ(sampler.fanHistory()[0], std::vector<double>{1150});

    writeStat(1);
    pass(sampler);
    EXPECT_DOUBLE_EQ(sampler.cpu(), 40.0);
    EXPECT_DOUBLE_EQ(sampler.cpuUser(), 30.0);
    EXPECT_DOUBLE_EQ(sampler.cpuSystem(), 10.0);
    EXPECT_EQ(sampler.cpuHistory(), std::vector<double>{40});
    EXPECT_EQ(sampler.cpuSystemHistory(), std::vector<double>{10});
    ASSERT_EQ(sampler.cores().size(), 8u);
    EXPECT_EQ(sampler.cores()[3], (CoreUsage{3, CoreKind::performance, 4, 30}));
    EXPECT_EQ(sampler.coreHistory().at(5), std::vector<double>{50});
}

TEST_F(SamplerTest, UnreadableValuesKeepTheirLastReadingAndHistoriesStayClean) {
    ASSERT_TRUE(SystemFixtures::copyTree("linux-desktop", root));
    writeStat(0);
    SystemSampler sampler(root);
    pass(sampler);
    writeStat(1);
    pass(sampler);
    ASSERT_DOUBLE_EQ(sampler.cpu(), 40.0);

    QSignalSpy cpuChanged(&sampler, &SystemSampler::cpuChanged);
    QFile::remove(root + "/proc/stat");
    QFile::remove(root + "/proc/meminfo");
    QFile::remove(root + "/sys/class/drm/card0/device/gpu_busy_percent");
    QDir(root + "/sys/class/hwmon/hwmon0").removeRecursively();
    pass(sampler);
    EXPECT_DOUBLE_EQ(sampler.cpu(), 40.0);
    EXPECT_DOUBLE_EQ(sampler.memory(), 75.0);
    EXPECT_EQ(sampler.gpu(), 37);
    EXPECT_FALSE(sampler.temperature());  // its only CPU sensor chip is gone
    EXPECT_EQ(cpuChanged.count(), 0);
    EXPECT_EQ(sampler.cpuHistory().size(), 1u);
    EXPECT_EQ(sampler.gpuHistory().size(), 2u);
    EXPECT_EQ(sampler.temperatureHistory().size(), 2u);
    EXPECT_EQ(sampler.coreHistory().at(0).size(), 1u);
}

TEST_F(SamplerTest, SensorsThatStopReportingLeaveNoFrozenReading) {
    ASSERT_TRUE(SystemFixtures::copyTree("linux-desktop", root));
    auto clock = std::make_shared<FakeClock>();
    Clock::setShared(clock);
    MetricArchive archive(dir.path() + "/metrics.log");
    SystemSampler sampler(root, &archive);
    NetworkMonitor network(root);
    WidgetManager widgets(UserDefaults::standard(), sampler, network);
    writeStat(0);
    pass(sampler);
    writeStat(1);
    pass(sampler);
    ASSERT_EQ(sampler.temperature(), 52.375);
    ASSERT_EQ(sampler.gpuTemperature(), 60.0);
    ASSERT_EQ(sampler.fans().size(), 4u);
    EXPECT_EQ(widgets.value(WidgetType::temperature), "52°");

    // The GPU's driver puts it to sleep: its sensors are no longer read, the other chips still are.
    ASSERT_TRUE(SystemFixtures::writeFile(root + "/sys/class/hwmon/hwmon1/device/power/runtime_status", "suspended"));
    QSignalSpy gpuTemperatureChanged(&sampler, &SystemSampler::gpuTemperatureChanged);
    QSignalSpy fansChanged(&sampler, &SystemSampler::fansChanged);
    writeStat(2);
    pass(sampler);
    EXPECT_FALSE(sampler.gpuTemperature());
    EXPECT_FALSE(sampler.gpuTemperatureAverage());
    EXPECT_EQ(gpuTemperatureChanged.count(), 1);
    EXPECT_EQ(sampler.gpuTemperatureHistory().size(), 2u);  // readings taken stay in the history
    EXPECT_EQ(sampler.fans(), (std::vector<SMC::Fan>{{850, 6000}, {1200, 6000}, {0, 6000}, {640, 6000}}));
    EXPECT_EQ(fansChanged.count(), 1);
    ASSERT_EQ(sampler.fanHistory().size(), 4u);
    EXPECT_EQ(sampler.fanHistory()[0], (std::vector<double>{1150, 1150, 850}));  // the first fan now reads chip 2
    EXPECT_EQ(sampler.temperature(), 52.375);

    // Every sensor chip and thermal zone goes away.
    QDir(root + "/sys/class/hwmon").removeRecursively();
    QDir(root + "/sys/class/thermal").removeRecursively();
    clock->advance(30);
    writeStat(3);
    pass(sampler);
    EXPECT_FALSE(sampler.temperature());
    EXPECT_FALSE(sampler.temperatureAverage());
    EXPECT_FALSE(sampler.gpuTemperature());
    EXPECT_TRUE(sampler.fans().empty());
    EXPECT_TRUE(sampler.fanHistory().empty());
    EXPECT_EQ(sampler.temperatureHistory().size(), 3u);
    EXPECT_EQ(widgets.value(WidgetType::temperature), "—");
    EXPECT_EQ(sampler.gpu(), 37);  // the load keeps its last reading

    // Nor does the next pass bring back the last readings.
    writeStat(4);
    pass(sampler);
    EXPECT_FALSE(sampler.temperature());
    EXPECT_TRUE(sampler.fans().empty());
    EXPECT_EQ(sampler.temperatureHistory().size(), 3u);

    archive.waitUntilIdle();
    Clock::setShared(nullptr);
    QFile file(dir.path() + "/metrics.log");
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const auto samples = MetricArchive::parse(file.readAll());
    ASSERT_EQ(samples.size(), 2u);
    EXPECT_EQ(samples[0].temperature, 52.4);
    EXPECT_FALSE(samples[1].temperature) << "a vanished sensor is not logged";
}

TEST_F(SamplerTest, MachineWithoutSensorsPublishesNoTemperaturesFansOrGpu) {
    ASSERT_TRUE(SystemFixtures::copyTree("no-sensors", root));
    SystemSampler sampler(root);
    pass(sampler);
    pass(sampler);
    EXPECT_FALSE(sampler.temperature());
    EXPECT_FALSE(sampler.temperatureAverage());
    EXPECT_FALSE(sampler.gpuTemperature());
    EXPECT_TRUE(sampler.temperatureHistory().empty());
    EXPECT_TRUE(sampler.gpuTemperatureHistory().empty());
    EXPECT_TRUE(sampler.fans().empty());
    EXPECT_TRUE(sampler.fanHistory().empty());
    EXPECT_EQ(sampler.gpu(), -1);
    EXPECT_TRUE(sampler.gpuHistory().empty());
    EXPECT_DOUBLE_EQ(sampler.memory(), 50.0);
}

TEST_F(SamplerTest, HybridCoresAreClassifiedByTheirOwnKind) {
    ASSERT_TRUE(SystemFixtures::copyTree("intel-hybrid", root));
    SystemSampler sampler(root);
    pass(sampler);
    std::vector<std::array<quint64, 5>> cpus(16, {2000, 0, 250, 3750, 0});
    ASSERT_TRUE(SystemFixtures::writeFile(root + "/proc/stat",
                                          SystemFixtures::statText(cpus, {32000, 0, 4000, 60000, 0})));
    pass(sampler);
    ASSERT_EQ(sampler.cores().size(), 16u);
    EXPECT_EQ(sampler.cores()[0].kind, CoreKind::performance);
    EXPECT_EQ(sampler.cores()[8], (CoreUsage{8, CoreKind::efficiency, 1, 100}));
    EXPECT_EQ(sampler.temperature(), 61.0);
    EXPECT_EQ(sampler.fans(), (std::vector<SMC::Fan>{{2900, 6000}}));
}

TEST_F(SamplerTest, HistoriesKeepTheLast48Values) {
    ASSERT_TRUE(SystemFixtures::copyTree("linux-desktop", root));
    writeStat(0);
    SystemSampler sampler(root);
    pass(sampler);
    for (int step = 1; step <= 60; ++step) {
        writeStat(step);
        ASSERT_TRUE(SystemFixtures::writeFile(root + "/sys/class/drm/card0/device/gpu_busy_percent",
                                              QByteArray::number(step)));
        pass(sampler);
    }
    ASSERT_EQ(sampler.cpuHistory().size(), 48u);
    ASSERT_EQ(sampler.gpuHistory().size(), 48u);
    EXPECT_EQ(sampler.gpuHistory().front(), 13);  // 61 readings (37, 1..60): the oldest 13 dropped
    EXPECT_EQ(sampler.gpuHistory().back(), 60);
    EXPECT_EQ(sampler.cpuSystemHistory().size(), 48u);
    EXPECT_EQ(sampler.temperatureHistory().size(), 48u);
    EXPECT_EQ(sampler.gpuTemperatureHistory().size(), 48u);
    EXPECT_EQ(sampler.coreHistory().at(7).size(), 48u);
    for (const auto& history : sampler.fanHistory()) EXPECT_EQ(history.size(), 48u);

    std::vector<double> history;
    for (int i = 0; i < 100; ++i) SystemSampler::append(history, i);
    EXPECT_EQ(history.size(), 48u);
    EXPECT_EQ(history.front(), 52);
}

TEST_F(SamplerTest, PassesNeverOverlapAndAForcedRequestWaitsItsTurn) {
    ASSERT_TRUE(SystemFixtures::copyTree("linux-desktop", root));
    SystemSampler sampler(root);
    QSignalSpy didSample(&sampler, &SystemSampler::didSample);
    sampler.sample(false);
    sampler.sample(false);  // dropped: a pass is in flight
    sampler.sample(false);
    ASSERT_TRUE(TestSupport::waitFor([&] { return sampler.passCount() == 1; }));
    TestSupport::spin(50);
    EXPECT_EQ(sampler.passCount(), 1);
    EXPECT_EQ(didSample.count(), 1);

    sampler.sample(false);
    sampler.sample(true);  // waits for the pass in flight
    sampler.sample(true);  // the same waiting request
    ASSERT_TRUE(TestSupport::waitFor([&] { return sampler.passCount() == 3; }));
    TestSupport::spin(50);
    EXPECT_EQ(sampler.passCount(), 3);

    // A subscriber that asks for a pass while one is being published does not start a second one
    // over the readings still being read.
    int nested = 0;
    QObject::connect(&sampler, &SystemSampler::didSample, &sampler, [&] {
        ++nested;
        sampler.sample(false);
    });
    sampler.sample(false);
    ASSERT_TRUE(TestSupport::waitFor([&] { return sampler.passCount() == 4; }));
    TestSupport::spin(50);
    EXPECT_EQ(sampler.passCount(), 4);
    EXPECT_EQ(nested, 1);
}

TEST_F(SamplerTest, TimerFollowsTheUpdateInterval) {
    ASSERT_TRUE(SystemFixtures::copyTree("no-sensors", root));
    SystemSampler sampler(root);
    EXPECT_FALSE(sampler.isRunning());
    SystemSettings::shared().updateInterval.set(UpdateInterval::relaxed);  // not running: nothing to restart
    EXPECT_FALSE(sampler.isRunning());

    sampler.start();
    EXPECT_TRUE(sampler.isRunning());
    EXPECT_EQ(sampler.timerInterval(), 5000);
    ASSERT_TRUE(TestSupport::waitFor([&] { return sampler.passCount() == 1; }));  // start samples at once

    SystemSettings::shared().updateInterval.set(UpdateInterval::fast);
    EXPECT_EQ(sampler.timerInterval(), 1000);
    EXPECT_TRUE(sampler.isRunning());
    ASSERT_TRUE(TestSupport::waitFor([&] { return sampler.passCount() >= 2; }, 3000));  // the timer ticks

    SystemSettings::shared().updateInterval.set(UpdateInterval::slow);
    EXPECT_EQ(sampler.timerInterval(), 10000);
    sampler.stop();
    EXPECT_FALSE(sampler.isRunning());
}

TEST_F(SamplerTest, SamplesReachTheLogAtMostEvery30Seconds) {
    ASSERT_TRUE(SystemFixtures::copyTree("linux-desktop", root));
    auto clock = std::make_shared<FakeClock>();
    Clock::setShared(clock);
    MetricArchive archive(dir.path() + "/metrics.log");
    SystemSampler sampler(root, &archive);
    writeStat(0);
    pass(sampler);  // no CPU load yet: nothing logged
    for (int step = 1; step <= 4; ++step) {
        writeStat(step);
        pass(sampler);
        clock->advance(10);
    }
    archive.waitUntilIdle();
    Clock::setShared(nullptr);
    QFile file(dir.path() + "/metrics.log");
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const auto samples = MetricArchive::parse(file.readAll());
    ASSERT_EQ(samples.size(), 2u);  // at 0 s and 30 s
    EXPECT_EQ(samples[0].at.secsTo(samples[1].at), 30);
    EXPECT_DOUBLE_EQ(samples[0].cpu, 40.0);
    EXPECT_DOUBLE_EQ(samples[0].memory, 75.0);
    EXPECT_EQ(samples[0].temperature, 52.4);
}

TEST_F(SamplerTest, StoredIntervalChoice) {
    EXPECT_EQ(SystemSettings::shared().updateInterval.value(), UpdateInterval::normal);  // absent
    UserDefaults::standard().setDouble(SystemSettings::shared().updateInterval.key(), 3);
    EXPECT_EQ(SystemSettings::shared().updateInterval.value(), UpdateInterval::normal);  // not a choice
    UserDefaults::standard().setString(SystemSettings::shared().updateInterval.key(), QStringLiteral("10"));
    EXPECT_EQ(SystemSettings::shared().updateInterval.value(), UpdateInterval::normal);  // wrong type

    int posted = 0;
    QObject context;
    NotificationCenter::defaultCenter().observe(Notification::updateIntervalDidChange, &context,
                                                [&](const QVariant&) { ++posted; });
    SystemSettings::shared().updateInterval.set(UpdateInterval::slow);
    SystemSettings::shared().updateInterval.set(UpdateInterval::slow);
    EXPECT_EQ(posted, 1);
    EXPECT_EQ(UserDefaults::standard().doubleValue(SystemSettings::shared().updateInterval.key()), 10.0);
    EXPECT_EQ(SystemSettings::shared().updateInterval.value(), UpdateInterval::slow);
}

TEST_F(SamplerTest, FollowsTheSettingsItIsGivenAndNoOthers) {
    ASSERT_TRUE(SystemFixtures::copyTree("no-sensors", root));
    UserDefaults store{QString()};
    SystemSettings settings{store};
    settings.updateInterval.set(UpdateInterval::slow);
    SystemSampler sampler(root);
    sampler.setSettings(settings);
    sampler.start();
    EXPECT_EQ(sampler.timerInterval(), 10000);
    SystemSettings::shared().updateInterval.set(UpdateInterval::fast);
    EXPECT_EQ(sampler.timerInterval(), 10000);
    settings.updateInterval.set(UpdateInterval::relaxed);
    EXPECT_EQ(sampler.timerInterval(), 5000);
    // A running sampler handed other settings takes their interval at once.
    sampler.setSettings(SystemSettings::shared());
    EXPECT_EQ(sampler.timerInterval(), 1000);
    sampler.stop();
}

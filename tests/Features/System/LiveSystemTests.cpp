#include "Platform/System/NetDevReader.h"
#include "Source/Features/System/CPUCores.h"
#include "Source/Features/System/NetworkMonitor.h"
#include "Source/Features/System/SamplingPass.h"
#include "Source/Features/System/SystemStats.h"

#include <QThread>

#include <gtest/gtest.h>

#include <unistd.h>

// Smoke test on the machine's own /proc and /sys.
TEST(LiveSystem, OnePassReadsPlausibleValues) {
    SamplingPass pass;
    SamplingPass::Readings readings;
    pass.run(readings);
    EXPECT_GT(readings.memory, 0);
    EXPECT_LE(readings.memory, 100);
    EXPECT_GE(readings.disk, 0);
    EXPECT_LE(readings.disk, 100);
    QThread::msleep(60);
    pass.run(readings);
    ASSERT_GE(readings.cpu, 0);
    EXPECT_LE(readings.cpu, 100);
    EXPECT_NEAR(readings.cpu, readings.cpuUser + readings.cpuSystem, 1e-9);
    ASSERT_TRUE(readings.coresRead);
    EXPECT_EQ(long(readings.cores.size()), sysconf(_SC_NPROCESSORS_ONLN));
    for (const CoreUsage& core : readings.cores) {
        EXPECT_GE(core.usage, 0);
        EXPECT_LE(core.usage, 100);
    }
    if (readings.cpuTemperature) {
        EXPECT_GE(readings.cpuTemperature->hottest, readings.cpuTemperature->average);
    }

    EXPECT_FALSE(CPUCores::chipName().isEmpty());
    EXPECT_GE(CPUCores::performanceCount(), 1);
    EXPECT_EQ(CPUCores::efficiencyCount() + CPUCores::performanceCount(),
              std::max<int>(1, int(CPUCores::topology().processors.size())));
    const auto capacity = SystemStats::getDiskCapacity();
    ASSERT_TRUE(capacity);
    EXPECT_GT(capacity->total, 0);
}

TEST(LiveSystem, NetworkCountersAreReadable) {
    std::vector<NetDevReader::Interface> interfaces;
    ASSERT_TRUE(NetDevReader().read(interfaces));
    EXPECT_FALSE(interfaces.empty());
    NetworkMonitor monitor;
    monitor.sample();
    QThread::msleep(20);
    monitor.sample();
    EXPECT_GE(monitor.downloadRate(), 0);
    EXPECT_GE(monitor.uploadRate(), 0);
}

#include "Platform/System/CpuTopologyReader.h"
#include "Platform/System/GpuLoadReader.h"
#include "Platform/System/HwmonReader.h"
#include "Platform/System/MemInfoReader.h"
#include "Platform/System/NetDevReader.h"
#include "Platform/System/ProcStatReader.h"
#include "Platform/System/SysFs.h"
#include "Source/Features/System/CPUCores.h"
#include "Source/Features/System/HardwareSensors.h"
#include "Source/Features/System/SystemStats.h"
#include "SystemTestSupport.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cmath>

using SystemFixtures::path;

TEST(SysFs, ParsesCpuListsAndSortsNaturally) {
    EXPECT_EQ(SysFs::parseCpuList("0-3,8,10-11\n"), (std::vector<int>{0, 1, 2, 3, 8, 10, 11}));
    EXPECT_EQ(SysFs::parseCpuList(""), std::vector<int>{});
    EXPECT_FALSE(SysFs::parseCpuList("3-1"));
    EXPECT_FALSE(SysFs::parseCpuList("0-3,x"));
    EXPECT_FALSE(SysFs::parseCpuList("0-99999999"));  // no runaway allocation
    EXPECT_TRUE(SysFs::naturalLess("hwmon2", "hwmon10"));
    EXPECT_FALSE(SysFs::naturalLess("hwmon10", "hwmon2"));
    EXPECT_TRUE(SysFs::naturalLess("fan1_input", "fan1_max"));
    EXPECT_EQ(SysFs::join(QStringLiteral("/"), "/proc/stat"), "/proc/stat");
    EXPECT_EQ(SysFs::join(QStringLiteral("/tmp/root/"), "proc/stat"), "/tmp/root/proc/stat");
}

TEST(ProcStatReader, ReadsTotalsAndEveryProcessor) {
    ProcStatReader reader(path("linux-desktop"));
    ProcStatReader::Snapshot snapshot;
    ASSERT_TRUE(reader.read(snapshot));
    EXPECT_EQ(snapshot.total, (ProcStatReader::Ticks{1000, 100, 500, 8000, 200, 50, 50, 0}));
    ASSERT_EQ(snapshot.cpus.size(), 8u);
    EXPECT_EQ(snapshot.cpus[7].first, 7);
    EXPECT_EQ(snapshot.cpus[7].second.idle, 1000u);

    ProcStatReader missing(path("does-not-exist"));
    EXPECT_FALSE(missing.read(snapshot));
    EXPECT_FALSE(ProcStatReader::parse("intr 1 2 3\n", snapshot));
}

TEST(ProcStatReader, LoadSplitsUserAndSystemAndSurvivesCounterResets) {
    const ProcStatReader::Ticks before{1000, 100, 500, 8000, 200, 50, 50, 0};
    const ProcStatReader::Ticks after{1250, 150, 580, 8500, 250, 60, 60, 50};
    const auto load = ProcStatReader::load(before, after);
    ASSERT_TRUE(load);
    // user 300, system 100, idle 550, steal 50 → 1000 ticks
    EXPECT_DOUBLE_EQ(load->user, 30.0);
    EXPECT_DOUBLE_EQ(load->system, 10.0);
    EXPECT_DOUBLE_EQ(load->total, 40.0);

    EXPECT_FALSE(ProcStatReader::load(before, before));  // no time passed
    // A processor that went offline and came back restarts from zero: no negative load, no wrap.
    const auto reset = ProcStatReader::load(before, ProcStatReader::Ticks{10, 0, 5, 80, 0, 0, 0, 0});
    EXPECT_FALSE(reset);
    const auto partial = ProcStatReader::load(before, ProcStatReader::Ticks{1100, 0, 500, 8100, 200, 50, 50, 0});
    ASSERT_TRUE(partial);
    EXPECT_DOUBLE_EQ(partial->total, 50.0);
}

TEST(MemInfoReader, UsedIsTotalLessAvailable) {
    const auto memory = MemInfoReader(path("linux-desktop")).read();
    ASSERT_TRUE(memory);
    EXPECT_EQ(memory->total, 32768000ull * 1024);
    EXPECT_EQ(memory->available, 8192000ull * 1024);
    EXPECT_DOUBLE_EQ(memory->percentInUse(), 75.0);
    EXPECT_FALSE(MemInfoReader::parse("MemTotal: 100 kB\nMemFree: 50 kB\n"));  // no MemAvailable
    EXPECT_FALSE(MemInfoReader::parse("MemTotal: 0 kB\nMemAvailable: 0 kB\n"));
    EXPECT_FALSE(MemInfoReader(path("does-not-exist")).read());
}

TEST(NetDevReader, ReadsCountersAndMarksPhysicalInterfaces) {
    std::vector<NetDevReader::Interface> interfaces;
    ASSERT_TRUE(NetDevReader(path("linux-desktop")).read(interfaces));
    ASSERT_EQ(interfaces.size(), 4u);
    EXPECT_EQ(interfaces[0].name, "lo");
    EXPECT_FALSE(interfaces[0].physical);
    EXPECT_EQ(interfaces[1].name, "enp5s0");
    EXPECT_TRUE(interfaces[1].physical);
    EXPECT_EQ(interfaces[1].received, 1000000000u);
    EXPECT_EQ(interfaces[1].sent, 200000000u);
    EXPECT_TRUE(interfaces[2].physical);
    EXPECT_EQ(interfaces[3].name, "docker0");
    EXPECT_FALSE(interfaces[3].physical);

    // A name glued to its first number and a truncated line.
    NetDevReader::parse("h\n h\n  eth0:123 1 0 0 0 0 0 0 456 2 0 0 0 0 0 0\n  bad: 1 2 3\n../x: 1 1 1 1 1 1 1 1 1\n",
                        interfaces);
    ASSERT_EQ(interfaces.size(), 1u);
    EXPECT_EQ(interfaces[0].name, "eth0");
    EXPECT_EQ(interfaces[0].received, 123u);
    EXPECT_EQ(interfaces[0].sent, 456u);
}

TEST(HwmonReader, DesktopCpuGpuAndFans) {
    HwmonReader reader(path("linux-desktop"));
    HwmonReader::Values values;
    reader.read(values, 4);
    EXPECT_EQ(values.cpuTemperatures, (std::vector<double>{52.375, 48.5}));
    EXPECT_EQ(values.gpuTemperatures, (std::vector<double>{45, 51, 60}));  // the NVMe drive is neither
    ASSERT_EQ(values.fans.size(), 4u);
    EXPECT_EQ(values.fans[0].rpm, 1150);
    EXPECT_EQ(values.fans[0].max, 3300);
    EXPECT_EQ(values.fans[1].rpm, 850);
    EXPECT_EQ(values.fans[1].max, 0);
    EXPECT_EQ(values.fans[3].rpm, 0);  // a stopped fan is still a reading

    std::vector<SMC::Fan> fans;
    HardwareSensors::fans(values.fans, fans);
    EXPECT_EQ(fans, (std::vector<SMC::Fan>{{1150, 3300}, {850, 6000}, {1200, 6000}, {0, 6000}}));
    EXPECT_EQ(HardwareSensors::summarize(values.cpuTemperatures),
              (HardwareSensors::Temperatures{52.375, (52.375 + 48.5) / 2}));
}

TEST(HwmonReader, HybridLaptopSkipsDeadProbesAndUsesChipsBeforeZones) {
    HwmonReader reader(path("intel-hybrid"));
    HwmonReader::Values values;
    reader.read(values);
    EXPECT_EQ(values.cpuTemperatures, (std::vector<double>{61, 58, 55, 0}));
    EXPECT_TRUE(values.gpuTemperatures.empty());
    ASSERT_EQ(values.fans.size(), 1u);
    const auto summary = HardwareSensors::summarize(values.cpuTemperatures);
    ASSERT_TRUE(summary);
    EXPECT_EQ(summary->hottest, 61);
    EXPECT_DOUBLE_EQ(summary->average, 58);  // the probe reading 0 is left out
}

TEST(HwmonReader, ThermalZonesStandInWhenNoChipIsACpu) {
    HwmonReader reader(path("arm-capacity"));
    HwmonReader::Values values;
    reader.read(values);
    EXPECT_EQ(values.cpuTemperatures, (std::vector<double>{47.236}));
    EXPECT_TRUE(values.gpuTemperatures.empty());
    EXPECT_TRUE(values.fans.empty());
    EXPECT_TRUE(reader.hasCpuSensors());
}

TEST(HwmonReader, MachineWithoutSensors) {
    HwmonReader reader(path("no-sensors"));
    HwmonReader::Values values;
    reader.read(values);
    EXPECT_TRUE(values.cpuTemperatures.empty());
    EXPECT_TRUE(values.gpuTemperatures.empty());
    EXPECT_TRUE(values.fans.empty());
    EXPECT_FALSE(reader.hasCpuSensors());
    EXPECT_FALSE(reader.hasFans());
    EXPECT_FALSE(HardwareSensors::summarize(values.cpuTemperatures));
    EXPECT_FALSE(GpuLoadReader(path("no-sensors"), false).read());
}

TEST(HwmonReader, SleepingGpuIsNotReadAndVanishedSensorsAreFoundAgain) {
    QTemporaryDir dir;
    ASSERT_TRUE(SystemFixtures::copyTree("linux-desktop", dir.path()));
    HwmonReader reader(dir.path());
    HwmonReader::Values values;
    reader.read(values);
    ASSERT_EQ(values.gpuTemperatures.size(), 3u);

    const QString hwmon = dir.path() + "/sys/class/hwmon";
    ASSERT_TRUE(SystemFixtures::writeFile(hwmon + "/hwmon1/device/power/runtime_status", "suspended\n"));
    reader.read(values);
    EXPECT_TRUE(values.gpuTemperatures.empty());
    EXPECT_EQ(values.cpuTemperatures.size(), 2u);

    // The CPU chip is re-registered under another number (driver reloaded).
    ASSERT_TRUE(QDir(hwmon + "/hwmon0").removeRecursively());
    ASSERT_TRUE(SystemFixtures::writeFile(hwmon + "/hwmon11/name", "k10temp\n"));
    ASSERT_TRUE(SystemFixtures::writeFile(hwmon + "/hwmon11/temp1_input", "70000\n"));
    reader.read(values);  // notices the missing files
    reader.read(values);  // reads the new ones
    EXPECT_EQ(values.cpuTemperatures, (std::vector<double>{70}));
}

TEST(GpuLoadReader, BusyPercentAndSleepingCards) {
    QTemporaryDir dir;
    ASSERT_TRUE(SystemFixtures::copyTree("linux-desktop", dir.path()));
    GpuLoadReader reader(dir.path(), false);
    reader.discover();
    EXPECT_TRUE(reader.hasKernelCounters());
    EXPECT_EQ(reader.read(), 37.0);
    ASSERT_TRUE(SystemFixtures::writeFile(dir.path() + "/sys/class/drm/card0/device/power/runtime_status",
                                          "suspended\n"));
    EXPECT_EQ(reader.read(), 0.0);  // asleep means idle, and it is not woken to say so

    // An NVIDIA card asleep in its power state is idle; the management library is not even loaded.
    QTemporaryDir nvidia;
    ASSERT_TRUE(SystemFixtures::writeFile(nvidia.path() + "/sys/bus/pci/drivers/nvidia/0000:01:00.0/power/runtime_status",
                                          "suspended\n"));
    ASSERT_TRUE(SystemFixtures::writeFile(nvidia.path() + "/sys/bus/pci/drivers/nvidia/module/refcnt", "1\n"));
    GpuLoadReader sleeping(nvidia.path(), true);
    sleeping.discover();
    EXPECT_EQ(sleeping.read(), 0.0);

    GpuLoadReader none(path("intel-hybrid"), false);
    none.discover();
    EXPECT_FALSE(none.hasKernelCounters());
    EXPECT_FALSE(none.read());
}

TEST(CpuTopologyReader, BrandAndKindsOnThreeMachines) {
    const auto desktop = CpuTopologyReader::read(path("linux-desktop"));
    EXPECT_EQ(desktop.brand, "AMD Ryzen 7 5800X 8-Core Processor");
    EXPECT_EQ(desktop.processors.size(), 8u);
    EXPECT_TRUE(desktop.efficiency.empty());
    EXPECT_EQ(CPUCores::efficiencyCount(desktop), 0);
    EXPECT_EQ(CPUCores::performanceCount(desktop), 8);

    const auto hybrid = CpuTopologyReader::read(path("intel-hybrid"));
    EXPECT_EQ(CPUCores::chipName(hybrid), QStringLiteral("12th Gen Intel(R) Core(TM) i7-1260P"));
    EXPECT_EQ(hybrid.efficiency, (std::vector<int>{8, 9, 10, 11, 12, 13, 14, 15}));
    EXPECT_EQ(CPUCores::efficiencyCount(hybrid), 8);
    EXPECT_EQ(CPUCores::performanceCount(hybrid), 8);

    const auto arm = CpuTopologyReader::read(path("arm-capacity"));
    EXPECT_EQ(CPUCores::chipName(arm), QStringLiteral("CPU"));
    EXPECT_EQ(arm.efficiency, (std::vector<int>{0, 1, 2, 3}));

    const auto bare = CpuTopologyReader::read(path("no-sensors"));
    EXPECT_EQ(bare.processors, (std::vector<int>{0, 1, 2, 3}));  // counted from cpuinfo
    EXPECT_EQ(CPUCores::chipName(bare), QStringLiteral("CPU"));  // the board model is not a brand
    EXPECT_EQ(CPUCores::performanceCount(bare), 4);

    const auto nothing = CpuTopologyReader::read(path("does-not-exist"));
    EXPECT_EQ(CPUCores::chipName(nothing), QStringLiteral("CPU"));
    EXPECT_EQ(CPUCores::performanceCount(nothing), 1);
}

TEST(CPUCores, EachProcessorTakesItsOwnKindEvenWhenEfficiencyCoresComeLast) {
    const auto hybrid = CpuTopologyReader::read(path("intel-hybrid"));
    std::vector<std::pair<int, double>> usages;
    for (int i = 0; i < 16; ++i) usages.emplace_back(i, i * 10.0);
    std::vector<CoreUsage> cores;
    CPUCores::makeCores(hybrid, usages, cores);
    ASSERT_EQ(cores.size(), 16u);
    EXPECT_EQ(cores[0], (CoreUsage{0, CoreKind::performance, 1, 0}));
    EXPECT_EQ(cores[7], (CoreUsage{7, CoreKind::performance, 8, 70}));
    EXPECT_EQ(cores[8], (CoreUsage{8, CoreKind::efficiency, 1, 80}));
    EXPECT_EQ(cores[15], (CoreUsage{15, CoreKind::efficiency, 8, 100}));  // 150 capped at 100

    // An offline processor keeps the numbering of the others.
    usages.erase(usages.begin() + 9);
    CPUCores::makeCores(hybrid, usages, cores);
    EXPECT_EQ(cores[9].index, 10);
    EXPECT_EQ(cores[9].numberInCluster, 3);
}

TEST(HardwareSensors, FansCapAtFourAndNeverGoNegative) {
    std::vector<HwmonReader::Fan> readings{{-5, 2000}, {100, -1}, {NAN, 100}, {1, 1}, {2, 2}, {3, 3}};
    std::vector<SMC::Fan> fans;
    HardwareSensors::fans(readings, fans);
    EXPECT_EQ(fans, (std::vector<SMC::Fan>{{0, 2000}, {100, 6000}, {1, 1}, {2, 2}}));
    EXPECT_FALSE(HardwareSensors::summarize({-273.15, 0, 255, NAN}));
}

TEST(SystemStats, DiskCapacityOfARealFileSystem) {
    const auto capacity = SystemStats::getDiskCapacity(path("linux-desktop"));
    ASSERT_TRUE(capacity);
    EXPECT_GT(capacity->total, 0);
    EXPECT_DOUBLE_EQ(capacity->used + capacity->free, capacity->total);
    EXPECT_FALSE(SystemStats::getDiskCapacity(path("does-not-exist")));
    EXPECT_EQ(SystemStats::diskUsage(path("does-not-exist")), -1);
    const double usage = SystemStats::diskUsage(path("linux-desktop"));
    EXPECT_GE(usage, 0);
    EXPECT_LE(usage, 100);
}

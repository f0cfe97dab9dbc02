#include "Source/Features/System/MetricArchive.h"
#include "Source/Features/System/NetworkMonitor.h"
#include "Source/Features/System/SystemStats.h"
#include "Source/Features/System/UpdateInterval.h"
#include "TestSupport.h"

#include <QLocale>
#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QTimeZone>

#include <gtest/gtest.h>

#include <clocale>
#include <cmath>

namespace {

// Switches both the C library and Qt to German number formatting (decimal comma) for a test.
// The C locale is generated into the test's temp folder when the system has none installed.
class CommaDecimalLocale {
public:
    CommaDecimalLocale() : previous_(QLocale()) {
        QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
        if (!std::setlocale(LC_ALL, "de_DE.UTF-8")) {
            const QString folder = TestSupport::tempRoot() + "/locales";
            QDir().mkpath(folder);
            if (!QFileInfo::exists(folder + "/de_DE.UTF-8"))
                QProcess::execute(QStringLiteral("localedef"),
                              {"-i", "de_DE", "-f", "UTF-8", folder + "/de_DE.UTF-8"});
            qputenv("LOCPATH", folder.toLocal8Bit());
            std::setlocale(LC_ALL, "de_DE.UTF-8");
        }
        cLocaleSwitched_ = std::string(std::localeconv()->decimal_point) == ",";
    }
    ~CommaDecimalLocale() {
        std::setlocale(LC_ALL, "C");
        QLocale::setDefault(previous_);
    }
    bool cLocaleSwitched() const { return cLocaleSwitched_; }

private:
    QLocale previous_;
    bool cLocaleSwitched_ = false;
};

class SystemFormats : public ::testing::TestWithParam<bool> {
protected:
    void SetUp() override {
        if (GetParam()) {
            locale_ = std::make_unique<CommaDecimalLocale>();
            ASSERT_TRUE(locale_->cLocaleSwitched()) << "no German locale could be made";
            ASSERT_EQ(QLocale().decimalPoint(), QStringLiteral(","));
        }
    }
    void TearDown() override { locale_.reset(); }
    std::unique_ptr<CommaDecimalLocale> locale_;
};

}  // namespace

TEST_P(SystemFormats, UpdateIntervalLabelsAndValues) {
    QStringList labels, ids;
    for (UpdateInterval interval : UpdateIntervals::allCases) {
        labels << UpdateIntervals::label(interval);
        ids << UpdateIntervals::id(interval);
    }
    EXPECT_EQ(labels, (QStringList{"1s", "2s", "5s", "10s"}));
    EXPECT_EQ(ids, (QStringList{"1", "2", "5", "10"}));
    EXPECT_EQ(UpdateIntervals::fromRawValue(5), UpdateInterval::relaxed);
    EXPECT_FALSE(UpdateIntervals::fromRawValue(3));
    EXPECT_EQ(UpdateIntervals::processListPeriod(UpdateInterval::fast), 3);
    EXPECT_EQ(UpdateIntervals::processListPeriod(UpdateInterval::normal), 4);
    EXPECT_EQ(UpdateIntervals::processListPeriod(UpdateInterval::relaxed), 10);
    EXPECT_EQ(UpdateIntervals::processListPeriod(UpdateInterval::slow), 20);
}

TEST_P(SystemFormats, DiskCapacityFigures) {
    const double GiB = 1073741824.0;
    EXPECT_EQ(SystemStats::DiskCapacity::format(1.5 * GiB), QStringLiteral("1.50 GB"));
    EXPECT_EQ(SystemStats::DiskCapacity::format(0), QStringLiteral("0.00 GB"));
    EXPECT_EQ(SystemStats::DiskCapacity::format(999.994 * GiB), QStringLiteral("999.99 GB"));
    EXPECT_EQ(SystemStats::DiskCapacity::format(1000 * GiB), QStringLiteral("0.98 TB"));
    EXPECT_EQ(SystemStats::DiskCapacity::format(2048 * GiB), QStringLiteral("2.00 TB"));
}

TEST_P(SystemFormats, NetworkRates) {
    EXPECT_EQ(NetworkMonitor::formatRate(0), QStringLiteral("0 B/s"));
    EXPECT_EQ(NetworkMonitor::formatRate(500), QStringLiteral("500 B/s"));
    EXPECT_EQ(NetworkMonitor::formatRate(1023), QStringLiteral("1023 B/s"));
    EXPECT_EQ(NetworkMonitor::formatRate(1024), QStringLiteral("1 KB/s"));
    EXPECT_EQ(NetworkMonitor::formatRate(300 * 1024), QStringLiteral("300 KB/s"));
    EXPECT_EQ(NetworkMonitor::formatRate(1.24 * 1048576), QStringLiteral("1.2 MB/s"));
    EXPECT_EQ(NetworkMonitor::formatRate(12.5 * 1048576 + 10000), QStringLiteral("12.5 MB/s"));
    EXPECT_EQ(NetworkMonitor::formatRate(-1), QStringLiteral("0 B/s"));
    EXPECT_EQ(NetworkMonitor::formatRate(NAN), QStringLiteral("0 B/s"));
}

TEST_P(SystemFormats, MetricLogLines) {
    const MetricSample sample{QDateTime::fromSecsSinceEpoch(1'700'000'123, QTimeZone::utc()), 12.34, 56.78, 90.06,
                              41.24};
    EXPECT_EQ(MetricArchive::formatLine(sample), QByteArray("1700000123\t12.3\t56.8\t90.1\t41.2\n"));
    const MetricSample cold{sample.at, 0, 100, 0, std::nullopt};
    EXPECT_EQ(MetricArchive::formatLine(cold), QByteArray("1700000123\t0.0\t100.0\t0.0\t-\n"));
    const auto parsed = MetricArchive::parseLine("1700000123\t12.3\t56.8\t90.1\t41.2\n");
    ASSERT_TRUE(parsed);
    EXPECT_EQ(*parsed, (MetricSample{sample.at, 12.3, 56.8, 90.1, 41.2}));
    EXPECT_FALSE(MetricArchive::parseLine("1700000123\t12,3\t56,8\t90,1\t41,2"));
    EXPECT_FALSE(MetricArchive::parseLine("1700000123\t12.3\t56.8\t90.1\t41.2\textra"));
    EXPECT_FALSE(MetricArchive::parseLine("soon\t1\t2\t3\t-"));
    EXPECT_FALSE(MetricArchive::parseLine("1700000123\tnan\t2\t3\t-"));
    EXPECT_FALSE(MetricArchive::parseLine(""));
}

INSTANTIATE_TEST_SUITE_P(Locales, SystemFormats, ::testing::Values(false, true),
                         [](const auto& info) { return info.param ? "CommaDecimal" : "C"; });

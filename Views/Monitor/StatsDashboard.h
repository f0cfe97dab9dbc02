#pragma once

#include "Source/Features/System/CoreUsage.h"
#include "Source/Features/System/SMC.h"

#include <QColor>
#include <QString>
#include <QWidget>

#include <map>
#include <optional>
#include <vector>

class QGridLayout;
class QScrollArea;
class QVBoxLayout;
class StatsChartCard;
class SystemSampler;

// The Stats tab: one scrolling column of small charts of everything the sampler measures about
// the processor (usage, temperature, every core), the graphics processor and the fans. All
// charts share one hovered slot: hovering any of them shows that sample in every readout.
class StatsDashboard : public QWidget {
    Q_OBJECT
public:
    static constexpr int slotCount = 48;

    // The sampler's readings the dashboard draws.
    struct Snapshot {
        QString chipName = QStringLiteral("CPU");
        int efficiencyCount = 0;
        int performanceCount = 1;
        std::vector<double> cpuHistory, cpuSystemHistory;
        double cpuSystem = 0, cpuUser = 0;
        std::vector<double> temperatureHistory;
        std::optional<double> temperature, temperatureAverage;
        std::vector<CoreUsage> cores;
        std::map<int, std::vector<double>> coreHistory;
        std::vector<double> gpuHistory;
        double gpu = 0;
        std::vector<double> gpuTemperatureHistory;
        std::optional<double> gpuTemperature, gpuTemperatureAverage;
        std::vector<SMC::Fan> fans;
        std::vector<std::vector<double>> fanHistory;

        static Snapshot from(const SystemSampler& sampler);
    };

    explicit StatsDashboard(SystemSampler& sampler, QWidget* parent = nullptr);
    // A dashboard of fixed readings (no sampler).
    explicit StatsDashboard(Snapshot snapshot, QWidget* parent = nullptr);

    const Snapshot& snapshot() const { return snapshot_; }
    void setSnapshot(Snapshot snapshot);
    std::optional<int> hovered() const { return hovered_; }
    void setHovered(std::optional<int> slot);

    // Pure parts.
    static QString heading(const QString& chipName);  // every "Apple " removed
    static std::optional<double> value(const std::vector<double>& history, std::optional<int> slot);
    static double temperatureScale(const std::vector<double>& history);
    static double fanScale(const SMC::Fan& fan);
    static std::vector<CoreUsage> orderedCores(const std::vector<CoreUsage>& cores);
    static QString coreTitle(const CoreUsage& core);
    static QString fanTitle(size_t position, size_t fanCount);
    static QString cpuReadout(const Snapshot& s, std::optional<int> slot);
    static QString temperatureReadout(const std::vector<double>& history, std::optional<double> average,
                                      std::optional<double> hottest, std::optional<int> slot);
    static QString coreReadout(const std::vector<double>& history, double usage, std::optional<int> slot);
    static QString gpuReadout(const Snapshot& s, std::optional<int> slot);
    static QString fanReadout(const std::vector<double>& history, double rpm, std::optional<int> slot);
    struct LegendItem {
        QString text;
        bool efficiency = false;  // teal; else purple
        bool operator==(const LegendItem&) const = default;
    };
    static std::vector<LegendItem> legend(const Snapshot& s);
    static QColor gpuTemperatureTint();
    static QColor coreTint(CoreKind kind);

    // The cards on screen (tests).
    std::vector<StatsChartCard*> cards() const;
    StatsChartCard* card(const QString& title) const;
    QScrollArea* scrollArea() const { return scroll_; }

private:
    void build();
    void rebuild();

    SystemSampler* sampler_ = nullptr;
    Snapshot snapshot_;
    std::optional<int> hovered_;
    QScrollArea* scroll_ = nullptr;
    QWidget* content_ = nullptr;
    QVBoxLayout* column_ = nullptr;
    // What the current cards were built for; a change of shape rebuilds them.
    struct Shape {
        bool cpuTemperature = false, gpuTemperature = false;
        std::vector<std::pair<int, CoreKind>> cores;
        size_t fans = 0;
        bool twoKinds = false;
        bool operator==(const Shape&) const = default;
    };
    std::optional<Shape> shape_;
};

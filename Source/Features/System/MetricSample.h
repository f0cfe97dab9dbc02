#pragma once

#include <QDateTime>

#include <optional>

// One sample of the metric log.
struct MetricSample {
    QDateTime at;
    double cpu = 0;     // percent
    double memory = 0;  // percent of physical memory in use
    double disk = 0;    // percent of the start-up volume in use
    std::optional<double> temperature;  // degrees Celsius
    bool operator==(const MetricSample&) const = default;
};

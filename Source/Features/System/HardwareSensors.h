#pragma once

#include "Platform/System/HwmonReader.h"
#include "Source/Features/System/SMC.h"

#include <optional>
#include <vector>

// Turns raw sensor readings into the published values.
namespace HardwareSensors {

inline constexpr double defaultFanMax = 6000;
inline constexpr size_t maxFans = 4;

struct Temperatures {
    double hottest = 0;  // degrees Celsius
    double average = 0;
    bool operator==(const Temperatures&) const = default;
};

// Hottest and average of the plausible readings (above 0 and below 150 °C); nothing when none is.
std::optional<Temperatures> summarize(const std::vector<double>& celsius);
// At most maxFans fans in order; speeds below 0 read as 0, a missing or non-positive maximum as 6000.
void fans(const std::vector<HwmonReader::Fan>& readings, std::vector<SMC::Fan>& out);

}  // namespace HardwareSensors

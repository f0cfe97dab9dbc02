#include "Platform/X11/DisplayGamma.h"

#include <algorithm>
#include <cmath>

bool DisplayGamma::isInternalName(const QString& outputName) {
    for (const char* prefix : {"eDP", "LVDS", "DSI"}) {
        if (outputName.startsWith(QLatin1String(prefix), Qt::CaseInsensitive)) return true;
    }
    return false;
}

std::vector<uint16_t> DisplayGamma::linearRamp(int size, double brightness) {
    if (size <= 0) return {};
    if (!std::isfinite(brightness)) brightness = 1.0;
    brightness = std::clamp(brightness, 0.0, 1.0);
    std::vector<uint16_t> ramp(size_t(size), 0);
    if (size == 1) {
        ramp[0] = uint16_t(std::lround(65535.0 * brightness));
        return ramp;
    }
    for (int i = 0; i < size; ++i) {
        double value = 65535.0 * double(i) / double(size - 1) * brightness;
        ramp[size_t(i)] = uint16_t(std::clamp<long>(std::lround(value), 0, 65535));
    }
    return ramp;
}

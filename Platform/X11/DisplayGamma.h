#pragma once

#include <QString>

#include <cstdint>
#include <vector>

// One connected display output driven by a CRTC whose gamma ramp can be set.
struct GammaOutput {
    QString name;        // e.g. "HDMI-1", "eDP-1"
    uint32_t crtc = 0;
    int rampSize = 0;    // entries per channel
    bool isInternal = false;
    bool operator==(const GammaOutput&) const = default;
};

// The gamma ramps of the display outputs (software dimming).
class DisplayGamma {
public:
    virtual ~DisplayGamma() = default;
    // Connected outputs that have a CRTC and a gamma ramp.
    virtual std::vector<GammaOutput> outputs() = 0;
    // Sets the same ramp (rampSize entries) on red, green and blue. False when refused.
    virtual bool setRamp(const GammaOutput& output, const std::vector<uint16_t>& ramp) = 0;

    // A laptop panel: eDP, LVDS or DSI outputs.
    static bool isInternalName(const QString& outputName);
    // A linear ramp of size entries scaled by brightness (clamped to 0...1): entry i is
    // round(65535 * i / (size - 1) * brightness).
    static std::vector<uint16_t> linearRamp(int size, double brightness);
};

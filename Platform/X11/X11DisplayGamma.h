#pragma once

#include "Platform/X11/DisplayGamma.h"

// Gamma ramps through XRandR on the application's X connection. Without an X server there are
// no outputs and every change is refused.
class X11DisplayGamma final : public DisplayGamma {
public:
    std::vector<GammaOutput> outputs() override;
    bool setRamp(const GammaOutput& output, const std::vector<uint16_t>& ramp) override;
};

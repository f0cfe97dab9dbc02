#pragma once

// Fan readings, named after the controller that reports them on the original hardware.
namespace SMC {

struct Fan {
    double rpm = 0;     // current speed, never below 0
    double max = 6000;  // the fan's maximum speed; 6000 when the hardware reports none
    bool operator==(const Fan&) const = default;
};

}  // namespace SMC

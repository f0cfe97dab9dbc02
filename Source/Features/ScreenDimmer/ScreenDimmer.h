#pragma once

#include "Platform/X11/DisplayGamma.h"

#include <QObject>

#include <memory>
#include <vector>

// Software dimming of the external displays through their gamma ramps. Laptop panels are left
// alone. Full gamma comes back on reset and when the program quits. GUI thread only.
class ScreenDimmer : public QObject {
    Q_OBJECT
public:
    static ScreenDimmer& shared();
    // A dimmer over the given gamma backend (tests); shared() uses the X11 one.
    explicit ScreenDimmer(std::unique_ptr<DisplayGamma> gamma, QObject* parent = nullptr);
    ~ScreenDimmer() override;

    // The level last applied, 0...1 (1 = full brightness).
    double brightness() const { return brightness_; }
    bool hasExternalDisplays();

    // Dims every external display to level (clamped to 0...1). False when no external display
    // took the change.
    bool applyBrightness(double level);
    // Full gamma on the external displays, then posts ScreenDimmerDidReset.
    void resetBrightness();
    // Full gamma on the displays this dimmer changed (at quit).
    void restore();

signals:
    void brightnessChanged(double brightness);

private:
    std::vector<GammaOutput> externalOutputs();
    void setBrightness(double level);

    std::unique_ptr<DisplayGamma> gamma_;
    double brightness_ = 1.0;
    bool dimmed_ = false;
};

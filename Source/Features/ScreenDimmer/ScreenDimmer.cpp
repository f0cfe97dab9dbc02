#include "Source/Features/ScreenDimmer/ScreenDimmer.h"

#include "Platform/Core/NotificationCenter.h"
#include "Platform/X11/X11DisplayGamma.h"

#include <QCoreApplication>
#include <QDebug>

#include <algorithm>
#include <cmath>

ScreenDimmer& ScreenDimmer::shared() {
    static ScreenDimmer* dimmer = new ScreenDimmer(std::make_unique<X11DisplayGamma>());
    return *dimmer;
}

ScreenDimmer::ScreenDimmer(std::unique_ptr<DisplayGamma> gamma, QObject* parent)
    : QObject(parent), gamma_(std::move(gamma)) {
    if (auto* app = QCoreApplication::instance()) {
        connect(app, &QCoreApplication::aboutToQuit, this, &ScreenDimmer::restore);
    }
}

ScreenDimmer::~ScreenDimmer() = default;

std::vector<GammaOutput> ScreenDimmer::externalOutputs() {
    std::vector<GammaOutput> list = gamma_->outputs();
    std::erase_if(list, [](const GammaOutput& output) { return output.isInternal; });
    return list;
}

bool ScreenDimmer::hasExternalDisplays() { return !externalOutputs().empty(); }

void ScreenDimmer::setBrightness(double level) {
    if (level == brightness_) return;
    brightness_ = level;
    emit brightnessChanged(level);
}

bool ScreenDimmer::applyBrightness(double level) {
    if (!std::isfinite(level)) return false;
    level = std::clamp(level, 0.0, 1.0);
    bool applied = false;
    for (const GammaOutput& output : externalOutputs()) {
        if (gamma_->setRamp(output, DisplayGamma::linearRamp(output.rampSize, level))) {
            applied = true;
        } else {
            qWarning().noquote() << "Could not set the gamma of" << output.name;
        }
    }
    if (applied) {
        dimmed_ = level < 1.0;
        setBrightness(level);
    }
    return applied;
}

void ScreenDimmer::resetBrightness() {
    for (const GammaOutput& output : externalOutputs()) {
        gamma_->setRamp(output, DisplayGamma::linearRamp(output.rampSize, 1.0));
    }
    dimmed_ = false;
    setBrightness(1.0);
    NotificationCenter::defaultCenter().post(Notification::screenDimmerDidReset);
}

void ScreenDimmer::restore() {
    if (!dimmed_) return;
    for (const GammaOutput& output : externalOutputs()) {
        gamma_->setRamp(output, DisplayGamma::linearRamp(output.rampSize, 1.0));
    }
    dimmed_ = false;
    setBrightness(1.0);
}

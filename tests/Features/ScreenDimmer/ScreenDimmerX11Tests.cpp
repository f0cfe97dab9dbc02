// Dimming through XRandR gamma on a real X server (Xvfb has one external-looking output).
#include "Platform/X11/DisplayGamma.h"
#include "Platform/Core/NotificationCenter.h"
#include "Platform/X11/X11DisplayGamma.h"
#include "Source/Features/ScreenDimmer/ScreenDimmer.h"

#include <QGuiApplication>

#include <gtest/gtest.h>

#include <X11/Xlib.h>
#include <X11/extensions/Xrandr.h>

namespace {

// The ramp the server holds for a CRTC, read over a connection of its own.
std::vector<uint16_t> serverRamp(uint32_t crtc) {
    Display* d = XOpenDisplay(nullptr);
    if (!d) return {};
    std::vector<uint16_t> ramp;
    if (XRRCrtcGamma* gamma = XRRGetCrtcGamma(d, RRCrtc(crtc))) {
        for (int i = 0; i < gamma->size; ++i) {
            EXPECT_EQ(gamma->red[i], gamma->green[i]);
            EXPECT_EQ(gamma->red[i], gamma->blue[i]);
            ramp.push_back(gamma->red[i]);
        }
        XRRFreeGamma(gamma);
    }
    XCloseDisplay(d);
    return ramp;
}

}  // namespace

TEST(ScreenDimmerX11, DimsAndResetsTheExternalOutputsGamma) {
    ASSERT_NE(qGuiApp->nativeInterface<QNativeInterface::QX11Application>(), nullptr) << "Needs an X server.";
    X11DisplayGamma probe;
    const auto outputs = probe.outputs();
    ASSERT_FALSE(outputs.empty()) << "The X server offers no output with a gamma ramp.";
    std::vector<GammaOutput> external;
    for (const auto& output : outputs) {
        if (!output.isInternal) external.push_back(output);
    }
    ASSERT_FALSE(external.empty());

    ScreenDimmer& dimmer = ScreenDimmer::shared();
    ASSERT_TRUE(dimmer.applyBrightness(0.5));
    for (const auto& output : external) {
        EXPECT_EQ(serverRamp(output.crtc), DisplayGamma::linearRamp(output.rampSize, 0.5)) << output.name.toStdString();
    }

    int resets = 0;
    QObject context;
    NotificationCenter::defaultCenter().observe(Notification::screenDimmerDidReset, &context,
                                                [&](const QVariant&) { ++resets; });
    dimmer.resetBrightness();
    EXPECT_EQ(resets, 1);
    for (const auto& output : external) {
        EXPECT_EQ(serverRamp(output.crtc), DisplayGamma::linearRamp(output.rampSize, 1.0));
    }

    // At quit a dimmed display comes back to full.
    dimmer.applyBrightness(0.2);
    dimmer.restore();
    for (const auto& output : external) {
        EXPECT_EQ(serverRamp(output.crtc), DisplayGamma::linearRamp(output.rampSize, 1.0));
    }
}

TEST(ScreenDimmerX11, AWrongSizedRampIsRefused) {
    X11DisplayGamma gamma;
    const auto outputs = gamma.outputs();
    ASSERT_FALSE(outputs.empty());
    GammaOutput output = outputs.front();
    EXPECT_FALSE(gamma.setRamp(output, DisplayGamma::linearRamp(output.rampSize + 1, 0.5)));
    GammaOutput missing = output;
    missing.crtc = 0x7fffff;  // no such CRTC
    EXPECT_FALSE(gamma.setRamp(missing, DisplayGamma::linearRamp(missing.rampSize, 0.5)));
}

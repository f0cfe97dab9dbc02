#include "Platform/X11/DisplayGamma.h"
#include "Platform/Core/NotificationCenter.h"
#include "Source/Features/ScreenDimmer/ScreenDimmer.h"

#include <QObject>

#include <gtest/gtest.h>

#include <map>

namespace {

class FakeGamma : public DisplayGamma {
public:
    std::vector<GammaOutput> list;
    std::map<QString, std::vector<uint16_t>> ramps;
    bool refuse = false;
    std::vector<GammaOutput> outputs() override { return list; }
    bool setRamp(const GammaOutput& output, const std::vector<uint16_t>& ramp) override {
        if (refuse) return false;
        ramps[output.name] = ramp;
        return true;
    }
};

struct Dimmer {
    FakeGamma* gamma = new FakeGamma;
    ScreenDimmer dimmer{std::unique_ptr<DisplayGamma>(gamma)};
    Dimmer() {
        gamma->list = {{"eDP-1", 60, 1024, true}, {"HDMI-1", 61, 256, false}, {"DP-2", 62, 1024, false}};
    }
};

}  // namespace

TEST(GammaRamp, LinearRampAtFullAndHalfBrightness) {
    auto full = DisplayGamma::linearRamp(256, 1.0);
    ASSERT_EQ(full.size(), 256u);
    for (int i = 0; i < 256; ++i) ASSERT_EQ(full[size_t(i)], 257 * i) << i;

    auto half = DisplayGamma::linearRamp(1024, 0.5);
    EXPECT_EQ(half.front(), 0);
    EXPECT_EQ(half.back(), 32768);  // round(65535 / 2)
    EXPECT_EQ(half[511], uint16_t(std::lround(65535.0 * 511 / 1023 * 0.5)));
    for (size_t i = 1; i < half.size(); ++i) ASSERT_GE(half[i], half[i - 1]);
}

TEST(GammaRamp, OutOfRangeInputsAreClampedNotWrapped) {
    EXPECT_EQ(DisplayGamma::linearRamp(4, 2.0), DisplayGamma::linearRamp(4, 1.0));
    EXPECT_EQ(DisplayGamma::linearRamp(4, -1.0), (std::vector<uint16_t>{0, 0, 0, 0}));
    EXPECT_EQ(DisplayGamma::linearRamp(4, std::nan("")), DisplayGamma::linearRamp(4, 1.0));
    EXPECT_TRUE(DisplayGamma::linearRamp(0, 1.0).empty());
    EXPECT_TRUE(DisplayGamma::linearRamp(-3, 1.0).empty());
    EXPECT_EQ(DisplayGamma::linearRamp(1, 0.5), (std::vector<uint16_t>{32768}));
    EXPECT_EQ(DisplayGamma::linearRamp(2, 1.0), (std::vector<uint16_t>{0, 65535}));
}

TEST(GammaRamp, InternalPanelsAreRecognisedByName) {
    for (const char* name : {"eDP-1", "eDP1", "LVDS-1", "lvds1", "DSI-1"}) EXPECT_TRUE(DisplayGamma::isInternalName(name)) << name;
    for (const char* name : {"HDMI-1", "DP-1", "DVI-I-1", "VGA-1", "screen", ""}) EXPECT_FALSE(DisplayGamma::isInternalName(name)) << name;
}

TEST(ScreenDimmer, ApplyDimsOnlyExternalDisplays) {
    Dimmer d;
    std::vector<double> seen;
    QObject::connect(&d.dimmer, &ScreenDimmer::brightnessChanged, [&](double b) { seen.push_back(b); });
    EXPECT_TRUE(d.dimmer.hasExternalDisplays());
    EXPECT_TRUE(d.dimmer.applyBrightness(0.4));
    EXPECT_EQ(d.dimmer.brightness(), 0.4);
    EXPECT_EQ(d.gamma->ramps.count("eDP-1"), 0u);
    EXPECT_EQ(d.gamma->ramps["HDMI-1"], DisplayGamma::linearRamp(256, 0.4));
    EXPECT_EQ(d.gamma->ramps["DP-2"], DisplayGamma::linearRamp(1024, 0.4));
    EXPECT_EQ(seen, std::vector<double>{0.4});
    // Out-of-range levels are clamped.
    EXPECT_TRUE(d.dimmer.applyBrightness(7));
    EXPECT_EQ(d.dimmer.brightness(), 1.0);
    EXPECT_FALSE(d.dimmer.applyBrightness(std::nan("")));
}

TEST(ScreenDimmer, ResetRestoresFullGammaAndPostsTheNotification) {
    Dimmer d;
    int posts = 0;
    QObject context;
    NotificationCenter::defaultCenter().observe(Notification::screenDimmerDidReset, &context,
                                                [&](const QVariant&) { ++posts; });
    d.dimmer.applyBrightness(0.3);
    d.dimmer.resetBrightness();
    EXPECT_EQ(posts, 1);
    EXPECT_EQ(d.dimmer.brightness(), 1.0);
    EXPECT_EQ(d.gamma->ramps["HDMI-1"], DisplayGamma::linearRamp(256, 1.0));
    EXPECT_EQ(d.gamma->ramps["DP-2"], DisplayGamma::linearRamp(1024, 1.0));
    EXPECT_EQ(d.gamma->ramps.count("eDP-1"), 0u);
    EXPECT_EQ(Notification::screenDimmerDidReset, "ScreenDimmerDidReset");
}

TEST(ScreenDimmer, RestoreAtQuitTouchesNothingUnlessDimmed) {
    Dimmer d;
    d.dimmer.restore();
    EXPECT_TRUE(d.gamma->ramps.empty());
    d.dimmer.applyBrightness(0.5);
    d.dimmer.restore();
    EXPECT_EQ(d.gamma->ramps["HDMI-1"], DisplayGamma::linearRamp(256, 1.0));
    EXPECT_EQ(d.dimmer.brightness(), 1.0);
}

TEST(ScreenDimmer, NoExternalDisplayMeansNothingApplied) {
    Dimmer d;
    d.gamma->list = {{"eDP-1", 60, 1024, true}};
    EXPECT_FALSE(d.dimmer.hasExternalDisplays());
    EXPECT_FALSE(d.dimmer.applyBrightness(0.5));
    EXPECT_EQ(d.dimmer.brightness(), 1.0);
    d.gamma->list = {{"HDMI-1", 61, 256, false}};
    d.gamma->refuse = true;
    EXPECT_FALSE(d.dimmer.applyBrightness(0.5));
    EXPECT_EQ(d.dimmer.brightness(), 1.0);
}

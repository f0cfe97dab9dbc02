#pragma once

// Fakes for the companion: screens, the front window, a random source that hands out chosen
// numbers, and a pet over them with a fake clock and settings in memory.
#include "Platform/Core/Clock.h"
#include "Platform/Core/Random.h"
#include "Platform/Core/UserDefaults.h"
#include "Platform/Desktop/FrontWindow.h"
#include "Platform/Gui/Displays.h"
#include "Source/Features/MenuBarPet/MenuBarPet.h"
#include "Source/Features/MenuBarPet/PetSettings.h"

#include <cmath>
#include <deque>
#include <memory>

class FakeDisplays final : public Displays {
public:
    std::vector<DisplayInfo> list;
    std::vector<DisplayInfo> screens() const override { return list; }
    void set(std::vector<DisplayInfo> screens) {
        list = std::move(screens);
        emit changed();
    }
    // A screen at x with no reserved panel (a 24-point band) or with a top panel of the given height.
    static DisplayInfo screen(const QString& id, int x, int width, int height = 900, int panel = 0) {
        const QRect frame(x, 0, width, height);
        return {id, frame, frame.adjusted(0, panel, 0, 0), std::nullopt};
    }
};

class FakeFrontWindow final : public FrontWindow {
public:
    std::optional<QRect> rect;
    int asked = 0;
    std::optional<QRect> frame() override {
        ++asked;
        return rect;
    }
};

// Hands out the queued numbers: uniform(lo, hi) gives lo + (hi - lo) * u for a queued unit u, and
// integer(lo, hi) gives lo + k for a queued k (a range of one value draws nothing). An empty queue
// gives 0.99 and counts a miss.
class ScriptedRandom final : public Random {
public:
    std::deque<uint64_t> queue;
    int misses = 0;
    int draws = 0;
    void unit(double u) { queue.push_back(uint64_t(std::ceil(std::ldexp(u, 53))) << 11); }
    void index(uint64_t k) { queue.push_back(k); }
    uint64_t next() override {
        ++draws;
        if (queue.empty()) {
            ++misses;
            return uint64_t(std::ldexp(0.99, 53)) << 11;
        }
        const uint64_t v = queue.front();
        queue.pop_front();
        return v;
    }
};

struct PetRig {
    FakeClock clock;
    ScriptedRandom random;
    FakeDisplays displays;
    FakeFrontWindow front;
    UserDefaults defaults{QString{}};
    PetSettings settings{defaults};
    double cpu = 20;
    std::vector<QRect> ownWindows;
    std::unique_ptr<MenuBarPet> pet;

    PetRig() {
        displays.list = {FakeDisplays::screen("A", 0, 1440)};
        pet = std::make_unique<MenuBarPet>(MenuBarPet::Environment{
            clock, random, displays, front, settings, [this] { return cpu; }, false, [this] { return ownWindows; }});
    }
    // Starts the pet with its first choice and placement made by the given numbers.
    void start() {
        pet->start();
        random.queue.clear();
        random.misses = 0;
    }
    void tick(double seconds = MenuBarPet::tickInterval) {
        clock.advance(seconds);
        pet->tick();
    }
};

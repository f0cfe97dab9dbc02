#pragma once

#include "Platform/X11/HotkeyGrabber.h"

#include <map>
#include <set>
#include <utility>
#include <vector>

// Grabs in memory: combinations listed in `taken` are refused as another program's.
class FakeHotkeyGrabber final : public HotkeyGrabber {
public:
    using Combination = std::pair<int, uint64_t>;

    bool available = true;
    std::set<Combination> taken;
    std::vector<Combination> grabbed;
    int grabCalls = 0;
    int ungrabCalls = 0;

    bool isAvailable() const override { return available; }
    GrabResult grab(int keyCode, uint64_t flags) override {
        ++grabCalls;
        if (keyCode < 0) return GrabResult::NoKey;
        if (taken.count({keyCode, flags})) return GrabResult::Taken;
        grabbed.emplace_back(keyCode, flags);
        return GrabResult::Grabbed;
    }
    void ungrabAll() override {
        ++ungrabCalls;
        grabbed.clear();
    }

    // What the X server would report for a grabbed key.
    void press(int keyCode, uint64_t flags, const QString& characters = {}) {
        emit keyPressed(keyCode, flags, characters);
    }
    void changeKeyboardMap() { emit keyboardMapChanged(); }
};

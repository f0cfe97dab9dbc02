#pragma once

#include <QList>

#include <cstdint>

// One synthetic key transition in the program's own key vocabulary (Platform/KeyCodes.h).
struct SyntheticKeyEvent {
    int keyCode = 0;
    bool keyDown = true;
    uint64_t flags = 0;  // modifier flags the event is meant to carry
    bool operator==(const SyntheticKeyEvent&) const = default;
};

// Posts keystrokes as if typed, to whatever window has the keyboard focus. GUI thread only.
class SyntheticKeys {
public:
    virtual ~SyntheticKeys() = default;

    // XTest on Qt's X display.
    static SyntheticKeys& shared();
    // Replaces the shared poster (tests); nullptr restores the XTest one.
    static void setShared(SyntheticKeys* keys);

    // False when events cannot be posted (no X display or no XTest extension).
    virtual bool isAvailable() const = 0;
    // Whether a modifier key (lock keys aside) is down on any keyboard: a keystroke posted now
    // would carry it.
    virtual bool modifiersHeld() const = 0;
    // Posts the events of one keystroke in order, and nothing else: keys the user holds are never
    // let go or pressed. False when an event could not be made or posted.
    virtual bool post(const QList<SyntheticKeyEvent>& keystroke) = 0;
};

// Key events through the XTest extension. Modifier flags are carried by the modifier keys the
// events press, as on a real keyboard.
class XTestSyntheticKeys final : public SyntheticKeys {
public:
    bool isAvailable() const override;
    bool modifiersHeld() const override;
    bool post(const QList<SyntheticKeyEvent>& keystroke) override;
};

// Records the posted events (tests).
class RecordingSyntheticKeys final : public SyntheticKeys {
public:
    bool available = true;
    bool held = false;  // what modifiersHeld() answers
    QList<SyntheticKeyEvent> events;
    bool isAvailable() const override { return available; }
    bool modifiersHeld() const override { return held; }
    bool post(const QList<SyntheticKeyEvent>& keystroke) override {
        if (!available) return false;
        events.append(keystroke);
        return true;
    }
};

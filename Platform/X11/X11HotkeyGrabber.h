#pragma once

#include "Platform/X11/HotkeyGrabber.h"

#include <vector>

#include <xcb/xcb.h>

struct _XDisplay;

// Passive key grabs on the root window through Qt's xcb connection.
class X11HotkeyGrabber final : public HotkeyGrabber {
public:
    X11HotkeyGrabber();
    ~X11HotkeyGrabber() override;

    bool isAvailable() const override;
    GrabResult grab(int keyCode, uint64_t flags) override;
    void ungrabAll() override;

private:
    struct Grab {
        uint8_t keyCode;
        uint16_t modifiers;
    };
    // True for a grabbed key: it is ours alone.
    bool heard(const xcb_generic_event_t* event);
    uint16_t numLockMask() const;
    QString characters(uint8_t keyCode, uint16_t state, uint32_t window, uint32_t root) const;

    xcb_connection_t* connection_ = nullptr;
    _XDisplay* display_ = nullptr;
    uint32_t root_ = 0;
    std::vector<Grab> grabs_;
};

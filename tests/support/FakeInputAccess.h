#pragma once

#include "Platform/X11/InputAccess.h"

// Access as the test sets it; counts the checks.
class FakeInputAccess final : public InputAccess {
public:
    Session kind = Session::x11;
    bool granted = true;
    mutable int checks = 0;

    Session session() const override { return kind; }
    bool isGranted() const override {
        ++checks;
        return granted;
    }
};

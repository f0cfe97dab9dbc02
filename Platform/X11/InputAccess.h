#pragma once

// Whether this session lets the program grab keys and post synthetic ones: there is no permission
// gate on X11, so access counts as granted when the X server has the XTEST extension. A pure
// Wayland session (or none at all) grants nothing. GUI thread only.
class InputAccess {
public:
    enum class Session { x11, wayland, none };

    virtual ~InputAccess() = default;

    // The X11 check on Qt's own connection.
    static InputAccess& shared();
    // Replaces the shared checker (tests); nullptr restores the X11 one.
    static void setShared(InputAccess* access);

    virtual Session session() const = 0;
    virtual bool isGranted() const = 0;
};

// Asks the X server Qt is connected to.
class X11InputAccess final : public InputAccess {
public:
    Session session() const override;
    bool isGranted() const override;
};

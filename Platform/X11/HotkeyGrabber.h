#pragma once

#include <QObject>
#include <QString>

#include <cstdint>
#include <memory>

// Global key grabs: a grabbed combination reaches the program whichever window has the keyboard.
// Keys are virtual key codes with modifier flags (KeyCodes). GUI thread only.
class HotkeyGrabber : public QObject {
    Q_OBJECT
public:
    enum class GrabResult {
        Grabbed,
        Taken,   // another program holds the combination
        NoKey,   // the key has no key code on this keyboard
        Failed,  // any other refusal; nothing is left grabbed
    };

    // The X11 grabber over Qt's own connection (it reports !isAvailable() without an X server).
    static std::unique_ptr<HotkeyGrabber> makeDefault();

    virtual bool isAvailable() const = 0;
    // Grabs the combination in every lock variant (Caps Lock, Num Lock), or none of them.
    virtual GrabResult grab(int keyCode, uint64_t flags) = 0;
    // Releases every grab; the keys are free for other programs when this returns.
    virtual void ungrabAll() = 0;

signals:
    // A grabbed combination was pressed: characters holds up to 4 UTF-16 units of its text.
    void keyPressed(int keyCode, uint64_t flags, const QString& characters);
    // The keyboard map changed: grabs name key codes, so they must be made again.
    void keyboardMapChanged();
};

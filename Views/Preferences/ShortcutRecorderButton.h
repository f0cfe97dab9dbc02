#pragma once

#include "Source/Features/Preferences/HotkeyBinding.h"
#include "Views/Shared/Motion.h"

#include <QAbstractButton>
#include <QStringList>

class QPainter;

// The recorder of one hot-key binding, a plain button whose whole rectangle takes clicks. It shows
// the binding's key caps (modifier glyphs in the order ⌃ ⌥ ⇧ ⌘, then the key's name), "Record
// Shortcut" on a filled capsule while the binding is off, or a red dot and "Press keys…" on an
// outlined capsule while it records. A change of what it shows fades in with Motion.state.
class ShortcutRecorderButton : public QAbstractButton {
    Q_OBJECT
public:
    enum class State { keyCaps, off, recording };

    static constexpr double height = 24;
    static constexpr double fontSize = 12;  // callout
    static constexpr double keyCapMinimumWidth = 24;
    static constexpr double keyCapPadding = 5;
    static constexpr double keyCapRadius = 6;
    static constexpr double keyCapSpacing = 3;
    static constexpr double offPadding = 12;
    static constexpr double recordingPadding = 10;
    static constexpr double dotSide = 6;
    static constexpr double dotSpacing = 5;

    explicit ShortcutRecorderButton(const HotkeyBinding& binding, QWidget* parent = nullptr);

    void setBinding(const HotkeyBinding& binding);
    void setRecording(bool recording);
    bool isRecording() const { return recording_; }
    State state() const;
    // The texts of the key caps: one per modifier glyph, then the key's name.
    QStringList keyCaps() const;
    // The text the button reads as: the key caps joined, "Record Shortcut" or "Press keys…".
    QString displayText() const;

    // The width of one key cap showing text.
    static double keyCapWidth(const QString& text);
    static void paintKeyCap(QPainter& painter, const QRectF& rect, const QString& text, const QPalette& palette);

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override { return sizeHint(); }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    void changed();

    HotkeyBinding binding_;
    bool recording_ = false;
    Motion::AnimatedValue fade_;
};

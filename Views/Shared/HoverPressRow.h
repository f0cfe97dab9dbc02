#pragma once

#include "Views/Shared/Motion.h"

#include <QWidget>

// The base of the list rows: a hover state with its fade, and a click made of a left press and
// a release inside the row. The hover either follows the pointer or is set by the row's owner
// (which then hears where the pointer is through pointerOver).
class HoverPressRow : public QWidget {
    Q_OBJECT
public:
    enum class Hover { followsPointer, setByOwner };
    enum class Fade { none, animated };

    explicit HoverPressRow(Hover hover, Fade fade, QWidget* parent = nullptr);

    bool isHovered() const { return isHovered_; }
    bool isPressed() const { return isPressed_; }
    // 0 resting, 1 hovered; between the two while the fade runs (Fade::none jumps).
    double hoverAmount() const { return hoverAmount_.value(); }
    // Hovers the row, fading when the row fades.
    void setHovered(bool hovered);

signals:
    void clicked();
    void hoveredChanged(bool hovered);
    // The pointer entered or moved inside (true) or left (false) the row.
    void pointerOver(bool inside);

protected:
    // Sets the hover at once, with no fade and no signal (a row's first state).
    void resetHovered(bool hovered);
    // A row that is not clickable lets presses through to its parent.
    void setClickable(bool clickable) { isClickable_ = clickable; }
    // Each step of the hover amount; the default repaints.
    virtual void hoverAmountChanged();
    // A change of the hover state, before hoveredChanged is sent.
    virtual void hoverStateChanged(bool hovered);

    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    Hover hover_;
    Fade fade_;
    bool isHovered_ = false;
    bool isPressed_ = false;
    bool isClickable_ = true;
    Motion::AnimatedValue hoverAmount_{this, 0.0, [this] { hoverAmountChanged(); }};
};

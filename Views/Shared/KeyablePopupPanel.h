#pragma once

#include <QList>
#include <QPoint>
#include <QPointer>
#include <QWidget>

#include <cstdint>

// The window of every popup: a frameless top-level that takes keyboard focus (it can become
// the key window) without being an application main window. The caller sets every other window
// property: stacking (Qt::WindowStaysOnTopHint), translucency, shadows.
//
// With dragsFromAnywhere, a left-button drag that starts anywhere on the panel moves it, also
// over child widgets; a press that is not dragged beyond the start-drag distance stays an
// ordinary click. Sliders, scroll bars and text fields keep their own drags.
class KeyablePopupPanel : public QWidget {
    Q_OBJECT
public:
    // A panel of the given content rectangle (position and size in Qt's screen space).
    explicit KeyablePopupPanel(const QRect& contentRect = QRect(0, 0, 100, 100), QWidget* parent = nullptr);
    ~KeyablePopupPanel() override;

    bool dragsFromAnywhere() const { return dragsFromAnywhere_; }
    void setDragsFromAnywhere(bool enabled);
    // True while such a drag is in progress.
    bool isDraggingWindow() const { return dragging_; }

    // Shows the panel in front and gives it keyboard focus. Without a window manager, the window of
    // another program that had the keyboard gets it back when the panel closes.
    void makeKeyAndOrderFront();
    // Whether the panel is the application's active (key) window.
    bool isKeyWindow() const;
    // A dialog or menu opened from the panel holds the key: once it closes the panel takes the key
    // back, so that Escape and a click elsewhere reach it again.
    void takeKeyBackAfter(QWidget* window);

signals:
    void draggingWindowChanged(bool dragging);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    bool ownsWidget(QObject* object) const;
    static bool keepsOwnDrag(QObject* object);
    void endDrag();
    void takeKeyBack();

    bool dragsFromAnywhere_ = false;
    bool pressed_ = false;
    bool dragging_ = false;
    bool cancelling_ = false;
    QPoint pressGlobal_;
    QPoint startPos_;
    QPointer<QWidget> pressTarget_;
    QList<QPointer<QWidget>> keyHolders_;
    // Another program's window that had the keyboard when the panel showed (X11): without a window
    // manager nobody else gives it back once the panel closes.
    uint32_t keyboardBefore_ = 0;
};

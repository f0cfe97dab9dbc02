#pragma once

#include "Source/Features/Onboarding/PixelScene.h"

#include <QImage>
#include <QTimer>
#include <QWidget>

class WindowVisibilityReader;

// The animated pixel landscape of one theme. It has no size of its own and fills what its parent
// gives it. It repaints every 125 ms while it is shown and its window is on screen, and not at
// all otherwise; each frame is painted for the current time, so a paused banner resumes where the
// clock stands. The canvas is not opaque: without sky colours the parent shows through.
class PixelBanner : public QWidget {
    Q_OBJECT
public:
    static constexpr int tickMs = 125;

    explicit PixelBanner(PixelScene::Theme scene, QWidget* parent = nullptr);

    const PixelScene::Theme& scene() const { return scene_; }
    // Whether the banner's window is visible on screen, as last reported (starts true).
    bool isOnScreen() const { return isOnScreen_; }
    // Whether the repaint timer runs.
    bool isTicking() const { return timer_.isActive(); }
    // Seconds since 2001-01-01 UTC by the shared clock: the time a frame painted now shows.
    static double sceneTime();

    QSize sizeHint() const override { return QSize(0, 0); }

protected:
    void paintEvent(QPaintEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    void updateTicking();

    PixelScene::Theme scene_;
    bool isOnScreen_ = true;
    WindowVisibilityReader* reader_;
    QTimer timer_;
    QImage frame_;
};

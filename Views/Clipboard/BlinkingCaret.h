#pragma once

#include <QWidget>

class QTimer;

// The search line's caret: a thin accent bar that blinks at the desktop's cursor flash rate
// while its window is active. Each blink repaints the bar's own rectangle only; an inactive
// window, Reduce Motion or a desktop that turned blinking off leaves it lit and still.
class BlinkingCaret : public QWidget {
    Q_OBJECT
public:
    static constexpr double barWidth = 1.5;
    static constexpr double barHeight = 14;

    explicit BlinkingCaret(QWidget* parent = nullptr);

    // The bar's opacity now: 1 lit, 0 dark.
    double opacity() const { return lit_ ? 1 : 0; }
    bool isBlinking() const;
    // Half the flash cycle: how long the bar stays lit or dark (0: no blinking).
    static int halfPeriodMs();

protected:
    void paintEvent(QPaintEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;
    bool event(QEvent* event) override;

private:
    void restart();
    void stop();

    bool lit_ = true;
    QTimer* blink_ = nullptr;
};

#pragma once

#include <QWidget>

class QVariantAnimation;

// The search line's caret: a thin accent bar that fades out and in for ever (1.1 s a cycle);
// it stays lit under Reduce Motion.
class BlinkingCaret : public QWidget {
    Q_OBJECT
public:
    static constexpr double barWidth = 1.5;
    static constexpr double barHeight = 14;

    explicit BlinkingCaret(QWidget* parent = nullptr);

    // The bar's opacity now.
    double opacity() const { return opacity_; }
    bool isBlinking() const;

protected:
    void paintEvent(QPaintEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    double opacity_ = 1;
    QVariantAnimation* blink_ = nullptr;
};

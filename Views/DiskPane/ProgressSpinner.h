#pragma once

#include <QColor>
#include <QVariantAnimation>
#include <QWidget>

#include <optional>

// A small indeterminate progress indicator: a faint ring with a turning arc. Turns only while
// shown.
class ProgressSpinner : public QWidget {
    Q_OBJECT
public:
    // side: the ring's diameter in pixels.
    explicit ProgressSpinner(double side, QWidget* parent = nullptr);

    // The colour; without one the palette's secondary label colour.
    void setColor(std::optional<QColor> color);
    bool isSpinning() const { return spin_.state() == QAbstractAnimation::Running; }

    QSize sizeHint() const override;

protected:
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private:
    double side_;
    std::optional<QColor> color_;
    QVariantAnimation spin_;
    double angle_ = 0;
};

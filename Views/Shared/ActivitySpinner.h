#pragma once

#include <QVariantAnimation>
#include <QWidget>

// The indeterminate progress indicator of every pane: twelve spokes fading round, turning only while
// shown. It never takes the pointer.
class ActivitySpinner : public QWidget {
    Q_OBJECT
public:
    // side: the drawn square in pixels (16 is the small control size).
    explicit ActivitySpinner(int side = 16, QWidget* parent = nullptr);

    bool isSpinning() const { return spin_.state() == QAbstractAnimation::Running; }
    QSize sizeHint() const override { return QSize(side_, side_); }

protected:
    void paintEvent(QPaintEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    int side_;
    int step_ = 0;
    QVariantAnimation spin_;
};

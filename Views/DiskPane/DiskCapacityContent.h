#pragma once

#include "Views/Shared/Motion.h"

#include <QTimer>
#include <QWidget>

#include <array>

class DiskPaneModel;
class NumericTextCell;

// The Disk tab's header: a ring of the start-up volume's used share and its total, used and free
// figures. Reads the capacity when it comes on screen (the first reading of the process sweeps
// the ring from empty with a slow spring) and every 30 s while shown.
class DiskCapacityContent : public QWidget {
    Q_OBJECT
public:
    static constexpr int refreshMs = 30'000;
    static constexpr int contentHeight = 132;
    static constexpr int ringSide = 96;
    static constexpr double lineWidth = 9;

    explicit DiskCapacityContent(QWidget* parent = nullptr);
    explicit DiskCapacityContent(DiskPaneModel& model, QWidget* parent = nullptr);

    DiskPaneModel& model() const { return model_; }
    // The ring's text: the used share rounded, then "%".
    static QString percentText(double percent);
    // A figure's value: the formatted bytes, or "--" without a reading.
    QString figureText(int index) const;
    // The arc drawn now (mid-animation too), 0 … 1.
    double shownSweep() const { return sweep_.value(); }
    QRect ringRect() const;
    bool isRefreshing() const { return timer_.isActive(); }

    QSize sizeHint() const override { return QSize(312, contentHeight); }

protected:
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    void showReading(bool animated);
    void layoutContent();
    QColor tintColor() const;

    DiskPaneModel& model_;
    QTimer timer_;
    Motion::AnimatedValue sweep_;
    NumericTextCell* percent_ = nullptr;
    std::array<NumericTextCell*, 3> values_{};
    int shownPercent_ = 0;
};

#pragma once

#include "Source/Features/System/MonitorTab.h"

#include <QPointer>
#include <QWidget>

#include <array>
#include <functional>

class QAbstractButton;

namespace Motion {
class Animator;
}

// The tab strip of the monitor popup: five equal segments separated by 1-point gaps inside a
// 2-point inset, an accent capsule behind the selected one. Pressing a segment only writes the
// binding (the setter given); the owner answers with setSelection, which moves the capsule with
// Motion.state (a 0.2 s ease-in-out under Reduce Motion).
class MonitorTabPicker : public QWidget {
    Q_OBJECT
public:
    static constexpr int stripHeight = 28;
    static constexpr int capsuleHeight = 24;

    // setter: the binding's setter; without one the picker sets its own selection.
    explicit MonitorTabPicker(MonitorTab selection, std::function<void(MonitorTab)> setter = {},
                              QWidget* parent = nullptr);

    MonitorTab selection() const { return selection_; }
    void setSelection(MonitorTab tab);
    // The capsule's x position now (mid-animation too).
    double capsuleX() const { return capsuleX_; }
    QAbstractButton* segmentButton(MonitorTab tab) const;

    // w = max(0, (max(0, W − 4) − 4) / 5) for a strip W wide.
    static double segmentWidth(double stripWidth);
    // (w + 1) × index + 2.
    static double capsuleX(double segmentWidth, int index);

    QSize sizeHint() const override { return QSize(312, stripHeight); }

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void choose(MonitorTab tab);
    void layoutSegments();

    MonitorTab selection_;
    std::function<void(MonitorTab)> setter_;
    double capsuleX_ = 2;
    bool placed_ = false;
    std::array<QAbstractButton*, 5> segments_{};
    QPointer<Motion::Animator> animator_;
};

#pragma once

#include "Source/Features/System/AppProcessInfo.h"
#include "Views/Shared/Motion.h"

#include <QWidget>

#include <cmath>
#include <vector>

// The processes of a group, highest CPU share first, each with its icon, name, PID and figure.
class ProcessHierarchyList : public QWidget {
public:
    static constexpr int rowHeight = 34;

    explicit ProcessHierarchyList(QWidget* parent);

    // A change in the number of processes slides the list to its new length; the first filling
    // shows it at once.
    void set(std::vector<AppProcessInfo> children, bool memory);
    const std::vector<AppProcessInfo>& children() const { return children_; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    std::vector<AppProcessInfo> children_;
    bool memory_ = false;
    bool filled_ = false;
    Motion::AnimatedValue height_{this, 0.0, [this] { setFixedHeight(int(std::ceil(height_.value()))); }};
};

#pragma once

#include <QWidget>

class ProcessDetailView;

// A two-segment control: "CPU" and "Memory". It shows and sets the detail's metric.
class ProcessMetricPicker : public QWidget {
public:
    ProcessMetricPicker(ProcessDetailView* owner, QWidget* parent);
    QSize sizeHint() const override { return QSize(220, 24); }

protected:
    void paintEvent(QPaintEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    ProcessDetailView* owner_;
};

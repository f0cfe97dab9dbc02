#pragma once

#include "Platform/Ui/StatusBarBackend.h"

#include <QPointer>

class BarStripWindow;

// Status items in our own bar strip window.
class StripStatusBackend : public StatusBarBackend {
public:
    StripStatusBackend();
    ~StripStatusBackend() override;

    void addItem(StatusItem* item) override;
    void removeItem(StatusItem* item) override;
    void updateItem(StatusItem* item) override;
    QRect screenRect(const StatusItem* item) const override;
    bool containsScreenPoint(const QPoint& globalPos) const override;
    QWidget* window() const override;

private:
    QPointer<BarStripWindow> window_;
};

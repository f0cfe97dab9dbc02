#pragma once

#include "Source/Features/Widgets/WidgetType.h"
#include "Views/Shared/Motion.h"

#include <QPointer>
#include <QWidget>

#include <vector>

class QHBoxLayout;
class QLabel;
class WidgetManager;

// A miniature menu bar on a coloured desktop: a fixed app menu, the enabled menu-bar widgets drawn
// by the views the real status items use, and fixed system items with a clock. It follows the
// manager's configuration (the change fades in with Motion.move) and readings.
class MenuBarPreview : public QWidget {
    Q_OBJECT
public:
    static constexpr int desktopHeight = 96;
    static constexpr int barHeight = 26;
    static constexpr int cornerRadius = 10;

    explicit MenuBarPreview(WidgetManager& manager, QWidget* parent = nullptr);

    // The enabled types in declaration order, whatever the order of the set.
    std::vector<WidgetType> enabledTypes() const;
    // The bar's widgets area: the widget views shown now, or the "No widgets enabled" label.
    QWidget* widgetsArea() const { return widgets_; }
    QRect desktopRect() const;

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;
    void changeEvent(QEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void rebuildWidgets();
    void restyle();

    QPointer<WidgetManager> manager_;
    QWidget* bar_ = nullptr;
    QWidget* widgets_ = nullptr;
    QHBoxLayout* widgetsLayout_ = nullptr;
    QList<QLabel*> fixedItems_;
    Motion::AnimatedValue fade_;
};

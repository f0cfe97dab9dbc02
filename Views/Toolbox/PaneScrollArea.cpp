#include "Views/Toolbox/PaneScrollArea.h"

#include "Views/Toolbox/SlimScrollBars.h"

PaneScrollArea::PaneScrollArea(QWidget* content, Indicators indicators, QWidget* parent) : QScrollArea(parent) {
    setFrameShape(QFrame::NoFrame);
    setWidgetResizable(true);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setVerticalScrollBarPolicy(indicators == Indicators::shown ? Qt::ScrollBarAsNeeded : Qt::ScrollBarAlwaysOff);
    setBackgroundRole(QPalette::Window);
    useSlimScrollBars(this);
    viewport()->setAutoFillBackground(false);
    setAutoFillBackground(false);
    setWidget(content);
    content->setAutoFillBackground(false);  // setWidget() turned it on
}

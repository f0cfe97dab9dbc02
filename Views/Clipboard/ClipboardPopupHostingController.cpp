#include "Views/Clipboard/ClipboardPopupHostingController.h"

#include "Views/Clipboard/ClipboardCompositeRootView.h"

#include <QAbstractScrollArea>
#include <QPainterPath>
#include <QRegion>

ClipboardPopupHostingController::ClipboardPopupHostingController(QWidget* panel, bool masksToDrawnParts)
    : QWidget(panel), panel_(panel), masks_(masksToDrawnParts) {
    setAttribute(Qt::WA_TranslucentBackground);
    setFocusPolicy(Qt::NoFocus);
}

void ClipboardPopupHostingController::setRootView(ClipboardCompositeRootView* root) {
    root_ = root;
    root_->setParent(this);
    root_->setGeometry(rect());
    connect(root_, &ClipboardCompositeRootView::drawnShapeChanged, this,
            &ClipboardPopupHostingController::drawnShapeChanged);
    drawnShapeChanged();
}

void ClipboardPopupHostingController::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    if (root_) root_->setGeometry(rect());
}

void ClipboardPopupHostingController::suppressScrollers(QWidget* root) {
    if (!root) return;
    const auto areas = root->findChildren<QAbstractScrollArea*>();
    for (QAbstractScrollArea* area : areas) {
        area->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
        area->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    }
    if (auto* self = qobject_cast<QAbstractScrollArea*>(root)) {
        self->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
        self->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    }
}

void ClipboardPopupHostingController::drawnShapeChanged() {
    suppressScrollers(this);
    if (!masks_ || !panel_ || !root_) return;
    const QPainterPath shape = root_->drawnShape().translated(root_->pos() + pos());
    QRegion region;
    for (const QPolygonF& polygon : shape.toFillPolygons()) region += QRegion(polygon.toPolygon());
    panel_->setMask(region.isEmpty() ? QRegion(0, 0, 1, 1) : region);
}
